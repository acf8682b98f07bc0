#pragma once
// The window services of a presenter in Qt: log pane, German message boxes, the busy
// cursor, pending events and opening files through the desktop (xdg-open).
#include <QWidget>

#include "uimodel/view_services.h"

class QPlainTextEdit;

namespace velkaro {

class TQtServices : public TLogSink, public TMessageBox, public TBusyCursor, public TEventPump, public TPathOpener {
public:
    TQtServices(QWidget& owner, QPlainTextEdit& log) : FOwner(owner), FLog(&log) {}
    // A window without a log pane: log lines are dropped.
    explicit TQtServices(QWidget& owner) : FOwner(owner) {}
    TViewServices Services() { return {*this, *this, *this, *this, *this, FClock}; }
    // From now on every log line also goes to standard error (the window is closing,
    // what a run still says must not be lost with it).
    void EchoLogToStandardError() { FEcho = true; }

    void AppendLogLine(const std::string& line) override;
    void Inform(const std::string& text) override;
    void Error(const std::string& text) override;
    bool Ask(const std::string& text) override;
    void BeginBusy() override;
    void EndBusy() override;
    void ProcessPendingEvents() override;
    // Text files open in $VISUAL or $EDITOR when set, everything else with the desktop's
    // default application.
    void OpenPath(const std::string& path) override;

private:
    QWidget& FOwner;
    QPlainTextEdit* FLog = nullptr;
    TSystemClock FClock;
    bool FEcho = false;
};

} // namespace velkaro
