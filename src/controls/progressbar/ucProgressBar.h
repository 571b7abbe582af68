#pragma once
// ucProgressBar: a self-drawn progress bar control. It keeps a range (Min, Max) and a position
// (Value) and repaints itself completely on every assignment: a background (colour or picture), a
// bar (colour, segments, picture or the visual style's chunks), an optional caption in two
// colours and a border, composed off screen and copied to the window in one block. The surface
// is composed again only when what it shows has changed (PaintInputs). A caller that moves the
// bar often assigns at its own display pace, as the progress page does with its display timer.
//
// Hosting on a page:
//     ucProgressBar bar;
//     bar.Create(pageHwnd, x, y, 425, 25, id);              // sites it (a new instance)
//     bar.ReadStoredProperties(L"frmAutoFileDel", L"ucProgressBar1");
//                                                           // applies the set the form stores
//     bar.Min(0); bar.Max(total); bar.Value(done);           // each assignment repaints at once
// ReadStoredProperties is what loading the page's form does: it finds the control's section in
// the form resource (res/StoredForms.rc, type "FORM", in ResourceModule()), sizes the window to the stored extent and applies
// every stored property through its setter. Without it the control keeps a new instance's values.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "controls/bitmap/pcMemDC.h"
#include "controls/progressbar/HostObjects.h"
#include "controls/progressbar/PropertyBag.h"
#include "platform/Handles.h"
#include "ui/ControlAccessible.h"

namespace ta {

class ucProgressBar {
public:
    enum ETextAlignX : int32_t { TextAlignLeft = 0, TextAlignCenter = 1, TextAlignRight = 2 };
    enum ETextAlignY : int32_t { TextAlignTop = 0, TextAlignVCenter = 1, TextAlignBottom = 2 };
    enum EBorderStyle : int32_t { BorderNone = 0, BorderInset = 1, BorderRaised = 2 };
    enum EAppearance : int32_t { AppearanceFlat = 0, AppearanceThin3D = 1, Appearance3D = 2 };
    // Any mode other than PictureTile draws stretched.
    enum EPictureMode : int32_t { PictureStretch = 0, PictureTile = 1 };

    ucProgressBar();
    virtual ~ucProgressBar();
    ucProgressBar(const ucProgressBar&) = delete;
    ucProgressBar& operator=(const ucProgressBar&) = delete;

    // Sites the control on a page: a child window at (x, y), width × height pixels, initialised
    // as a new instance.
    bool Create(HWND parent, int x, int y, int width, int height, int id);
    HWND hWnd() const { return m_hWnd; }
    // Applies the property set that form `form` stores for control `control` (see above). False
    // when the program holds no such set; the control is then left as it was.
    bool ReadStoredProperties(std::wstring_view form, std::wstring_view control);

    // Host hooks: a new instance; loading and saving the property set (twenty keys).
    void InitProperties();
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // Raised at the start of every paint with the surface being drawn on and the client
    // rectangle; a handler that clears bDoDefault draws the control itself (its drawing is still
    // copied to the screen).
    using DrawHandler =
        std::function<void(HDC hdc, int32_t lLeft, int32_t lTop, int32_t lWidth, int32_t lHeight, bool& bDoDefault)>;
    void OnDraw(DrawHandler handler) { m_onDraw = std::move(handler); }
    // The host's notice that a stored property changed, with the property's key.
    using PropertyChangedHandler = std::function<void(std::wstring_view name)>;
    void OnPropertyChanged(PropertyChangedHandler handler) { m_onPropertyChanged = std::move(handler); }

    // Public members in slot order. Every setter stores the value as given (no range checks),
    // repaints the whole control and then notifies the host.
    bool Segments() const { return m_segments; }
    void Segments(bool bState);
    bool XpStyle() const { return m_xpStyle; }
    void XpStyle(bool bState);
    const std::wstring& Text() const { return m_text; }
    void Text(const std::wstring& sText);
    int32_t TextAlignX() const { return m_textAlignX; }
    void TextAlignX(int32_t eAlign);
    int32_t TextAlignY() const { return m_textAlignY; }
    void TextAlignY(int32_t eAlign);
    bool ShowText() const { return m_showText; }
    void ShowText(bool bState);
    // (Value - Min) / (Max - Min) × 100, limited to 0..100. Raises AppError overflow when a
    // difference leaves the 32-bit range and division by zero when Max equals Min.
    double Percent() const;
    int32_t Min() const { return m_min; }
    void Min(int32_t lMin);
    int32_t Max() const { return m_max; }
    void Max(int32_t lMax);
    int32_t Value() const { return m_value; }
    void Value(int32_t lValue);
    int32_t BorderStyle() const { return m_borderStyle; }
    void BorderStyle(int32_t eStyle);
    int32_t Appearance() const { return m_appearance; }
    void Appearance(int32_t eAppearance);
    OLE_COLOR BackColor() const { return m_backColor; }
    void BackColor(OLE_COLOR oColor);
    OLE_COLOR ForeColor() const { return m_foreColor; }
    void ForeColor(OLE_COLOR oColor);
    FontRef Font() const { return m_font; }
    void Font(FontRef font);
    OLE_COLOR BarColor() const { return m_barColor; }
    void BarColor(OLE_COLOR oColor);
    OLE_COLOR BarForeColor() const { return m_barForeColor; }
    void BarForeColor(OLE_COLOR oColor);
    // Adjust the luminance and saturation of the bar or background picture as shown; the
    // assigned picture stays as it was, so repeated calls do not accumulate. Shows at the next
    // paint. No picture: nothing happens.
    void ModifyBarPicture(double fLuminance, double fSaturation);
    void ModifyPicture(double fLuminance, double fSaturation);
    PictureRef BarPicture() const { return picBar.Picture(); }
    void BarPicture(PictureRef picture);
    int32_t BarPictureMode() const { return m_barPictureMode; }
    void BarPictureMode(int32_t eMode);
    int32_t BackPictureMode() const { return m_backPictureMode; }
    void BackPictureMode(int32_t eMode);
    PictureRef Picture() const { return picBack.Picture(); }
    void Picture(PictureRef picture);

    // Paints the whole control: composed off screen (or straight on the window when no surface
    // can be had) and copied to the window in one block. Never fails to its caller.
    void DrawControl() noexcept;
    // Composes the control as it would look at width × height onto any surface.
    void DrawInto(HDC target, int32_t width, int32_t height) noexcept;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // One composition, layer by layer: background, bar, caption, border.
    struct Layers;
    struct PaintInputs;
    // Raises Draw, then composes from the inputs read after it: the handler may have assigned a
    // property.
    void Compose(HDC target, const RECT& client, bool horizontal) noexcept;
    void ComposeLayers(HDC target, const PaintInputs& in) noexcept;
    // Raises Draw; false when the handler does the drawing itself.
    bool RaiseDraw(HDC target, const RECT& client);
    void ComposeBackground(Layers& layers);
    void ComposeBar(Layers& layers);
    void ComposeCaptionOverBar(Layers& layers);
    void ComposeBorder(Layers& layers);
    static void DrawBorder(const Layers& layers);
    static void DrawCaption(const Layers& layers, COLORREF color);
    void AssignPicture(PictureRef picture, PictureHolder& holder);
    static bool HasPicture(const PictureHolder& holder) { return holder.HasPicture(); }
    void ModifyHolderPicture(PictureHolder& holder, double fLuminance, double fSaturation);
    static int32_t TranslateColor(OLE_COLOR oColor, HPALETTE hPal = nullptr);
    template <typename Field, typename Given>
    void Store(Field& field, const Given& value, std::wstring_view name);
    void Changed(std::wstring_view name);
    // What assistive tools read: a progress indicator whose value is the filled share, "45%".
    std::wstring AccessibleValue() const;
    LRESULT AnswerGetObject(WPARAM wParam, LPARAM lParam);
    // Tells assistive tools when the share they read has changed.
    void AnnounceValue();
    HFONT FontHandle() const;

    // Everything a composition draws from, system colours resolved; only the pictures are not
    // here (assigning or modifying one forgets the surface). Two paints with equal inputs compose
    // the same pixels, so the surface still showing them is copied as it is.
    struct PaintInputs {
        std::array<LONG, 4> client{};  // left, top, right, bottom
        bool horizontal = false;
        bool xpStyle = false;
        std::array<LONG, 4> bar{};  // the classic bar, left, top, right, bottom
        // The filled share, read only for the visual style's chunks: 0 for a classic bar, which
        // `bar` holds whole, so that paints moving it by less than a segment compare equal.
        double styledFraction = 0;
        bool segments = false;
        int32_t borderStyle = 0, appearance = 0;
        COLORREF back = 0, fore = 0, barColor = 0, barFore = 0;
        std::array<COLORREF, 4> edges{};  // shadow, highlight, light, dark shadow
        bool showText = false;
        std::wstring text;
        int32_t textAlignX = 0, textAlignY = 0;
        HFONT font = nullptr;
        int32_t barPictureMode = 0, backPictureMode = 0;
        bool operator==(const PaintInputs&) const = default;
    };
    PaintInputs InputsAt(const RECT& client, bool horizontal) const;
    // Whether a paint can be repeated from its inputs: not when a Draw handler draws what it
    // likes, nor with the visual style, which may change under us.
    bool Repeatable() const { return !m_onDraw && !m_xpStyle; }

    std::optional<WindowDC> m_windowDC;  // the class's own DC, held while the window lives

    pcMemDC m_memDC;
    std::optional<PaintInputs> m_shown;  // what m_memDC holds composed; none when unknown
    HWND m_hWnd = nullptr;  // the control's window; 0 until sited and once destroyed
    int32_t m_appearance = AppearanceThin3D;
    int32_t m_borderStyle = BorderInset;
    OLE_COLOR m_foreColor = 0;
    OLE_COLOR m_barColor = 0x800000;
    OLE_COLOR m_barForeColor = 0xFFFFFF;
    int32_t m_barPictureMode = PictureTile;
    int32_t m_backPictureMode = PictureTile;
    int32_t m_min = 0;
    int32_t m_max = 100;
    int32_t m_value = 0;
    int32_t m_textAlignX = TextAlignCenter;
    int32_t m_textAlignY = TextAlignVCenter;
    bool m_showText = false;
    std::wstring m_text;
    bool m_segments = false;
    bool m_xpStyle = false;

    // Held by the host for the control.
    OLE_COLOR m_backColor = 0x8000000F;
    FontRef m_font;
    PictureHolder picBack;
    PictureHolder picBar;

    DrawHandler m_onDraw;
    bool m_composing = false;  // inside the Draw notification
    PropertyChangedHandler m_onPropertyChanged;
    ComPtr<ControlAccessible> m_accessible;  // made when a tool first asks
    int32_t m_announcedPercent = -1;
};

}  // namespace ta
