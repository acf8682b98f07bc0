#pragma once
// The settings file a first run leaves: a German template that explains every known
// key (settings_keys.h). Only the given values are active lines, under their section
// headers; every other key, and every other section, stands in a ";" comment line with
// its default, ready to be switched on.
#include <string>
#include <vector>

namespace velkaro {

struct TTemplateValue {
    std::string Section;
    std::string Key;
    std::string Value;
};

// The file text: UTF-8 with byte-order mark, CR LF line ends. The sections and keys of
// `active` must be in the table; their values are written as given.
std::string SettingsTemplateText(const std::vector<TTemplateValue>& active);

// The file a first run leaves, and the template the package ships
// (velkaro.ini.beispiel): the connection keys and the font active with the table's
// defaults, the seller's keys active and empty, everything else a comment. No value
// of any one installation (folder, company, bank) is in it.
std::string FirstRunTemplateText();

} // namespace velkaro
