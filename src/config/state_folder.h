#pragma once
// Where the state of the runs on one settings file lives: the lock file, the batch log
// and the sent-mail log, and the default output folder. [Ausgabe] Datenordner names it
// (relative to the settings folder); unset, it is the settings folder when this account
// may write there, else the account's state folder (~/.local/state/velkaro), so that
// settings kept in a folder of root's (/etc/velkaro) still give a working run.
#include <string>
#include <string_view>

namespace velkaro {

struct TStateFolder {
    std::string Folder;  // with a trailing "/"
    // Set when the folder is not the one the settings name or imply by default: why,
    // and where the state goes instead. One line for the log and the check.
    std::string Hint;
};

// The settings file as the system finds it, absolute, its symbolic links resolved (a
// dangling one to the file it names), so that every name of one file gives one lock,
// one log and one sent log. The state below is named and placed after it.
std::string RealSettingsPath(const std::string& settingsFile);

// `configured`: [Ausgabe] Datenordner as written (blank: unset), relative to the folder
// of the real settings file.
TStateFolder ResolveStateFolder(const std::string& settingsFile, const std::string& configured);

// The same with the key as the settings file says; a missing or unreadable file counts
// as one without the key (reading it is the settings' business).
TStateFolder StateFolderOf(const std::string& settingsFile);

// A state file of the settings file: its name with `ext` in the state folder
// ("/var/lib/velkaro/velkaro.log" for "/etc/velkaro/velkaro.ini" and ".log").
std::string StateFilePath(const TStateFolder& state, const std::string& settingsFile, std::string_view ext);

} // namespace velkaro
