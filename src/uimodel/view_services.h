#pragma once
// What a presenter needs of the window it drives: the log pane, message boxes, the busy
// cursor, processing pending events, opening files and folders, and the clock. The
// window implements these; tests put fakes in their place.
#include <string>

#include "platform/datetime.h"

namespace velkaro {

// The window's log pane; the line arrives complete, with its time prefix.
class TLogSink {
public:
    virtual ~TLogSink() = default;
    virtual void AppendLogLine(const std::string& line) = 0;
};

class TMessageBox {
public:
    virtual ~TMessageBox() = default;
    virtual void Inform(const std::string& text) = 0;
    virtual void Error(const std::string& text) = 0;
    // A question with the buttons Yes and No, No being the default; true for Yes.
    virtual bool Ask(const std::string& text) = 0;
};

// The hourglass cursor; calls nest, each BeginBusy is followed by one EndBusy.
class TBusyCursor {
public:
    virtual ~TBusyCursor() = default;
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
};

// Lets the window repaint and take clicks (such as a cancel request) between the steps
// of a run on the main thread.
class TEventPump {
public:
    virtual ~TEventPump() = default;
    virtual void ProcessPendingEvents() = 0;
};

// Opens a file with its default application, or a folder in the file manager.
class TPathOpener {
public:
    virtual ~TPathOpener() = default;
    virtual void OpenPath(const std::string& path) = 0;
};

class TClock {
public:
    virtual ~TClock() = default;
    virtual TDateTime Now() = 0;  // local time
};

class TSystemClock : public TClock {
public:
    TDateTime Now() override { return velkaro::Now(); }
};

// The services of one window, handed to its presenter together.
struct TViewServices {
    TLogSink& Log;
    TMessageBox& Messages;
    TBusyCursor& Busy;
    TEventPump& Events;
    TPathOpener& Opener;
    TClock& Clock;
};

// The hourglass for the lifetime of the object, also when an error leaves the scope.
class TBusyScope {
public:
    explicit TBusyScope(TBusyCursor& cursor) : FCursor(cursor) { FCursor.BeginBusy(); }
    ~TBusyScope() { FCursor.EndBusy(); }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    TBusyCursor& FCursor;
};

} // namespace velkaro
