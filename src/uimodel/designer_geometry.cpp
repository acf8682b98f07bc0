#include "uimodel/designer_geometry.h"

#include <cmath>
#include <cstdlib>

#include "platform/number_parse.h"

namespace velkaro {

double PixelsPerMm(double zoomFactor) {
    return zoomFactor * 96.0 / 25.4;
}

int MmToPixels(double mm, double pixelsPerMm) {
    // nearbyint follows the default rounding mode: to nearest, halves to even.
    return static_cast<int>(std::nearbyint(mm * pixelsPerMm));
}

TPixelRect ElementRect(const TLayoutElement& element, double pixelsPerMm) {
    return {MmToPixels(element.X, pixelsPerMm) + kPageMarginPx, MmToPixels(element.Y, pixelsPerMm) + kPageMarginPx,
            MmToPixels(element.X + element.W, pixelsPerMm) + kPageMarginPx,
            MmToPixels(element.Y + element.H, pixelsPerMm) + kPageMarginPx};
}

TPixelRect PaintBoxRect(double pixelsPerMm) {
    return {0, 0, MmToPixels(kPageWidthMm, pixelsPerMm) + 2 * kPageMarginPx,
            MmToPixels(kPageHeightMm, pixelsPerMm) + 2 * kPageMarginPx};
}

TPixelRect PageRect(double pixelsPerMm) {
    return {kPageMarginPx, kPageMarginPx, MmToPixels(kPageWidthMm, pixelsPerMm) + kPageMarginPx,
            MmToPixels(kPageHeightMm, pixelsPerMm) + kPageMarginPx};
}

double SnapHalfMm(double mm) {
    return std::nearbyint(mm * 2) / 2;
}

std::optional<double> ParseMm(std::string_view text) {
    std::string pointed(text);
    for (char& c : pointed)
        if (c == ',') c = '.';
    return ParseDecimalPoint(pointed);
}

std::string FormatMm(double mm) {
    const long long hundredths = std::llround(mm * 100);
    const long long whole = std::llabs(hundredths) / 100;
    const long long fraction = std::llabs(hundredths) % 100;
    std::string text = (hundredths < 0 ? "-" : "") + std::to_string(whole) + ",";
    text += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
    return text;
}

THit HitTest(const TLayout& layout, int selected, bool showFirst, double pixelsPerMm, TPixelPoint p) {
    const int count = static_cast<int>(layout.Elements.size());
    if (selected >= 0 && selected < count && layout.Elements[selected]->OnPage(showFirst)) {
        const TPixelRect r = ElementRect(*layout.Elements[selected], pixelsPerMm);
        if (std::abs(p.X - r.Right) <= kHandleReachPx && std::abs(p.Y - r.Bottom) <= kHandleReachPx)
            return {selected, true};
    }
    THit best;
    double bestArea = 0;
    for (int i = count - 1; i >= 0; --i) {
        const TLayoutElement& e = *layout.Elements[i];
        if (!e.OnPage(showFirst) || !(e.Visible || i == selected)) continue;
        if (!ElementRect(e, pixelsPerMm).Contains(p)) continue;
        const double area = e.W * e.H;
        if (best.Index < 0 || area < bestArea) {
            best.Index = i;
            bestArea = area;
        }
    }
    return best;
}

} // namespace velkaro
