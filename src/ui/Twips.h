#pragma once
// Window geometry is kept in twips (1/1440 inch) and converted to pixels at the screen's real
// resolution: 15 twips a pixel at 96 dots per inch.
#include <windows.h>

namespace ta {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kHimetricPerInch = 2540;

// Pixels for a length in twips at dpi dots per inch, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi) noexcept;
// Pixels for a length in HIMETRIC (0.01 mm) at dpi dots per inch, rounded.
int HimetricToPixels(int himetric, int dpi) noexcept;
// The height of a font of the given point size, as LOGFONT's lfHeight wants it (negative).
int PointsToFontHeight(int points, int dpi) noexcept;

// The screen's resolution, horizontally and vertically, as this process sees it.
int ScreenDpiX() noexcept;
int ScreenDpiY() noexcept;
// The resolution a window is shown at: its monitor's on systems that scale each monitor on its
// own, otherwise the screen's.
int WindowDpi(HWND hwnd) noexcept;

// Twips to pixels at the screen's resolution.
inline int TwipsX(int twips) noexcept { return TwipsToPixels(twips, ScreenDpiX()); }
inline int TwipsY(int twips) noexcept { return TwipsToPixels(twips, ScreenDpiY()); }

}  // namespace ta
