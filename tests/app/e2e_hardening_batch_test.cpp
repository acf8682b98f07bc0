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
        Log = test::ReadBatchLog(ChangeFileExt(Ini, ".log"));
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
    EXPECT_THAT(Lines(" erzeugt: "), ElementsAre(StartsWith("RE/2024/17 erzeugt: "), StartsWith("RE/2024/17 erzeugt: ")));
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
    for (const Case c : {Case{SIGTERM, 143}, Case{SIGINT, 130}}) {
        SCOPED_TRACE(c.Signal);
        fs::remove_all(Out);
        ForceDirectories(Out);
        // Left by a run that was killed while writing; nobody has touched it since.
        const std::string stale = Out + "/.Rechnung_RE24-0005.pdf.1234567890.tmp";
        WriteFileBytes(stale, std::string(100000, 'x'));
        fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(1));

        const std::vector<std::string> numbers = test::DemoInvoiceNumbers(Db, "Muster GmbH");
        std::vector<std::string> all;
        for (int round = 0; round < 20; ++round) all.insert(all.end(), numbers.begin(), numbers.end());
        const pid_t pid = Start(InvoiceArgs(all));
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
        EXPECT_EQ(std::stoul(m[2]), all.size());
        EXPECT_GE(done, 2u);
        EXPECT_LT(done, all.size());
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

} // namespace
} // namespace velkaro
