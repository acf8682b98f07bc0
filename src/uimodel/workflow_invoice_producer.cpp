// The one place where the windows call the generation workflow.
#include "uimodel/invoice_producer.h"

#include "app/generate_invoice.h"

namespace velkaro {

namespace {

class TWorkflowInvoiceProducer : public TInvoiceProducer {
public:
    TWorkflowInvoiceProducer(TNavData& data, const TSettings& settings) : FData(data), FSettings(settings) {}

    TProducedInvoice GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                        const TLogProc& log) override {
        TGeneratedInvoice generated;
        std::string pdfFile = GenerateInvoice(FData, FSettings, company, invoiceNo, log, generated);
        return TProducedInvoice{std::move(pdfFile), std::move(generated.Findings)};
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
