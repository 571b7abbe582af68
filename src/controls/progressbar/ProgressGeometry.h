#pragma once
// The progress bar's geometry: plain integer arithmetic on client coordinates, no device context.
// Rectangles are RECT values (left, top, right, bottom; right and bottom exclusive).
#include <windows.h>

#include <cstdint>
#include <vector>

namespace ta::progressbar {

// The classic segment: 8 pixels of bar followed by a 2-pixel gap.
inline constexpr int32_t kClassicChunk = 8;
inline constexpr int32_t kClassicSpace = 2;

// Chunk and space sizes of one paint. In the themed style the chunk already holds one space, so
// the period (chunk + space) is the theme's chunk plus twice its space.
struct Segmentation {
    int32_t chunk = 0;
    int32_t space = 0;
    int32_t Period() const { return chunk + space; }
};
Segmentation ClassicSegmentation();
Segmentation ThemedSegmentation(int32_t themeChunk, int32_t themeSpace);

// Wider than high; a square or taller control grows from the bottom.
bool IsHorizontal(int32_t width, int32_t height);

// The nearest integer, a half going to the even neighbour.
int32_t RoundHalfEven(double value);

// The area inside the border: inset by 1 for the themed style, otherwise by 2 for the two-pixel
// edge (appearance 2) and by 1 for any other appearance; no inset when borderStyle <= 0.
RECT InnerRect(const RECT& client, int32_t borderStyle, int32_t appearance, bool themed);

// The filled share of the range, 0 to 1. An empty range (max == min) is full once value passes
// min; a difference that leaves the 32-bit range gives 0.
double BarFraction(int32_t min, int32_t max, int32_t value);

// The filled share as assistive tools read it: whole percent, rounded down, by the same rules.
int32_t BarPercent(int32_t min, int32_t max, int32_t value);

// The filled part of the inner rectangle. A horizontal bar grows from the left, a vertical one
// from the bottom. A period other than 0 cuts the length down to whole periods.
RECT BarRect(const RECT& inner, double fraction, bool horizontal, int32_t period);

// The classic gaps between segments over the whole inner rectangle; drawing clips them to the
// bar, so only the gaps inside it show.
std::vector<RECT> SegmentGaps(const RECT& inner, const RECT& bar, bool horizontal, Segmentation seg);

// The rectangle handed to the themed chunk drawing: the bar less 2 pixels, then one more on the
// right and at the bottom.
RECT ThemedChunkRect(const RECT& bar);

// Flags of both caption calls: single line, horizontal alignment, vertical alignment × 4.
UINT CaptionFormat(int32_t alignX, int32_t alignY);

// Border lines of the flat and thin-3D appearances: a move to `from`, then a line to each of
// `to` with `pen` (each line stops one pixel before its end point).
enum class BorderPen { Black, Shadow, Highlight };
struct BorderStroke {
    BorderPen pen;
    POINT from;
    std::vector<POINT> to;
};
// Appearance 0 and 1; any other appearance has no lines (2 is drawn as an edge, see EdgeKind).
std::vector<BorderStroke> BorderStrokes(int32_t appearance, const RECT& outer, bool raised);
// The edge of the two-pixel appearance: raised 5 (BDR_RAISEDOUTER | BDR_RAISEDINNER) or sunken
// 10, with all four sides soft (0x100F).
UINT EdgeKind(bool raised);
inline constexpr UINT kEdgeFlags = 0x100F;

// One block copy of a tiling: destination rectangle and source corner.
struct TileCopy {
    int32_t x, y, width, height, srcX, srcY;
    bool operator==(const TileCopy&) const = default;
};
// The copies that tile (x, y, width, height) with a srcWidth × srcHeight source, anchored to the
// target's origin (shifted by the offsets). A source width or height of 0 raises division by zero.
std::vector<TileCopy> TileCopies(int32_t x, int32_t y, int32_t width, int32_t height, int32_t srcWidth,
                                 int32_t srcHeight, int32_t xOffset = 0, int32_t yOffset = 0);

}  // namespace ta::progressbar
