// The main window's real objects.
#include "uimodel/main_session.h"

#include "app/workflows.h"

namespace velkaro {

TMainSession::TMainSession(const std::string& settingsFile)
    : FSettings(settingsFile), FData(FSettings), FSentLog(FSettings.MailLogFile), FSource(NavInvoiceSource(FData)),
      FSession(ProgramSession(FData, FSettings, FSentLog)) {}

} // namespace velkaro
