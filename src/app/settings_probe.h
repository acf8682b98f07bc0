#pragma once
// "velkaro /pruefen": checks the settings file and what it points to – the file's
// sections, keys and values, the database connection, the Microsoft 365 sign-in when
// mailing is set up, and whether this account can read the protected client secret.
// Reads only: it creates no file, produces no document and sends no mail.
#include <string>

namespace velkaro {

struct TSettingsProbe {
    std::string Report;  // German, one line per check, ending with "Ergebnis: …"
    bool AllWell = false;
};

TSettingsProbe ProbeSettings(const std::string& settingsFile);

} // namespace velkaro
