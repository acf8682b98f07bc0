#include "mail/json_writer.h"

#include "platform/error.h"
#include "platform/text.h"

namespace velkaro {

namespace {

void AppendUnicodeEscape(std::string& out, unsigned unit) {
    out += "\\u";
    AppendHex16(out, unit);
}

} // namespace

std::string JsonQuote(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (char32_t cp : Utf8ToUtf32(utf8)) {
        if (cp == U'"') {
            out += "\\\"";
        } else if (cp == U'\\') {
            out += "\\\\";
        } else if (cp >= 0x20 && cp <= 0x7F) {
            out += static_cast<char>(cp);
        } else if (cp <= 0xFFFF) {
            AppendUnicodeEscape(out, static_cast<unsigned>(cp));
        } else {
            const unsigned v = static_cast<unsigned>(cp) - 0x10000;
            AppendUnicodeEscape(out, 0xD800 + (v >> 10));
            AppendUnicodeEscape(out, 0xDC00 + (v & 0x3FF));
        }
    }
    out += '"';
    return out;
}

TJson TJson::Object() {
    TJson j;
    j.FValue = Members{};
    return j;
}

TJson TJson::Array() {
    TJson j;
    j.FValue = Elements{};
    return j;
}

TJson& TJson::Add(std::string key, TJson value) {
    auto* members = std::get_if<Members>(&FValue);
    if (!members) throw Exception("Interner Fehler: JSON-Wert ist kein Objekt.");
    members->emplace_back(std::move(key), std::move(value));
    return *this;
}

TJson& TJson::Push(TJson value) {
    auto* elements = std::get_if<Elements>(&FValue);
    if (!elements) throw Exception("Interner Fehler: JSON-Wert ist kein Array.");
    elements->push_back(std::move(value));
    return *this;
}

std::string TJson::Dump() const {
    std::string out;
    DumpTo(out);
    return out;
}

void TJson::DumpTo(std::string& out) const {
    struct Writer {
        std::string& out;
        void operator()(std::nullptr_t) const { out += "null"; }
        void operator()(bool b) const { out += b ? "true" : "false"; }
        void operator()(int64_t n) const { out += std::to_string(n); }
        void operator()(const std::string& s) const { out += JsonQuote(s); }
        void operator()(const Members& members) const {
            out += '{';
            bool first = true;
            for (const auto& [key, value] : members) {
                if (!first) out += ',';
                first = false;
                out += JsonQuote(key);
                out += ':';
                value.DumpTo(out);
            }
            out += '}';
        }
        void operator()(const Elements& elements) const {
            out += '[';
            bool first = true;
            for (const auto& value : elements) {
                if (!first) out += ',';
                first = false;
                value.DumpTo(out);
            }
            out += ']';
        }
    };
    std::visit(Writer{out}, FValue);
}

} // namespace velkaro
