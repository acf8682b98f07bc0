#include "mail/html_mail.h"

#include <filesystem>
#include <map>

#include "media/image_decode.h"
#include "platform/base64.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kDocumentHead =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
    "<style>body,p,td{font-family:Arial,Helvetica,sans-serif;font-size:10pt;}</style>\r\n";
constexpr std::string_view kBodyStart = "</head><body>\r\n";
constexpr std::string_view kDocumentEnd = "\r\n</body></html>";

const TRegex& StylePattern() {
    static const TRegex re("<style[^>]*>.*?</style>", roIgnoreCase | roDotAll);
    return re;
}

const TRegex& BodyPattern() {
    static const TRegex re("<body[^>]*>(.*)</body>", roIgnoreCase | roDotAll);
    return re;
}

const TRegex& BodyTagPattern() {
    static const TRegex re("<body[^>]*>", roIgnoreCase);
    return re;
}

const TRegex& DataUriPattern() {
    static const TRegex re("^data:([^;,]+);base64,(.*)$", roIgnoreCase | roDotAll);
    return re;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "&#228;" / "&#xE4;" at the start of `entity` (without "&" and ";"): the code point or -1.
long NumericReference(std::string_view entity) {
    if (entity.size() < 2 || entity[0] != '#') return -1;
    bool hex = entity[1] == 'x' || entity[1] == 'X';
    std::string_view digits = entity.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return -1;
    long value = 0;
    for (char c : digits) {
        int d = hex ? HexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) return -1;
        value = value * (hex ? 16 : 10) + d;
    }
    bool valid = value > 0 && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
    return valid ? value : -1;
}

std::string WithoutAsciiWhitespace(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f') out += c;
    return out;
}

// The text with every "{Signatur}" (any letter case) replaced by the signature, literally.
std::string ReplaceSignatureMarker(const std::string& body, const std::string& signature, bool& found) {
    static constexpr std::string_view kMarker = "{signatur}";
    const std::string lower = LowerAscii(body);  // same byte positions as the body
    std::string out;
    size_t pos = 0;
    found = false;
    for (size_t hit = lower.find(kMarker); hit != std::string::npos; hit = lower.find(kMarker, pos)) {
        out.append(body, pos, hit - pos);
        out += signature;
        pos = hit + kMarker.size();
        found = true;
    }
    out.append(body, pos, std::string::npos);
    return out;
}

// Identity of a picture file for de-duplication: the same file written as absolute or
// relative path, or through a link, gives one key. Linux file names are case-sensitive,
// so two names differing in case are two pictures.
std::string FileIdentity(const std::string& path) {
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::canonical(path, ec);
    return ec ? path : canonical.string();
}

// Turns the pictures of one document into inline attachments (or file URLs).
class TImageEmbedder {
public:
    TImageEmbedder(bool forPreview, const std::string& baseDir) : FForPreview(forPreview), FBaseDir(baseDir) {}

    std::vector<TMailAttachment> Imgs;

    std::string Evaluate(const TRegexMatch& m) {
        const std::string whole(m.Group(0));
        const std::string address = Trim(HtmlDecode(m.Group(3)));
        if (StartsWithText(address, "http:") || StartsWithText(address, "https:") || StartsWithText(address, "cid:"))
            return whole;
        if (StartsWithText(address, "data:")) return FForPreview ? whole : EmbedDataUri(m, address);
        std::string path = ResolveImagePath(address, FBaseDir);
        if (path.empty() || !FileExists(path)) return whole;
        std::string key = FileIdentity(path);
        auto known = FKnown.find(key);
        if (known != FKnown.end()) return Reference(m, FForPreview ? FileUrl(path) : "cid:" + known->second);
        TMailAttachment a = LoadMailPicture(path, FBaseDir);
        if (FForPreview) {
            FKnown.emplace(key, std::string());
            return Reference(m, FileUrl(path));
        }
        const std::string id = NextContentId();
        a.ContentId = id;
        a.IsInline = true;
        Imgs.push_back(std::move(a));
        FKnown.emplace(key, id);
        return Reference(m, "cid:" + id);
    }

private:
    bool FForPreview;
    std::string FBaseDir;
    std::map<std::string, std::string> FKnown;  // file identity -> content id

    std::string NextContentId() const { return "img" + std::to_string(Imgs.size() + 1) + "@velkaro"; }

    static std::string Reference(const TRegexMatch& m, const std::string& address) {
        return std::string(m.Group(1)) + std::string(m.Group(2)) + address + std::string(m.Group(2));
    }

    std::string EmbedDataUri(const TRegexMatch& m, const std::string& address) {
        auto data = DataUriPattern().Find(address);
        if (!data) return std::string(m.Group(0));
        // Line breaks inside long data URIs are common; they are not part of the data.
        auto bytes = Base64Decode(WithoutAsciiWhitespace(data->Group(2)));
        if (!bytes) return std::string(m.Group(0));
        TMailAttachment a;
        a.ContentType = std::string(data->Group(1));
        a.Data = std::move(*bytes);
        a.ContentId = NextContentId();
        size_t slash = a.ContentType.find('/');
        std::string ext = a.ContentType.substr(slash == std::string::npos ? 0 : slash + 1, 10);
        a.Name = "bild" + std::to_string(Imgs.size() + 1) + "." + ext;
        a.IsInline = true;
        Imgs.push_back(a);
        return Reference(m, "cid:" + a.ContentId);
    }
};

// Whether `path` lies in `folder` or below, both with their links resolved.
bool InsideFolder(const std::string& path, const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path file = fs::canonical(path, ec);
    if (ec) return false;
    const fs::path root = fs::canonical(folder.empty() ? fs::path(".") : fs::path(folder), ec);
    if (ec) return false;
    const fs::path rel = file.lexically_relative(root);
    return !rel.empty() && *rel.begin() != "..";
}

} // namespace

TMailAttachment LoadMailPicture(const std::string& path, const std::string& folder) {
    const std::string refused = "\" wird nicht in die Mail übernommen";
    if (!InsideFolder(path, folder))
        throw Exception("Bild \"" + path + refused + ": es liegt außerhalb des Ordners \"" +
                        AbsolutePath(folder.empty() ? "." : folder) +
                        "\". Bilder der Mailvorlagen gehören in diesen Ordner oder einen Unterordner.");
    TMailAttachment a;
    a.Name = ExtractFileName(path);
    a.Data = ReadImageFile(path);
    a.ContentType = WebPictureType(a.Data);
    if (a.ContentType.empty())
        throw Exception("Datei \"" + path + refused + ": sie ist kein Bild im Format PNG, JPEG oder GIF.");
    try {
        CheckImageDecodes(path, a.Data);
    } catch (const std::exception& e) {
        throw Exception("Bild \"" + path + refused + ": " + e.what());
    }
    return a;
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string HtmlDecode(std::string_view text) {
    static const std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '&') {
            // Entities are short; looking further would make a text full of "&" quadratic.
            size_t semi = text.substr(i + 1, 12).find(';');
            if (semi != std::string_view::npos) {
                semi += i + 1;
                std::string_view entity = text.substr(i + 1, semi - i - 1);
                bool done = false;
                for (const auto& [name, ch] : kNamed) {
                    if (entity == name) {
                        out += ch;
                        done = true;
                        break;
                    }
                }
                if (!done) {
                    long cp = NumericReference(entity);
                    if (cp > 0) {
                        AppendUtf8(out, static_cast<char32_t>(cp));
                        done = true;
                    }
                }
                if (done) {
                    i = semi + 1;
                    continue;
                }
            }
        }
        out += text[i++];
    }
    return out;
}

TPlaceholderContext HtmlEncodeValues(const TPlaceholderContext& values) {
    TPlaceholderContext encoded = NewPlaceholderContext();
    for (const auto& [key, value] : values) encoded.emplace(key, HtmlEscape(value));
    return encoded;
}

std::string ExpandTemplateLines(std::string_view templ, const TPlaceholderContext& values) {
    std::string out;
    for (const auto& line : TextLines(templ)) {
        TExpandedLine e = ExpandPlaceholders(line, values);
        if (e.AllEmpty) continue;
        out += e.Text;
        out += kCrLf;
    }
    return out;
}

THtmlParts SplitHtmlDocument(std::string_view html) {
    THtmlParts parts;
    auto body = BodyPattern().Find(html);
    if (!body) {
        parts.Body = std::string(html);
        return parts;
    }
    parts.Body = std::string(body->Group(1));
    StylePattern().ForEachMatch(html, [&](const TRegexMatch& m) {
        parts.Styles += m.Group(0);
        parts.Styles += kCrLf;
    });
    return parts;
}

std::string InsertAfterBodyTag(std::string_view document, std::string_view snippet) {
    auto tag = BodyTagPattern().Find(document);
    if (!tag) return std::string(snippet) + std::string(document);
    size_t end = tag->Position + tag->Group(0).size();
    return std::string(document.substr(0, end)) + std::string(snippet) + std::string(document.substr(end));
}

std::string ReplaceMatches(std::string_view text, const TRegex& pattern, const TMatchEvaluator& evaluator) {
    return pattern.Replace(text, evaluator);
}

std::string ReplaceMatches(std::string_view text, std::string_view pattern, unsigned options,
                           const TMatchEvaluator& evaluator) {
    return TRegex(pattern, options).Replace(text, evaluator);
}

const TRegex& ImgSrcPattern() {
    static const TRegex re("(<img\\b[^>]*?\\bsrc\\s*=\\s*)([\"'])(.*?)\\2", roIgnoreCase | roDotAll);
    return re;
}

std::string ResolveImagePath(std::string_view reference, const std::string& baseDir) {
    std::string_view rest = reference;
    bool url = StartsWithText(rest, "file://");
    if (url) {
        rest.remove_prefix(7);  // "file:///home/x" keeps its root "/"
        if (StartsWithText(rest, "localhost/")) rest.remove_prefix(9);
    }
    std::string path;
    path.reserve(rest.size());
    for (size_t i = 0; i < rest.size(); ++i) {
        char c = rest[i];
        if (c == '+') {
            path += ' ';
        } else if (c != '%') {
            path += c;
        } else if (i + 1 < rest.size() && rest[i + 1] == '%') {
            path += '%';
            ++i;
        } else if (i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
            path += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
            i += 2;
        } else {
            throw Exception("Ungültige %-Kodierung im Bildpfad \"" + std::string(reference) +
                            "\" (nach \"%\" müssen zwei Hexadezimalziffern folgen).");
        }
    }
    path = ReplaceAll(path, "\\", "/");
    // A file name cannot hold a NUL byte; a Windows drive path (also "file:///C:/...")
    // cannot exist here.
    if (path.find('\0') != std::string::npos) return "";
    std::string_view drive = path;
    if (url && !drive.empty() && drive[0] == '/') drive.remove_prefix(1);
    if (drive.size() >= 2 && drive[1] == ':') return "";
    if (path.empty() || path[0] != '/') path = baseDir.empty() ? path : CombinePath(baseDir, path);
    return AbsolutePath(path);
}

std::string FileUrl(const std::string& path) {
    static constexpr std::string_view kEscaped = " \"'%#?&<>\\`{}|^[]";
    std::string url = "file://";
    for (unsigned char c : path) {
        if (c < 0x20 || c == 0x7F || kEscaped.find(static_cast<char>(c)) != std::string_view::npos) {
            url += '%';
            AppendHexByte(url, c);
        } else {
            url += static_cast<char>(c);
        }
    }
    return url;
}

void BuildHtmlMail(const std::string& bodyTemplate, const std::string& signatureTemplate,
                   const TPlaceholderContext& values, std::string& result, std::vector<TMailAttachment>& images,
                   bool forPreview, const std::string& baseDir) {
    images.clear();
    const TPlaceholderContext encoded = HtmlEncodeValues(values);
    const THtmlParts signature = SplitHtmlDocument(ExpandTemplateLines(signatureTemplate, encoded));
    const THtmlParts text = SplitHtmlDocument(ExpandTemplateLines(bodyTemplate, encoded));

    bool marker = false;
    std::string body = ReplaceSignatureMarker(text.Body, signature.Body, marker);
    if (!marker) body = text.Body + std::string(kCrLf) + signature.Body;

    std::string document;
    document.reserve(kDocumentHead.size() + text.Styles.size() + signature.Styles.size() + body.size() + 64);
    document += kDocumentHead;
    document += text.Styles;
    document += signature.Styles;
    document += kBodyStart;
    document += body;
    document += kDocumentEnd;

    TImageEmbedder embedder(forPreview, baseDir);
    result = ReplaceMatches(document, ImgSrcPattern(), [&](const TRegexMatch& m) { return embedder.Evaluate(m); });
    if (!forPreview) images = std::move(embedder.Imgs);
}

} // namespace velkaro
