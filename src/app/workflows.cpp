#include "app/workflows.h"

#include <algorithm>
#include <optional>

#include "app/generate_invoice.h"
#include "app/mail_invoice.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "mail/sent_log.h"
#include "platform/datetime.h"
#include "platform/error.h"

namespace velkaro {

namespace {

// The sent-mail log and the mailer (Graph or SMTP) of one mailing run. The log is opened first and
// freed last, after the mailer. A window hands in the log it shows, so that its sent
// column sees each send at once. The mailing run is a run of the database object: what
// a company holds for every document is read once.
class TProgramMailer : public TRunMailer {
public:
    TProgramMailer(TNavData& data, const TSettings& settings, const TRunOptions& options, TSentLog* sentLog)
        : FData(data), FRun(data), FSettings(settings), FOptions(options),
          FOwnLog(sentLog ? nullptr : std::make_unique<TSentLog>(settings.MailLogFile)),
          FSentLog(sentLog ? *sentLog : *FOwnLog), FMailer(velkaro::CreateMailer(settings)) {}

    void SignIn() override { FMailer->SignIn(); }

    void CheckSentLog() override { FSentLog.CheckWritable(); }

    TOpenSendCheck CheckOpenSend(const std::string& company, const std::string& documentNo,
                                 const TOpenSend& open) override {
        TOpenSendCheck check;
        if (open.Id.empty()) return check;  // an entry of an older version: nothing to look for
        TSentMailLookup found;
        try {
            found = FMailer->FindSentMail(open.Id);
        } catch (const std::exception& e) {
            check.Finding = "Suche in \u201EGesendete Elemente\u201C nicht m\u00F6glich: " + ErrorMessage(e);
            return check;
        }
        if (!found.Found) {
            check.Finding = "in \u201EGesendete Elemente\u201C nicht gefunden";
            return check;
        }
        TDateTime when = 0;
        const bool dated = ParseIsoDateTime(found.SentAt, when);
        check.Sent = true;
        check.Finding = (dated ? "vom " + FormatDisplayDateTime(when) + " " : std::string()) +
                        "in \u201EGesendete Elemente\u201C gefunden";
        TSentEntry entry{Now(), company, documentNo, open.Recipients, kSentOk, check.Finding, open.Id};
        try {
            FSentLog.Add(entry);
        } catch (const std::exception& e) {
            throw ESentLogFailed("Das Versandprotokoll ist nicht beschreibbar (" + ErrorMessage(e) + "). " +
                                     documentNo + " ist versendet, steht dort aber nicht als versendet. Der Versand "
                                     "ist angehalten.",
                                 dsSkipped);
        }
        return check;
    }

    TMailOutcome MailInvoice(const std::string& company, const std::string& invoiceNo, const TLogProc& log,
                             TDocumentKind kind) override {
        TMailRecord record;
        TMailOutcome outcome;
        outcome.Sent =
            velkaro::MailInvoice(FData, FSettings, FOptions, *FMailer, &FSentLog, company, invoiceNo, log, &record, kind);
        outcome.Test = record.Entry.Status == kSentTest;
        outcome.Unclear = record.Entry.Status == kSentUnclear;
        outcome.Recipients = record.Entry.Recipients;
        if (!outcome.Sent)
            outcome.Message = record.Entry.Info;
        outcome.Document.PdfFile = record.PdfFile;
        outcome.Document.Findings = std::move(record.Findings);
        return outcome;
    }

private:
    TNavData& FData;
    TNavData::TRun FRun;
    const TSettings& FSettings;
    const TRunOptions FOptions;
    std::unique_ptr<TSentLog> FOwnLog;
    TSentLog& FSentLog;
    std::unique_ptr<IMailer> FMailer;
};

// The workflows of one run on the run's settings. A batch run's session owns its
// database object and reads the sent log once (the run's own sends never select anew);
// a window's session works on the window's database object and sent log. A batch
// session is one run of its database object: what a company holds for every document
// is read once.
class TProgramSession : public TRunSession {
public:
    TProgramSession(const TSettings& settings, const TRunOptions& options)
        : FSettings(settings), FOptions(options), FOwnData(std::make_unique<TNavData>(settings)), FData(*FOwnData),
          FRun(std::in_place, *FOwnData) {}
    TProgramSession(TNavData& data, const TSettings& settings, TSentLog& sentLog)
        : FSettings(settings), FData(data), FWindowLog(&sentLog) {}

    std::vector<std::string> Companies() override { return FData.Companies(); }

    std::vector<std::string> DatabaseNotes(const std::string& company) override {
        std::vector<std::string> notes;
        try {
            notes.push_back("Datenbank: " + FData.ProductVersion());
        } catch (const std::exception& e) {
            notes.push_back(std::string("Datenbank: Version nicht ermittelbar (") + e.what() + ")");
        }
        if (std::string hint = FData.CompanyTables(company).Hint(); !hint.empty()) notes.push_back("Hinweis: " + hint);
        return notes;
    }

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
        return SentLog().LastSent(company, documentNo, when);
    }

    bool OpenSend(const std::string& company, const std::string& documentNo, TOpenSend& open) override {
        TSentEntry entry;
        if (!SentLog().OpenSend(company, documentNo, entry)) return false;
        open = TOpenSend{entry.Time, entry.Status, entry.Recipients, entry.Id};
        return true;
    }

    TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                        const TLogProc& log, TDocumentKind kind) override {
        TGeneratedInvoice generated;
        std::string pdfFile =
            velkaro::GenerateInvoice(FData, FSettings, Options(), company, invoiceNo, log, generated, kind);
        return TDocumentOutcome{std::move(pdfFile), std::move(generated.Findings)};
    }

    std::unique_ptr<TRunMailer> CreateMailer() override {
        return std::make_unique<TProgramMailer>(FData, FSettings, Options(), FWindowLog);
    }

    TCheckFindings CheckDocument(const std::string& company, const std::string& documentNo,
                                 TDocumentKind kind) override {
        return velkaro::CheckDocument(FData, FSettings, company, documentNo, kind);
    }

private:
    // The window's log, or the run's, read once when first asked.
    const TSentLog& SentLog() {
        if (FWindowLog) return *FWindowLog;
        if (!FSentLog) FSentLog.emplace(FSettings.MailLogFile);
        return *FSentLog;
    }

    // A window's output options are its settings' and change while it is open.
    TRunOptions Options() const { return FOptions ? *FOptions : RunOptionsOf(FSettings); }

    const TSettings& FSettings;
    std::optional<TRunOptions> FOptions;
    std::unique_ptr<TNavData> FOwnData;
    TNavData& FData;
    TSentLog* FWindowLog = nullptr;
    std::optional<TNavData::TRun> FRun;
    std::optional<TSentLog> FSentLog;
};

} // namespace

TBatchSessionFactory ProgramWorkflows() {
    return [](const TSettings& settings, const TRunOptions& options) -> std::unique_ptr<TRunSession> {
        return std::make_unique<TProgramSession>(settings, options);
    };
}

std::unique_ptr<TRunSession> ProgramSession(TNavData& data, const TSettings& settings, TSentLog& sentLog) {
    return std::make_unique<TProgramSession>(data, settings, sentLog);
}

} // namespace velkaro
