#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/file_handle.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace velkaro {

namespace {

// The file a path names once symbolic links in its last part are followed; a link
// to a file that does not exist yet names the file to create.
fs::path FollowLinks(const std::string& path) {
    fs::path p(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec))) return p;
        fs::path target = fs::read_symlink(p, ec);
        if (ec) throw Exception(OsErrorMessage("Datei \"" + path + "\" kann nicht geschrieben werden", ec));
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    throw Exception(OsErrorMessage("Datei \"" + path + "\" kann nicht geschrieben werden", ELOOP));
}

// Gives the new file the mode, owner and group of the file it replaces. Only root may
// give a file away; otherwise the group is kept if we belong to it, or else the
// group's rights are withheld rather than handed to our own group.
bool TakeOverOwnerAndMode(int fd, const struct stat& old) {
    struct stat now {};
    if (fstat(fd, &now) != 0) return false;
    mode_t mode = old.st_mode & 07777;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && fchown(fd, old.st_uid, old.st_gid) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0)
        mode &= ~static_cast<mode_t>(070);
    return fchmod(fd, mode) == 0;
}

bool IsControlByte(unsigned char c) {
    return c < 0x20 && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r' && c != 0x1A;
}

} // namespace

std::string OsErrorMessage(const std::string& failure, int errorCode) {
    return failure + " (" + std::system_category().message(errorCode) + ").";
}

std::string OsErrorMessage(const std::string& failure, const std::error_code& error) {
    return failure + " (" + error.message() + ").";
}

std::string NoFollowErrorMessage(const std::string& failure, int errorCode) {
    if (errorCode == ELOOP)
        return failure + ": an dieser Stelle steht eine symbolische Verknüpfung, der das Programm nicht folgt. "
                         "Bitte die Verknüpfung entfernen.";
    return OsErrorMessage(failure, errorCode);
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(fs::path(path), ec);
}

bool DirectoryExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(fs::path(path), ec);
}

void ForceDirectories(const std::string& path) {
    if (path.empty() || DirectoryExists(path)) return;
    std::error_code ec;
    fs::create_directories(fs::path(path), ec);
    if (ec) throw Exception(OsErrorMessage("Ordner \"" + path + "\" kann nicht angelegt werden", ec));
}

TPathKind PathKind(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return TPathKind::pkMissing;
        throw Exception(OsErrorMessage("Datei \"" + path + "\" kann nicht geöffnet werden", errno));
    }
    if (S_ISREG(st.st_mode)) return TPathKind::pkFile;
    return S_ISDIR(st.st_mode) ? TPathKind::pkFolder : TPathKind::pkOther;
}

std::string ReadFileBytes(const std::string& path) { return ReadFileBytes(path, SIZE_MAX - 1); }

bool HoldsControlBytes(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return IsControlByte(static_cast<unsigned char>(c)); });
}

std::string ReadFileBytes(const std::string& path, size_t maxBytes) {
    TFileHandle fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) throw Exception(OsErrorMessage("Datei \"" + path + "\" kann nicht geöffnet werden", errno));
    std::string data;
    struct stat st {};
    if (fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode))
        data.reserve(static_cast<size_t>(std::min<uintmax_t>(static_cast<uintmax_t>(st.st_size), maxBytes + 1)));
    char buffer[64 * 1024];
    for (;;) {
        ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw Exception(OsErrorMessage("Datei \"" + path + "\" kann nicht gelesen werden", errno));
        if (n == 0) return data;
        data.append(buffer, static_cast<size_t>(n));
        if (data.size() > maxBytes) {
            const size_t mb = 1024 * 1024;
            throw Exception("Datei \"" + path + "\" ist größer als " +
                            (maxBytes >= mb ? std::to_string(maxBytes / mb) + " MB" : std::to_string(maxBytes) + " Byte") +
                            " und wird nicht gelesen.");
        }
    }
}

std::string AtomicWriteTempName(std::string_view fileName, uint32_t number) {
    return "." + std::string(fileName) + "." + std::to_string(number) + ".tmp";
}

bool IsAtomicWriteTempName(std::string_view name, std::string_view* fileName) {
    constexpr std::string_view kTmp = ".tmp";
    if (name.size() <= 1 + kTmp.size() || name.front() != '.' || !name.ends_with(kTmp)) return false;
    const std::string_view inner = name.substr(1, name.size() - 1 - kTmp.size());  // "<file>.<number>"
    const size_t dot = inner.rfind('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view number = inner.substr(dot + 1);
    if (number.empty() || number.size() > 10 ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    if (fileName) *fileName = inner.substr(0, dot);
    return true;
}

void WriteFileBytes(const std::string& path, std::string_view bytes, unsigned newFileMode, TLinkMode links) {
    const std::string failure = "Datei \"" + path + "\" kann nicht geschrieben werden";
    const fs::path target = links == lmFollowLink ? FollowLinks(path) : fs::path(path);
    // A link that is replaced hands nothing of its target on: the new file is new.
    struct stat old {};
    const bool replacing = ::lstat(target.c_str(), &old) == 0 && !S_ISLNK(old.st_mode);
    const fs::path folder = target.parent_path();
    std::random_device rd;
    const fs::path temp = (folder.empty() ? fs::path(".") : folder) /
                          AtomicWriteTempName(target.filename().string(), rd());
    // A file that replaces another stays private until it has the other's rights.
    TFileHandle fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          replacing ? mode_t{0600} : static_cast<mode_t>(newFileMode)));
    if (!fd.Valid()) throw Exception(OsErrorMessage(failure, errno));
    bool ok = WriteAll(fd.Get(), bytes) && (!replacing || TakeOverOwnerAndMode(fd.Get(), old));
    int err = errno;
    if (!fd.Close() && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        throw Exception(OsErrorMessage(failure, err));
    }
}

std::string ToCrLf(std::string_view text) {
    std::string r;
    r.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n' && (i == 0 || text[i - 1] != '\r')) r += '\r';
        r += c;
    }
    return r;
}

std::string StripUtf8Bom(std::string_view bytes) {
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
    return std::string(bytes);
}

void WriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string data(kUtf8Bom);
    for (const auto& line : lines) {
        data += line;
        data += "\r\n";
    }
    WriteFileBytes(path, data);
}

void WriteTextFile(const std::string& path, std::string_view text, TLinkMode links) {
    WriteFileBytes(path, std::string(kUtf8Bom) + ToCrLf(text), kDefaultNewFileMode, links);
}

std::string ReadTextFile(const std::string& path) { return StripUtf8Bom(ReadFileBytes(path)); }

THandEditedText ReadHandEditedTextFile(const std::string& path) {
    const std::string bytes = ReadFileBytes(path);
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        throw Exception("Datei \"" + path + "\" ist in UTF-16 gespeichert und kann nicht gelesen werden. "
                        "Bitte als UTF-8 speichern.");
    if (HoldsControlBytes(bytes))
        throw Exception("Datei \"" + path + "\" ist keine Textdatei und kann nicht gelesen werden.");
    THandEditedText result;
    result.HadBom = bytes.starts_with(kUtf8Bom);
    result.Text = StripUtf8Bom(bytes);
    if (!IsValidUtf8(result.Text)) {
        result.Text = Cp1252ToUtf8(result.Text);
        result.ReadAsCp1252 = true;
    }
    return result;
}

std::string ExtractFilePath(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtractFileExt(const std::string& path) {
    std::string name = ExtractFileName(path);
    size_t dot = name.find_last_of('.');
    return (dot == std::string::npos || dot == 0) ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(const std::string& path, std::string_view ext) {
    std::string current = ExtractFileExt(path);
    return path.substr(0, path.size() - current.size()) + std::string(ext);
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
    if (!path.empty() && path.back() == '/') return path;
    return path + "/";
}

std::string CombinePath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (!name.empty() && name.front() == '/') return name;
    return IncludeTrailingPathDelimiter(folder) + name;
}

std::string PathBeside(const std::string& folder, const std::string& path) {
    return Trim(path).empty() ? path : CombinePath(folder, path);
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path), ec);
    return ec ? path : p.lexically_normal().string();
}

std::string ExecutablePath() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("velkaro") : p.string();
}

std::string SettingsFilePath() {
    if (const char* ini = std::getenv("VELKARO_INI"); ini && *ini) return AbsolutePath(ini);
    // Never beside the program: that folder belongs to the system (/usr/bin).
    const std::optional<std::string> own = UserConfigDir();
    if (!own)
        throw Exception("Für dieses Konto ist kein Benutzerordner bekannt, also auch kein Ort für die Einstellungen. "
                        "Abhilfe: VELKARO_INI auf die Einstellungsdatei setzen.");
    return CombinePath(*own, "velkaro.ini");
}

namespace {

// $HOME, else the home of the user database; "" when the account has none.
std::string HomeFolder() {
    if (const char* env = std::getenv("HOME"); env && env[0] == '/') return env;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

// $<variable>/velkaro, else <home>/<fallback>/velkaro.
std::optional<std::string> UserDir(const char* variable, const char* fallback) {
    if (const char* xdg = std::getenv(variable); xdg && xdg[0] == '/') return CombinePath(xdg, "velkaro");
    const std::string home = HomeFolder();
    if (home.empty()) return std::nullopt;
    return CombinePath(CombinePath(home, fallback), "velkaro");
}

} // namespace

std::optional<std::string> UserConfigDir() { return UserDir("XDG_CONFIG_HOME", ".config"); }

std::optional<std::string> UserStateDir() { return UserDir("XDG_STATE_HOME", ".local/state"); }

bool FolderWritable(const std::string& path) {
    if (path.empty()) return false;
    fs::path p = fs::path(AbsolutePath(path));
    if (p.has_relative_path() && !p.has_filename()) p = p.parent_path();  // "a/b/" → "a/b"
    for (;;) {
        std::error_code ec;
        const fs::file_status st = fs::status(p, ec);
        if (!ec && fs::exists(st))
            return fs::is_directory(st) && ::access(p.c_str(), W_OK | X_OK) == 0;
        if (ec && ec != std::errc::no_such_file_or_directory) return false;
        if (!p.has_relative_path() || p.parent_path() == p) return false;
        p = p.parent_path();
    }
}

std::string TempDir() {
    std::error_code ec;
    fs::path p = fs::temp_directory_path(ec);
    return ec ? std::string("/tmp/") : IncludeTrailingPathDelimiter(p.string());
}

} // namespace velkaro
