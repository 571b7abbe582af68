#include "controls/progressbar/HostObjects.h"

#include <cmath>

namespace ta {
namespace {

int ScreenPixelsPerInch() {
    WindowDC screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

}  // namespace

BITMAPINFO TopDownBitmapInfo(int32_t width, int32_t height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

PictureRef MakePicture(HBITMAP ownedBitmap) {
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = ownedBitmap ? PICTYPE_BITMAP : PICTYPE_NONE;
    desc.bmp.hbitmap = ownedBitmap;
    PictureRef picture;
    if (FAILED(::OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, picture.put_void()))) {
        if (ownedBitmap) ::DeleteObject(ownedBitmap);
        return nullptr;
    }
    return picture;
}

PictureRef MakePicture(int32_t width, int32_t height, const std::vector<uint32_t>& rgbPixels) {
    if (width <= 0 || height <= 0 || rgbPixels.size() != static_cast<size_t>(width) * height) return nullptr;
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return nullptr;
    auto* out = static_cast<uint32_t*>(bits);
    for (size_t i = 0; i < rgbPixels.size(); ++i) out[i] = rgbPixels[i] & 0xFFFFFFu;
    ::GdiFlush();
    return MakePicture(bitmap);
}

HBITMAP PictureHandle(IPicture* picture) {
    OLE_HANDLE handle = 0;
    if (!picture || FAILED(picture->get_Handle(&handle))) return nullptr;
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
}

SIZE PicturePixelSize(IPicture* picture) {
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    if (!picture || !PictureHandle(picture) || FAILED(picture->get_Width(&w)) || FAILED(picture->get_Height(&h)))
        return {0, 0};
    const int dpi = ScreenPixelsPerInch();
    return {::MulDiv(w, dpi, 2540), ::MulDiv(h, dpi, 2540)};
}

std::vector<uint32_t> PicturePixels(IPicture* picture) {
    const SIZE size = PicturePixelSize(picture);
    if (size.cx <= 0 || size.cy <= 0) return {};
    std::vector<uint32_t> pixels(static_cast<size_t>(size.cx) * size.cy);
    BITMAPINFO info = TopDownBitmapInfo(size.cx, size.cy);
    WindowDC screen(nullptr);
    if (!::GetDIBits(screen.get(), PictureHandle(picture), 0, size.cy, pixels.data(), &info, DIB_RGB_COLORS))
        return {};
    for (auto& p : pixels) p &= 0xFFFFFFu;
    return pixels;
}

FontRef MakeFont(const FontDescription& d) {
    FONTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.lpstrName = const_cast<LPOLESTR>(d.name.c_str());
    desc.cySize.int64 = std::llround(d.points * 10000.0);
    desc.sWeight = static_cast<SHORT>(d.weight);
    desc.sCharset = static_cast<SHORT>(d.charset);
    desc.fItalic = d.italic;
    desc.fUnderline = d.underline;
    desc.fStrikethrough = d.strikethrough;
    FontRef font;
    if (FAILED(::OleCreateFontIndirect(&desc, IID_IFont, font.put_void()))) return nullptr;
    return font;
}

FontDescription DescribeFont(IFont* font) {
    FontDescription d;
    if (!font) return d;
    Bstr name;
    if (SUCCEEDED(font->get_Name(name.put()))) d.name = name.str();
    CY size{};
    if (SUCCEEDED(font->get_Size(&size))) d.points = static_cast<double>(size.int64) / 10000.0;
    SHORT weight = 0;
    if (SUCCEEDED(font->get_Weight(&weight))) d.weight = weight;
    SHORT charset = 0;
    if (SUCCEEDED(font->get_Charset(&charset))) d.charset = charset;
    BOOL flag = FALSE;
    if (SUCCEEDED(font->get_Italic(&flag))) d.italic = flag != FALSE;
    if (SUCCEEDED(font->get_Underline(&flag))) d.underline = flag != FALSE;
    if (SUCCEEDED(font->get_Strikethrough(&flag))) d.strikethrough = flag != FALSE;
    return d;
}

FontDescription PageFont() { return {L"\uAD74\uB9BC", 9.0, FW_NORMAL, HANGUL_CHARSET, false, false, false}; }

void PictureHolder::Assign(PictureRef picture) {
    surface_.reset();
    bitmap_.reset();
    size_ = {0, 0};
    picture_ = std::move(picture);
    if (!HasPicture()) return;
    const SIZE size = PicturePixelSize(picture_.get());
    WindowDC screen(nullptr);
    MemoryDC dc(::CreateCompatibleDC(screen.get()));
    GdiObject bitmap(size.cx > 0 && size.cy > 0 ? ::CreateCompatibleBitmap(screen.get(), size.cx, size.cy) : nullptr);
    if (!dc || !bitmap) return;
    ::SelectObject(dc.get(), bitmap.get());
    short type = PICTYPE_NONE;
    picture_->get_Type(&type);
    if (type == PICTYPE_BITMAP) {
        MemoryDC source(::CreateCompatibleDC(screen.get()));
        SelectedObject selected(source.get(), PictureHandle(picture_.get()));
        ::BitBlt(dc.get(), 0, 0, size.cx, size.cy, source.get(), 0, 0, SRCCOPY);
    } else {
        OLE_XSIZE_HIMETRIC w = 0;
        OLE_YSIZE_HIMETRIC h = 0;
        picture_->get_Width(&w);
        picture_->get_Height(&h);
        picture_->Render(dc.get(), 0, 0, size.cx, size.cy, 0, h, w, -h, nullptr);
    }
    size_ = size;
    bitmap_ = std::move(bitmap);
    surface_ = std::move(dc);
}

bool PictureHolder::HasPicture() const { return picture_ && PictureHandle(picture_.get()) != nullptr; }

}  // namespace ta
