#pragma once
// The command-line batch run: selects documents (named with "/rg" and "/gs", by posting date with
// "/von" and "/bis", not yet sent with "/neu"), produces or mails each once without a
// window, one run per settings file at a time, and writes the batch log into the state
// folder of the settings (state_folder.h) line by line as it goes.
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/document_run.h"
#include "app/file_names.h"
#include "invoice/invoice.h"
#include "platform/datetime.h"
#include "platform/log.h"

namespace velkaro {

class TSettings;

// Creates the session on the run's settings. An empty function means this build has
// no production workflow.
using TBatchSessionFactory =
    std::function<std::unique_ptr<TRunSession>(const TSettings& settings, const TRunOptions& options)>;

// Exit codes of a batch run (a stop signal gives 128 + the signal).
inline constexpr int kExitOk = 0;
inline constexpr int kExitSomeFailed = 1;  // some documents failed
inline constexpr int kExitUsage = 2;       // command line or settings unusable; nothing done
inline constexpr int kExitNotStarted = 3;  // database, sign-in or another run kept it from its work

// How the run is embedded in the process.
struct TBatchOptions {
    // Looked at between documents: once it is not 0 (a signal handler stores the signal
    // number), the run stops after the current document.
    const volatile std::sig_atomic_t* StopSignal = nullptr;
    // How long a second run with the same settings waits for the first one.
    std::chrono::milliseconds LockWait = std::chrono::minutes(1);
    // What "heute" means; 0 for the current local date.
    TDateTime Today = 0;
    // Lines for the operator while the run goes on (waiting for the lock).
    TLogProc Notice;
    // "/geheimnis": reads the client secret (standard input); nullopt when reading failed.
    std::function<std::optional<std::string>()> ReadSecret;
};

struct TBatchResult {
    bool Ran = false;        // a batch, the help or the version: the window must not open
    int ExitCode = 0;        // kExit… or 128 + signal
    int ErrorCount = 0;      // failed documents
    std::string Output;      // for stdout: the help, the version or the run's "Ende: …" line
    std::string FatalError;  // the error that ended the run (or the command line's), for stderr
    std::string LogFile;     // where the batch log was written; empty when none was
    int StopSignal = 0;      // the signal that stopped the run before its last document
    std::string StopLine;    // "Abgebrochen nach <n> von <m> Belegen", also the log's last line
};

// The batch log: the settings file's name with the extension ".log" in its state folder
// (state_folder.h).
std::string BatchLogFilePath();
// The lock file of batch runs and of the window's production and mailing: the settings
// file's name with the extension ".lock" in its state folder.
std::string RunLockFilePath(const std::string& settingsFile);
// The previous runs' logs kept as velkaro.log.1 (newest) to velkaro.log.7.
inline constexpr int kKeptBatchLogs = 7;

// Runs the program's command line (the process arguments after the program path).
// Without a batch selection, help or version nothing is done and Ran is false.
TBatchResult RunCommandLine(const std::vector<std::string>& args, const TBatchSessionFactory& openSession,
                            const TBatchOptions& options = {});

} // namespace velkaro
