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

// Codes NAV installations commonly hold that map to exactly one ISO country: vehicle
// registration codes ("D", "UK", "FL") and the ISO 3166-1 alpha-3 codes ("DEU", "CHE").
// Only codes the table above lacks; none of them is an ISO alpha-2 code of another
// country.
constexpr CodePair kCommonCountryCodes[] = {
    {"D", "DE"},     {"UK", "GB"},    {"FL", "LI"},    {"SLO", "SI"},   {"CDN", "CA"},   {"J", "JP"},
    {"GBZ", "GI"},   {"GBJ", "JE"},   {"GBG", "GG"},   {"GBM", "IM"},   {"RSM", "SM"},   {"V", "VA"},
    {"NMK", "MK"},   {"RL", "LB"},
    {"ABW", "AW"},   {"AFG", "AF"},   {"AGO", "AO"},   {"AIA", "AI"},   {"ALA", "AX"},   {"ALB", "AL"},
    {"ARE", "AE"},   {"ASM", "AS"},   {"ATA", "AQ"},   {"ATF", "TF"},   {"ATG", "AG"},   {"AUT", "AT"},
    {"BDI", "BI"},   {"BEL", "BE"},   {"BEN", "BJ"},   {"BES", "BQ"},   {"BFA", "BF"},   {"BGD", "BD"},
    {"BGR", "BG"},   {"BHS", "BS"},   {"BIH", "BA"},   {"BLM", "BL"},   {"BLR", "BY"},   {"BLZ", "BZ"},
    {"BMU", "BM"},   {"BOL", "BO"},   {"BRA", "BR"},   {"BRB", "BB"},   {"BRN", "BN"},   {"BTN", "BT"},
    {"BVT", "BV"},   {"BWA", "BW"},   {"CAF", "CF"},   {"CCK", "CC"},   {"CHE", "CH"},   {"CHL", "CL"},
    {"CHN", "CN"},   {"CIV", "CI"},   {"CMR", "CM"},   {"COD", "CD"},   {"COG", "CG"},   {"COK", "CK"},
    {"COM", "KM"},   {"CPV", "CV"},   {"CRI", "CR"},   {"CUB", "CU"},   {"CUW", "CW"},   {"CXR", "CX"},
    {"CYM", "KY"},   {"CYP", "CY"},   {"CZE", "CZ"},   {"DEU", "DE"},   {"DJI", "DJ"},   {"DMA", "DM"},
    {"DNK", "DK"},   {"DZA", "DZ"},   {"ECU", "EC"},   {"ERI", "ER"},   {"ESH", "EH"},   {"ESP", "ES"},
    {"EST", "EE"},   {"ETH", "ET"},   {"FIN", "FI"},   {"FJI", "FJ"},   {"FLK", "FK"},   {"FRA", "FR"},
    {"FRO", "FO"},   {"FSM", "FM"},   {"GAB", "GA"},   {"GBR", "GB"},   {"GGY", "GG"},   {"GHA", "GH"},
    {"GIB", "GI"},   {"GIN", "GN"},   {"GLP", "GP"},   {"GMB", "GM"},   {"GNB", "GW"},   {"GNQ", "GQ"},
    {"GRC", "GR"},   {"GRL", "GL"},   {"GTM", "GT"},   {"GUF", "GF"},   {"GUM", "GU"},   {"GUY", "GY"},
    {"HKG", "HK"},   {"HMD", "HM"},   {"HND", "HN"},   {"HRV", "HR"},   {"HTI", "HT"},   {"HUN", "HU"},
    {"IDN", "ID"},   {"IMN", "IM"},   {"IND", "IN"},   {"IOT", "IO"},   {"IRL", "IE"},   {"IRN", "IR"},
    {"IRQ", "IQ"},   {"ISL", "IS"},   {"ISR", "IL"},   {"ITA", "IT"},   {"JAM", "JM"},   {"JEY", "JE"},
    {"JOR", "JO"},   {"JPN", "JP"},   {"KAZ", "KZ"},   {"KEN", "KE"},   {"KGZ", "KG"},   {"KHM", "KH"},
    {"KIR", "KI"},   {"KNA", "KN"},   {"LAO", "LA"},   {"LBN", "LB"},   {"LBR", "LR"},   {"LBY", "LY"},
    {"LCA", "LC"},   {"LIE", "LI"},   {"LKA", "LK"},   {"LSO", "LS"},   {"LTU", "LT"},   {"LUX", "LU"},
    {"LVA", "LV"},   {"MAC", "MO"},   {"MAF", "MF"},   {"MAR", "MA"},   {"MDA", "MD"},   {"MDG", "MG"},
    {"MDV", "MV"},   {"MEX", "MX"},   {"MHL", "MH"},   {"MLI", "ML"},   {"MMR", "MM"},   {"MNE", "ME"},
    {"MNG", "MN"},   {"MNP", "MP"},   {"MOZ", "MZ"},   {"MRT", "MR"},   {"MSR", "MS"},   {"MTQ", "MQ"},
    {"MWI", "MW"},   {"MYS", "MY"},   {"MYT", "YT"},   {"NCL", "NC"},   {"NER", "NE"},   {"NFK", "NF"},
    {"NGA", "NG"},   {"NIC", "NI"},   {"NIU", "NU"},   {"NLD", "NL"},   {"NOR", "NO"},   {"NPL", "NP"},
    {"NRU", "NR"},   {"NZL", "NZ"},   {"OMN", "OM"},   {"PAK", "PK"},   {"PAN", "PA"},   {"PCN", "PN"},
    {"PER", "PE"},   {"PHL", "PH"},   {"PLW", "PW"},   {"PNG", "PG"},   {"POL", "PL"},   {"PRI", "PR"},
    {"PRK", "KP"},   {"PRT", "PT"},   {"PRY", "PY"},   {"PSE", "PS"},   {"PYF", "PF"},   {"QAT", "QA"},
    {"REU", "RE"},   {"ROU", "RO"},   {"RUS", "RU"},   {"RWA", "RW"},   {"SAU", "SA"},   {"SDN", "SD"},
    {"SEN", "SN"},   {"SGP", "SG"},   {"SGS", "GS"},   {"SHN", "SH"},   {"SJM", "SJ"},   {"SLB", "SB"},
    {"SLE", "SL"},   {"SLV", "SV"},   {"SMR", "SM"},   {"SOM", "SO"},   {"SPM", "PM"},   {"SRB", "RS"},
    {"SSD", "SS"},   {"STP", "ST"},   {"SVK", "SK"},   {"SVN", "SI"},   {"SWE", "SE"},   {"SWZ", "SZ"},
    {"SXM", "SX"},   {"SYC", "SC"},   {"SYR", "SY"},   {"TCA", "TC"},   {"TCD", "TD"},   {"TGO", "TG"},
    {"THA", "TH"},   {"TJK", "TJ"},   {"TKL", "TK"},   {"TKM", "TM"},   {"TLS", "TL"},   {"TON", "TO"},
    {"TTO", "TT"},   {"TUN", "TN"},   {"TUR", "TR"},   {"TUV", "TV"},   {"TWN", "TW"},   {"TZA", "TZ"},
    {"UGA", "UG"},   {"UKR", "UA"},   {"UMI", "UM"},   {"URY", "UY"},   {"VAT", "VA"},   {"VCT", "VC"},
    {"VEN", "VE"},   {"VGB", "VG"},   {"VIR", "VI"},   {"VNM", "VN"},   {"VUT", "VU"},   {"WLF", "WF"},
    {"WSM", "WS"},   {"YEM", "YE"},   {"ZAF", "ZA"},   {"ZMB", "ZM"},   {"ZWE", "ZW"},
};

template <size_t N>
void AddTable(TNameValueList& list, const CodePair (&table)[N]) {
    for (const CodePair& pair : table) list.SetValue(pair.Nav, pair.Target);
}

template <size_t N>
void FillTable(TNameValueList& list, const CodePair (&table)[N]) {
    list.Clear();
    AddTable(list, table);
}

} // namespace

void FillBuiltInUnits(TNameValueList& units) { FillTable(units, kBuiltInUnits); }

void FillBuiltInCountries(TNameValueList& countries) {
    FillTable(countries, kBuiltInCountries);
    AddTable(countries, kCommonCountryCodes);
}

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

std::string TSettings::MapCurrency(const std::string& navCode) const {
    const std::string key = UpperAscii(Trim(navCode));
    const std::string mapped = key.empty() ? std::string() : UpperAscii(Trim(FCurrencies.Value(key)));
    return mapped.empty() ? navCode : mapped;
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
