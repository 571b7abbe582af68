#pragma once
// Picture objects: an image loaded through the system's picture service (GIF, BMP, JPEG, icon),
// shared by the pages that show it. A picture is designed for a 96 DPI screen, one pixel of it to
// 15 twips; it may carry renditions of the same image drawn for larger scales, so that it stays
// sharp where the screen's pixels are smaller.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstddef>
#include <memory>
#include <vector>

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
    // The image's own pixels (for a picture without a bitmap, its HIMETRIC size on this screen).
    SIZE BitmapSize() const noexcept;
    // The size it is shown at, in twips: its pixels as a 96 DPI screen shows them.
    SIZE TwipsSize() const noexcept;
    // The bitmap handle; the picture keeps ownership.
    HBITMAP Handle() const noexcept;

    // Adds the same image drawn at a larger size.
    void AddRendition(std::shared_ptr<Picture> rendition);
    // The rendition to draw at cx × cy pixels: the smallest that is at least that large, else the
    // largest there is (this picture itself when it has none).
    const Picture& RenditionFor(int cx, int cy) const noexcept;
    // Draws the whole picture into the rectangle (x, y, cx, cy) of hdc, from the rendition that
    // fits; a rendition of another size is scaled with the system's smoothing filter.
    void Render(HDC hdc, int x, int y, int cx, int cy) const noexcept;

private:
    void RenderOwn(HDC hdc, int x, int y, int cx, int cy) const noexcept;

    ComPtr<IPicture> picture_;
    std::vector<std::shared_ptr<Picture>> renditions_;
};

// The module the program's pictures and icons come from: the executable itself unless another
// one has been chosen (test programs borrow the executable's resources this way).
HMODULE ResourceModule() noexcept;
void SetResourceModule(HMODULE module) noexcept;

}  // namespace ta
