// Stop signals into the event loop through a self-pipe.
#include "ui/stop_signals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "ui/session_end.h"

namespace velkaro {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// What the signal handler may touch: the pipe's write end and the first signal. Only
// one TStopSignals exists at a time; it sets them up and clears them.
std::atomic<int> gWakeFd{-1};
std::atomic<int> gWatchFd{-1};
std::atomic<int> gFirstSignal{0};
struct sigaction gPrevious[3];

void OnStopSignal(int signal) {
    int expected = 0;
    if (!gFirstSignal.compare_exchange_strong(expected, signal)) _exit(128 + signal);  // the second: at once
    const unsigned char byte = static_cast<unsigned char>(signal);
    for (const int fd : {gWatchFd.load(), gWakeFd.load()})
        if (fd >= 0) (void)!write(fd, &byte, 1);
}

const char* SignalName(int signal) {
    switch (signal) {
        case SIGTERM: return "SIGTERM";
        case SIGINT: return "SIGINT";
        case SIGHUP: return "SIGHUP";
        default: return "Signal";
    }
}

// Dialogs before main windows, and a window opened from another before its owner.
int EndOrder(const QWidget* window) {
    int depth = 0;
    for (const QWidget* owner = window->parentWidget(); owner; owner = owner->window()->parentWidget()) ++depth;
    return (qobject_cast<const QDialog*>(window) ? 1000 : 0) + depth;
}

} // namespace

void EndDesktopSession() {
    std::vector<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) windows.push_back(w);
    std::stable_sort(windows.begin(), windows.end(),
                     [](const QWidget* a, const QWidget* b) { return EndOrder(a) > EndOrder(b); });
    for (QWidget* w : windows)
        if (auto* handler = dynamic_cast<TSessionEndHandler*>(w)) handler->EndSession();
    for (QWidget* w : windows) {
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->reject();
        else
            w->close();
    }
    QCoreApplication::exit(0);
}

TStopSignals::TStopSignals(std::chrono::milliseconds grace, QObject* parent) : QObject(parent), FGrace(grace) {
    if (pipe2(FPipe, O_CLOEXEC | O_NONBLOCK) != 0 || pipe2(FWatchPipe, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "Velkaro: Stoppsignale werden nicht abgefangen (%s).\n", std::strerror(errno));
        for (int* fds : {FPipe, FWatchPipe})
            for (int i = 0; i < 2; ++i)
                if (fds[i] >= 0) close(std::exchange(fds[i], -1));
        return;
    }
    gFirstSignal = 0;
    gWakeFd = FPipe[1];
    gWatchFd = FWatchPipe[1];
    FWatchdog = std::thread([this] { Watch(); });
    FNotifier = new QSocketNotifier(FPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { Arrived(); });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &action, &gPrevious[i]);
}

TStopSignals::~TStopSignals() {
    if (FPipe[0] < 0) return;
    for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &gPrevious[i], nullptr);
    gWakeFd = -1;
    gWatchFd = -1;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FFinished = true;
    }
    FDone.notify_all();
    const unsigned char wake = 0;
    (void)!write(FWatchPipe[1], &wake, 1);
    if (FWatchdog.joinable()) FWatchdog.join();
    for (int* fds : {FPipe, FWatchPipe}) {
        close(fds[0]);
        close(fds[1]);
    }
}

void TStopSignals::Arrived() {
    unsigned char byte = 0;
    while (read(FPipe[0], &byte, 1) == 1) {
    }
    if (FReceived != 0) return;
    FReceived = gFirstSignal.load();
    std::fprintf(stderr, "Velkaro: %s erhalten, das Programm wird geordnet beendet.\n", SignalName(FReceived));
    EndDesktopSession();
}

// Ends the program when the orderly end is not done within the grace time after the
// signal, also when the event loop is held up (a database that does not answer).
void TStopSignals::Watch() {
    unsigned char byte = 0;
    while (read(FWatchPipe[0], &byte, 1) < 0 && errno == EINTR) {
    }
    std::unique_lock<std::mutex> lock(FMutex);
    if (FDone.wait_for(lock, FGrace, [this] { return FFinished; })) return;
    std::fputs("Velkaro: das geordnete Ende dauert zu lange, das Programm endet sofort.\n", stderr);
    std::_Exit(128 + gFirstSignal.load());
}

} // namespace velkaro
