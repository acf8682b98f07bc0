#include "app/batch_result_file.h"

#include "platform/text.h"

namespace velkaro {

TBatchResultFile::TBatchResultFile(const std::string& path) : FFile(path) {
    FFile.WriteLine("Nummer;Art;Status;PDF;Empfaenger;Meldung");
}

void TBatchResultFile::Add(const TBatchResultLine& line) {
    FFile.WriteLine(Join({CsvField(line.DocumentNo), CsvField(line.Kind), CsvField(line.Status), CsvField(line.PdfFile),
                          CsvField(line.Recipients), CsvField(line.Message)},
                         ";"));
}

std::string CsvField(const std::string& text) {
    // One line per document, whatever a message or a number holds.
    const std::string line = SingleLine(text);
    if (line.find_first_of(";\"") == std::string::npos)
        return line;
    return "\"" + ReplaceAll(line, "\"", "\"\"") + "\"";
}

} // namespace velkaro
