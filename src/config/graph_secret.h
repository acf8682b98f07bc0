#pragma once
// The protected client secret of the mail account: reading it back with what went
// wrong, and the German texts that tell an administrator how to set it up for the
// account that runs the program.
#include <string>

namespace velkaro {

// Reads "ClientSecretGeschuetzt" back. Empty result for an empty value; for a value this
// account cannot read, an empty result and `problem` says why and what to do.
std::string ReadProtectedSecret(const std::string& stored, std::string& problem);
// The same for another protected value: `subject` names it at the start of the problem
// ("Das gespeicherte Passwort ([Datenbank] PasswortGeschuetzt)"), `remedy` ends it.
std::string ReadProtectedSecret(const std::string& stored, std::string& problem, const std::string& subject,
                                const std::string& remedy);

// The warning for a secret left in plain text in the file because protecting it failed
// with `reason`.
std::string PlainSecretWarning(const std::string& settingsFile, const std::string& reason);

} // namespace velkaro
