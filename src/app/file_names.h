#pragma once
// Names of the files a produced invoice is written to: the file-name pattern of the
// settings filled with the invoice number, made safe as a file name, joined to the
// output folder.
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "invoice/invoice.h"

namespace velkaro {

class TSettings;

// What a run chose for itself apart from the settings: the output folder ("/out", the
// window's folder, the designer's preview folder) and whether the XML file is written
// beside the PDF ("/xml"). Handed to the workflows; the settings are never changed for it.
struct TRunOptions {
    std::string OutDir;
    bool SaveXml = false;
};

// The user's own values of the settings ([Ausgabe] Ordner, XmlZusaetzlich).
TRunOptions RunOptionsOf(const TSettings& settings);

// Each of  " * / : < > ? \ |  becomes "_"; every other character stays.
std::string SanitizeFileName(std::string_view name);

// Fills the file-name pattern (INI [Ausgabe] Dateiname, e.g. "Rechnung_%s") with the
// invoice number by printf-like rules restricted to what a file name needs: one "%s",
// optionally with "-", a width and a precision ("%-12.8s"), counted in characters, and
// "%%" for "%". Anything else (a number specifier, a second "%s", a lone "%") raises a
// German error naming the pattern and its settings key; user text never reaches printf.
std::string FormatFileNamePattern(std::string_view pattern, std::string_view invoiceNo,
                                  std::string_view key = "Dateiname");

// `outDir` and `name` joined by one "/" (none added when `outDir` ends with one; the name
// alone when `outDir` is empty). Raises "Ungültige Zeichen im Pfad …" for a control
// character in either part or for  " < > |  in `outDir`, which Windows paths cannot hold.
std::string JoinOutputPath(const std::string& outDir, const std::string& name);

// Output path without extension for an invoice number: pattern, sanitizing, joining.
std::string OutputFileBase(const std::string& outDir, const std::string& pattern, const std::string& invoiceNo,
                           std::string_view key = "Dateiname");
// The same with the run's output folder and the pattern of the kind: [Ausgabe]
// Dateiname for invoices, DateinameGutschrift for credit memos.
std::string DocumentFileBase(const TSettings& settings, const TRunOptions& options, TDocumentKind kind,
                             const std::string& documentNo);

// The temporary file that the atomic write of an output file (PDF or XML) leaves behind
// when the process dies before renaming it (AtomicWriteTempName, platform/files.h).
bool IsOutputTempFileName(std::string_view name);

// Removes the files of `folder` (the current folder when empty) named like that which
// nobody has written to for `minAge`, and returns their names. A younger one may belong
// to another run that is writing it just now. Files that cannot be removed stay.
std::vector<std::string> RemoveStaleOutputTempFiles(const std::string& folder,
                                                    std::chrono::seconds minAge = std::chrono::seconds(60));

} // namespace velkaro
