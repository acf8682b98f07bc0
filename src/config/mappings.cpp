#include "config/mappings.h"

#include <utility>

#include "config/settings.h"
#include "platform/fold_case.h"
#include "platform/text.h"

namespace velkaro {

namespace {

struct CodePair {
    const char* Nav;
    const char* Target;
};

// NAV unit codes as companies commonly name them, upper case.
constexpr CodePair kBuiltInUnits[] = {
    {"EINHEIT", "C62"},   {"EINHEITEN", "C62"}, {"EINH", "C62"},       {"ENHEIT", "C62"},
    {"UNIT", "C62"},      {"STÜCK", "H87"},     {"STK", "H87"},        {"ST", "H87"},
    {"PC", "H87"},        {"KILOGRAMM", "KGM"}, {"KG", "KGM"},         {"GRAMM", "GRM"},
    {"T", "TNE"},         {"LITER", "LTR"},     {"L", "LTR"},          {"METER", "MTR"},
    {"M", "MTR"},         {"LFDM", "MTR"},      {"KILOMETER", "KMT"},  {"QUADRATMET", "MTK"},
    {"QM", "MTK"},        {"SQM", "MTK"},       {"STUNDE", "HUR"},     {"HOUR", "HUR"},
    {"STD", "HUR"},       {"TAG", "DAY"},       {"PAAR", "PR"},        {"SATZ", "SET"},
    {"PAUSCHAL", "LS"},   {"ROLLE", "XRO"},     {"PAKET", "XPK"},      {"PACK", "XPK"},
    {"KARTON", "XCT"},    {"DOSE", "XCX"},      {"KART", "XCQ"},       {"SACK", "XSA"},
    {"PALETTE", "XPX"},   {"FLASCHE", "XBO"},   {"BEUTEL", "XBG"},     {"EIMER GR.", "XBJ"},
    {"EIMER KL.", "XBJ"}, {"E4KG", "XBJ"},      {"E8KG", "XBJ"},       {"FASS", "XBA"},
    {"SCHACHTEL", "XBX"},
};

// Old NAV country codes (vehicle registration style and others) that are no ISO codes.
constexpr CodePair kBuiltInCountries[] = {
    {"A", "AT"},    {"B", "BE"},    {"E", "ES"},    {"F", "FR"},    {"I", "IT"},    {"L", "LU"},
    {"N", "NO"},    {"S", "SE"},    {"P", "PL"},    {"PORT", "PT"}, {"H", "HK"},    {"JA", "JP"},
    {"TA", "TW"},   {"USA", "US"},  {"UAE", "AE"},  {"EL", "GR"},   {"SF", "FI"},   {"TÜ", "TR"},
    {"AUS", "AU"},  {"CAN", "CA"},  {"NE", "NZ"},   {"MO", "MA"},   {"MCO", "MC"},  {"MOG", "MN"},
    {"MOL", "MD"},  {"SIN", "SG"},  {"SU", "RU"},   {"KOR", "KR"},  {"EGY", "EG"},  {"GRD", "GD"},
    {"NEP", "NP"},  {"NAM", "NA"},  {"MUS", "MU"},  {"MLT", "MT"},  {"MKD", "MK"},  {"AND", "AD"},
    {"ARG", "AR"},  {"ARM", "AM"},  {"AZE", "AZ"},  {"BHR", "BH"},  {"COL", "CO"},  {"DOM", "DO"},
    {"GCA", "GT"},  {"GEO", "GE"},  {"KWT", "KW"},  {"SUR", "SR"},  {"UZB", "UZ"},  {"IR", "IE"},
};

template <size_t N>
void FillTable(TNameValueList& list, const CodePair (&table)[N]) {
    list.Clear();
    for (const CodePair& pair : table) list.SetValue(pair.Nav, pair.Target);
}

} // namespace

void FillBuiltInUnits(TNameValueList& units) { FillTable(units, kBuiltInUnits); }

void FillBuiltInCountries(TNameValueList& countries) { FillTable(countries, kBuiltInCountries); }

std::vector<std::string> SplitCommaText(std::string_view text) {
    std::vector<std::string> items;
    size_t i = 0;
    const size_t n = text.size();
    auto skipBlanks = [&] {
        while (i < n && IsBlankByte(text[i])) ++i;
    };
    skipBlanks();
    while (i < n) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
            // Anything glued to the closing quote belongs to the same item.
            while (i < n && text[i] != ',' && !IsBlankByte(text[i])) item += text[i++];
        } else {
            while (i < n && text[i] != ',' && !IsBlankByte(text[i])) item += text[i++];
        }
        items.push_back(std::move(item));
        skipBlanks();
        if (i < n && text[i] == ',') {
            ++i;
            skipBlanks();
            if (i >= n) items.emplace_back();  // a trailing comma ends with an empty item
        }
    }
    return items;
}

std::string TSettings::MapUnit(const std::string& navCode, const std::string& isoCode) const {
    std::string iso = Trim(isoCode);
    if (!iso.empty()) return iso;
    std::string key = UpperAscii(Trim(navCode));
    if (!key.empty()) {
        std::string mapped = FUnits.Value(key);
        if (!mapped.empty()) return mapped;
    }
    return "C62";
}

std::string TSettings::MapCountry(const std::string& navCode) const {
    std::string key = UpperAscii(Trim(navCode));
    if (key.empty()) return DefaultCountry;
    std::string mapped = FCountries.Value(key);
    return mapped.empty() ? key : mapped;
}

std::string TSettings::LeitwegFor(const std::string& customerNo) const {
    std::string key = Trim(customerNo);
    if (key.empty()) return {};
    return UpperAscii(Trim(FLeitweg.Value(key)));
}

bool TSettings::IsDirectDebit(const std::string& payMethodCode) const {
    std::string code = UpperAscii(Trim(payMethodCode));
    if (code.empty()) return false;
    for (const std::string& method : SplitCommaText(UpperAscii(DirectDebitMethods)))
        if (SameTextUnicode(code, method)) return true;
    return false;
}

} // namespace velkaro
