// The main window's presenter on the demo database through the real adapters.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/demo_mail_setup.h"
#include "app/generate_demo_setup.h"
#include "fake_main_window.h"
#include "platform/files.h"
#include "platform/number_format.h"
#include "support/test_support.h"
#include "uimodel/main_presenter.h"
#include "uimodel/main_session.h"

using namespace velkaro;

namespace {

using Strings = std::vector<std::string>;

TEST(MainPresenterDemo, SearchMarchAndProduceOneInvoice) {
    if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
    test::TempFolder dir;
    const std::string out = dir.File("Ausgabe");
    test::WriteProductionSettings(dir.File("velkaro.ini"), test::DemoDatabase(), out,
                                  {{"Datenbank", "Mandant", "muster gmbh"}, {"Ausgabe", "PdfOeffnen", "1"}});
    TMainSession session(dir.File("velkaro.ini"));
    session.SentLog().Add({EncodeDateTime({2024, 4, 2, 8, 30, 0, 0}), "Muster GmbH", "RE24-0001", "a@b.de", "OK", "", ""});
    test::FakeMainWindow window;
    window.Time = EncodeDateTime({2024, 4, 10, 12, 0, 0, 0});
    SetDecimalSeparatorOverride(",");
    SetThousandsSeparatorOverride(".");
    TMainPresenter presenter(session.Settings(), session.Source(), session.Session(), session.SentLog(),
                             window.Services(), window);

    presenter.ConnectDatabase();
    EXPECT_EQ(presenter.Company(), "Muster GmbH");
    // A database file has no server: it is named alone, without a stray " / ".
    EXPECT_EQ(window.LogTexts(), (Strings{"Verbunden mit " + test::DemoDatabase()}));
    EXPECT_EQ(presenter.StatusTexts()[0], "Datenbank: " + test::DemoDatabase());

    // March with its last day, without the invoices of 27 February and 2 April.
    presenter.SetDateFrom(EncodeDate(2024, 3, 1));
    presenter.SetDateTo(EncodeDate(2024, 3, 31));
    presenter.DoSearch();
    const TInvoiceListModel& list = presenter.Invoices();
    ASSERT_GE(list.Count(), 2u);
    EXPECT_EQ(list.Row(0).No(), "RE24-0013");
    EXPECT_EQ(list.Row(0).Texts[icDate], "31.03.2024");
    EXPECT_EQ(presenter.CountText(), std::to_string(list.Count()) + " Rechnung(en)");
    Strings numbers;
    for (size_t i = 0; i < list.Count(); ++i) {
        numbers.push_back(list.Row(i).No());
        EXPECT_EQ(list.Row(i).Texts[icSentAt], list.Row(i).No() == "RE24-0001" ? "02.04.2024 08:30" : "");
        EXPECT_FALSE(list.Row(i).Checked);
    }
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), "RE24-0014"), 0);
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), "RE24-0015"), 0);
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), "RE24-0001"), 1);

    // One hit is ticked and produced without marking.
    presenter.SetSearchText("RE24-0012");
    presenter.DoSearch();
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_TRUE(list.Row(0).Checked);
    EXPECT_EQ(list.Row(0).Texts[icEmail], "");  // the customer without any e-mail address
    window.LogLines.clear();
    presenter.DoGenerate();
    const std::string pdf = CombinePath(out, "Rechnung_RE24-0012.pdf");
    EXPECT_TRUE(FileExists(pdf));
    const Strings log = window.LogTexts();
    ASSERT_GE(log.size(), 2u);
    EXPECT_TRUE(log[log.size() - 2].starts_with("RE24-0012 erzeugt: " + pdf + "  (Netto ")) << log[log.size() - 2];
    EXPECT_EQ(log.back(), "Fertig: 1 erzeugt, 0 Fehler.");
    EXPECT_EQ(window.Opened, (Strings{pdf}));

    ResetDecimalSeparatorOverride();
    ResetThousandsSeparatorOverride();
}

} // namespace
