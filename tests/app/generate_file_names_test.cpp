#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/file_names.h"
#include "config/settings.h"
#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::HasSubstr;

TEST(SanitizeFileName, ReplacesTheNineReservedCharactersOnly) {
    EXPECT_EQ(SanitizeFileName("a\"b*c/d:e<f>g?h\\i|j"), "a_b_c_d_e_f_g_h_i_j");
    // Blanks, dots, dashes, letters outside ASCII and the percent sign stay.
    EXPECT_EQ(SanitizeFileName("-Rechnung Nr. 5 (Köln) 100% ..\u20AC"), "-Rechnung Nr. 5 (Köln) 100% ..\u20AC");
    EXPECT_EQ(SanitizeFileName("RE/2024/17"), "RE_2024_17");
    EXPECT_EQ(SanitizeFileName("../../etc/passwd"), ".._.._etc_passwd");
    EXPECT_EQ(SanitizeFileName(""), "");
}

struct PatternCase {
    const char* Pattern;
    const char* Number;
    const char* Expected;
};

class FileNamePattern : public ::testing::TestWithParam<PatternCase> {};

TEST_P(FileNamePattern, FillsTheNumber) {
    EXPECT_EQ(FormatFileNamePattern(GetParam().Pattern, GetParam().Number), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileNamePattern,
    ::testing::Values(PatternCase{"Rechnung_%s", "RE-100234", "Rechnung_RE-100234"},
                      PatternCase{"%s", "RE-1", "RE-1"},
                      PatternCase{"Rechnungen", "RE-1", "Rechnungen"},  // every invoice writes the same file
                      PatternCase{"%5s", "AB", "   AB"},
                      PatternCase{"%-5s|", "AB", "AB   |"},
                      PatternCase{"%2s", "ABCD", "ABCD"},               // width never cuts
                      PatternCase{"%.3s", "ABCDEF", "ABC"},
                      PatternCase{"%6.3s", "ABCDEF", "   ABC"},
                      PatternCase{"%.0s_x", "ABC", "_x"},
                      PatternCase{"%.s_x", "ABC", "_x"},
                      PatternCase{"%.2s", "ÄÖÜ", "ÄÖ"},                 // counts characters, not bytes
                      PatternCase{"%4s", "ÄÖ", "  ÄÖ"},
                      PatternCase{"100%%_%s", "RE-1", "100%_RE-1"},
                      PatternCase{"%%s", "RE-1", "%s"},
                      PatternCase{"%S", "RE-1", "RE-1"},
                      PatternCase{"R_%s", "%d%s%n", "R_%d%s%n"},          // the number is never a format
                      PatternCase{"", "RE-1", ""}));

TEST(FileNamePattern, TwoHundredCharacterNumberIsKeptWhole) {
    const std::string number(200, 'X');
    EXPECT_EQ(FormatFileNamePattern("Rechnung_%s", number), "Rechnung_" + number);
    EXPECT_EQ(FormatFileNamePattern("%.10s", number), std::string(10, 'X'));
}

class BadFileNamePattern : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(BadFileNamePattern, FailsWithGermanErrorNamingThePattern) {
    const auto& [pattern, fragment] = GetParam();
    try {
        FormatFileNamePattern(pattern, "RE-1");
        FAIL() << "no error for " << pattern;
    } catch (const Exception& e) {
        EXPECT_THAT(e.what(), HasSubstr(std::string("Dateinamensmuster \"") + pattern + "\""));
        EXPECT_THAT(e.what(), HasSubstr(fragment));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadFileNamePattern,
    ::testing::Values(std::pair{"Rechnung_%d", "\"%d\" ist nicht erlaubt"},
                      std::pair{"%s_%d", "\"%d\" ist nicht erlaubt"},
                      std::pair{"%x", "\"%x\" ist nicht erlaubt"},
                      std::pair{"%5.2f", "\"%5.2f\" ist nicht erlaubt"},
                      std::pair{"%n", "\"%n\" ist nicht erlaubt"},
                      std::pair{"%0:s", "\"%0:\" ist nicht erlaubt"},
                      std::pair{"%s_%s", "\"%s\" ist überzählig"},
                      std::pair{"%s%5s", "\"%5s\" ist überzählig"},
                      std::pair{"Rechnung_%s%", "\"%\" am Ende"},
                      std::pair{"%", "\"%\" am Ende"},
                      std::pair{"Rechnung_%5", "\"%5\" am Ende ist unvollständig"},
                      std::pair{"%.", "\"%.\" am Ende ist unvollständig"},
                      std::pair{"%256s", "höchstens 255"},
                      std::pair{"%.99999999999999999999999s", "höchstens 255"}));

TEST(JoinOutputPath, OneSeparatorBetweenFolderAndName) {
    EXPECT_EQ(JoinOutputPath("/srv/ausgabe", "Rechnung_1"), "/srv/ausgabe/Rechnung_1");
    EXPECT_EQ(JoinOutputPath("/srv/ausgabe/", "Rechnung_1"), "/srv/ausgabe/Rechnung_1");
    EXPECT_EQ(JoinOutputPath("ausgabe", "R"), "ausgabe/R");
    EXPECT_EQ(JoinOutputPath("", "Rechnung_1"), "Rechnung_1");  // relative to the current folder
    // Characters Windows reserves for the shell are fine in the (sanitized) name part.
    EXPECT_EQ(JoinOutputPath("/a b/(c)", "x y%"), "/a b/(c)/x y%");
}

TEST(JoinOutputPath, RejectsCharactersNoWindowsPathMayHold) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/srv/aus\"gabe", "R"}, {"/srv/a<b", "R"}, {"/srv/a>b", "R"}, {"/srv/a|b", "R"},
        {"/srv/a\tb", "R"},      {"/srv/ausgabe", "R\nx"}, {"", std::string("R\0x", 3)}, {"/srv/\x1f", "R"}};
    for (const auto& [folder, name] : cases) {
        try {
            JoinOutputPath(folder, name);
            ADD_FAILURE() << "no error for " << folder << " + " << name;
        } catch (const Exception& e) {
            EXPECT_THAT(e.what(), HasSubstr("Ungültige Zeichen im Pfad"));
            // Control characters are shown, not passed on into the one-line log.
            EXPECT_EQ(std::string(e.what()).find_first_of("\t\n\x1f"), std::string::npos) << e.what();
        }
    }
}

TEST(OutputFileBase, PatternThenSanitizingThenJoining) {
    EXPECT_EQ(OutputFileBase("/srv/ausgabe", "Rechnung_%s", "RE/2024/17"), "/srv/ausgabe/Rechnung_RE_2024_17");
    // A pattern cannot make subfolders: its result is sanitized as a whole.
    EXPECT_EQ(OutputFileBase("/srv/ausgabe", "../%s", "x"), "/srv/ausgabe/.._x");
    EXPECT_EQ(OutputFileBase("/srv/ausgabe", "%s", ".."), "/srv/ausgabe/..");
    EXPECT_EQ(OutputFileBase("/srv/ausgabe", "%s", "-rf"), "/srv/ausgabe/-rf");
    EXPECT_EQ(OutputFileBase("/srv/ausgabe", "Rechnung_%s", "C:\\temp\\x"), "/srv/ausgabe/Rechnung_C__temp_x");
    EXPECT_THROW(OutputFileBase("/srv/ausgabe", "Rechnung_%s", "RE\t1"), Exception);
    EXPECT_THROW(OutputFileBase("/srv/ausgabe", "%s_%s", "RE-1"), Exception);
}

// Each kind under its own pattern; a bad pattern names the key it came from.
TEST(DocumentFileBase, PatternOfTheKind) {
    test::TempFolder dir;
    WriteFileBytes(dir.File("velkaro.ini"), "[Ausgabe]\r\nOrdner=/srv/aus\r\n");
    TSettings settings(dir.File("velkaro.ini"));
    EXPECT_EQ(DocumentFileBase(settings, RunOptionsOf(settings), bkInvoice, "RE/1"), "/srv/aus/Rechnung_RE_1");
    EXPECT_EQ(DocumentFileBase(settings, RunOptionsOf(settings), bkCreditMemo, "GS/1"), "/srv/aus/Rechnungskorrektur_GS_1");
    settings.FileNamePattern = "%s_%s";
    settings.CreditMemoFileNamePattern = "GS_%d";
    struct Case { TDocumentKind Kind; const char* Error; };
    for (const Case& c : {Case{bkInvoice, "Dateinamensmuster \"%s_%s\" (INI [Ausgabe] Dateiname) ist ungültig: "},
                          Case{bkCreditMemo, "Dateinamensmuster \"GS_%d\" (INI [Ausgabe] DateinameGutschrift) ist "
                                             "ungültig: "}}) {
        try {
            DocumentFileBase(settings, RunOptionsOf(settings), c.Kind, "1");
            ADD_FAILURE() << c.Error;
        } catch (const Exception& e) {
            EXPECT_THAT(e.what(), ::testing::StartsWith(c.Error));
        }
    }
}

TEST(OutputTempFile, OnlyTheNamesOfTheAtomicWriteOfAPdfOrXml) {
    const std::pair<const char*, bool> cases[] = {
        {".Rechnung_RE24-0001.pdf.3141592653.tmp", true},
        {".Rechnung_RE24-0001.xml.0.tmp", true},
        {"..pdf.17.tmp", true},                            // from a pattern that gives an empty name
        {".Rechnung mit Blank.pdf.4294967295.tmp", true},
        {"Rechnung_RE24-0001.pdf.123.tmp", false},         // no leading dot
        {".Rechnung_RE24-0001.pdf.tmp", false},            // no number
        {".Rechnung_RE24-0001.pdf.12a.tmp", false},
        {".Rechnung_RE24-0001.pdf.12345678901.tmp", false},  // more digits than the random number has
        {".Rechnung_RE24-0001.pdf.-1.tmp", false},
        {".Rechnung_RE24-0001.PDF.1.tmp", false},
        {".velkaro.log.123.tmp", false},                   // the batch log is no output file
        {".velkaro.ini.123.tmp", false},
        {".Rechnung_RE24-0001.pdf.123.tmp.bak", false},
        {".Rechnung_RE24-0001.pdf.123.TMP", false},
        {".pdf.1.tmp", false},
        {".tmp", false},
        {"", false},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(IsOutputTempFileName(name), expected) << name;
}

TEST(OutputTempFile, StaleOnesAreRemovedYoungOnesAndOthersStay) {
    namespace fs = std::filesystem;
    test::TempFolder dir;
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
    auto make = [&](const std::string& name, bool stale) {
        WriteFileBytes(dir.File(name), "%PDF-1.7 halb");
        if (stale) fs::last_write_time(dir.File(name), old);
    };
    make(".Rechnung_A.pdf.1.tmp", true);
    make(".Rechnung_B.xml.22.tmp", true);
    make(".Rechnung_C.pdf.333.tmp", false);  // may be written by another run just now
    make(".fremd.txt.1.tmp", true);
    make("Rechnung_A.pdf", true);
    fs::create_directory(dir.File(".Ordner.pdf.4.tmp"));
    fs::last_write_time(dir.File(".Ordner.pdf.4.tmp"), old);

    EXPECT_THAT(RemoveStaleOutputTempFiles(dir.Path()),
                ::testing::ElementsAre(".Rechnung_A.pdf.1.tmp", ".Rechnung_B.xml.22.tmp"));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.Path())) left.push_back(entry.path().filename());
    EXPECT_THAT(left, ::testing::UnorderedElementsAre(".Rechnung_C.pdf.333.tmp", ".fremd.txt.1.tmp", "Rechnung_A.pdf",
                                                     ".Ordner.pdf.4.tmp"));
    EXPECT_THAT(RemoveStaleOutputTempFiles(dir.File("fehlt")), ::testing::IsEmpty());
}

} // namespace
} // namespace velkaro
