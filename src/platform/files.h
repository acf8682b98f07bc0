#pragma once
// File and path helpers. Paths are UTF-8 text; errors raise velkaro::Exception with
// a German message that names the file.
#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
void ForceDirectories(const std::string& path);

std::string ReadFileBytes(const std::string& path);
// Writes to a temporary file in the target folder and renames it over the target,
// so that a failure never leaves a half-written file behind.
void WriteFileBytes(const std::string& path, std::string_view bytes);

// Text files the program writes: UTF-8 with byte-order mark, every line ending in CR LF.
void WriteTextLines(const std::string& path, const std::vector<std::string>& lines);
// Writes text as UTF-8 with byte-order mark; lone LF line ends become CR LF.
void WriteTextFile(const std::string& path, std::string_view text);
// Reads a UTF-8 text file, dropping a leading byte-order mark.
std::string ReadTextFile(const std::string& path);
std::string ToCrLf(std::string_view text);
std::string StripUtf8Bom(std::string_view bytes);

// Path pieces (POSIX separators).
std::string ExtractFilePath(const std::string& path);   // folder with trailing "/"; "" when none
std::string ExtractFileName(const std::string& path);
std::string ExtractFileExt(const std::string& path);    // ".ini"; "" when none
std::string ChangeFileExt(const std::string& path, std::string_view ext);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string CombinePath(const std::string& folder, const std::string& name);
std::string AbsolutePath(const std::string& path);

// Where the program lives and where its settings file is.
std::string ExecutablePath();
// The settings file: $VELKARO_INI when set, else the executable's path with ".ini".
std::string SettingsFilePath();
// $XDG_CONFIG_HOME/velkaro, default ~/.config/velkaro (not created here).
std::string UserConfigDir();
std::string TempDir();

} // namespace velkaro
