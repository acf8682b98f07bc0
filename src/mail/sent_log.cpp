#include "mail/sent_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "platform/error.h"
#include "platform/file_handle.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr std::string_view kHeaderLine = "Zeitpunkt;Mandant;Rechnung;Empfaenger;Status;Info;VersandId";

// Room one entry needs at least; less, and the next line may be cut short.
constexpr unsigned long long kMinFreeBytes = 4096;

bool IsOpenStatus(std::string_view status) { return status == kSentInFlight || status == kSentUnclear; }

std::string KeyOf(const std::string& company, const std::string& invoiceNo) {
    return UpperAscii(company + "|" + invoiceNo);
}

// Every field stays on its line: a line break or other control character in any of them
// would split the entry into damaged lines or forge one.
std::string FormatLine(const TSentEntry& e) {
    return FormatIsoDateTime(e.Time) + ";" + SingleLine(e.Company) + ";" + SingleLine(e.InvoiceNo) + ";" +
           SingleLine(ReplaceAll(e.Recipients, ";", ",")) + ";" + SingleLine(e.Status) + ";" +
           SingleLine(ReplaceAll(e.Info, ";", ",")) + (e.Id.empty() ? "" : ";" + SingleLine(ReplaceAll(e.Id, ";", ","))) +
           "\r\n";
}

bool Expect(std::string_view s, size_t& pos, char c) {
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

std::string FileError(const std::string& path, int err) {
    return NoFollowErrorMessage("Datei \"" + path + "\" kann nicht geschrieben werden", err);
}

// Waits for the advisory lock of the file; closing the file releases it.
void LockFile(const TFileHandle& file, const std::string& path) {
    while (::flock(file.Get(), LOCK_EX) != 0)
        if (errno != EINTR) throw Exception(FileError(path, errno));
}

off_t FileSize(const TFileHandle& file, const std::string& path) {
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0) throw Exception(FileError(path, errno));
    return st.st_size;
}

// A line cut short by a full disk is taken back, so that the next line written after
// space was freed starts a line of its own and is read.
void WriteAllOrThrow(const TFileHandle& file, const std::string& path, std::string_view bytes, off_t before) {
    if (WriteAll(file.Get(), bytes)) return;
    const int error = errno;
    (void)!::ftruncate(file.Get(), before);  // best effort: the error below is what counts
    throw Exception(FileError(path, error));
}

} // namespace

std::string FormatIsoDateTime(TDateTime local) {
    const DateTimeParts p = DecodeDateTime(local);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second, p.millisecond);
    std::string result = text;
    const int offset = UtcOffsetMinutes(local);
    if (offset == 0) return result + "Z";
    const int a = std::abs(offset);
    std::snprintf(text, sizeof text, "%c%02d:%02d", offset > 0 ? '+' : '-', a / 60, a % 60);
    return result + text;
}

bool ParseIsoDateTime(std::string_view s, TDateTime& local) {
    DateTimeParts p;
    size_t pos = 0;
    if (!ReadFixedDigits(s, pos, 4, p.year) || !Expect(s, pos, '-') || !ReadFixedDigits(s, pos, 2, p.month) ||
        !Expect(s, pos, '-') || !ReadFixedDigits(s, pos, 2, p.day) || !IsValidDate(p.year, p.month, p.day))
        return false;
    bool hasOffset = false;
    int offset = 0;
    if (pos < s.size()) {
        if (!Expect(s, pos, 'T') && !Expect(s, pos, ' ')) return false;
        if (!ReadFixedDigits(s, pos, 2, p.hour) || !Expect(s, pos, ':') || !ReadFixedDigits(s, pos, 2, p.minute))
            return false;
        if (Expect(s, pos, ':')) {
            if (!ReadFixedDigits(s, pos, 2, p.second)) return false;
            if ((Expect(s, pos, '.') || Expect(s, pos, ',')) && !ReadSecondFraction(s, pos, p.millisecond))
                return false;
        }
        if (p.hour > 23 || p.minute > 59 || p.second > 59) return false;
        if (Expect(s, pos, 'Z')) {
            hasOffset = true;
        } else if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
            const int sign = s[pos++] == '-' ? -1 : 1;
            int hh = 0, mm = 0;
            if (!ReadFixedDigits(s, pos, 2, hh)) return false;
            Expect(s, pos, ':');
            if (pos < s.size() && !ReadFixedDigits(s, pos, 2, mm)) return false;
            if (hh > 23 || mm > 59) return false;
            hasOffset = true;
            offset = sign * (hh * 60 + mm);
        }
        if (pos != s.size()) return false;
    }
    TDateTime value = EncodeDateTime(p);
    if (hasOffset) {
        const TDateTime utc = value - offset / 1440.0;
        const TDateTime guess = utc + UtcOffsetMinutes(utc) / 1440.0;
        value = utc + UtcOffsetMinutes(guess) / 1440.0;
    }
    local = value;
    return true;
}

std::string NewMailId() {
    unsigned char bytes[16];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw Exception(OsErrorMessage("Keine Zufallszahlen für die Versand-Id", errno));
        got += static_cast<size_t>(n);
    }
    static const char kHex[] = "0123456789abcdef";
    std::string id;
    for (unsigned char b : bytes) {
        id += kHex[b >> 4];
        id += kHex[b & 15];
    }
    return id;
}

TSentLog::TSentLog(const std::string& AFileName) : FFileName(AFileName) { Reload(); }

void TSentLog::Reload() {
    FLast.clear();
    FOpen.clear();
    if (!FileExists(FFileName)) return;
    const std::string text = ReadTextFile(FFileName);
    // Lines are appended as things happen: the last line of a document is its state.
    for (std::string line : Split(text, '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> fields = Split(line, ';');
        TDateTime when = 0;
        if (fields.size() < 5 || !ParseIsoDateTime(fields[0], when)) continue;
        TSentEntry entry{when, fields[1], fields[2], fields[3], fields[4], fields.size() > 5 ? fields[5] : "",
                         fields.size() > 6 ? fields[6] : ""};
        const std::string key = KeyOf(entry.Company, entry.InvoiceNo);
        if (IsOpenStatus(entry.Status))
            FOpen[key] = std::move(entry);
        else
            FOpen.erase(key);
        if (fields[4] != kSentOk) continue;
        auto it = FLast.find(key);
        if (it == FLast.end() || when > it->second) FLast[key] = when;
    }
}

void TSentLog::Remember(const TSentEntry& E) {
    const std::string key = KeyOf(E.Company, E.InvoiceNo);
    if (E.Status == kSentOk) FLast[key] = E.Time;
    if (IsOpenStatus(E.Status))
        FOpen[key] = E;
    else
        FOpen.erase(key);
}

void TSentLog::CheckWritable() const {
    TFileHandle file(::open(FFileName.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
    std::string folder = ExtractFilePath(FFileName);
    if (folder.empty()) folder = ".";
    if (!file.Valid()) {
        if (errno != ENOENT) throw Exception(FileError(FFileName, errno));
        if (::access(folder.c_str(), W_OK | X_OK) != 0) throw Exception(FileError(FFileName, errno));
    }
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) == 0) {
        // The blocks kept for root count only for root.
        const unsigned long long blocks = ::geteuid() == 0 ? fs.f_bfree : fs.f_bavail;
        if (blocks * static_cast<unsigned long long>(fs.f_frsize) < kMinFreeBytes)
            throw Exception(FileError(FFileName, ENOSPC));
    }
}

void TSentLog::Add(const TSentEntry& E) {
    // One write under an advisory lock, so that two programs logging at once never mix
    // their lines. A file that is missing or empty needs the byte-order mark, and the
    // header line when this call creates it; that is decided under the folder's lock,
    // which a creator holds until its first line is written. Otherwise a second writer
    // could find the new file still empty, take it for an old empty file and write its
    // line before the header.
    const std::string line = FormatLine(E);
    TFileHandle file(::open(FFileName.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
    if (file.Valid()) {
        LockFile(file, FFileName);
        if (const off_t size = FileSize(file, FFileName); size > 0) {
            WriteAllOrThrow(file, FFileName, line, size);
            Remember(E);
            return;
        }
        file = TFileHandle(-1);  // never wait for the folder while holding the file
    } else if (errno != ENOENT) {
        throw Exception(FileError(FFileName, errno));
    }

    const std::string folder = ExtractFilePath(FFileName);
    TFileHandle folderLock(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Without the folder's lock (a share that refuses it) the creator alone decides.
    if (folderLock.Valid()) ::flock(folderLock.Get(), LOCK_EX);
    bool created = true;
    file = TFileHandle(::open(FFileName.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CREAT | O_EXCL | O_CLOEXEC, kOwnDataFileMode));
    if (!file.Valid() && errno == EEXIST) {
        created = false;
        file = TFileHandle(::open(FFileName.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!file.Valid()) throw Exception(FileError(FFileName, errno));
    LockFile(file, FFileName);
    std::string bytes;
    const off_t size = FileSize(file, FFileName);
    if (size == 0) {
        bytes += kUtf8Bom;
        if (created) bytes += std::string(kHeaderLine) + "\r\n";
    }
    bytes += line;
    WriteAllOrThrow(file, FFileName, bytes, size);
    Remember(E);
}

bool TSentLog::LastSent(const std::string& Company, const std::string& InvoiceNo, TDateTime& When) const {
    auto it = FLast.find(KeyOf(Company, InvoiceNo));
    if (it == FLast.end()) return false;
    When = it->second;
    return true;
}

bool TSentLog::OpenSend(const std::string& Company, const std::string& InvoiceNo, TSentEntry& Entry) const {
    auto it = FOpen.find(KeyOf(Company, InvoiceNo));
    if (it == FOpen.end()) return false;
    Entry = it->second;
    return true;
}

} // namespace velkaro
