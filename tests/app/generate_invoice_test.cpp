// The generation workflow: hint and result lines from invoice records, and whole
// invoices of the demo database through GenerateInvoice.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/generate_invoice.h"
#include "cii/cii_document.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "generate_demo_setup.h"
#include "layoutmodel/layout_model.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/number_format.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::Not;
using ::testing::StartsWith;
using test::TIniValue;

constexpr const char* kCompany = "Muster GmbH";

// --- hint and result lines ----------------------------------------------------------

TEST(InvoiceHintLines, AllHintsInTheirOrder) {
    TInvoice invoice;
    invoice.No = "RE-100236";
    invoice.CustomerNo = "D95000";
    invoice.Warnings = {"erste Warnung", "zweite Warnung"};
    invoice.DirectDebit = true;
    const TSeller seller;  // no IBAN
    // The warnings carry the number as the caller typed it.
    EXPECT_THAT(InvoiceHintLines(invoice, seller, "re-100236"),
                ElementsAre("  Hinweis re-100236: erste Warnung", "  Hinweis re-100236: zweite Warnung",
                            "  Hinweis: keine Rechnungs-E-Mail beim Kunden D95000 gefunden",
                            "  Hinweis: keine IBAN des Verkäufers hinterlegt (INI [Verkaeufer] IBAN=)",
                            "  Hinweis: Lastschrift ohne Kunden-IBAN"));
}

TEST(FindingLines, OneLinePerRuleWithTheNumberAsRequested) {
    TCheckFindings findings;
    EXPECT_THAT(FindingLines(findings, "re-1"), IsEmpty());
    findings.Add("BR-CL-14", "Ländercode „D“ des Verkäufers ist kein ISO-3166-Code", "INI [Laender] D=<ISO-Code>");
    findings.Add("BR-CO-09", "USt-IdNr. „123“ des Käufers beginnt nicht mit dem Ländercode", "Debitor");
    findings.Add("BR-CL-14", "Ländercode „UK“ des Käufers ist kein ISO-3166-Code", "INI [Laender] UK=<ISO-Code>");
    EXPECT_THAT(FindingLines(findings, "re-1"),
                ElementsAre("  Prüfung re-1: BR-CL-14 Ländercode „D“ des Verkäufers ist kein ISO-3166-Code; "
                            "Ländercode „UK“ des Käufers ist kein ISO-3166-Code (zu korrigieren: INI [Laender] "
                            "D=<ISO-Code>; INI [Laender] UK=<ISO-Code>)",
                            "  Prüfung re-1: BR-CO-09 USt-IdNr. „123“ des Käufers beginnt nicht mit dem Ländercode "
                            "(zu korrigieren: Debitor)"));
}

TEST(InvoiceHintLines, NothingToRemarkLeavesOnlyTheMailLine) {
    TInvoice invoice;
    invoice.CustomerNo = "D10000";
    invoice.InvoiceEmail = "rechnung@example.de; info@example.de";
    invoice.InvoiceEmailSource = "Debitor E-Mail";
    invoice.DirectDebit = true;
    invoice.BuyerIBAN = "DE02120300000000202051";
    TSeller seller;
    seller.IBAN = "DE93600501010002034024";
    EXPECT_THAT(InvoiceHintLines(invoice, seller, "RE-1"),
                ElementsAre("  Rechnungs-E-Mail: rechnung@example.de; info@example.de  (Quelle: Debitor E-Mail)"));
}

class InvoiceResultLineTest : public ::testing::Test {
protected:
    void TearDown() override { ResetDecimalSeparatorOverride(); }
};

TEST_F(InvoiceResultLineTest, AmountsWithTwoDecimalsInTheUsersNumberFormat) {
    TInvoice invoice;
    invoice.No = "RE-100234";
    invoice.LineTotal = Currency::FromUnits(1000);
    invoice.DuePayable = Currency::FromRaw(11900049);  // 1190.0049 rounds to 1190.00
    SetDecimalSeparatorOverride(",");
    EXPECT_EQ(InvoiceResultLine(invoice, "/srv/Rechnung_RE-100234.pdf"),
              "RE-100234 erzeugt: /srv/Rechnung_RE-100234.pdf  (Netto 1000,00, Brutto 1190,00 EUR)");
    invoice.CurrencyCode = " chf ";
    invoice.LineTotal = Currency::FromRaw(-12345678);  // a credit-like negative amount, no grouping
    invoice.DuePayable = Currency::FromRaw(50);        // 0.005 rounds away from zero
    SetDecimalSeparatorOverride(".");
    EXPECT_EQ(InvoiceResultLine(invoice, "R.pdf"), "RE-100234 erzeugt: R.pdf  (Netto -1234.57, Brutto 0.01 CHF)");
}

// --- print set-up ---------------------------------------------------------------------

TEST(PrintSetupOf, FontProfileLayoutLogoAndTaxRulesOfTheSettings) {
    test::TempFolder dir;
    WriteFileBytes(dir.File("velkaro.ini"),
                   "[PDF]\r\nSchrift=DejaVu Sans\r\nICCProfil=/srv/farben/sRGB.icc\r\nLogo=/srv/logo.png\r\n"
                   "[Steuer]\r\nStandardLand=AT\r\nBefreiungsgrundE=Befreit nach Testregel\r\n");
    const TSettings settings(dir.File("velkaro.ini"));
    const TPrintSetup setup = PrintSetupOf(settings);
    EXPECT_EQ(setup.FontName, "DejaVu Sans");
    EXPECT_EQ(setup.IccFile, "/srv/farben/sRGB.icc");
    EXPECT_EQ(setup.Layout, settings.Layout.get());
    EXPECT_EQ(setup.LogoFile, "/srv/logo.png");
    EXPECT_EQ(setup.TaxRules.DefaultCountry, "AT");
    EXPECT_EQ(setup.TaxRules.ExemptReasonE, "Befreit nach Testregel");
}

// --- whole invoices of the demo database ------------------------------------------

class GenerateInvoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        Out = Dir.File("ausgabe/2024/maerz");  // parents are missing as well
    }
    void Open(const std::vector<TIniValue>& changes = {}) {
        test::WriteProductionSettings(Ini, test::ProductionDatabase(), Out, changes);
        Settings = std::make_unique<TSettings>(Ini);
        Nav = std::make_unique<TNavData>(*Settings);
    }
    std::string Generate(const std::string& no) {
        Log.clear();
        return GenerateInvoice(*Nav, *Settings, RunOptionsOf(*Settings), kCompany, no, [this](const std::string& line) { Log.push_back(line); },
                               Result);
    }
    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        if (!DirectoryExists(Out)) return names;
        for (const auto& entry : std::filesystem::directory_iterator(Out)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TNavData> Nav;
    std::vector<std::string> Log;
    TGeneratedInvoice Result;
};

TEST_F(GenerateInvoiceTest, WritesThePdfIntoANewFolderAndFillsTheRecord) {
    Open();
    SetDecimalSeparatorOverride(",");
    const std::string pdf = Generate("RE24-0001");
    ResetDecimalSeparatorOverride();
    EXPECT_EQ(pdf, Out + "/Rechnung_RE24-0001.pdf");
    EXPECT_THAT(ReadFileBytes(pdf), StartsWith("%PDF-1."));
    EXPECT_THAT(OutFiles(), ElementsAre("Rechnung_RE24-0001.pdf"));  // no XML unless asked
    EXPECT_THAT(Log, ElementsAre("  Rechnungs-E-Mail: rechnung@baeckerei-schmidt.de; info@baeckerei-schmidt.de  "
                                 "(Quelle: Debitor E-Mail)",
                                 "RE24-0001 erzeugt: " + pdf + "  (Netto 713,72, Brutto 812,68 EUR)"));

    EXPECT_EQ(Result.InvoiceNo, "RE24-0001");
    EXPECT_EQ(Result.CustomerNo, "D10000");
    EXPECT_EQ(Result.CustomerName, "Bäckerei Schmidt GmbH & Co. KG");
    EXPECT_EQ(Result.PdfFile, pdf);
    EXPECT_EQ(Result.XmlFile, "");
    EXPECT_EQ(Result.Recipients, "rechnung@baeckerei-schmidt.de; info@baeckerei-schmidt.de");
    EXPECT_EQ(Result.RecipientSource, "Debitor E-Mail");
    ASSERT_NE(Result.Invoice, nullptr);
    EXPECT_EQ(Result.Invoice->No, "RE24-0001");
    EXPECT_EQ(Result.Seller.Addr.Name, Nav->LoadSeller(kCompany).Addr.Name);
}

TEST_F(GenerateInvoiceTest, XmlFileBesideThePdfForSaveXmlOrTheMailAttachment) {
    const std::vector<TIniValue> switches = {{"Ausgabe", "XmlZusaetzlich", "1"},
                                             {"Graph", "XmlZusaetzlichAnhaengen", "1"}};
    for (const TIniValue& on : switches) {
        SCOPED_TRACE(on.Key);
        Out = Dir.File("aus-" + on.Key);
        Open({on});
        ASSERT_NE(Settings->SaveXml, Settings->MailAttachXml) << "exactly one of them is set";
        Generate("RE24-0009");
        EXPECT_EQ(Result.XmlFile, Out + "/Rechnung_RE24-0009.xml");
        EXPECT_THAT(OutFiles(), ElementsAre("Rechnung_RE24-0009.pdf", "Rechnung_RE24-0009.xml"));
        // The document as built, byte for byte: UTF-8 without byte-order mark.
        const TSeller seller = Nav->LoadSeller(kCompany);
        EXPECT_EQ(ReadFileBytes(Result.XmlFile),
                  BuildCiiXml(*Nav->LoadInvoice(kCompany, "RE24-0009"), seller, TaxRulesOf(*Settings)));
        EXPECT_THAT(ReadFileBytes(Result.XmlFile), StartsWith("<?xml"));
    }
}

TEST_F(GenerateInvoiceTest, HintLinesComeBeforeTheResultLine) {
    Open();
    Generate("RE24-0009");
    ASSERT_EQ(Log.size(), 3u) << Join(Log, "\n");
    EXPECT_THAT(Log[0], StartsWith("  Hinweis RE24-0009: USt 19"));
    EXPECT_EQ(Log[1], "  Rechnungs-E-Mail: kontakt@weinhandlung-vogel.de  (Quelle: Debitor E-Mail)");
    EXPECT_THAT(Log[2], StartsWith("RE24-0009 erzeugt: "));

    Generate("RE24-0012");
    EXPECT_EQ(Log.at(0), "  Hinweis: keine Rechnungs-E-Mail beim Kunden D95000 gefunden");
    EXPECT_EQ(Result.Recipients, "");
}

TEST_F(GenerateInvoiceTest, SellerWithoutIbanIsHinted) {
    // The second company keeps no IBAN in NAV; the settings give none either.
    Open({{"Verkaeufer", "IBAN", ""}});
    Log.clear();
    GenerateInvoice(*Nav, *Settings, RunOptionsOf(*Settings), test::kSecondCompany, "NW-1001",
                    [this](const std::string& line) { Log.push_back(line); }, Result);
    ASSERT_EQ(Log.size(), 3u) << Join(Log, "\n");
    EXPECT_EQ(Log[0], "  Rechnungs-E-Mail: info@raeucherei-jensen.de  (Quelle: Debitor E-Mail)");
    EXPECT_EQ(Log[1], "  Hinweis: keine IBAN des Verkäufers hinterlegt (INI [Verkaeufer] IBAN=)");
    EXPECT_THAT(Log[2], StartsWith("NW-1001 erzeugt: "));
}

TEST_F(GenerateInvoiceTest, OddNumbersGiveSafeFileNamesAndStayUnchangedInside) {
    Open({{"Ausgabe", "XmlZusaetzlich", "1"}});
    const std::vector<std::string> expected = {"Rechnung_RE_2024_17", "Rechnung_RE_2024_18", "Rechnung_..",
                                               "Rechnung_-RE24-19", "Rechnung_L" + std::string(199, '9')};
    ASSERT_EQ(test::OddInvoiceNumbers().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const std::string& no = test::OddInvoiceNumbers()[i];
        SCOPED_TRACE(no);
        EXPECT_EQ(Generate(no), Out + "/" + expected[i] + ".pdf");
        EXPECT_EQ(Result.InvoiceNo, no);
        EXPECT_TRUE(FileExists(Out + "/" + expected[i] + ".pdf"));
        EXPECT_THAT(ReadFileBytes(Out + "/" + expected[i] + ".xml"), HasSubstr("<ram:ID>" + no + "</ram:ID>"));
    }
    // Nothing escaped the output folder.
    EXPECT_EQ(OutFiles().size(), 2 * expected.size());
}

TEST_F(GenerateInvoiceTest, PatternWithoutPlaceholderWritesOneFileForAll) {
    Open({{"Ausgabe", "Dateiname", "Rechnungen"}});
    Generate("RE24-0001");
    Generate("RE24-0002");
    EXPECT_THAT(OutFiles(), ElementsAre("Rechnungen.pdf"));
    EXPECT_EQ(Result.InvoiceNo, "RE24-0002");
}

TEST_F(GenerateInvoiceTest, FailingStepsKeepTheHintLinesAndWriteNothing) {
    struct Case {
        std::vector<TIniValue> Changes;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {{{"Ausgabe", "Dateiname", "Rechnung_%s_%d"}}, "\"%d\" ist nicht erlaubt"},
        {{{"Ausgabe", "Dateiname", "%s_%s"}}, "ist überzählig"},
        {{{"Ausgabe", "Ordner", "/tmp/aus|gabe"}}, "Ungültige Zeichen im Pfad"},
        {{{"PDF", "Logo", Dir.File("kaputt.png")}}, "kaputt.png"},
    };
    WriteFileBytes(Dir.File("kaputt.png"), "kein Bild");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Message);
        Open(c.Changes);
        try {
            Generate("RE24-0012");
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.Message));
        }
        EXPECT_THAT(Log, ElementsAre("  Hinweis: keine Rechnungs-E-Mail beim Kunden D95000 gefunden"));
        EXPECT_THAT(OutFiles(), IsEmpty());
        EXPECT_EQ(Result.PdfFile, "");
    }
    EXPECT_FALSE(DirectoryExists("/tmp/aus|gabe"));  // rejected before the folder is created
}

TEST_F(GenerateInvoiceTest, AnInvoiceWithMoreLinesThanTheSettingAllowsIsNotProduced) {
    Open({{"PDF", "MaxPositionen", "1"}});
    try {
        Generate("RE24-0001");
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_THAT(e.what(), MatchesRegex("Der Beleg hat [0-9]+ Zeilen, mehr als die 1, die \\[PDF\\] "
                                           "MaxPositionen erlaubt; er wird nicht erzeugt\\."));
    }
    EXPECT_THAT(OutFiles(), IsEmpty());
    Open();
    EXPECT_EQ(Settings->MaxInvoiceLines, 10000);
    EXPECT_NO_THROW(Generate("RE24-0001"));
}

// Run as root (as CI does), writing through a link would replace any file of the system.
TEST_F(GenerateInvoiceTest, LinksInTheOutputFolderAreReplacedAndTheirTargetsLeftAlone) {
    Open({{"Ausgabe", "XmlZusaetzlich", "1"}});
    ForceDirectories(Out);
    WriteFileBytes(Dir.File("systemdatei"), "root:x:0:0", 0644);
    std::filesystem::create_symlink(Dir.File("systemdatei"), Out + "/Rechnung_RE24-0001.pdf");
    std::filesystem::create_symlink(Dir.File("fehlt/neu.xml"), Out + "/Rechnung_RE24-0001.xml");
    Generate("RE24-0001");
    EXPECT_EQ(ReadFileBytes(Dir.File("systemdatei")), "root:x:0:0");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Dir.File("fehlt"))));
    for (const char* name : {"/Rechnung_RE24-0001.pdf", "/Rechnung_RE24-0001.xml"}) {
        EXPECT_FALSE(std::filesystem::is_symlink(Out + name)) << name;
        EXPECT_TRUE(FileExists(Out + name)) << name;
    }
    EXPECT_THAT(ReadFileBytes(Out + "/Rechnung_RE24-0001.pdf"), StartsWith("%PDF-1."));
}

TEST_F(GenerateInvoiceTest, MissingPicturesAreSkipped) {
    Open({{"PDF", "Logo", Dir.File("fehlt.png")}});
    WriteTextFile(Settings->LayoutFile, "[Hintergrund]\nSeite1=" + Dir.File("fehlt.jpg") + "\n");
    Settings = std::make_unique<TSettings>(Ini);
    Nav = std::make_unique<TNavData>(*Settings);
    ASSERT_EQ(Settings->Layout->BackgroundFirst, Dir.File("fehlt.jpg"));
    EXPECT_NO_THROW(Generate("RE24-0001"));
    EXPECT_TRUE(FileExists(Result.PdfFile));
}

TEST_F(GenerateInvoiceTest, UnreadableBackgroundFailsTheInvoice) {
    Open();
    WriteFileBytes(Dir.File("briefpapier.jpg"), std::string("\xFF\xD8\xFF", 3));  // a JPEG cut short
    WriteTextFile(Settings->LayoutFile, "[Hintergrund]\nSeite1=" + Dir.File("briefpapier.jpg") + "\n");
    Settings = std::make_unique<TSettings>(Ini);
    Nav = std::make_unique<TNavData>(*Settings);
    EXPECT_THROW(Generate("RE24-0001"), Exception);
    EXPECT_THAT(OutFiles(), IsEmpty());
}

TEST_F(GenerateInvoiceTest, UnknownInvoiceFailsBeforeAnyLine) {
    Open();
    try {
        Generate("RE99-9999");
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Rechnung RE99-9999 nicht gefunden");
    }
    EXPECT_THAT(Log, IsEmpty());
    EXPECT_FALSE(DirectoryExists(Out));
}

TEST_F(GenerateInvoiceTest, GenerateInvoicePdfReturnsThePath) {
    Open();
    std::vector<std::string> log;
    const std::string pdf = GenerateInvoicePdf(*Nav, *Settings, kCompany, "RE24-0002",
                                               [&log](const std::string& line) { log.push_back(line); });
    EXPECT_EQ(pdf, Out + "/Rechnung_RE24-0002.pdf");
    EXPECT_TRUE(FileExists(pdf));
    ASSERT_FALSE(log.empty());
    EXPECT_THAT(log.back(), StartsWith("RE24-0002 erzeugt: " + pdf));
}

// The layout designer's preview: its working copy of the layout is printed, while the
// settings keep printing with their own.
TEST_F(GenerateInvoiceTest, GenerateInvoicePdfWithAnotherLayout) {
    if (!test::CommandExists("pdftotext")) VELKARO_SKIP_UNLESS_CI() << "pdftotext fehlt (poppler-utils)";
    Open();
    auto textOf = [](const std::string& pdf) {
        std::string text;
        EXPECT_EQ(test::RunCommand("pdftotext -enc UTF-8 " + test::ShellQuoted(pdf) + " -", text), 0) << text;
        return text;
    };
    const auto ignore = [](const std::string&) {};
    TLayout preview;
    preview.Assign(*Settings->Layout);
    TLayoutElement* draft = preview.AddText(true);
    draft->Y = 8;
    draft->Text = "Entwurf aus dem Designer";

    const std::string pdf = GenerateInvoicePdf(*Nav, *Settings, RunOptionsOf(*Settings), preview, kCompany,
                                               "RE24-0002", ignore);
    EXPECT_EQ(pdf, Out + "/Rechnung_RE24-0002.pdf");
    EXPECT_THAT(textOf(pdf), HasSubstr("Entwurf aus dem Designer"));
    EXPECT_THAT(textOf(pdf), HasSubstr("RE24-0002"));

    GenerateInvoicePdf(*Nav, *Settings, kCompany, "RE24-0002", ignore);
    EXPECT_THAT(textOf(pdf), Not(HasSubstr("Entwurf aus dem Designer")));
}

} // namespace
} // namespace velkaro
