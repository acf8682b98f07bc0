// Program entry: a batch run when the command line names invoices ("/rg"); otherwise
// the user interface, which this build does not contain.
#include <cstdio>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "app/workflows.h"

namespace {

constexpr int kExitNoUserInterface = 2;

constexpr const char* kNoUserInterface =
    "Diese Ausgabe von Velkaro enthält keine Benutzeroberfläche (weder Hauptfenster noch Layout-Designer).\n"
    "Rechnungen lassen sich im Stapellauf erstellen:\n"
    "  velkaro /rg <Rechnungsnummer> [/rg <Rechnungsnummer> ...] [/mandant <Mandant>] [/out <Ordner>] [/xml] "
    "[/mail]\n";

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        const velkaro::TBatchResult batch = velkaro::RunCommandLine(args, velkaro::ProgramWorkflows());
        if (batch.Ran) {
            if (!batch.FatalError.empty())
                std::fprintf(stderr, "Velkaro: %s\n", batch.FatalError.c_str());
            if (batch.ErrorCount > 0)
                std::fprintf(stderr, "Velkaro: %d Rechnung(en) fehlgeschlagen, Einzelheiten im Protokoll %s\n",
                             batch.ErrorCount, batch.LogFile.c_str());
            return batch.ExitCode;
        }
    } catch (const std::exception& e) {  // e.g. out of memory before the batch began
        std::fprintf(stderr, "Velkaro: %s\n", e.what());
        return 1;
    }
    std::fputs(kNoUserInterface, stderr);
    return kExitNoUserInterface;
}
