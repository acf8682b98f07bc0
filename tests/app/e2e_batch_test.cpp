// The built program produces demo invoices in a batch ("velkaro /rg … /xml"), as a
// scheduled task would: files, batch log, exit code and the Factur-X check of the PDFs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "generate_demo_setup.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using test::ShellQuoted;
using test::TIniValue;

constexpr const char* kMissing = "RE99-9999";

class ProductionBatch : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(test::VelkaroProgram()))
            VELKARO_SKIP_UNLESS_CI() << "Programm nicht gebaut: " << test::VelkaroProgram();
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        Settings();
    }
    void Settings(const std::vector<TIniValue>& changes = {}) {
        test::WriteProductionSettings(Ini, test::ProductionDatabase(), Out, changes);
    }
    // Runs the program in the test folder with the settings there and the given locale.
    void Run(const std::vector<std::string>& args, const std::string& locale = "C.UTF-8") {
        std::string command = "cd " + ShellQuoted(Dir.Path()) + " && env LC_ALL=" + locale +
                              " VELKARO_INI=" + ShellQuoted(Ini) + " XDG_CONFIG_HOME=" + ShellQuoted(Dir.Path()) +
                              " " + ShellQuoted(test::VelkaroProgram());
        for (const std::string& arg : args) command += " " + ShellQuoted(arg);
        ExitCode = test::RunCommand(command, Output);
        Log = test::BatchLogBody(test::ReadBatchLog(Dir.File("velkaro.log")));
    }
    static std::vector<std::string> InvoiceArgs(const std::vector<std::string>& numbers) {
        std::vector<std::string> args;
        for (const std::string& no : numbers) {
            args.push_back("/rg");
            args.push_back(no);
        }
        return args;
    }
    // The result and failure lines of the log, without the hint lines.
    std::vector<std::string> ResultLines() const {
        std::vector<std::string> out;
        for (const std::string& line : Log)
            if (!line.starts_with("  ")) out.push_back(line);
        return out;
    }
    std::vector<std::string> Files(const std::string& folder) const {
        std::vector<std::string> names;
        if (!DirectoryExists(folder)) return names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out = Dir.File("ausgabe");
    int ExitCode = -1;
    std::string Output;
    std::vector<std::string> Log;
};

// Every PDF through the Factur-X check in one call (one JVM for all XMLs).
void ExpectFacturX(const std::vector<std::string>& pdfs) {
    if (!test::CommandExists("java"))
        VELKARO_SKIP_UNLESS_CI() << "java fehlt: Factur-X-Prüfung übersprungen (scripts/install-deps.sh installiert "
                                    "default-jre-headless)";
    std::string command = ShellQuoted(test::SourceDir() + "/third_party/validation/check-facturx-pdf") + " -q";
    for (const std::string& pdf : pdfs) command += " " + ShellQuoted(pdf);
    std::string output;
    EXPECT_EQ(test::RunCommand(command, output), 0) << output;
    size_t ok = 0;
    for (const std::string& line : Split(output, '\n'))
        if (line.starts_with("OK ")) ++ok;
    EXPECT_EQ(ok, pdfs.size()) << output;
}

TEST_F(ProductionBatch, EveryDemoInvoiceWithXmlAndOneMissingInTheMiddle) {
    std::vector<std::string> numbers = test::DemoInvoiceNumbers(test::ProductionDatabase(), "Muster GmbH");
    ASSERT_GE(numbers.size(), 15u);
    numbers.insert(numbers.begin() + 3, kMissing);
    std::vector<std::string> args = InvoiceArgs(numbers);
    args.push_back("-XML");
    Run(args);

    EXPECT_EQ(ExitCode, 1) << Output;
    EXPECT_THAT(Output, HasSubstr("1 Rechnung(en) fehlgeschlagen"));

    // One result or failure line per invoice, in command-line order; hint lines only
    // before their invoice's result line (every invoice has at least its mail line).
    static const std::regex result(R"(^(.+) erzeugt: (.+\.pdf)  \(Netto -?\d+\.\d\d, Brutto -?\d+\.\d\d [A-Z]{3}\)$)");
    std::vector<std::string> pdfs;
    size_t invoice = 0;
    bool hintSeen = false;
    for (const std::string& line : Log) {
        if (line.starts_with("  ")) {
            hintSeen = true;
            continue;
        }
        ASSERT_LT(invoice, numbers.size()) << "extra line: " << line;
        const std::string& no = numbers[invoice++];
        if (no == kMissing) {
            EXPECT_EQ(line, "FEHLER RE99-9999: Rechnung RE99-9999 nicht gefunden");
            EXPECT_FALSE(hintSeen) << "no hints for an invoice that was not found";
        } else {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, result)) << line;
            EXPECT_EQ(m[1], no);
            EXPECT_TRUE(hintSeen) << no;
            const std::string pdf = m[2];
            EXPECT_EQ(ExtractFilePath(pdf), Out + "/");
            EXPECT_TRUE(FileExists(pdf)) << pdf;
            EXPECT_TRUE(FileExists(ChangeFileExt(pdf, ".xml"))) << "XML beside " << pdf;
            pdfs.push_back(pdf);
        }
        hintSeen = false;
    }
    EXPECT_EQ(invoice, numbers.size()) << "lines missing in\n" << Join(Log, "\n");
    EXPECT_FALSE(hintSeen) << "the log ends with hints";
    EXPECT_EQ(Files(Out).size(), 2 * (numbers.size() - 1));
    EXPECT_THAT(Files(Out), ::testing::Contains("Rechnung_RE24-0001.pdf"));
    ExpectFacturX(pdfs);
}

TEST_F(ProductionBatch, OddNumbersGetSafeNamesInARelativeFolderOfTheDefaultCompany) {
    Settings({{"Datenbank", "Mandant", ""}});  // the first company, "Muster GmbH"
    std::vector<std::string> args = InvoiceArgs(test::OddInvoiceNumbers());
    args.insert(args.end(), {"/out", "relativ/aus"});
    Run(args);

    EXPECT_EQ(ExitCode, 0) << Output << Join(Log, "\n");
    const std::string long199 = "L" + std::string(199, '9');
    EXPECT_THAT(Files(Dir.File("relativ/aus")),
                ElementsAre("Rechnung_-RE24-19.pdf", "Rechnung_...pdf", "Rechnung_" + long199 + ".pdf",
                            "Rechnung_RE_2024_17.pdf", "Rechnung_RE_2024_18.pdf"));
    const std::vector<std::string> results = ResultLines();
    ASSERT_EQ(results.size(), 5u);
    EXPECT_THAT(results[0], StartsWith("RE/2024/17 erzeugt: relativ/aus/Rechnung_RE_2024_17.pdf  (Netto "));
    EXPECT_THAT(results[2], StartsWith(".. erzeugt: relativ/aus/Rechnung_...pdf  ("));
    EXPECT_THAT(results[3], StartsWith("-RE24-19 erzeugt: relativ/aus/Rechnung_-RE24-19.pdf  ("));
    EXPECT_THAT(results[4], StartsWith(long199 + " erzeugt: relativ/aus/Rechnung_" + long199 + ".pdf  ("));
    EXPECT_FALSE(DirectoryExists(Out)) << "/out replaces the folder of the settings";
    // No XML without /xml; the lock file of the runs stays beside the settings.
    EXPECT_THAT(Files(Dir.Path()), ElementsAre("relativ", "velkaro.ini", "velkaro.lock", "velkaro.log"));
}

// The documents and the log hold customers' data: owner and group may read them, others
// not, and a narrower umask (a service's UMask=0077) narrows them further.
TEST_F(ProductionBatch, DocumentsAndLogAreForOwnerAndGroupOnly) {
    for (const auto& [mask, mode] : {std::pair{022u, 0640u}, {077u, 0600u}}) {
        SCOPED_TRACE(mask);
        std::filesystem::remove_all(Out);
        const mode_t old = umask(mask);
        Run({"/rg", "RE24-0001", "/xml"});
        umask(old);
        ASSERT_EQ(ExitCode, 0) << Output;
        for (const std::string& file : {Out + "/Rechnung_RE24-0001.pdf", Out + "/Rechnung_RE24-0001.xml",
                                        Dir.File("velkaro.log")}) {
            struct stat st {};
            ASSERT_EQ(stat(file.c_str(), &st), 0) << file;
            EXPECT_EQ(st.st_mode & 0777, mode) << file;
        }
    }
}

TEST_F(ProductionBatch, SettingsInWindows1252AreReadAndSaidSoInTheLog) {
    std::ofstream(Ini, std::ios::app | std::ios::binary) << "; Bankverbindung K\xF6ln\r\n";
    Run(InvoiceArgs({"RE24-0001"}));

    EXPECT_EQ(ExitCode, 0) << Output << Join(Log, "\n");
    ASSERT_FALSE(Log.empty());
    EXPECT_THAT(Log[0], StartsWith("  Hinweis: "));
    EXPECT_THAT(Log[0], ::testing::HasSubstr("Windows-1252"));
}

TEST_F(ProductionBatch, TheLaterCompanyOptionWins) {
    Run({"/mandant", "Muster GmbH", "/rg", "NW-1001", "/rg", "RE24-0001", "/mandant", "Nordwind Handels GmbH"});
    EXPECT_EQ(ExitCode, 1);
    EXPECT_THAT(ResultLines(), ElementsAre(StartsWith("NW-1001 erzeugt: " + Out + "/Rechnung_NW-1001.pdf  ("),
                                           "FEHLER RE24-0001: Rechnung RE24-0001 nicht gefunden"));
}

TEST_F(ProductionBatch, BadFileNamePatternFailsEveryInvoiceAndNamesIt) {
    for (const char* pattern : {"Rechnung_%d", "%s_%s", "Rechnung_%s%"}) {
        SCOPED_TRACE(pattern);
        Settings({{"Ausgabe", "Dateiname", pattern}});
        Run({"/rg", "RE24-0001", "/rg", "RE24-0002"});
        EXPECT_EQ(ExitCode, 1);
        EXPECT_THAT(Output, HasSubstr("2 Rechnung(en) fehlgeschlagen"));
        const std::string error = std::string("Dateinamensmuster \"") + pattern + "\" (INI [Ausgabe] Dateiname) ist ungültig: ";
        EXPECT_THAT(ResultLines(), ElementsAre(StartsWith("FEHLER RE24-0001: " + error),
                                               StartsWith("FEHLER RE24-0002: " + error)));
        // Each invoice logged its hints before it failed.
        ASSERT_EQ(Log.size(), 5u);
        EXPECT_EQ(Log[0], "  Datenbank: Microsoft Dynamics NAV 2016 (9.00, Build 47256)");
        EXPECT_THAT(Log[1], StartsWith("  Rechnungs-E-Mail: "));
        EXPECT_THAT(Log[3], StartsWith("  Rechnungs-E-Mail: "));
        EXPECT_THAT(Files(Out), IsEmpty());
    }
}

TEST_F(ProductionBatch, OutputFolderThatCannotBeCreated) {
    WriteFileBytes(Dir.File("datei.txt"), "kein Ordner");
    const std::string folder = Dir.File("datei.txt/ausgabe");
    Run({"/rg", "RE24-0001", "/out", folder, "/rg", "RE24-0002"});
    EXPECT_EQ(ExitCode, 1);
    const std::string error = "Ordner \"" + folder + "\" kann nicht angelegt werden (";
    EXPECT_THAT(ResultLines(), ElementsAre(StartsWith("FEHLER RE24-0001: " + error),
                                           StartsWith("FEHLER RE24-0002: " + error)));
}

TEST_F(ProductionBatch, MissingPicturesAreSkippedUnreadableOnesFailTheInvoice) {
    WriteTextFile(Dir.File("velkaro.layout.ini"), "[Hintergrund]\nSeite1=" + Dir.File("fehlt.jpg") + "\n");
    Settings({{"PDF", "Logo", Dir.File("fehlt.png")}});
    Run({"/rg", "RE24-0001", "/rg", "RE24-0012"});
    EXPECT_EQ(ExitCode, 0) << Join(Log, "\n");
    EXPECT_THAT(Files(Out), ElementsAre("Rechnung_RE24-0001.pdf", "Rechnung_RE24-0012.pdf"));

    // The same paths, now present but no pictures: each invoice fails on its own.
    WriteFileBytes(Dir.File("fehlt.png"), "kein PNG");
    Run({"/rg", "RE24-0001", "/rg", kMissing, "/rg", "RE24-0012"});
    EXPECT_EQ(ExitCode, 1);
    EXPECT_THAT(ResultLines(), ElementsAre(StartsWith("FEHLER RE24-0001: Bildformat nicht erkannt"),
                                           "FEHLER RE99-9999: Rechnung RE99-9999 nicht gefunden",
                                           StartsWith("FEHLER RE24-0012: Bildformat nicht erkannt")));
    EXPECT_EQ(Log.at(Log.size() - 2), "  Hinweis: keine Rechnungs-E-Mail beim Kunden D95000 gefunden");

    std::filesystem::remove(Dir.File("fehlt.png"));
    WriteFileBytes(Dir.File("fehlt.jpg"), std::string("\xFF\xD8\xFF\xE0", 4));  // a JPEG that ends at once
    Run({"/rg", "RE24-0001", "/rg", "RE24-0012"});
    EXPECT_EQ(ExitCode, 1);
    EXPECT_THAT(ResultLines(), ElementsAre(StartsWith("FEHLER RE24-0001: "), StartsWith("FEHLER RE24-0012: ")));
}

// Producing never reads the mail templates: a signature with a broken picture path and
// a mail text with another one leave every PDF written and the run without error.
TEST_F(ProductionBatch, BrokenMailSignatureAndTemplateDoNotTouchProduction) {
    WriteTextFile(Dir.File("velkaro.signatur.htm"), "<p>Gruß</p><img src=\"file:///bilder/logo%zz.png\">");
    WriteTextFile(Dir.File("velkaro.mailtext.htm"), "<html><body><p>{Nr}</p><img src=\"bild%zz.png\"></body></html>");
    Run({"/rg", "RE24-0001", "/rg", "RE24-0002"});
    EXPECT_EQ(ExitCode, 0) << Join(Log, "\n");
    EXPECT_THAT(ResultLines(), ElementsAre(StartsWith("RE24-0001 erzeugt: "), StartsWith("RE24-0002 erzeugt: ")));
    EXPECT_THAT(Output, HasSubstr("2 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler"));
    EXPECT_THAT(Files(Out), ElementsAre("Rechnung_RE24-0001.pdf", "Rechnung_RE24-0002.pdf"));
}

TEST_F(ProductionBatch, ResultLineInTheGermanNumberFormat) {
    std::string locales;
    test::RunCommand("locale -a", locales);
    if (!std::regex_search(locales, std::regex("de_DE\\.utf-?8", std::regex::icase)))
        VELKARO_SKIP_UNLESS_CI() << "Gebietsschema de_DE.UTF-8 fehlt (scripts/install-deps.sh erzeugt es)";
    Run({"/rg", "RE24-0001"}, "de_DE.UTF-8");
    EXPECT_EQ(ExitCode, 0);
    EXPECT_THAT(ResultLines(), ElementsAre("RE24-0001 erzeugt: " + Out +
                                           "/Rechnung_RE24-0001.pdf  (Netto 713,72, Brutto 812,68 EUR)"));
}

} // namespace
} // namespace velkaro
