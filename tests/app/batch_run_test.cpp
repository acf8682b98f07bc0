#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <regex>

#include <sys/stat.h>

#include "app/batch_run.h"
#include "config/settings.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

using namespace velkaro;
using velkaro::test::ScopedEnv;
using velkaro::test::TempFolder;

namespace {

// What the test doubles saw and what they are told to do.
struct Script {
    std::vector<std::string> Companies{"Alpha", "Beta", "M", "Muster"};
    std::vector<std::string> FailingInvoices;  // production raises / mailing returns false
    std::vector<std::string> Finding;          // production reports a check finding
    std::vector<std::pair<std::string, TDateTime>> Posted;  // what FindDocuments searches, any order
    std::vector<std::pair<std::string, TDateTime>> PostedCredits;  // the same for credit memos
    std::vector<std::string> SentBefore;       // numbers with an "OK" entry in the sent log
    bool OpenFails = false;
    bool CompaniesFails = false;
    bool MailerFails = false;
    bool SignInFails = false;

    // "gen <company> <no>", "mail <company> <no>" ("korr <no>" for credit memos), "companies", ...
    std::vector<std::string> Calls;
    std::vector<std::string> Freed;  // "mailer", "session"
    std::string SeenOutDir;
    bool SeenSaveXml = false;
};

bool Fails(const Script& s, const std::string& no) {
    return std::find(s.FailingInvoices.begin(), s.FailingInvoices.end(), no) != s.FailingInvoices.end();
}

// The number as the calls list shows it: credit memos marked.
std::string Shown(const std::string& no, TDocumentKind kind) { return kind == bkCreditMemo ? "korr " + no : no; }

bool Contains(const std::vector<std::string>& list, const std::string& no) {
    return std::find(list.begin(), list.end(), no) != list.end();
}

class FakeMailer : public TRunMailer {
public:
    explicit FakeMailer(Script& s) : S(s) {}
    ~FakeMailer() override { S.Freed.push_back("mailer"); }
    void SignIn() override {
        S.Calls.push_back("sign in");
        if (S.SignInFails)
            throw Exception("Anmeldung bei Microsoft 365 fehlgeschlagen (401): invalid_client");
    }
    TMailOutcome MailInvoice(const std::string& company, const std::string& no, const TLogProc& log,
                             TDocumentKind kind) override {
        S.Calls.push_back("mail " + company + " " + Shown(no, kind));
        TMailOutcome outcome;
        outcome.Document.PdfFile = "/aus/" + no + ".pdf";
        if (Contains(S.Finding, no)) outcome.Document.Findings.Add("BR-DE-31", "Zahlungsweise fehlt", "");
        if (Fails(S, no)) {
            log("FEHLER Versand " + no + ": Anmeldung fehlgeschlagen");
            outcome.Message = "Anmeldung fehlgeschlagen";
            return outcome;
        }
        log("Rechnung " + no + " versendet an kunde@example.com");
        outcome.Sent = true;
        outcome.Recipients = "kunde@example.com";
        return outcome;
    }
    Script& S;
};

class FakeSession : public TRunSession {
public:
    FakeSession(Script& s, const TRunOptions& options) : S(s), Options(options) {}
    ~FakeSession() override { S.Freed.push_back("session"); }
    std::vector<std::string> Companies() override {
        S.Calls.push_back("companies");
        if (S.CompaniesFails)
            throw Exception("Verbindung zur Datenbank fehlgeschlagen");
        return S.Companies;
    }
    std::vector<std::string> FindDocuments(TDocumentKind kind, const std::string& company, TDateTime from,
                                           TDateTime to) override {
        S.Calls.push_back(std::string(kind == bkCreditMemo ? "find credits " : "find ") + company + " " +
                          FormatDisplayDate(from) + "-" + FormatDisplayDate(to));
        std::vector<std::pair<TDateTime, std::string>> found;
        for (const auto& [no, date] : kind == bkCreditMemo ? S.PostedCredits : S.Posted)
            if (date >= from && date <= to) found.push_back({date, no});
        std::sort(found.begin(), found.end());
        std::vector<std::string> numbers;
        for (const auto& f : found) numbers.push_back(f.second);
        return numbers;
    }
    bool LastSent(const std::string&, const std::string& no, TDateTime& when) override {
        when = EncodeDate(2024, 3, 2) + 0.5;
        return Contains(S.SentBefore, no);
    }
    TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& no, const TLogProc& log,
                                        TDocumentKind kind) override {
        S.Calls.push_back("gen " + company + " " + Shown(no, kind));
        S.SeenOutDir = Options.OutDir;
        S.SeenSaveXml = Options.SaveXml;
        if (Fails(S, no))
            throw Exception("Rechnung " + no + " nicht gefunden");
        log("  Hinweis zu " + no);
        log("Rechnung " + no + " erstellt");
        TCheckFindings findings;
        if (Contains(S.Finding, no)) {
            findings.Add("BR-DE-31", "Zahlungsweise fehlt", "");
            findings.Add("PEPPOL-EN16931-R061", "Mandatsreferenz fehlt", "");
        }
        return {"/aus/" + no + ".pdf", findings};
    }
    std::unique_ptr<TRunMailer> CreateMailer() override {
        S.Calls.push_back("create mailer");
        if (S.MailerFails)
            throw Exception("E-Mail-Einstellungen unvollständig (Mandanten-ID, Client-ID, Secret, Absender).");
        return std::make_unique<FakeMailer>(S);
    }
    // The batch never asks before a mailing; a call shows in the calls.
    TCheckFindings CheckDocument(const std::string& company, const std::string& no, TDocumentKind kind) override {
        S.Calls.push_back("check " + company + " " + Shown(no, kind));
        return {};
    }
    Script& S;
    TRunOptions Options;
};

class BatchRun : public ::testing::Test {
protected:
    BatchRun() : Ini(Dir.File("velkaro.ini")), Env("VELKARO_INI", Ini.c_str()) {
        WriteSettings("[Datenbank]\r\nMandant=\r\n\r\n[Ausgabe]\r\nOrdner=" + Dir.Path() + "aus\r\n");
    }

    void WriteSettings(const std::string& text) { WriteFileBytes(Ini, text); }

    TBatchSessionFactory Factory() {
        return [this](const TSettings&, const TRunOptions& options) -> std::unique_ptr<TRunSession> {
            S.Calls.push_back("open");
            if (S.OpenFails)
                throw Exception("Die Datenbank ist nicht erreichbar.");
            return std::make_unique<FakeSession>(S, options);
        };
    }

    TBatchResult Run(const std::vector<std::string>& args) {
        TBatchOptions options;
        options.Today = kToday;
        return RunCommandLine(args, Factory(), options);
    }

    std::string LogPath() const { return Dir.File("velkaro.log"); }

    // The log's lines between its start line and its end line (kept in Start and End),
    // without their time stamps; checks BOM, CR LF and the stamp form.
    std::vector<std::string> LogLines() {
        std::vector<std::string> lines = AllLogLines(LogPath());
        Start = End = "";
        if (!lines.empty() && lines.front().starts_with("Start Velkaro ")) {
            Start = lines.front();
            lines.erase(lines.begin());
        } else {
            ADD_FAILURE() << "no start line";
        }
        if (!lines.empty() && lines.back().starts_with("Ende: ")) {
            End = lines.back();
            lines.pop_back();
        }
        return lines;
    }

    static std::vector<std::string> AllLogLines(const std::string& path) {
        const std::string bytes = ReadFileBytes(path);
        EXPECT_EQ(bytes.substr(0, 3), kUtf8Bom);
        std::string text = bytes.substr(3);
        std::vector<std::string> lines;
        if (text.empty())
            return lines;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        const std::regex stamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} )");
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find("\r\n", start);
            EXPECT_NE(end, std::string::npos);
            if (end == std::string::npos)
                break;
            std::string line = text.substr(start, end - start);
            EXPECT_EQ(line.find('\n'), std::string::npos) << line;
            EXPECT_EQ(line.find('\r'), std::string::npos) << line;
            if (std::regex_search(line, stamp))
                line = line.substr(20);
            else
                ADD_FAILURE() << "no time stamp: " << line;
            lines.push_back(line);
            start = end + 2;
        }
        return lines;
    }

    static constexpr TDateTime kToday = 45356;  // 5 March 2024

    TempFolder Dir;
    std::string Ini;
    ScopedEnv Env;
    Script S;
    std::string Start, End;
};

using Lines = std::vector<std::string>;

} // namespace

// Command lines of known switches that select no document are the window's.
TEST_F(BatchRun, OnlyTheWindowsCommandLinesDoNothing) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"-layout"}, {"/LAYOUT"}, {"/mandant", "Muster"}, {"/mail"}}) {
        TBatchResult r = Run(args);
        EXPECT_FALSE(r.Ran);
        EXPECT_EQ(r.ExitCode, 0);
    }
    EXPECT_TRUE(S.Calls.empty());
    EXPECT_FALSE(FileExists(LogPath()));
}

// A command line that cannot run as typed does nothing at all: no session, no log (the
// previous one stays), exit code 2 and the message for stderr.
TEST_F(BatchRun, ABadCommandLineDoesNothing) {
    WriteFileBytes(LogPath(), "voriger Lauf\r\n");
    // Also without a selection: a mistyped switch alone is named, never taken for the window.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/rg"}, {"/rg", "1", "/mial"}, {"/rg", "1", "/out", ""}, {"/rg", "/mail"},
          {"/pruefn"}, {"-v"}, {"/mial"}, {"/out", ""}}) {
        SCOPED_TRACE(Join(args, " "));
        const TBatchResult r = Run(args);
        EXPECT_TRUE(r.Ran);
        EXPECT_EQ(r.ExitCode, 2);
        EXPECT_NE(r.FatalError.find("velkaro --hilfe"), std::string::npos) << r.FatalError;
        EXPECT_EQ(r.LogFile, "");
    }
    EXPECT_TRUE(S.Calls.empty());
    EXPECT_EQ(ReadFileBytes(LogPath()), "voriger Lauf\r\n");
    EXPECT_FALSE(FileExists(LogPath() + ".1"));
}

TEST_F(BatchRun, HelpAndVersionGoToTheOutput) {
    const TBatchResult help = Run({"/rg", "1", "--hilfe"});
    EXPECT_TRUE(help.Ran);
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Output.find("/von <Datum>"), std::string::npos);
    const TBatchResult version = Run({"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_TRUE(std::regex_match(version.Output, std::regex(R"(Velkaro \d+\.\d+\.\d+\n)"))) << version.Output;
    EXPECT_TRUE(S.Calls.empty());
    EXPECT_FALSE(FileExists(LogPath()));
}

TEST_F(BatchRun, FailedInvoiceIsLoggedCountedAndTheRunGoesOn) {
    S.FailingInvoices = {"RE-2"};
    TBatchResult r = Run({"/rg", "RE-1", "/rg", "RE-2", "/rg", "RE-3", "/mandant", "Muster"});
    EXPECT_TRUE(r.Ran);
    EXPECT_EQ(r.ErrorCount, 1);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.FatalError, "");
    EXPECT_EQ(r.LogFile, LogPath());
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "gen Muster RE-1", "gen Muster RE-2", "gen Muster RE-3"}));
    EXPECT_EQ(LogLines(), (Lines{"  Hinweis zu RE-1", "Rechnung RE-1 erstellt",
                                 "FEHLER RE-2: Rechnung RE-2 nicht gefunden", "  Hinweis zu RE-3",
                                 "Rechnung RE-3 erstellt"}));
    EXPECT_EQ(S.Freed, (Lines{"session"}));
    EXPECT_EQ(End, "Ende: 2 erzeugt, 0 versendet, 0 übersprungen, 1 Fehler, 0 mit Befund");
    EXPECT_EQ(r.Output, End) << "the end line goes to stdout as well";
}

// The log opens with the version, the settings file and what was asked for.
TEST_F(BatchRun, StartLineNamesVersionSettingsAndSelection) {
    S.Finding = {"4711"};
    const TBatchResult r = Run({"/rg", "4711", "/rg", "4712", "/von", "01.03.2024", "/bis", "gestern", "/neu",
                                "/mandant", "Muster"});
    LogLines();
    EXPECT_TRUE(std::regex_match(Start, std::regex(R"(Start Velkaro \d+\.\d+\.\d+: Einstellungen (.*), Auswahl (.*))")))
        << Start;
    EXPECT_TRUE(Start.ends_with(": Einstellungen " + Ini + ", Auswahl Rechnungen 4711, 4712; Buchungsdatum 01.03.2024 "
                                "bis 04.03.2024; nur noch nicht versendete; Mandant Muster; erzeugen"))
        << Start;
    EXPECT_EQ(End, "Ende: 2 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 1 mit Befund");
    EXPECT_EQ(r.ExitCode, 0);
}

// Every finding of the settings check is logged once per run, right after the start line
// and before the first document, whether the run produces or mails; and it goes to the
// operator (stderr), as a scheduled job has no one reading its log.
TEST_F(BatchRun, SettingsFindingsAreLoggedOnceBeforeTheFirstDocumentAndTold) {
    WriteSettings("[Verkäufer]\r\nIBAN=DE1\r\n[Ausgabe]\r\nOrdner=" + Dir.Path() +
                  "aus\r\nXmlZusätzlich=1\r\nXmlZusaetzlich=ja\r\n[Datenbank]\r\nSever=sql01\r\n[PDF]\r\n[PDF]\r\n");
    const Lines findings = {
        "Hinweis Einstellungen: Zeile 1: unbekannter Abschnitt [Verkäufer] – gemeint ist [Verkaeufer]?",
        "Hinweis Einstellungen: Zeile 5: unbekannter Schlüssel XmlZusätzlich in [Ausgabe] – gemeint ist XmlZusaetzlich?",
        "Hinweis Einstellungen: Zeile 6: [Ausgabe] XmlZusaetzlich=ja – erwartet 0 oder 1; so gilt die Vorgabe 0.",
        "Hinweis Einstellungen: Zeile 8: unbekannter Schlüssel Sever in [Datenbank] – gemeint ist Server?",
        "Hinweis Einstellungen: Zeile 10: Abschnitt [PDF] steht zum zweiten Mal – seine Zeilen werden nicht gelesen "
        "(es gilt der aus Zeile 9)."};
    for (const bool mail : {false, true}) {
        SCOPED_TRACE(mail ? "mail" : "produce");
        Lines args = {"/rg", "1", "/rg", "2"};
        if (mail) args.push_back("/mail");
        Lines notices;
        TBatchOptions options;
        options.Today = kToday;
        options.Notice = [&](const std::string& line) { notices.push_back(line); };
        const TBatchResult r = RunCommandLine(args, Factory(), options);
        EXPECT_EQ(r.ExitCode, 0);
        EXPECT_EQ(notices, findings);
        const Lines lines = LogLines();
        ASSERT_GE(lines.size(), findings.size() + 1);
        for (size_t i = 0; i < findings.size(); ++i) EXPECT_EQ(lines[i], "  " + findings[i]);
        EXPECT_EQ(lines[findings.size()], mail ? "Rechnung 1 versendet an kunde@example.com" : "  Hinweis zu 1");
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.starts_with("  Hinweis Einstellungen: "); }),
                  static_cast<long>(findings.size()));
    }
}

// A run that cannot begin says why (for stderr) and prints no counts on stdout, which a
// script would take for a finished run; the log still closes with its end line.
TEST_F(BatchRun, ARunThatCannotStartPrintsItsErrorAndNoEndLine) {
    S.OpenFails = true;
    const TBatchResult r = Run({"/rg", "1"});
    EXPECT_EQ(r.ExitCode, 3);
    EXPECT_EQ(r.FatalError, "Die Datenbank ist nicht erreichbar.");
    EXPECT_EQ(r.Output, "");
    LogLines();
    EXPECT_EQ(End, "Ende: 0 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund");
}

// [Ausgabe] Datenordner holds the lock, the log and its generations (created on the first
// run); nothing of the run's state is written beside the settings file.
TEST_F(BatchRun, TheStateFolderHoldsLockAndLog) {
    WriteSettings("[Ausgabe]\r\nDatenordner=zustand\r\nOrdner=" + Dir.Path() + "aus\r\n");
    const std::string state = Dir.File("zustand/");
    EXPECT_EQ(BatchLogFilePath(), state + "velkaro.log");
    EXPECT_EQ(RunLockFilePath(Ini), state + "velkaro.lock");
    for (int run = 0; run < 2; ++run) {
        const TBatchResult r = Run({"/rg", "1"});
        EXPECT_EQ(r.ExitCode, 0) << r.FatalError;
        EXPECT_EQ(r.LogFile, state + "velkaro.log");
    }
    EXPECT_TRUE(FileExists(state + "velkaro.log"));
    EXPECT_TRUE(FileExists(state + "velkaro.log.1"));
    EXPECT_TRUE(FileExists(state + "velkaro.lock"));
    EXPECT_FALSE(FileExists(LogPath()));
    EXPECT_FALSE(FileExists(Dir.File("velkaro.lock")));
}

// The log holds customers' addresses: owner and group may read it, others not; a narrower
// umask narrows it further. The result list likewise.
TEST_F(BatchRun, LogAndResultListAreNotForOthers) {
    for (const auto& [mask, mode] : {std::pair{022u, 0640u}, {077u, 0600u}, {0u, 0640u}}) {
        SCOPED_TRACE(mask);
        std::filesystem::remove(LogPath());
        std::filesystem::remove(Dir.File("ergebnis.csv"));
        const mode_t old = umask(mask);
        const TBatchResult r = Run({"/rg", "1", "/ergebnis", Dir.File("ergebnis.csv")});
        umask(old);
        EXPECT_EQ(r.ExitCode, 0);
        for (const std::string& file : {LogPath(), Dir.File("ergebnis.csv")}) {
            struct stat st {};
            ASSERT_EQ(stat(file.c_str(), &st), 0) << file;
            EXPECT_EQ(st.st_mode & 0777, mode) << file;
        }
    }
}

// A first run leaves the settings template and says where, in the log and to the operator.
TEST_F(BatchRun, AMissingSettingsFileIsCreatedAndTheRunSaysSo) {
    std::filesystem::remove(Ini);
    Lines notices;
    TBatchOptions options;
    options.Today = kToday;
    options.Notice = [&](const std::string& line) { notices.push_back(line); };
    const TBatchResult r = RunCommandLine({"/rg", "1"}, Factory(), options);
    const std::string note = "Einstellungsdatei " + Ini + " neu angelegt – bitte Abschnitt [Datenbank] eintragen";
    EXPECT_EQ(notices, Lines{note});
    const Lines lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), note);
    EXPECT_EQ(r.ExitCode, 0);  // the run goes on with the defaults
    EXPECT_TRUE(FileExists(Ini));
    // The next run finds the file: no note any more.
    notices.clear();
    RunCommandLine({"/rg", "1"}, Factory(), options);
    EXPECT_TRUE(notices.empty());
    EXPECT_NE(LogLines().front(), note);
}

TEST_F(BatchRun, ANumberNamedTwiceIsProducedOnce) {
    TBatchResult r = Run({"/rg", "4711", "/rg", " 4711 ", "/rg", "re-1", "/rg", "RE-1"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.ErrorCount, 0);
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "gen Alpha 4711", "gen Alpha re-1"}));
    EXPECT_EQ(LogLines().size(), 4u);
}

TEST_F(BatchRun, LogLinesCarryTheCurrentLocalTime) {
    Run({"/rg", "1"});
    const std::string bytes = ReadFileBytes(LogPath());
    const std::string stamp = bytes.substr(3, 19);
    // Written just now: the date part matches today's (allowing for a run across midnight).
    const std::string before = FormatSortableDateTime(Now() - 1.0 / 24 / 60);
    const std::string after = FormatSortableDateTime(Now());
    EXPECT_LE(before, stamp);
    EXPECT_LE(stamp, after);
    EXPECT_EQ(bytes[3 + 19], ' ');
}

TEST_F(BatchRun, CompanyComesFromSettingsThenCommandLineThenDatabase) {
    S.Companies = {"Aus Datei", "Erster", "Zweiter"};
    WriteSettings("[Datenbank]\r\nMandant=Aus Datei\r\n");
    Run({"/rg", "1"});
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "gen Aus Datei 1"}));

    S.Calls.clear();
    Run({"/rg", "1", "/mandant", "Erster", "/mandant", "zweiter"});
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "gen Zweiter 1"})) << "spelled as the database does";

    S.Calls.clear();
    WriteSettings("[Datenbank]\r\nMandant=\r\n");
    Run({"/rg", "1"});
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "gen Aus Datei 1"}));
}

// A company that does not exist ends the run once, before any document, and says
// which companies there are.
TEST_F(BatchRun, UnknownCompanyEndsTheRunAndListsTheCompanies) {
    struct Case {
        std::vector<std::string> Companies;
        std::vector<std::string> Args;
        std::string Message;
    };
    const Case cases[] = {
        {{"Alpha", "Beta"}, {"/rg", "1", "/rg", "2", "/mandant", "Gamma"},
         "Den Mandanten \"Gamma\" gibt es in der Datenbank nicht. Vorhandene Mandanten: Alpha, Beta."},
        {{}, {"/rg", "1", "/mandant", "Gamma"},
         "Den Mandanten \"Gamma\" gibt es in der Datenbank nicht. Sie enthält keinen Mandanten."},
        {{}, {"/von", "heute"}, "Die Datenbank enthält keinen Mandanten mit gebuchten Rechnungen."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Message);
        S = Script{};
        S.Companies = c.Companies;
        const TBatchResult r = Run(c.Args);
        EXPECT_EQ(r.ExitCode, 3);
        EXPECT_EQ(r.FatalError, c.Message);
        EXPECT_EQ(S.Calls, (Lines{"open", "companies"}));
        EXPECT_EQ(LogLines(), (Lines{"FEHLER: " + c.Message}));
        EXPECT_EQ(End, "Ende: 0 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund");
    }
}

TEST_F(BatchRun, OutputFolderAndXmlAreOptionsOfTheRunOnly) {
    const std::string before = ReadFileBytes(Ini);
    Run({"/rg", "1", "/out", "/tmp/ziel", "-XML"});
    EXPECT_EQ(S.SeenOutDir, "/tmp/ziel");
    EXPECT_TRUE(S.SeenSaveXml);
    EXPECT_EQ(ReadFileBytes(Ini), before);

    Run({"/rg", "1"});
    EXPECT_EQ(S.SeenOutDir, Dir.Path() + "aus");
    EXPECT_FALSE(S.SeenSaveXml);
}

TEST_F(BatchRun, MailModeMailsEveryInvoiceAndProducesNothingElse) {
    S.FailingInvoices = {"B"};
    TBatchResult r = Run({"/rg", "A", "/rg", "B", "/rg", "C", "/mail", "/xml", "/mandant", "M"});
    EXPECT_EQ(r.ErrorCount, 1);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "create mailer", "sign in", "mail M A", "mail M B", "mail M C"}));
    EXPECT_EQ(LogLines(), (Lines{"Rechnung A versendet an kunde@example.com", "FEHLER Versand B: Anmeldung fehlgeschlagen",
                                 "Rechnung C versendet an kunde@example.com"}));
    EXPECT_EQ(S.Freed, (Lines{"mailer", "session"}));  // mailer first, then the database object
    EXPECT_EQ(End, "Ende: 3 erzeugt, 2 versendet, 0 übersprungen, 1 Fehler, 0 mit Befund");
}

TEST_F(BatchRun, MailModeAllSentGivesZero) {
    EXPECT_EQ(Run({"/rg", "A", "-mail"}).ExitCode, 0);
}

TEST_F(BatchRun, SetupErrorsEndTheRunButTheLogIsStillWritten) {
    struct Case {
        const char* Name;
        bool Script::*Flag;
        std::vector<std::string> Args;
        std::string Message;
        Lines Freed;
        int ExitCode;
    };
    // The database is asked once, whatever the number of documents: no per-document
    // retries of an unreachable server.
    const Case cases[] = {
        {"database object", &Script::OpenFails, {"/rg", "1", "/rg", "2"}, "Die Datenbank ist nicht erreichbar.", {}, 3},
        {"companies", &Script::CompaniesFails, {"/rg", "1", "/rg", "2", "/mandant", "M"},
         "Die Datenbank ist nicht erreichbar: Verbindung zur Datenbank fehlgeschlagen", {"session"}, 3},
        {"mailer", &Script::MailerFails, {"/rg", "1", "/mail", "/mandant", "M"},
         "E-Mail-Einstellungen unvollständig (Mandanten-ID, Client-ID, Secret, Absender).", {"session"}, 2},
        {"sign-in", &Script::SignInFails, {"/rg", "1", "/rg", "2", "/mail", "/mandant", "M"},
         "Anmeldung bei Microsoft 365 fehlgeschlagen (401): invalid_client", {"mailer", "session"}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        S = Script{};
        S.*c.Flag = true;
        WriteFileBytes(LogPath(), "alter Inhalt\r\n");
        TBatchResult r = Run(c.Args);
        EXPECT_TRUE(r.Ran);
        EXPECT_EQ(r.ExitCode, c.ExitCode);
        EXPECT_EQ(r.FatalError, c.Message);
        EXPECT_EQ(S.Freed, c.Freed);
        // The previous log is kept as the first generation; this one says why it ended.
        EXPECT_EQ(ReadFileBytes(LogPath() + ".1"), "alter Inhalt\r\n");
        EXPECT_EQ(LogLines(), (Lines{"FEHLER: " + c.Message}));
        EXPECT_EQ(End, "Ende: 0 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund");
        EXPECT_LE(std::count(S.Calls.begin(), S.Calls.end(), "companies"), 1);
        for (const std::string& call : S.Calls)
            EXPECT_FALSE(StartsWithText(call, "gen") || StartsWithText(call, "mail ")) << call;
    }
}

TEST_F(BatchRun, WithoutConnectedWorkflowsTheRunSaysSoAndFails) {
    TBatchResult r = RunCommandLine({"/rg", "1"}, TBatchSessionFactory{});
    EXPECT_TRUE(r.Ran);
    EXPECT_EQ(r.ExitCode, 3);
    EXPECT_NE(r.FatalError.find("noch nicht verfügbar"), std::string::npos) << r.FatalError;
    EXPECT_TRUE(FileExists(LogPath()));
}

TEST_F(BatchRun, ASecondRunReplacesTheLogAndSevenPreviousOnesAreKept) {
    S.FailingInvoices = {"1"};
    Run({"/rg", "1"});
    S.FailingInvoices = {};
    Run({"/rg", "2"});
    EXPECT_EQ(LogLines(), (Lines{"  Hinweis zu 2", "Rechnung 2 erstellt"}));
    EXPECT_EQ(AllLogLines(LogPath() + ".1").at(1), "FEHLER 1: Rechnung 1 nicht gefunden");

    for (int run = 3; run <= 10; ++run) Run({"/rg", std::to_string(run)});
    EXPECT_EQ(LogLines(), (Lines{"  Hinweis zu 10", "Rechnung 10 erstellt"}));
    for (int generation = 1; generation <= 7; ++generation)
        EXPECT_EQ(AllLogLines(LogPath() + "." + std::to_string(generation)).at(1),
                  "  Hinweis zu " + std::to_string(10 - generation))
            << generation;
    EXPECT_FALSE(FileExists(LogPath() + ".8"));
}

// A line break in a message or in an invoice number from the command line must not
// forge a log line of its own (here a fake "erzeugt" line with a time stamp).
TEST_F(BatchRun, LineBreaksInsideMessagesAndNumbersNeverStartALogLine) {
    const std::string forged = "2024-03-05 14:07:09 RE-2 erzeugt: /tmp/RE-2.pdf";
    TBatchSessionFactory factory = [this](const TSettings&, const TRunOptions& options) -> std::unique_ptr<TRunSession> {
        struct Multi : FakeSession {
            using FakeSession::FakeSession;
            TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& no, const TLogProc& log,
                                                TDocumentKind kind) override {
                if (no == "9")
                    throw Exception("Zeile eins\nZeile zwei\rZeile drei\r\nEnde\x1b[2K\u2028" + no);
                return FakeSession::GenerateInvoicePdf(company, no, log, kind);
            }
        };
        return std::make_unique<Multi>(S, options);
    };
    S.FailingInvoices = {"RE-1\r\n" + forged};
    RunCommandLine({"/rg", "9", "/rg", "RE-1\r\n" + forged, "/rg", "RE-3\n" + forged}, factory);

    EXPECT_EQ(LogLines(), (Lines{"FEHLER 9: Zeile eins Zeile zwei Zeile drei Ende [2K 9",
                                 "FEHLER RE-1 " + forged + ": Rechnung RE-1 " + forged + " nicht gefunden",
                                 "  Hinweis zu RE-3 " + forged, "Rechnung RE-3 " + forged + " erstellt"}));
}

// The log is written as the run goes, so a run that cannot write it does not start.
TEST_F(BatchRun, UnwritableLogFileKeepsTheRunFromStarting) {
    // The sixth previous log cannot take the place of the seventh.
    ForceDirectories(LogPath() + ".7/x");
    WriteFileBytes(LogPath() + ".6", "alter Lauf");
    TBatchResult r = Run({"/rg", "1"});
    EXPECT_TRUE(S.Calls.empty());
    EXPECT_EQ(r.ExitCode, 3);
    EXPECT_EQ(r.FatalError.rfind("Das Protokoll kann nicht angelegt werden: ", 0), 0u) << r.FatalError;
}

TEST_F(BatchRun, LogLiesNextToTheSettingsFile) {
    EXPECT_EQ(BatchLogFilePath(), LogPath());
}

// Numbers that give the same file name: the later one fails and names the first, whose
// file stays; the same invoice named again is produced once.
TEST_F(BatchRun, SecondInvoiceWithTheSameFileNameFailsAndNamesTheFirst) {
    struct Refusal {
        std::string No, First, File;  // File: in the output folder
    };
    struct Case {
        const char* Name;
        std::vector<std::string> Numbers;
        std::vector<std::string> Failing;
        std::string Pattern;
        Lines Generated;  // numbers handed to the workflow
        std::vector<Refusal> Refused;
    };
    const Case cases[] = {
        {"slash and colon", {"RE/24/1", "RE:24:1"}, {}, "", {"RE/24/1"}, {{"RE:24:1", "RE/24/1", "Rechnung_RE_24_1.pdf"}}},
        {"three ways", {"A/1", "A:1", "A?1"}, {}, "", {"A/1"},
         {{"A:1", "A/1", "Rechnung_A_1.pdf"}, {"A?1", "A/1", "Rechnung_A_1.pdf"}}},
        {"letter case of the name", {"RE/24/1", "re:24:1"}, {}, "", {"RE/24/1"},
         {{"re:24:1", "RE/24/1", "Rechnung_RE_24_1.pdf"}}},
        {"same invoice twice", {"RE/24/1", "RE/24/1"}, {}, "", {"RE/24/1"}, {}},
        {"same invoice in other case", {"RE/24/1", "re/24/1"}, {}, "", {"RE/24/1"}, {}},
        {"first one failed", {"RE/24/1", "RE:24:1"}, {"RE/24/1"}, "", {"RE/24/1", "RE:24:1"}, {}},
        {"pattern without number", {"1", "2"}, {}, "Rechnungen", {"1"}, {{"2", "1", "Rechnungen.pdf"}}},
        {"different names", {"RE/24/1", "RE/24/10"}, {}, "", {"RE/24/1", "RE/24/10"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        S = Script{};
        S.FailingInvoices = c.Failing;
        WriteSettings("[Datenbank]\r\nMandant=M\r\n\r\n[Ausgabe]\r\nOrdner=" + Dir.Path() + "aus\r\n" +
                      (c.Pattern.empty() ? "" : "Dateiname=" + c.Pattern + "\r\n"));
        std::vector<std::string> args;
        for (const std::string& no : c.Numbers) args.insert(args.end(), {"/rg", no});
        const TBatchResult r = Run(args);

        Lines calls{"open", "companies"};
        for (const std::string& no : c.Generated) calls.push_back("gen M " + no);
        EXPECT_EQ(S.Calls, calls);
        Lines refusals;
        for (const std::string& line : LogLines())
            if (line.find("denselben Dateinamen") != std::string::npos) refusals.push_back(line);
        Lines expected;
        for (const Refusal& f : c.Refused)
            expected.push_back("FEHLER " + f.No + ": Rechnung " + f.No + " ergibt denselben Dateinamen wie Rechnung " +
                               f.First + " aus diesem Lauf; " + Dir.Path() + "aus/" + f.File +
                               " wird nicht überschrieben");
        EXPECT_EQ(refusals, expected);
        EXPECT_EQ(r.ErrorCount, static_cast<int>(c.Refused.size() + c.Failing.size()));
    }
}

TEST_F(BatchRun, StopSignalEndsTheRunBetweenInvoices) {
    struct Case {
        const char* Name;
        std::vector<std::string> Args;
        std::string SignalAt;  // the invoice during which the signal arrives; empty: before the first
        int Signal;
        Lines Calls;
        std::string LastLine;
        int ExitCode;
    };
    const Case cases[] = {
        {"production, SIGTERM", {"/rg", "1", "/rg", "2", "/rg", "3", "/rg", "4"}, "2", SIGTERM,
         {"open", "companies", "gen M 1", "gen M 2"}, "Abgebrochen nach 2 von 4 Belegen", 143},
        {"mailing, SIGINT", {"/rg", "1", "/rg", "2", "/rg", "3", "/mail"}, "1", SIGINT,
         {"open", "companies", "create mailer", "sign in", "mail M 1"}, "Abgebrochen nach 1 von 3 Belegen", 130},
        {"before the first invoice", {"/rg", "1", "/rg", "2"}, "", SIGTERM, {"open", "companies"},
         "Abgebrochen nach 0 von 2 Belegen", 143},
        {"during the last invoice: all done", {"/rg", "1", "/rg", "2"}, "2", SIGTERM,
         {"open", "companies", "gen M 1", "gen M 2"}, "Rechnung 2 erstellt", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        S = Script{};
        volatile std::sig_atomic_t stop = c.SignalAt.empty() ? c.Signal : 0;
        TBatchSessionFactory factory = [&](const TSettings&, const TRunOptions& options) -> std::unique_ptr<TRunSession> {
            S.Calls.push_back("open");
            struct Signalling : FakeSession {
                Signalling(Script& s, const TRunOptions& options, const Case& c, volatile std::sig_atomic_t& stop)
                    : FakeSession(s, options), C(c), Stop(stop) {}
                TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& no, const TLogProc& log,
                                                TDocumentKind kind) override {
                    const TDocumentOutcome outcome = FakeSession::GenerateInvoicePdf(company, no, log, kind);
                    if (no == C.SignalAt) Stop = C.Signal;
                    return outcome;
                }
                std::unique_ptr<TRunMailer> CreateMailer() override {
                    struct Mailer : FakeMailer {
                        Mailer(Script& s, const Case& c, volatile std::sig_atomic_t& stop) : FakeMailer(s), C(c), Stop(stop) {}
                        TMailOutcome MailInvoice(const std::string& company, const std::string& no, const TLogProc& log,
                                                 TDocumentKind kind) override {
                            const TMailOutcome outcome = FakeMailer::MailInvoice(company, no, log, kind);
                            if (no == C.SignalAt) Stop = C.Signal;
                            return outcome;
                        }
                        const Case& C;
                        volatile std::sig_atomic_t& Stop;
                    };
                    S.Calls.push_back("create mailer");
                    return std::make_unique<Mailer>(S, C, Stop);
                }
                const Case& C;
                volatile std::sig_atomic_t& Stop;
            };
            return std::make_unique<Signalling>(S, options, c, stop);
        };
        std::vector<std::string> args = c.Args;
        args.insert(args.end(), {"/mandant", "M"});
        TBatchOptions options;
        options.StopSignal = &stop;
        const TBatchResult r = RunCommandLine(args, factory, options);
        EXPECT_EQ(S.Calls, c.Calls);
        EXPECT_EQ(r.ExitCode, c.ExitCode);
        const Lines log = LogLines();
        EXPECT_EQ(End.empty(), c.ExitCode != 0) << "a stopped run has no end line";
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), c.LastLine);
        EXPECT_EQ(r.StopLine, c.ExitCode == 0 ? "" : c.LastLine);
        EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("Abgebrochen"); }),
                  c.ExitCode == 0 ? 0 : 1);
    }
}

TEST_F(BatchRun, HalfWrittenFilesOfAKilledRunAreRemovedFromTheOutputFolder) {
    namespace fs = std::filesystem;
    const std::string out = Dir.File("aus");
    ForceDirectories(out);
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(10);
    for (const char* name : {".Rechnung_RE-1.pdf.2718281828.tmp", ".Rechnung_RE-1.xml.1.tmp", ".notiz.txt.1.tmp"}) {
        WriteFileBytes(out + "/" + name, "halb");
        fs::last_write_time(out + "/" + name, old);
    }
    Run({"/rg", "RE-2", "/mandant", "M"});
    EXPECT_FALSE(FileExists(out + "/.Rechnung_RE-1.pdf.2718281828.tmp"));
    EXPECT_FALSE(FileExists(out + "/.Rechnung_RE-1.xml.1.tmp"));
    EXPECT_TRUE(FileExists(out + "/.notiz.txt.1.tmp"));
    EXPECT_EQ(LogLines(),
              (Lines{"  Hinweis: unvollständige Datei eines abgebrochenen Laufs entfernt: " + out +
                         "/.Rechnung_RE-1.pdf.2718281828.tmp",
                     "  Hinweis: unvollständige Datei eines abgebrochenen Laufs entfernt: " + out +
                         "/.Rechnung_RE-1.xml.1.tmp",
                     "  Hinweis zu RE-2", "Rechnung RE-2 erstellt"}));
}

namespace {

// Posting dates of the selection tests: 28 Feb, 1 Mar (two), 4 Mar.
void PostSome(Script& s) {
    s.Posted = {{"R4", EncodeDate(2024, 3, 4)},
                {"R2", EncodeDate(2024, 3, 1)},
                {"R1", EncodeDate(2024, 2, 28)},
                {"R3", EncodeDate(2024, 3, 1)}};
}

} // namespace

TEST_F(BatchRun, SelectionByPostingDateCombinesWithNamedNumbers) {
    struct Case {
        const char* Name;
        std::vector<std::string> Args;
        std::string Find;  // the range asked for
        Lines Generated;
        std::string Selection;  // the "Auswahl" line
    };
    const Case cases[] = {
        {"range", {"/von", "01.03.2024", "/bis", "04.03.2024"}, "find M 01.03.2024-04.03.2024", {"R2", "R3", "R4"},
         "  Auswahl: 3 Rechnungen, Buchungsdatum 01.03.2024 bis 04.03.2024"},
        {"yesterday", {"/von", "gestern", "/bis", "gestern"}, "find M 04.03.2024-04.03.2024", {"R4"},
         "  Auswahl: 1 Rechnung, Buchungsdatum 04.03.2024 bis 04.03.2024"},
        {"from only: open end", {"/von", "heute"}, "find M 05.03.2024-31.12.2999", {},
         "  Auswahl: 0 Rechnungen, Buchungsdatum ab 05.03.2024"},
        {"to only", {"/bis", "28.02.2024"}, "find M 02.01.1754-28.02.2024", {"R1"},
         "  Auswahl: 1 Rechnung, Buchungsdatum bis 28.02.2024"},
        // Named numbers come first; a selected one that was named is not produced again.
        {"named and selected", {"/rg", "X9", "/rg", "r3", "/von", "01.03.2024", "/bis", "01.03.2024"},
         "find M 01.03.2024-01.03.2024", {"X9", "r3", "R2"},
         "  Auswahl: 2 Rechnungen, Buchungsdatum 01.03.2024 bis 01.03.2024"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        S = Script{};
        PostSome(S);
        std::vector<std::string> args = c.Args;
        args.insert(args.end(), {"/mandant", "M"});
        const TBatchResult r = Run(args);
        EXPECT_EQ(r.ExitCode, 0);
        Lines calls{"open", "companies", c.Find, "find credits " + c.Find.substr(5)};
        for (const std::string& no : c.Generated) calls.push_back("gen M " + no);
        EXPECT_EQ(S.Calls, calls);
        const Lines log = LogLines();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.front(), c.Selection);
        if (c.Generated.empty()) {
            EXPECT_EQ(log.back(), "  Keine Belege ausgewählt.");
        }
        EXPECT_EQ(End, "Ende: " + std::to_string(c.Generated.size()) +
                           " erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund");
    }
}

// "/neu" keeps the selected documents without a successful send; named ones stay.
TEST_F(BatchRun, OnlyNewLeavesOutWhatWasSent) {
    PostSome(S);
    S.SentBefore = {"R1", "R3", "X9"};
    Run({"/neu", "/rg", "X9", "/mandant", "M"});
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "find M 02.01.1754-31.12.2999", "find credits M 02.01.1754-31.12.2999",
                              "gen M X9", "gen M R2", "gen M R4"}));
    EXPECT_EQ(LogLines().front(), "  Auswahl: 4 Rechnungen, jedes Buchungsdatum, davon 2 noch nicht versendet");
}

// Mailing a date selection twice mails nothing the second time; "/erneut" mails again;
// a number named explicitly is mailed again.
TEST_F(BatchRun, MailingSkipsSelectedDocumentsThatWereSent) {
    struct Case {
        const char* Name;
        std::vector<std::string> Args;
        Lines Mailed;
        int Skipped;
    };
    const Case cases[] = {
        {"selection", {"/von", "01.03.2024"}, {"R4"}, 2},
        {"selection, erneut", {"/von", "01.03.2024", "/erneut"}, {"R2", "R3", "R4"}, 0},
        {"named", {"/rg", "R2", "/rg", "R3"}, {"R2", "R3"}, 0},
        {"named and selected", {"/rg", "R3", "/von", "01.03.2024"}, {"R3", "R4"}, 1},
        {"all sent: no sign-in", {"/von", "01.03.2024", "/bis", "01.03.2024"}, {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        S = Script{};
        PostSome(S);
        S.SentBefore = {"R2", "R3"};
        std::vector<std::string> args = c.Args;
        args.insert(args.end(), {"/mail", "/mandant", "M"});
        const TBatchResult r = Run(args);
        EXPECT_EQ(r.ExitCode, 0);
        Lines mailed;
        for (const std::string& call : S.Calls)
            if (call.starts_with("mail M ")) mailed.push_back(call.substr(7));
        EXPECT_EQ(mailed, c.Mailed);
        EXPECT_EQ(std::count(S.Calls.begin(), S.Calls.end(), "sign in"), c.Mailed.empty() ? 0 : 1);
        const Lines log = LogLines();
        EXPECT_EQ(std::count(log.begin(), log.end(),
                             "  R2 übersprungen: am 02.03.2024 12:00 bereits versendet (erneut mit /erneut)"),
                  c.Skipped > 0 ? 1 : 0);
        EXPECT_EQ(End, "Ende: " + std::to_string(c.Mailed.size()) + " erzeugt, " + std::to_string(c.Mailed.size()) +
                           " versendet, " + std::to_string(c.Skipped) + " übersprungen, 0 Fehler, 0 mit Befund");
    }
}

TEST_F(BatchRun, ResultFileHasOneLinePerDocument) {
    PostSome(S);
    S.SentBefore = {"R2"};
    S.FailingInvoices = {"R3"};
    const std::string csv = Dir.File("ergebnis.csv");
    Run({"/rg", "A;\"1\"", "/von", "01.03.2024", "/mail", "/ergebnis", csv, "/mandant", "M"});
    EXPECT_EQ(ReadFileBytes(csv), std::string(kUtf8Bom) +
                                      "Nummer;Art;Status;PDF;Empfaenger;Meldung\r\n"
                                      "\"A;\"\"1\"\"\";Rechnung;versendet;\"/aus/A;\"\"1\"\".pdf\";kunde@example.com;\r\n"
                                      "R2;Rechnung;übersprungen;;;bereits versendet am 02.03.2024 12:00\r\n"
                                      "R3;Rechnung;FEHLER;/aus/R3.pdf;;Anmeldung fehlgeschlagen\r\n"
                                      "R4;Rechnung;versendet;/aus/R4.pdf;kunde@example.com;\r\n");

    S = Script{};
    S.FailingInvoices = {"B"};
    Run({"/rg", "A", "/rg", "B", "/ergebnis", csv, "/mandant", "M"});
    EXPECT_EQ(ReadFileBytes(csv), std::string(kUtf8Bom) +
                                      "Nummer;Art;Status;PDF;Empfaenger;Meldung\r\n"
                                      "A;Rechnung;erzeugt;/aus/A.pdf;;\r\n"
                                      "B;Rechnung;FEHLER;;;Rechnung B nicht gefunden\r\n");

    // The findings' rule ids stand in "Meldung", in production and in mailing runs.
    struct FindingCase {
        std::vector<std::string> Args;
        std::string Line;
    };
    const std::vector<FindingCase> findingCases = {
        {{"/rg", "A", "/ergebnis", csv, "/mandant", "M"},
         "A;Rechnung;erzeugt;/aus/A.pdf;;Befund: BR-DE-31, PEPPOL-EN16931-R061\r\n"},
        {{"/rg", "A", "/mail", "/ergebnis", csv, "/mandant", "M"},
         "A;Rechnung;versendet;/aus/A.pdf;kunde@example.com;Befund: BR-DE-31\r\n"},
    };
    for (const FindingCase& c : findingCases) {
        S = Script{};
        S.Finding = {"A"};
        Run(c.Args);
        EXPECT_EQ(ReadFileBytes(csv), std::string(kUtf8Bom) + "Nummer;Art;Status;PDF;Empfaenger;Meldung\r\n" + c.Line);
    }

    // A result file that cannot be written is a usage error: nothing is done.
    S = Script{};
    const TBatchResult r = Run({"/rg", "A", "/ergebnis", Dir.File("fehlt/ergebnis.csv")});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_TRUE(S.Calls.empty());
}

// Credit memos ("/gs") run between the invoices in the order named; a date selection
// takes the invoices, then the credit memos; the result file and the start line name
// the kind; a credit memo whose file name an invoice of the run took is refused.
TEST_F(BatchRun, CreditMemosNamedAndSelectedBesideInvoices) {
    PostSome(S);
    S.PostedCredits = {{"G2", EncodeDate(2024, 3, 4)}, {"G1", EncodeDate(2024, 3, 1)}, {"G0", EncodeDate(2024, 2, 1)}};
    const std::string csv = Dir.File("ergebnis.csv");
    Run({"/gs", "X1", "/rg", "X1", "/gs", "x1", "/rg", "R4", "/von", "01.03.2024", "/ergebnis", csv, "/mandant", "M"});
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "find M 01.03.2024-31.12.2999", "find credits M 01.03.2024-31.12.2999",
                              "gen M korr X1", "gen M X1", "gen M R4", "gen M R2", "gen M R3", "gen M korr G1",
                              "gen M korr G2"}));
    const Lines log = LogLines();
    EXPECT_TRUE(Start.ends_with("Auswahl Rechnungen X1, R4; Rechnungskorrektur X1; Buchungsdatum ab 01.03.2024; "
                                "Mandant M; erzeugen"))
        << Start;
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "  Auswahl: 3 Rechnungen, Buchungsdatum ab 01.03.2024");
    EXPECT_EQ(log[1], "  Auswahl: 2 Rechnungskorrekturen, Buchungsdatum ab 01.03.2024");
    EXPECT_EQ(End, "Ende: 7 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund");
    const Lines csvLines = Split(ReadFileBytes(csv).substr(3), '\n');
    ASSERT_GE(csvLines.size(), 3u);
    EXPECT_EQ(csvLines[1], "X1;Rechnungskorrektur;erzeugt;/aus/X1.pdf;;\r");
    EXPECT_EQ(csvLines[2], "X1;Rechnung;erzeugt;/aus/X1.pdf;;\r");

    // Mailing passes the kind on as well.
    S = Script{};
    Run({"/rg", "R1", "/gs", "G1", "/mail", "/mandant", "M"});
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "create mailer", "sign in", "mail M R1", "mail M korr G1"}));

    // One file name for an invoice and a credit memo: the second is refused.
    S = Script{};
    WriteSettings("[Datenbank]\r\nMandant=M\r\n\r\n[Ausgabe]\r\nOrdner=" + Dir.Path() +
                  "aus\r\nDateiname=Beleg_%s\r\nDateinameGutschrift=Beleg_%s\r\n");
    const TBatchResult r = Run({"/rg", "7", "/gs", "7", "/gs", "8"});
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "gen M 7", "gen M korr 8"}));
    EXPECT_EQ(r.ErrorCount, 1);
    bool refused = false;
    for (const std::string& line : LogLines())
        refused |= line == "FEHLER 7: Rechnungskorrektur 7 ergibt denselben Dateinamen wie Rechnung 7 aus diesem Lauf; " +
                               Dir.Path() + "aus/Beleg_7.pdf wird nicht überschrieben";
    EXPECT_TRUE(refused);
}

// Each line reaches the file when it is logged: a run killed in the middle leaves the
// lines so far and no end line.
TEST_F(BatchRun, LogLinesAreWrittenAsTheyHappen) {
    Lines seenDuringSecond;
    TBatchSessionFactory factory = [&](const TSettings&, const TRunOptions& options) -> std::unique_ptr<TRunSession> {
        struct Peeking : FakeSession {
            Peeking(Script& s, const TRunOptions& options, std::function<void()> peek) : FakeSession(s, options), Peek(peek) {}
            TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& no, const TLogProc& log,
                                                TDocumentKind kind) override {
                if (no == "2") Peek();
                return FakeSession::GenerateInvoicePdf(company, no, log, kind);
            }
            std::function<void()> Peek;
        };
        return std::make_unique<Peeking>(S, options, [&] { seenDuringSecond = AllLogLines(LogPath()); });
    };
    RunCommandLine({"/rg", "1", "/rg", "2", "/mandant", "M"}, factory);
    ASSERT_EQ(seenDuringSecond.size(), 3u);
    EXPECT_TRUE(seenDuringSecond[0].starts_with("Start Velkaro "));
    EXPECT_EQ(seenDuringSecond[2], "Rechnung 1 erstellt");
}

// One run per settings file: a second one waits for the first, and gives up after the
// wait with exit code 3, touching nothing.
TEST_F(BatchRun, ASecondRunWaitsForTheLockThenGivesUp) {
    std::optional<TFileLock> held(std::in_place, RunLockFilePath(Ini));
    ASSERT_TRUE(held->Acquire(std::chrono::milliseconds(0)));
    EXPECT_EQ(RunLockFilePath(Ini), Dir.File("velkaro.lock"));
    WriteFileBytes(LogPath(), "Log des laufenden Laufs");

    Lines notices;
    TBatchOptions options;
    options.LockWait = std::chrono::milliseconds(300);
    options.Notice = [&](const std::string& line) { notices.push_back(line); };
    const auto before = std::chrono::steady_clock::now();
    TBatchResult r = RunCommandLine({"/rg", "1"}, Factory(), options);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(300));
    EXPECT_EQ(r.ExitCode, 3);
    EXPECT_EQ(r.FatalError.rfind("Ein anderer Lauf mit denselben Einstellungen arbeitet seit über 0 s", 0), 0u)
        << r.FatalError;
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_TRUE(S.Calls.empty());
    EXPECT_EQ(ReadFileBytes(LogPath()), "Log des laufenden Laufs");

    // Free again: the next run works.
    held.reset();
    r = RunCommandLine({"/rg", "1"}, Factory(), options);
    EXPECT_EQ(r.ExitCode, 0);
}

// A stop signal while the run waits for the lock ends it at once: 128 + the signal,
// nothing begun, not even the log.
TEST_F(BatchRun, AStopSignalWhileWaitingForTheLockEndsTheRunAtOnce) {
    TFileLock held(RunLockFilePath(Ini));
    ASSERT_TRUE(held.Acquire(std::chrono::milliseconds(0)));
    for (const int signal : {SIGTERM, SIGINT}) {
        volatile std::sig_atomic_t stop = 0;
        TBatchOptions options;
        options.StopSignal = &stop;
        options.Notice = [&](const std::string&) { stop = signal; };  // arrives while it waits
        const auto before = std::chrono::steady_clock::now();
        const TBatchResult r = RunCommandLine({"/rg", "1"}, Factory(), options);
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(15)) << "not the minute";
        EXPECT_EQ(r.ExitCode, 128 + signal);
        EXPECT_EQ(r.StopSignal, signal);
        EXPECT_EQ(r.StopLine, "Abgebrochen beim Warten auf einen anderen Lauf mit denselben Einstellungen");
        EXPECT_EQ(r.FatalError, "");
        EXPECT_TRUE(S.Calls.empty());
        EXPECT_FALSE(FileExists(LogPath()));
    }
}
