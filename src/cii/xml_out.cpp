#include "cii/xml_out.h"

#include "cii/xml_values.h"
#include "platform/text.h"

namespace velkaro {

void TXmlOut::Indent() { SB.append(static_cast<size_t>(Ind > 0 ? Ind : 0) * 2, ' '); }

void TXmlOut::StartTag(std::string_view tag, std::string_view attr) {
    Indent();
    SB += '<';
    SB += tag;
    if (!attr.empty()) {
        SB += ' ';
        SB += attr;
    }
    SB += '>';
}

void TXmlOut::Open(std::string_view tag, std::string_view attr) {
    StartTag(tag, attr);
    SB += '\n';
    ++Ind;
}

void TXmlOut::Close(std::string_view tag) {
    --Ind;
    Indent();
    SB += "</";
    SB += tag;
    SB += ">\n";
}

void TXmlOut::Leaf(std::string_view tag, std::string_view value, std::string_view attr, bool raw) {
    StartTag(tag, attr);
    if (raw) SB += value;
    else SB += XmlEscape(value);
    SB += "</";
    SB += tag;
    SB += ">\n";
}

void TXmlOut::LeafOpt(std::string_view tag, std::string_view value, std::string_view attr) {
    // Decided on the escaped text: a value of dropped characters only must not leave
    // an empty optional element behind.
    std::string escaped = XmlEscape(value);
    if (!escaped.empty()) Leaf(tag, escaped, attr, true);
}

void TXmlOut::LeafIn(std::string_view parent, std::string_view tag, std::string_view value, std::string_view attr) {
    Open(parent);
    Leaf(tag, value, attr);
    Close(parent);
}

void TXmlOut::Line(std::string_view text) {
    Indent();
    SB += text;
    SB += '\n';
}

void TXmlOut::DateElement(std::string_view tag, TDateTime date) {
    Open(tag);
    Line(XmlDate(date));
    Close(tag);
}

void TXmlOut::WriteAddress(const TAddress& address) {
    Open("ram:PostalTradeAddress");
    LeafOpt("ram:PostcodeCode", address.PostCode);
    LeafOpt("ram:LineOne", address.Street);
    LeafOpt("ram:LineTwo", address.Street2);
    LeafOpt("ram:CityName", address.City);
    Leaf("ram:CountryID", UpperAscii(address.Country));
    LeafOpt("ram:CountrySubDivisionName", address.County);
    Close("ram:PostalTradeAddress");
}

std::string XmlEscape(std::string_view text) {
    std::string valid;
    if (!IsValidUtf8(text)) {
        valid = SanitizeUtf8(text);
        text = valid;
    }
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '\t': case '\n': case '\r': out += ' '; break;
        case '"': out += "&quot;"; break;
        case '&': out += "&amp;"; break;
        case '\'': out += "&apos;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default:
            if (c < 0x20) break;
            // U+FFFE and U+FFFF (EF BF BE/BF) are no XML characters. Everything else
            // of valid UTF-8 is: surrogates and values beyond U+10FFFF cannot occur.
            if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
                i += 2;
                break;
            }
            out += static_cast<char>(c);
        }
    }
    return Trim(out);
}

} // namespace velkaro
