#include "platform/datetime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace velkaro {

namespace {
// Days from 1970-01-01 to y-m-d in the proleptic Gregorian calendar (H. Hinnant).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

constexpr long long kDelphiEpochFromUnix = 25569; // 1899-12-30 -> 1970-01-01
} // namespace

bool IsValidDate(int year, int month, int day) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int max = kDays[month - 1] + ((month == 2 && leap) ? 1 : 0);
    return day <= max;
}

TDateTime EncodeDate(int year, int month, int day) {
    return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                               kDelphiEpochFromUnix);
}

TDateTime EncodeDateTime(const DateTimeParts& p) {
    double time = (p.hour * 3600000.0 + p.minute * 60000.0 + p.second * 1000.0 + p.millisecond) / 86400000.0;
    double date = EncodeDate(p.year, p.month, p.day);
    // Delphi's convention: before the epoch the time fraction counts away from zero.
    return date >= 0 ? date + time : date - time;
}

DateTimeParts DecodeDateTime(TDateTime value) {
    DateTimeParts p;
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6) return p;
    double whole = std::trunc(value);
    double frac = std::fabs(value - whole);
    long long ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000) { ms -= 86400000; whole += value >= 0 ? 1 : -1; }
    CivilFromDays(static_cast<long long>(whole) - kDelphiEpochFromUnix, p.year, p.month, p.day);
    p.hour = static_cast<int>(ms / 3600000);
    p.minute = static_cast<int>(ms / 60000 % 60);
    p.second = static_cast<int>(ms / 1000 % 60);
    p.millisecond = static_cast<int>(ms % 1000);
    return p;
}

int DayOfWeek(TDateTime value) {
    long long days = static_cast<long long>(std::floor(value));
    // 1899-12-30 was a Saturday (7).
    long long r = ((days % 7) + 7 + 6) % 7; // 0 = Sunday
    return static_cast<int>(r) + 1;
}

TDateTime Now() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                           local.tm_sec, ms});
}

int UtcOffsetMinutes(TDateTime localValue) {
    DateTimeParts p = DecodeDateTime(localValue);
    std::tm local{};
    local.tm_year = p.year - 1900;
    local.tm_mon = p.month - 1;
    local.tm_mday = p.day;
    local.tm_hour = p.hour;
    local.tm_min = p.minute;
    local.tm_sec = p.second;
    local.tm_isdst = -1;
    std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1)) return 0;
    std::tm back{};
    localtime_r(&t, &back);
    return static_cast<int>(back.tm_gmtoff / 60);
}

std::string FormatSortableDateTime(TDateTime value) {
    DateTimeParts p = DecodeDateTime(value);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return buf;
}

std::string FormatDisplayDate(TDateTime value) {
    DateTimeParts p = DecodeDateTime(value);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", p.day, p.month, p.year);
    return buf;
}

std::string FormatDisplayDateTime(TDateTime value) {
    DateTimeParts p = DecodeDateTime(value);
    char buf[16];
    std::snprintf(buf, sizeof buf, " %02d:%02d", p.hour, p.minute);
    return FormatDisplayDate(value) + buf;
}

std::string FormatClockTime(TDateTime value) {
    DateTimeParts p = DecodeDateTime(value);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second);
    return buf;
}

bool ReadSecondFraction(std::string_view s, size_t& pos, int& millisecond) {
    double fraction = 0, scale = 0.1;
    size_t end = pos;
    for (; end < s.size() && s[end] >= '0' && s[end] <= '9'; ++end, scale /= 10) fraction += (s[end] - '0') * scale;
    if (end == pos) return false;
    millisecond = std::min(static_cast<int>(std::lround(fraction * 1000)), 999);
    pos = end;
    return true;
}

TDateTime DateOf(TDateTime value) {
    DateTimeParts p = DecodeDateTime(value);
    return EncodeDate(p.year, p.month, p.day);
}

TDateTime IncMonth(TDateTime value, int months) {
    DateTimeParts p = DecodeDateTime(value);
    const int monthIndex = p.year * 12 + (p.month - 1) + months;
    p.year = monthIndex / 12;
    p.month = monthIndex % 12 + 1;
    while (p.day > 28 && !IsValidDate(p.year, p.month, p.day)) --p.day;
    return EncodeDateTime(p);
}

} // namespace velkaro
