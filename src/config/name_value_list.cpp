#include "config/name_value_list.h"

#include <cstdlib>
#include <utf8proc.h>

#include "platform/text.h"

namespace velkaro {

std::string FoldCase(const std::string& text) {
    utf8proc_uint8_t* folded = nullptr;
    // Composed form first, so that "U" + combining diaeresis equals "Ü".
    utf8proc_ssize_t length = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                           static_cast<utf8proc_ssize_t>(text.size()), &folded,
                                           static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE |
                                                                          UTF8PROC_CASEFOLD));
    if (length < 0) return LowerAscii(text);  // invalid UTF-8: comparing must still work
    std::string result(reinterpret_cast<const char*>(folded), static_cast<size_t>(length));
    std::free(folded);
    return result;
}

bool SameTextUnicode(const std::string& a, const std::string& b) { return FoldCase(a) == FoldCase(b); }

int TNameValueList::IndexOfName(const std::string& name) const {
    std::string key = FoldCase(name);
    for (size_t i = 0; i < FFolded.size(); ++i)
        if (FFolded[i] == key) return static_cast<int>(i);
    return -1;
}

std::string TNameValueList::Value(const std::string& name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : FItems[static_cast<size_t>(i)].second;
}

void TNameValueList::SetValue(const std::string& name, const std::string& value) {
    if (value.empty()) {
        Remove(name);
        return;
    }
    int i = IndexOfName(name);
    if (i >= 0) {
        FItems[static_cast<size_t>(i)].second = value;
        return;
    }
    FItems.emplace_back(name, value);
    FFolded.push_back(FoldCase(name));
}

void TNameValueList::Remove(const std::string& name) {
    int i = IndexOfName(name);
    if (i < 0) return;
    FItems.erase(FItems.begin() + i);
    FFolded.erase(FFolded.begin() + i);
}

} // namespace velkaro
