// Program entry of "velkaro-desktop": the main window, or the layout designer alone
// ("/layout"). "velkaro" starts it in its own place (exec) when the command line names
// no documents; it is the only program that links Qt.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/process.h"
#include "platform/text.h"
#include "ui/desktop.h"

namespace {

constexpr int kExitNoDisplay = 2;

constexpr const char* kNoDisplay =
    "Kein Bildschirm gefunden (weder DISPLAY noch WAYLAND_DISPLAY gesetzt): das Hauptfenster kann nicht öffnen.\n"
    "Rechnungen lassen sich im Stapellauf erstellen:\n"
    "  velkaro /rg <Rechnungsnummer> [/rg <Rechnungsnummer> ...] [/mandant <Mandant>] [/out <Ordner>] [/xml] "
    "[/mail]\n"
    "Alle Schalter: velkaro --hilfe\n";

} // namespace

int main(int argc, char** argv) {
    velkaro::ForbidCoreDumps();
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!velkaro::DisplayAvailable()) {
        std::fputs(kNoDisplay, stderr);
        return kExitNoDisplay;
    }
    try {
        return velkaro::RunDesktop(argc, argv, args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Velkaro: %s\n", velkaro::SingleLine(velkaro::ErrorMessage(e)).c_str());
        return 1;
    }
}
