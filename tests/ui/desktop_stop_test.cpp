// The desktop at logout or shutdown: a stop signal during a production run ends the
// program in order, in a desktop process of its own (desktop_stop_probe).
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QTimer>

#include "app/generate_demo_setup.h"
#include "config/settings.h"
#include "platform/files.h"
#include "support/test_support.h"
#include "ui/session_end.h"
#include "ui/stop_signals.h"

using namespace velkaro;

namespace {

using Clock = std::chrono::steady_clock;

// The probe with its standard output on a pipe and its standard error in a file.
class TProbe {
public:
    TProbe(const std::string& ini, const std::string& count, const std::string& folder, const std::string& errFile,
           const char* mode = nullptr) {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        FPid = fork();
        if (FPid == 0) {
            dup2(out[1], STDOUT_FILENO);
            const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(err, STDERR_FILENO);
            close(out[0]);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
            execl(VELKARO_STOP_PROBE, VELKARO_STOP_PROBE, ini.c_str(), count.c_str(), mode, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        FOut = fdopen(out[0], "r");
    }
    ~TProbe() {
        if (FPid > 0 && !FEnded) {
            kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
        }
        if (FOut) fclose(FOut);
    }

    // The next line of its standard output; "" at its end.
    std::string Line() {
        char buffer[256];
        if (!fgets(buffer, sizeof buffer, FOut)) return "";
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        return line;
    }
    void Signal(int signal) const { kill(FPid, signal); }
    // Waits up to `limit` for the end; its wait status, or -1 when it still runs.
    int Wait(std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        int status = 0;
        while (Clock::now() < end) {
            if (waitpid(FPid, &status, WNOHANG) == FPid) {
                FEnded = true;
                return status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

private:
    pid_t FPid = -1;
    FILE* FOut = nullptr;
    bool FEnded = false;
};

TEST(DesktopStopSignals, SigtermDuringAProductionRunOfFiftyDocumentsEndsInOrder) {
    if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
    test::TempFolder dir;
    const std::string db = dir.File("bulk.db");
    std::string output;
    ASSERT_EQ(test::RunCommand("bash '" + test::SourceDir() + "/demo/make-bulk-db.sh' 60 '" + db + "'", output), 0)
        << output;
    const std::string ini = dir.File("velkaro.ini");
    const std::string out = dir.File("Ausgabe");
    test::WriteProductionSettings(ini, db, out, {{"Ausgabe", "XmlSpeichern", "0"}});
    const std::string errFile = dir.File("stderr.txt");

    TProbe probe(ini, "50", dir.Path(), errFile);
    std::string line = probe.Line();
    ASSERT_TRUE(line.starts_with("GEFUNDEN ")) << line << "\n" << ReadTextFile(errFile);
    ASSERT_GE(std::stoi(line.substr(9)), 50);
    ASSERT_EQ(probe.Line(), "LAUF") << ReadTextFile(errFile);

    const auto signalled = Clock::now();
    probe.Signal(SIGTERM);
    const int status = probe.Wait(std::chrono::seconds(10));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - signalled);
    const std::string err = ReadTextFile(errFile);
    ASSERT_NE(status, -1) << "still running 10 s after SIGTERM\n" << err;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << err;
    EXPECT_LT(took.count(), 10000);

    // The run finished its document and said how far it came; the lines reach standard
    // error, as the window is gone.
    EXPECT_NE(err.find("Velkaro: SIGTERM erhalten, das Programm wird geordnet beendet."), std::string::npos) << err;
    const size_t stopped = err.find("Abgebrochen nach ");
    ASSERT_NE(stopped, std::string::npos) << err;
    const int done = std::stoi(err.substr(stopped + 17));
    EXPECT_NE(err.find(" von 50 Rechnungen.", stopped), std::string::npos) << err;
    EXPECT_GE(done, 1);
    EXPECT_LT(done, 50);
    EXPECT_NE(err.find("Fertig: " + std::to_string(done) + " erzeugt, 0 Fehler."), std::string::npos) << err;
    size_t pdfs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out))
        if (entry.path().extension() == ".pdf") ++pdfs;
    EXPECT_EQ(pdfs, static_cast<size_t>(done));

    // User values and the window's state are saved.
    EXPECT_TRUE(TSettings(ini).SaveXml);
    EXPECT_EQ(TSettings(ini).Company, "Muster GmbH");
    EXPECT_NE(ReadTextFile(dir.File("Velkaro/velkaro.conf")).find("Hauptfenster"), std::string::npos);
}

// A window whose event loop is held up when the signal comes still ends within 10 s,
// without its orderly end.
TEST(DesktopStopSignals, AHeldUpWindowEndsAfterTheGraceTime) {
    if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
    test::TempFolder dir;
    const std::string ini = dir.File("velkaro.ini");
    test::WriteProductionSettings(ini, test::ProductionDatabase(), dir.File("Ausgabe"));
    const std::string errFile = dir.File("stderr.txt");
    TProbe probe(ini, "0", dir.Path(), errFile, "haengt");
    ASSERT_EQ(probe.Line(), "LAUF") << ReadTextFile(errFile);
    probe.Signal(SIGTERM);
    const int status = probe.Wait(std::chrono::seconds(10));
    const std::string err = ReadTextFile(errFile);
    ASSERT_NE(status, -1) << "still running 10 s after SIGTERM\n" << err;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) << status << "\n" << err;
    EXPECT_NE(err.find("Velkaro: das geordnete Ende dauert zu lange, das Programm endet sofort."), std::string::npos)
        << err;
}

// A window that records when it was told that the session ends.
template <class TWindow> class TRecordingWindow : public TWindow, public TSessionEndHandler {
public:
    TRecordingWindow(std::vector<std::string>& ended, std::string name, QWidget* parent = nullptr)
        : TWindow(parent), FEnded(ended), FName(std::move(name)) {}
    void EndSession() override { FEnded.push_back(FName + (this->isVisible() ? " offen" : " zu")); }

private:
    std::vector<std::string>& FEnded;
    std::string FName;
};

// The order at the end: a dialog opened from the main window (modal, waiting in its own
// event loop), one opened from that dialog, then the main window; each is told while it
// is still open, then all close and every event loop ends.
TEST(DesktopStopSignals, DialogsEndBeforeTheirOwnersThenAllClose) {
    std::vector<std::string> ended;
    TRecordingWindow<QMainWindow> main(ended, "Hauptfenster");
    main.show();
    TRecordingWindow<QDialog> dialog(ended, "Dialog", &main);
    TRecordingWindow<QDialog> inner(ended, "Unterdialog", &dialog);
    QWidget plain;  // a window without a handler just closes
    plain.show();
    int dialogResult = -1;
    QTimer::singleShot(0, &main, [&] {
        QTimer::singleShot(0, &dialog, [&] {
            inner.show();
            EndDesktopSession();
        });
        dialogResult = dialog.exec();
    });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(ended, (std::vector<std::string>{"Unterdialog offen", "Dialog offen", "Hauptfenster offen"}));
    EXPECT_EQ(dialogResult, QDialog::Rejected);
    EXPECT_FALSE(main.isVisible());
    EXPECT_FALSE(inner.isVisible());
    EXPECT_FALSE(plain.isVisible());
}

} // namespace
