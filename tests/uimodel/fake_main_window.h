#pragma once
// Test doubles of the main window and the database for the presenter tests (the
// workflows' doubles are the run engine's, app/fake_run_session.h): they record what
// the presenter did and do what the test scripts.
#include <functional>
#include <map>
#include <string>
#include <vector>

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

    bool OpenDatabaseSettings(const std::string& reason) override {
        DatabaseDialogReasons.push_back(reason);
        if (OnDatabaseSettings) OnDatabaseSettings();
        return DatabaseSettingsSaved;
    }

    TDateTime Time = 0;
    bool DatabaseSettingsSaved = false;  // answer of the database dialog
    std::function<void()> OnDatabaseSettings;
    std::vector<std::string> DatabaseDialogReasons;  // one per showing
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

} // namespace velkaro::test
