#include "platform/secret_store.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <cstdlib>
#include <memory>
#include <vector>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/file_handle.h"
#include "platform/files.h"

namespace velkaro {

namespace {

constexpr unsigned char kVersion = 1;
constexpr size_t kKeySize = 32;
constexpr size_t kNonceSize = 12;
constexpr size_t kTagSize = 16;
constexpr std::string_view kAssociatedData = "Velkaro-Postfach";
constexpr const char* kKeyFileName = "geheim.key";
constexpr const char* kKeyEnvironment = "VELKARO_SCHLUESSEL";

using Key = std::array<unsigned char, kKeySize>;

// Wipes the key from memory when it goes out of scope.
struct KeyHolder {
    Key Bytes{};
    ~KeyHolder() { OPENSSL_cleanse(Bytes.data(), Bytes.size()); }
};

struct CipherCtxDeleter {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxDeleter>;

constexpr const char* kKeySubject = "Der Schlüssel zum Schützen des Client-Secrets ";

[[noreturn]] void KeyError(const std::string& what) { throw Exception(kKeySubject + what); }

[[noreturn]] void KeyOsError(const std::string& what, int errorCode) {
    throw Exception(OsErrorMessage(kKeySubject + what, errorCode));
}

std::string ModeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// The key file named by VELKARO_SCHLUESSEL, for an account without a home of its own;
// empty when the variable is not set.
std::string KeyFileFromEnvironment() {
    const char* env = std::getenv(kKeyEnvironment);
    if (!env || !*env) return {};
    return AbsolutePath(env);
}

// The key folder, or a German error when the account has no home to keep it in.
std::string KeyFolder() {
    std::optional<std::string> folder = UserConfigDir();
    if (!folder)
        KeyError(std::string("kann nicht angelegt werden: Für den angemeldeten Benutzer ist kein Benutzerordner bekannt. "
                             "Abhilfe: die Umgebungsvariable ") +
                 kKeyEnvironment + " auf eine Schlüsseldatei in einem beschreibbaren Ordner setzen.");
    return *folder;
}

// The place must be the user's alone: whoever else may write the folder or the key
// could choose the key, whoever may read the key could read every secret.
void CheckPrivate(const std::string& path, const struct stat& st, uid_t owner) {
    if (st.st_uid != owner)
        KeyError("wird nicht verwendet: \"" + path + "\" gehört nicht dem angemeldeten Benutzer. Abhilfe: als der "
                 "Benutzer arbeiten, dem es gehört, oder " + std::string(kKeyEnvironment) +
                 " auf eine eigene Schlüsseldatei setzen.");
    if ((st.st_mode & 077) != 0)
        KeyError("wird nicht verwendet: Auf \"" + path + "\" haben auch andere Benutzer Zugriff (Rechte " +
                 ModeText(st.st_mode) + "). Nur der eigene Benutzer darf Zugriff haben. Abhilfe: chmod " +
                 (S_ISDIR(st.st_mode) ? "700" : "600") + " \"" + path + "\"");
}

// Creates the key folder for the owner alone, or checks the existing one.
void EnsurePrivateFolder(const std::string& folder) {
    // An account made without its home (useradd without -m) cannot create the folder.
    const std::string remedy = std::string(" Abhilfe: den Benutzerordner des Kontos anlegen oder die Umgebungsvariable ") +
                               kKeyEnvironment + " auf eine Schlüsseldatei in einem beschreibbaren Ordner setzen.";
    std::string parent = ExtractFilePath(folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder);
    try {
        if (!parent.empty() && !DirectoryExists(parent)) ForceDirectories(parent);
    } catch (const std::exception& e) {
        KeyError("kann nicht angelegt werden: " + std::string(e.what()) + remedy);
    }
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw Exception(OsErrorMessage(kKeySubject + std::string("kann nicht im Ordner \"") + folder +
                                           "\" angelegt werden", errno) + remedy);
    CheckKeyPlace(folder, TKeyPlace::kpFolder, geteuid());
}

enum class ReadResult { Ok, Missing, Invalid };

// Reads the key; a key file that is not private to the user raises.
ReadResult ReadKeyFile(const std::string& path, Key& key) {
    TFileHandle fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid()) return errno == ENOENT ? ReadResult::Missing : ReadResult::Invalid;
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::Invalid;
    CheckPrivate(path, st, geteuid());
    std::array<unsigned char, kKeySize + 1> buffer{};
    size_t got = 0;
    while (got < buffer.size()) {
        ssize_t n = read(fd.Get(), buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    bool ok = got == kKeySize;
    if (ok) std::copy_n(buffer.begin(), kKeySize, key.begin());
    OPENSSL_cleanse(buffer.data(), buffer.size());
    return ok ? ReadResult::Ok : ReadResult::Invalid;
}

// Writes a fresh key to a private temporary file and links it under the final
// name: link() never replaces an existing file, so when two processes race, both
// end up using the key of the one that linked first.
void CreateKeyFile(const std::string& path) {
    KeyHolder fresh;
    if (RAND_bytes(fresh.Bytes.data(), static_cast<int>(fresh.Bytes.size())) != 1)
        KeyError("kann nicht erzeugt werden (Zufallszahlen nicht verfügbar).");
    std::string temp = path + ".XXXXXX";
    TFileHandle fd(mkstemp(temp.data()));  // mode 0600
    if (!fd.Valid()) KeyOsError("kann nicht in \"" + path + "\" angelegt werden", errno);
    bool ok = fchmod(fd.Get(), 0600) == 0 &&
              write(fd.Get(), fresh.Bytes.data(), fresh.Bytes.size()) == static_cast<ssize_t>(fresh.Bytes.size()) &&
              fsync(fd.Get()) == 0;
    int writeErrno = errno;
    if (ok && link(temp.c_str(), path.c_str()) != 0 && errno != EEXIST) {
        ok = false;
        writeErrno = errno;
    }
    unlink(temp.c_str());
    if (!ok) KeyOsError("kann nicht in \"" + path + "\" gespeichert werden", writeErrno);
}

// The key file in use; a folder of the account's own is created (and checked) for it.
// A file named by VELKARO_SCHLUESSEL lies in a folder the administrator chose: only the
// file itself must be the account's alone.
std::string PrepareKeyFile() {
    std::string path = KeyFileFromEnvironment();
    if (!path.empty()) {
        const std::string folder = ExtractFilePath(path);
        if (!DirectoryExists(folder))
            KeyError(std::string("kann nicht angelegt werden: Der Ordner \"") + folder + "\" aus " + kKeyEnvironment +
                     " fehlt.");
        return path;
    }
    const std::string folder = KeyFolder();
    EnsurePrivateFolder(folder);
    return CombinePath(folder, kKeyFileName);
}

void LoadOrCreateKey(Key& key) {
    const std::string path = PrepareKeyFile();
    ReadResult result = ReadKeyFile(path, key);
    if (result == ReadResult::Missing) {
        CreateKeyFile(path);
        result = ReadKeyFile(path, key);
    }
    if (result != ReadResult::Ok)
        KeyError("in \"" + path + "\" ist unlesbar oder beschädigt. Bitte die Datei prüfen.");
}

const unsigned char* Bytes(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

} // namespace

std::string SecretKeyFilePath() {
    std::string path = KeyFileFromEnvironment();
    if (!path.empty()) return path;
    std::optional<std::string> folder = UserConfigDir();
    return folder ? CombinePath(*folder, kKeyFileName) : std::string();
}

void CheckKeyPlace(const std::string& path, TKeyPlace place, unsigned owner) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) KeyOsError("kann nicht geprüft werden: \"" + path + "\"", errno);
    // lstat: a symbolic link is neither, so nobody can redirect the key elsewhere.
    if (place == TKeyPlace::kpFolder && !S_ISDIR(st.st_mode))
        KeyError("wird nicht verwendet: \"" + path + "\" ist kein Ordner.");
    if (place == TKeyPlace::kpFile && !S_ISREG(st.st_mode))
        KeyError("wird nicht verwendet: \"" + path + "\" ist keine Datei.");
    CheckPrivate(path, st, static_cast<uid_t>(owner));
}

std::string ProtectData(std::string_view plain) {
    if (plain.size() > INT_MAX / 2) throw Exception("Der zu schützende Text ist zu lang.");
    KeyHolder key;
    LoadOrCreateKey(key.Bytes);

    std::string blob(1 + kNonceSize + plain.size() + kTagSize, '\0');
    auto* out = reinterpret_cast<unsigned char*>(blob.data());
    out[0] = kVersion;
    unsigned char* nonce = out + 1;
    unsigned char* cipher = nonce + kNonceSize;
    if (RAND_bytes(nonce, static_cast<int>(kNonceSize)) != 1)
        throw Exception("Das Client-Secret kann nicht geschützt werden (Zufallszahlen nicht verfügbar).");

    CipherCtx ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int finalLen = 0;
    bool ok = ctx && EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
              EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonceSize), nullptr) == 1 &&
              EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key.Bytes.data(), nonce) == 1 &&
              EVP_EncryptUpdate(ctx.get(), nullptr, &len, Bytes(kAssociatedData),
                                static_cast<int>(kAssociatedData.size())) == 1 &&
              EVP_EncryptUpdate(ctx.get(), cipher, &len, Bytes(plain), static_cast<int>(plain.size())) == 1 &&
              EVP_EncryptFinal_ex(ctx.get(), cipher + len, &finalLen) == 1 &&
              static_cast<size_t>(len + finalLen) == plain.size() &&
              EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagSize),
                                  cipher + plain.size()) == 1;
    if (!ok) throw Exception("Das Client-Secret kann nicht geschützt werden (Verschlüsselung fehlgeschlagen).");
    return blob;
}

TUnprotected UnprotectDataExplained(std::string_view blob) noexcept {
    TUnprotected result;
    try {
        if (blob.size() < 1 + kNonceSize + kTagSize || static_cast<unsigned char>(blob[0]) != kVersion ||
            blob.size() > INT_MAX / 2) {
            result.Failure = TUnprotectFailure::ufDamaged;
            return result;
        }
        KeyHolder key;
        std::string path = KeyFileFromEnvironment();
        if (path.empty()) {
            std::optional<std::string> folder = UserConfigDir();
            if (!folder) {
                result.Failure = TUnprotectFailure::ufNoKeyPlace;
                return result;
            }
            path = CombinePath(*folder, kKeyFileName);
            if (!DirectoryExists(*folder)) {
                result.Failure = TUnprotectFailure::ufNoKey;
                result.Detail = path;
                return result;
            }
            CheckKeyPlace(*folder, TKeyPlace::kpFolder, geteuid());
        }
        result.Detail = path;
        switch (ReadKeyFile(path, key.Bytes)) {
            case ReadResult::Ok: break;
            case ReadResult::Missing: result.Failure = TUnprotectFailure::ufNoKey; return result;
            case ReadResult::Invalid: result.Failure = TUnprotectFailure::ufKeyRefused; return result;
        }

        const unsigned char* nonce = Bytes(blob) + 1;
        const unsigned char* cipher = nonce + kNonceSize;
        size_t cipherSize = blob.size() - 1 - kNonceSize - kTagSize;
        std::array<unsigned char, kTagSize> tag{};
        std::copy_n(cipher + cipherSize, kTagSize, tag.begin());

        std::string plain(cipherSize, '\0');
        auto* out = reinterpret_cast<unsigned char*>(plain.data());
        CipherCtx ctx(EVP_CIPHER_CTX_new());
        int len = 0;
        int finalLen = 0;
        bool ok = ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
                  EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonceSize), nullptr) == 1 &&
                  EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, key.Bytes.data(), nonce) == 1 &&
                  EVP_DecryptUpdate(ctx.get(), nullptr, &len, Bytes(kAssociatedData),
                                    static_cast<int>(kAssociatedData.size())) == 1 &&
                  EVP_DecryptUpdate(ctx.get(), out, &len, cipher, static_cast<int>(cipherSize)) == 1 &&
                  EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagSize), tag.data()) == 1 &&
                  EVP_DecryptFinal_ex(ctx.get(), out + len, &finalLen) == 1;
        if (!ok) {
            // The tag does not fit: made with another key (the blob itself is intact
            // as far as its form goes).
            OPENSSL_cleanse(plain.data(), plain.size());
            result.Failure = TUnprotectFailure::ufOtherKey;
            return result;
        }
        result.Plain = std::move(plain);
        return result;
    } catch (const std::exception& e) {
        result.Failure = TUnprotectFailure::ufKeyRefused;
        result.Detail = e.what();
        return result;
    } catch (...) {
        result.Failure = TUnprotectFailure::ufKeyRefused;
        return result;
    }
}

std::optional<std::string> UnprotectData(std::string_view blob) noexcept {
    return UnprotectDataExplained(blob).Plain;
}

std::string CurrentUserName() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return found->pw_name;
    return std::to_string(geteuid());
}

} // namespace velkaro
