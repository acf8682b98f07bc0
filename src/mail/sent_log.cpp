#include "mail/sent_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

constexpr std::string_view kHeaderLine = "Zeitpunkt;Mandant;Rechnung;Empfaenger;Status;Info";

std::string KeyOf(const std::string& company, const std::string& invoiceNo) {
    return UpperAscii(company + "|" + invoiceNo);
}

// Every field stays on its line: a line break or other control character in any of them
// would split the entry into damaged lines or forge one.
std::string FormatLine(const TSentEntry& e) {
    return FormatIsoDateTime(e.Time) + ";" + SingleLine(e.Company) + ";" + SingleLine(e.InvoiceNo) + ";" +
           SingleLine(ReplaceAll(e.Recipients, ";", ",")) + ";" + SingleLine(e.Status) + ";" +
           SingleLine(ReplaceAll(e.Info, ";", ",")) + "\r\n";
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

void WriteAllOrThrow(const TFileHandle& file, const std::string& path, std::string_view bytes) {
    if (!WriteAll(file.Get(), bytes)) throw Exception(FileError(path, errno));
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

TSentLog::TSentLog(const std::string& AFileName) : FFileName(AFileName) { Reload(); }

void TSentLog::Reload() {
    FLast.clear();
    if (!FileExists(FFileName)) return;
    const std::string text = ReadTextFile(FFileName);
    for (std::string line : Split(text, '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> fields = Split(line, ';');
        TDateTime when = 0;
        if (fields.size() < 5 || fields[4] != "OK" || !ParseIsoDateTime(fields[0], when)) continue;
        const std::string key = KeyOf(fields[1], fields[2]);
        auto it = FLast.find(key);
        if (it == FLast.end() || when > it->second) FLast[key] = when;
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
        if (FileSize(file, FFileName) > 0) {
            WriteAllOrThrow(file, FFileName, line);
            if (E.Status == "OK") FLast[KeyOf(E.Company, E.InvoiceNo)] = E.Time;
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
    if (FileSize(file, FFileName) == 0) {
        bytes += kUtf8Bom;
        if (created) bytes += std::string(kHeaderLine) + "\r\n";
    }
    bytes += line;
    WriteAllOrThrow(file, FFileName, bytes);
    if (E.Status == "OK") FLast[KeyOf(E.Company, E.InvoiceNo)] = E.Time;
}

bool TSentLog::LastSent(const std::string& Company, const std::string& InvoiceNo, TDateTime& When) const {
    auto it = FLast.find(KeyOf(Company, InvoiceNo));
    if (it == FLast.end()) return false;
    When = it->second;
    return true;
}

} // namespace velkaro
