#include "platform/Picture.h"

#include <cstring>

#include "platform/Handles.h"
#include "platform/Twips.h"

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

SIZE Picture::PixelSize() const noexcept {
    const SIZE himetric = HimetricSize();
    return SIZE{HimetricToPixels(himetric.cx, ScreenDpiX()), HimetricToPixels(himetric.cy, ScreenDpiY())};
}

HBITMAP Picture::Handle() const noexcept {
    OLE_HANDLE handle = 0;
    picture_->get_Handle(&handle);
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
}

void Picture::Render(HDC hdc, int x, int y, int cx, int cy) const noexcept {
    const SIZE himetric = HimetricSize();
    // Source rows run bottom-up in HIMETRIC.
    picture_->Render(hdc, x, y, cx, cy, 0, himetric.cy, himetric.cx, -himetric.cy, nullptr);
}

HMODULE ResourceModule() noexcept { return g_resourceModule ? g_resourceModule : ::GetModuleHandleW(nullptr); }

void SetResourceModule(HMODULE module) noexcept { g_resourceModule = module; }

}  // namespace ta
