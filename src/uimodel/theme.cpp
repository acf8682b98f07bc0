// The looks' colours and the check-box geometry.
#include "uimodel/theme.h"

#include <cmath>

#include "platform/text.h"

namespace velkaro {

bool IsLightSkin(const std::string& skin) { return SameText(Trim(skin), "Hell"); }

std::string SkinName(bool light) { return light ? "Hell" : "Dunkel"; }

const TThemeColors& ThemeColors(bool light) {
    static const TThemeColors dark{0xE8730C, 0xFFFFFF, 0xF0B480, 0xA0A0A0};
    static const TThemeColors bright{0x0078D7, 0xFFFFFF, 0x80B0E0, 0x707070};
    return light ? bright : dark;
}

const TStatusColors& StatusColors(bool light) {
    // Red rows must read in both looks: light red with dark text, dark red with light text.
    static const TStatusColors dark{0x5CC46A, 0xE8730C, 0x9A9A9A, 0xFF6B6B, 0x5A1F1F, 0xFFE0E0};
    static const TStatusColors bright{0x2E8B3A, 0x0078D7, 0x808080, 0xC62828, 0xFBDADA, 0x5A0A0A};
    return light ? bright : dark;
}

TCheckBoxGeometry CheckBoxGeometry(double dotsPerInch) {
    TCheckBoxGeometry g{};
    g.Size = static_cast<int>(std::lround(16.0 * dotsPerInch / 96.0));
    if (g.Size < 1) g.Size = 1;
    g.Margin = g.Size / 8;
    g.Side = g.Size - 2 * g.Margin;
    const int d = g.Margin, e = g.Side;
    g.Mark[0] = {d + e * 22 / 100, d + e * 52 / 100};
    g.Mark[1] = {d + e * 42 / 100, d + e * 72 / 100};
    g.Mark[2] = {d + e * 78 / 100, d + e * 30 / 100};
    g.MarkWidth = g.Size > 15 ? g.Size / 8 : 2;
    return g;
}

} // namespace velkaro
