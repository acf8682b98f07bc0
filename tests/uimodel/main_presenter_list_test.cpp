// The main window's list for daily work: filters, the ticked count, the status column
// after runs, the context menu of a row and the first-start rule of the database dialog.
#include <gtest/gtest.h>

#include <memory>

#include "app/fake_run_session.h"
#include "config/settings.h"
#include "fake_main_window.h"
#include "mail/sent_log.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "support/test_support.h"
#include "uimodel/main_presenter.h"

using namespace velkaro;

namespace {

using Strings = std::vector<std::string>;

// Four invoices of Muster GmbH: RE1 and RE4 were sent before; RE2 and RE4 break a rule
// of the check once produced.
class MainListTest : public ::testing::Test {
protected:
    MainListTest() {
        Window.Time = EncodeDateTime({2025, 6, 2, 9, 0, 0, 0});
        WriteTextFile(Ini, "; Hauptfenster\n[Datenbank]\nProvider=SQLite\nDatenbank=nav.db\nServer=\n"
                           "[Ausgabe]\nOrdner=" + Out + "\n");
        Settings = std::make_unique<TSettings>(Ini);
        Settings->GraphTenant = "contoso";
        Settings->GraphClientId = "client";
        Settings->GraphSecret = "geheim";
        Settings->MailSender = "rechnung@muster-gmbh.de";
        SentLog = std::make_unique<TSentLog>(Settings->MailLogFile);
        Workflows.SentLog = SentLog.get();
        Workflows.MailSettings = Settings.get();
        Workflows.OutDir = IncludeTrailingPathDelimiter(Out);
        Workflows.MailTime = Window.Time;
        TCheckFindings findings;
        findings.Add("BR-CO-09", "USt-IdNr. „123“ des Käufers beginnt nicht mit dem Ländercode", "USt-IdNr.");
        Workflows.Findings["RE2"] = findings;
        Workflows.Findings["RE4"] = findings;
        for (const char* no : {"RE1", "RE4"})
            SentLog->Add({EncodeDateTime({2025, 5, 1, 8, 0, 0, 0}), "Muster GmbH", no, "a@kunde.de", "OK", ""});
        Source.CompanyNames = {"Muster GmbH"};
        for (const char* no : {"RE1", "RE2", "RE3", "RE4"}) {
            TInvoiceListItem item;
            item.No = no;
            item.PostingDate = EncodeDate(2025, 5, 20);
            item.InvoiceEmail = "rechnung@kunde.de";
            Source.Found.push_back(item);
        }
        MakePresenter();
    }

    void MakePresenter() {
        Presenter = std::make_unique<TMainPresenter>(*Settings, Source, Workflows, *SentLog, Window.Services(), Window);
        Presenter->SetRunLockWait(std::chrono::milliseconds(0));
    }

    void ConnectAndSearch() {
        Presenter->ConnectDatabase();
        Presenter->DoSearch();
    }

    // Produces every row shown, so that the findings are known.
    void ProduceAll() {
        Presenter->ToggleAll();
        Presenter->DoGenerate();
        Presenter->ToggleAll();
    }

    Strings Shown() const {
        Strings numbers;
        for (size_t i = 0; i < Presenter->Invoices().Count(); ++i) numbers.push_back(Presenter->Invoices().Row(i).No());
        return numbers;
    }

    size_t RowOf(const std::string& no) const {
        for (size_t i = 0; i < Presenter->Invoices().Count(); ++i)
            if (Presenter->Invoices().Row(i).No() == no) return i;
        ADD_FAILURE() << no << " not shown";
        return 0;
    }

    test::TempFolder Folder;
    test::ScopedEnv Key{"VELKARO_SCHLUESSEL", Folder.File("schluessel.key").c_str()};
    std::string Ini = Folder.File("velkaro.ini");
    std::string Out = Folder.File("Ausgabe");
    test::FakeMainWindow Window;
    test::FakeInvoiceSource Source;
    test::FakeRunSession Workflows;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TSentLog> SentLog;
    std::unique_ptr<TMainPresenter> Presenter;
};

// --- filters

TEST_F(MainListTest, FiltersAloneAndTogetherWithTheSearchTextAndDates) {
    ConnectAndSearch();
    ProduceAll();
    struct Case { bool unsent, findings; Strings shown; const char* count; };
    const Case cases[] = {
        {false, false, {"RE1", "RE2", "RE3", "RE4"}, "4 Rechnung(en)"},
        {true, false, {"RE2", "RE3"}, "4 Rechnung(en), 2 angezeigt"},
        {false, true, {"RE2", "RE4"}, "4 Rechnung(en), 2 angezeigt"},
        {true, true, {"RE2"}, "4 Rechnung(en), 1 angezeigt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unsent ? "unsent " : "") + (c.findings ? "findings" : ""));
        Presenter->SetOnlyUnsent(c.unsent);
        Presenter->SetOnlyWithFindings(c.findings);
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(Presenter->CountText(), c.count);

        // A new search with text and dates goes to the database as typed; the filters
        // apply to what it finds, the findings of the earlier production included.
        Presenter->SetSearchText("RE");
        Presenter->SetDateFrom(EncodeDate(2025, 5, 1));
        Presenter->SetDateTo(EncodeDate(2025, 5, 31));
        Presenter->DoSearch();
        ASSERT_FALSE(Source.Searches.empty());
        EXPECT_EQ(Source.Searches.back().Text, "RE");
        EXPECT_EQ(Source.Searches.back().From, EncodeDate(2025, 5, 1));
        EXPECT_EQ(Source.Searches.back().To, EncodeDate(2025, 5, 31));
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(Presenter->CountText(), c.count);
    }
}

TEST_F(MainListTest, FiltersAreUserValuesKeptInTheSettingsFile) {
    Presenter->SetOnlyUnsent(true);
    Presenter->StoreUserValues();
    TIniFile saved = TIniFile::FromText(ReadTextFile(Ini));
    EXPECT_EQ(saved.ReadString("Darstellung", "NurNichtVersendete", ""), "1");
    EXPECT_EQ(saved.ReadString("Darstellung", "NurMitBefund", ""), "0");
    EXPECT_TRUE(ReadTextFile(Ini).starts_with("; Hauptfenster")) << "comments stay";

    // The next window starts with them.
    Settings = std::make_unique<TSettings>(Ini);
    MakePresenter();
    EXPECT_TRUE(Presenter->OnlyUnsent());
    EXPECT_FALSE(Presenter->OnlyWithFindings());
    ConnectAndSearch();
    EXPECT_EQ(Shown(), (Strings{"RE2", "RE3"}));
}

TEST_F(MainListTest, TheStatusBarCountsTheTickedRowsShown) {
    EXPECT_EQ(Presenter->MarkedText(), "") << "empty list";
    ConnectAndSearch();
    EXPECT_EQ(Presenter->MarkedText(), "0 markiert");
    Presenter->Invoices().SetChecked(RowOf("RE1"), true);
    Presenter->Invoices().SetChecked(RowOf("RE3"), true);
    EXPECT_EQ(Presenter->MarkedText(), "2 markiert");

    // A ticked row the filter hides is neither counted nor worked on.
    Presenter->SetOnlyUnsent(true);
    EXPECT_EQ(Presenter->MarkedText(), "1 markiert");
    ASSERT_EQ(Presenter->MarkedItems().size(), 1u);
    EXPECT_EQ(Presenter->Invoices().Row(Presenter->MarkedItems()[0]).No(), "RE3");
    Presenter->SetOnlyUnsent(false);
    EXPECT_EQ(Presenter->MarkedText(), "2 markiert") << "hidden rows keep their ticks";
}

// --- status column

TEST_F(MainListTest, StatusColumnAfterAMailingWithOneFailureAndOneRefusal) {
    ConnectAndSearch();
    Presenter->SetSearchText("");
    Workflows.Failures["RE3"] = "Kunde K3 fehlt in NAV.";  // the production fails
    Source.Found[0].InvoiceEmail.clear();                 // RE1 has no address: skipped
    Presenter->DoSearch();
    Presenter->ToggleAll();
    Window.AskAnswer = true;
    Presenter->DoMail();

    struct Expect { const char* no; const char* status; std::string tip; };
    const Expect expected[] = {
        {"RE1", "übersprungen", "keine Rechnungs-E-Mail"},
        {"RE2", "FEHLER", "E-Rechnung verletzt  (BR-CO-09)"},  // refused: findings
        {"RE3", "FEHLER", "Kunde K3 fehlt in NAV."},
        {"RE4", "FEHLER", "E-Rechnung verletzt  (BR-CO-09)"},
    };
    for (const Expect& e : expected) {
        const TInvoiceRow& row = Presenter->Invoices().Row(RowOf(e.no));
        EXPECT_EQ(row.Texts[icStatus], e.status) << e.no;
        EXPECT_EQ(row.Status.Message, e.tip) << e.no;
    }
    // The summary line stays.
    EXPECT_EQ(Window.LogTexts().back(),
              "E-Mail-Versand fertig: 0 versendet, 3 Fehler. Protokoll: " + Settings->MailLogFile);

    // Mended and mailed again: the rows show their new outcome, the others keep theirs,
    // also after a new search.
    Settings->SendDespiteFindings = true;
    Workflows.Failures.clear();
    for (const char* no : {"RE1", "RE2", "RE3"}) Presenter->Invoices().SetChecked(RowOf(no), false);
    Presenter->DoMail();
    Presenter->DoSearch();
    EXPECT_EQ(Presenter->Invoices().Row(RowOf("RE4")).Texts[icStatus], "versendet");
    EXPECT_EQ(Presenter->Invoices().Row(RowOf("RE4")).Status.Message, "an rechnung@kunde.de");
    EXPECT_EQ(Presenter->Invoices().Row(RowOf("RE3")).Texts[icStatus], "FEHLER");
}

TEST_F(MainListTest, StatusColumnAfterProducingAndATestMailing) {
    ConnectAndSearch();
    Presenter->Invoices().SetChecked(RowOf("RE1"), true);
    Presenter->DoGenerate();
    const TInvoiceRow& produced = Presenter->Invoices().Row(RowOf("RE1"));
    EXPECT_EQ(produced.Texts[icStatus], "erzeugt");
    EXPECT_EQ(produced.Status.Message, IncludeTrailingPathDelimiter(Out) + "Rechnung_RE1.pdf");
    EXPECT_EQ(Presenter->Invoices().Row(RowOf("RE2")).Texts[icStatus], "") << "not in the run";

    Settings->MailTestRecipient = "test@muster-gmbh.de";
    Window.AskAnswer = true;
    Presenter->DoMail();
    EXPECT_EQ(Presenter->Invoices().Row(RowOf("RE1")).Texts[icStatus], "TEST");
    EXPECT_EQ(Presenter->Invoices().Row(RowOf("RE1")).Status.Message, "an test@muster-gmbh.de");
}

// --- context menu

TEST_F(MainListTest, ContextMenuActionsFollowTheRowState) {
    ConnectAndSearch();
    const std::string pdf = IncludeTrailingPathDelimiter(Out) + "Rechnung_RE1.pdf";
    const std::string xml = IncludeTrailingPathDelimiter(Out) + "Rechnung_RE1.xml";
    struct Case {
        const char* what;
        std::function<void()> prepare;
        TRowActions expected;
    };
    const Case cases[] = {
        {"nothing written yet", [] {}, {false, false, false, false, true}},
        {"PDF of an earlier day", [&] {
             ForceDirectories(Out);
             WriteTextFile(pdf, "%PDF");
         }, {true, true, false, false, true}},
        {"PDF and XML", [&] { WriteTextFile(xml, "<x/>"); }, {true, true, true, false, true}},
        {"failed in this window", [&] {
             Workflows.Failures["RE1"] = "Kunde fehlt.";
             Presenter->Invoices().SetChecked(RowOf("RE1"), true);
             Presenter->DoGenerate();
         }, {true, true, true, true, true}},
        {"no company", [&] { Presenter->SelectCompany(-1); }, {true, true, true, true, false}},
    };
    for (const Case& c : cases) {
        c.prepare();
        const TRowActions a = Presenter->RowActions(RowOf("RE1"));
        EXPECT_EQ((std::vector<bool>{a.OpenPdf, a.OpenFolder, a.OpenXml, a.ShowFindings, a.Regenerate}),
                  (std::vector<bool>{c.expected.OpenPdf, c.expected.OpenFolder, c.expected.OpenXml,
                                     c.expected.ShowFindings, c.expected.Regenerate}))
            << c.what;
    }
    EXPECT_FALSE(Presenter->RowActions(99).Regenerate) << "a row that is not there";

    // During a run nothing is produced again.
    Presenter->SelectCompany(0);
    Workflows.Failures.clear();
    bool regenerateDuringRun = true;
    Workflows.OnGenerate = [&](const std::string&) { regenerateDuringRun = Presenter->RowActions(0).Regenerate; };
    Presenter->DoGenerate();
    EXPECT_FALSE(regenerateDuringRun);
}

TEST_F(MainListTest, ContextMenuActionsOpenShowAndProduce) {
    ConnectAndSearch();
    ProduceAll();  // writes no files: the fake only names them
    ForceDirectories(Out);
    const std::string pdf = IncludeTrailingPathDelimiter(Out) + "Rechnung_RE2.pdf";
    WriteTextFile(pdf, "%PDF");
    WriteTextFile(ChangeFileExt(pdf, ".xml"), "<x/>");
    const size_t re2 = RowOf("RE2");
    Presenter->OpenRowPdf(re2);
    Presenter->OpenRowXml(re2);
    Presenter->OpenRowFolder(re2);
    Presenter->OpenRowPdf(RowOf("RE3"));  // not on disk: nothing happens
    EXPECT_EQ(Window.Opened, (Strings{pdf, ChangeFileExt(pdf, ".xml"), IncludeTrailingPathDelimiter(Out)}));

    Presenter->ShowRowFindings(re2);
    Presenter->ShowRowFindings(RowOf("RE3"));  // nothing to show
    ASSERT_EQ(Window.Informed.size(), 1u);
    EXPECT_EQ(Window.Informed[0],
              "RE2: Befund der EN-16931-Prüfung\n\nBR-CO-09 USt-IdNr. „123“ des Käufers beginnt nicht mit dem "
              "Ländercode (zu korrigieren: USt-IdNr.)");

    // "Erneut erzeugen" produces that row alone, whatever is ticked.
    Presenter->Invoices().SetChecked(RowOf("RE1"), true);
    Workflows.Produced.clear();
    Window.LogLines.clear();
    Presenter->RegenerateRow(RowOf("RE3"));
    EXPECT_EQ(Workflows.Produced, (Strings{"Muster GmbH|RE3"}));
    EXPECT_EQ(Window.LogTexts().back(), "Fertig: 1 erzeugt, 0 Fehler.");
    EXPECT_EQ(Presenter->Invoices().Row(RowOf("RE3")).Texts[icStatus], "erzeugt");
}

// --- database dialog at the first start

TEST_F(MainListTest, FirstStartWithoutAUsableDatabaseOpensTheDatabaseDialog) {
    struct Case { const char* error; Strings companies; bool opened; const char* reason; };
    const Case cases[] = {
        {"", {"Muster GmbH"}, false, ""},
        {"Datenbankdatei nav.db fehlt.", {}, true, "Die Datenbank nav.db ist nicht erreichbar: Datenbankdatei nav.db fehlt."},
        {"", {}, true, "Die Datenbank nav.db enthält keine NAV-Mandanten."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        Source.CompaniesError = c.error;
        Source.CompanyNames = c.companies;
        Window.DatabaseDialogReasons.clear();
        MakePresenter();
        Presenter->StartUp();
        ASSERT_EQ(Window.DatabaseDialogReasons.size(), c.opened ? 1u : 0u);
        if (c.opened) {
            EXPECT_TRUE(Window.DatabaseDialogReasons[0].starts_with(c.reason)) << Window.DatabaseDialogReasons[0];
            EXPECT_NE(Window.DatabaseDialogReasons[0].find("„Suchen“"), std::string::npos);
        }
    }

    // Saved: connects again with the new values. A later failing connect (reload) does
    // not open the dialog by itself.
    Source.Calls.clear();
    Window.LogLines.clear();
    Window.DatabaseSettingsSaved = true;
    Window.OnDatabaseSettings = [&] {
        Source.CompaniesError.clear();
        Source.CompanyNames = {"Muster GmbH"};
    };
    Source.CompanyNames = {};
    Window.DatabaseDialogReasons.clear();
    Presenter->StartUp();
    EXPECT_EQ(Source.Calls, (Strings{"disconnect", "companies", "disconnect", "companies"}));
    EXPECT_EQ(Presenter->Company(), "Muster GmbH");
    const Strings log = Window.LogTexts();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1], "Datenbankverbindung gespeichert: " + Ini);
    Source.CompaniesError = "weg";
    Presenter->ConnectDatabase();
    EXPECT_EQ(Window.DatabaseDialogReasons.size(), 1u);
}

TEST_F(MainListTest, TheMenuOpensTheDatabaseDialogWithoutAReason) {
    EXPECT_FALSE(Presenter->EditDatabaseSettings());
    EXPECT_EQ(Window.DatabaseDialogReasons, (Strings{""}));
    EXPECT_TRUE(Window.LogLines.empty()) << "cancelled: nothing logged, no reconnect";
    EXPECT_TRUE(Source.Calls.empty());
}

} // namespace
