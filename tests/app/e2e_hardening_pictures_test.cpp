// The built program with hostile pictures, profiles and names: each one once ended in an
// invoice logged as produced whose PDF was no valid PDF/A, or cost without bound.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "generate_demo_setup.h"
#include "media/image_test_writers.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using test::ShellQuoted;
using test::TIniValue;

class HostileInput : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(test::VelkaroProgram()))
            VELKARO_SKIP_UNLESS_CI() << "Programm nicht gebaut: " << test::VelkaroProgram();
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        WriteFileBytes(Database, ReadFileBytes(test::ProductionDatabase()));
        Settings();
    }
    void Settings(const std::vector<TIniValue>& changes = {}) {
        test::WriteProductionSettings(Ini, Database, Out, changes);
    }
    void Run(const std::vector<std::string>& args) {
        std::string command = "cd " + ShellQuoted(Dir.Path()) + " && env LC_ALL=C.UTF-8 VELKARO_INI=" +
                              ShellQuoted(Ini) + " XDG_CONFIG_HOME=" + ShellQuoted(Dir.Path()) + " " +
                              ShellQuoted(test::VelkaroProgram());
        for (const std::string& arg : args) command += " " + ShellQuoted(arg);
        std::string output;
        ExitCode = test::RunCommand(command, output);
        Results.clear();
        for (const std::string& line : test::BatchLogBody(test::ReadBatchLog(Dir.File("velkaro.log"))))
            if (!line.starts_with("  ")) Results.push_back(line);
    }
    std::string Pdf(const std::string& no) const { return Out + "/Rechnung_" + no + ".pdf"; }

    test::TempFolder Dir;
    std::string Database = Dir.File("demo.db");
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out = Dir.File("ausgabe");
    int ExitCode = -1;
    std::vector<std::string> Results;
};

// The XMP packet of a PDF written by the program (stored uncompressed).
std::string XmpOf(const std::string& pdf) {
    const std::string bytes = ReadFileBytes(pdf);
    const size_t begin = bytes.find("<?xpacket begin=");
    const size_t end = bytes.find("<?xpacket end=", begin);
    return begin == std::string::npos || end == std::string::npos ? "" : bytes.substr(begin, end - begin);
}

// The Factur-X check of the validation kit: "OK  <file>" for each file that passes.
void ExpectPassesTheFacturXCheck(const std::vector<std::string>& pdfs) {
    if (!test::CommandExists("java")) VELKARO_SKIP_UNLESS_CI() << "java fehlt: Factur-X-Prüfung übersprungen";
    std::string command = ShellQuoted(test::SourceDir() + "/third_party/validation/check-facturx-pdf") + " -q";
    for (const std::string& pdf : pdfs) command += " " + ShellQuoted(pdf);
    std::string output;
    EXPECT_EQ(test::RunCommand(command, output), 0) << output;
    for (const std::string& pdf : pdfs) EXPECT_THAT(output, HasSubstr("OK  " + pdf)) << output;
}

void ExpectQpdfFindsNoProblem(const std::string& pdf) {
    if (!test::CommandExists("qpdf")) VELKARO_SKIP_UNLESS_CI() << "qpdf fehlt";
    std::string output;
    EXPECT_EQ(test::RunCommand("qpdf --check " + ShellQuoted(pdf), output), 0) << output;
    EXPECT_THAT(output, ::testing::Not(HasSubstr("WARNING"))) << output;
}

TEST_F(HostileInput, ControlCharactersInTheCustomersOrTheCompanysNameKeepThePdfValid) {
    test::RunSqlite(Database, "UPDATE \"Muster GmbH$Sales Invoice Header\" SET [Bill-to Name] = 'Kunde' || char(11) || "
                              "'Vertikal GmbH' WHERE [No_] = 'RE24-0001';"
                              "UPDATE \"" + std::string(test::kSecondCompany) + "$Company Information\" SET [Name] = "
                              "'Nordwind' || char(11) || 'Handels' || char(1) || ' GmbH';");
    Run({"/rg", "RE24-0001"});
    ASSERT_EQ(ExitCode, 0) << Join(Results, "\n");
    Run({"/rg", "NW-1001", "/mandant", test::kSecondCompany});
    ASSERT_EQ(ExitCode, 0) << Join(Results, "\n");
    // The control characters are left out of the metadata; the names are still there.
    EXPECT_THAT(XmpOf(Pdf("RE24-0001")),
                HasSubstr("<rdf:li xml:lang=\"x-default\">Rechnung RE24-0001 an KundeVertikal GmbH</rdf:li>"));
    EXPECT_THAT(XmpOf(Pdf("NW-1001")), HasSubstr("<dc:creator><rdf:Seq><rdf:li>NordwindHandels GmbH</rdf:li>"));
    ExpectPassesTheFacturXCheck({Pdf("RE24-0001"), Pdf("NW-1001")});
}

TEST_F(HostileInput, ADamagedJpegLogoFailsEveryInvoice) {
    std::vector<uint8_t> pixels(96 * 48 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 29 % 241);
    const std::string jpeg = test::JpegBytes(96, 48, JCS_RGB, pixels);
    const std::string logo = Dir.File("logo.jpg");
    WriteFileBytes(logo, jpeg.substr(0, jpeg.size() / 2));
    Settings({{"PDF", "Logo", logo}});
    Run({"/rg", "RE24-0001", "/rg", "RE24-0002"});
    EXPECT_EQ(ExitCode, 1);
    const std::string error = "Bilddatei kann nicht gelesen werden: " + logo +
                              " (JPEG-Daten fehlerhaft: Premature end of JPEG file)";
    EXPECT_THAT(Results, ElementsAre("FEHLER RE24-0001: " + error, "FEHLER RE24-0002: " + error));
    EXPECT_FALSE(FileExists(Pdf("RE24-0001")));

    // The whole picture is taken as it is and gives a sound file.
    WriteFileBytes(logo, jpeg);
    Run({"/rg", "RE24-0001"});
    ASSERT_EQ(ExitCode, 0) << Join(Results, "\n");
    const std::string pdf = ReadFileBytes(Pdf("RE24-0001"));
    EXPECT_THAT(pdf, HasSubstr("/Width 96 /Height 48 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode"));
    EXPECT_THAT(pdf, HasSubstr(jpeg));
    ExpectQpdfFindsNoProblem(Pdf("RE24-0001"));
}

TEST_F(HostileInput, AFileThatIsNoRgbProfileIsRefusedAsTheIccProfile) {
    WriteFileBytes(Dir.File("hostname"), "rechner-01\n");
    struct Case {
        std::string profile;
        const char* reason;
    } cases[] = {
        {Dir.File("hostname"), "nur 11 Byte, ein ICC-Profil hat mindestens 132"},
        {"/usr/share/color/icc/Gray.icc", "Farbraum 'GRAY', erwartet wird ein RGB-Profil ('RGB ')"},
    };
    for (const Case& c : cases) {
        if (!FileExists(c.profile)) continue;
        Settings({{"PDF", "ICCProfil", c.profile}});
        Run({"/rg", "RE24-0001", "/rg", "RE24-0002"});
        EXPECT_EQ(ExitCode, 1) << c.profile;
        const std::string error = "ICC-Profil ist ungültig: " + c.profile + " (" + c.reason + ")";
        EXPECT_THAT(Results, ElementsAre("FEHLER RE24-0001: " + error, "FEHLER RE24-0002: " + error));
        EXPECT_FALSE(FileExists(Pdf("RE24-0001")));
    }
}

TEST_F(HostileInput, PicturesBeyondTheLimitsAreRefusedWithTheLimit) {
    // A logo whose header claims 20000 × 20000 pixels once went into every PDF as it was.
    std::string huge = test::JpegBytes(8, 8, JCS_RGB, std::vector<uint8_t>(8 * 8 * 3, 120));
    const size_t sof = huge.find("\xFF\xC0");
    huge[sof + 5] = huge[sof + 7] = '\x4E', huge[sof + 6] = huge[sof + 8] = '\x20';
    const std::string logo = Dir.File("logo.jpg");
    WriteFileBytes(logo, huge);
    // A sound picture followed by 150 MB (a hole, so no disk space): it was read whole.
    const std::string background = Dir.File("hintergrund.jpg");
    WriteFileBytes(background, test::JpegBytes(8, 8, JCS_GRAYSCALE, std::vector<uint8_t>(64, 200)));
    std::filesystem::resize_file(background, 150'000'000);

    Settings({{"PDF", "Logo", logo}});
    Run({"/rg", "RE24-0001"});
    EXPECT_EQ(ExitCode, 1);
    EXPECT_THAT(Results, ElementsAre("FEHLER RE24-0001: Bild ist zu groß: " + logo +
                                     " (20000 × 20000 Pixel, höchstens 50 Megapixel)"));

    Settings();
    WriteTextFile(Dir.File("velkaro.layout.ini"), "[Hintergrund]\nSeite1=" + background + "\n");
    Run({"/rg", "RE24-0001"});
    EXPECT_EQ(ExitCode, 1);
    EXPECT_THAT(Results, ElementsAre("FEHLER RE24-0001: Bilddatei ist zu groß: " + background +
                                     " (150 MB, höchstens 100 MB)"));
    EXPECT_FALSE(FileExists(Pdf("RE24-0001")));
}

} // namespace
} // namespace velkaro
