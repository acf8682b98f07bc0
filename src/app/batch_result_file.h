#pragma once
// The machine-readable result of a batch run ("/ergebnis"): a CSV file with one line per
// document, written as each document is done.
#include <string>

#include "platform/line_file.h"

namespace velkaro {

struct TBatchResultLine {
    std::string DocumentNo;
    std::string Kind;        // "Rechnung"
    std::string Status;      // "erzeugt", "versendet", "TEST", "übersprungen", "FEHLER"
    std::string PdfFile;
    std::string Recipients;
    std::string Message;
};

class TBatchResultFile {
public:
    // Replaces the file and writes the header line; raises when it cannot be created.
    explicit TBatchResultFile(const std::string& path);
    void Add(const TBatchResultLine& line);

private:
    TLineFile FFile;
};

// One CSV field on one line (SingleLine), quoted with doubled quotes when it holds ";"
// or a quote.
std::string CsvField(const std::string& text);

} // namespace velkaro
