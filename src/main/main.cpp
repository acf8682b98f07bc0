// Program entry: a batch run when the command line selects documents ("/rg", "/von",
// "/bis", "/neu" …), the help or the version; otherwise the user interface when this
// build contains it. The batch never creates a window object, so that it runs without a
// display.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "app/workflows.h"
#include "platform/secret_input.h"
#include "platform/text.h"
#ifdef VELKARO_WITH_UI
#include "ui/desktop.h"
#endif

namespace {

constexpr int kExitNoUserInterface = 2;

#ifdef VELKARO_WITH_UI
constexpr const char* kNoDisplay =
    "Kein Bildschirm gefunden (weder DISPLAY noch WAYLAND_DISPLAY gesetzt): das Hauptfenster kann nicht öffnen.\n"
    "Rechnungen lassen sich im Stapellauf erstellen:\n"
    "  velkaro /rg <Rechnungsnummer> [/rg <Rechnungsnummer> ...] [/mandant <Mandant>] [/out <Ordner>] [/xml] "
    "[/mail]\n"
    "Alle Schalter: velkaro --hilfe\n";
#endif

constexpr const char* kNoUserInterface =
    "Diese Ausgabe von Velkaro enthält keine Benutzeroberfläche (weder Hauptfenster noch Layout-Designer).\n"
    "Rechnungen lassen sich im Stapellauf erstellen:\n"
    "  velkaro /rg <Rechnungsnummer> [/rg <Rechnungsnummer> ...] [/mandant <Mandant>] [/out <Ordner>] [/xml] "
    "[/mail]\n"
    "Alle Schalter: velkaro --hilfe\n";

// Set by SIGTERM or SIGINT; the batch looks at it between invoices.
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void OnStopSignal(int signal) { gStopSignal = signal; }

// The current invoice is finished, so that no file is left half-written. Interrupted
// system calls resume; a second signal of the same kind ends the process at once.
void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// One message, one line on stderr.
void PrintMessage(const std::string& text) {
    std::fprintf(stderr, "Velkaro: %s\n", velkaro::SingleLine(text).c_str());
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        CatchStopSignals();
        velkaro::TBatchOptions options;
        options.StopSignal = &gStopSignal;
        options.Notice = PrintMessage;
        options.ReadSecret = [] { return velkaro::ReadSecretLine(0, "Client-Secret (Eingabe wird nicht angezeigt): "); };
        const velkaro::TBatchResult batch = velkaro::RunCommandLine(args, velkaro::ProgramWorkflows(), options);
        if (batch.Ran) {
            if (!batch.Output.empty()) {
                // Scripts look for the end line: one line, at once.
                std::fputs(batch.Output.c_str(), stdout);
                if (batch.Output.back() != '\n') std::fputc('\n', stdout);
                std::fflush(stdout);
            }
            if (!batch.FatalError.empty())
                PrintMessage(batch.FatalError);
            if (batch.ErrorCount > 0)
                PrintMessage(std::to_string(batch.ErrorCount) + " Rechnung(en) fehlgeschlagen, Einzelheiten im Protokoll " +
                             batch.LogFile);
            if (!batch.StopLine.empty())
                PrintMessage(batch.StopLine);
            return batch.ExitCode;
        }
    } catch (const std::exception& e) {  // e.g. out of memory before the batch began
        PrintMessage(e.what());
        return 1;
    }
#ifdef VELKARO_WITH_UI
    if (!velkaro::DisplayAvailable()) {
        std::fputs(kNoDisplay, stderr);
        return kExitNoUserInterface;
    }
    try {
        return velkaro::RunDesktop(argc, argv, args);
    } catch (const std::exception& e) {
        PrintMessage(e.what());
        return 1;
    }
#else
    std::fputs(kNoUserInterface, stderr);
    return kExitNoUserInterface;
#endif
}
