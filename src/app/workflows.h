#pragma once
// The one place where the program's real production and mailing workflows are
// connected to the batch run.
#include <memory>

#include "app/batch_run.h"

namespace velkaro {

class TNavData;
class TSentLog;

// The workflows of this build: production on a TNavData of the run's settings.
TBatchSessionFactory ProgramWorkflows();

// The mailer of one mailing run of a window, recording each attempt in the window's
// `sentLog`; `data`, `settings` and `sentLog` must outlive it. Raises when the mail
// settings are incomplete.
std::unique_ptr<TBatchMailer> ProgramMailer(TNavData& data, const TSettings& settings, TSentLog& sentLog);

} // namespace velkaro
