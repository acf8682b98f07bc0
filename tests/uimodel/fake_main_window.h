#pragma once
// Test doubles of the main window, the database and the generation workflow for the
// presenter tests: they record what the presenter did and do what the test scripts.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/file_lock.h"
#include "uimodel/invoice_producer.h"
#include "uimodel/invoice_source.h"
#include "uimodel/main_view.h"
#include "uimodel/view_services.h"

namespace velkaro::test {

class FakeMainWindow : public TLogSink, public TMessageBox, public TBusyCursor, public TEventPump,
                       public TPathOpener, public TClock, public TMainView {
public:
    TViewServices Services() { return {*this, *this, *this, *this, *this, *this}; }
    // The log lines without their "hh:nn:ss " prefix (checked to be the clock's time).
    std::vector<std::string> LogTexts() const;

    void AppendLogLine(const std::string& line) override { LogLines.push_back(line); }
    void Inform(const std::string& text) override { Informed.push_back(text); }
    void Error(const std::string& text) override { Errors.push_back(text); }
    bool Ask(const std::string& text) override {
        Asked.push_back(text);
        return AskAnswer;
    }
    void BeginBusy() override { ++BusyDepth; }
    void EndBusy() override { --BusyDepth; }
    void ProcessPendingEvents() override {
        ++EventRounds;
        if (OnEvents) OnEvents();
    }
    void OpenPath(const std::string& path) override { Opened.push_back(path); }
    TDateTime Now() override { return Time; }

    void CompaniesChanged() override { ++CompanyUpdates; }
    void CountChanged() override { ++CountUpdates; }
    void RunStateChanged() override { ++RunStateUpdates; }
    void ProgressChanged() override {
        if (OnProgress) OnProgress();
    }
    void StatusChanged() override { ++StatusUpdates; }
    bool OpenMailSettings() override {
        ++MailSettingsShown;
        if (OnMailSettings) OnMailSettings();
        return MailSettingsSaved;
    }

    TDateTime Time = 0;
    bool AskAnswer = false;
    std::function<void()> OnEvents;
    std::function<void()> OnProgress;
    bool MailSettingsSaved = false;  // answer of the mail settings dialog
    std::function<void()> OnMailSettings;
    int MailSettingsShown = 0;

    std::vector<std::string> LogLines;
    std::vector<std::string> Informed, Errors, Asked, Opened;
    int BusyDepth = 0;
    int EventRounds = 0;
    int CompanyUpdates = 0, CountUpdates = 0, RunStateUpdates = 0, StatusUpdates = 0;
};

class FakeInvoiceSource : public TInvoiceSource {
public:
    struct TSearchCall {
        std::string Company, Text;
        TDateTime From = 0, To = 0;
    };

    void Disconnect() override { Calls.push_back("disconnect"); }
    std::vector<std::string> Companies() override;
    std::vector<TInvoiceListItem> Search(const std::string& company, const std::string& text, TDateTime dateFrom,
                                         TDateTime dateTo) override;

    std::vector<std::string> CompanyNames;
    std::string CompaniesError;  // raised by Companies when set
    std::vector<TInvoiceListItem> Found;
    std::string SearchError;     // raised by Search when set

    std::vector<std::string> Calls;  // "disconnect", "companies", "search"
    std::vector<TSearchCall> Searches;
};

class FakeInvoiceProducer : public TInvoiceProducer {
public:
    // Records "<company>|<no>", "<company>|korr <no>" for a credit memo.
    TProducedInvoice GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                        const TLogProc& log, TDocumentKind kind) override;

    std::string OutDir = "/ausgabe/";
    std::map<std::string, std::string> Failures;  // invoice number -> error message
    std::map<std::string, TCheckFindings> Findings;  // invoice number -> check findings
    std::function<void(const std::string&)> OnGenerate;
    std::unique_ptr<TFileLock> LockRun() override;
    std::string LockError;  // LockRun raises it when not empty
    int Locks = 0;          // LockRun calls

    std::vector<std::string> Produced;  // "<company>|<no>", also the failed ones

    // Mailing: each mail is recorded in the window's sent log, "TEST" in test mode of
    // `MailSettings`, "OK" otherwise, "FEHLER" for the numbers of MailFailures.
    std::unique_ptr<TBatchMailer> CreateMailer(TSentLog& sentLog) override;
    const TSettings* MailSettings = nullptr;
    std::string SignInError;          // SignIn raises it when not empty
    TDateTime MailTime = 0;           // time of the sent-log entries
    std::map<std::string, std::string> MailFailures;  // invoice number -> error message
    int Mailers = 0, SignIns = 0;
    std::vector<std::string> Mailed;  // "<company>|<no>", also the failed ones
};

} // namespace velkaro::test
