// The vendor block of the about dialog.
#include "uimodel/vendor.h"

#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr const char* kSection = "Hersteller";

std::string ValueOr(const TIniFile& ini, const char* key, const char* fallback) {
    std::optional<std::string> value = ini.Find(kSection, key);
    return value ? *value : std::string(fallback);
}

TIniFile ReadSettingsText(const std::string& settingsFile) {
    return FileExists(settingsFile) ? TIniFile::FromFile(settingsFile) : TIniFile();
}

} // namespace

TVendorInfo ReadVendorInfo(const std::string& settingsFile) {
    const TIniFile ini = ReadSettingsText(settingsFile);
    TVendorInfo v;
    v.Name = ValueOr(ini, "Name", "Velkaro Softwareentwicklung");
    v.Web = ValueOr(ini, "Web", "www.velkaro.de");
    v.EMail = ValueOr(ini, "EMail", "support@velkaro.de");
    v.Phone = ValueOr(ini, "Telefon", "");
    v.Fax = ValueOr(ini, "Fax", "");
    v.Address = ValueOr(ini, "Anschrift", "");
    v.ShortName = ValueOr(ini, "Kurzname", "Velkaro");
    v.Manual = Trim(ValueOr(ini, "Anleitung", ""));
    return v;
}

std::string ManualAddress(const std::string& settingsFile) {
    const std::string manual = ReadVendorInfo(settingsFile).Manual;
    return manual.empty() ? manual : WebLinkTarget(manual);
}

std::string WebLinkTarget(const std::string& web) {
    return SameText(web.substr(0, 4), "http") ? web : "https://" + web;
}

std::string MailLinkTarget(const std::string& address, const std::string& version) {
    return "mailto:" + address + "?subject=Velkaro%20" + version;
}

std::string ContactLine(const TVendorInfo& vendor) {
    if (!vendor.Phone.empty() && !vendor.Fax.empty()) return "Telefon " + vendor.Phone + "  ·  Fax " + vendor.Fax;
    if (!vendor.Phone.empty()) return "Telefon " + vendor.Phone;
    if (!vendor.Fax.empty()) return "Fax " + vendor.Fax;
    return "";
}

} // namespace velkaro
