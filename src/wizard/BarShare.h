#pragma once
// The bar's Max and Value for a byte count of any size. "ToTFile" is stored as an unsigned 32-bit
// number and the bar's properties are signed: above 2^31 both the total and the bytes are
// halved, so that the bar still shows their share; below, they go to the bar as they are.
#include <algorithm>
#include <cstdint>
#include <limits>

namespace ta {

class BarShare {
public:
    BarShare() = default;
    explicit BarShare(uint32_t total)
        : shift_(total > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) ? 1 : 0),
          max_(static_cast<int32_t>(total >> shift_)) {}
    int32_t Max() const noexcept { return max_; }
    int32_t ValueOf(int64_t bytes) const noexcept {
        return static_cast<int32_t>(std::clamp<int64_t>(bytes >> shift_, 0, std::numeric_limits<int32_t>::max()));
    }

private:
    int shift_ = 0;
    int32_t max_ = 0;
};

}  // namespace ta
