#pragma once
// The controls a page is built of: labels, pictures, lines, buttons, text boxes and timers. Each
// keeps its geometry in twips and asks its page for the pixels at the page's DPI; labels, pictures
// and lines are painted by the page (ui/PageCanvas.h), the others are child windows.
#include <windows.h>

#include <memory>
#include <string>

#include "platform/Handles.h"
#include "ui/Picture.h"

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
    // Moves the label to rect and repaints where it was and where it is.
    void Move(const TwipsRect& rect);

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
    LineShape(Page& page, COLORREF color) : page_(page), pen_(::CreatePen(PS_SOLID, 1, color)) {}
    void Move(int x1Twips, int y1Twips, int x2Twips, int y2Twips);
    // The end points in client pixels.
    POINT From() const noexcept;
    POINT To() const noexcept;
    void Paint(HDC hdc) const;

private:
    Page& page_;
    GdiObject pen_;
    int x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
};

// What a button of the control array Command1 is: a push button, or an option button of a group
// of which exactly one is chosen (FirstOption starts the group).
enum class ButtonKind { Push, FirstOption, Option };

// A button; a member of the page's control array Command1.
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
    void Visible(bool visible);
    // An option button's choice.
    bool Checked() const noexcept;
    void Checked(bool checked);

private:
    Page& page_;
    HWND hwnd_;
    int index_;
    TwipsRect rect_;
};

// A single-line text box, or a read-only list of lines that scrolls.
enum class TextBoxKind { SingleLine, ReadOnlyList };
class TextBox {
public:
    TextBox(Page& page, HWND hwnd, TwipsRect rect) noexcept : page_(page), hwnd_(hwnd), rect_(rect) {}
    HWND hWnd() const noexcept { return hwnd_; }
    std::wstring Text() const;
    void Text(const std::wstring& text);
    void Place() const;
    void Visible(bool visible);

private:
    Page& page_;
    HWND hwnd_;
    TwipsRect rect_;
};

// A timer of the page: while enabled, the page's OnTimer runs every interval.
class Timer {
public:
    Timer(Page& page, UINT_PTR id, UINT intervalMs) noexcept : page_(page), id_(id), interval_(intervalMs) {}
    UINT_PTR Id() const noexcept { return id_; }
    UINT Interval() const noexcept { return interval_; }
    bool Enabled() const noexcept { return enabled_; }
    void Enabled(bool enabled);

private:
    Page& page_;
    UINT_PTR id_;
    UINT interval_;
    bool enabled_ = false;
};

// Moves and sizes a child window to rc (client pixels of its parent), keeping its z-order.
void PlaceWindow(HWND hwnd, const RECT& rc);

}  // namespace ta
