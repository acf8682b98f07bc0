#pragma once
// Protected storage of small secrets for the current user (stands in for the
// Windows data protection): AES-256-GCM with a random per-user key kept in
// UserConfigDir() (folder 0700, key file 0600, created on first use), or in the file
// the environment variable VELKARO_SCHLUESSEL names (for accounts without a home). A key folder or
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

// Why a blob could not be read back.
enum class TUnprotectFailure {
    ufNone,
    ufDamaged,     // not a blob of ours (cut, altered, unknown version)
    ufNoKeyPlace,  // the account has no home and VELKARO_SCHLUESSEL is not set
    ufNoKey,       // this account's key file does not exist
    ufOtherKey,    // this account's key is not the one the blob was made with
    ufKeyRefused,  // the key file is unreadable or not the account's alone
};

struct TUnprotected {
    std::optional<std::string> Plain;
    TUnprotectFailure Failure = TUnprotectFailure::ufNone;
    std::string Detail;  // the key file concerned, or the refusal's message
};

// UnprotectData, saying why it failed. Never raises.
TUnprotected UnprotectDataExplained(std::string_view blob) noexcept;

// The key file in use: VELKARO_SCHLUESSEL when set, else UserConfigDir() +
// "/geheim.key"; empty when neither is known (then nothing can be protected).
std::string SecretKeyFilePath();

// The login name of the account the process runs as (its number when it has none).
std::string CurrentUserName();

enum class TKeyPlace { kpFolder, kpFile };
// Checks that the key folder or key file at path (not a symbolic link) belongs to the
// user `owner` alone: owned by them, no rights for group or others. Raises
// velkaro::Exception with a German message naming the path otherwise.
void CheckKeyPlace(const std::string& path, TKeyPlace place, unsigned owner);

} // namespace velkaro
