// The vendor block of the about dialog.
#include "uimodel/vendor.h"

#include "config/settings_keys.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr const char* kSection = "Hersteller";

// The key's value, else its default from the table of known settings.
std::string ValueOr(const TIniFile& ini, const char* key) {
    std::optional<std::string> value = ini.Find(kSection, key);
    if (value) return *value;
    const TSettingKey* known = FindSettingKey(kSection, key);
    return known ? known->Default : "";
}

TIniFile ReadSettingsText(const std::string& settingsFile) {
    return FileExists(settingsFile) ? TIniFile::FromFile(settingsFile) : TIniFile();
}

} // namespace

TVendorInfo ReadVendorInfo(const std::string& settingsFile) {
    const TIniFile ini = ReadSettingsText(settingsFile);
    TVendorInfo v;
    v.Name = ValueOr(ini, "Name");
    v.Web = ValueOr(ini, "Web");
    v.EMail = ValueOr(ini, "EMail");
    v.Phone = ValueOr(ini, "Telefon");
    v.Fax = ValueOr(ini, "Fax");
    v.Address = ValueOr(ini, "Anschrift");
    v.ShortName = ValueOr(ini, "Kurzname");
    v.Manual = Trim(ValueOr(ini, "Anleitung"));
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
