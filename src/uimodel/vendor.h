#pragma once
// Who makes and supports the program, as the about dialog shows it: the section
// "Hersteller" of the settings file, each key with a default of our own.
#include <string>

namespace velkaro {

struct TVendorInfo {
    std::string Name;
    std::string Web;
    std::string EMail;
    std::string Phone;
    std::string Fax;
    std::string Address;  // lines separated by "|"
    std::string ShortName;
    std::string Manual;   // web page of the manual; "" for the guide beside the program
};

// Keys "Name", "Web", "EMail", "Telefon", "Fax", "Anschrift", "Kurzname" and
// "Anleitung"; a missing key (or file) gives the default, an empty value stays empty.
TVendorInfo ReadVendorInfo(const std::string& settingsFile);

// The manual's web page ("[Hersteller] Anleitung="), "" when none is set.
std::string ManualAddress(const std::string& settingsFile);

// The link target of a web address: as written when it begins with "http" (any case),
// else with "https://" in front.
std::string WebLinkTarget(const std::string& web);
// "mailto:" + address + "?subject=Velkaro%20" + version.
std::string MailLinkTarget(const std::string& address, const std::string& version);
// "Telefon … · Fax …", one of them, or "" with neither.
std::string ContactLine(const TVendorInfo& vendor);

} // namespace velkaro
