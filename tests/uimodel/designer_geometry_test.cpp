#include <gtest/gtest.h>

#include <optional>

#include "uimodel/designer_geometry.h"

using namespace velkaro;

namespace {

TEST(DesignerGeometry, LengthsRoundHalvesToEven) {
    struct Case {
        double Mm, PixelsPerMm;
        int Pixels;
    };
    for (const Case& c : {Case{1.25, 2, 2}, Case{1.75, 2, 4}, Case{2.25, 2, 4}, Case{210, PixelsPerMm(1), 794},
                          Case{210, PixelsPerMm(0.75), 595}})
        EXPECT_EQ(MmToPixels(c.Mm, c.PixelsPerMm), c.Pixels) << c.Mm << " mm at " << c.PixelsPerMm;
}

TEST(DesignerGeometry, RectanglesLieSixteenPixelsIntoThePaintBox) {
    TLayoutElement e;
    e.X = 10;
    e.Y = 5;
    e.W = 20;
    e.H = 10.25;
    const TPixelRect r = ElementRect(e, 2);
    EXPECT_EQ(r.Left, 36);
    EXPECT_EQ(r.Top, 26);
    EXPECT_EQ(r.Right, 76);
    EXPECT_EQ(r.Bottom, 46);  // (5 + 10.25) × 2 = 30.5 → 30
    // 75 %: the page is 595 × 842 pixels, the box 32 more each way.
    EXPECT_EQ(PaintBoxRect(PixelsPerMm(0.75)).Width(), 627);
    EXPECT_EQ(PaintBoxRect(PixelsPerMm(0.75)).Height(), 874);
    EXPECT_EQ(PaintBoxRect(PixelsPerMm(1.5)).Width(), 1191 + 32);  // 1190.55 rounds up
}

TEST(DesignerGeometry, SnapsToHalfMillimetres) {
    struct Case {
        double In, Out;
    };
    for (const Case& c : {Case{12.2, 12}, Case{12.3, 12.5}, Case{12.74, 12.5}, Case{12.76, 13}, Case{1.25, 1},
                          Case{1.75, 2}, Case{-0.3, -0.5}, Case{-4.1, -4}})
        EXPECT_DOUBLE_EQ(SnapHalfMm(c.In), c.Out) << c.In;
}

TEST(DesignerGeometry, TypedLengthsTakeCommaOrPoint) {
    struct Case {
        const char* Text;
        std::optional<double> Value;
    };
    for (const Case& c : {Case{"12.5", 12.5}, Case{"12,5", 12.5}, Case{"  7,25 ", 7.25}, Case{"-3", -3},
                          Case{"", std::nullopt}, Case{"abc", std::nullopt}, Case{"12,5 mm", std::nullopt},
                          Case{"1,000,5", std::nullopt}})
        EXPECT_EQ(ParseMm(c.Text), c.Value) << c.Text;
}

TEST(DesignerGeometry, LengthsShowOneOrTwoDecimalsWithComma) {
    struct Case {
        double Mm;
        const char* Text;
    };
    for (const Case& c : {Case{45.5, "45,5"}, Case{20, "20,0"}, Case{12.346, "12,35"}, Case{0.05, "0,05"},
                          Case{-2.5, "-2,5"}, Case{8.5, "8,5"}, Case{99.999, "100,0"}})
        EXPECT_EQ(FormatMm(c.Mm), c.Text) << c.Mm;
}

// Elements given as X, Y, W, H in millimetres; at 1 pixel per mm a point (x, y) in mm
// lies at pixel (x + 16, y + 16).
std::unique_ptr<TLayoutElement> Box(double x, double y, double w, double h, TPageScope scope = psFirst,
                                    bool visible = true) {
    auto e = std::make_unique<TLayoutElement>();
    e->X = x;
    e->Y = y;
    e->W = w;
    e->H = h;
    e->Scope = scope;
    e->Visible = visible;
    return e;
}

TPixelPoint At(int xMm, int yMm) {
    return {xMm + kPageMarginPx, yMm + kPageMarginPx};
}

TEST(DesignerGeometry, HitTestPicksTheSmallestAndTheHandleFirst) {
    TLayout layout;
    layout.Elements.push_back(Box(10, 10, 20, 20));        // 0: small, early in the list
    layout.Elements.push_back(Box(0, 0, 100, 100));        // 1: large, over it
    layout.Elements.push_back(Box(50, 50, 10, 10));        // 2: equal to 3
    layout.Elements.push_back(Box(50, 50, 10, 10));        // 3
    layout.Elements.push_back(Box(70, 70, 8, 8, psFirst, false));  // 4: hidden
    layout.Elements.push_back(Box(80, 80, 5, 5, psFollow));        // 5: other page
    layout.Elements.push_back(Box(25, 25, 40, 40));        // 6: covers 0's corner

    struct Case {
        int Selected;
        TPixelPoint Point;
        int Index;
        bool Handle;
    };
    for (const Case& c : {
             Case{-1, At(15, 15), 0, false},   // the smaller one, although the larger comes later
             Case{-1, At(55, 55), 3, false},   // equal areas: the later one
             Case{-1, At(90, 90), 1, false},
             Case{-1, At(71, 71), 1, false},   // hidden: not hit
             Case{4, At(71, 71), 4, false},    // unless selected
             Case{-1, At(82, 82), 1, false},   // other page: not hit
             Case{-1, At(100, 50), -1, false}, // right edge is outside
             Case{-1, At(0, 0), 1, false},     // top-left edge is inside
             Case{-1, At(29, 29), 0, false},   // 0 is smaller than 6
             Case{0, At(30, 30), 0, true},     // 0's handle although 6 lies on top
             Case{0, At(36, 36), 0, true},     // 6 pixels off still takes the handle
             Case{0, At(37, 30), 6, false},    // 7 pixels off does not
             Case{-1, At(30, 30), 6, false},   // without selection there is no handle
             Case{5, At(85, 85), 1, false},    // a selected element on the other page has no handle here
         }) {
        const THit hit = HitTest(layout, c.Selected, true, 1, c.Point);
        EXPECT_EQ(hit.Index, c.Index) << c.Point.X << "," << c.Point.Y << " selected " << c.Selected;
        EXPECT_EQ(hit.Handle, c.Handle) << c.Point.X << "," << c.Point.Y << " selected " << c.Selected;
    }
}

} // namespace
