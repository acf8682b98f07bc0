#pragma once
// The program's window modes, started when the command line names no invoice: the
// layout designer alone ("/layout" or "-layout") or the main window. Free of Qt, so
// that the program entry needs no Qt header.
#include <string>
#include <vector>

namespace velkaro {

// True when a window can be shown: a display ($DISPLAY, $WAYLAND_DISPLAY) or an
// explicit Qt platform ($QT_QPA_PLATFORM).
bool DisplayAvailable();

// Creates the application, applies the look of the settings and German dialog texts,
// and runs the chosen window until it closes; returns the exit code.
int RunDesktop(int& argc, char** argv, const std::vector<std::string>& args);

} // namespace velkaro
