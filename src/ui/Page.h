#pragma once
// Wizard pages: top-level windows with a fixed border and no minimise or maximise box, centred
// on the screen, with a caption and an outer size in twips. A page runs its load handler when it
// is created, its activate handler whenever it becomes the active window and its unload handler
// when it is unloaded; when the last page is unloaded the program's message loop ends.
//
// Pictures, lines and the labels' text are painted by the page in one composition, so labels lie
// transparently on the banner. Each label is also a static child window that carries its text,
// so that assistive tools read it as they read any dialog's; its pixels are the page's. Buttons,
// text boxes and hosted controls are child windows. The buttons of a page form the control array
// Command1, whose one click handler gets the index. Every handler runs under the
// continue-on-error rule: a failure inside it is passed over.
//
// Geometry is kept in twips and laid out at the page's DPI: the DPI of its monitor when the page
// is created, and again whenever the system moves it to a monitor of another DPI.
//
// This header brings what a page's author needs: the controls (ui/PageControls.h), the
// composed painting (ui/PageCanvas.h), the list of pages (ui/PageList.h) and the
// message loop (ui/MessageLoop.h).
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "ui/MessageLoop.h"
#include "ui/PageCanvas.h"
#include "ui/PageControls.h"
#include "ui/PageList.h"

namespace ta {

class Page {
public:
    Page();
    virtual ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // Creates the window, hidden, builds the controls and runs the load handler.
    void Load();
    // Shows the page, not modally, and activates it.
    void Show();
    // Runs the unload handler and destroys the window. The object itself goes once no handler
    // of the page is running any more.
    void Unload();

    HWND hWnd() const noexcept { return hwnd_; }
    bool IsLoaded() const noexcept { return state_ == State::Loaded; }
    // The DPI the page is laid out at, and its twips in pixels there.
    int Dpi() const noexcept { return dpi_; }
    int Pixels(int twips) const noexcept;
    RECT PixelsOf(const TwipsRect& rect) const noexcept;
    // The button Command1(index), or nullptr.
    Button* Command1(int index) noexcept;

    // The window procedure's view of the page; public for the message loop.
    static Page* FromWindow(HWND hwnd) noexcept;
    // Marks the rectangle (client pixels) for repainting and, when repaintNow, paints it at once.
    void InvalidatePixels(const RECT& rect, bool repaintNow);
    // Paints the page's composition of `area` (client pixels of the page) for one of its child
    // windows, into that child's DC: a label shows what the page paints beneath and on it.
    void PaintForChild(HWND child, HDC hdc, const RECT& area);
    // Lays the page out anew at another DPI: fonts, every child window, the outer size. `placed`
    // is where the system suggests the window goes (nullptr: where it is).
    void ApplyDpi(int dpi, const RECT* placed);

protected:
    // What the window system calls; every one runs under the continue-on-error rule.
    virtual void OnLoad() {}
    virtual void OnActivate() {}
    virtual void OnUnload() {}
    virtual void OnCommand1Click(int /*index*/) {}
    virtual void OnTimer(UINT_PTR /*timerId*/) {}
    // The close box, Alt+F4 or the system menu asks the page to close; answer false to stay.
    virtual bool OnQueryClose() { return true; }
    // A message of the page's own (WM_APP and above), posted from another thread.
    virtual void OnPageMessage(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {}

    // Building the page (from OnLoad).
    void SetCaption(const std::wstring& caption);
    // The outer size of the window, frame included.
    void SetOuterSize(int widthTwips, int heightTwips);
    Label& AddLabel(const TwipsRect& rect, const std::wstring& caption, LabelFont font = LabelFont::Normal,
                    COLORREF color = CLR_INVALID);
    ImageBox& AddImage();
    LineShape& AddLine(COLORREF color);
    Button& AddCommand1(int index, const std::wstring& caption, const TwipsRect& rect,
                        ButtonKind kind = ButtonKind::Push);
    TextBox& AddTextBox(const TwipsRect& rect, TextBoxKind kind = TextBoxKind::SingleLine);
    Timer& AddTimer(UINT_PTR id, UINT intervalMs);
    // A child window made elsewhere (a hosted control), kept at rect when the DPI changes.
    void HostControl(HWND child, const TwipsRect& rect);
    // The font labels and buttons use: "굴림" 9 points, Korean character set.
    HFONT NormalFont() const noexcept { return static_cast<HFONT>(normalFont_.get()); }
    HFONT BoldFont() const noexcept { return static_cast<HFONT>(boldFont_.get()); }

private:
    friend class HandlerScope;
    enum class State { Created, Loaded, Unloaded };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void Paint(HDC hdc, const RECT& area);
    void CenterOnScreen();
    void LeaveHandler();

    void MakeFonts();

    struct HostedControl {
        HWND hwnd;
        TwipsRect rect;
    };

    HWND hwnd_ = nullptr;
    State state_ = State::Created;
    int handlerDepth_ = 0;
    int dpi_ = 96;
    SIZE outerTwips_{};
    GdiObject normalFont_;
    GdiObject boldFont_;
    std::vector<std::unique_ptr<Label>> labels_;
    std::vector<std::unique_ptr<ImageBox>> images_;
    std::vector<std::unique_ptr<LineShape>> lines_;
    std::vector<std::unique_ptr<Button>> buttons_;
    std::vector<std::unique_ptr<TextBox>> textBoxes_;
    std::vector<std::unique_ptr<Timer>> timers_;
    std::vector<HostedControl> hosted_;
    PageCanvas canvas_;
};

// The first control id of the Command1 array; index i has id kCommand1BaseId + i.
inline constexpr int kCommand1BaseId = 100;

}  // namespace ta
