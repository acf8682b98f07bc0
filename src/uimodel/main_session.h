#pragma once
// The objects the main window works on, made from its settings file: the settings,
// the database on them, the sent-mail log, and the real invoice source and producer
// its presenter talks through (the run session of the run engine). Freed in reverse order of creation.
#include <memory>
#include <string>

#include "config/settings.h"
#include "erp/nav_data.h"
#include "mail/sent_log.h"
#include "app/document_run.h"
#include "uimodel/invoice_source.h"

namespace velkaro {

class TMainSession {
public:
    // Reads the settings file (and creates it on the first run); does not connect.
    explicit TMainSession(const std::string& settingsFile);
    TMainSession(const TMainSession&) = delete;
    TMainSession& operator=(const TMainSession&) = delete;

    TSettings& Settings() { return FSettings; }
    TNavData& Data() { return FData; }
    TSentLog& SentLog() { return FSentLog; }
    TInvoiceSource& Source() { return *FSource; }
    TRunSession& Session() { return *FSession; }

private:
    TSettings FSettings;
    TNavData FData;
    TSentLog FSentLog;
    std::unique_ptr<TInvoiceSource> FSource;
    std::unique_ptr<TRunSession> FSession;
};

} // namespace velkaro
