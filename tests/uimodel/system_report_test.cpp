#include <gtest/gtest.h>

#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "uimodel/system_report.h"
#include "uimodel/vendor.h"

using namespace velkaro;
using velkaro::test::TempFolder;

namespace {

using Strings = std::vector<std::string>;

class SystemReportTest : public ::testing::Test {
protected:
    SystemReportTest() {
        WriteTextFile(Ini(), "[Datenbank]\nServer=sql01\nDatenbank=NAV2018\nProvider=SQLOLEDB\n"
                             "[Graph]\nAbsender=rechnung@muster-gmbh.de\n");
        Settings = std::make_unique<TSettings>(Ini());
        Settings->GraphSecret = "Sehr~Geheim.Secret_0815";
        Settings->LayoutFile = Folder.File("rechnung.layout.ini");
        Facts.Version = "1.2.3";
        Facts.BuildTime = EncodeDateTime({2026, 12, 1, 8, 5, 0, 0});
        Facts.ExecutablePath = "/opt/velkaro/velkaro";
        Facts.Compiler = "GCC 12.2.0, x86_64-linux";
        Facts.OperatingSystem = "Debian GNU/Linux 12 (bookworm), Linux 6.1.0 x86_64";
        Facts.StyleName = "Dark";
    }

    std::string Ini() const { return Folder.File("velkaro.ini"); }
    Strings Lines(const TNavVersionQuery& nav) const {
        const std::string report = SystemReport(Facts, *Settings, "Muster GmbH", nav);
        Strings lines = Split(report, '\n');
        EXPECT_EQ(lines.back(), "") << "the last line ends too";
        lines.pop_back();
        for (std::string& line : lines) {
            EXPECT_TRUE(!line.empty() && line.back() == '\r') << "ends in CR LF: " << line;
            if (!line.empty() && line.back() == '\r') line.pop_back();
        }
        return lines;
    }

    TempFolder Folder;
    std::unique_ptr<TSettings> Settings;
    TSystemFacts Facts;
};

TEST_F(SystemReportTest, WithoutDatabaseTheReportHasNoNavLines) {
    const Strings lines = Lines({});
    const Strings expected = {
        "Programm      : Velkaro 1.2.3  (01.12.2026 08:05)",
        "Programmdatei : /opt/velkaro/velkaro",
        "Compiler      : GCC 12.2.0, x86_64-linux",
        "Betriebssystem: Debian GNU/Linux 12 (bookworm), Linux 6.1.0 x86_64",
        "Darstellung   : Dark",
        "Datenbank     : sql01 / NAV2018  (Provider SQLOLEDB)",
        "Mandant       : Muster GmbH",
        "ZUGFeRD       : Factur-X 1.0 / ZUGFeRD 2, Profil EN 16931 (urn:cen.eu:en16931:2017)",
        "PDF           : PDF/A-3b, Schrift " + Settings->FontName,
        "E-Mail        : Microsoft Graph, Absender rechnung@muster-gmbh.de",
        "Einstellungen : " + Ini(),
        // The layout file does not exist.
        "Layout        : " + Settings->LayoutFile + "  (Standardlayout)",
        "Ausgabe       : " + Settings->OutDir,
        "Versandprot.  : " + Settings->MailLogFile,
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(SystemReportTest, NavLinesFollowTheCompanyOrSayWhyNot) {
    Strings lines = Lines([] { return Strings{"NAV-Version   : 11.0.19394", "Datenbankvers.: 110"}; });
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[7], "NAV-Version   : 11.0.19394");
    EXPECT_EQ(lines[8], "Datenbankvers.: 110");
    EXPECT_EQ(lines[9].substr(0, 14), "ZUGFeRD       ");

    lines = Lines([]() -> Strings { throw Exception("Tabelle $ndo$dbproperty fehlt"); });
    EXPECT_EQ(lines[7], "NAV-Version   : nicht ermittelbar (Tabelle $ndo$dbproperty fehlt)");
    EXPECT_EQ(lines[8].substr(0, 14), "ZUGFeRD       ");
}

TEST_F(SystemReportTest, ADatabaseThatCannotBeReachedGivesTheSingleLine) {
    Settings->Provider = "SQLite";
    Settings->Server.clear();
    Settings->Database = Folder.File("fehlt/nav.sqlite");
    TNavData data(*Settings);
    const Strings lines = Lines([&] { return data.NavVersionInfo(); });
    EXPECT_EQ(lines[5], "Datenbank     : " + Settings->Database + "  (Provider SQLite)");
    EXPECT_EQ(lines[7].rfind("NAV-Version   : nicht ermittelbar (", 0), 0u) << lines[7];
    EXPECT_EQ(lines[8].substr(0, 14), "ZUGFeRD       ");
}

TEST_F(SystemReportTest, TestModeExistingLayoutAndNoSecret) {
    Settings->MailTestRecipient = "test@muster-gmbh.de";
    WriteTextFile(Settings->LayoutFile, "[Seite]\n");
    const std::string report = SystemReport(Facts, *Settings, "Muster GmbH", {});
    EXPECT_NE(report.find("E-Mail        : Microsoft Graph, Absender rechnung@muster-gmbh.de  (TESTMODUS -> "
                          "test@muster-gmbh.de)\r\n"),
              std::string::npos);
    EXPECT_NE(report.find("Layout        : " + Settings->LayoutFile + "\r\n"), std::string::npos);
    EXPECT_EQ(report.find(Settings->GraphSecret), std::string::npos);

    Settings->MailSender = " ";
    EXPECT_NE(SystemReport(Facts, *Settings, "", {}).find("E-Mail        : nicht eingerichtet\r\n"), std::string::npos);
}

TEST(OperatingSystemTest, ReleaseNameThenKernel) {
    TempFolder folder;
    const std::string file = folder.File("os-release");
    WriteTextFile(file, "NAME=\"Debian GNU/Linux\"\nVERSION=\"12 (bookworm)\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    const std::string text = OperatingSystemDescription(file);
    EXPECT_EQ(text.rfind("Debian GNU/Linux 12 (bookworm), Linux ", 0), 0u) << text;

    WriteTextFile(file, "NAME=Alpine\nVERSION='3.19'\n");
    EXPECT_EQ(OperatingSystemDescription(file).rfind("Alpine 3.19, Linux ", 0), 0u);
    EXPECT_EQ(OperatingSystemDescription(folder.File("fehlt")).rfind("Linux ", 0), 0u);
    EXPECT_NE(CompilerDescription().find(std::to_string(__GNUC__)), std::string::npos);
}

TEST(VendorTest, DefaultsForMissingKeysAndEmptyValuesStayEmpty) {
    TempFolder folder;
    const std::string ini = folder.File("velkaro.ini");
    const TVendorInfo defaults = ReadVendorInfo(ini);
    EXPECT_FALSE(defaults.Name.empty());
    EXPECT_FALSE(defaults.ShortName.empty());
    EXPECT_TRUE(defaults.Manual.empty());

    WriteTextFile(ini, "[Hersteller]\nName=Müller IT-Service\nWeb=\nTelefon=0711 12345\n"
                       "Anschrift=Hauptstraße 1|70173 Stuttgart\n");
    const TVendorInfo v = ReadVendorInfo(ini);
    EXPECT_EQ(v.Name, "Müller IT-Service");
    EXPECT_EQ(v.Web, "");
    EXPECT_EQ(v.EMail, defaults.EMail);
    EXPECT_EQ(v.Address, "Hauptstraße 1|70173 Stuttgart");
    EXPECT_EQ(ContactLine(v), "Telefon 0711 12345");
}

TEST(VendorTest, LinkTargetsAndContactLine) {
    struct Case {
        const char* Web;
        const char* Target;
    };
    for (const Case& c : {Case{"www.velkaro.de", "https://www.velkaro.de"}, Case{"HTTP://x.de", "HTTP://x.de"},
                          Case{"https://x.de/a", "https://x.de/a"}, Case{"httpdocs.de", "httpdocs.de"}})
        EXPECT_EQ(WebLinkTarget(c.Web), c.Target) << c.Web;
    EXPECT_EQ(MailLinkTarget("a@b.de", "1.2.3"), "mailto:a@b.de?subject=Velkaro%201.2.3");

    TVendorInfo v;
    EXPECT_EQ(ContactLine(v), "");
    v.Fax = "0711 2";
    EXPECT_EQ(ContactLine(v), "Fax 0711 2");
    v.Phone = "0711 1";
    EXPECT_EQ(ContactLine(v), "Telefon 0711 1  ·  Fax 0711 2");
}

} // namespace
