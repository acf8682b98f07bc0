#pragma once
// The two looks of the program as plain data: which one a setting value chooses, the
// name stored after a switch, the accent colours, and the geometry of the check-box
// images at a screen resolution. The window toolkit paints with these values.
#include <cstdint>
#include <string>

namespace velkaro {

// 0xRRGGBB
using TRgb = uint32_t;

struct TThemeColors {
    TRgb Accent;
    TRgb AccentText;
    TRgb DesignerAccent;
    TRgb UncheckedFrame;
};

// True when the value, trimmed, equals "Hell" in any letter case; everything else is dark.
bool IsLightSkin(const std::string& skin);
// "Hell" or "Dunkel", the value stored into the settings after a switch.
std::string SkinName(bool light);
const TThemeColors& ThemeColors(bool light);

// The invoice list's status column and failed rows.
struct TStatusColors {
    TRgb Done;     // produced, sent
    TRgb Test;     // sent to the test recipient
    TRgb Skipped;
    TRgb Failed;
    TRgb FailedRowBack;  // a failed row's background, and its text
    TRgb FailedRowText;
};
const TStatusColors& StatusColors(bool light);

struct TPoint {
    int X;
    int Y;
};

// A check-box image of Size × Size pixels: a box of side Side at (Margin, Margin) and,
// when ticked, a mark through three points drawn with a pen of MarkWidth.
struct TCheckBoxGeometry {
    int Size;
    int Margin;
    int Side;
    TPoint Mark[3];
    int MarkWidth;
};

// The geometry for a screen of `dotsPerInch` (16 pixels at 96, rounded to the nearest).
TCheckBoxGeometry CheckBoxGeometry(double dotsPerInch);

} // namespace velkaro
