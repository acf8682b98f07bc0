// The about dialog's logic with a fake dialog and the main window's fake services.
#include <gtest/gtest.h>

#include "config/settings.h"
#include "fake_main_window.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "uimodel/about_presenter.h"

using namespace velkaro;

namespace {

using Strings = std::vector<std::string>;

class FakeAboutView : public TAboutView {
public:
    void CopyToClipboard(const std::string& text) override { Clipboard.push_back(text); }
    Strings Clipboard;
};

class AboutPresenterTest : public ::testing::Test {
protected:
    AboutPresenterTest() {
        WriteTextFile(Folder.File("velkaro.ini"),
                      "[Datenbank]\nServer=sql01\n[Hersteller]\nName=Müller IT-Service\nWeb=WWW.mueller-it.de\n"
                      "EMail=support@mueller-it.de\nTelefon=0711 12345\nFax=\n"
                      "Anschrift=Hauptstraße 1|70173 Stuttgart\n");
        Settings = std::make_unique<TSettings>(Folder.File("velkaro.ini"));
        Facts.Version = "1.2.3";
        Facts.BuildTime = EncodeDateTime({2026, 12, 1, 8, 5, 0, 0});
        Facts.ExecutablePath = "/opt/velkaro/velkaro";
        Facts.StyleName = "Dark";
    }

    test::TempFolder Folder;
    std::unique_ptr<TSettings> Settings;
    TSystemFacts Facts;
    FakeAboutView View;
    test::FakeMainWindow Window;
};

TEST_F(AboutPresenterTest, TextsAndLinkTargetsOfTheVendorBlock) {
    const TAboutPresenter about(*Settings, "Muster GmbH", {}, Facts, View, Window.Services());
    EXPECT_EQ(about.VersionLine(), "Version 1.2.3  \u00B7  erstellt am 01.12.2026");
    EXPECT_EQ(about.Vendor().Name, "Müller IT-Service");
    EXPECT_EQ(about.AddressLine(), "Hauptstraße 1  \u00B7  70173 Stuttgart");
    EXPECT_EQ(about.ContactText(), "Telefon 0711 12345");
    EXPECT_EQ(about.WebTarget(), "https://WWW.mueller-it.de");
    EXPECT_EQ(about.MailTarget(), "mailto:support@mueller-it.de?subject=Velkaro%201.2.3");
}

// The report is built once, shown with LF line ends and nothing after the last line, and
// copied with CR LF line ends, each line ended.
TEST_F(AboutPresenterTest, ReportIsAskedOnceShownWithLfAndCopiedWithCrLf) {
    int queries = 0;
    const TNavVersionQuery nav = [&queries]() -> Strings {
        ++queries;
        throw Exception("Tabelle $ndo$dbproperty fehlt");
    };
    TAboutPresenter about(*Settings, "Muster GmbH", nav, Facts, View, Window.Services());
    const std::string expected = SystemReport(Facts, *Settings, "Muster GmbH", [] { return Strings{}; });
    const std::string& report = about.Report();
    EXPECT_TRUE(report.starts_with("Programm      : Velkaro 1.2.3  (01.12.2026 08:05)\nProgrammdatei : ")) << report;
    EXPECT_NE(report.find("\nNAV-Version   : nicht ermittelbar (Tabelle $ndo$dbproperty fehlt)\n"),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find('\r'), std::string::npos);
    EXPECT_NE(report.back(), '\n');

    about.CopyReport();
    about.CopyReport();
    EXPECT_EQ(queries, 1);
    ASSERT_EQ(View.Clipboard.size(), 2u);
    EXPECT_EQ(View.Clipboard[0], ReplaceAll(report, "\n", "\r\n") + "\r\n");
    EXPECT_EQ(Split(View.Clipboard[0], '\n').size(), Split(expected, '\n').size() + 1) << "one NAV line more";
    EXPECT_EQ(Window.Informed, (Strings(2, "Systeminformationen in die Zwischenablage kopiert.")));

    // Without a database object: no NAV line at all.
    EXPECT_FALSE(TAboutPresenter::NavVersionOf(nullptr));
    const TAboutPresenter without(*Settings, "Muster GmbH", TAboutPresenter::NavVersionOf(nullptr), Facts, View,
                                  Window.Services());
    EXPECT_EQ(without.Report().find("NAV-Version"), std::string::npos);
    EXPECT_EQ(without.Report() + "\n", ReplaceAll(expected, "\r\n", "\n"));
}

} // namespace
