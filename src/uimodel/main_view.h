#pragma once
// What the main window's presenter tells its window beyond the services every window
// offers: which parts of its state changed and must be shown again.
#include <string>

namespace velkaro {

class TMainView {
public:
    virtual ~TMainView() = default;
    // The company list or its selected item.
    virtual void CompaniesChanged() = 0;
    // The text of the count label beside the search button.
    virtual void CountChanged() = 0;
    // A run started or ended: disable or enable the button that started it (RunKind).
    virtual void RunStateChanged() = 0;
    // The progress text of the running run.
    virtual void ProgressChanged() = 0;
    // The status bar and the check marks of the output options.
    virtual void StatusChanged() = 0;
    // Shows the mail settings dialog modally; true when the user saved.
    virtual bool OpenMailSettings() = 0;
    // Shows the database connection dialog modally, with `reason` as its explaining line
    // when not empty; true when the user saved.
    virtual bool OpenDatabaseSettings(const std::string& reason) = 0;
};

} // namespace velkaro
