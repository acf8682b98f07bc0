#include "mail/sent_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr std::string_view kHeaderLine = "Zeitpunkt;Mandant;Rechnung;Empfaenger;Status;Info";

std::string KeyOf(const std::string& company, const std::string& invoiceNo) {
    return UpperAscii(company + "|" + invoiceNo);
}

std::string FormatLine(const TSentEntry& e) {
    std::string info = ReplaceAll(ReplaceAll(e.Info, ";", ","), "\r\n", " ");
    // A lone line break would split the entry into two damaged lines.
    for (char& c : info)
        if (c == '\r' || c == '\n') c = ' ';
    return FormatIsoDateTime(e.Time) + ";" + e.Company + ";" + e.InvoiceNo + ";" + ReplaceAll(e.Recipients, ";", ",") +
           ";" + e.Status + ";" + info + "\r\n";
}

bool Expect(std::string_view s, size_t& pos, char c) {
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

std::string FileError(const std::string& path, int err) {
    return "Datei \"" + path + "\" kann nicht geschrieben werden: " + std::strerror(err);
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
            if (Expect(s, pos, '.') || Expect(s, pos, ',')) {
                double fraction = 0, scale = 0.1;
                size_t start = pos;
                for (; pos < s.size() && s[pos] >= '0' && s[pos] <= '9'; ++pos, scale /= 10)
                    fraction += (s[pos] - '0') * scale;
                if (pos == start) return false;
                p.millisecond = static_cast<int>(std::lround(fraction * 1000));
                if (p.millisecond > 999) p.millisecond = 999;
            }
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
    // their lines; whoever finds the file empty writes the byte-order mark.
    bool created = true;
    int fd = ::open(FFileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = ::open(FFileName.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    }
    if (fd < 0) throw Exception(FileError(FFileName, errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::flock(fd, LOCK_EX) != 0) throw Exception(FileError(FFileName, errno));

    struct stat st {};
    if (::fstat(fd, &st) != 0) throw Exception(FileError(FFileName, errno));
    std::string bytes;
    if (st.st_size == 0) {
        bytes += kUtf8Bom;
        if (created) bytes += std::string(kHeaderLine) + "\r\n";
    }
    bytes += FormatLine(E);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw Exception(FileError(FFileName, n < 0 ? errno : EIO));
        done += static_cast<size_t>(n);
    }
    if (E.Status == "OK") FLast[KeyOf(E.Company, E.InvoiceNo)] = E.Time;
}

bool TSentLog::LastSent(const std::string& Company, const std::string& InvoiceNo, TDateTime& When) const {
    auto it = FLast.find(KeyOf(Company, InvoiceNo));
    if (it == FLast.end()) return false;
    When = it->second;
    return true;
}

} // namespace velkaro
