#pragma once
// "velkaro /pruefen": checks the settings file and what it points to – the file's
// sections, keys and values, the database connection, the Microsoft 365 sign-in when
// mailing is set up, whether this account can read the protected client secret, may
// write the state and output folders, and whether a clear-text password or secret in
// the file is open to every user.
// Reads only: it creates no file, produces no document and sends no mail.
#include <string>

namespace velkaro {

struct TSettingsProbe {
    std::string Report;  // German, one line per check, ending with "Ergebnis: …"
    bool AllWell = false;
};

TSettingsProbe ProbeSettings(const std::string& settingsFile);

} // namespace velkaro
