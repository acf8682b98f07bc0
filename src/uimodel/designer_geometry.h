#pragma once
// The designer's page on screen: millimetres to pixels at a zoom, the rectangle of an
// element, which element the mouse is over, and the numbers of the property fields.
#include <optional>
#include <string>
#include <string_view>

#include "layoutmodel/layout_model.h"

namespace velkaro {

// The page's top-left corner lies this many pixels into the paint box, on both axes.
constexpr int kPageMarginPx = 16;
// The bottom-right handle answers the mouse within this many pixels on both axes.
constexpr int kHandleReachPx = 6;
// Moving keeps at least this much of an element on the page (mm).
constexpr double kKeepOnPageMm = 5;
// Width and height never fall below this (mm).
constexpr double kMinElementMm = 2;
// Font sizes and the page: kMinFontSize, kMaxFontSize, kPageWidthMm, kPageHeightMm
// (layout_model.h), the same bounds the layout file is read with.

struct TPixelPoint {
    int X = 0, Y = 0;
};

// Left and top inclusive, right and bottom exclusive.
struct TPixelRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Contains(TPixelPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
};

// Screen pixels per millimetre for a zoom factor (1 = 100 % at 96 dpi).
double PixelsPerMm(double zoomFactor);
// A length of mm millimetres in pixels, halves rounded to even.
int MmToPixels(double mm, double pixelsPerMm);
// The element's rectangle in the paint box.
TPixelRect ElementRect(const TLayoutElement& element, double pixelsPerMm);
// The paint box: the page plus its margin on every side.
TPixelRect PaintBoxRect(double pixelsPerMm);
// The page itself inside the paint box.
TPixelRect PageRect(double pixelsPerMm);

// Nearest half millimetre, halves of the doubled value to even.
double SnapHalfMm(double mm);

// A typed length: blanks around it ignored, "," or "." as decimal separator; nullopt
// for anything that is no number.
std::optional<double> ParseMm(std::string_view text);
// A length as the property fields show it: decimal comma, one or two decimals
// (45.5 → "45,5", 20 → "20,0", 12.345 → "12,35").
std::string FormatMm(double mm);

struct THit {
    int Index = -1;       // element index in the layout, -1 for none
    bool Handle = false;  // the resize handle of the selected element
};

// What lies under p on the shown page: first the selected element's handle, then the
// smallest element containing p among the visible (or selected) ones, later elements
// winning ties.
THit HitTest(const TLayout& layout, int selected, bool showFirst, double pixelsPerMm, TPixelPoint p);

} // namespace velkaro
