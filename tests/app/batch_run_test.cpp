#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <regex>

#include "app/batch_run.h"
#include "config/settings.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

using namespace velkaro;
using velkaro::test::ScopedEnv;
using velkaro::test::TempFolder;

namespace {

// What the test doubles saw and what they are told to do.
struct Script {
    std::vector<std::string> Companies{"Alpha", "Beta"};
    std::vector<std::string> FailingInvoices;  // production raises / mailing returns false
    bool OpenFails = false;
    bool CompaniesFails = false;
    bool MailerFails = false;

    std::vector<std::string> Calls;  // "gen <company> <no>", "mail <company> <no>", "companies", ...
    std::vector<std::string> Freed;  // "mailer", "session"
    std::string SeenOutDir;
    bool SeenSaveXml = false;
};

bool Fails(const Script& s, const std::string& no) {
    return std::find(s.FailingInvoices.begin(), s.FailingInvoices.end(), no) != s.FailingInvoices.end();
}

class FakeMailer : public TBatchMailer {
public:
    explicit FakeMailer(Script& s) : S(s) {}
    ~FakeMailer() override { S.Freed.push_back("mailer"); }
    bool MailInvoice(const std::string& company, const std::string& no, const TLogProc& log) override {
        S.Calls.push_back("mail " + company + " " + no);
        if (Fails(S, no)) {
            log("FEHLER Versand " + no + ": Anmeldung fehlgeschlagen");
            return false;
        }
        log("Rechnung " + no + " versendet an kunde@example.com");
        return true;
    }
    Script& S;
};

class FakeSession : public TBatchSession {
public:
    FakeSession(Script& s, TSettings& settings) : S(s), Settings(settings) {}
    ~FakeSession() override { S.Freed.push_back("session"); }
    std::vector<std::string> Companies() override {
        S.Calls.push_back("companies");
        if (S.CompaniesFails)
            throw Exception("Verbindung zur Datenbank fehlgeschlagen");
        return S.Companies;
    }
    TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& no, const TLogProc& log) override {
        S.Calls.push_back("gen " + company + " " + no);
        S.SeenOutDir = Settings.OutDir;
        S.SeenSaveXml = Settings.SaveXml;
        if (Fails(S, no))
            throw Exception("Rechnung " + no + " nicht gefunden");
        log("  Hinweis zu " + no);
        log("Rechnung " + no + " erstellt");
        return {};
    }
    std::unique_ptr<TBatchMailer> CreateMailer() override {
        S.Calls.push_back("create mailer");
        if (S.MailerFails)
            throw Exception("E-Mail-Einstellungen unvollständig (Mandanten-ID, Client-ID, Secret, Absender).");
        return std::make_unique<FakeMailer>(S);
    }
    Script& S;
    TSettings& Settings;
};

class BatchRun : public ::testing::Test {
protected:
    BatchRun() : Ini(Dir.File("velkaro.ini")), Env("VELKARO_INI", Ini.c_str()) {
        WriteSettings("[Datenbank]\r\nMandant=\r\n\r\n[Ausgabe]\r\nOrdner=" + Dir.Path() + "aus\r\n");
    }

    void WriteSettings(const std::string& text) { WriteFileBytes(Ini, text); }

    TBatchSessionFactory Factory() {
        return [this](TSettings& settings) -> std::unique_ptr<TBatchSession> {
            S.Calls.push_back("open");
            if (S.OpenFails)
                throw Exception("Die Datenbank ist nicht erreichbar.");
            return std::make_unique<FakeSession>(S, settings);
        };
    }

    TBatchResult Run(const std::vector<std::string>& args) { return RunCommandLine(args, Factory()); }

    std::string LogPath() const { return Dir.File("velkaro.log"); }

    // The log's lines without their time stamps; checks BOM, CR LF and the stamp form.
    std::vector<std::string> LogLines() const {
        const std::string bytes = ReadFileBytes(LogPath());
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

    TempFolder Dir;
    std::string Ini;
    ScopedEnv Env;
    Script S;
};

using Lines = std::vector<std::string>;

} // namespace

TEST_F(BatchRun, WithoutInvoiceNumbersNothingRuns) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"/mandant", "Muster"}, {"/mail"}, {"-layout"}, {"/rg"}, {"-rg", "4711"}}) {
        TBatchResult r = Run(args);
        EXPECT_FALSE(r.Ran);
        EXPECT_EQ(r.ExitCode, 0);
    }
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
    EXPECT_EQ(S.Calls, (Lines{"open", "gen Muster RE-1", "gen Muster RE-2", "gen Muster RE-3"}));
    EXPECT_EQ(LogLines(), (Lines{"  Hinweis zu RE-1", "Rechnung RE-1 erstellt",
                                 "FEHLER RE-2: Rechnung RE-2 nicht gefunden", "  Hinweis zu RE-3",
                                 "Rechnung RE-3 erstellt"}));
    EXPECT_EQ(S.Freed, (Lines{"session"}));
}

TEST_F(BatchRun, AllSucceededGivesExitCodeZeroAndDuplicatesRunTwice) {
    TBatchResult r = Run({"/rg", "4711", "/rg", "4711"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.ErrorCount, 0);
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "gen Alpha 4711", "gen Alpha 4711"}));
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
    WriteSettings("[Datenbank]\r\nMandant=Aus Datei\r\n");
    Run({"/rg", "1"});
    EXPECT_EQ(S.Calls, (Lines{"open", "gen Aus Datei 1"}));

    S.Calls.clear();
    Run({"/rg", "1", "/mandant", "Erster", "/mandant", "Zweiter"});
    EXPECT_EQ(S.Calls, (Lines{"open", "gen Zweiter 1"}));

    S.Calls.clear();
    WriteSettings("[Datenbank]\r\nMandant=\r\n");
    S.Companies = {};
    Run({"/rg", "1"});  // a database without companies leaves the company empty
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "gen  1"}));
}

TEST_F(BatchRun, OutputFolderAndXmlChangeTheSettingsInMemoryOnly) {
    const std::string before = ReadFileBytes(Ini);
    Run({"/rg", "1", "/out", "/tmp/ziel", "-XML"});
    EXPECT_EQ(S.SeenOutDir, "/tmp/ziel");
    EXPECT_TRUE(S.SeenSaveXml);
    EXPECT_EQ(ReadFileBytes(Ini), before);

    Run({"/rg", "1", "xml"});
    EXPECT_EQ(S.SeenOutDir, Dir.Path() + "aus");
    EXPECT_FALSE(S.SeenSaveXml);
}

TEST_F(BatchRun, MailModeMailsEveryInvoiceAndProducesNothingElse) {
    S.FailingInvoices = {"B"};
    TBatchResult r = Run({"/rg", "A", "/rg", "B", "/rg", "C", "/mail", "/xml", "/mandant", "M"});
    EXPECT_EQ(r.ErrorCount, 1);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(S.Calls, (Lines{"open", "create mailer", "mail M A", "mail M B", "mail M C"}));
    EXPECT_EQ(LogLines(), (Lines{"Rechnung A versendet an kunde@example.com", "FEHLER Versand B: Anmeldung fehlgeschlagen",
                                 "Rechnung C versendet an kunde@example.com"}));
    EXPECT_EQ(S.Freed, (Lines{"mailer", "session"}));  // mailer first, then the database object
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
    };
    const Case cases[] = {
        {"database object", &Script::OpenFails, {"/rg", "1"}, "Die Datenbank ist nicht erreichbar.", {}},
        {"default company", &Script::CompaniesFails, {"/rg", "1"}, "Verbindung zur Datenbank fehlgeschlagen",
         {"session"}},
        {"mailer", &Script::MailerFails, {"/rg", "1", "/mail", "/mandant", "M"},
         "E-Mail-Einstellungen unvollständig (Mandanten-ID, Client-ID, Secret, Absender).", {"session"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        S = Script{};
        S.*c.Flag = true;
        WriteFileBytes(LogPath(), "alter Inhalt\r\n");
        TBatchResult r = Run(c.Args);
        EXPECT_TRUE(r.Ran);
        EXPECT_NE(r.ExitCode, 0);
        EXPECT_EQ(r.FatalError, c.Message);
        EXPECT_EQ(S.Freed, c.Freed);
        EXPECT_EQ(ReadFileBytes(LogPath()), kUtf8Bom);  // replaced; no line for the error itself
        for (const std::string& call : S.Calls)
            EXPECT_FALSE(StartsWithText(call, "gen") || StartsWithText(call, "mail ")) << call;
    }
}

TEST_F(BatchRun, WithoutConnectedWorkflowsTheRunSaysSoAndFails) {
    TBatchResult r = RunCommandLine({"/rg", "1"}, TBatchSessionFactory{});
    EXPECT_TRUE(r.Ran);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.FatalError.find("noch nicht verfügbar"), std::string::npos) << r.FatalError;
    EXPECT_TRUE(FileExists(LogPath()));
}

TEST_F(BatchRun, ASecondRunReplacesTheLog) {
    S.FailingInvoices = {"1"};
    Run({"/rg", "1"});
    S.FailingInvoices = {};
    Run({"/rg", "2"});
    EXPECT_EQ(LogLines(), (Lines{"  Hinweis zu 2", "Rechnung 2 erstellt"}));
}

// A line break in a message or in an invoice number from the command line must not
// forge a log line of its own (here a fake "erzeugt" line with a time stamp).
TEST_F(BatchRun, LineBreaksInsideMessagesAndNumbersNeverStartALogLine) {
    const std::string forged = "2024-03-05 14:07:09 RE-2 erzeugt: /tmp/RE-2.pdf";
    TBatchSessionFactory factory = [this](TSettings& settings) -> std::unique_ptr<TBatchSession> {
        struct Multi : FakeSession {
            using FakeSession::FakeSession;
            TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& no, const TLogProc& log) override {
                if (no == "9")
                    throw Exception("Zeile eins\nZeile zwei\rZeile drei\r\nEnde\x1b[2K\u2028" + no);
                return FakeSession::GenerateInvoicePdf(company, no, log);
            }
        };
        return std::make_unique<Multi>(S, settings);
    };
    S.FailingInvoices = {"RE-1\r\n" + forged};
    RunCommandLine({"/rg", "9", "/rg", "RE-1\r\n" + forged, "/rg", "RE-3\n" + forged}, factory);
    EXPECT_EQ(LogLines(), (Lines{"FEHLER 9: Zeile eins Zeile zwei Zeile drei Ende [2K 9",
                                 "FEHLER RE-1 " + forged + ": Rechnung RE-1 " + forged + " nicht gefunden",
                                 "  Hinweis zu RE-3 " + forged, "Rechnung RE-3 " + forged + " erstellt"}));
}

TEST_F(BatchRun, UnwritableLogFileIsReportedAfterTheInvoicesRan) {
    ForceDirectories(LogPath());  // a folder where the log file should go
    TBatchResult r = Run({"/rg", "1"});
    EXPECT_EQ(S.Calls, (Lines{"open", "companies", "gen Alpha 1"}));
    EXPECT_EQ(r.ErrorCount, 0);
    EXPECT_NE(r.ExitCode, 0);
    EXPECT_FALSE(r.FatalError.empty());
}

TEST_F(BatchRun, LogLiesNextToTheSettingsFile) {
    EXPECT_EQ(BatchLogFilePath(), LogPath());
}

// Numbers that give the same file name: the later one fails and names the first, whose
// file stays; the same invoice named again is produced again.
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
        {"same invoice twice", {"RE/24/1", "RE/24/1"}, {}, "", {"RE/24/1", "RE/24/1"}, {}},
        {"same invoice in other case", {"RE/24/1", "re/24/1"}, {}, "", {"RE/24/1", "re/24/1"}, {}},
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

        Lines calls{"open"};
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
         {"open", "gen M 1", "gen M 2"}, "Abgebrochen nach 2 von 4 Belegen", 143},
        {"mailing, SIGINT", {"/rg", "1", "/rg", "2", "/rg", "3", "/mail"}, "1", SIGINT,
         {"open", "create mailer", "mail M 1"}, "Abgebrochen nach 1 von 3 Belegen", 130},
        {"before the first invoice", {"/rg", "1", "/rg", "2"}, "", SIGTERM, {"open"},
         "Abgebrochen nach 0 von 2 Belegen", 143},
        {"during the last invoice: all done", {"/rg", "1", "/rg", "2"}, "2", SIGTERM,
         {"open", "gen M 1", "gen M 2"}, "Rechnung 2 erstellt", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        S = Script{};
        volatile std::sig_atomic_t stop = c.SignalAt.empty() ? c.Signal : 0;
        TBatchSessionFactory factory = [&](TSettings& settings) -> std::unique_ptr<TBatchSession> {
            S.Calls.push_back("open");
            struct Signalling : FakeSession {
                Signalling(Script& s, TSettings& settings, const Case& c, volatile std::sig_atomic_t& stop)
                    : FakeSession(s, settings), C(c), Stop(stop) {}
                TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& no, const TLogProc& log) override {
                    const TDocumentOutcome outcome = FakeSession::GenerateInvoicePdf(company, no, log);
                    if (no == C.SignalAt) Stop = C.Signal;
                    return outcome;
                }
                std::unique_ptr<TBatchMailer> CreateMailer() override {
                    struct Mailer : FakeMailer {
                        Mailer(Script& s, const Case& c, volatile std::sig_atomic_t& stop) : FakeMailer(s), C(c), Stop(stop) {}
                        bool MailInvoice(const std::string& company, const std::string& no, const TLogProc& log) override {
                            const bool ok = FakeMailer::MailInvoice(company, no, log);
                            if (no == C.SignalAt) Stop = C.Signal;
                            return ok;
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
            return std::make_unique<Signalling>(S, settings, c, stop);
        };
        std::vector<std::string> args = c.Args;
        args.insert(args.end(), {"/mandant", "M"});
        const TBatchResult r = RunCommandLine(args, factory, &stop);
        EXPECT_EQ(S.Calls, c.Calls);
        EXPECT_EQ(r.ExitCode, c.ExitCode);
        const Lines log = LogLines();
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
