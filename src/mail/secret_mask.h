#pragma once
// Keeps the client secret and access tokens out of messages: an answer of a proxy or
// service may quote the request it refused, and such texts reach logs and dialogs.
#include <string>
#include <vector>

namespace velkaro {

// Replaces every secret (plain and URL-encoded; secrets shorter than six characters are
// too likely to stand in ordinary words and are left alone) and the values after
// "client_secret=" and "Bearer " by "***".
std::string MaskSecrets(std::string message, const std::vector<std::string>& secrets);

} // namespace velkaro
