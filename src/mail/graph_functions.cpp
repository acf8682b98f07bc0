// The free functions of the Graph mail unit: addresses, error texts, attachments,
// URL encoding and the JSON pieces of a message.
#include <nlohmann/json.hpp>

#include "mail/graph_mailer.h"
#include "platform/base64.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

std::vector<std::string> SplitAddresses(const std::string& text) {
    std::vector<std::string> result;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ';' || text[i] == ',') {
            std::string piece = Trim(std::string_view(text).substr(start, i - start));
            if (!piece.empty()) result.push_back(std::move(piece));
            start = i + 1;
        }
    }
    return result;
}

namespace {

// Text of a JSON member as the error text shows it: strings as they are, absent and
// null as empty, anything else in its JSON form.
std::string MemberText(const nlohmann::json& object, const char* name) {
    auto it = object.find(name);
    if (it == object.end() || it->is_null()) return {};
    if (it->is_string()) return it->get<std::string>();
    return it->dump();
}

} // namespace

std::string GraphErrorText(const std::string& body) {
    std::string result = SanitizeUtf8(body);
    nlohmann::json doc = nlohmann::json::parse(result, nullptr, false);
    if (!doc.is_discarded() && doc.is_object()) {
        auto v = doc.find("error");
        if (v != doc.end()) {
            if (v->is_object()) {
                result = MemberText(*v, "code") + ": " + MemberText(*v, "message");
            } else {
                result = (v->is_string() ? v->get<std::string>() : v->dump()) + ": " +
                         MemberText(doc, "error_description");
            }
        }
    }
    constexpr size_t kMaxChars = 600;
    std::u32string chars = Utf8ToUtf32(result);
    if (chars.size() > kMaxChars) {
        chars.resize(kMaxChars);
        result = Utf32ToUtf8(chars) + "\u2026";
    }
    return result;
}

std::string ContentTypeForExtension(const std::string& ext) {
    const std::string e = LowerAscii(ext);
    if (e == ".png") return "image/png";
    if (e == ".jpg" || e == ".jpeg") return "image/jpeg";
    if (e == ".gif") return "image/gif";
    if (e == ".bmp") return "image/bmp";
    if (e == ".svg") return "image/svg+xml";
    if (e == ".webp") return "image/webp";
    return "application/octet-stream";
}

TMailAttachment LoadAttachmentFile(const std::string& fileName) {
    TMailAttachment a;
    const size_t sep = fileName.find_last_of("\\/:");
    a.Name = sep == std::string::npos ? fileName : fileName.substr(sep + 1);
    const size_t dot = a.Name.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : LowerAscii(a.Name.substr(dot));
    if (ext == ".pdf")
        a.ContentType = "application/pdf";
    else if (ext == ".xml")
        a.ContentType = "application/xml";
    else
        a.ContentType = ContentTypeForExtension(ext);
    a.Data = ReadFileBytes(fileName);
    return a;
}

std::string UrlEncodeComponent(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           std::string_view("!$'()*-.@_").find(static_cast<char>(c)) != std::string_view::npos;
        if (plain) {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            AppendHexByte(out, c);
        }
    }
    return out;
}

TJson RecipientsJson(const std::vector<std::string>& addresses) {
    TJson list = TJson::Array();
    for (const auto& address : addresses)
        list.Push(TJson::Object().Add("emailAddress", TJson::Object().Add("address", address)));
    return list;
}

TJson FileAttachmentJson(const TMailAttachment& attachment) {
    TJson j = TJson::Object();
    j.Add("@odata.type", "#microsoft.graph.fileAttachment")
        .Add("name", attachment.Name)
        .Add("contentType", attachment.ContentType)
        .Add("contentBytes", Base64Encode(attachment.Data));
    if (attachment.IsInline) j.Add("isInline", true).Add("contentId", attachment.ContentId);
    return j;
}

} // namespace velkaro
