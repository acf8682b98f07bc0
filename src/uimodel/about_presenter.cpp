// The about dialog's logic.
#include "uimodel/about_presenter.h"

#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/text.h"

namespace velkaro {

TAboutPresenter::TAboutPresenter(const TSettings& settings, const std::string& company,
                                 const TNavVersionQuery& navVersion, const TSystemFacts& facts, TAboutView& view,
                                 TViewServices services)
    : FFacts(facts), FVendor(ReadVendorInfo(settings.FFileName)),
      FReport(TrimRight(ReplaceAll(SystemReport(facts, settings, company, navVersion), "\r\n", "\n"))), FView(view),
      FServices(services) {}

TNavVersionQuery TAboutPresenter::NavVersionOf(TNavData* data) {
    if (!data) return {};
    return [data] { return data->NavVersionInfo(); };
}

std::string TAboutPresenter::VersionLine() const {
    return "Version " + FFacts.Version + "  \u00B7  erstellt am " + FormatDisplayDate(FFacts.BuildTime);
}

std::string TAboutPresenter::AddressLine() const { return ReplaceAll(FVendor.Address, "|", "  \u00B7  "); }

void TAboutPresenter::CopyReport() {
    FView.CopyToClipboard(ReplaceAll(FReport, "\n", "\r\n") + "\r\n");
    FServices.Messages.Inform("Systeminformationen in die Zwischenablage kopiert.");
}

} // namespace velkaro
