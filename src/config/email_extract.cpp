#include "config/email_extract.h"

#include <string_view>
#include <unordered_set>

#include "config/name_value_list.h"
#include "platform/regex.h"
#include "platform/text.h"

namespace velkaro {

namespace {

// Compiled once; a TRegex is immutable and safe to share.
const TRegex& InvisibleChars() {
    static const TRegex re("[\\x{200B}-\\x{200D}\\x{FEFF}\\x{00AD}]", roUtf);
    return re;
}

const TRegex& Address() {
    static const TRegex re("[A-Za-z0-9._%+\\-]+@[\\p{L}0-9.\\-]+\\.\\p{L}{2,}", roUtf);
    return re;
}

const TRegex& InvoiceAddress() {
    static const TRegex re(
        "(?<![\\w@.\\-])(?:RE|RG|Rechnung(?:en)?|Invoices?)\\b(?![@.\\-])(?:\\s+etc\\.)?(?:\\s+an)?(?:\\s+beide)?"
        "\\s*:?\\s*([A-Za-z0-9._%+\\-]+@[\\p{L}0-9.\\-]+\\.\\p{L}{2,})",
        roUtf | roIgnoreCase);
    return re;
}

std::string RemoveInvisible(std::string_view text) {
    return InvisibleChars().Replace(text, [](const TRegexMatch&) { return std::string(); });
}

bool ContainsBeide(std::string_view s) { return LowerAscii(s).find("beide") != std::string::npos; }

} // namespace

std::vector<std::string> ExtractEmails(const std::string& text) {
    const std::string clean = RemoveInvisible(text);
    std::vector<std::string> result;
    std::unordered_set<std::string> seen;  // folded forms: equal addresses regardless of case
    Address().ForEachMatch(clean, [&](const TRegexMatch& m) {
        std::string_view address = m.Group(0);
        while (!address.empty() && address.back() == '.') address.remove_suffix(1);
        if (address.empty()) return;
        if (seen.insert(FoldCase(std::string(address))).second) result.emplace_back(address);
    });
    return result;
}

std::vector<std::string> ExtractInvoiceEmails(const std::string& text, bool& labelled) {
    const std::string clean = RemoveInvisible(text);
    const auto match = InvoiceAddress().Find(clean);
    labelled = match.has_value();
    if (!match) return ExtractEmails(text);
    if (!ContainsBeide(match->Group(0))) return {std::string(match->Group(1))};
    // "beide": the label covers the addresses that follow, up to the first "|".
    std::string_view rest = std::string_view(clean).substr(match->Position);
    rest = rest.substr(0, rest.find('|'));
    return ExtractEmails(std::string(rest));
}

} // namespace velkaro
