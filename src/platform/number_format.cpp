#include "platform/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <optional>
#include <utility>

#if defined(_WIN32)
#include <clocale>
#else
#include <langinfo.h>
#include <locale.h>
#endif

namespace velkaro {

namespace {

enum TNumericItem { niDecimal, niThousands };

// One item of a named locale's numeric conventions; `fallback` when it is not installed.
std::string LocaleNumericItem(const std::string& localeName, TNumericItem item, const char* fallback) {
#if defined(_WIN32)
    // The process locale follows the user's settings once main has called setlocale.
    (void)localeName;
    const lconv* conv = localeconv();
    if (!conv) return fallback;
    const char* text = item == niDecimal ? conv->decimal_point : conv->thousands_sep;
    if (!text) return fallback;
    return item == niDecimal && !*text ? fallback : text;
#else
    // A locale object of its own: the process locale (and with it printf and strtod
    // in other layers) stays "C".
    locale_t loc = newlocale(LC_NUMERIC_MASK, localeName.c_str(), static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return fallback;
    const char* text = nl_langinfo_l(item == niDecimal ? RADIXCHAR : THOUSEP, loc);
    std::string result = text ? text : fallback;
    if (item == niDecimal && result.empty()) result = fallback;
    freelocale(loc);
    return result;
#endif
}

// One separator of the user's regional settings: the environment's, read once, unless
// a test has put another in its place.
class TUserSeparator {
public:
    TUserSeparator(TNumericItem item, const char* fallback) : FItem(item), FFallback(fallback) {}

    std::string Get() {
        std::lock_guard<std::mutex> lock(FMutex);
        if (FOverride) return *FOverride;
        if (!FFromEnvironment) FFromEnvironment = LocaleNumericItem("", FItem, FFallback);
        return *FFromEnvironment;
    }

    void Override(std::optional<std::string> separator) {
        std::lock_guard<std::mutex> lock(FMutex);
        FOverride = std::move(separator);
    }

private:
    const TNumericItem FItem;
    const char* const FFallback;
    std::mutex FMutex;
    std::optional<std::string> FOverride;
    std::optional<std::string> FFromEnvironment;
};

TUserSeparator& DecimalSeparator() {
    static TUserSeparator separator(niDecimal, ".");
    return separator;
}

TUserSeparator& ThousandsSeparator() {
    static TUserSeparator separator(niThousands, "");
    return separator;
}

} // namespace

std::string LocaleDecimalSeparator(const std::string& localeName) {
    return LocaleNumericItem(localeName, niDecimal, ".");
}

std::string LocaleThousandsSeparator(const std::string& localeName) {
    return LocaleNumericItem(localeName, niThousands, "");
}

std::string UserDecimalSeparator() { return DecimalSeparator().Get(); }
void SetDecimalSeparatorOverride(const std::string& separator) { DecimalSeparator().Override(separator); }
void ResetDecimalSeparatorOverride() { DecimalSeparator().Override(std::nullopt); }

std::string UserThousandsSeparator() { return ThousandsSeparator().Get(); }
void SetThousandsSeparatorOverride(const std::string& separator) { ThousandsSeparator().Override(separator); }
void ResetThousandsSeparatorOverride() { ThousandsSeparator().Override(std::nullopt); }

std::string LocalizeDecimalPoint(std::string_view plainDecimal) {
    std::string text(plainDecimal);
    const size_t dot = text.find('.');
    if (dot != std::string::npos) text.replace(dot, 1, UserDecimalSeparator());
    return text;
}

std::string GroupDecimal(std::string_view plainDecimal, std::string_view thousands, std::string_view decimal) {
    const size_t digitsStart = !plainDecimal.empty() && (plainDecimal[0] == '-' || plainDecimal[0] == '+') ? 1 : 0;
    size_t digitsEnd = plainDecimal.find('.');
    if (digitsEnd == std::string_view::npos) digitsEnd = plainDecimal.size();
    std::string text(plainDecimal.substr(0, digitsStart));
    for (size_t i = digitsStart; i < digitsEnd; ++i) {
        if (i > digitsStart && (digitsEnd - i) % 3 == 0) text += thousands;
        text += plainDecimal[i];
    }
    if (digitsEnd < plainDecimal.size()) {
        text += decimal;
        text += plainDecimal.substr(digitsEnd + 1);
    }
    return text;
}

std::string LocalizeGroupedDecimal(std::string_view plainDecimal) {
    return GroupDecimal(plainDecimal, UserThousandsSeparator(), UserDecimalSeparator());
}

std::string FormatUserFloat(double value, int decimals) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    decimals = std::clamp(decimals, 0, 15);
    char buffer[400];  // enough for the largest double in fixed notation
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return "?";
    return LocalizeDecimalPoint(std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

} // namespace velkaro
