// Credit memos with the built program over the demo database: named with "/gs" between
// invoices, written under their own names, passing the EN 16931 and XRechnung checks as
// XML and as PDF, printed as "Rechnungskorrektur" with the corrected invoice, and mailed
// through the local fake of Graph.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_graph_service.h"
#include "generate_demo_setup.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using test::ShellQuoted;
using test::TFakeGraphService;
using test::TIniValue;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

class CreditMemoDemo : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(test::VelkaroProgram()))
            VELKARO_SKIP_UNLESS_CI() << "Programm nicht gebaut: " << test::VelkaroProgram();
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
    }
    void Run(const std::vector<TIniValue>& values, const std::string& args) {
        test::WriteProductionSettings(Ini, test::ProductionDatabase(), Out, values);
        ExitCode = test::RunVelkaroIn(Dir.Path(), Ini, args, Output);
        Log = test::BatchLogBody(test::ReadBatchLog(Dir.File("velkaro.log")));
    }
    std::vector<std::string> LinesWith(const std::string& part) const {
        std::vector<std::string> out;
        for (const std::string& line : Log)
            if (line.find(part) != std::string::npos) out.push_back(line);
        return out;
    }
    std::string Files(const std::vector<std::string>& names, const std::string& extension) const {
        std::string files;
        for (const std::string& name : names) files += " " + ShellQuoted(CombinePath(Out, name + extension));
        return files;
    }
    std::string PdfText(const std::string& name) const {
        std::string text;
        EXPECT_EQ(test::RunCommand("pdftotext -enc UTF-8 " + ShellQuoted(CombinePath(Out, name + ".pdf")) + " -", text),
                  0)
            << text;
        return text;
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out = Dir.File("ausgabe");
    int ExitCode = -1;
    std::string Output;
    std::vector<std::string> Log;
};

TEST_F(CreditMemoDemo, InvoicesAndCreditMemosInTheOrderGiven) {
    Run({}, "/rg RE24-0013 /gs GS24-0001 /gs GS24-0002 /rg RE24-0001 /gs GS24-0003 /gs GS24-0004 /gs GS24-0005 "
            "/gs GS24-9999 /mandant 'Muster GmbH' /xml");
    EXPECT_EQ(ExitCode, 1) << Output;
    EXPECT_THAT(Output, HasSubstr("1 Rechnung(en) fehlgeschlagen"));
    std::vector<std::string> results;
    for (const std::string& line : Log)
        if (!line.starts_with("  ")) results.push_back(line);
    EXPECT_THAT(results,
                ElementsAre(StartsWith("RE24-0013 erzeugt: " + Out + "/Rechnung_RE24-0013.pdf  (Netto 92.00, Brutto 98.44 EUR)"),
                            StartsWith("GS24-0001 erzeugt: " + Out + "/Rechnungskorrektur_GS24-0001.pdf  (Netto 92.00, "
                                       "Brutto 98.44 EUR)"),
                            StartsWith("GS24-0002 erzeugt: " + Out + "/Rechnungskorrektur_GS24-0002.pdf  ("),
                            StartsWith("RE24-0001 erzeugt: " + Out + "/Rechnung_RE24-0001.pdf  ("),
                            StartsWith("GS24-0003 erzeugt: "), StartsWith("GS24-0004 erzeugt: "),
                            StartsWith("GS24-0005 erzeugt: "),
                            "FEHLER GS24-9999: Rechnungskorrektur GS24-9999 nicht gefunden"));
    EXPECT_THAT(Output, HasSubstr("Ende: 7 erzeugt, 0 versendet, 0 übersprungen, 1 Fehler, 0 mit Befund"));
    EXPECT_THAT(LinesWith("Prüfung"), IsEmpty()) << "no check finding for a credit memo";

    // The XML: type 381 and the corrected invoice with its date.
    const std::string xml = ReadFileBytes(CombinePath(Out, "Rechnungskorrektur_GS24-0002.xml"));
    EXPECT_THAT(xml, HasSubstr("<ram:TypeCode>381</ram:TypeCode>"));
    EXPECT_THAT(xml, HasSubstr("<ram:InvoiceReferencedDocument>\n"
                               "        <ram:IssuerAssignedID>RE24-0001</ram:IssuerAssignedID>\n"
                               "        <ram:FormattedIssueDateTime>\n"
                               "          <qdt:DateTimeString format=\"102\">20240304</qdt:DateTimeString>"));
    EXPECT_THAT(ReadFileBytes(CombinePath(Out, "Rechnungskorrektur_GS24-0003.xml")),
                Not(HasSubstr("InvoiceReferencedDocument")));
    EXPECT_THAT(ReadFileBytes(CombinePath(Out, "Rechnung_RE24-0001.xml")), HasSubstr("<ram:TypeCode>380</ram:TypeCode>"));

    // The printed documents: the kind, the reference line, and a credit instead of a
    // transfer request; the invoice keeps its texts.
    if (!test::CommandExists("pdftotext")) VELKARO_SKIP_UNLESS_CI() << "pdftotext fehlt (poppler-utils)";
    const std::string credit = PdfText("Rechnungskorrektur_GS24-0002");
    EXPECT_THAT(credit, HasSubstr("Rechnungskorrektur GS24-0002"));
    EXPECT_THAT(credit, HasSubstr("zu Rechnung RE24-0001 vom 04.03.2024"));
    EXPECT_THAT(credit, HasSubstr("Korrekturbetrag"));
    EXPECT_THAT(credit, HasSubstr("erstatten wir Ihnen oder verrechnen ihn mit offenen Posten"));
    EXPECT_THAT(credit, Not(HasSubstr("überweisen")));
    const std::string unreferenced = PdfText("Rechnungskorrektur_GS24-0003");
    EXPECT_THAT(unreferenced, HasSubstr("Rechnungskorrektur GS24-0003"));
    EXPECT_THAT(unreferenced, Not(HasSubstr("zu Rechnung")));
    const std::string invoice = PdfText("Rechnung_RE24-0001");
    EXPECT_THAT(invoice, HasSubstr("Rechnung RE24-0001"));
    EXPECT_THAT(invoice, HasSubstr("Bitte überweisen Sie den Betrag"));
    EXPECT_THAT(invoice, Not(HasSubstr("Rechnungskorrektur")));
    EXPECT_THAT(invoice, Not(HasSubstr("zu Rechnung")));

    if (!test::CommandExists("java"))
        VELKARO_SKIP_UNLESS_CI() << "java fehlt: EN 16931-/XRechnung-Prüfung übersprungen";
    const std::string tools = test::SourceDir() + "/third_party/validation/";
    // GS24-0003 (D90000) and GS24-0005 (D20000) go to customers with a Leitweg-ID.
    const std::vector<std::string> plain = {"Rechnungskorrektur_GS24-0001", "Rechnungskorrektur_GS24-0002",
                                            "Rechnungskorrektur_GS24-0004", "Rechnung_RE24-0013"};
    const std::vector<std::string> xrechnung = {"Rechnungskorrektur_GS24-0003", "Rechnungskorrektur_GS24-0005"};
    std::string output;
    EXPECT_EQ(test::RunCommand(ShellQuoted(tools + "validate-cii") + " -q" + Files(plain, ".xml"), output), 0) << output;
    EXPECT_EQ(test::RunCommand(ShellQuoted(tools + "check-facturx-pdf") + " -q" + Files(plain, ".pdf"), output), 0)
        << output;
    EXPECT_EQ(test::RunCommand(ShellQuoted(tools + "validate-cii") + " -q --xrechnung" + Files(xrechnung, ".xml"), output),
              0)
        << output;
    EXPECT_EQ(test::RunCommand(ShellQuoted(tools + "check-facturx-pdf") + " --xrechnung" + Files(xrechnung, ".pdf"),
                               output),
              0)
        << output;
}

// A date selection takes both kinds; the credit memos under the pattern of their own.
TEST_F(CreditMemoDemo, DateSelectionAndOwnFileNamePattern) {
    Run({{"Ausgabe", "DateinameGutschrift", "RK-%s"}}, "/von 01.04.2024 /bis 05.04.2024 /mandant 'Muster GmbH'");
    EXPECT_EQ(ExitCode, 0) << Output;
    EXPECT_THAT(LinesWith("Auswahl: "),
                ElementsAre("  Auswahl: 1 Rechnung, Buchungsdatum 01.04.2024 bis 05.04.2024",
                            "  Auswahl: 3 Rechnungskorrekturen, Buchungsdatum 01.04.2024 bis 05.04.2024"));
    for (const char* file : {"Rechnung_RE24-0014.pdf", "RK-GS24-0003.pdf", "RK-GS24-0005.pdf", "RK-GS24-0001.pdf"})
        EXPECT_TRUE(FileExists(CombinePath(Out, file))) << file;
}

TEST_F(CreditMemoDemo, MailedWithItsOwnSubjectAndAttachment) {
    TFakeGraphService fake;
    Run({{"Graph", "MandantenID", test::kFakeTenant},  {"Graph", "ClientID", test::kFakeClientId},
         {"Graph", "ClientSecret", test::kFakeSecret}, {"Graph", "Absender", test::kFakeSender},
         {"Graph", "AnmeldeServer", fake.BaseUrl()},   {"Graph", "GraphServer", fake.BaseUrl()},
         {"Graph", "XmlZusaetzlichAnhaengen", "0"}},
        "/gs GS24-0002 /rg RE24-0001 /mandant 'Muster GmbH' /mail");
    ASSERT_EQ(ExitCode, 0) << Output;
    const auto mails = fake.Mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].Subject, "Rechnungskorrektur GS24-0002 vom 22.03.2024");
    EXPECT_EQ(mails[1].Subject, "Rechnung RE24-0001 vom 04.03.2024");
    EXPECT_THAT(mails[0].To, ElementsAre("rechnung@baeckerei-schmidt.de", "info@baeckerei-schmidt.de"));
    EXPECT_THAT(mails[0].Body, HasSubstr("unsere Rechnungskorrektur <b>GS24-0002</b>"));
    EXPECT_THAT(mails[0].Body, Not(HasSubstr("Zahlungsziel")));
    EXPECT_THAT(mails[1].Body, HasSubstr("Zahlungsziel: 03.04.2024"));
    std::vector<std::string> names;
    for (const TMailAttachment& a : mails[0].Attachments)
        if (!a.IsInline) names.push_back(a.Name);
    EXPECT_THAT(names, ElementsAre("Rechnungskorrektur_GS24-0002.pdf"));
    EXPECT_TRUE(mails[0].Attachments[0].Data == ReadFileBytes(CombinePath(Out, "Rechnungskorrektur_GS24-0002.pdf")));
    EXPECT_THAT(LinesWith("per E-Mail versendet"),
                ElementsAre(StartsWith("  GS24-0002 per E-Mail versendet an rechnung@baeckerei-schmidt.de"),
                            StartsWith("  RE24-0001 per E-Mail versendet an ")));

    // The sent log: the fields as for invoices, the credit memo under its number, in
    // flight before the hand-over, then sent.
    const std::vector<std::string> sent = test::ReadCrLfLines(Dir.File("velkaro.versand.csv"));
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0], "Zeitpunkt;Mandant;Rechnung;Empfaenger;Status;Info;VersandId");
    for (size_t line : {1, 2}) {
        const std::vector<std::string> fields = Split(sent[line], ';');
        ASSERT_EQ(fields.size(), 7u);
        EXPECT_EQ(fields[1], "Muster GmbH");
        EXPECT_EQ(fields[2], "GS24-0002");
        EXPECT_EQ(fields[4], line == 1 ? "LAUFEND" : "OK");
        EXPECT_EQ(fields[6], mails[0].MailId);
    }
}

} // namespace
} // namespace velkaro
