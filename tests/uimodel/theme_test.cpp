// The choice of the look from the setting, the colours and the check-box geometry.
#include <gtest/gtest.h>

#include "uimodel/theme.h"

using namespace velkaro;

namespace {

TEST(Theme, OnlyHellInAnyCaseWithBlanksGivesTheLightLook) {
    const struct {
        const char* Value;
        bool Light;
    } cases[] = {{"Hell", true},    {"hell", true},  {"  HELL \t", true}, {"Dunkel", false}, {"", false},
                 {"Hell2", false},  {"Hel", false},  {"Windows", false},  {"H ell", false}};
    for (const auto& c : cases) EXPECT_EQ(IsLightSkin(c.Value), c.Light) << "'" << c.Value << "'";
}

TEST(Theme, TheStoredNameChoosesTheSameLookAgain) {
    for (bool light : {true, false}) EXPECT_EQ(IsLightSkin(SkinName(light)), light);
    EXPECT_EQ(SkinName(true), "Hell");
    EXPECT_EQ(SkinName(false), "Dunkel");
}

TEST(Theme, AccentColoursOfBothLooks) {
    EXPECT_EQ(ThemeColors(false).Accent, 0xE8730Cu);
    EXPECT_EQ(ThemeColors(true).Accent, 0x0078D7u);
    EXPECT_EQ(ThemeColors(false).DesignerAccent, 0xF0B480u);
    EXPECT_EQ(ThemeColors(true).DesignerAccent, 0x80B0E0u);
    EXPECT_EQ(ThemeColors(false).UncheckedFrame, 0xA0A0A0u);
    EXPECT_EQ(ThemeColors(true).UncheckedFrame, 0x707070u);
    for (bool light : {true, false}) EXPECT_EQ(ThemeColors(light).AccentText, 0xFFFFFFu);
}

TEST(Theme, CheckBoxGeometryFollowsTheScreenResolution) {
    const struct {
        double Dpi;
        int Size, Margin, Side, MarkWidth;
        TPoint Mark[3];
    } cases[] = {
        {96, 16, 2, 12, 2, {{4, 8}, {7, 10}, {11, 5}}},
        {144, 24, 3, 18, 3, {{6, 12}, {10, 15}, {17, 8}}},
        {192, 32, 4, 24, 4, {{9, 16}, {14, 21}, {22, 11}}},
        // 15 pixels: a pen of 2 for small boxes, the margin rounds down.
        {90, 15, 1, 13, 2, {{3, 7}, {6, 10}, {11, 4}}},
        // 126 dpi: 21 pixels, to the nearest pixel.
        {126, 21, 2, 17, 2, {{5, 10}, {9, 14}, {15, 7}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Dpi);
        const TCheckBoxGeometry g = CheckBoxGeometry(c.Dpi);
        EXPECT_EQ(g.Size, c.Size);
        EXPECT_EQ(g.Margin, c.Margin);
        EXPECT_EQ(g.Side, c.Side);
        EXPECT_EQ(g.MarkWidth, c.MarkWidth);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(g.Mark[i].X, c.Mark[i].X) << i;
            EXPECT_EQ(g.Mark[i].Y, c.Mark[i].Y) << i;
        }
    }
}

} // namespace
