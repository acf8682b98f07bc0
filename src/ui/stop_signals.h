#pragma once
// The desktop's orderly end at SIGTERM, SIGINT and SIGHUP (logout, shutdown, Ctrl+C):
// the signal reaches the event loop through a pipe, every open window puts its things in
// order (TSessionEndHandler), the windows close and the program ends. A second signal
// ends the program at once; so does the first when the orderly end takes too long.
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class QSocketNotifier;

namespace velkaro {

// Ends the desktop in order: EndSession on every visible top-level window implementing
// TSessionEndHandler, dialogs first (inner before outer), then closes them all and
// leaves every event loop.
void EndDesktopSession();

class TStopSignals : public QObject {
    Q_OBJECT
public:
    // Catches the three signals while the object lives (one object at a time). `grace`:
    // how long the orderly end may take before the program ends without it.
    explicit TStopSignals(std::chrono::milliseconds grace = std::chrono::seconds(7), QObject* parent = nullptr);
    ~TStopSignals() override;
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // The signal that started the end; 0 while none came.
    int Received() const { return FReceived; }

private:
    void Arrived();
    // Waits for a signal, then for the end of the program up to the grace time.
    void Watch();

    int FPipe[2] = {-1, -1};       // to the event loop
    int FWatchPipe[2] = {-1, -1};  // to the watchdog, which also runs while the event loop is busy
    QSocketNotifier* FNotifier = nullptr;
    std::chrono::milliseconds FGrace;
    int FReceived = 0;
    std::mutex FMutex;
    std::condition_variable FDone;
    bool FFinished = false;
    std::thread FWatchdog;
};

} // namespace velkaro
