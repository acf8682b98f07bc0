#pragma once
// The one place where the program's real production and mailing workflows are
// connected to the runs of the batch and the window.
#include <memory>

#include "app/batch_run.h"

namespace velkaro {

class TNavData;
class TSentLog;

// The workflows of this build: production on a TNavData of the run's settings.
TBatchSessionFactory ProgramWorkflows();

// The workflows of a window on its `data`, `settings` and the `sentLog` it shows: the
// already-sent rule reads that log and each mail is recorded in it at once, so that the
// window's sent column follows. All three must outlive the session.
std::unique_ptr<TRunSession> ProgramSession(TNavData& data, const TSettings& settings, TSentLog& sentLog);

} // namespace velkaro
