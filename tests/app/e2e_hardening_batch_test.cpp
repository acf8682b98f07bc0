// The built program in batch runs that go wrong around it: forged log lines, invoice
// numbers that give one file name, a database another program keeps locked, a run
// stopped by a signal and the half-written files of a killed run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "generate_demo_setup.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/sqlite_writer_lock.h"
#include "support/test_support.h"

extern char** environ;

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// What an attacker would like to see in the log: a line of its own that reports a
// produced invoice.
const std::string kForged = "2024-03-05 14:07:09 RE24-0099 erzeugt: /tmp/Rechnung_RE24-0099.pdf";

void RunSql(const std::string& database, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

class HardenedBatch : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(test::VelkaroProgram()))
            VELKARO_SKIP_UNLESS_CI() << "Programm nicht gebaut: " << test::VelkaroProgram();
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        WriteFileBytes(Db, ReadFileBytes(test::ProductionDatabase()));
        test::WriteProductionSettings(Ini, Db, Out);
    }

    // The process environment plus the settings of this test.
    std::vector<std::string> Environment() const {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (!entry.starts_with("VELKARO_INI=") && !entry.starts_with("XDG_CONFIG_HOME=") &&
                !entry.starts_with("LC_ALL="))
                env.push_back(entry);
        }
        env.insert(env.end(), {"VELKARO_INI=" + Ini, "XDG_CONFIG_HOME=" + Dir.Path(), "LC_ALL=C.UTF-8"});
        return env;
    }

    // Starts the program in the test folder, stdout and stderr into files.
    pid_t Start(const std::vector<std::string>& args) {
        std::vector<std::string> argvText{test::VelkaroProgram()};
        argvText.insert(argvText.end(), args.begin(), args.end());
        const std::vector<std::string> envText = Environment();
        std::vector<char*> argv, envp;
        for (const std::string& a : argvText) argv.push_back(const_cast<char*>(a.c_str()));
        for (const std::string& e : envText) envp.push_back(const_cast<char*>(e.c_str()));
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const std::string errFile = Dir.File("stderr.txt");
        const std::string folder = Dir.Path();
        const pid_t pid = fork();
        if (pid == 0) {  // only async-signal-safe calls until exec
            const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null = open("/dev/null", O_WRONLY);
            if (err < 0 || null < 0 || chdir(folder.c_str()) != 0) _exit(126);
            dup2(null, 1);
            dup2(err, 2);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        return pid;
    }
    // Waits for the program and reads what it left: exit code, stderr, batch log.
    void Finish(pid_t pid) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        Stderr = ReadFileBytes(Dir.File("stderr.txt"));
        Log = test::BatchLogBody(test::ReadBatchLog(ChangeFileExt(Ini, ".log")));
    }
    void Run(const std::vector<std::string>& args) { Finish(Start(args)); }

    static std::vector<std::string> InvoiceArgs(const std::vector<std::string>& numbers) {
        std::vector<std::string> args;
        for (const std::string& no : numbers) args.insert(args.end(), {"/rg", no});
        return args;
    }
    std::vector<std::string> Lines(const std::string& text) const {
        std::vector<std::string> out;
        for (const std::string& line : Log)
            if (line.find(text) != std::string::npos) out.push_back(line);
        return out;
    }
    // Copies of RE24-0001 (posted 04.03.2024) numbered K0001 …, for long runs.
    void AddCopiesOfRE24_0001(int count) {
        RunSql(Db, "CREATE TEMP TABLE n(i);"
                   "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " + std::to_string(count) +
                   ") INSERT INTO n SELECT i FROM c;"
                   "CREATE TEMP TABLE h AS SELECT x.*, n.i AS copy FROM \"Muster GmbH$Sales Invoice Header\" x, n "
                   "WHERE x.[No_] = 'RE24-0001';"
                   "UPDATE h SET [No_] = printf('K%04d', copy); ALTER TABLE h DROP COLUMN copy;"
                   "INSERT INTO \"Muster GmbH$Sales Invoice Header\" SELECT * FROM h;"
                   "CREATE TEMP TABLE l AS SELECT x.*, n.i AS copy FROM \"Muster GmbH$Sales Invoice Line\" x, n "
                   "WHERE x.[Document No_] = 'RE24-0001';"
                   "UPDATE l SET [Document No_] = printf('K%04d', copy); ALTER TABLE l DROP COLUMN copy;"
                   "INSERT INTO \"Muster GmbH$Sales Invoice Line\" SELECT * FROM l;");
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        if (!DirectoryExists(Out)) return names;
        for (const auto& entry : fs::directory_iterator(Out)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::string Db = Dir.File("nav.db");
    std::string Out = Dir.File("ausgabe");
    int ExitCode = -1;
    std::string Stderr;
    std::vector<std::string> Log;
};

// A line break typed into an invoice number, and one stored in the database that ends
// up in an error message, each stay inside their own log line.
TEST_F(HardenedBatch, LineBreaksFromCommandLineAndDatabaseNeverForgeALogLine) {
    RunSql(Db, "UPDATE \"Muster GmbH$Sales Invoice Header\" SET [Payment Discount _] = 'x' || char(13, 10) || " +
                   std::string("'") + kForged + "' WHERE [No_] = 'RE24-0002';");
    Run(InvoiceArgs({"RE24-0001", "RE24-0002", "RE24-0003\n" + kForged}));

    EXPECT_EQ(ExitCode, 1) << Stderr;
    for (const std::string& line : Log) EXPECT_FALSE(line.starts_with(kForged.substr(20))) << line;
    EXPECT_THAT(Lines(" erzeugt: "), ElementsAre(StartsWith("RE24-0001 erzeugt: "), HasSubstr(kForged),
                                                 HasSubstr(kForged)));
    EXPECT_THAT(Lines("FEHLER"),
                ElementsAre("FEHLER RE24-0002: Der Wert „x " + kForged + "“ der Spalte „Payment Discount _“ ist keine Zahl.",
                            "FEHLER RE24-0003 " + kForged + ": Rechnung RE24-0003 " + kForged + " nicht gefunden"));
    EXPECT_THAT(Files(), ElementsAre("Rechnung_RE24-0001.pdf"));
}

// Messages on stderr stay one line each, whatever text they carry (here the path of the
// log file, which follows the settings file).
TEST_F(HardenedBatch, StderrKeepsEachMessageOnOneLine) {
    Ini = Dir.File("a\nVelkaro: alles erledigt/velkaro.ini");
    ForceDirectories(ExtractFilePath(Ini));
    test::WriteProductionSettings(Ini, Db, Out);
    Run(InvoiceArgs({"RE99-9999"}));
    EXPECT_EQ(ExitCode, 1);
    EXPECT_EQ(Stderr, "Velkaro: 1 Rechnung(en) fehlgeschlagen, Einzelheiten im Protokoll " + Dir.Path() +
                          "a Velkaro: alles erledigt/velkaro.log\n");
}

TEST_F(HardenedBatch, NumbersWithTheSameFileNameLeaveTheFirstFileAlone) {
    // A copy of RE/2024/17 under a number that differs only in a character that a file
    // name cannot hold.
    RunSql(Db, "CREATE TEMP TABLE h AS SELECT * FROM \"Muster GmbH$Sales Invoice Header\" WHERE [No_] = 'RE/2024/17';"
               "UPDATE h SET [No_] = 'RE:2024:17';"
               "INSERT INTO \"Muster GmbH$Sales Invoice Header\" SELECT * FROM h;"
               "CREATE TEMP TABLE l AS SELECT * FROM \"Muster GmbH$Sales Invoice Line\" WHERE [Document No_] = 'RE/2024/17';"
               "UPDATE l SET [Document No_] = 'RE:2024:17';"
               "INSERT INTO \"Muster GmbH$Sales Invoice Line\" SELECT * FROM l;");
    Run({"/rg", "RE/2024/17", "/rg", "RE:2024:17", "/rg", "RE/2024/17", "/xml"});

    EXPECT_EQ(ExitCode, 1) << Stderr;
    // The number named twice is produced once.
    EXPECT_THAT(Lines(" erzeugt: "), ElementsAre(StartsWith("RE/2024/17 erzeugt: ")));
    EXPECT_THAT(Lines("FEHLER"), ElementsAre("FEHLER RE:2024:17: Rechnung RE:2024:17 ergibt denselben Dateinamen wie "
                                             "Rechnung RE/2024/17 aus diesem Lauf; " +
                                             Out + "/Rechnung_RE_2024_17.pdf wird nicht überschrieben"));
    EXPECT_THAT(Files(), ElementsAre("Rechnung_RE_2024_17.pdf", "Rechnung_RE_2024_17.xml"));
    const std::string xml = ReadFileBytes(Out + "/Rechnung_RE_2024_17.xml");
    EXPECT_THAT(xml, HasSubstr("<ram:ID>RE/2024/17</ram:ID>"));
    EXPECT_EQ(xml.find("RE:2024:17"), std::string::npos);
}

// Another program writes to the database for a moment as the run starts: the run waits
// for it instead of failing every invoice at once.
TEST_F(HardenedBatch, ADatabaseLockedForAMomentIsWaitedFor) {
    test::TSqliteWriterLock lock(Db);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        lock.Release();
    });
    Run(InvoiceArgs({"RE24-0001", "RE24-0002"}));
    release.join();
    EXPECT_EQ(ExitCode, 0) << Stderr << Join(Log, "\n");
    EXPECT_THAT(Lines(" erzeugt: "), ElementsAre(StartsWith("RE24-0001 erzeugt: "), StartsWith("RE24-0002 erzeugt: ")));
}

// SIGTERM (or SIGINT) in the middle of a long run: the current invoice is finished, the
// rest is left, the log says so at its end, and nothing half-written stays behind.
TEST_F(HardenedBatch, StopSignalFinishesTheCurrentInvoiceAndEndsTheLog) {
    struct Case {
        int Signal;
        int ExitCode;
    };
    constexpr int kCopies = 400;
    AddCopiesOfRE24_0001(kCopies);
    for (const Case c : {Case{SIGTERM, 143}, Case{SIGINT, 130}}) {
        SCOPED_TRACE(c.Signal);
        fs::remove_all(Out);
        ForceDirectories(Out);
        // Left by a run that was killed while writing; nobody has touched it since.
        const std::string stale = Out + "/.Rechnung_RE24-0005.pdf.1234567890.tmp";
        WriteFileBytes(stale, std::string(100000, 'x'));
        fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(1));

        // A long run: the demo invoices, 400 copies of RE24-0001 and the demo's credit
        // memos, selected by date.
        const size_t total =
            test::DemoInvoiceNumbers(Db, "Muster GmbH").size() +
            std::stoul(test::RunSqlite(Db, "SELECT count(*) FROM \"Muster GmbH$Sales Cr_Memo Header\" "
                                           "WHERE [Posting Date] < '2025-01-01';"));
        ASSERT_GT(total, static_cast<size_t>(kCopies));
        const pid_t pid = Start({"/von", "01.01.2000", "/bis", "31.12.2024"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        auto finishedPdfs = [&] {
            const std::vector<std::string> names = Files();
            return std::count_if(names.begin(), names.end(),
                                 [](const std::string& n) { return !n.starts_with(".") && n.ends_with(".pdf"); });
        };
        while (finishedPdfs() < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(kill(pid, c.Signal), 0);
        Finish(pid);

        EXPECT_EQ(ExitCode, c.ExitCode) << Stderr;
        ASSERT_FALSE(Log.empty());
        static const std::regex stopped(R"(^Abgebrochen nach (\d+) von (\d+) Belegen$)");
        std::smatch m;
        ASSERT_TRUE(std::regex_match(Log.back(), m, stopped)) << Log.back();
        const size_t done = std::stoul(m[1]);
        EXPECT_EQ(std::stoul(m[2]), total);
        EXPECT_GE(done, 2u);
        EXPECT_LT(done, total);
        EXPECT_EQ(Lines(" erzeugt: ").size(), done) << "every invoice begun was finished";
        EXPECT_THAT(Lines("FEHLER"), IsEmpty());
        EXPECT_EQ(Lines("Abgebrochen").size(), 1u);
        EXPECT_THAT(Log.front(), HasSubstr("entfernt: " + stale));
        EXPECT_THAT(Stderr, HasSubstr("Velkaro: " + Log.back()));
        for (const std::string& name : Files()) {
            EXPECT_FALSE(name.starts_with(".")) << name;
            const std::string pdf = ReadFileBytes(Out + "/" + name);
            EXPECT_TRUE(pdf.starts_with("%PDF-") && Trim(pdf.substr(pdf.size() - 8)).ends_with("%%EOF")) << name;
        }
    }
}

// A run killed outright (SIGKILL) leaves every line it wrote and no end line, so the log
// shows that it did not finish; the run before it is kept as velkaro.log.1.
TEST_F(HardenedBatch, AKilledRunLeavesALogThatShowsItDidNotFinish) {
    Run({"/rg", "RE24-0002"});
    ASSERT_EQ(ExitCode, 0) << Stderr;
    AddCopiesOfRE24_0001(300);
    const std::string log = ChangeFileExt(Ini, ".log");
    const pid_t pid = Start({"/von", "04.03.2024", "/bis", "04.03.2024"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto producedLines = [&] {
        const std::string text = FileExists(log) ? ReadFileBytes(log) : "";
        size_t n = 0;
        for (size_t at = text.find(" erzeugt: "); at != std::string::npos; at = text.find(" erzeugt: ", at + 1)) ++n;
        return n;
    };
    while (producedLines() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);

    const std::vector<std::string> lines = test::ReadBatchLog(log);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_THAT(lines.front(), StartsWith("Start Velkaro "));
    // RE24-0001, its copies with odd numbers and the 300 new ones.
    EXPECT_EQ(lines[1], "  Datenbank: Microsoft Dynamics NAV 2016 (9.00, Build 47256)");
    EXPECT_THAT(lines[2], ::testing::MatchesRegex("  Auswahl: 3[0-9][0-9] Rechnungen, Buchungsdatum 04.03.2024 bis "
                                                  "04.03.2024"));
    EXPECT_LT(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find(" erzeugt: ") != std::string::npos; }),
              300);
    for (const std::string& line : lines) EXPECT_FALSE(line.starts_with("Ende: ")) << line;
    const std::vector<std::string> before = test::ReadBatchLog(log + ".1");
    ASSERT_FALSE(before.empty());
    EXPECT_THAT(before.back(), StartsWith("Ende: 1 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, "));
}

// Two runs with the same settings at once: the second waits for the first, and both
// logs are complete (the first one as velkaro.log.1).
TEST_F(HardenedBatch, TwoRunsAtOnceTakeTurns) {
    const pid_t first = Start({"/von", "01.03.2024", "/bis", "31.03.2024"});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const pid_t second = Start({"/rg", "RE24-0014"});
    int status = 0;
    ASSERT_EQ(waitpid(first, &status, 0), first);
    EXPECT_TRUE(WIFEXITED(status));
    const int firstExit = WEXITSTATUS(status);
    Finish(second);
    EXPECT_EQ(ExitCode, 0) << Stderr;

    const std::vector<std::string> newer = test::ReadBatchLog(ChangeFileExt(Ini, ".log"));
    const std::vector<std::string> older = test::ReadBatchLog(ChangeFileExt(Ini, ".log") + ".1");
    ASSERT_FALSE(newer.empty());
    ASSERT_FALSE(older.empty());
    // Whichever ran first, each log holds one whole run.
    const std::vector<std::string>& month = older[0].find("Buchungsdatum") != std::string::npos ? older : newer;
    const std::vector<std::string>& one = &month == &older ? newer : older;
    EXPECT_THAT(month.front(), HasSubstr("Auswahl Buchungsdatum 01.03.2024 bis 31.03.2024; erzeugen"));
    // The end line counts what the lines above it say.
    const auto count = [&](const std::string& text) {
        return std::count_if(month.begin(), month.end(),
                             [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    std::set<std::string> withFindings;
    for (const std::string& l : month)
        if (l.starts_with("  Prüfung ")) withFindings.insert(l.substr(0, l.find(':')));
    EXPECT_GE(count(" erzeugt: "), 13);
    EXPECT_EQ(month.back(), "Ende: " + std::to_string(count(" erzeugt: ")) + " erzeugt, 0 versendet, 0 übersprungen, " +
                                std::to_string(count("FEHLER ")) + " Fehler, " + std::to_string(withFindings.size()) +
                                " mit Befund");
    EXPECT_EQ(firstExit, count("FEHLER ") > 0 ? 1 : 0);
    EXPECT_THAT(one.front(), HasSubstr("Auswahl Rechnung RE24-0014; erzeugen"));
    EXPECT_THAT(one.back(), StartsWith("Ende: 1 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, "));
}

} // namespace
} // namespace velkaro
