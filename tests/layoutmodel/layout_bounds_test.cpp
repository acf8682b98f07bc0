// A layout file's numbers are read within what the print can show, and a file too large
// to be a layout is not read at all: a slip of the keyboard (or a hostile file) must
// neither break the PDF nor hold the run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "layoutmodel/layout_model.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct TLoaded {
    std::vector<std::string> Findings;
    std::unique_ptr<TLayout> Layout = std::make_unique<TLayout>();
};

TLoaded Load(const test::TempFolder& dir, const std::string& text) {
    const std::string file = dir.File("v.layout.ini");
    WriteFileBytes(file, text);
    TLoaded loaded;
    loaded.Findings = loaded.Layout->LoadFromFile(file, "");
    return loaded;
}

TEST(LayoutBounds, NumbersOutsideTheirBoundsAreTakenAtTheBoundAndNamed) {
    test::TempFolder dir;
    const std::string huge = "1" + std::string(300, '0');  // 301 digits
    struct Case {
        const char* key;
        std::string value;
        double (*field)(const TLayoutElement&);
        double expected;
        std::string finding;  // "" when the value is taken as written
    } cases[] = {
        {"Schriftgroesse", huge, [](const TLayoutElement& e) { return e.FontSize; }, 72,
         "[Element.Anschrift] Schriftgroesse=10000000000000000000… (301 Zeichen): außerhalb von 4 bis 72, "
         "verwendet wird 72.0."},
        {"Schriftgroesse", "2.5", [](const TLayoutElement& e) { return e.FontSize; }, 4,
         "[Element.Anschrift] Schriftgroesse=2.5: außerhalb von 4 bis 72, verwendet wird 4.0."},
        {"Schriftgroesse", "72", [](const TLayoutElement& e) { return e.FontSize; }, 72, ""},
        {"X", "-" + huge, [](const TLayoutElement& e) { return e.X; }, -210,
         "[Element.Anschrift] X=-1000000000000000000… (302 Zeichen): außerhalb von -210 bis 210, "
         "verwendet wird -210.0."},
        {"X", "-12.5", [](const TLayoutElement& e) { return e.X; }, -12.5, ""},
        {"Y", huge, [](const TLayoutElement& e) { return e.Y; }, 297,
         "[Element.Anschrift] Y=10000000000000000000… (301 Zeichen): außerhalb von -297 bis 297, "
         "verwendet wird 297.0."},
        {"Breite", "-1", [](const TLayoutElement& e) { return e.W; }, 0,
         "[Element.Anschrift] Breite=-1: außerhalb von 0 bis 210, verwendet wird 0.0."},
        {"Hoehe", "300", [](const TLayoutElement& e) { return e.H; }, 297,
         "[Element.Anschrift] Hoehe=300: außerhalb von 0 bis 297, verwendet wird 297.0."},
        // Malformed as before: the default stays, without a finding.
        {"Hoehe", "38,5", [](const TLayoutElement& e) { return e.H; }, 38, ""},
    };
    for (const Case& c : cases) {
        const TLoaded loaded = Load(dir, std::string("[Element.Anschrift]\r\n") + c.key + "=" + c.value + "\r\n");
        const TLayoutElement* address = loaded.Layout->Find(ekAddress);
        EXPECT_DOUBLE_EQ(c.field(*address), c.expected) << c.key << "=" << c.value.substr(0, 30);
        if (c.finding.empty())
            EXPECT_TRUE(loaded.Findings.empty()) << c.key << "=" << c.value;
        else
            EXPECT_THAT(loaded.Findings,
                        ElementsAre("Layoutdatei \"" + dir.File("v.layout.ini") + "\", " + c.finding))
                << c.key;
    }
}

TEST(LayoutBounds, FreeTextsAreBoundedLikeTheFixedElements) {
    test::TempFolder dir;
    const TLoaded loaded = Load(dir, "[Text.1]\r\nX=5000\r\nSchriftgroesse=0\r\nText=A\r\n");
    const TLayoutElement* text = loaded.Layout->Elements.back().get();
    ASSERT_EQ(text->Kind, ekText);
    EXPECT_DOUBLE_EQ(text->X, 210);
    EXPECT_DOUBLE_EQ(text->FontSize, 4);
    EXPECT_EQ(loaded.Findings.size(), 2u);
}

TEST(LayoutBounds, AFileTooLargeForALayoutIsNotReadAndTheDefaultsStand) {
    test::TempFolder dir;
    std::string text = "[Element.Anschrift]\r\nX=99\r\n";
    text += std::string(kMaxLayoutFileBytes, ';');
    const TLoaded loaded = Load(dir, text);
    EXPECT_DOUBLE_EQ(loaded.Layout->Find(ekAddress)->X, 20);
    EXPECT_THAT(loaded.Findings, ElementsAre("Datei \"" + dir.File("v.layout.ini") +
                                             "\" ist größer als 4 MB und wird nicht gelesen. Es gilt das Standardlayout."));
}

// 100,000 free texts took minutes while each section was looked up among all the others.
TEST(LayoutBounds, ManyFreeTextsLoadAndSaveInLinearTime) {
    test::TempFolder dir;
    std::string text;
    constexpr int kTexts = 100000;
    for (int k = 1; k <= kTexts; ++k) text += "[Text." + std::to_string(k) + "]\r\nX=1\r\n";
    TLoaded loaded;
    EXPECT_LT(test::CpuSecondsOf([&] {
                  loaded = Load(dir, text);
                  loaded.Layout->SaveToFile(dir.File("zurueck.layout.ini"));
              }),
              5.0 * test::kCpuBoundFactor);
    EXPECT_EQ(loaded.Layout->Elements.size(), static_cast<size_t>(FixedElementKindCount + kTexts));
    EXPECT_THAT(ReadFileBytes(dir.File("zurueck.layout.ini")), HasSubstr("[Text.100000]\r\n"));
}

} // namespace
} // namespace velkaro
