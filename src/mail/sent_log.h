#pragma once
// The log of sent mails (".versand.csv"): one semicolon-separated line per mailing
// attempt, and per company and invoice the time of the last successful send. A mail is
// entered twice: "LAUFEND" before it is handed to the mail service, then its outcome,
// both with the mail's own id (the seventh field), so that a mail whose outcome was
// never learnt (a killed run, a lost answer) is known as such and never sent again
// unasked.
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
    std::string Status;      // "OK", "TEST", "FEHLER", "LAUFEND" or "UNKLAR"
    std::string Info;        // hint on success, error message on failure
    std::string Id;          // the mail's own id, also carried by the mail; empty in older lines
};

// Status words of the sent log.
inline constexpr const char* kSentOk = "OK";
inline constexpr const char* kSentTest = "TEST";
inline constexpr const char* kSentFailed = "FEHLER";
// Handed over (or about to be); the outcome follows in a later line.
inline constexpr const char* kSentInFlight = "LAUFEND";
// Handed over, and the answer of the mail service was lost: it may have gone out.
inline constexpr const char* kSentUnclear = "UNKLAR";

// A new id for a mail: 32 hexadecimal digits from the system's random source.
std::string NewMailId();

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
    // True, with that entry, when the document's last entry says "LAUFEND" or "UNKLAR":
    // a mail that may have gone out without its outcome being known.
    bool OpenSend(const std::string& Company, const std::string& InvoiceNo, TSentEntry& Entry) const;
    // Raises the file error when this account cannot append to the log (or create it):
    // asked before the first mail of a run, so that no mail goes out unrecorded.
    void CheckWritable() const;

    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    std::map<std::string, TDateTime> FLast;
    std::map<std::string, TSentEntry> FOpen;  // documents whose last entry is open

    void Remember(const TSentEntry& E);
};

// "2025-03-14T10:05:09.123+01:00" of a local time ("Z" when the offset is zero).
std::string FormatIsoDateTime(TDateTime local);
// ISO 8601 date or date-time, with or without offset (converted to local time).
bool ParseIsoDateTime(std::string_view text, TDateTime& local);

} // namespace velkaro
