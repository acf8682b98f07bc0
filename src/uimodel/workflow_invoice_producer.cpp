// The one place where the windows call the generation workflow.
#include "uimodel/invoice_producer.h"

#include "app/generate_invoice.h"

namespace velkaro {

namespace {

class TWorkflowInvoiceProducer : public TInvoiceProducer {
public:
    TWorkflowInvoiceProducer(TNavData& data, const TSettings& settings) : FData(data), FSettings(settings) {}

    std::string GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                   const TLogProc& log) override {
        return velkaro::GenerateInvoicePdf(FData, FSettings, company, invoiceNo, log);
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
