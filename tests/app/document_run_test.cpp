// The rules of a run, each once, for both front ends' configurations: the batch
// (documents selected by date, an address unknown before mailing, stopped by a signal)
// and the window (marked rows, their address known from the list, stopped by cancel).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "app/document_run.h"
#include "config/settings.h"
#include "fake_run_session.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using test::FakeRunSession;

// How a front end puts its run together.
struct TFrontEnd {
    const char* Name;
    bool SelectsByDate;       // the batch's "/von": documents are not named
    bool KnowsAddress;        // the window's list shows the address before mailing
    bool SkipWithoutAddress;  // the window skips such rows
};
const TFrontEnd kBatch{"Stapel", true, false, false};
const TFrontEnd kWindow{"Fenster", false, true, true};

class RecordingObserver : public TRunObserver {
public:
    void Log(const std::string& line) override { Lines.push_back(line); }
    bool ShouldStop() override { return StopAfter >= 0 && static_cast<int>(Results.size()) >= StopAfter; }
    void Progress(size_t step, size_t count) override {
        Steps.push_back(std::to_string(step) + "/" + std::to_string(count));
    }
    void DocumentDone(const TRunDocument& doc, const TDocumentResult& result) override {
        static const char* const kStatus[] = {"erzeugt", "versendet", "TEST", "übersprungen", "FEHLER", "UNKLAR"};
        Results.push_back(doc.No + " " + kStatus[static_cast<int>(result.Status)]);
    }

    int StopAfter = -1;  // documents done before ShouldStop says yes; -1: never
    std::vector<std::string> Lines, Steps, Results;
};

// One line of the table: what the test arranges, and what each front end ends with.
struct TRunCase {
    const char* Rule;
    std::vector<std::string> Numbers;
    bool Mail = false;
    std::function<void(FakeRunSession&, TSettings&, RecordingObserver&)> Arrange;
    // Per front end: the documents' results, then the counters, or "Abbruch: <reason>".
    std::string Batch, Window;
};

std::string CountsText(const TRunCounts& c) {
    return "erzeugt " + std::to_string(c.Produced) + ", versendet " + std::to_string(c.Mailed) +
           ", übersprungen " + std::to_string(c.Skipped) + ", Fehler " + std::to_string(c.Errors) + ", Befund " +
           std::to_string(c.WithFindings) + (c.Unclear ? ", unklar " + std::to_string(c.Unclear) : "") + ", " +
           std::to_string(c.Done) + "/" + std::to_string(c.Total) +
           (c.Stopped ? ", gestoppt" : "");
}

const char* ReasonText(TRunStopReason reason) {
    switch (reason) {
        case rsLockHeld: return "Sperre";
        case rsMailNotSetUp: return "Versand nicht eingerichtet";
        case rsSignInFailed: return "Anmeldung";
        case rsSelectionFailed: return "Auswahl";
        case rsSentLogFailed: return "Versandprotokoll";
    }
    return "?";
}

TCheckFindings OneFinding() {
    TCheckFindings findings;
    findings.Add("BR-CO-15", "Gesamtbetrag stimmt nicht", "");
    return findings;
}

class DocumentRunTable : public ::testing::Test {
protected:
    DocumentRunTable() {
        WriteTextFile(Ini, "[Ausgabe]\nOrdner=" + Dir.File("aus") + "\n[Graph]\nMandantId=contoso\n");
    }

    // Runs the case as `frontEnd` puts it together: the run lock, the selection, the run.
    std::string Run(const TRunCase& c, const TFrontEnd& frontEnd) {
        TSettings settings(Ini);
        FakeRunSession session;
        session.MailSettings = &settings;
        session.MailTime = EncodeDate(2024, 3, 5);
        RecordingObserver observer;
        TRunSelection selection;
        for (size_t i = 0; i < c.Numbers.size(); ++i)
            session.Posted.push_back({c.Numbers[i], EncodeDate(2024, 3, 1) + static_cast<double>(i)});
        if (c.Arrange) c.Arrange(session, settings, observer);
        if (frontEnd.SelectsByDate) {
            selection.DateFrom = EncodeDate(2024, 3, 1);
        } else {
            for (const std::string& no : c.Numbers) {
                const bool without = std::find(session.WithoutAddress.begin(), session.WithoutAddress.end(), no) !=
                                     session.WithoutAddress.end();
                selection.Named.push_back({bkInvoice, no, true, frontEnd.KnowsAddress && without});
            }
        }
        TRunRequest request;
        request.Company = "Muster GmbH";
        request.Options = RunOptionsOf(settings);
        request.Selection = selection;
        request.Mail = c.Mail;
        request.TestMode = !settings.MailTestRecipient.empty();
        request.SkipWithoutAddress = frontEnd.SkipWithoutAddress;
        TRunCounts counts;
        try {
            const auto lock = TakeRunLock(Dir.File("velkaro.lock"), std::chrono::milliseconds(0), "gesperrt");
            const std::vector<TRunDocument> docs = SelectDocuments(selection, request.Company, session,
                                                                   [&](const std::string& l) { observer.Log(l); });
            RunDocuments(request, docs, settings, session, observer, counts);
        } catch (const ERunStop& e) {
            return std::string("Abbruch: ") + ReasonText(e.Reason) + "; " + Join(observer.Results, ", ");
        }
        EXPECT_EQ(observer.Steps.size(), counts.Done) << c.Rule;  // progress before each document
        return Join(observer.Results, ", ") + "; " + CountsText(counts);
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::unique_ptr<TFileLock> HeldLock;
};

TEST_F(DocumentRunTable, EveryRuleInBothFrontEnds) {
    const TRunCase cases[] = {
        {"zwei Nummern, ein Dateiname", {"RE/1", "RE:1", "RE2"}, false, {},
         "RE/1 erzeugt, RE:1 FEHLER, RE2 erzeugt; erzeugt 2, versendet 0, übersprungen 0, Fehler 1, Befund 0, 3/3",
         "RE/1 erzeugt, RE:1 FEHLER, RE2 erzeugt; erzeugt 2, versendet 0, übersprungen 0, Fehler 1, Befund 0, 3/3"},
        {"bereits versendet", {"RE1", "RE2"}, true,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) { s.SentBefore["RE1"] = EncodeDate(2024, 3, 2); },
         // Selected by date, sent before means done; marked in the window, it goes again.
         "RE1 übersprungen, RE2 versendet; erzeugt 1, versendet 1, übersprungen 1, Fehler 0, Befund 0, 2/2",
         "RE1 versendet, RE2 versendet; erzeugt 2, versendet 2, übersprungen 0, Fehler 0, Befund 0, 2/2"},
        {"ohne Adresse", {"RE1", "RE2"}, true,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) { s.WithoutAddress = {"RE1"}; },
         "RE1 FEHLER, RE2 versendet; erzeugt 2, versendet 1, übersprungen 0, Fehler 1, Befund 0, 2/2",
         "RE1 übersprungen, RE2 versendet; erzeugt 1, versendet 1, übersprungen 1, Fehler 0, Befund 0, 2/2"},
        {"ohne Adresse im Testmodus", {"RE1"}, true,
         [](FakeRunSession& s, TSettings& settings, RecordingObserver&) {
             s.WithoutAddress = {"RE1"};
             settings.MailTestRecipient = "test@muster-gmbh.de";
         },
         "RE1 TEST; erzeugt 1, versendet 1, übersprungen 0, Fehler 0, Befund 0, 1/1",
         "RE1 TEST; erzeugt 1, versendet 1, übersprungen 0, Fehler 0, Befund 0, 1/1"},
        {"Versand nicht eingerichtet", {"RE1"}, true,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) {
             s.MailerError = "E-Mail-Einstellungen unvollständig (Mandanten-ID, Client-ID, Secret, Absender).";
         },
         "Abbruch: Versand nicht eingerichtet; ", "Abbruch: Versand nicht eingerichtet; "},
        {"Anmeldung abgelehnt", {"RE1", "RE2"}, true,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) { s.SignInError = "invalid_client"; },
         "Abbruch: Anmeldung; ", "Abbruch: Anmeldung; "},
        {"Abbruch nach dem ersten Beleg", {"RE1", "RE2", "RE3"}, false,
         [](FakeRunSession&, TSettings&, RecordingObserver& o) { o.StopAfter = 1; },
         "RE1 erzeugt; erzeugt 1, versendet 0, übersprungen 0, Fehler 0, Befund 0, 1/3, gestoppt",
         "RE1 erzeugt; erzeugt 1, versendet 0, übersprungen 0, Fehler 0, Befund 0, 1/3, gestoppt"},
        {"Signal vor dem ersten Beleg", {"RE1", "RE2"}, true,
         [](FakeRunSession&, TSettings&, RecordingObserver& o) { o.StopAfter = 0; },
         "; erzeugt 0, versendet 0, übersprungen 0, Fehler 0, Befund 0, 0/2, gestoppt",
         "; erzeugt 0, versendet 0, übersprungen 0, Fehler 0, Befund 0, 0/2, gestoppt"},
        {"Befund verweigert den Versand", {"RE1", "RE2"}, true,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) { s.Findings["RE1"] = OneFinding(); },
         "RE1 FEHLER, RE2 versendet; erzeugt 2, versendet 1, übersprungen 0, Fehler 1, Befund 1, 2/2",
         "RE1 FEHLER, RE2 versendet; erzeugt 2, versendet 1, übersprungen 0, Fehler 1, Befund 1, 2/2"},
        {"Befund, trotzdem versendet", {"RE1"}, true,
         [](FakeRunSession& s, TSettings& settings, RecordingObserver&) {
             s.Findings["RE1"] = OneFinding();
             settings.SendDespiteFindings = true;
         },
         "RE1 versendet; erzeugt 1, versendet 1, übersprungen 0, Fehler 0, Befund 1, 1/1",
         "RE1 versendet; erzeugt 1, versendet 1, übersprungen 0, Fehler 0, Befund 1, 1/1"},
        {"Erzeugung scheitert", {"RE1", "RE2"}, false,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) { s.Failures["RE1"] = "nicht gefunden"; },
         "RE1 FEHLER, RE2 erzeugt; erzeugt 1, versendet 0, übersprungen 0, Fehler 1, Befund 0, 2/2",
         "RE1 FEHLER, RE2 erzeugt; erzeugt 1, versendet 0, übersprungen 0, Fehler 1, Befund 0, 2/2"},
        {"offener Versand eines früheren Laufs", {"RE1", "RE2"}, true,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) {
             s.OpenSends["RE1"] = {EncodeDate(2024, 3, 2), "LAUFEND", "a@x.de", "id-1"};
         },
         // Selected by date, an open mail is never sent again unasked; marked, it goes.
         "RE1 UNKLAR, RE2 versendet; erzeugt 1, versendet 1, übersprungen 0, Fehler 0, Befund 0, unklar 1, 2/2",
         "RE1 versendet, RE2 versendet; erzeugt 2, versendet 2, übersprungen 0, Fehler 0, Befund 0, 2/2"},
        {"offener Versand in Gesendete Elemente gefunden", {"RE1", "RE2"}, true,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) {
             s.OpenSends["RE1"] = {EncodeDate(2024, 3, 2), "UNKLAR", "a@x.de", "id-1"};
             s.FoundInSentItems = {"id-1"};
         },
         "RE1 übersprungen, RE2 versendet; erzeugt 1, versendet 1, übersprungen 1, Fehler 0, Befund 0, 2/2",
         "RE1 versendet, RE2 versendet; erzeugt 2, versendet 2, übersprungen 0, Fehler 0, Befund 0, 2/2"},
        {"Antwort nach der Übergabe verloren", {"RE1", "RE2"}, true,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) { s.MailUnclear["RE1"] = "Ob die Mail ..."; },
         "RE1 UNKLAR, RE2 versendet; erzeugt 2, versendet 1, übersprungen 0, Fehler 0, Befund 0, unklar 1, 2/2",
         "RE1 UNKLAR, RE2 versendet; erzeugt 2, versendet 1, übersprungen 0, Fehler 0, Befund 0, unklar 1, 2/2"},
        {"Versandprotokoll nicht beschreibbar", {"RE1", "RE2"}, true,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) { s.SentLogError = "Datei schreibgeschützt"; },
         "Abbruch: Versandprotokoll; ", "Abbruch: Versandprotokoll; "},
        {"Versandprotokoll scheitert nach dem Versand", {"RE1", "RE2", "RE3"}, true,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) { s.SentLogFailsAt["RE2"] = dsSent; },
         "Abbruch: Versandprotokoll; RE1 versendet, RE2 versendet",
         "Abbruch: Versandprotokoll; RE1 versendet, RE2 versendet"},
        {"Versandprotokoll scheitert vor dem Versand", {"RE1", "RE2"}, true,
         [](FakeRunSession& s, TSettings&, RecordingObserver&) { s.SentLogFailsAt["RE1"] = dsFailed; },
         "Abbruch: Versandprotokoll; RE1 FEHLER", "Abbruch: Versandprotokoll; RE1 FEHLER"},
        {"Sperre gehalten", {"RE1"}, false,
         [this](FakeRunSession&, TSettings&, RecordingObserver&) {
             HeldLock = std::make_unique<TFileLock>(Dir.File("velkaro.lock"));
             ASSERT_TRUE(HeldLock->Acquire(std::chrono::milliseconds(0)));
         },
         "Abbruch: Sperre; ", "Abbruch: Sperre; "},
    };
    for (const TRunCase& c : cases) {
        for (const TFrontEnd* frontEnd : {&kBatch, &kWindow}) {
            EXPECT_EQ(Run(c, *frontEnd), frontEnd == &kBatch ? c.Batch : c.Window) << c.Rule << " / " << frontEnd->Name;
            HeldLock.reset();
        }
    }
}

// An open mail of an earlier run: looked up once signed in, then named in its line;
// "/erneut" sends it again without asking, as it does with mails sent before.
TEST_F(DocumentRunTable, OpenMailsAreListedAndGoAgainOnlyWhenAskedFor) {
    TSettings settings(Ini);
    FakeRunSession session;
    session.OpenSends["RE1"] = {EncodeDateTime({2024, 3, 2, 12, 0, 0, 0}), "LAUFEND", "a@x.de", "id-1"};
    session.OpenSends["RE3"] = {EncodeDateTime({2024, 3, 2, 12, 5, 0, 0}), "UNKLAR", "c@x.de", "id-3"};
    session.FoundInSentItems = {"id-3"};
    RecordingObserver observer;
    TRunRequest request;
    request.Company = "Muster GmbH";
    request.Options = RunOptionsOf(settings);
    request.Mail = true;
    TRunCounts counts;
    const std::vector<TRunDocument> docs{{bkInvoice, "RE1", false, false}, {bkInvoice, "RE3", false, false}};
    RunDocuments(request, docs, settings, session, observer, counts);
    EXPECT_EQ(observer.Lines,
              (std::vector<std::string>{
                  "  Unklar RE1: Versand vom 02.03.2024 12:00 an a@x.de ohne Ergebnis (LAUFEND), in „Gesendete "
                  "Elemente“ nicht gefunden; in „Gesendete Elemente“ prüfen, dann /erneut",
                  "  RE3 übersprungen: Mail in „Gesendete Elemente“ gefunden, gilt als versendet (erneut mit /erneut)"}));
    EXPECT_EQ(session.LookedUp, (std::vector<std::string>{"id-1", "id-3"}));
    EXPECT_EQ(session.SignIns, 1) << "the look-up needs the sign-in";
    EXPECT_TRUE(session.Mailed.empty());
    EXPECT_EQ(counts.Unclear, 1);
    EXPECT_EQ(counts.Skipped, 1);

    request.Resend = true;
    observer.Lines.clear();
    RunDocuments(request, docs, settings, session, observer, counts);
    EXPECT_EQ(session.Mailed, (std::vector<std::string>{"Muster GmbH|RE1", "Muster GmbH|RE3"}));
    EXPECT_EQ(counts.Unclear, 0);
}

// The lines a user reads for the rules of the table.
TEST_F(DocumentRunTable, TheRulesSayWhatTheyDid) {
    TSettings settings(Ini);
    FakeRunSession session;
    session.SentBefore["RE1"] = EncodeDateTime({2024, 3, 2, 12, 0, 0, 0});
    RecordingObserver observer;
    TRunRequest request;
    request.Company = "Muster GmbH";
    request.Options = RunOptionsOf(settings);
    request.Mail = true;
    request.SkipWithoutAddress = true;
    TRunCounts counts;
    RunDocuments(request, {{bkInvoice, "RE1", false, false}, {bkInvoice, "RE2", true, true}}, settings, session,
                 observer, counts);
    EXPECT_EQ(observer.Lines, (std::vector<std::string>{
                                  "  RE1 übersprungen: am 02.03.2024 12:00 bereits versendet (erneut mit /erneut)",
                                  "Übersprungen RE2: keine Rechnungs-E-Mail"}));
    EXPECT_EQ(session.SignIns, 0) << "nothing to send, no sign-in";

    observer.Lines.clear();
    request.Mail = false;
    RunDocuments(request, {{bkInvoice, "RE/1"}, {bkInvoice, "re:1"}}, settings, session, observer, counts);
    ASSERT_EQ(observer.Lines.size(), 3u);
    EXPECT_EQ(observer.Lines[2], "FEHLER re:1: Rechnung re:1 ergibt denselben Dateinamen wie Rechnung RE/1 aus diesem "
                                 "Lauf; " + Dir.File("aus") + "/Rechnung_RE_1.pdf wird nicht überschrieben");

    // The same number twice is the same document: no collision.
    observer.Results.clear();
    RunDocuments(request, {{bkInvoice, "RE1"}, {bkInvoice, "re1"}}, settings, session, observer, counts);
    EXPECT_EQ(counts.Errors, 0);
}

} // namespace
} // namespace velkaro
