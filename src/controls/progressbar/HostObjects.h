#pragma once
// The picture and font objects a control is given, and the hidden picture holder that shows a
// picture on a drawing surface of its own.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ComPtr.h"
#include "platform/Handles.h"

namespace ta {

using PictureRef = ComPtr<IPicture>;
using FontRef = ComPtr<IFont>;

// A picture object that takes over the bitmap; an empty picture (no image, handle 0) for nullptr.
PictureRef MakePicture(HBITMAP ownedBitmap);
// A picture of width × height pixels given top-down as 0x00RRGGBB values.
PictureRef MakePicture(int32_t width, int32_t height, const std::vector<uint32_t>& rgbPixels);
// The picture's bitmap handle, 0 for none.
HBITMAP PictureHandle(IPicture* picture);
// The picture's size in whole pixels at the screen's resolution; (0, 0) for none.
SIZE PicturePixelSize(IPicture* picture);
// The pixels of a bitmap picture, top-down as 0x00RRGGBB; empty for an empty picture.
std::vector<uint32_t> PicturePixels(IPicture* picture);

// The header of a 32-bit top-down bitmap of width × height pixels.
BITMAPINFO TopDownBitmapInfo(int32_t width, int32_t height);

// What a stored font holds: face, size in points, weight, character set and the three styles.
struct FontDescription {
    std::wstring name;
    double points = 9.0;
    int32_t weight = FW_NORMAL;
    int32_t charset = DEFAULT_CHARSET;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    bool operator==(const FontDescription&) const = default;
};
FontRef MakeFont(const FontDescription& description);
FontDescription DescribeFont(IFont* font);
// The face the pages use: "굴림" 9 points, Korean character set.
FontDescription PageFont();

// A hidden holder of one picture: keeps the assigned picture and a surface showing a copy of it,
// which may be repainted without touching the picture itself.
class PictureHolder {
public:
    PictureHolder() = default;
    PictureHolder(const PictureHolder&) = delete;
    PictureHolder& operator=(const PictureHolder&) = delete;

    // Keeps the picture (nullptr: none) and resets the surface to show it.
    void Assign(PictureRef picture);
    const PictureRef& Picture() const { return picture_; }
    // A picture is assigned and its handle is not 0.
    bool HasPicture() const;

    HDC hdc() const { return surface_.get(); }
    int32_t Width() const { return size_.cx; }
    int32_t Height() const { return size_.cy; }

private:
    PictureRef picture_;
    SIZE size_{};
    GdiObject bitmap_;  // declared before the DC, so the DC goes first
    MemoryDC surface_;
};

}  // namespace ta
