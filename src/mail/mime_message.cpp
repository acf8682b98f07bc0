#include "mail/mime_message.h"

#include <ctime>
#include <random>

#include "platform/base64.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr size_t kLineLimit = 78;      // RFC 5322: lines SHOULD stay within 78 characters
constexpr size_t kEncodedWordLimit = 75;  // RFC 2047
constexpr std::string_view kCrLf = "\r\n";

std::string RandomHex(size_t bytes) {
    static thread_local std::random_device device;
    std::string out;
    for (size_t i = 0; i < bytes; ++i) AppendHexByte(out, static_cast<unsigned char>(device() & 0xFF));
    return LowerAscii(out);
}

bool IsPrintableAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return false;
    return true;
}

// Length of the longest prefix of `text` of at most `limit` bytes that ends on a
// character boundary (never 0 for a non-empty text and a limit of 4 or more).
size_t Utf8Prefix(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text.size();
    size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    if (n > 0) return n;
    // Too little room for the first character: the whole character all the same.
    n = 1;
    while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
    return n;
}

// "=?UTF-8?B?…?=" words, the first fitting behind `used` characters of its line, each
// further one on a folded line of its own.
std::string EncodedWords(std::string_view text, size_t used) {
    constexpr size_t kFrame = 12;  // "=?UTF-8?B?" and "?="
    std::string out;
    size_t column = used;
    while (!text.empty()) {
        size_t room = kLineLimit > column + kFrame ? kLineLimit - column - kFrame : 0;
        room = std::min(room, kEncodedWordLimit - kFrame);
        const size_t bytes = Utf8Prefix(text, std::max<size_t>(room / 4 * 3, 3));
        const std::string word = "=?UTF-8?B?" + Base64Encode(text.substr(0, bytes)) + "?=";
        if (!out.empty()) {
            out += "\r\n ";
            column = 1;
        }
        out += word;
        column += word.size();
        text.remove_prefix(bytes);
    }
    return out;
}

// Printable ASCII folded at blanks; false when a word would not fit a line.
bool FoldPlain(std::string_view text, size_t used, std::string& out) {
    if (!IsPrintableAscii(text) || text.find("=?") != std::string_view::npos) return false;
    size_t column = used;
    bool first = true;
    for (const std::string& word : Split(text, ' ')) {
        if (word.size() + 1 > kLineLimit) return false;
        if (first) {
            out += word;
            column += word.size();
            first = false;
        } else if (column + 1 + word.size() > kLineLimit) {
            out += "\r\n " + word;
            column = 1 + word.size();
        } else {
            out += " " + word;
            column += 1 + word.size();
        }
    }
    return true;
}

void CheckHeaderSafe(std::string_view text, std::string_view what) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            throw EGraphError("Ungültige Angabe für " + std::string(what) + ": \"" + SingleLine(text) +
                              "\" enthält einen Zeilenumbruch oder ein Steuerzeichen.");
}

// "Name <a@b.de>" with the name encoded when it is not plain ASCII.
std::string AddressItem(std::string_view raw) {
    const std::string text = Trim(raw);
    CheckHeaderSafe(text, "eine E-Mail-Adresse");
    const std::string address = MailboxAddress(text);
    if (address.empty() || address.find_first_of("<>\" ") != std::string::npos || !IsPrintableAscii(address))
        throw EGraphError("Ungültige E-Mail-Adresse \"" + text +
                          "\": erwartet name@domain.de (Zeichen außerhalb von ASCII stellt der SMTP-Versand nicht zu).");
    const size_t open = text.rfind('<');
    if (open == std::string::npos) return address;
    std::string name = Trim(std::string_view(text).substr(0, open));
    if (name.empty()) return address;
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    if (IsPrintableAscii(name) && name.find_first_of("\"\\()<>@,;:[]") == std::string::npos &&
        name.find("=?") == std::string::npos)
        return name + " <" + address + ">";
    if (IsPrintableAscii(name) && name.find("=?") == std::string::npos)
        return "\"" + ReplaceAll(ReplaceAll(name, "\\", "\\\\"), "\"", "\\\"") + "\" <" + address + ">";
    return EncodedWords(name, 0) + " <" + address + ">";
}

std::string AddressHeader(std::string_view name, const std::vector<std::string>& addresses) {
    std::string out = std::string(name) + ": ";
    size_t column = out.size();
    for (size_t i = 0; i < addresses.size(); ++i) {
        std::string item = AddressItem(addresses[i]);
        if (i + 1 < addresses.size()) item += ",";
        const size_t firstLine = item.find("\r\n");
        const size_t width = firstLine == std::string::npos ? item.size() : firstLine;
        if (i > 0) {
            if (column + 1 + width > kLineLimit) {
                out += "\r\n ";
                column = 1;
            } else {
                out += " ";
                ++column;
            }
        }
        out += item;
        const size_t lastLine = item.rfind("\r\n");
        column = lastLine == std::string::npos ? column + item.size() : item.size() - lastLine - 2;
    }
    return out + std::string(kCrLf);
}

std::string Base64Lines(std::string_view data) {
    const std::string encoded = Base64Encode(data);
    std::string out;
    out.reserve(encoded.size() + encoded.size() / 76 * 2 + 2);
    for (size_t pos = 0; pos < encoded.size(); pos += 76) {
        out.append(encoded, pos, 76);
        out += kCrLf;
    }
    return out;
}

// A MIME parameter: plain in quotes when it can be, else RFC 2231 (UTF-8, percent
// encoded) for Content-Disposition and an encoded word for the older "name".
std::string FileParameter(std::string_view key, std::string_view value, bool extended) {
    if (IsPrintableAscii(value) && value.find("=?") == std::string_view::npos)
        return std::string(key) + "=\"" + ReplaceAll(ReplaceAll(value, "\\", "\\\\"), "\"", "\\\"") + "\"";
    if (!extended) return std::string(key) + "=\"" + EncodedWords(value, 8) + "\"";
    std::string out = std::string(key) + "*=UTF-8''";
    for (const char c : value) {
        const unsigned char b = static_cast<unsigned char>(c);
        if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || c == '.' || c == '-' ||
            c == '_')
            out += c;
        else {
            out += '%';
            AppendHexByte(out, b);
        }
    }
    return out;
}

std::string ContentTypeOf(const TMailAttachment& a) {
    const std::string type = Trim(a.ContentType);
    CheckHeaderSafe(type, "einen Inhaltstyp");
    if (type.empty() || type.find('/') == std::string::npos || type.find_first_of(" ;\"") != std::string::npos)
        return "application/octet-stream";
    return type;
}

std::string AttachmentPart(const TMailAttachment& a) {
    CheckHeaderSafe(a.Name, "einen Dateinamen");
    std::string out = "Content-Type: " + ContentTypeOf(a) + ";\r\n\t" + FileParameter("name", a.Name, false) + "\r\n";
    out += "Content-Transfer-Encoding: base64\r\n";
    if (a.IsInline) {
        const std::string id = Trim(a.ContentId);
        if (id.empty() || id.find_first_of("<> \t\r\n") != std::string::npos || !IsPrintableAscii(id))
            throw EGraphError("Ungültige Content-ID \"" + SingleLine(id) + "\" des Bildes \"" + a.Name + "\".");
        out += "Content-ID: <" + id + ">\r\n";
        out += "Content-Disposition: inline;\r\n\t" + FileParameter("filename", a.Name, true) + "\r\n";
    } else {
        out += "Content-Disposition: attachment;\r\n\t" + FileParameter("filename", a.Name, true) + "\r\n";
    }
    return out + "\r\n" + Base64Lines(a.Data);
}

std::string HtmlPart(const std::string& html) {
    return "Content-Type: text/html; charset=UTF-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" +
           QuotedPrintable(html) + "\r\n";
}

// The parts as one multipart body with its own header lines.
std::string Multipart(std::string_view subtype, const std::vector<std::string>& parts, std::string_view extra = "") {
    // "=_" never occurs in base64 or quoted-printable text: the boundary cannot clash.
    const std::string boundary = "=_velkaro_" + RandomHex(12);
    std::string out = "Content-Type: multipart/" + std::string(subtype) + ";" + std::string(extra) +
                      "\r\n\tboundary=\"" + boundary + "\"\r\n\r\n";
    out += "This is a multi-part message in MIME format.\r\n";
    for (const std::string& part : parts) out += "\r\n--" + boundary + "\r\n" + part;
    return out + "\r\n--" + boundary + "--\r\n";
}

} // namespace

std::string MailboxAddress(std::string_view text) {
    const std::string t = Trim(text);
    const size_t open = t.rfind('<');
    const size_t close = t.rfind('>');
    if (open != std::string::npos && close != std::string::npos && close > open)
        return Trim(std::string_view(t).substr(open + 1, close - open - 1));
    return t;
}

std::string EncodedHeader(std::string_view name, std::string_view text) {
    CheckHeaderSafe(text, name);
    std::string out = std::string(name) + ": ";
    const size_t used = out.size();
    std::string folded;
    if (FoldPlain(text, used, folded))
        out += folded;
    else
        out += EncodedWords(text, used);
    return out + std::string(kCrLf);
}

std::string MailDateText(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const long offset = local.tm_gmtoff / 60;
    const long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[local.tm_wday], local.tm_mday,
                  kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                  offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

std::string NewMessageId(std::string_view sender) {
    const std::string address = MailboxAddress(sender);
    const size_t at = address.rfind('@');
    std::string domain = at == std::string::npos ? std::string() : LowerAscii(address.substr(at + 1));
    if (domain.empty() || !IsPrintableAscii(domain) || domain.find_first_of("<>[] ") != std::string::npos)
        domain = "velkaro.invalid";
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch()).count();
    return std::to_string(seconds) + "." + RandomHex(12) + "@" + domain;
}

std::string QuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    size_t column = 0;
    const auto put = [&](std::string_view token) {
        if (column + token.size() > 75) {
            out += "=\r\n";
            column = 0;
        }
        out += token;
        column += token.size();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c == '\n') {
            out += kCrLf;
            column = 0;
            continue;
        }
        const bool lineEnd = i + 1 == text.size() || text[i + 1] == '\n' ||
                             (text[i + 1] == '\r' && i + 2 < text.size() && text[i + 2] == '\n');
        const bool literal = (c >= 33 && c <= 126 && c != '=' && !(c == '.' && column == 0)) ||
                             ((c == ' ' || c == '\t') && !lineEnd);
        if (literal) {
            put(std::string_view(&text[i], 1));
        } else {
            std::string token = "=";
            AppendHexByte(token, c);
            put(token);
        }
    }
    return out;
}

std::string BuildMimeMessage(const TMimeMail& mail) {
    if (mail.To.empty()) throw EGraphError("Kein Empfänger angegeben.");
    std::string head = "Date: " + MailDateText(mail.Date) + "\r\n";
    head += AddressHeader("From", {mail.From});
    head += AddressHeader("To", mail.To);
    if (!mail.Cc.empty()) head += AddressHeader("Cc", mail.Cc);
    if (!mail.ReplyTo.empty()) head += AddressHeader("Reply-To", mail.ReplyTo);
    head += EncodedHeader("Subject", mail.Subject);
    const std::string id = mail.MessageId.empty() ? NewMessageId(mail.From) : mail.MessageId;
    CheckHeaderSafe(id, "die Message-ID");
    head += "Message-ID: <" + id + ">\r\n";
    if (!mail.MailId.empty()) {
        CheckHeaderSafe(mail.MailId, "die Versand-ID");
        head += std::string(kGraphMailIdHeader) + ": " + mail.MailId + "\r\n";
    }
    head += "MIME-Version: 1.0\r\n";

    std::vector<std::string> pictures;
    std::vector<std::string> files;
    for (const TMailAttachment& a : mail.Attachments) (a.IsInline ? pictures : files).push_back(AttachmentPart(a));

    std::string body = HtmlPart(mail.HtmlBody);
    if (!pictures.empty()) {
        pictures.insert(pictures.begin(), body);
        body = Multipart("related", pictures, " type=\"text/html\";");
    }
    if (!files.empty()) {
        files.insert(files.begin(), body);
        body = Multipart("mixed", files);
    }
    return head + body;
}

} // namespace velkaro
