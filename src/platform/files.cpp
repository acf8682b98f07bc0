#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>
#include <unistd.h>

#include "platform/error.h"

namespace fs = std::filesystem;

namespace velkaro {

namespace {
std::string SystemError(int code) { return std::system_category().message(code); }
} // namespace

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
    if (ec) throw Exception("Ordner \"" + path + "\" kann nicht angelegt werden: " + ec.message());
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    if (!in) throw Exception("Datei \"" + path + "\" kann nicht geöffnet werden: " + SystemError(errno));
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) throw Exception("Datei \"" + path + "\" kann nicht gelesen werden.");
    return buffer.str();
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
    fs::path target = fs::path(path);
    fs::path folder = target.parent_path();
    std::random_device rd;
    fs::path temp = (folder.empty() ? fs::path(".") : folder) /
                    ("." + target.filename().string() + "." + std::to_string(rd()) + ".tmp");
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) throw Exception("Datei \"" + path + "\" kann nicht geschrieben werden: " + SystemError(errno));
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int err = errno;
    ok = (std::fflush(f) == 0) && ok;
    if (!ok) err = errno;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::remove(temp.c_str());
        throw Exception("Datei \"" + path + "\" kann nicht geschrieben werden: " + SystemError(err));
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        std::remove(temp.c_str());
        throw Exception("Datei \"" + path + "\" kann nicht geschrieben werden: " + ec.message());
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

void WriteTextFile(const std::string& path, std::string_view text) {
    WriteFileBytes(path, std::string(kUtf8Bom) + ToCrLf(text));
}

std::string ReadTextFile(const std::string& path) { return StripUtf8Bom(ReadFileBytes(path)); }

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
    return ChangeFileExt(ExecutablePath(), ".ini");
}

std::string UserConfigDir() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && xdg[0] == '/')
        return CombinePath(xdg, "velkaro");
    const char* home = std::getenv("HOME");
    return CombinePath(CombinePath(home && *home ? home : "/tmp", ".config"), "velkaro");
}

std::string TempDir() {
    std::error_code ec;
    fs::path p = fs::temp_directory_path(ec);
    return ec ? std::string("/tmp/") : IncludeTrailingPathDelimiter(p.string());
}

} // namespace velkaro
