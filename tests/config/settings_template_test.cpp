#include "config/settings_template.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "config/settings_check.h"
#include "config/settings_keys.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    EXPECT_EQ(text.substr(0, 3), kUtf8Bom);
    EXPECT_TRUE(text.ends_with("\r\n"));
    return Split(ReplaceAll(text.substr(3, text.size() - 5), "\r\n", "\n"), '\n');
}

TEST(SettingsTemplate, ActiveLinesAreTheGivenValuesAndEveryOtherKeyIsExplainedInAComment) {
    const std::vector<TTemplateValue> active = {
        {"Datenbank", "Server", "sql01,1433"}, {"Datenbank", "Benutzer", ""}, {"PDF", "Logo", "logo.png"}};
    const std::string text = SettingsTemplateText(active);

    const TIniFile ini = TIniFile::FromText(text);
    ASSERT_EQ(ini.Sections().size(), 2u);
    EXPECT_EQ(ini.Sections()[0].Name, "Datenbank");
    EXPECT_EQ(ini.Sections()[0].Keys,
              (std::vector<std::pair<std::string, std::string>>{{"Server", "sql01,1433"}, {"Benutzer", ""}}));
    EXPECT_EQ(ini.Sections()[1].Name, "PDF");
    EXPECT_EQ(ini.Sections()[1].Keys, (std::vector<std::pair<std::string, std::string>>{{"Logo", "logo.png"}}));
    EXPECT_TRUE(ini.RepeatedSections().empty());

    const std::vector<std::string> lines = Lines(text);
    // Every known key: its explanation, then the key itself, active or switched off with its default.
    for (const TSettingKey& k : KnownSettingKeys()) {
        SCOPED_TRACE(std::string(k.Section) + " " + k.Key);
        const bool isActive = (std::string(k.Key) == "Server" || std::string(k.Key) == "Benutzer")
                                  ? std::string(k.Section) == "Datenbank"
                                  : std::string(k.Section) == "PDF" && std::string(k.Key) == "Logo";
        const std::string off = std::string("; ") + k.Key + "=" + k.Default;
        const std::string header = std::string("[") + k.Section + "]";
        const auto section = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l == header || l == "; " + header;
        });
        auto it = std::find_if(section, lines.end(), [&](const std::string& l) {
            return isActive ? l.starts_with(std::string(k.Key) + "=") : l == off;
        });
        ASSERT_NE(it, lines.end());
        ASSERT_NE(it, lines.begin());
        EXPECT_EQ(*(it - 1), std::string("; ") + k.Help);
    }
    // Sections without values stand only in comments; the code tables too.
    for (const TSettingSection& section : KnownSettingSections()) {
        const std::string header = std::string("[") + section.Name + "]";
        const bool on = std::string(section.Name) == "Datenbank" || std::string(section.Name) == "PDF";
        EXPECT_EQ(std::count(lines.begin(), lines.end(), on ? header : "; " + header), 1) << header;
    }
    for (const std::string& l : lines)
        EXPECT_TRUE(l.empty() || l.starts_with("; ") || l.starts_with("[") || l.find('=') != std::string::npos) << l;
}

// What the program writes on a first run is clean by its own check.
TEST(SettingsTemplate, PassesTheCheckAndKeepsAValueOnOneLine) {
    const std::string text = SettingsTemplateText({{"Verkaeufer", "IBAN", "DE1\r\n[Graph]"}});
    EXPECT_TRUE(CheckSettings(TIniFile::FromText(text), "/").empty());
    const TIniFile ini = TIniFile::FromText(text);
    ASSERT_EQ(ini.Sections().size(), 1u);
    EXPECT_EQ(ini.ReadString("Verkaeufer", "IBAN", ""), "DE1 [Graph]");
}

// The package ships the first-run file as its template (data/velkaro.ini.beispiel): the
// same text, clean by the check, and nothing of the demo's company in it. After a change
// of the key table, VELKARO_UPDATE_TEMPLATE=1 build/tests/test_config
// --gtest_filter='SettingsTemplate.*' writes it anew.
TEST(SettingsTemplate, ShippedTemplateIsTheFirstRunFileWithoutTheDemosValues) {
    const std::string shipped = test::SourceDir() + "/data/velkaro.ini.beispiel";
    const std::string text = FirstRunTemplateText();
    if (std::getenv("VELKARO_UPDATE_TEMPLATE")) WriteFileBytes(shipped, text);
    ASSERT_TRUE(FileExists(shipped));
    EXPECT_EQ(ReadFileBytes(shipped), text);

    const TIniFile ini = TIniFile::FromText(text);
    EXPECT_TRUE(CheckSettings(ini, "/").empty());
    const TIniFile demo = TIniFile::FromFile(test::SourceDir() + "/demo/velkaro.ini");
    for (const auto& [section, key] : {std::pair{"Datenbank", "Mandant"}, {"Datenbank", "Provider"},
                                       {"Datenbank", "Datenbank"}, {"Verkaeufer", "IBAN"}, {"Verkaeufer", "BIC"},
                                       {"Verkaeufer", "Geschaeftsfuehrer"}, {"Verkaeufer", "Handelsregister"}}) {
        SCOPED_TRACE(std::string(section) + " " + key);
        const std::string demoValue = demo.ReadString(section, key, "");
        ASSERT_FALSE(demoValue.empty()) << "the demo sets it";
        EXPECT_NE(ini.ReadString(section, key, ""), demoValue);
    }
    for (const char* table : {"Leitweg", "Einheiten", "Laender", "Waehrungen"})
        EXPECT_EQ(ini.FindSection(table), nullptr) << table;
    EXPECT_FALSE(ini.ValueExists("Ausgabe", "Ordner")) << "no folder of the machine that wrote it";
}

} // namespace
} // namespace velkaro
