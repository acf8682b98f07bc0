#pragma once
// The protected client secret of the mail account: reading it back with what went
// wrong, and the German texts that tell an administrator how to set it up for the
// account that runs the program.
#include <string>

namespace velkaro {

// How the messages name the two protected values and their plain forms.
inline constexpr const char* kGraphSecretName = "Client-Secret ([Graph] ClientSecretGeschuetzt)";
inline constexpr const char* kGraphPlainSecretName = "Client-Secret ([Graph] ClientSecret)";
inline constexpr const char* kSmtpPasswordName = "SMTP-Passwort ([SMTP] PasswortGeschuetzt)";
inline constexpr const char* kSmtpPlainPasswordName = "SMTP-Passwort ([SMTP] Passwort)";

// Reads "ClientSecretGeschuetzt" back. Empty result for an empty value; for a value this
// account cannot read, an empty result and `problem` says why and what to do.
std::string ReadProtectedSecret(const std::string& stored, std::string& problem);
// The same for another protected value of the mail settings, named as `name`.
std::string ReadProtectedSecret(const std::string& stored, std::string& problem, const std::string& name);
// The same for any protected value: `subject` names it at the start of the problem
// ("Das gespeicherte Passwort ([Datenbank] PasswortGeschuetzt)"), `remedy` ends it.
std::string ReadProtectedSecret(const std::string& stored, std::string& problem, const std::string& subject,
                                const std::string& remedy);

// The warning for a secret left in plain text in the file because protecting it failed
// with `reason`.
std::string PlainSecretWarning(const std::string& settingsFile, const std::string& reason,
                               const std::string& name = kGraphPlainSecretName);

} // namespace velkaro
