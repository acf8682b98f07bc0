#pragma once
// Keeps the client secret, access tokens and session addresses out of messages: an
// answer of a proxy or service may quote the request it refused, and such texts reach
// logs and dialogs.
#include <string>
#include <vector>

namespace velkaro {

// Replaces by "***": every secret (plain and URL-encoded; secrets shorter than six
// characters are too likely to stand in ordinary words and are left alone), the values
// of credentials ("client_secret", "authtoken", "access_token", "refresh_token",
// "id_token" followed by "=" or ":", and "Bearer "), and the query string of every URL.
// Safe for any message: paths and file names stay readable.
std::string MaskSecrets(std::string message, const std::vector<std::string>& secrets);

// MaskSecrets for a text that a service wrote, which has no business carrying tokens:
// additionally every JSON web token ("eyJ…") and every run of 32 or more token
// characters mixing upper case, lower case and digits.
std::string MaskServiceText(std::string text, const std::vector<std::string>& secrets);

} // namespace velkaro
