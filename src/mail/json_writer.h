#pragma once
// JSON values for request bodies. Objects keep their members in insertion order and
// the text written is pure 7-bit: every character below U+0020 and above U+007F
// becomes a "\u" escape (a surrogate pair beyond the BMP), as Microsoft Graph's
// requests are built by this program.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace velkaro {

class TJson {
public:
    TJson() = default;  // null
    TJson(std::nullptr_t) {}
    TJson(bool value) : FValue(value) {}
    TJson(int value) : FValue(static_cast<int64_t>(value)) {}
    TJson(int64_t value) : FValue(value) {}
    TJson(std::string value) : FValue(std::move(value)) {}
    TJson(std::string_view value) : FValue(std::string(value)) {}
    TJson(const char* value) : FValue(std::string(value)) {}

    static TJson Object();
    static TJson Array();

    // Appends a member (objects) or an element (arrays); returns *this for chaining.
    TJson& Add(std::string key, TJson value);
    TJson& Push(TJson value);

    bool IsObject() const { return std::holds_alternative<Members>(FValue); }
    bool IsArray() const { return std::holds_alternative<Elements>(FValue); }

    std::string Dump() const;

private:
    using Members = std::vector<std::pair<std::string, TJson>>;
    using Elements = std::vector<TJson>;
    std::variant<std::nullptr_t, bool, int64_t, std::string, Members, Elements> FValue;

    void DumpTo(std::string& out) const;
};

// A JSON string literal of UTF-8 text, quotes included; invalid UTF-8 becomes U+FFFD.
std::string JsonQuote(std::string_view utf8);

} // namespace velkaro
