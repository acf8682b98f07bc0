#pragma once
// The logic of the about dialog, free of any GUI toolkit: the version line, the vendor's
// contact block with its link targets, and the system report that the user copies for
// support requests.
#include <string>

#include "uimodel/system_report.h"
#include "uimodel/vendor.h"
#include "uimodel/view_services.h"

namespace velkaro {

class TNavData;
class TSettings;

// What the presenter needs of the dialog besides the window services.
class TAboutView {
public:
    virtual ~TAboutView() = default;
    virtual void CopyToClipboard(const std::string& text) = 0;
};

class TAboutPresenter {
public:
    // Reads the vendor block of the settings file and builds the report once (the NAV
    // version is queried here). All must outlive it.
    TAboutPresenter(const TSettings& settings, const std::string& company, const TNavVersionQuery& navVersion,
                    const TSystemFacts& facts, TAboutView& view, TViewServices services);

    // The NAV version lines of `data`; no lines at all without a database object.
    static TNavVersionQuery NavVersionOf(TNavData* data);

    const TVendorInfo& Vendor() const { return FVendor; }
    // "Version 1.2.3  ·  erstellt am dd.mm.yyyy".
    std::string VersionLine() const;
    // The address with its lines joined by "  ·  "; "" when there is none.
    std::string AddressLine() const;
    std::string ContactText() const { return ContactLine(FVendor); }
    std::string WebTarget() const { return WebLinkTarget(FVendor.Web); }
    std::string MailTarget() const { return MailLinkTarget(FVendor.EMail, FFacts.Version); }
    // The report as the dialog shows it: lines ending in LF, none after the last one.
    const std::string& Report() const { return FReport; }

    // "Systeminfo kopieren": the report with CR LF line ends (support mail may be read on
    // Windows) into the clipboard, then the message.
    void CopyReport();

private:
    TSystemFacts FFacts;
    TVendorInfo FVendor;
    std::string FReport;
    TAboutView& FView;
    TViewServices FServices;
};

} // namespace velkaro
