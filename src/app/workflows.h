#pragma once
// The one place where the program's real production and mailing workflows are
// connected to the batch run.
#include "app/batch_run.h"

namespace velkaro {

// The workflows of this build: production on a TNavData of the run's settings.
TBatchSessionFactory ProgramWorkflows();

} // namespace velkaro
