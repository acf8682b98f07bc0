#pragma once
// One column value as a database backend delivers it, and the typed readings the
// NAV queries use. NULL reads as empty text, 0 and date 0.
#include <cstdint>
#include <string>
#include <string_view>

#include "invoice/currency.h"
#include "platform/datetime.h"

namespace velkaro {

struct TDbValue {
    enum TKind { vkNull, vkInteger, vkFloat, vkText, vkDateTime };
    TKind Kind = vkNull;
    int64_t Integer = 0;
    double Float = 0;
    std::string Text;  // also decimals that the driver delivers as text
    TDateTime Date = 0;

    static TDbValue OfInteger(int64_t v) { TDbValue r; r.Kind = vkInteger; r.Integer = v; return r; }
    static TDbValue OfFloat(double v) { TDbValue r; r.Kind = vkFloat; r.Float = v; return r; }
    static TDbValue OfText(std::string v) { TDbValue r; r.Kind = vkText; r.Text = std::move(v); return r; }
    static TDbValue OfDateTime(TDateTime v) { TDbValue r; r.Kind = vkDateTime; r.Date = v; return r; }
    bool IsNull() const { return Kind == vkNull; }
};

// `column` only serves the error message of a value that cannot be converted.
// Dates read as text in the short German form ("05.03.2024", with the time when it
// is not midnight), numbers in their plain form.
std::string DbValueText(const TDbValue& v);
TDateTime DbValueDate(const TDbValue& v, std::string_view column);
int32_t DbValueInt32(const TDbValue& v, std::string_view column);
double DbValueDouble(const TDbValue& v, std::string_view column);
// Exact from decimal text; a double (SQLite keeps NUMERIC as REAL) is rounded to four
// decimals, never truncated.
Currency DbValueCurrency(const TDbValue& v, std::string_view column);

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]", also with "T" instead of the blank and a
// trailing "Z". False for anything else.
bool TryParseDbDateTime(std::string_view text, TDateTime& value);
// "dd.mm.yyyy", followed by " hh:nn:ss" when the time is not midnight.
std::string FormatShortDateTime(TDateTime value);

} // namespace velkaro
