#include "platform/fold_case.h"

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

} // namespace velkaro
