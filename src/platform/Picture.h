#pragma once
// Picture objects: an image loaded through the system's picture service (GIF, BMP, JPEG, icon),
// shared by the pages that show it.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstddef>
#include <memory>

#include "platform/ComPtr.h"

namespace ta {

class Picture {
public:
    explicit Picture(ComPtr<IPicture> picture) noexcept : picture_(std::move(picture)) {}

    // A picture from image file bytes; nullptr when the bytes are no picture.
    static std::shared_ptr<Picture> FromBytes(const void* bytes, size_t size);
    // A picture from a resource of the given type; nullptr when it is missing or no picture.
    static std::shared_ptr<Picture> FromResource(HMODULE module, int id, const wchar_t* type);

    // The size in HIMETRIC (0.01 mm), as the picture reports it.
    SIZE HimetricSize() const noexcept;
    // The size in pixels at the screen's resolution.
    SIZE PixelSize() const noexcept;
    // The bitmap handle; the picture keeps ownership.
    HBITMAP Handle() const noexcept;
    // Draws the whole picture into the rectangle (x, y, cx, cy) of hdc.
    void Render(HDC hdc, int x, int y, int cx, int cy) const noexcept;

private:
    ComPtr<IPicture> picture_;
};

// The module the program's pictures and icons come from: the executable itself unless another
// one has been chosen (test programs borrow the executable's resources this way).
HMODULE ResourceModule() noexcept;
void SetResourceModule(HMODULE module) noexcept;

}  // namespace ta
