// The main window's real objects.
#include "uimodel/main_session.h"

namespace velkaro {

TMainSession::TMainSession(const std::string& settingsFile)
    : FSettings(settingsFile), FData(FSettings), FSentLog(FSettings.MailLogFile), FSource(NavInvoiceSource(FData)),
      FProducer(WorkflowInvoiceProducer(FData, FSettings)) {}

} // namespace velkaro
