#include "platform/base64.h"

namespace velkaro {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}
} // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string r;
    r.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        r += kAlphabet[(v >> 18) & 63];
        r += kAlphabet[(v >> 12) & 63];
        r += kAlphabet[(v >> 6) & 63];
        r += kAlphabet[v & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest == 1) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        r += kAlphabet[(v >> 18) & 63];
        r += kAlphabet[(v >> 12) & 63];
        r += "==";
    } else if (rest == 2) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        r += kAlphabet[(v >> 18) & 63];
        r += kAlphabet[(v >> 12) & 63];
        r += kAlphabet[(v >> 6) & 63];
        r += '=';
    }
    return r;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string r;
    r.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        bool last = i + 4 == text.size();
        int a = Value(text[i]), b = Value(text[i + 1]);
        if (a < 0 || b < 0) return std::nullopt;
        char c3 = text[i + 2], c4 = text[i + 3];
        if (last && c3 == '=' && c4 == '=') {
            if (b & 15) return std::nullopt;
            r += static_cast<char>((a << 2) | (b >> 4));
            break;
        }
        int c = Value(c3);
        if (c < 0) return std::nullopt;
        if (last && c4 == '=') {
            if (c & 3) return std::nullopt;
            r += static_cast<char>((a << 2) | (b >> 4));
            r += static_cast<char>(((b & 15) << 4) | (c >> 2));
            break;
        }
        int d = Value(c4);
        if (d < 0) return std::nullopt;
        r += static_cast<char>((a << 2) | (b >> 4));
        r += static_cast<char>(((b & 15) << 4) | (c >> 2));
        r += static_cast<char>(((c & 3) << 6) | d);
    }
    return r;
}

} // namespace velkaro
