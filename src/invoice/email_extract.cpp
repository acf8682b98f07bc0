#include "invoice/email_extract.h"

#include <optional>
#include <string_view>
#include <unordered_set>

#include "platform/fold_case.h"
#include "platform/regex.h"
#include "platform/text.h"

// PCRE's own scan retries every start position, and with invalid-UTF support it checks
// the subject from the start position to its end on every call. On long texts such as
// "a.a.a…@a.a.a…" or "%re%re%re… x@a.de" both make the search quadratic. The scans
// below find exactly the matches PCRE would find, but hand it only the short stretch
// of text that a match could cover.

namespace velkaro {

namespace {

constexpr const char* kAddressPattern = "[A-Za-z0-9._%+\\-]+@[\\p{L}0-9.\\-]+\\.\\p{L}{2,}";
constexpr const char* kInvoiceAddressPattern =
    "(?<![\\w@.\\-])(?:RE|RG|Rechnung(?:en)?|Invoices?)\\b(?![@.\\-])(?:\\s+etc\\.)?(?:\\s+an)?(?:\\s+beide)?"
    "\\s*:?\\s*([A-Za-z0-9._%+\\-]+@[\\p{L}0-9.\\-]+\\.\\p{L}{2,})";

// Compiled once; a TRegex is immutable and safe to share. \G anchors the address
// pattern at the position it is tried at.
const TRegex& AddressAt() {
    static const TRegex re(std::string("\\G") + kAddressPattern, roUtf);
    return re;
}

// The domain part of an address alone, tried right after an "@".
const TRegex& DomainAt() {
    static const TRegex re("\\G[\\p{L}0-9.\\-]+\\.\\p{L}{2,}", roUtf);
    return re;
}

const TRegex& InvoiceAddress() {
    static const TRegex re(kInvoiceAddressPattern, roUtf | roIgnoreCase);
    return re;
}

bool IsLocalPartChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '%' || c == '+' || c == '-';
}

// Bytes that may belong to the domain part: ASCII letters, digits, "." and "-", and
// every byte of a non-ASCII character (a superset of \p{L}; PCRE decides the rest).
bool IsDomainByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-';
}

// End of the stretch after the "@" at `at` that a domain part could cover.
size_t DomainEnd(std::string_view text, size_t at) {
    size_t end = at + 1;
    while (end < text.size() && IsDomainByte(text[end])) ++end;
    return end;
}

// Zero-width space, zero-width non-joiner, zero-width joiner, byte-order mark and
// soft hyphen (U+200B-U+200D, U+FEFF, U+00AD). Their UTF-8 forms begin with a lead
// byte, which no other sequence contains, so a byte search finds exactly the characters.
std::string RemoveInvisible(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("\xE2\x80\x8B") || rest.starts_with("\xE2\x80\x8C") || rest.starts_with("\xE2\x80\x8D") ||
            rest.starts_with("\xEF\xBB\xBF")) {
            i += 2;
            continue;
        }
        if (rest.starts_with("\xC2\xAD")) {
            i += 1;
            continue;
        }
        out += text[i];
    }
    return out;
}

// All non-overlapping matches of the address pattern, left to right. A match starts
// in a run of local-part characters that ends at an "@" (the local part cannot hold
// one); every start inside such a run reaches the same "@" and continues alike, so
// when the first start of a run fails, the whole run does.
template <class Visit>
void ForEachAddress(std::string_view text, Visit visit) {
    size_t pos = 0;
    while (pos < text.size()) {
        if (!IsLocalPartChar(text[pos])) {
            ++pos;
            continue;
        }
        size_t runEnd = pos;
        while (runEnd < text.size() && IsLocalPartChar(text[runEnd])) ++runEnd;
        if (runEnd == text.size() || text[runEnd] != '@') {
            pos = runEnd;
            continue;
        }
        if (const auto m = AddressAt().Find(text.substr(0, DomainEnd(text, runEnd)), pos)) {
            visit(m->Group(0));
            pos = m->Position + m->Group(0).size();  // never empty: the local part has a character
        } else {
            pos = runEnd + 1;
        }
    }
}

// Non-blank characters a label can span before its address: "Rechnungen" (10),
// " etc." (4), " an" (2), " beide" (5), ":" (1), with room to spare.
constexpr int kMaxLabelChars = 40;

bool CountsForLabel(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x80 && c != ' ' && !(c >= '\t' && c <= '\r');  // non-ASCII blanks count as free
}

// The first match of the invoice-address pattern. Label and local part hold no "@",
// so the address of a match starting at p uses the first "@" after p; for each "@"
// PCRE gets only the stretch from the earliest label start that could still reach
// its local part up to the end of its domain, with the text before for the look-behind.
// With a valid domain, the first label inside the local part that matches at all
// matches whole, so no start is scanned twice.
std::optional<TRegexMatch> FindInvoiceAddress(std::string_view text) {
    size_t lowest = 0;  // starts below this used an earlier "@" and failed
    for (size_t at = text.find('@'); at != std::string_view::npos; lowest = at + 1, at = text.find('@', at + 1)) {
        size_t localStart = at;
        while (localStart > lowest && IsLocalPartChar(text[localStart - 1])) --localStart;
        if (localStart == at) continue;
        // Without a domain every label before this "@" fails, each after scanning the
        // local part and backtracking through the domain: rule that out once.
        const std::string_view window = text.substr(0, DomainEnd(text, at));
        if (!DomainAt().Find(window, at + 1)) continue;
        size_t start = localStart;
        for (int counted = 0; start > lowest;) {
            if (CountsForLabel(text[start - 1]) && ++counted > kMaxLabelChars) break;
            --start;
        }
        if (auto m = InvoiceAddress().Find(window, start)) return m;
    }
    return std::nullopt;
}

bool ContainsBeide(std::string_view s) { return LowerAscii(s).find("beide") != std::string::npos; }

} // namespace

std::vector<std::string> ExtractEmails(const std::string& text) {
    const std::string clean = RemoveInvisible(text);
    std::vector<std::string> result;
    std::unordered_set<std::string> seen;  // folded forms: equal addresses regardless of case
    ForEachAddress(clean, [&](std::string_view address) {
        while (!address.empty() && address.back() == '.') address.remove_suffix(1);
        if (address.empty()) return;
        if (seen.insert(FoldCase(std::string(address))).second) result.emplace_back(address);
    });
    return result;
}

std::vector<std::string> ExtractInvoiceEmails(const std::string& text, bool& labelled) {
    const std::string clean = RemoveInvisible(text);
    const auto match = FindInvoiceAddress(clean);
    labelled = match.has_value();
    if (!match) return ExtractEmails(text);
    if (!ContainsBeide(match->Group(0))) return {std::string(match->Group(1))};
    // "beide": the label covers the addresses that follow, up to the first "|".
    std::string_view rest = std::string_view(clean).substr(match->Position);
    rest = rest.substr(0, rest.find('|'));
    return ExtractEmails(std::string(rest));
}

} // namespace velkaro
