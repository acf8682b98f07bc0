#include "invoice/leitweg.h"

#include <string_view>
#include <vector>

#include "platform/text.h"

namespace velkaro {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }

bool AllOf(std::string_view s, bool (*accept)(char)) {
    for (char c : s)
        if (!accept(c)) return false;
    return true;
}

bool IsDigitOrLetter(char c) { return IsDigit(c) || IsUpperLetter(c); }

// Lengths count characters as the user sees them (UTF-16 units), not UTF-8 bytes.
size_t CharCount(std::string_view s) { return Utf8ToUtf16(s).size(); }

// ISO/IEC 7064 MOD 97-10 over the digits, letters counting A = 10 ... Z = 35.
// Callers pass only digits and A-Z.
int Mod97(std::string_view s) {
    int r = 0;
    for (char c : s) {
        if (IsDigit(c)) {
            r = (r * 10 + (c - '0')) % 97;
        } else {
            int value = c - 'A' + 10;
            r = (r * 10 + value / 10) % 97;
            r = (r * 10 + value % 10) % 97;
        }
    }
    return r;
}

bool Fail(std::string& reason, const char* text) {
    reason = text;
    return false;
}

} // namespace

bool CheckLeitwegID(const std::string& text, std::string& reason) {
    reason.clear();
    const std::string s = UpperAscii(Trim(text));
    if (s.empty()) return Fail(reason, "leer");

    const std::vector<std::string> parts = Split(s, '-');
    if (parts.size() != 2 && parts.size() != 3)
        return Fail(reason, "Aufbau muss Grobadressierung-[Feinadressierung-]Prüfziffer sein (mit Bindestrichen)");
    const std::string& coarse = parts[0];
    const std::string fine = parts.size() == 3 ? parts[1] : std::string();
    const std::string& check = parts.back();

    const size_t coarseLength = CharCount(coarse);
    if (coarseLength < 2 || coarseLength > 12) return Fail(reason, "Grobadressierung muss 2 bis 12 Ziffern haben");
    if (!AllOf(coarse, IsDigit)) return Fail(reason, "Grobadressierung darf nur Ziffern enthalten");

    if (parts.size() == 3) {
        const size_t fineLength = CharCount(fine);
        if (fineLength < 1 || fineLength > 30) return Fail(reason, "Feinadressierung muss 1 bis 30 Zeichen haben");
        if (!AllOf(fine, IsDigitOrLetter))
            return Fail(reason, "Feinadressierung darf nur Buchstaben A-Z und Ziffern enthalten");
    }

    if (check.size() != 2 || !AllOf(check, IsDigit)) return Fail(reason, "Prüfziffer muss aus 2 Ziffern bestehen");

    if (Mod97(coarse + fine + check) != 1) return Fail(reason, "Prüfziffer stimmt nicht");
    return true;
}

} // namespace velkaro
