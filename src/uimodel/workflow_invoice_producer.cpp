// The one place where the windows call the generation and mailing workflows.
#include "uimodel/invoice_producer.h"

#include <chrono>

#include "app/batch_run.h"
#include "app/generate_invoice.h"
#include "app/workflows.h"
#include "config/settings.h"
#include "platform/error.h"
#include "platform/file_lock.h"

namespace velkaro {

namespace {

// The window waits only briefly: it must not hang while a nightly batch works.
constexpr std::chrono::seconds kLockWait{3};

class TWorkflowInvoiceProducer : public TInvoiceProducer {
public:
    TWorkflowInvoiceProducer(TNavData& data, const TSettings& settings) : FData(data), FSettings(settings) {}

    TProducedInvoice GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                        const TLogProc& log, TDocumentKind kind) override {
        TGeneratedInvoice generated;
        std::string pdfFile = GenerateInvoice(FData, FSettings, company, invoiceNo, log, generated, kind);
        return TProducedInvoice{std::move(pdfFile), std::move(generated.Findings)};
    }

    std::unique_ptr<TFileLock> LockRun() override {
        auto lock = std::make_unique<TFileLock>(RunLockFilePath(FSettings.FFileName));
        if (!lock->Acquire(kLockWait))
            throw Exception("Ein Stapellauf mit denselben Einstellungen arbeitet gerade (Sperrdatei " + lock->Path() +
                            "). Bitte nach seinem Ende erneut versuchen.");
        return lock;
    }

    std::unique_ptr<TBatchMailer> CreateMailer(TSentLog& sentLog) override {
        return ProgramMailer(FData, FSettings, sentLog);
    }

private:
    TNavData& FData;
    const TSettings& FSettings;
};

} // namespace

std::unique_ptr<TInvoiceProducer> WorkflowInvoiceProducer(TNavData& data, const TSettings& settings) {
    return std::make_unique<TWorkflowInvoiceProducer>(data, settings);
}

} // namespace velkaro
