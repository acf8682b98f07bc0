#include "fake_main_window.h"

#include <gtest/gtest.h>

#include "app/mail_invoice.h"
#include "mail/sent_log.h"
#include "platform/error.h"

namespace velkaro::test {

std::vector<std::string> FakeMainWindow::LogTexts() const {
    const std::string prefix = FormatClockTime(Time) + " ";
    std::vector<std::string> texts;
    for (const std::string& line : LogLines) {
        EXPECT_TRUE(line.starts_with(prefix)) << line;
        texts.push_back(line.substr(prefix.size()));
    }
    return texts;
}

std::vector<std::string> FakeInvoiceSource::Companies() {
    Calls.push_back("companies");
    if (!CompaniesError.empty()) throw Exception(CompaniesError);
    return CompanyNames;
}

std::vector<TInvoiceListItem> FakeInvoiceSource::Search(const std::string& company, const std::string& text,
                                                        TDateTime dateFrom, TDateTime dateTo) {
    Calls.push_back("search");
    Searches.push_back({company, text, dateFrom, dateTo});
    if (!SearchError.empty()) throw Exception(SearchError);
    return Found;
}

TProducedInvoice FakeInvoiceProducer::GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                                         const TLogProc& log, TDocumentKind kind) {
    Produced.push_back(company + "|" + (kind == bkCreditMemo ? "korr " : "") + invoiceNo);
    if (OnGenerate) OnGenerate(invoiceNo);
    log("  Hinweis " + invoiceNo);
    if (auto failure = Failures.find(invoiceNo); failure != Failures.end()) throw Exception(failure->second);
    const std::string pdf = OutDir + "Rechnung_" + invoiceNo + ".pdf";
    log(invoiceNo + " erzeugt: " + pdf);
    const auto findings = Findings.find(invoiceNo);
    return TProducedInvoice{pdf, findings == Findings.end() ? TCheckFindings() : findings->second};
}

std::unique_ptr<TFileLock> FakeInvoiceProducer::LockRun() {
    ++Locks;
    if (!LockError.empty()) throw Exception(LockError);
    return nullptr;
}

namespace {

class FakeMailer : public TBatchMailer {
public:
    FakeMailer(FakeInvoiceProducer& producer, TSentLog& sentLog) : FProducer(producer), FSentLog(sentLog) {}

    void SignIn() override {
        ++FProducer.SignIns;
        if (!FProducer.SignInError.empty()) throw Exception(FProducer.SignInError);
    }

    TMailOutcome MailInvoice(const std::string& company, const std::string& invoiceNo, const TLogProc& log,
                             TDocumentKind kind) override {
        FProducer.Mailed.push_back(company + "|" + (kind == bkCreditMemo ? "korr " : "") + invoiceNo);
        TSentEntry entry;
        entry.Time = FProducer.MailTime;
        entry.Company = company;
        entry.InvoiceNo = invoiceNo;
        TMailOutcome outcome;
        outcome.Test = FProducer.MailSettings && IsMailTestMode(*FProducer.MailSettings);
        if (auto failure = FProducer.MailFailures.find(invoiceNo); failure != FProducer.MailFailures.end()) {
            entry.Status = "FEHLER";
            outcome.Message = failure->second;
            log("FEHLER Versand " + invoiceNo + ": " + failure->second);
        } else {
            entry.Status = outcome.Test ? "TEST" : "OK";
            outcome.Sent = true;
            log("  " + invoiceNo + " per E-Mail versendet");
        }
        FSentLog.Add(entry);
        return outcome;
    }

private:
    FakeInvoiceProducer& FProducer;
    TSentLog& FSentLog;
};

} // namespace

std::unique_ptr<TBatchMailer> FakeInvoiceProducer::CreateMailer(TSentLog& sentLog) {
    ++Mailers;
    return std::make_unique<FakeMailer>(*this, sentLog);
}

} // namespace velkaro::test
