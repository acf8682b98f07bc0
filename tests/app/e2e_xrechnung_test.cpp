// XRechnung with the built program over the demo database: the invoices of customers with
// a Leitweg-ID pass the KoSIT rules as XML and as PDF, every other invoice keeps the XML
// it had before XRechnung existed (MD5 sums taken then, tests/data/app), "Nie" changes
// nothing, the mail carries the XML beside the PDF, and missing seller data is refused.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "demo_mail_setup.h"
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

// The demo customers D20000 (RE24-0002, -0003 as sell-to, -0014), D70000 (RE24-0008,
// direct debit) and D90000 (RE24-0010, cash discount) have Leitweg-IDs.
const std::set<std::string> kLeitwegInvoices = {"RE24-0002", "RE24-0003", "RE24-0008", "RE24-0010", "RE24-0014"};
// D21000 has a Leitweg-ID but no postcode: its invoice came after the reference sums.
const std::string kLeitwegWithoutPostcode = "RE24-0017";
// Added to the demo after the reference sums were taken: its XML has a fixture of its own.
const std::string kAddedLater = "Rechnung_RE24-0090.xml";

// File name -> MD5 of the demo XML as written before XRechnung.
std::map<std::string, std::string> ReferenceSums() {
    std::map<std::string, std::string> sums;
    for (const std::string& line : Split(ReadFileBytes(test::TestDataPath("app/demo_xml_md5.txt")), '\n')) {
        if (line.size() < 34) continue;
        sums[Trim(line.substr(34))] = line.substr(0, 32);
    }
    return sums;
}

class XRechnungDemo : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(test::VelkaroProgram()))
            VELKARO_SKIP_UNLESS_CI() << "Programm nicht gebaut: " << test::VelkaroProgram();
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        WriteFileBytes(Db, ReadFileBytes(test::DemoDatabase()));
    }
    void Run(const std::vector<TIniValue>& values, const std::string& args) {
        test::WriteProductionSettings(Ini, Db, Out, values);
        ExitCode = test::RunVelkaroIn(Dir.Path(), Ini, args, Output);
        Log = test::ReadBatchLog(Dir.File("velkaro.log"));
    }
    void RunYear(const std::vector<TIniValue>& values) {
        Run(values, "/von 01.01.2024 /bis 31.12.2024 /mandant 'Muster GmbH' /xml");
    }
    std::vector<std::string> LinesWith(const std::string& part) const {
        std::vector<std::string> out;
        for (const std::string& line : Log)
            if (line.find(part) != std::string::npos) out.push_back(line);
        return out;
    }
    // File name -> MD5 of every invoice XML written (the credit memos beside them came later).
    std::map<std::string, std::string> WrittenSums() const {
        std::string output;
        EXPECT_EQ(test::RunCommand("cd " + ShellQuoted(Out) + " && md5sum Rechnung_*.xml", output), 0) << output;
        std::map<std::string, std::string> sums;
        for (const std::string& line : Split(output, '\n'))
            if (line.size() >= 34) sums[Trim(line.substr(34))] = line.substr(0, 32);
        return sums;
    }
    std::string Files(const std::string& extension) const {
        std::string files;
        for (const std::string& no : kLeitwegInvoices)
            files += " " + ShellQuoted(CombinePath(Out, "Rechnung_" + no + extension));
        return files;
    }

    test::TempFolder Dir;
    std::string Db = Dir.File("nav.db");
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out = Dir.File("ausgabe");
    int ExitCode = -1;
    std::string Output;
    std::vector<std::string> Log;
};

TEST_F(XRechnungDemo, LeitwegCustomersGetXRechnungEveryoneElseTheXmlOfBefore) {
    RunYear({});
    ASSERT_EQ(ExitCode, 0) << Output;
    EXPECT_THAT(LinesWith("Prüfung"),
                ElementsAre("  Prüfung RE24-0017: BR-DE-9 Postleitzahl des Käufers fehlt (XRechnung) "
                            "(zu korrigieren: NAV Verkaufsrechnung (Sales Invoice Header), Feld „Rech. an PLZ-Code“)"));

    const std::map<std::string, std::string> before = ReferenceSums();
    std::map<std::string, std::string> now = WrittenSums();
    const std::string incomplete = "Rechnung_" + kLeitwegWithoutPostcode + ".xml";
    ASSERT_EQ(now.erase(incomplete), 1u) << "the XML is written despite the finding";
    ASSERT_EQ(now.erase(kAddedLater), 1u);
    ASSERT_EQ(now.size(), before.size()) << "the demo invoice set changed";
    for (const auto& [file, sum] : before) {
        SCOPED_TRACE(file);
        const std::string no = file.substr(std::string("Rechnung_").size(), 9);
        const std::string xml = ReadFileBytes(CombinePath(Out, file));
        const bool xrechnung = xml.find("urn:xeinkauf.de:kosit:xrechnung_3.0") != std::string::npos;
        EXPECT_EQ(xrechnung, kLeitwegInvoices.count(no) == 1);
        if (xrechnung) EXPECT_NE(now.at(file), sum);
        else EXPECT_EQ(now.at(file), sum) << "XML of a customer without Leitweg-ID changed";
    }

    if (!test::CommandExists("java"))
        VELKARO_SKIP_UNLESS_CI() << "java fehlt: XRechnung-Prüfung (validate-cii, check-facturx-pdf) übersprungen";
    const std::string tools = test::SourceDir() + "/third_party/validation/";
    std::string output;
    EXPECT_EQ(test::RunCommand(ShellQuoted(tools + "validate-cii") + " -q --xrechnung" + Files(".xml"), output), 0)
        << output;
    EXPECT_EQ(test::RunCommand(ShellQuoted(tools + "check-facturx-pdf") + " --xrechnung" + Files(".pdf"), output), 0)
        << output;
    // The finding is the validator's own: the invoice without postcode is not a valid XRechnung.
    EXPECT_NE(test::RunCommand(ShellQuoted(tools + "validate-cii") + " --xrechnung " +
                                   ShellQuoted(CombinePath(Out, incomplete)), output), 0);
    EXPECT_THAT(output, HasSubstr("BR-DE-9"));
}

TEST_F(XRechnungDemo, NeverChangesNothing) {
    // With the Leitweg-IDs the reference sums were taken with (D20000 only), every XML,
    // that of D20000's invoices too, is the one of before.
    RunYear({{"XRechnung", "Verwenden", "Nie"}, {"Leitweg", "D70000", ""}, {"Leitweg", "D90000", ""}});
    ASSERT_EQ(ExitCode, 0) << Output;
    std::map<std::string, std::string> now = WrittenSums();
    const std::string later = "Rechnung_" + kLeitwegWithoutPostcode + ".xml";
    ASSERT_EQ(now.erase(later), 1u);
    ASSERT_EQ(now.erase(kAddedLater), 1u);
    EXPECT_EQ(now, ReferenceSums());
    EXPECT_THAT(ReadFileBytes(CombinePath(Out, later)), Not(HasSubstr("xrechnung")));
    EXPECT_THAT(LinesWith("Prüfung"), IsEmpty());
    EXPECT_THAT(LinesWith("XRechnung"), IsEmpty());
}

TEST_F(XRechnungDemo, AlwaysNamesWhatIsMissing) {
    RunYear({{"XRechnung", "Verwenden", "Immer"}});
    ASSERT_EQ(ExitCode, 0) << Output;
    // RE24-0012's customer has neither an e-mail address nor a reference on the invoice.
    EXPECT_THAT(LinesWith("Prüfung RE24-0012"),
                ElementsAre(StartsWith("  Prüfung RE24-0012: BR-DE-15 Käuferreferenz (Leitweg-ID oder Ihre Referenz) "
                                       "fehlt (XRechnung) (zu korrigieren: INI [Leitweg] D95000= oder "),
                            StartsWith("  Prüfung RE24-0012: PEPPOL-EN16931-R010 Elektronische Adresse des Käufers")));
    const std::string xml = ReadFileBytes(CombinePath(Out, "Rechnung_RE24-0005.xml"));
    EXPECT_THAT(xml, HasSubstr("urn:xeinkauf.de:kosit:xrechnung_3.0"));
}

TEST_F(XRechnungDemo, UnknownSettingValueIsAnError) {
    RunYear({{"XRechnung", "Verwenden", "manchmal"}});
    EXPECT_NE(ExitCode, 0);
    EXPECT_THAT(Output + Join(Log, "\n"), HasSubstr("Unbekannter Wert „manchmal“ für [XRechnung] Verwenden="));
}

class XRechnungMail : public XRechnungDemo {
protected:
    void Mail(TFakeGraphService& fake, const std::vector<std::string>& numbers, std::vector<TIniValue> extra) {
        std::vector<TIniValue> values = {
            {"Graph", "MandantenID", test::kFakeTenant},  {"Graph", "ClientID", test::kFakeClientId},
            {"Graph", "ClientSecret", test::kFakeSecret}, {"Graph", "Absender", test::kFakeSender},
            {"Graph", "AnmeldeServer", fake.BaseUrl()},   {"Graph", "GraphServer", fake.BaseUrl()},
            {"Graph", "XmlZusaetzlichAnhaengen", "0"},
        };
        values.insert(values.end(), extra.begin(), extra.end());
        std::string args;
        for (const std::string& no : numbers) args += " /rg " + ShellQuoted(no);
        Run(values, args + " /mail");
    }
    static std::vector<std::string> AttachmentNames(const TFakeGraphService& fake) {
        std::vector<std::string> out;
        for (const auto& mail : fake.Mails()) {
            std::string names;
            for (const TMailAttachment& a : mail.Attachments)
                if (!a.IsInline) names += (names.empty() ? "" : " ") + a.Name;
            out.push_back(names);
        }
        return out;
    }
};

TEST_F(XRechnungMail, LeitwegInvoicesCarryTheXmlBesideThePdf) {
    TFakeGraphService fake;
    Mail(fake, {"RE24-0005", "RE24-0008"}, {});
    ASSERT_EQ(ExitCode, 0) << Output;
    EXPECT_THAT(AttachmentNames(fake),
                ElementsAre("Rechnung_RE24-0005.pdf", "Rechnung_RE24-0008.pdf Rechnung_RE24-0008.xml"));
}

TEST_F(XRechnungMail, MissingSellerContactIsRefusedButThePdfIsWritten) {
    TFakeGraphService fake;
    Mail(fake, {"RE24-0008", "RE24-0005"}, {{"Verkaeufer", "Ansprechpartner", ""}});
    EXPECT_EQ(ExitCode, 1) << "a refused mail is a failed document";
    EXPECT_THAT(LinesWith("Prüfung"),
                ElementsAre("  Prüfung RE24-0008: BR-DE-5 Ansprechpartner des Verkäufers fehlt (XRechnung) "
                            "(zu korrigieren: INI [Verkaeufer] Ansprechpartner)"));
    EXPECT_THAT(LinesWith("FEHLER"),
                ElementsAre("FEHLER Versand RE24-0008: E-Rechnung verletzt XRechnung (BR-DE-5) \u2013 "
                            "Ansprechpartner des Verkäufers fehlt (XRechnung) (zu korrigieren: INI [Verkaeufer] "
                            "Ansprechpartner)"));
    EXPECT_THAT(AttachmentNames(fake), ElementsAre("Rechnung_RE24-0005.pdf"));
    EXPECT_TRUE(FileExists(CombinePath(Out, "Rechnung_RE24-0008.pdf")));
}

} // namespace
} // namespace velkaro
