#include "app/workflows.h"

#include <algorithm>
#include <optional>

#include "app/generate_invoice.h"
#include "app/mail_invoice.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/error.h"

namespace velkaro {

namespace {

// The sent-mail log and the Graph mailer of one mailing run. The log is opened first and
// freed last, after the mailer. A window hands in the log it shows, so that its sent
// column sees each send at once. The mailing run is a run of the database object: what
// a company holds for every document is read once.
class TProgramMailer : public TBatchMailer {
public:
    TProgramMailer(TNavData& data, const TSettings& settings, TSentLog* sentLog)
        : FData(data), FRun(data), FSettings(settings),
          FOwnLog(sentLog ? nullptr : std::make_unique<TSentLog>(settings.MailLogFile)),
          FSentLog(sentLog ? *sentLog : *FOwnLog), FMailer(velkaro::CreateMailer(settings)) {}

    void SignIn() override { FMailer->GetToken(); }

    TMailOutcome MailInvoice(const std::string& company, const std::string& invoiceNo, const TLogProc& log,
                             TDocumentKind kind) override {
        TMailRecord record;
        TMailOutcome outcome;
        outcome.Sent =
            velkaro::MailInvoice(FData, FSettings, *FMailer, &FSentLog, company, invoiceNo, log, &record, kind);
        outcome.Test = record.Entry.Status == "TEST";
        outcome.Recipients = record.Entry.Recipients;
        if (!outcome.Sent)
            outcome.Message = record.Entry.Info;
        outcome.Document.PdfFile = record.PdfFile;
        outcome.Document.FindingCount = record.FindingCount;
        outcome.Document.FindingRules = record.FindingRules;
        return outcome;
    }

private:
    TNavData& FData;
    TNavData::TRun FRun;
    const TSettings& FSettings;
    std::unique_ptr<TSentLog> FOwnLog;
    TSentLog& FSentLog;
    std::unique_ptr<TGraphMailer> FMailer;
};

// One batch run's database object on the run's settings; the settings stay with the
// batch, which outlives the session. The session is one run of the database object: what
// a company holds for every document is read once.
class TProgramSession : public TBatchSession {
public:
    explicit TProgramSession(TSettings& settings) : FSettings(settings), FData(settings), FRun(FData) {}

    std::vector<std::string> Companies() override { return FData.Companies(); }

    std::vector<std::string> FindDocuments(TDocumentKind kind, const std::string& company, TDateTime dateFrom,
                                           TDateTime dateTo) override {
        // The window's search, without its row limit; it lists the newest first.
        std::vector<std::string> numbers;
        for (const TInvoiceListItem& item : FData.Search(company, "", dateFrom, dateTo, TNavData::rlNone))
            if (item.Kind == kind) numbers.push_back(item.No);
        std::reverse(numbers.begin(), numbers.end());
        return numbers;
    }

    bool LastSent(const std::string& company, const std::string& documentNo, TDateTime& when) override {
        if (!FSentLog)
            FSentLog.emplace(FSettings.MailLogFile);  // read once: the run's own sends never select anew
        return FSentLog->LastSent(company, documentNo, when);
    }

    TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                        const TLogProc& log, TDocumentKind kind) override {
        TGeneratedInvoice generated;
        const std::string pdfFile =
            velkaro::GenerateInvoice(FData, FSettings, company, invoiceNo, log, generated, kind);
        return TDocumentOutcome{pdfFile, static_cast<int>(generated.Findings.Size()), generated.Findings.RuleList()};
    }

    std::unique_ptr<TBatchMailer> CreateMailer() override {
        return std::make_unique<TProgramMailer>(FData, FSettings, nullptr);
    }

private:
    TSettings& FSettings;
    TNavData FData;
    TNavData::TRun FRun;
    std::optional<TSentLog> FSentLog;
};

} // namespace

TBatchSessionFactory ProgramWorkflows() {
    return [](TSettings& settings) -> std::unique_ptr<TBatchSession> {
        return std::make_unique<TProgramSession>(settings);
    };
}

std::unique_ptr<TBatchMailer> ProgramMailer(TNavData& data, const TSettings& settings, TSentLog& sentLog) {
    return std::make_unique<TProgramMailer>(data, settings, &sentLog);
}

} // namespace velkaro
