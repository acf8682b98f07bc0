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

} // namespace

std::string LocaleDecimalSeparator(const std::string& localeName) {
#if defined(_WIN32)
    // The process locale follows the user's settings once main has called setlocale.
    (void)localeName;
    const lconv* conv = localeconv();
    return conv && conv->decimal_point && *conv->decimal_point ? conv->decimal_point : ".";
#else
    // A locale object of its own: the process locale (and with it printf and strtod
    // in other layers) stays "C".
    locale_t loc = newlocale(LC_NUMERIC_MASK, localeName.c_str(), static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return ".";
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    std::string result = radix && *radix ? radix : ".";
    freelocale(loc);
    return result;
#endif
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

std::string LocalizeDecimalPoint(std::string_view plainDecimal) {
    std::string text(plainDecimal);
    const size_t dot = text.find('.');
    if (dot != std::string::npos) text.replace(dot, 1, UserDecimalSeparator());
    return text;
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
