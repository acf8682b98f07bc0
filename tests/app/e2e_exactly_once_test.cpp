// The built program mailing against the local fake of the identity platform and Graph
// when things break around a send: the answer lost after the service took the mail, the
// run killed during a slow send, a sent log that cannot be written or whose disk fills
// up, settings named through a link while another run works, a stop signal while
// waiting for that run. Each invoice goes out once, and every mail that went out is in
// the sent log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "demo_mail_setup.h"
#include "fake_graph_service.h"
#include "generate_demo_setup.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/ini_edit.h"
#include "platform/text.h"
#include "support/test_support.h"

extern char** environ;

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
using test::TFakeGraphService;
using test::TRecordedRequest;
using test::TServerReply;
using Clock = std::chrono::steady_clock;

// The invoices of the demo week 04.03.2024 to 07.03.2024.
const std::vector<std::string> kWeek{"/von", "04.03.2024", "/bis", "07.03.2024", "/neu", "/mail"};
const std::string kCheckSentItems = "; in „Gesendete Elemente“ prüfen, dann /erneut";

// The invoice number of a mail, by its PDF ("Rechnung_RE24-0001.pdf").
std::string NumberOf(const test::TReceivedMail& mail) {
    for (const auto& a : mail.Attachments)
        if (a.Name.ends_with(".pdf")) return a.Name.substr(a.Name.find('_') + 1, a.Name.size() - a.Name.find('_') - 5);
    return "?";
}

bool IsMailOf(const TRecordedRequest& r, const std::string& number) {
    return TFakeGraphService::IsSendMail(r) && NumberOf(test::ParseSendMail(r.Body)) == number;
}

// Waits up to a minute for `done`.
bool WaitFor(const std::function<bool()>& done) {
    const Clock::time_point until = Clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A file system mounted for one test (root only), unmounted at the end.
class TMount {
public:
    TMount(const std::string& target, const std::string& type, const std::string& source, unsigned long flags,
           const std::string& options)
        : FTarget(target) {
        FMounted = ::mount(source.c_str(), target.c_str(), type.empty() ? nullptr : type.c_str(), flags,
                           options.empty() ? nullptr : options.c_str()) == 0;
    }
    ~TMount() {
        if (FMounted) ::umount2(FTarget.c_str(), MNT_DETACH);
    }
    TMount(const TMount&) = delete;
    TMount& operator=(const TMount&) = delete;
    bool Mounted() const { return FMounted; }
    bool Remount(unsigned long flags) {
        return ::mount(nullptr, FTarget.c_str(), nullptr, MS_REMOUNT | flags, nullptr) == 0;
    }

private:
    std::string FTarget;
    bool FMounted = false;
};

class ExactlyOnce : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(test::VelkaroProgram()))
            VELKARO_SKIP_UNLESS_CI() << "program not built: " << test::VelkaroProgram();
    }

    // Starts the program on `ini`; its output goes to files named after `tag`.
    pid_t Start(const std::vector<std::string>& args, const std::string& ini = "", const std::string& tag = "run") {
        std::vector<std::string> argvText{test::VelkaroProgram()};
        argvText.insert(argvText.end(), args.begin(), args.end());
        std::vector<std::string> envText;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (!entry.starts_with("VELKARO_INI=") && !entry.starts_with("XDG_CONFIG_HOME=") &&
                !entry.starts_with("LC_ALL="))
                envText.push_back(entry);
        }
        envText.insert(envText.end(), {"VELKARO_INI=" + (ini.empty() ? Ini : ini), "XDG_CONFIG_HOME=" + Dir.Path(),
                                       "LC_ALL=C.UTF-8"});
        std::vector<char*> argv, envp;
        for (const std::string& a : argvText) argv.push_back(const_cast<char*>(a.c_str()));
        for (const std::string& e : envText) envp.push_back(const_cast<char*>(e.c_str()));
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const std::string outFile = Dir.File(tag + ".out"), errFile = Dir.File(tag + ".err");
        const std::string folder = Dir.Path();
        const pid_t pid = fork();
        if (pid == 0) {  // only async-signal-safe calls until exec
            const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || err < 0 || chdir(folder.c_str()) != 0) _exit(126);
            dup2(out, 1);
            dup2(err, 2);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        return pid;
    }
    // Waits for the program and reads what it left. ExitCode is -signal when a signal ended it.
    void Finish(pid_t pid, const std::string& tag = "run") {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
        Stdout = ReadFileBytes(Dir.File(tag + ".out"));
        Stderr = ReadFileBytes(Dir.File(tag + ".err"));
        Log = ReadLog && FileExists(LogFile) ? test::BatchLogBody(test::ReadBatchLog(LogFile))
                                             : std::vector<std::string>{};
    }
    // Off where a full disk may cut the batch log's last line short.
    bool ReadLog = true;
    void Run(const std::vector<std::string>& args) { Finish(Start(args)); }

    std::vector<std::string> Lines(const std::string& text) const {
        std::vector<std::string> out;
        for (const std::string& line : Log)
            if (line.find(text) != std::string::npos) out.push_back(line);
        return out;
    }
    // The sent log's entries (no header), split into their fields.
    std::vector<std::vector<std::string>> SentLog() const {
        std::vector<std::vector<std::string>> rows;
        if (!FileExists(SentLogFile)) return rows;
        for (const std::string& line : test::ReadCrLfLines(SentLogFile))
            if (!line.empty() && !line.starts_with("Zeitpunkt")) rows.push_back(Split(line, ';'));
        return rows;
    }
    // The last entry of each invoice: status and id.
    std::map<std::string, std::pair<std::string, std::string>> LastEntries() const {
        std::map<std::string, std::pair<std::string, std::string>> last;
        for (const auto& row : SentLog())
            if (row.size() >= 7) last[row[2]] = {row[4], row[6]};
        return last;
    }
    static std::vector<std::string> MailedNumbers(const TFakeGraphService& fake) {
        std::vector<std::string> numbers;
        for (const auto& mail : fake.Mails()) numbers.push_back(NumberOf(mail));
        return numbers;
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out = Dir.File("out");
    std::string LogFile = Dir.File("velkaro.log");
    std::string SentLogFile = Dir.File("velkaro.versand.csv");
    int ExitCode = -1;
    std::string Stdout, Stderr;
    std::vector<std::string> Log;
};

// The service took the mail, then the connection broke: "UNKLAR". The catch-up job that
// follows lists it and sends nothing twice; "/erneut" is the user's word to send it.
TEST_F(ExactlyOnce, AMailWhoseAnswerWasLostIsNeverSentAgainUnasked) {
    TFakeGraphService* service = nullptr;
    int lost = 0;  // the server's thread only
    TFakeGraphService fake([&](const TRecordedRequest& r) -> std::optional<TServerReply> {
        if (!IsMailOf(r, "RE24-0002") || lost++ > 0) return std::nullopt;
        TServerReply reply = service->Serve(r);  // taken ...
        reply.HangUp = true;                     // ... and the answer lost
        return reply;
    });
    service = &fake;
    // Not kept in "Sent Items": nothing there tells what happened.
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl(), "InGesendeteSpeichern=0\n");
    Run(kWeek);
    EXPECT_EQ(ExitCode, 1) << Stderr;
    EXPECT_EQ(Stdout, "Ende: 3 erzeugt, 2 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund, 1 unklar\n");
    EXPECT_THAT(Lines("UNKLAR Versand RE24-0002: "),
                ElementsAre(StartsWith("UNKLAR Versand RE24-0002: Ob die Mail versendet wurde, ist unklar: ")));
    EXPECT_THAT(MailedNumbers(fake), ElementsAre("RE24-0001", "RE24-0002", "RE24-0003"));
    EXPECT_EQ(LastEntries()["RE24-0002"].first, "UNKLAR");
    EXPECT_EQ(LastEntries()["RE24-0002"].second, fake.Mails()[1].MailId);

    // The catch-up job: nothing goes out twice, the open mail is named.
    for (int round = 0; round < 2; ++round) {
        Run(kWeek);
        EXPECT_EQ(ExitCode, 1) << Stderr;
        EXPECT_EQ(fake.Mails().size(), 3u) << "no second delivery";
        EXPECT_EQ(Stdout, "Ende: 0 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund, 1 unklar\n");
        ASSERT_EQ(Lines("  Unklar ").size(), 1u);
        EXPECT_THAT(Lines("  Unklar ")[0],
                    ::testing::MatchesRegex("  Unklar RE24-0002: Versand vom [0-9.]+ [0-9:]+ an "
                                            "rechnungseingang@musterkreis.de, kaemmerei@musterkreis.de ohne Ergebnis "
                                            "\\(UNKLAR\\), in „Gesendete Elemente“ nicht gefunden" +
                                            kCheckSentItems));
    }

    // Checked by hand, sent again on purpose: named, or with "/erneut".
    Run({"/rg", "RE24-0002", "/mail"});
    EXPECT_EQ(ExitCode, 0) << Stderr;
    EXPECT_THAT(MailedNumbers(fake), ElementsAre("RE24-0001", "RE24-0002", "RE24-0003", "RE24-0002"));
    EXPECT_EQ(LastEntries()["RE24-0002"].first, "OK");
}

// Killed (SIGKILL, as systemd does after its stop timeout) while the service answers
// slowly: the mail in flight is entered "LAUFEND"; the next run finds it in "Sent Items"
// by its id, records it as sent and mails only the others.
TEST_F(ExactlyOnce, AMailInFlightWhenTheRunIsKilledIsFoundAndNotSentTwice) {
    TFakeGraphService* service = nullptr;
    TFakeGraphService fake([&](const TRecordedRequest& r) -> std::optional<TServerReply> {
        if (!IsMailOf(r, "RE24-0001") || service->Mails().size() > 1) return std::nullopt;
        TServerReply reply = service->Serve(r);
        reply.BytesPerSecond = 2;  // the 202 takes a minute to arrive
        return reply;
    });
    service = &fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    const pid_t pid = Start(kWeek);
    ASSERT_TRUE(WaitFor([&] { return fake.Mails().size() == 1; }));
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    Finish(pid);
    ASSERT_EQ(ExitCode, -SIGKILL);
    EXPECT_EQ(LastEntries()["RE24-0001"].first, "LAUFEND") << "entered before it was handed over";
    EXPECT_EQ(LastEntries()["RE24-0001"].second, fake.Mails()[0].MailId);

    Run(kWeek);
    EXPECT_EQ(ExitCode, 0) << Stderr;
    EXPECT_THAT(MailedNumbers(fake), ElementsAre("RE24-0001", "RE24-0002", "RE24-0003"));
    ASSERT_EQ(Lines("  RE24-0001 übersprungen: ").size(), 1u);
    EXPECT_THAT(Lines("  RE24-0001 übersprungen: ")[0],
                ::testing::MatchesRegex("  RE24-0001 übersprungen: Mail vom [0-9.]+ [0-9:]+ in „Gesendete Elemente“ "
                                        "gefunden, gilt als versendet \\(erneut mit /erneut\\)"));
    EXPECT_EQ(Stdout, "Ende: 2 erzeugt, 2 versendet, 1 übersprungen, 0 Fehler, 0 mit Befund\n");
    EXPECT_EQ(LastEntries()["RE24-0001"], std::make_pair(std::string("OK"), fake.Mails()[0].MailId));

    Run(kWeek);
    EXPECT_EQ(fake.Mails().size(), 3u);
    EXPECT_EQ(Stdout, "Ende: 0 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund\n");
}

// A sent log this account cannot write: nothing is sent, not even a sign-in is made, and
// the run ends with 3. As root, file modes stop no one: the file is mounted read-only.
TEST_F(ExactlyOnce, AnUnwritableSentLogSendsNothing) {
    TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    WriteFileBytes(SentLogFile, std::string(kUtf8Bom) + "Zeitpunkt;Mandant;Rechnung;Empfaenger;Status;Info\r\n");
    std::unique_ptr<TMount> readOnly;
    if (geteuid() == 0) {
        readOnly = std::make_unique<TMount>(SentLogFile, "", SentLogFile, MS_BIND, "");
        ASSERT_TRUE(readOnly->Mounted() && readOnly->Remount(MS_BIND | MS_RDONLY)) << std::strerror(errno);
    } else {
        fs::permissions(SentLogFile, fs::perms::owner_read);
    }
    Run(kWeek);
    EXPECT_EQ(ExitCode, 3);
    EXPECT_THAT(Stderr, HasSubstr("Das Versandprotokoll ist nicht beschreibbar, es wird nichts versendet: Datei \"" +
                                  SentLogFile + "\" kann nicht geschrieben werden ("));
    EXPECT_THAT(fake.Requests(), IsEmpty()) << "neither a mail nor a sign-in";
    EXPECT_EQ(Stdout, "") << "a run that could not do its work prints no end line";
}

// The disk of the state folder fills up while mailing: the run stops at the first entry
// that cannot be written, naming the invoice; every mail that went out is in the sent
// log. With room again, the catch-up job mails the rest, each invoice exactly once.
TEST_F(ExactlyOnce, AFullDiskStopsTheMailingAndLeavesNothingUnrecorded) {
    if (geteuid() != 0) VELKARO_SKIP_UNLESS_CI() << "mounting a small file system needs root";
    TFakeGraphService fake;
    const std::string state = Dir.File("zustand");
    ForceDirectories(state);
    TMount disk(state, "tmpfs", "velkaro-test", 0, "size=64k,mode=0755");
    ASSERT_TRUE(disk.Mounted()) << std::strerror(errno);
    // Two pages left, for the batch log and the sent log: room for about a dozen mails.
    WriteFileBytes(state + "/fuellung", std::string(14 * 4096, 'f'));
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    TIniTextEditor settings(ReadFileBytes(Ini));
    settings.Set("Ausgabe", "Datenordner", state);
    WriteFileBytes(Ini, settings.Text());
    LogFile = state + "/velkaro.log";
    SentLogFile = state + "/velkaro.versand.csv";
    ReadLog = false;
    const std::vector<std::string> all{"/neu", "/mail"};
    Run(all);
    EXPECT_EQ(ExitCode, 1) << Stderr;  // mails went out before it stopped
    EXPECT_THAT(Stderr, HasSubstr("Das Versandprotokoll ist nicht beschreibbar ("));
    EXPECT_THAT(Stderr, HasSubstr("Der Versand ist angehalten."));
    const std::vector<std::string> first = MailedNumbers(fake);
    ASSERT_GT(first.size(), 3u);
    const std::string logText = ReadFileBytes(SentLogFile);
    for (const auto& mail : fake.Mails()) EXPECT_THAT(logText, HasSubstr(";" + mail.MailId + "\r\n")) << NumberOf(mail);
    EXPECT_EQ(logText.back(), '\n') << "no line cut short";

    fs::remove(state + "/fuellung");
    Run(all);  // exit code 1 all the same: an invoice of the demo has no address
    EXPECT_THAT(Stderr, Not(HasSubstr("Versandprotokoll"))) << Stderr;
    const std::vector<std::string> numbers = MailedNumbers(fake);
    ASSERT_GT(numbers.size(), first.size()) << "the rest went out";
    EXPECT_EQ(std::set<std::string>(numbers.begin(), numbers.end()).size(), numbers.size()) << "each once";
    Run(all);
    EXPECT_EQ(fake.Mails().size(), numbers.size());
}

// Settings named through a link and by their own name are one settings file: one lock,
// one sent log. Two catch-up jobs at once mail each invoice once.
TEST_F(ExactlyOnce, SettingsThroughALinkShareLockAndSentLog) {
    TFakeGraphService* service = nullptr;
    TFakeGraphService fake([&](const TRecordedRequest& r) -> std::optional<TServerReply> {
        if (!TFakeGraphService::IsSendMail(r)) return std::nullopt;
        TServerReply reply = service->Serve(r);
        reply.BytesPerSecond = 100;  // a second per mail: the runs overlap
        return reply;
    });
    service = &fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    const std::string link = Dir.File("link.ini");
    ASSERT_EQ(::symlink(Ini.c_str(), link.c_str()), 0);
    const pid_t first = Start(kWeek, link, "first");
    ASSERT_TRUE(WaitFor([&] { return !fake.Mails().empty(); }));
    const pid_t second = Start(kWeek, Ini, "second");
    Finish(first, "first");
    EXPECT_EQ(ExitCode, 0) << Stderr;
    Finish(second, "second");
    EXPECT_EQ(ExitCode, 0) << Stderr;
    EXPECT_THAT(Stderr, HasSubstr("Ein anderer Lauf mit denselben Einstellungen arbeitet gerade"));
    EXPECT_EQ(Stdout, "Ende: 0 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund\n");
    EXPECT_THAT(MailedNumbers(fake), ElementsAre("RE24-0001", "RE24-0002", "RE24-0003"));
    for (const char* name : {"link.lock", "link.log", "link.versand.csv"}) EXPECT_FALSE(FileExists(Dir.File(name))) << name;
}

// SIGTERM or SIGINT while waiting for another run's lock ends the run at once, with
// nothing begun; the program can leave no core file with its secrets.
TEST_F(ExactlyOnce, AStopSignalWhileWaitingForTheLockEndsTheRunAtOnce) {
    TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    TFileLock held(Dir.File("velkaro.lock"));
    ASSERT_TRUE(held.Acquire(std::chrono::milliseconds(0)));
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        fs::remove(Dir.File("run.err"));  // the wait notice of the run before must not count
        const pid_t pid = Start(kWeek);
        ASSERT_TRUE(WaitFor([&] {
            const std::string err = Dir.File("run.err");
            return FileExists(err) && ReadFileBytes(err).find("warte bis zu") != std::string::npos;
        }));
        EXPECT_THAT(ReadFileBytes("/proc/" + std::to_string(pid) + "/limits"),
                    ::testing::ContainsRegex("Max core file size +0 +0 "));
        const Clock::time_point sent = Clock::now();
        ASSERT_EQ(kill(pid, signal), 0);
        Finish(pid);
        EXPECT_LT(Clock::now() - sent, std::chrono::seconds(3));
        EXPECT_EQ(ExitCode, 128 + signal);
        EXPECT_THAT(Stderr, HasSubstr("Abgebrochen beim Warten auf einen anderen Lauf mit denselben Einstellungen"));
        EXPECT_EQ(Stdout, "");
        EXPECT_FALSE(FileExists(LogFile)) << "nothing begun";
        EXPECT_THAT(fake.Requests(), IsEmpty());
    }
}

} // namespace
} // namespace velkaro
