#pragma once
// A window that has to put things in order when the desktop ends by a signal (SIGTERM,
// SIGINT, SIGHUP: logout, shutdown, Ctrl+C): no questions are asked, nothing the user
// would miss is lost. The desktop calls EndSession on every open top-level window that
// implements it, dialogs first, then closes them.
namespace velkaro {

class TSessionEndHandler {
public:
    virtual ~TSessionEndHandler() = default;
    // Saves what must not be lost and stops what runs; must return within a few seconds
    // and must not open a message box.
    virtual void EndSession() = 0;
};

} // namespace velkaro
