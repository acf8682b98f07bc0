#pragma once
// TDateTime: days since 30 December 1899 as a double, the fraction being the time of day.
#include <string>
#include <string_view>

namespace velkaro {

using TDateTime = double;

struct DateTimeParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeDateTime(const DateTimeParts& parts);
DateTimeParts DecodeDateTime(TDateTime value);
bool IsValidDate(int year, int month, int day);
int DayOfWeek(TDateTime value); // 1 = Sunday ... 7 = Saturday

// Local wall-clock time now, and the local zone's offset from UTC in minutes at a
// given local time (positive east of Greenwich, e.g. +60 for CET).
TDateTime Now();
int UtcOffsetMinutes(TDateTime local);

// "yyyy-mm-dd hh:nn:ss" (whole seconds, cut), as log lines show a time and SQLite stores
// and binds one.
std::string FormatSortableDateTime(TDateTime value);
// "dd.mm.yyyy", the German date of printed invoices, texts and the window.
std::string FormatDisplayDate(TDateTime value);
// "dd.mm.yyyy hh:nn", as the window shows the time of a send.
std::string FormatDisplayDateTime(TDateTime value);
// "hh:nn:ss" (24 hours), the time prefix of the window's log lines.
std::string FormatClockTime(TDateTime value);

// Reads the digits of a fraction of a second at `pos` (after its separator), as many as
// there are, and moves `pos` past them: milliseconds rounded, at most 999, so that
// ".9996" never becomes the next second. False, with `pos` unchanged, without a digit.
bool ReadSecondFraction(std::string_view s, size_t& pos, int& millisecond);

// The whole day of a date-time (midnight at its start).
TDateTime DateOf(TDateTime value);
// The same day `months` calendar months later (earlier when negative), cut to the last
// day of a shorter month: 31 May minus three months is 28 or 29 February. The time of
// day is kept.
TDateTime IncMonth(TDateTime value, int months);

} // namespace velkaro
