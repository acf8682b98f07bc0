#pragma once
// The log of sent mails (".versand.csv"): one semicolon-separated line per mailing
// attempt, and per company and invoice the time of the last successful send.
#include <map>
#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace velkaro {

struct TSentEntry {
    TDateTime Time = 0;      // local time of the attempt
    std::string Company;
    std::string InvoiceNo;
    std::string Recipients;  // joined with ", "
    std::string Status;      // "OK", "TEST" or "FEHLER"
    std::string Info;        // hint on success, error message on failure
};

class TSentLog {
public:
    // Remembers the path and reads the file (Reload).
    explicit TSentLog(const std::string& AFileName);

    // Rebuilds the table of last successful sends from the file; damaged lines are skipped.
    void Reload();
    // Appends one line (creating the file with byte-order mark and header line) and, for
    // status "OK", records the time. Safe against a second process appending at once.
    void Add(const TSentEntry& E);
    bool LastSent(const std::string& Company, const std::string& InvoiceNo, TDateTime& When) const;

    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    std::map<std::string, TDateTime> FLast;
};

// "2025-03-14T10:05:09.123+01:00" of a local time ("Z" when the offset is zero).
std::string FormatIsoDateTime(TDateTime local);
// ISO 8601 date or date-time, with or without offset (converted to local time).
bool ParseIsoDateTime(std::string_view text, TDateTime& local);

} // namespace velkaro
