#pragma once
// A small indenting writer for the Cross Industry Invoice: element by element,
// two blanks per nesting level, LF line ends, never self-closing tags.
#include <string>
#include <string_view>

#include "invoice/invoice.h"

namespace velkaro {

class TXmlOut {
public:
    // Start tag on a line of its own; `attr` is written unchanged (ready-made, quoted).
    void Open(std::string_view tag, std::string_view attr = {});
    // End tag; does not check that it matches the open element.
    void Close(std::string_view tag);
    // One element on one line; the value is escaped unless `raw`.
    void Leaf(std::string_view tag, std::string_view value, std::string_view attr = {}, bool raw = false);
    // Like Leaf, but writes nothing when the escaped value is empty.
    void LeafOpt(std::string_view tag, std::string_view value, std::string_view attr = {});
    // `parent` holding the single element Leaf(tag, value, attr).
    void LeafIn(std::string_view parent, std::string_view tag, std::string_view value, std::string_view attr = {});
    // Indentation, the text unchanged and a line feed (used for the date elements).
    void Line(std::string_view text);
    // Parent element holding the DateTimeString of `date`.
    void DateElement(std::string_view tag, TDateTime date);
    // "ram:PostalTradeAddress" of the address.
    void WriteAddress(const TAddress& address);

    const std::string& Text() const { return SB; }
    std::string TakeText() { Ind = 0; return std::move(SB); }
    int Depth() const { return Ind; }

private:
    void Indent();
    void StartTag(std::string_view tag, std::string_view attr);

    std::string SB;
    int Ind = 0;
};

// Element text: tab, LF and CR become blanks, the five markup characters become
// entities, other characters that XML 1.0 does not allow are dropped, invalid UTF-8
// becomes U+FFFD; the result is trimmed. Also safe inside a quoted attribute value.
std::string XmlEscape(std::string_view text);

} // namespace velkaro
