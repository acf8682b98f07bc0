// Column order of the invoice list.
#include "uimodel/invoice_list_sort.h"

#include <string_view>
#include <utility>

#include "platform/text.h"

namespace velkaro {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

template <typename T>
int CompareValues(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Text as German lists sort it: letter case ignored, umlauts as their base letter
// ("Bäcker" before "Bauer"), "ß" as "ss".
std::string FoldForSorting(std::string_view text) {
    static const std::pair<std::string_view, std::string_view> kFolds[] = {
        {"ä", "a"}, {"Ä", "a"}, {"ö", "o"}, {"Ö", "o"}, {"ü", "u"}, {"Ü", "u"}, {"ß", "ss"}};
    std::string folded = LowerAscii(text);
    for (const auto& [from, to] : kFolds) folded = ReplaceAll(folded, from, to);
    return folded;
}

// Runs of digits compare by their value, the text between them as FoldForSorting
// gives it: "RE9" < "RE10" < "re11".
int CompareNatural(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            size_t iEnd = i, jEnd = j;
            while (iEnd < a.size() && IsDigit(a[iEnd])) ++iEnd;
            while (jEnd < b.size() && IsDigit(b[jEnd])) ++jEnd;
            std::string_view x = a.substr(i, iEnd - i), y = b.substr(j, jEnd - j);
            x.remove_prefix(std::min(x.find_first_not_of('0'), x.size()));
            y.remove_prefix(std::min(y.find_first_not_of('0'), y.size()));
            if (int order = CompareValues(x.size(), y.size())) return order;
            if (int order = x.compare(y)) return order < 0 ? -1 : 1;
            i = iEnd;
            j = jEnd;
            continue;
        }
        size_t iEnd = i, jEnd = j;
        while (iEnd < a.size() && !IsDigit(a[iEnd])) ++iEnd;
        while (jEnd < b.size() && !IsDigit(b[jEnd])) ++jEnd;
        const int order = FoldForSorting(a.substr(i, iEnd - i)).compare(FoldForSorting(b.substr(j, jEnd - j)));
        if (order != 0) return order < 0 ? -1 : 1;
        i = iEnd;
        j = jEnd;
    }
    if (int order = CompareValues(a.size() - i, b.size() - j)) return order;
    // Equal but for leading zeros, letter case or umlauts: still a fixed order.
    return CompareValues(a, b);
}

} // namespace

int CompareInvoiceRows(const TInvoiceRow& a, const TInvoiceRow& b, TInvoiceColumn column) {
    switch (column) {
    case icDate: return CompareValues(a.Item.PostingDate, b.Item.PostingDate);
    case icGross: return CompareValues(a.Item.Gross, b.Item.Gross);
    case icSentAt: return CompareValues(a.SentAt, b.SentAt);
    default: return CompareNatural(a.Texts[column], b.Texts[column]);
    }
}

} // namespace velkaro
