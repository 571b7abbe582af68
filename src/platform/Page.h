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
#include <windows.h>

#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/Picture.h"

namespace ta {

class Page;

// A rectangle in twips, relative to the page's client area.
struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Pixels of a twips rectangle at dpi dots per inch.
RECT TwipsRectToPixels(const TwipsRect& rect, int dpi) noexcept;

enum class LabelFont { Normal, Bold };

// A transparent, word-wrapping label: its text painted by its page, its window read by
// assistive tools.
class Label {
public:
    Label(Page& page, HWND hwnd, TwipsRect rect, std::wstring caption, LabelFont font, COLORREF color)
        : page_(page), hwnd_(hwnd), rect_(rect), caption_(std::move(caption)), font_(font), color_(color) {}

    HWND hWnd() const noexcept { return hwnd_; }
    const std::wstring& Caption() const noexcept { return caption_; }
    // Sets the caption and repaints the label at once.
    void Caption(const std::wstring& text);
    const TwipsRect& Rect() const noexcept { return rect_; }
    LabelFont Font() const noexcept { return font_; }
    COLORREF ForeColor() const noexcept { return color_; }
    void Paint(HDC hdc, HFONT font) const;
    // Puts the window at the label's place at the page's DPI.
    void Place() const;

private:
    Page& page_;
    HWND hwnd_;
    TwipsRect rect_;
    std::wstring caption_;
    LabelFont font_;
    COLORREF color_;
};

// A picture at a position, drawn at its own size.
class ImageBox {
public:
    explicit ImageBox(Page& page) : page_(page) {}
    const std::shared_ptr<Picture>& GetPicture() const noexcept { return picture_; }
    void SetPicture(std::shared_ptr<Picture> picture);
    void Move(int leftTwips, int topTwips);
    // Where the picture lies, in client pixels; empty without a picture.
    RECT Bounds() const noexcept;
    void Paint(HDC hdc) const;

private:
    Page& page_;
    std::shared_ptr<Picture> picture_;
    int left_ = 0;
    int top_ = 0;
};

// A one-pixel line between two points.
class LineShape {
public:
    LineShape(Page& page, COLORREF color) : page_(page), color_(color), pen_(::CreatePen(PS_SOLID, 1, color)) {}
    void Move(int x1Twips, int y1Twips, int x2Twips, int y2Twips);
    COLORREF Color() const noexcept { return color_; }
    // The end points in client pixels.
    POINT From() const noexcept;
    POINT To() const noexcept;
    void Paint(HDC hdc) const;

private:
    Page& page_;
    COLORREF color_;
    GdiObject pen_;
    int x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
};

// A push button; a member of the page's control array Command1.
class Button {
public:
    Button(Page& page, HWND hwnd, int index, TwipsRect rect) noexcept
        : page_(page), hwnd_(hwnd), index_(index), rect_(rect) {}
    HWND hWnd() const noexcept { return hwnd_; }
    int Index() const noexcept { return index_; }
    std::wstring Caption() const;
    void Caption(const std::wstring& text);
    bool Enabled() const noexcept;
    void Enabled(bool enabled);
    // Moves the button, keeping its size.
    void Move(int leftTwips, int topTwips);
    void SetFocus();
    void Place() const;

private:
    Page& page_;
    HWND hwnd_;
    int index_;
    TwipsRect rect_;
};

// A single-line text box.
class TextBox {
public:
    TextBox(Page& page, HWND hwnd, TwipsRect rect) noexcept : page_(page), hwnd_(hwnd), rect_(rect) {}
    HWND hWnd() const noexcept { return hwnd_; }
    std::wstring Text() const;
    void Text(const std::wstring& text);
    void Place() const;

private:
    Page& page_;
    HWND hwnd_;
    TwipsRect rect_;
};

// A timer of the page: while enabled, the page's OnTimer runs every interval.
class Timer {
public:
    Timer(Page& page, UINT id, UINT intervalMs) noexcept : page_(page), id_(id), interval_(intervalMs) {}
    UINT Id() const noexcept { return id_; }
    UINT Interval() const noexcept { return interval_; }
    bool Enabled() const noexcept { return enabled_; }
    void Enabled(bool enabled);

private:
    Page& page_;
    UINT id_;
    UINT interval_;
    bool enabled_ = false;
};

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
    virtual void OnTimer(UINT /*timerId*/) {}
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
    Button& AddCommand1(int index, const std::wstring& caption, const TwipsRect& rect);
    TextBox& AddTextBox(const TwipsRect& rect);
    Timer& AddTimer(UINT id, UINT intervalMs);
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
    // The off-screen surface paints are composed on, kept between paints and grown on demand.
    MemoryDC paintDC_;
    GdiObject paintBitmap_;
    SIZE paintSize_{};
};

// The first control id of the Command1 array; index i has id kCommand1BaseId + i.
inline constexpr int kCommand1BaseId = 100;

// Pages that are loaded, oldest first.
std::vector<Page*> LoadedPages();
// Takes ownership of a new page and loads it.
void AdoptAndLoad(std::unique_ptr<Page> page);

// Creates a page of class P from the arguments and loads it; answers it.
template <typename P, typename... Args>
P& LoadPage(Args&&... args) {
    auto page = std::make_unique<P>(std::forward<Args>(args)...);
    P& ref = *page;
    AdoptAndLoad(std::move(page));
    return ref;
}

// The loaded page of class P, or nullptr.
template <typename P>
P* FindPage() {
    for (Page* page : LoadedPages())
        if (auto* p = dynamic_cast<P*>(page)) return p;
    return nullptr;
}

// The pages' keyboard: Tab and Shift+Tab move between enabled buttons, Enter presses the focused
// one (Space is the button's own). Answers true when the message was consumed.
bool TranslatePageKey(const MSG& msg);
// Dispatches messages until the last page has been unloaded; answers the exit code.
int RunMessageLoop();
// Dispatches the messages waiting now, through the pages' keyboard handling.
void DispatchPendingMessages();

}  // namespace ta
