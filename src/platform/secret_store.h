#pragma once
// Protected storage of small secrets for the current user (stands in for the
// Windows data protection): AES-256-GCM with a random per-user key kept in
// UserConfigDir() (folder 0700, key file 0600, created on first use). A key folder or
// key file that belongs to another user or is open to group or others is refused.
//
// Blob layout: version byte 1 | 12-byte nonce | ciphertext | 16-byte tag; the fixed
// text "Velkaro-Postfach" is the associated data. Only a process that can read the
// same key file can read the blob back.
#include <optional>
#include <string>
#include <string_view>

namespace velkaro {

// Encrypts with the user's key, creating the key on first use. Raises
// velkaro::Exception with a German message when the key or the cipher fails.
std::string ProtectData(std::string_view plain);

// Decrypts a blob made by ProtectData. nullopt for any failure (no key, another
// user's key, damaged, truncated or unknown version); never raises.
std::optional<std::string> UnprotectData(std::string_view blob) noexcept;

// The key file in use: UserConfigDir() + "/geheim.key"; empty when the account has
// no home (then nothing can be protected).
std::string SecretKeyFilePath();

enum class TKeyPlace { kpFolder, kpFile };
// Checks that the key folder or key file at path (not a symbolic link) belongs to the
// user `owner` alone: owned by them, no rights for group or others. Raises
// velkaro::Exception with a German message naming the path otherwise.
void CheckKeyPlace(const std::string& path, TKeyPlace place, unsigned owner);

} // namespace velkaro
