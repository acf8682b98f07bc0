#include "app/file_names.h"

#include <algorithm>
#include <filesystem>

#include "config/settings.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

// A file name is at most 255 bytes; a larger width or precision can only be a mistake
// and would otherwise let a settings value allocate without bound.
constexpr size_t kMaxFieldWidth = 255;

[[noreturn]] void PatternError(std::string_view pattern, std::string_view key, const std::string& reason) {
    throw Exception("Dateinamensmuster \"" + std::string(pattern) + "\" (INI [Ausgabe] " + std::string(key) +
                    ") ist ungültig: " + reason);
}

// Reads decimal digits at `pos`; nullopt-like -1 when there are none.
long ReadField(std::string_view pattern, std::string_view key, size_t& pos) {
    if (pos >= pattern.size() || pattern[pos] < '0' || pattern[pos] > '9') return -1;
    size_t value = 0;
    while (pos < pattern.size() && pattern[pos] >= '0' && pattern[pos] <= '9') {
        value = value * 10 + static_cast<size_t>(pattern[pos] - '0');
        if (value > kMaxFieldWidth)
            PatternError(pattern, key, "Breite und Genauigkeit dürfen höchstens " + std::to_string(kMaxFieldWidth) +
                                      " betragen.");
        ++pos;
    }
    return static_cast<long>(value);
}

size_t CharCount(std::string_view s) { return Utf8ToUtf32(s).size(); }

// Control characters are not allowed anywhere in a Windows path; the folder may not
// hold the characters that Windows reserves for the shell either.
bool HasInvalidPathChar(std::string_view s, bool folder) {
    for (unsigned char c : s) {
        if (c < 0x20) return true;
        if (folder && (c == '"' || c == '<' || c == '>' || c == '|')) return true;
    }
    return false;
}

// Control characters shown as "\xNN", so that the message stays on one readable line.
std::string Visible(std::string_view s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x20) {
            out += "\\x";
            AppendHexByte(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace

std::string SanitizeFileName(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        switch (c) {
        case '"': case '*': case '/': case ':': case '<': case '>': case '?': case '\\': case '|':
            c = '_';
            break;
        default:
            break;
        }
    }
    return out;
}

std::string FormatFileNamePattern(std::string_view pattern, std::string_view invoiceNo, std::string_view key) {
    std::string out;
    bool argumentUsed = false;
    size_t pos = 0;
    while (pos < pattern.size()) {
        const size_t percent = pattern.find('%', pos);
        if (percent == std::string_view::npos) {
            out.append(pattern.substr(pos));
            break;
        }
        out.append(pattern.substr(pos, percent - pos));
        const size_t start = percent;
        pos = percent + 1;
        if (pos >= pattern.size())
            PatternError(pattern, key, "Das Zeichen \"%\" am Ende ist keine vollständige Angabe (für \"%\" selbst \"%%\" schreiben).");
        if (pattern[pos] == '%') {
            out += '%';
            ++pos;
            continue;
        }
        const bool leftAlign = pattern[pos] == '-';
        if (leftAlign) ++pos;
        const long width = ReadField(pattern, key, pos);
        long precision = -1;
        if (pos < pattern.size() && pattern[pos] == '.') {
            ++pos;
            precision = ReadField(pattern, key, pos);
            if (precision < 0) precision = 0;
        }
        if (pos >= pattern.size())
            PatternError(pattern, key, "Die Angabe \"" + std::string(pattern.substr(start)) + "\" am Ende ist unvollständig.");
        const char type = pattern[pos++];
        const std::string spec(pattern.substr(start, pos - start));
        if (type != 's' && type != 'S')
            PatternError(pattern, key, "Die Angabe \"" + spec +
                                      "\" ist nicht erlaubt; nur \"%s\" (für die Rechnungsnummer) und \"%%\" sind möglich.");
        if (argumentUsed)
            PatternError(pattern, key, "Die Angabe \"" + spec + "\" ist überzählig; nur eine Rechnungsnummer kann eingesetzt werden.");
        argumentUsed = true;

        std::string value = precision >= 0 ? Utf8Left(invoiceNo, static_cast<size_t>(precision)) : std::string(invoiceNo);
        const size_t length = CharCount(value);
        const std::string padding(width > 0 && static_cast<size_t>(width) > length ? static_cast<size_t>(width) - length : 0, ' ');
        out += leftAlign ? value + padding : padding + value;
    }
    return out;
}

std::string JoinOutputPath(const std::string& outDir, const std::string& name) {
    if (HasInvalidPathChar(outDir, true) || HasInvalidPathChar(name, false))
        throw Exception("Ungültige Zeichen im Pfad (Invalid characters in path): \"" +
                        Visible(outDir.empty() ? name : IncludeTrailingPathDelimiter(outDir) + name) + "\"");
    return outDir.empty() ? name : IncludeTrailingPathDelimiter(outDir) + name;
}

bool IsOutputTempFileName(std::string_view name) {
    std::string_view file;
    return IsAtomicWriteTempName(name, &file) && (file.ends_with(".pdf") || file.ends_with(".xml"));
}

std::vector<std::string> RemoveStaleOutputTempFiles(const std::string& folder, std::chrono::seconds minAge) {
    namespace fs = std::filesystem;
    std::vector<std::string> removed;
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
    const auto latest = fs::file_time_type::clock::now() - minAge;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code fileEc;
        if (!IsOutputTempFileName(name) || !it->is_regular_file(fileEc) || it->is_symlink(fileEc)) continue;
        const auto written = fs::last_write_time(it->path(), fileEc);
        if (fileEc || written > latest) continue;
        if (fs::remove(it->path(), fileEc)) removed.push_back(name);
    }
    std::sort(removed.begin(), removed.end());
    return removed;
}

std::string OutputFileBase(const std::string& outDir, const std::string& pattern, const std::string& invoiceNo,
                           std::string_view key) {
    return JoinOutputPath(outDir, SanitizeFileName(FormatFileNamePattern(pattern, invoiceNo, key)));
}

TRunOptions RunOptionsOf(const TSettings& settings) {
    return TRunOptions{settings.OutDir, settings.SaveXml};
}

std::string DocumentFileBase(const TSettings& settings, const TRunOptions& options, TDocumentKind kind,
                             const std::string& documentNo) {
    if (kind == bkCreditMemo)
        return OutputFileBase(options.OutDir, settings.CreditMemoFileNamePattern, documentNo, "DateinameGutschrift");
    return OutputFileBase(options.OutDir, settings.FileNamePattern, documentNo);
}

} // namespace velkaro
