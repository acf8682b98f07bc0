#include "mail/secret_mask.h"

#include <string_view>

#include "mail/graph_mailer.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr size_t kMinMaskedSecretLength = 6;
constexpr size_t kMinTokenRunLength = 32;
constexpr size_t kMinWebTokenLength = 16;
constexpr std::string_view kMask = "***";

bool IsAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A credential's value: base64, base64url or URL-encoded.
bool IsValueChar(char c) {
    return IsAsciiAlnum(c) || std::string_view("-._~+/=%").find(c) != std::string_view::npos;
}

// A URL in running text ends at blanks, double quotes and angle brackets (single
// quotes occur inside service addresses: "Users('…')").
bool IsUrlChar(char c) {
    return c > ' ' && c < 0x7F && std::string_view("\"<>\\`{}|^").find(c) == std::string_view::npos;
}

// What a token may be made of in running text; "/" and "%" end it, so paths and
// URL-encoded values fall apart into short pieces.
bool IsTokenRunChar(char c) {
    return IsAsciiAlnum(c) || std::string_view("-_.+=~").find(c) != std::string_view::npos;
}

bool IsQuoteOrBlank(char c) { return c == '"' || c == '\'' || c == ' ' || c == '\\'; }

// Where the value of a credential named just before `pos` starts: "name=value",
// "name: value", "\"name\":\"value\""; npos when no assignment follows.
size_t AssignedValue(const std::string& text, size_t pos) {
    while (pos < text.size() && IsQuoteOrBlank(text[pos])) ++pos;
    if (pos >= text.size() || (text[pos] != '=' && text[pos] != ':')) return std::string::npos;
    ++pos;
    while (pos < text.size() && IsQuoteOrBlank(text[pos])) ++pos;
    return pos;
}

size_t DirectValue(const std::string&, size_t pos) { return pos; }

// Replaces the value after every occurrence of `marker` (ASCII case ignored) by the mask.
std::string MaskValues(std::string text, std::string_view marker, size_t (*valueStart)(const std::string&, size_t)) {
    const std::string upperMarker = UpperAscii(marker);
    std::string upper = UpperAscii(text);
    for (size_t pos = 0; (pos = upper.find(upperMarker, pos)) != std::string::npos;) {
        pos += marker.size();
        const size_t start = valueStart(text, pos);
        if (start == std::string::npos) continue;
        size_t end = start;
        while (end < text.size() && IsValueChar(text[end])) ++end;
        if (end == start) continue;  // nothing to hide, or already hidden
        text.replace(start, end - start, kMask);
        upper.replace(start, end - start, kMask);
        pos = start + kMask.size();
    }
    return text;
}

// Everything after the "?" of every URL: session addresses carry their credentials there.
std::string MaskUrlQueries(std::string text) {
    for (size_t pos = 0; (pos = text.find("://", pos)) != std::string::npos;) {
        pos += 3;
        size_t end = pos;
        while (end < text.size() && IsUrlChar(text[end])) ++end;
        while (end > pos && std::string_view(".,;:!?)'").find(text[end - 1]) != std::string_view::npos) --end;
        const size_t query = text.find('?', pos);
        if (query != std::string::npos && query + 1 < end) {
            text.replace(query + 1, end - query - 1, kMask);
            end = query + 1 + kMask.size();
        }
        pos = end;
    }
    return text;
}

bool LooksLikeToken(std::string_view run) {
    // A JSON web token starts with the base64 of '{"'.
    if (run.starts_with("eyJ") && run.size() >= kMinWebTokenLength && run.find('.') != std::string_view::npos)
        return true;
    if (run.size() < kMinTokenRunLength) return false;
    bool upper = false, lower = false, digit = false;
    for (char c : run) {
        upper |= c >= 'A' && c <= 'Z';
        lower |= c >= 'a' && c <= 'z';
        digit |= c >= '0' && c <= '9';
    }
    return upper && lower && digit;
}

std::string MaskTokenRuns(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (!IsTokenRunChar(text[i])) {
            out += text[i++];
            continue;
        }
        size_t end = i;
        while (end < text.size() && IsTokenRunChar(text[end])) ++end;
        const std::string_view run(text.data() + i, end - i);
        if (LooksLikeToken(run))
            out += kMask;
        else
            out += run;
        i = end;
    }
    return out;
}

} // namespace

std::string MaskSecrets(std::string message, const std::vector<std::string>& secrets) {
    for (const std::string& secret : secrets) {
        if (secret.size() < kMinMaskedSecretLength) continue;
        message = ReplaceAll(message, secret, kMask);
        message = ReplaceAll(message, UrlEncodeComponent(secret), kMask);
    }
    for (std::string_view name : {"client_secret", "authtoken", "access_token", "refresh_token", "id_token"})
        message = MaskValues(std::move(message), name, AssignedValue);
    message = MaskValues(std::move(message), "Bearer ", DirectValue);
    return MaskUrlQueries(std::move(message));
}

std::string MaskServiceText(std::string text, const std::vector<std::string>& secrets) {
    return MaskTokenRuns(MaskSecrets(std::move(text), secrets));
}

} // namespace velkaro
