#include "ui/Picture.h"

#include <cstdlib>
#include <cstring>

#include "platform/Handles.h"
#include "ui/Twips.h"

namespace ta {
namespace {
HMODULE g_resourceModule = nullptr;
}

std::shared_ptr<Picture> Picture::FromBytes(const void* bytes, size_t size) {
    if (!bytes || size == 0) return nullptr;
    GlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory) return nullptr;
    void* target = ::GlobalLock(memory.get());
    if (!target) return nullptr;
    std::memcpy(target, bytes, size);
    ::GlobalUnlock(memory.get());

    ComPtr<IStream> stream;
    // The stream takes over the memory and frees it with its last reference.
    if (FAILED(::CreateStreamOnHGlobal(memory.get(), TRUE, stream.put()))) return nullptr;
    memory.release();
    ComPtr<IPicture> picture;
    if (FAILED(::OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, picture.put_void())) ||
        !picture)
        return nullptr;
    return std::make_shared<Picture>(std::move(picture));
}

std::shared_ptr<Picture> Picture::FromResource(HMODULE module, int id, const wchar_t* type) {
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!info) return nullptr;
    HGLOBAL loaded = ::LoadResource(module, info);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    return FromBytes(bytes, ::SizeofResource(module, info));
}

SIZE Picture::HimetricSize() const noexcept {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture_->get_Width(&width);
    picture_->get_Height(&height);
    return SIZE{width, height};
}

SIZE Picture::BitmapSize() const noexcept {
    BITMAP bitmap{};
    if (HBITMAP handle = Handle(); handle && ::GetObjectW(handle, sizeof bitmap, &bitmap) == sizeof bitmap)
        return SIZE{bitmap.bmWidth, std::abs(bitmap.bmHeight)};
    const SIZE himetric = HimetricSize();
    return SIZE{HimetricToPixels(himetric.cx, ScreenDpiX()), HimetricToPixels(himetric.cy, ScreenDpiY())};
}

SIZE Picture::TwipsSize() const noexcept {
    // Not the HIMETRIC size: the picture service derives it from the screen's DPI at loading, so
    // at 150 % it would keep the banner at its 100 % pixels.
    const SIZE pixels = BitmapSize();
    return SIZE{pixels.cx * kTwipsPerInch / 96, pixels.cy * kTwipsPerInch / 96};
}

void Picture::AddRendition(std::shared_ptr<Picture> rendition) {
    if (rendition) renditions_.push_back(std::move(rendition));
}

const Picture& Picture::RenditionFor(int cx, int cy) const noexcept {
    const Picture* best = this;
    SIZE bestSize = BitmapSize();
    for (const auto& rendition : renditions_) {
        const SIZE size = rendition->BitmapSize();
        const bool fits = size.cx >= cx && size.cy >= cy;
        const bool bestFits = bestSize.cx >= cx && bestSize.cy >= cy;
        // Among those that fit the smallest; while none fits, the largest.
        if ((fits && (!bestFits || size.cx < bestSize.cx)) || (!fits && !bestFits && size.cx > bestSize.cx)) {
            best = rendition.get();
            bestSize = size;
        }
    }
    return *best;
}

HBITMAP Picture::Handle() const noexcept {
    OLE_HANDLE handle = 0;
    picture_->get_Handle(&handle);
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
}

void Picture::Render(HDC hdc, int x, int y, int cx, int cy) const noexcept {
    const Picture& rendition = RenditionFor(cx, cy);
    const SIZE size = rendition.BitmapSize();
    if (size.cx == cx && size.cy == cy) {
        rendition.RenderOwn(hdc, x, y, cx, cy);
        return;
    }
    // Scaled: averaged rather than pixels dropped or doubled.
    const int previousMode = ::SetStretchBltMode(hdc, HALFTONE);
    POINT previousOrigin{};
    ::SetBrushOrgEx(hdc, 0, 0, &previousOrigin);
    rendition.RenderOwn(hdc, x, y, cx, cy);
    ::SetBrushOrgEx(hdc, previousOrigin.x, previousOrigin.y, nullptr);
    if (previousMode) ::SetStretchBltMode(hdc, previousMode);
}

void Picture::RenderOwn(HDC hdc, int x, int y, int cx, int cy) const noexcept {
    const SIZE himetric = HimetricSize();
    // Source rows run bottom-up in HIMETRIC.
    picture_->Render(hdc, x, y, cx, cy, 0, himetric.cy, himetric.cx, -himetric.cy, nullptr);
}

HMODULE ResourceModule() noexcept { return g_resourceModule ? g_resourceModule : ::GetModuleHandleW(nullptr); }

void SetResourceModule(HMODULE module) noexcept { g_resourceModule = module; }

}  // namespace ta
