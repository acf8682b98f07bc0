#pragma once
// The objects the main window works on, made from its settings file: the settings,
// the database on them, the sent-mail log, and the real invoice source and producer
// its presenter talks through. Freed in reverse order of creation.
#include <memory>
#include <string>

#include "config/settings.h"
#include "erp/nav_data.h"
#include "mail/sent_log.h"
#include "uimodel/invoice_producer.h"
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
    TInvoiceProducer& Producer() { return *FProducer; }

private:
    TSettings FSettings;
    TNavData FData;
    TSentLog FSentLog;
    std::unique_ptr<TInvoiceSource> FSource;
    std::unique_ptr<TInvoiceProducer> FProducer;
};

} // namespace velkaro
