#include <gtest/gtest.h>

#include <memory>

#include "config/settings.h"
#include "app/batch_run.h"
#include "app/fake_run_session.h"
#include "fake_main_window.h"
#include "platform/file_lock.h"
#include "mail/sent_log.h"
#include "platform/files.h"
#include "platform/number_format.h"
#include "support/test_support.h"
#include "uimodel/main_presenter.h"

using namespace velkaro;
using velkaro::test::FakeRunSession;
using velkaro::test::FakeInvoiceSource;
using velkaro::test::FakeMainWindow;
using velkaro::test::TempFolder;

namespace {

using Strings = std::vector<std::string>;

constexpr const char* kMuster = "Muster GmbH";
constexpr const char* kNordwind = "Nordwind Handels GmbH";
constexpr const char* kConnectHelp =
    "  Verbindung eintragen: Einstellungen › Einstellungsdatei (INI) bearbeiten, Abschnitt [Datenbank], danach "
    "„Einstellungsdatei neu laden“.";

TInvoiceListItem Item(const std::string& no, TDateTime posted = EncodeDate(2025, 5, 2), const char* gross = "119") {
    TInvoiceListItem item;
    item.No = no;
    item.PostingDate = posted;
    item.CustomerNo = "K" + no;
    item.Name = "Kunde " + no;
    item.City = "Stuttgart";
    item.Gross = Currency::Parse(gross);
    item.InvoiceEmail = "rechnung@kunde.de";
    item.InvoiceEmailSource = "Debitor";
    return item;
}

std::vector<TInvoiceListItem> Items(const Strings& numbers) {
    std::vector<TInvoiceListItem> items;
    for (const std::string& no : numbers) items.push_back(Item(no));
    return items;
}

class MainPresenterTest : public ::testing::Test {
protected:
    MainPresenterTest() {
        SetDecimalSeparatorOverride(",");
        SetThousandsSeparatorOverride(".");
        Window.Time = EncodeDateTime({2025, 5, 31, 14, 30, 15, 0});
        WriteTextFile(IniFile(), "[Datenbank]\nServer=sql01\nDatenbank=NAV2018\nMandant=nordwind handels gmbh\n"
                                 "MaxZeilen=3\n[Ausgabe]\nOrdner=" + Folder.File("Ausgabe") + "\n");
        Settings = std::make_unique<TSettings>(IniFile());
        SentLog = std::make_unique<TSentLog>(Settings->MailLogFile);
        Workflows.SentLog = SentLog.get();
        Source.CompanyNames = {kMuster, kNordwind};
        Presenter = std::make_unique<TMainPresenter>(*Settings, Source, Workflows, *SentLog, Window.Services(), Window);
        Presenter->SetRunLockWait(std::chrono::milliseconds(0));
    }
    ~MainPresenterTest() override {
        ResetDecimalSeparatorOverride();
        ResetThousandsSeparatorOverride();
    }

    std::string IniFile() const { return Folder.File("velkaro.ini"); }
    // The run lock as a batch run with the same settings holds it.
    std::unique_ptr<TFileLock> HoldRunLock() const {
        auto lock = std::make_unique<TFileLock>(RunLockFilePath(IniFile()));
        EXPECT_TRUE(lock->Acquire(std::chrono::milliseconds(0)));
        return lock;
    }
    std::string LockHeldMessage() const {
        return "Ein Stapellauf mit denselben Einstellungen arbeitet gerade (Sperrdatei " + RunLockFilePath(IniFile()) +
               "). Bitte nach seinem Ende erneut versuchen.";
    }

    // Connected with Muster GmbH selected and `numbers` found.
    void SearchFinds(const Strings& numbers) {
        Presenter->ConnectDatabase();
        Presenter->SelectCompany(0);
        Source.Found = Items(numbers);
        Presenter->DoSearch();
        Window.LogLines.clear();
    }

    Strings MarkedNumbers() const {
        Strings numbers;
        for (size_t row : Presenter->MarkedItems()) numbers.push_back(Presenter->Invoices().Row(row).No());
        return numbers;
    }

    std::vector<bool> CheckMarks() const {
        std::vector<bool> marks;
        for (size_t i = 0; i < Presenter->Invoices().Count(); ++i) marks.push_back(Presenter->Invoices().Row(i).Checked);
        return marks;
    }

    TempFolder Folder;
    FakeMainWindow Window;
    FakeInvoiceSource Source;
    FakeRunSession Workflows;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TSentLog> SentLog;
    std::unique_ptr<TMainPresenter> Presenter;
};

// --- connecting

TEST_F(MainPresenterTest, ConnectFillsTheCompaniesAndSelectsTheSavedOne) {
    Presenter->ConnectDatabase();
    EXPECT_EQ(Source.Calls, (Strings{"disconnect", "companies"}));
    EXPECT_EQ(Presenter->Companies(), (Strings{kMuster, kNordwind}));
    EXPECT_EQ(Presenter->CompanyIndex(), 1);  // letter case ignored
    EXPECT_EQ(Presenter->Company(), kNordwind);
    EXPECT_EQ(Window.LogTexts(), (Strings{"Verbunden mit sql01 / NAV2018"}));
    EXPECT_EQ(Window.CompanyUpdates, 1);
    EXPECT_EQ(Window.BusyDepth, 0);
}

TEST_F(MainPresenterTest, ConnectSelectsTheFirstCompanyWhenTheSavedOneIsMissing) {
    struct Case { Strings companies; std::string saved; int index; };
    const Case cases[] = {
        {{kMuster, kNordwind}, "Gibt es nicht", 0},
        {{kMuster, kNordwind}, "", 0},
        {{kMuster, kNordwind}, "MUSTER GMBH", 0},
        {{}, kMuster, -1},
    };
    for (const Case& c : cases) {
        Source.CompanyNames = c.companies;
        Settings->Company = c.saved;
        Presenter->ConnectDatabase();
        EXPECT_EQ(Presenter->CompanyIndex(), c.index) << c.saved;
    }
}

TEST_F(MainPresenterTest, UnreachableDatabaseLogsTwoLinesAndLeavesTheWindowUsable) {
    Presenter->ConnectDatabase();
    ASSERT_EQ(Presenter->CompanyIndex(), 1);
    Window.LogLines.clear();

    Source.CompaniesError = "Server sql01 nicht erreichbar";
    Presenter->ConnectDatabase();  // as after reloading changed settings
    EXPECT_EQ(Window.LogTexts(),
              (Strings{"FEHLER bei der Datenbankverbindung: Server sql01 nicht erreichbar", kConnectHelp}));
    EXPECT_TRUE(Presenter->Companies().empty());
    EXPECT_EQ(Presenter->CompanyIndex(), -1);
    EXPECT_EQ(Window.CompanyUpdates, 2);
    EXPECT_EQ(Window.BusyDepth, 0);

    // Without a company the search does nothing.
    Presenter->DoSearch();
    EXPECT_EQ(Source.Searches.size(), 0u);
    EXPECT_EQ(Window.LogLines.size(), 2u);
    EXPECT_EQ(Window.CountUpdates, 0);
}

// --- searching

TEST_F(MainPresenterTest, DateRangeStartsThreeMonthsBeforeToday) {
    EXPECT_EQ(Presenter->DateTo(), EncodeDate(2025, 5, 31));
    EXPECT_EQ(Presenter->DateFrom(), EncodeDate(2025, 2, 28));  // no 31 February
}

TEST_F(MainPresenterTest, SearchPassesCompanyTextAndWholeDays) {
    Presenter->ConnectDatabase();
    Presenter->SelectCompany(0);
    Presenter->SetDateFrom(EncodeDateTime({2024, 3, 1, 17, 45, 0, 0}));
    Presenter->SetDateTo(EncodeDateTime({2024, 3, 31, 23, 59, 0, 0}));
    Presenter->SetSearchText(" Stuttgart ");
    Presenter->DoSearch();
    ASSERT_EQ(Source.Searches.size(), 1u);
    EXPECT_EQ(Source.Searches[0].Company, kMuster);
    EXPECT_EQ(Source.Searches[0].Text, " Stuttgart ");  // trimming is the database's part
    EXPECT_EQ(Source.Searches[0].From, EncodeDate(2024, 3, 1));
    EXPECT_EQ(Source.Searches[0].To, EncodeDate(2024, 3, 31));
    EXPECT_EQ(Window.BusyDepth, 0);
}

TEST_F(MainPresenterTest, SearchShowsTheTwelveColumns) {
    TInvoiceListItem item = Item("RE/24/7", EncodeDate(2024, 3, 5), "-1234567.5");
    item.CurrencyCode = "";
    TInvoiceListItem swiss = Item("GS24-0004", EncodeDate(2024, 12, 31), "999.995");
    swiss.Kind = bkCreditMemo;
    swiss.CurrencyCode = "CHF";
    swiss.InvoiceEmail = "";
    swiss.InvoiceEmailSource = "";
    Presenter->ConnectDatabase();
    Source.Found = {item, swiss};
    Presenter->DoSearch();

    ASSERT_EQ(Presenter->Invoices().Count(), 2u);
    const auto expectTexts = [this](size_t row, const std::array<std::string, kInvoiceColumnCount>& texts) {
        EXPECT_EQ(Presenter->Invoices().Row(row).Texts, texts) << row;
    };
    expectTexts(0, {"RE/24/7", "Rechnung", "05.03.2024", "KRE/24/7", "Kunde RE/24/7", "Stuttgart", "-1.234.567,50",
                    "EUR", "rechnung@kunde.de", "Debitor", "", ""});
    expectTexts(1, {"GS24-0004", "Korrektur", "31.12.2024", "KGS24-0004", "Kunde GS24-0004", "Stuttgart", "1.000,00",
                    "CHF", "", "", "", ""});
    EXPECT_EQ(InvoiceColumns()[icKind].Caption, std::string("Art"));
    EXPECT_EQ(InvoiceColumns()[icGross].Caption, std::string("Brutto"));
    EXPECT_TRUE(InvoiceColumns()[icGross].RightAligned);
}

TEST_F(MainPresenterTest, CountLabelAndAutoTickFollowTheNumberOfHits) {
    struct Case { Strings found; std::string count; std::vector<bool> checks; };
    const Case cases[] = {  // MaxZeilen=3
        {{}, "0 Rechnung(en)", {}},
        {{"RE1"}, "1 Rechnung(en)", {true}},
        {{"RE1", "RE2"}, "2 Rechnung(en)", {false, false}},
        {{"RE1", "RE2", "RE3"}, "3 Rechnung(en) (Limit erreicht - Filter einschränken)", {false, false, false}},
    };
    Presenter->ConnectDatabase();
    int updates = 0;
    for (const Case& c : cases) {
        Source.Found = Items(c.found);
        Presenter->DoSearch();
        EXPECT_EQ(Presenter->CountText(), c.count);
        EXPECT_EQ(CheckMarks(), c.checks) << c.count;
        EXPECT_EQ(Window.CountUpdates, ++updates);
    }
}

TEST_F(MainPresenterTest, FailedSearchEmptiesTheListAndKeepsTheCount) {
    SearchFinds({"RE1", "RE2"});
    Source.SearchError = "Zeitüberschreitung";
    Presenter->DoSearch();
    EXPECT_EQ(Window.LogTexts(), (Strings{"FEHLER bei der Suche: Zeitüberschreitung"}));
    EXPECT_EQ(Presenter->Invoices().Count(), 0u);
    EXPECT_EQ(Presenter->CountText(), "2 Rechnung(en)");
    EXPECT_EQ(Window.BusyDepth, 0);
}

// --- marking

TEST_F(MainPresenterTest, TickedRowsWinOverSelectedRows) {
    struct Case { std::vector<size_t> ticked, selected; Strings marked; };
    const Case cases[] = {
        {{}, {}, {}},
        {{}, {2, 0}, {"RE1", "RE3"}},          // selected rows, in list order
        {{3, 1}, {}, {"RE2", "RE4"}},          // ticked rows, in list order
        {{2}, {0, 1, 3}, {"RE3"}},             // one tick beats any selection
    };
    for (const Case& c : cases) {
        SearchFinds({"RE1", "RE2", "RE3", "RE4"});
        for (size_t row : c.ticked) Presenter->Invoices().SetChecked(row, true);
        Presenter->Invoices().SetSelection(c.selected);
        EXPECT_EQ(MarkedNumbers(), c.marked);
    }
}

TEST_F(MainPresenterTest, ToggleAllFollowsTheFirstRow) {
    SearchFinds({"RE1", "RE2", "RE3"});
    Presenter->Invoices().SetChecked(1, true);
    Presenter->ToggleAll();  // first row not ticked: all on
    EXPECT_EQ(CheckMarks(), (std::vector<bool>{true, true, true}));
    Presenter->Invoices().SetChecked(2, false);
    Presenter->ToggleAll();  // first row ticked: all off
    EXPECT_EQ(CheckMarks(), (std::vector<bool>{false, false, false}));

    SearchFinds({});
    Presenter->ToggleAll();  // nothing to do in an empty list
    EXPECT_TRUE(CheckMarks().empty());
}

TEST_F(MainPresenterTest, DoubleClickTogglesTheRow) {
    SearchFinds({"RE1", "RE2"});
    Presenter->RowDoubleClicked(1);
    EXPECT_EQ(CheckMarks(), (std::vector<bool>{false, true}));
    Presenter->RowDoubleClicked(1);
    EXPECT_EQ(CheckMarks(), (std::vector<bool>{false, false}));
    Presenter->RowDoubleClicked(2);  // a row of a list just replaced
    EXPECT_EQ(CheckMarks(), (std::vector<bool>{false, false}));
}

// --- producing

TEST_F(MainPresenterTest, GenerateAsksForAMarkFirst) {
    SearchFinds({"RE1", "RE2"});
    Presenter->DoGenerate();
    EXPECT_EQ(Window.Informed, (Strings{"Bitte mindestens eine Rechnung markieren."}));
    EXPECT_TRUE(Workflows.Produced.empty());
    EXPECT_TRUE(Window.LogLines.empty());
    EXPECT_EQ(Window.RunStateUpdates, 0);
}

// A batch run with the same settings holds the run lock: the window says so and
// produces nothing; it asks for the lock only when it produces.
TEST_F(MainPresenterTest, GenerateWaitsForNoBatchRunAndSaysWhenOneWorks) {
    SearchFinds({"RE1", "RE2"});
    Presenter->Invoices().SetChecked(0, true);
    {
        const auto batch = HoldRunLock();
        Presenter->DoGenerate();
        EXPECT_EQ(Window.Errors, (Strings{LockHeldMessage()}));
        EXPECT_TRUE(Workflows.Produced.empty());
        EXPECT_EQ(Presenter->RunKind(), rkNone);
    }
    Presenter->DoGenerate();
    EXPECT_EQ(Workflows.Produced, (Strings{"Muster GmbH|RE1"}));
    // Released after the run: a batch gets it at once.
    EXPECT_NE(HoldRunLock(), nullptr);
}

// Each production run names the unknown sections and keys of the settings once, before
// its first invoice.
TEST_F(MainPresenterTest, GenerateLogsTheSettingsHintsBeforeTheFirstInvoice) {
    WriteTextFile(IniFile(), ReadTextFile(IniFile()) + "[Verkäufer]\nIBAN=DE1\n");
    Presenter->ReloadSettings();
    SearchFinds({"RE1", "RE2"});
    Presenter->Invoices().SetChecked(0, true);
    Presenter->Invoices().SetChecked(1, true);
    const std::string hint = "  Hinweis Einstellungen: Zeile 8: unbekannter Abschnitt [Verkäufer] – gemeint ist [Verkaeufer]?";
    Strings before;
    Workflows.OnGenerate = [&](const std::string& no) {
        if (no == "RE1") before = Window.LogTexts();
    };
    for (int run = 0; run < 2; ++run) {
        Window.LogLines.clear();
        Presenter->DoGenerate();
        EXPECT_EQ(before, Strings{hint});
        const Strings all = Window.LogTexts();
        EXPECT_EQ(std::count(all.begin(), all.end(), hint), 1);
    }
}

TEST_F(MainPresenterTest, GenerateProducesTheMarkedInvoicesOneAfterTheOther) {
    SearchFinds({"RE1", "RE2", "RE3"});
    Presenter->Invoices().SetChecked(0, true);
    Presenter->Invoices().SetChecked(2, true);
    Workflows.Failures["RE3"] = "Rechnung RE3 nicht gefunden";

    // What the window shows while each invoice is produced.
    Strings during;
    Workflows.OnGenerate = [&](const std::string& no) {
        during.push_back(no + ": " + Presenter->ProgressText() + " [" + std::to_string(Presenter->ProgressStep()) + "/" +
                         std::to_string(Presenter->ProgressCount()) + "]" +
                         (Presenter->RunKind() == rkGenerate ? " run" : "") +
                         (Window.BusyDepth > 0 ? " busy" : "") + " events " + std::to_string(Window.EventRounds));
    };
    Presenter->DoGenerate();

    EXPECT_EQ(Workflows.Produced, (Strings{"Muster GmbH|RE1", "Muster GmbH|RE3"}));
    EXPECT_EQ(during, (Strings{"RE1: 1 von 2 [1/2] run busy events 0", "RE3: 2 von 2 [2/2] run busy events 1"}));
    EXPECT_EQ(Window.EventRounds, 2);
    EXPECT_EQ(Window.LogTexts(), (Strings{"  Hinweis RE1", "RE1 erzeugt: /ausgabe/Rechnung_RE1.pdf",
                                          "  Hinweis RE3", "FEHLER RE3: Rechnung RE3 nicht gefunden",
                                          "Fertig: 1 erzeugt, 1 Fehler."}));
    EXPECT_EQ(Presenter->RunKind(), rkNone);
    EXPECT_EQ(Presenter->ProgressText(), "");
    EXPECT_EQ(Presenter->ProgressCount(), 0u);
    EXPECT_EQ(Window.RunStateUpdates, 2);  // disabled, enabled again
    EXPECT_EQ(Window.BusyDepth, 0);
    EXPECT_TRUE(Window.Opened.empty());  // OpenPdf is off
}

TEST_F(MainPresenterTest, GenerateMarksTheRowsWithFindingsAndClearsThemWhenMended) {
    SearchFinds({"RE1", "RE2"});
    Presenter->Invoices().SetChecked(0, true);
    Presenter->Invoices().SetChecked(1, true);
    TCheckFindings findings;
    findings.Add("BR-CL-14", "Ländercode „UK“ des Käufers ist kein ISO-3166-Code", "INI [Laender] UK=<ISO-Code>");
    findings.Add("BR-CO-09", "USt-IdNr. „123“ des Käufers beginnt nicht mit dem Ländercode", "USt-IdNr.");
    Workflows.Findings["RE2"] = findings;
    Workflows.OnGenerate = [&](const std::string& no) {
        if (no == "RE1") Presenter->Invoices().Sort(icNo, false);  // re-sorted between two invoices
    };
    Presenter->DoGenerate();

    const TInvoiceListModel& list = Presenter->Invoices();
    ASSERT_EQ(list.Row(0).No(), "RE2");
    EXPECT_EQ(list.Row(0).Findings,
              "BR-CL-14 Ländercode „UK“ des Käufers ist kein ISO-3166-Code (zu korrigieren: INI [Laender] "
              "UK=<ISO-Code>)\nBR-CO-09 USt-IdNr. „123“ des Käufers beginnt nicht mit dem Ländercode (zu "
              "korrigieren: USt-IdNr.)");
    EXPECT_EQ(list.Row(1).Findings, "");

    Workflows.Findings.clear();
    Workflows.OnGenerate = nullptr;
    Presenter->DoGenerate();
    EXPECT_EQ(list.Row(0).Findings, "") << "a second production without findings clears the mark";
}

TEST_F(MainPresenterTest, GenerateOpensThePdfOrTheFolderWhenAsked) {
    struct Case { bool openPdf; Strings marked; Strings failing; Strings opened; };
    const std::string outDir = Folder.File("Ausgabe");
    const Case cases[] = {
        {true, {"RE1"}, {}, {"/ausgabe/Rechnung_RE1.pdf"}},
        {true, {"RE1"}, {"RE1"}, {}},
        {true, {"RE1", "RE2"}, {"RE1"}, {outDir}},
        {true, {"RE1", "RE2"}, {"RE1", "RE2"}, {}},
        {false, {"RE1"}, {}, {}},
    };
    for (const Case& c : cases) {
        SearchFinds(c.marked);
        for (size_t row = 0; row < c.marked.size(); ++row) Presenter->Invoices().SetChecked(row, true);
        Settings->OpenPdf = c.openPdf;
        Workflows.Failures.clear();
        for (const std::string& no : c.failing) Workflows.Failures[no] = "kaputt";
        Window.Opened.clear();
        Presenter->DoGenerate();
        EXPECT_EQ(Window.Opened, c.opened) << c.marked.size() << " marked, " << c.failing.size() << " failing";
    }
}

TEST_F(MainPresenterTest, CancelStopsAfterTheCurrentInvoice) {
    SearchFinds({"RE1", "RE2", "RE3"});
    Presenter->ToggleAll();
    // The cancel click arrives while RE1 is produced and is seen when events are processed.
    Workflows.OnGenerate = [&](const std::string& no) {
        if (no == "RE1") Presenter->RequestCancel();
    };
    Presenter->DoGenerate();
    EXPECT_EQ(Workflows.Produced, (Strings{"Muster GmbH|RE1"}));
    EXPECT_EQ(Window.LogTexts(), (Strings{"  Hinweis RE1", "RE1 erzeugt: /ausgabe/Rechnung_RE1.pdf",
                                          "Abgebrochen nach 1 von 3 Rechnungen.", "Fertig: 1 erzeugt, 0 Fehler."}));
    EXPECT_EQ(Presenter->RunKind(), rkNone);
    EXPECT_EQ(Window.BusyDepth, 0);

    // The request ends with its run: the next run produces everything.
    Workflows.Produced.clear();
    Workflows.OnGenerate = nullptr;
    Presenter->DoGenerate();
    EXPECT_EQ(Workflows.Produced.size(), 3u);
}

TEST_F(MainPresenterTest, CancelDuringTheLastInvoiceOrOutsideARunChangesNothing) {
    SearchFinds({"RE1", "RE2"});
    Presenter->ToggleAll();
    Presenter->RequestCancel();  // no run: ignored
    Window.OnEvents = [&] {
        if (Workflows.Produced.size() == 2) Presenter->RequestCancel();
    };
    Presenter->DoGenerate();
    EXPECT_EQ(Workflows.Produced.size(), 2u);
    const Strings log = Window.LogTexts();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Fertig: 2 erzeugt, 0 Fehler.");
    for (const std::string& line : log) EXPECT_FALSE(line.starts_with("Abgebrochen")) << line;
}

TEST_F(MainPresenterTest, AnEscapingErrorEndsTheRunAndRestoresTheWindow) {
    SearchFinds({"RE1", "RE2"});
    Presenter->ToggleAll();
    Window.OnEvents = [] { throw std::logic_error("Fenster geschlossen"); };
    EXPECT_THROW(Presenter->DoGenerate(), std::logic_error);
    EXPECT_EQ(Workflows.Produced.size(), 1u);
    EXPECT_EQ(Presenter->RunKind(), rkNone);
    EXPECT_EQ(Window.BusyDepth, 0);
    EXPECT_EQ(Window.RunStateUpdates, 2);
}

// --- sent column

TEST_F(MainPresenterTest, SentColumnShowsTheLastSuccessfulSendOfTheCompany) {
    const TDateTime first = EncodeDateTime({2025, 4, 1, 9, 15, 42, 0});
    const TDateTime later = EncodeDateTime({2025, 4, 3, 16, 5, 0, 0});
    SentLog->Add({first, kMuster, "RE2", "a@kunde.de", "OK", "", ""});
    SentLog->Add({later, kMuster, "RE2", "a@kunde.de", "FEHLER", "Postfach voll", ""});
    SentLog->Add({later, kMuster, "RE1", "test@muster-gmbh.de", "TEST", "", ""});
    SentLog->Add({later, kNordwind, "RE3", "b@kunde.de", "OK", "", ""});
    SearchFinds({"RE1", "RE2", "RE3"});
    const auto sentTexts = [this] {
        Strings texts;
        for (size_t i = 0; i < Presenter->Invoices().Count(); ++i)
            texts.push_back(Presenter->Invoices().Row(i).Texts[icSentAt]);
        return texts;
    };
    EXPECT_EQ(sentTexts(), (Strings{"", "01.04.2025 09:15", ""}));

    // A send logged after the search reaches the row through UpdateSentColumn.
    SentLog->Add({later, kMuster, "RE1", "a@kunde.de", "OK", "", ""});
    Presenter->UpdateSentColumn(0);
    EXPECT_EQ(sentTexts(), (Strings{"03.04.2025 16:05", "01.04.2025 09:15", ""}));
    EXPECT_EQ(Presenter->Invoices().Row(0).SentAt, later);
}

// --- options and user values

TEST_F(MainPresenterTest, StatusTextsFollowTheOptions) {
    struct Case { bool xml, open; const char* options; };
    const Case cases[] = {
        {false, false, "PDF"}, {true, false, "PDF + XML"}, {false, true, "PDF, danach öffnen"},
        {true, true, "PDF + XML, danach öffnen"},
    };
    for (const Case& c : cases) {
        Presenter->SetSaveXml(c.xml);
        Presenter->SetOpenPdf(c.open);
        EXPECT_EQ(Presenter->StatusTexts(),
                  (std::array<std::string, 3>{"Datenbank: sql01 / NAV2018", "Ausgabe: " + Folder.File("Ausgabe"),
                                              c.options}));
    }
    EXPECT_EQ(Window.StatusUpdates, 8);
}

TEST_F(MainPresenterTest, UserValuesAreSavedOnClose) {
    Presenter->ConnectDatabase();
    Presenter->SelectCompany(0);
    Presenter->SetOutDir(Folder.File("Rechnungen"));
    Presenter->SetSaveXml(true);
    Presenter->SetOpenPdf(true);
    EXPECT_EQ(Window.LogTexts().back(), "Ausgabeordner: " + Folder.File("Rechnungen"));
    Presenter->StoreUserValues();

    TSettings saved(IniFile());
    EXPECT_EQ(saved.Company, kMuster);
    EXPECT_EQ(saved.OutDir, Folder.File("Rechnungen"));
    EXPECT_TRUE(saved.SaveXml);
    EXPECT_TRUE(saved.OpenPdf);
    EXPECT_EQ(saved.Server, "sql01");  // the rest of the file stays
}

TEST_F(MainPresenterTest, WithoutASelectedCompanyTheSavedCompanyStays) {
    Source.CompaniesError = "nicht erreichbar";
    Presenter->ConnectDatabase();
    Presenter->StoreUserValues();
    EXPECT_EQ(TSettings(IniFile()).Company, "nordwind handels gmbh");
}

TEST_F(MainPresenterTest, SavingOnCloseNeverFails) {
    TSettings unwritable(Folder.File("fehlt/velkaro.ini"));
    ASSERT_THROW(unwritable.SaveUserValues(), std::exception);
    TMainPresenter presenter(unwritable, Source, Workflows, *SentLog, Window.Services(), Window);
    presenter.ConnectDatabase();
    EXPECT_NO_THROW(presenter.StoreUserValues());
    EXPECT_TRUE(Window.Errors.empty());
}

TEST_F(MainPresenterTest, EditAndReloadTheSettingsFile) {
    Presenter->ConnectDatabase();
    Presenter->SelectCompany(0);
    Window.LogLines.clear();
    Presenter->EditSettingsFile();
    EXPECT_EQ(Window.Opened, (Strings{IniFile()}));
    EXPECT_EQ(TSettings(IniFile()).Company, kMuster);  // the file holds the current values
    EXPECT_EQ(Window.LogTexts(), (Strings{"Einstellungsdatei geöffnet. Nach dem Speichern „Einstellungen > "
                                          "Einstellungsdatei neu laden“ wählen."}));

    Window.LogLines.clear();
    WriteTextFile(IniFile(), "[Datenbank]\nServer=sql02\nDatenbank=NAV2020\nMandant=Nordwind Handels GmbH\n");
    Source.CompanyNames = {"Neu AG", kNordwind};
    Presenter->ReloadSettings();
    EXPECT_EQ(Presenter->StatusTexts()[0], "Datenbank: sql02 / NAV2020");
    EXPECT_EQ(Presenter->Companies(), (Strings{"Neu AG", kNordwind}));
    EXPECT_EQ(Presenter->CompanyIndex(), 1);
    EXPECT_EQ(Window.LogTexts(), (Strings{"Einstellungsdatei neu geladen: " + IniFile(),
                                          "Verbunden mit sql02 / NAV2020"}));
}

TEST_F(MainPresenterTest, OutputFolderIsCreatedBeforeItIsOpened) {
    EXPECT_EQ(Presenter->OutDirDialogStart(), "");  // not there yet
    Presenter->OpenOutputFolder();
    EXPECT_TRUE(DirectoryExists(Settings->OutDir));
    EXPECT_EQ(Window.Opened, (Strings{Settings->OutDir}));
    EXPECT_EQ(Presenter->OutDirDialogStart(), Settings->OutDir);
}

TEST_F(MainPresenterTest, ThemeSwitchIsStoredAsItsNameAndSavedOnClose) {
    EXPECT_FALSE(Presenter->LightSkin());  // no Skin in the file: dark
    Presenter->SetLightSkin(true);
    EXPECT_TRUE(Presenter->LightSkin());
    Presenter->StoreUserValues();
    EXPECT_EQ(TSettings(IniFile()).Skin, "Hell");
    Presenter->SetLightSkin(false);
    Presenter->StoreUserValues();
    EXPECT_EQ(TSettings(IniFile()).Skin, "Dunkel");
}

TEST_F(MainPresenterTest, UserGuideOpensFromTheProgramFolderOrTheInstalledDocumentation) {
    const std::string bin = Folder.File("usr/bin"), doc = Folder.File("usr/share/doc/velkaro");
    ForceDirectories(bin);
    Presenter->OpenUserGuide(bin);
    EXPECT_TRUE(Window.Opened.empty());
    EXPECT_EQ(Window.Informed,
              (Strings{"Die Anleitung LIESMICH.md liegt weder im Programmordner noch in ../share/doc/velkaro."}));
    ForceDirectories(doc);
    WriteTextFile(CombinePath(doc, "LIESMICH.md"), "# Velkaro installiert\n");
    Presenter->OpenUserGuide(bin);
    EXPECT_EQ(Window.Opened, (Strings{CombinePath(doc, "LIESMICH.md")}));
    WriteTextFile(CombinePath(bin, "LIESMICH.md"), "# Velkaro\n");
    Presenter->OpenUserGuide(bin);
    EXPECT_EQ(Window.Opened, (Strings{CombinePath(doc, "LIESMICH.md"), CombinePath(bin, "LIESMICH.md")}))
        << "the one beside the program first";
    EXPECT_EQ(Window.Informed.size(), 1u);
}

TEST_F(MainPresenterTest, SavingTheLayoutIsLogged) {
    Presenter->LayoutSaved();
    EXPECT_EQ(Window.LogTexts(), (Strings{"Layout gespeichert: " + Folder.File("velkaro.layout.ini")}));
}

} // namespace

// --- mailing

class MainPresenterMailTest : public MainPresenterTest {
protected:
    MainPresenterMailTest() {
        Settings->GraphTenant = "contoso";
        Settings->GraphClientId = "client-4711";
        Settings->GraphSecret = "Sehr~Geheim";
        Settings->MailSender = "rechnung@muster-gmbh.de";
        Workflows.MailSettings = Settings.get();
        Workflows.MailTime = EncodeDateTime({2025, 5, 31, 14, 0, 0, 0});
    }

    // Three ticked rows: RE1 with an address, RE2 without, RE3 sent before.
    void ThreeRows() {
        Presenter->ConnectDatabase();
        Presenter->SelectCompany(0);
        Source.Found = Items({"RE1", "RE2", "RE3"});
        Source.Found[1].InvoiceEmail.clear();
        TSentEntry before;
        before.Time = EncodeDateTime({2025, 4, 1, 9, 15, 0, 0});
        before.Company = kMuster;
        before.InvoiceNo = "RE3";
        before.Status = "OK";
        SentLog->Add(before);
        Presenter->DoSearch();
        for (size_t i = 0; i < 3; ++i) Presenter->Invoices().SetChecked(i, true);
        Window.LogLines.clear();
    }

    Strings SentColumn() const {
        Strings texts;
        for (size_t i = 0; i < Presenter->Invoices().Count(); ++i)
            texts.push_back(Presenter->Invoices().Row(i).Texts[icSentAt]);
        return texts;
    }

    // Mails the three rows answering Yes; returns the question asked.
    std::string MailThreeRows() {
        ThreeRows();
        Window.AskAnswer = true;
        Presenter->DoMail();
        EXPECT_EQ(Window.Asked.size(), 1u);
        return Window.Asked.empty() ? "" : Window.Asked[0];
    }

    static constexpr const char* kQuestionHead =
        "3 Rechnung(en) als ZUGFeRD-PDF per E-Mail senden?\r\n\r\nAbsender: rechnung@muster-gmbh.de\r\n";

    std::string Summary(const std::string& counts) const {
        return "E-Mail-Versand fertig: " + counts + " Fehler. Protokoll: " + Settings->MailLogFile;
    }
};

TEST_F(MainPresenterMailTest, ThreeRowsSkipTheOneWithoutAddressAndWarnOfTheRepeat) {
    EXPECT_EQ(MailThreeRows(),
              std::string(kQuestionHead) +
              "\r\n1 ohne Rechnungs-E-Mail werden übersprungen.\r\n"
              "\r\nACHTUNG: 1 wurde(n) bereits versendet und werden ERNEUT versendet.\r\n");
    EXPECT_EQ(Workflows.SignIns, 1);
    EXPECT_EQ(Workflows.Mailed, (Strings{"Muster GmbH|RE1", "Muster GmbH|RE3"}));
    EXPECT_EQ(Window.LogTexts(), (Strings{"  RE1 per E-Mail versendet", "Übersprungen RE2: keine Rechnungs-E-Mail",
                                          "  RE3 per E-Mail versendet", Summary("2 versendet, 0")}));
    // The sent column follows the new sends at once.
    EXPECT_EQ(SentColumn(), (Strings{"31.05.2025 14:00", "", "31.05.2025 14:00"}));
    EXPECT_EQ(Window.BusyDepth, 0);
    EXPECT_EQ(Presenter->RunKind(), rkNone);
}

// Credit memos in the list are produced and mailed as what they are, in list order
// between the invoices.
TEST_F(MainPresenterMailTest, CreditMemoRowsKeepTheirKindWhenProducedAndMailed) {
    Presenter->ConnectDatabase();
    Presenter->SelectCompany(0);
    Source.Found = Items({"RE1", "GS1", "RE2"});
    Source.Found[1].Kind = bkCreditMemo;
    Presenter->DoSearch();
    for (size_t i = 0; i < 3; ++i) Presenter->Invoices().SetChecked(i, true);
    EXPECT_EQ(Presenter->Invoices().Row(1).Texts[icKind], "Korrektur");
    Presenter->DoGenerate();
    EXPECT_EQ(Workflows.Produced, (Strings{"Muster GmbH|RE1", "Muster GmbH|korr GS1", "Muster GmbH|RE2"}));
    Window.AskAnswer = true;
    Presenter->DoMail();
    EXPECT_EQ(Workflows.Mailed, (Strings{"Muster GmbH|RE1", "Muster GmbH|korr GS1", "Muster GmbH|RE2"}));
    EXPECT_EQ(SentColumn(), (Strings{"31.05.2025 14:00", "31.05.2025 14:00", "31.05.2025 14:00"}));
}

TEST_F(MainPresenterMailTest, TestModeSendsAllThreeAndLeavesTheSentColumn) {
    Settings->MailTestRecipient = " test@muster-gmbh.de ";
    EXPECT_EQ(MailThreeRows(),
              std::string(kQuestionHead) +
              "\r\nTESTMODUS: Alle Mails gehen ausschließlich an  test@muster-gmbh.de \r\n"
              "(Testempfänger in den E-Mail-Einstellungen leeren für den echten Versand)\r\n");
    EXPECT_EQ(Workflows.Mailed, (Strings{"Muster GmbH|RE1", "Muster GmbH|RE2", "Muster GmbH|RE3"}));
    EXPECT_EQ(Window.LogTexts().back(), Summary("3 versendet (TEST), 0"));
    EXPECT_EQ(SentColumn(), (Strings{"", "", "01.04.2025 09:15"}));
}

TEST_F(MainPresenterMailTest, ConfirmationAnsweredNoSendsNothing) {
    ThreeRows();
    Window.AskAnswer = false;
    Presenter->DoMail();
    EXPECT_EQ(Window.Asked.size(), 1u);
    EXPECT_EQ(Workflows.Mailers, 0);
    EXPECT_TRUE(Workflows.Mailed.empty());
    EXPECT_TRUE(Window.LogLines.empty());
}

TEST_F(MainPresenterMailTest, FailedMailsAreCountedAndRowsWithFindingsAnnounced) {
    ThreeRows();
    Presenter->Invoices().SetFindings("RE1", "BR-CO-10 Summe falsch");
    Workflows.MailFailures["RE1"] = "E-Rechnung verletzt EN 16931 (BR-CO-10)";
    Window.AskAnswer = true;
    Presenter->DoMail();
    EXPECT_NE(Window.Asked[0].find("\r\n1 mit Befund der EN-16931-Prüfung werden nicht versendet.\r\n"),
              std::string::npos)
        << Window.Asked[0];
    EXPECT_EQ(Window.LogTexts().back(), Summary("1 versendet, 1"));
    EXPECT_EQ(SentColumn(), (Strings{"", "", "31.05.2025 14:00"}));

    // Allowed by the settings: no announcement.
    Settings->SendDespiteFindings = true;
    EXPECT_EQ(Presenter->MailConfirmation({0}).find("Befund"), std::string::npos);
}

TEST_F(MainPresenterMailTest, FailingSignInIsLoggedAndShownAndSendsNothing) {
    ThreeRows();
    Workflows.SignInError = "Anmeldung fehlgeschlagen: AADSTS7000215 Ungültiger Schlüssel Sehr~Geheim";
    Window.AskAnswer = true;
    Presenter->DoMail();
    const std::string masked = Window.Errors.empty() ? "" : Window.Errors[0];
    EXPECT_EQ(masked.find("Sehr~Geheim"), std::string::npos) << masked;
    EXPECT_NE(masked.find("AADSTS7000215"), std::string::npos) << masked;
    EXPECT_EQ(Window.LogTexts(), (Strings{"FEHLER E-Mail-Anmeldung: " + masked}));
    EXPECT_TRUE(Workflows.Mailed.empty());
    EXPECT_EQ(Window.BusyDepth, 0);
}

TEST_F(MainPresenterMailTest, NothingMarkedOrABatchRunningStopsBeforeTheQuestion) {
    ThreeRows();
    Window.AskAnswer = true;
    {
        const auto batch = HoldRunLock();
        Presenter->DoMail();
    }
    EXPECT_EQ(Window.Errors, (Strings{LockHeldMessage()}));
    EXPECT_EQ(Workflows.Mailers, 0);

    for (size_t i = 0; i < 3; ++i) Presenter->Invoices().SetChecked(i, false);
    Window.Asked.clear();
    Presenter->DoMail();
    EXPECT_EQ(Window.Informed, (Strings{"Bitte mindestens eine Rechnung markieren."}));
    EXPECT_TRUE(Window.Asked.empty());
}

TEST_F(MainPresenterMailTest, MailingNotSetUpOpensTheSettingsFirst) {
    ThreeRows();
    Settings->GraphSecret.clear();
    Window.AskAnswer = true;

    // Cancelled: nothing sent, nothing logged.
    Presenter->DoMail();
    EXPECT_EQ(Window.Informed, (Strings{"Der E-Mail-Versand ist noch nicht eingerichtet."}));
    EXPECT_EQ(Window.MailSettingsShown, 1);
    EXPECT_TRUE(Window.Asked.empty());
    EXPECT_TRUE(Window.LogLines.empty());
    EXPECT_EQ(Workflows.Mailers, 0);

    // Saved: the run goes on without testing the values again.
    Window.MailSettingsSaved = true;
    Presenter->DoMail();
    EXPECT_EQ(Window.MailSettingsShown, 2);
    EXPECT_EQ(Window.Asked.size(), 1u);
    EXPECT_EQ(Window.LogTexts().front(), "E-Mail-Einstellungen gespeichert.");
    EXPECT_EQ(Workflows.Mailed.size(), 2u);
}

TEST_F(MainPresenterMailTest, CancelStopsAfterTheCurrentMail) {
    ThreeRows();
    Settings->MailTestRecipient = "test@muster-gmbh.de";
    Window.AskAnswer = true;
    Window.OnEvents = [this] { Presenter->RequestCancel(); };
    Presenter->DoMail();
    EXPECT_EQ(Workflows.Mailed, (Strings{"Muster GmbH|RE1"}));
    EXPECT_EQ(Window.LogTexts().back(), Summary("1 versendet (TEST), 0"));
}

TEST_F(MainPresenterTest, ManualOpensTheConfiguredPageOrTheGuide) {
    WriteTextFile(Folder.File("LIESMICH.md"), "# Velkaro\n");
    Presenter->OpenManual(Folder.Path());
    EXPECT_EQ(Window.Opened, (Strings{Folder.File("LIESMICH.md")}));
    WriteTextFile(IniFile(), ReadTextFile(IniFile()) + "[Hersteller]\nAnleitung=handbuch.example.de/velkaro\n");
    Presenter->OpenManual(Folder.Path());
    EXPECT_EQ(Window.Opened.back(), "https://handbuch.example.de/velkaro");
}

// --- what a run leaves usable, and the end of the session

namespace {

// One letter per command, in TMainCommand order: 1 enabled, 0 disabled.
std::string CommandStates(const TMainPresenter& presenter) {
    std::string states;
    for (size_t c = 0; c < kMainCommandCount; ++c) states += presenter.Enabled(static_cast<TMainCommand>(c)) ? '1' : '0';
    return states;
}

//                                 Filter, Search, MarkAll, Generate, Mail, Cancel, Designer, MailSettings,
//                                 OutputOptions, Look, EditSettings, ReloadSettings, OpenOutputFolder, Help
constexpr const char* kIdle    = "11111011111111";
constexpr const char* kRunning = "00000100000011";
constexpr const char* kEnding  = "00000000000011";

} // namespace

TEST_F(MainPresenterMailTest, DuringARunOnlyCancelAndReadingStayEnabled) {
    ThreeRows();
    EXPECT_EQ(CommandStates(*Presenter), kIdle);
    const std::string outDir = Settings->OutDir;
    Strings during;
    bool tried = false;
    Window.OnEvents = [&] {
        during.push_back(CommandStates(*Presenter));
        if (tried) return;
        tried = true;
        // Clicks that arrive while the run works do nothing.
        const size_t searches = Source.Searches.size();
        Presenter->DoSearch();
        Presenter->SelectCompany(1);
        Presenter->ReloadSettings();
        Presenter->SetSaveXml(true);
        Presenter->SetOutDir(Folder.File("anderswo"));
        Presenter->DoMail();
        Presenter->ToggleAll();
        EXPECT_EQ(Source.Searches.size(), searches);
        EXPECT_EQ(Presenter->Company(), kMuster);
        EXPECT_FALSE(Settings->SaveXml);
        EXPECT_EQ(Settings->OutDir, outDir);
        EXPECT_EQ(CheckMarks(), (std::vector<bool>{true, true, true}));
    };
    Presenter->DoGenerate();
    EXPECT_EQ(CommandStates(*Presenter), kIdle);
    EXPECT_TRUE(Window.Asked.empty());
    Window.AskAnswer = true;
    Presenter->DoMail();
    EXPECT_EQ(CommandStates(*Presenter), kIdle);
    EXPECT_EQ(during, Strings(6, kRunning));  // three documents each run, RE2 skipped by the mailing
    const Strings log = Window.LogTexts();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("Einstellungs"); }),
              0);
}

// Logout or a stop signal while a run works: the run finishes the document it works on,
// says how far it came, saves the user values and asks nothing.
TEST_F(MainPresenterTest, EndingTheSessionStopsTheRunAfterTheCurrentInvoiceAndSaves) {
    SearchFinds({"RE1", "RE2", "RE3"});
    Presenter->ToggleAll();
    Presenter->SetSaveXml(true);
    Presenter->SetOpenPdf(true);
    Window.LogLines.clear();
    Workflows.OnGenerate = [&](const std::string& no) {
        if (no == "RE2") Presenter->EndSession();
    };
    Presenter->DoGenerate();
    EXPECT_EQ(Workflows.Produced, (Strings{"Muster GmbH|RE1", "Muster GmbH|RE2"}));
    EXPECT_EQ(Window.LogTexts(),
              (Strings{"  Hinweis RE1", "RE1 erzeugt: /ausgabe/Rechnung_RE1.pdf",
                       "Programmende angefordert: der Lauf hält nach dem aktuellen Beleg an.", "  Hinweis RE2",
                       "RE2 erzeugt: /ausgabe/Rechnung_RE2.pdf", "Abgebrochen nach 2 von 3 Rechnungen.",
                       "Fertig: 2 erzeugt, 0 Fehler."}));
    const TSettings saved(IniFile());
    EXPECT_EQ(saved.Company, kMuster);
    EXPECT_TRUE(saved.SaveXml);
    EXPECT_TRUE(saved.OpenPdf);
    EXPECT_TRUE(Window.Opened.empty()) << "no viewer opens while the session ends";
    EXPECT_EQ(CommandStates(*Presenter), kEnding);

    // Nothing starts any more, and nothing asks.
    Window.AskAnswer = true;
    Presenter->DoGenerate();
    Presenter->DoMail();
    Presenter->DoSearch();
    EXPECT_EQ(Workflows.Produced.size(), 2u);
    EXPECT_EQ(Source.Searches.size(), 1u);
    EXPECT_TRUE(Window.Asked.empty());
    EXPECT_TRUE(Window.Informed.empty());
    EXPECT_TRUE(Window.Errors.empty());
}

TEST_F(MainPresenterTest, EndingTheSessionWithoutARunOnlySaves) {
    SearchFinds({"RE1"});
    Presenter->SetOutDir(Folder.File("Rechnungen"));
    Window.LogLines.clear();
    Presenter->EndSession();
    EXPECT_TRUE(Window.LogLines.empty());
    EXPECT_EQ(TSettings(IniFile()).OutDir, Folder.File("Rechnungen"));
    // A batch holding the run lock is not told in a message box any more.
    const auto batch = HoldRunLock();
    Presenter->Invoices().SetChecked(0, true);
    Presenter->DoGenerate();
    EXPECT_TRUE(Window.Errors.empty());
    EXPECT_TRUE(Workflows.Produced.empty());
}

// The question before a mailing counts the findings of every marked document: those not
// produced since the search are checked first (loaded and checked, not produced); known
// ones are not checked again, and one that cannot be checked is left to the mailing.
TEST_F(MainPresenterMailTest, TheConfirmationCountsTheFindingsOfEveryMarkedDocument) {
    ThreeRows();
    TCheckFindings broken;
    broken.Add("BR-CO-10", "Summe der Positionen stimmt nicht", "Beleg in NAV");
    Presenter->Invoices().SetFindings("RE1", "");  // produced in this window without findings
    Workflows.Findings["RE1"] = broken;             // not asked again
    Workflows.Findings["RE3"] = broken;
    Workflows.Failures["RE2"] = "Rechnung RE2 nicht gefunden";
    Window.AskAnswer = false;
    Presenter->DoMail();
    ASSERT_EQ(Window.Asked.size(), 1u);
    EXPECT_NE(Window.Asked[0].find("\r\n1 mit Befund der EN-16931-Prüfung werden nicht versendet.\r\n"),
              std::string::npos)
        << Window.Asked[0];
    EXPECT_EQ(Workflows.Checks, (Strings{"Muster GmbH|RE2", "Muster GmbH|RE3"}));
    EXPECT_TRUE(Workflows.Produced.empty());
    EXPECT_EQ(Presenter->Invoices().Row(2).Findings,
              "BR-CO-10 Summe der Positionen stimmt nicht (zu korrigieren: Beleg in NAV)");
    EXPECT_TRUE(Window.Errors.empty());
    EXPECT_TRUE(Window.LogLines.empty());
    EXPECT_EQ(Window.BusyDepth, 0);

    // Asked again: only the one that could not be checked.
    Workflows.Checks.clear();
    Presenter->DoMail();
    EXPECT_EQ(Workflows.Checks, (Strings{"Muster GmbH|RE2"}));
}

