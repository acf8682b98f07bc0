#include "platform/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <optional>

#if defined(_WIN32)
#include <clocale>
#else
#include <langinfo.h>
#include <locale.h>
#endif

namespace velkaro {

namespace {

std::mutex& OverrideMutex() {
    static std::mutex m;
    return m;
}

std::optional<std::string>& OverrideValue() {
    static std::optional<std::string> value;
    return value;
}

std::optional<std::string>& ThousandsOverrideValue() {
    static std::optional<std::string> value;
    return value;
}

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

} // namespace

std::string LocaleDecimalSeparator(const std::string& localeName) {
    return LocaleNumericItem(localeName, niDecimal, ".");
}

std::string LocaleThousandsSeparator(const std::string& localeName) {
    return LocaleNumericItem(localeName, niThousands, "");
}

std::string UserDecimalSeparator() {
    {
        std::lock_guard<std::mutex> lock(OverrideMutex());
        if (OverrideValue()) return *OverrideValue();
    }
    static const std::string fromEnvironment = LocaleDecimalSeparator("");
    return fromEnvironment;
}

void SetDecimalSeparatorOverride(const std::string& separator) {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    OverrideValue() = separator;
}

void ResetDecimalSeparatorOverride() {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    OverrideValue().reset();
}

std::string UserThousandsSeparator() {
    {
        std::lock_guard<std::mutex> lock(OverrideMutex());
        if (ThousandsOverrideValue()) return *ThousandsOverrideValue();
    }
    static const std::string fromEnvironment = LocaleThousandsSeparator("");
    return fromEnvironment;
}

void SetThousandsSeparatorOverride(const std::string& separator) {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    ThousandsOverrideValue() = separator;
}

void ResetThousandsSeparatorOverride() {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    ThousandsOverrideValue().reset();
}

std::string LocalizeDecimalPoint(std::string_view plainDecimal) {
    std::string text(plainDecimal);
    const size_t dot = text.find('.');
    if (dot != std::string::npos) text.replace(dot, 1, UserDecimalSeparator());
    return text;
}

std::string LocalizeGroupedDecimal(std::string_view plainDecimal) {
    const size_t digitsStart = !plainDecimal.empty() && (plainDecimal[0] == '-' || plainDecimal[0] == '+') ? 1 : 0;
    size_t digitsEnd = plainDecimal.find('.');
    if (digitsEnd == std::string_view::npos) digitsEnd = plainDecimal.size();
    const std::string separator = UserThousandsSeparator();
    std::string text(plainDecimal.substr(0, digitsStart));
    for (size_t i = digitsStart; i < digitsEnd; ++i) {
        if (i > digitsStart && (digitsEnd - i) % 3 == 0) text += separator;
        text += plainDecimal[i];
    }
    return text + LocalizeDecimalPoint(plainDecimal.substr(digitsEnd));
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
