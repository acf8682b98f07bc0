// Program entry of "velkaro": a batch run when the command line selects documents
// ("/rg", "/von", "/bis", "/neu" …), the help, the version, the settings check or the
// secret; otherwise the window, which is a program of its own ("velkaro-desktop", the
// only one that links Qt). This program links no window library at all, so a batch run
// loads none; for the window it replaces itself by the desktop program (exec, same
// process), so that signals and the exit code reach the window directly.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "app/mail_transport.h"
#include "app/workflows.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/secret_input.h"
#include "platform/text.h"

namespace {

constexpr int kExitNoUserInterface = 2;

// The window's program, beside this one (/usr/bin) or in the package's private folder.
constexpr const char* kDesktopProgram = "velkaro-desktop";
constexpr const char* kDesktopPrivateFolder = "../lib/velkaro";

constexpr const char* kNoUserInterface =
    "Hauptfenster und Layout-Designer sind nicht installiert: diese Installation enthält keine "
    "Benutzeroberfläche (Paket velkaro-desktop, Programm velkaro-desktop neben velkaro).\n"
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

// The window's program, or "" when it is not installed.
std::string FindDesktopProgram() {
    const std::string folder = velkaro::ExtractFilePath(velkaro::ExecutablePath());
    for (const std::string& candidate : {velkaro::CombinePath(folder, kDesktopProgram),
                                         velkaro::CombinePath(velkaro::CombinePath(folder, kDesktopPrivateFolder),
                                                              kDesktopProgram)})
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    return "";
}

// Replaces this process by the window's program with the same arguments and environment;
// returns only when that is not possible. The settings file is decided here, by the
// program the user called, so that the window reads the same file as the batch.
int StartDesktop(char** argv) {
    const std::string desktop = FindDesktopProgram();
    if (desktop.empty()) {
        std::fputs(kNoUserInterface, stderr);
        return kExitNoUserInterface;
    }
    if (const char* ini = std::getenv("VELKARO_INI"); !ini || !*ini) {
        try {
            setenv("VELKARO_INI", velkaro::SettingsFilePath().c_str(), 1);
        } catch (const std::exception& e) {
            PrintMessage(e.what());
            return kExitNoUserInterface;
        }
    }
    std::vector<char*> desktopArgs{const_cast<char*>(desktop.c_str())};
    for (char** arg = argv + 1; *argv && *arg; ++arg) desktopArgs.push_back(*arg);
    desktopArgs.push_back(nullptr);
    execv(desktop.c_str(), desktopArgs.data());
    PrintMessage("Das Programm " + desktop + " kann nicht gestartet werden: " + std::strerror(errno));
    return kExitNoUserInterface;
}

} // namespace

int main(int argc, char** argv) {
    velkaro::ForbidCoreDumps();
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        CatchStopSignals();
        velkaro::TBatchOptions options;
        options.StopSignal = &gStopSignal;
        options.Notice = PrintMessage;
        options.ReadSecret = [] {
            // The SMTP password when the settings send through SMTP with a user.
            std::string name = "Client-Secret";
            try {
                name = velkaro::MailSecretName(velkaro::SettingsFilePath());
            } catch (const std::exception&) {
            }
            return velkaro::ReadSecretLine(0, name + " (Eingabe wird nicht angezeigt): ");
        };
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
        PrintMessage(velkaro::ErrorMessage(e));
        return 1;
    }
    // The stop signals go back to their defaults for the window (exec keeps no handler
    // anyway, but a signal between here and exec must not be lost).
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    if (gStopSignal != 0) std::raise(gStopSignal);
    return StartDesktop(argv);
}
