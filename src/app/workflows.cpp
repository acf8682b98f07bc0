#include "app/workflows.h"

#include "app/generate_invoice.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/error.h"

namespace velkaro {

namespace {

// One batch run's database object on the run's settings; the settings stay with the
// batch, which outlives the session.
class TProgramSession : public TBatchSession {
public:
    explicit TProgramSession(TSettings& settings) : FSettings(settings), FData(settings) {}

    std::vector<std::string> Companies() override { return FData.Companies(); }

    void GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo, const TLogProc& log) override {
        velkaro::GenerateInvoicePdf(FData, FSettings, company, invoiceNo, log);
    }

    // Mailing (sent-mail log, Graph mailer, MailInvoice) is connected here.
    std::unique_ptr<TBatchMailer> CreateMailer() override {
        throw Exception("Der Versand per E-Mail ist in dieser Ausgabe von Velkaro noch nicht verf\u00FCgbar.");
    }

private:
    TSettings& FSettings;
    TNavData FData;
};

} // namespace

TBatchSessionFactory ProgramWorkflows() {
    return [](TSettings& settings) -> std::unique_ptr<TBatchSession> {
        return std::make_unique<TProgramSession>(settings);
    };
}

} // namespace velkaro
