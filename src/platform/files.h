#pragma once
// File and path helpers. Paths are UTF-8 text; errors raise velkaro::Exception with
// a German message that names the file.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace velkaro {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Mode of new files before the process's umask: the system's usual default.
inline constexpr unsigned kDefaultNewFileMode = 0666;
// Mode of new logs, sent-mail logs, result lists and output documents before the umask:
// they hold customers' names, addresses and amounts, so the owner and its group (whoever
// processes the documents) may read them, others not. A narrower umask narrows it further.
inline constexpr unsigned kOwnDataFileMode = 0640;

// A German sentence that says what failed, with the operating system's own text in
// parentheses: `Datei "a" kann nicht geschrieben werden (No space left on device).`
std::string OsErrorMessage(const std::string& failure, int errorCode);
std::string OsErrorMessage(const std::string& failure, const std::error_code& error);
// The same for a file opened with O_NOFOLLOW: a symbolic link in the last part of the
// path (ELOOP) is named as such, the program does not write through it.
std::string NoFollowErrorMessage(const std::string& failure, int errorCode);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
void ForceDirectories(const std::string& path);

enum class TPathKind { pkMissing, pkFile, pkFolder, pkOther };
// What is at path (following symbolic links). Raises when the system cannot tell, for
// example when a folder on the way may not be searched: a file may well be there.
TPathKind PathKind(const std::string& path);

std::string ReadFileBytes(const std::string& path);
// The same for a file that has no business being larger than `maxBytes` (a template, a
// layout): raises `Datei "…" ist größer als N MB …` having read at most maxBytes + 1 bytes.
std::string ReadFileBytes(const std::string& path, size_t maxBytes);
// Whether the bytes hold what no text file holds: NUL or another control byte other
// than tab, line and page breaks (and the old end-of-file mark 0x1A).
bool HoldsControlBytes(std::string_view bytes);

// What a write does with a symbolic link at the path it writes.
enum TLinkMode {
    // The link is replaced by the new file; what it points to stays untouched. For
    // every file the program makes itself (documents, logs, previews): a link that
    // someone else put there must not lead the write (perhaps run as root) elsewhere.
    lmReplaceLink,
    // The link is followed: its target is replaced and the link stays. Only for files
    // that people edit and may keep elsewhere on purpose (the settings file, its mail
    // templates and the layout).
    lmFollowLink,
};

// Writes to a temporary file in the target folder and renames it over the target,
// so that a failure never leaves a half-written file behind. A replaced file keeps
// its mode, owner and group; a new file (a replaced link too) gets newFileMode less
// the umask.
void WriteFileBytes(const std::string& path, std::string_view bytes, unsigned newFileMode = kDefaultNewFileMode,
                    TLinkMode links = lmReplaceLink);

// The name of the temporary file beside `fileName` (a name without folder) that the
// atomic write fills before renaming it: "." + fileName + "." + number + ".tmp", e.g.
// ".Rechnung_RE-1.pdf.3141592653.tmp". A process that dies in between leaves it behind.
std::string AtomicWriteTempName(std::string_view fileName, uint32_t number);
// Whether `name` has that form (a number of 1 to 10 decimal digits); `fileName` then
// receives the name of the file it was to become.
bool IsAtomicWriteTempName(std::string_view name, std::string_view* fileName = nullptr);

// Text files the program writes: UTF-8 with byte-order mark, every line ending in CR LF.
void WriteTextLines(const std::string& path, const std::vector<std::string>& lines);
// Writes text as UTF-8 with byte-order mark; lone LF line ends become CR LF.
void WriteTextFile(const std::string& path, std::string_view text, TLinkMode links = lmReplaceLink);
// Reads a UTF-8 text file, dropping a leading byte-order mark.
std::string ReadTextFile(const std::string& path);

// A text file that people edit by hand: UTF-8 (a leading byte-order mark dropped) or,
// when the bytes are no valid UTF-8, Windows-1252 (an older editor's ANSI file).
struct THandEditedText {
    std::string Text;           // UTF-8
    bool ReadAsCp1252 = false;  // the bytes were no valid UTF-8
    bool HadBom = false;        // the file began with the UTF-8 byte-order mark (not in Text)
};
// Raises velkaro::Exception naming the file when it cannot be read or holds no such
// text: UTF-16 (byte-order mark), NUL or other control bytes.
THandEditedText ReadHandEditedTextFile(const std::string& path);
std::string ToCrLf(std::string_view text);
std::string StripUtf8Bom(std::string_view bytes);

// Path pieces (POSIX separators).
std::string ExtractFilePath(const std::string& path);   // folder with trailing "/"; "" when none
std::string ExtractFileName(const std::string& path);
std::string ExtractFileExt(const std::string& path);    // ".ini"; "" when none
std::string ChangeFileExt(const std::string& path, std::string_view ext);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string CombinePath(const std::string& folder, const std::string& name);
// A path named in a settings or layout file: a relative one lies in `folder`; blank and
// absolute ones stay as they are.
std::string PathBeside(const std::string& folder, const std::string& path);
std::string AbsolutePath(const std::string& path);

// Where the program lives and where its settings file is.
std::string ExecutablePath();
// The settings file: $VELKARO_INI when set, else UserConfigDir() + "/velkaro.ini" (never
// beside the program). Raises when neither is known (an account without a home).
std::string SettingsFilePath();
// $XDG_CONFIG_HOME/velkaro, else ~/.config/velkaro with the home from $HOME or, when
// that is not set, from the user database (not created here). nullopt when the
// account has no home: there is no shared place to fall back to.
std::optional<std::string> UserConfigDir();
// The same for the account's state: $XDG_STATE_HOME/velkaro, else ~/.local/state/velkaro.
std::optional<std::string> UserStateDir();
// Whether this account may create files in the folder, or, while it does not exist,
// create it: its nearest existing ancestor is a folder it may write and search.
bool FolderWritable(const std::string& path);
std::string TempDir();

} // namespace velkaro
