#pragma once
// HTML mail bodies from the body and signature templates: placeholders filled with
// HTML-escaped values, the signature at its marker, all style blocks in one head, and
// every picture on disk or in a "data:" URI turned into an inline attachment
// ("cid:img1@velkaro", ...). The preview variant points disk pictures to file URLs.
#include <string>
#include <string_view>
#include <vector>

#include "invoice/placeholders.h"
#include "mail/graph_mailer.h"
#include "platform/regex.h"

namespace velkaro {

// "&", "<", ">" and the double quote as entities; everything else (the apostrophe too) stays.
std::string HtmlEscape(std::string_view text);
// Resolves "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" and numeric references
// ("&#228;", "&#xE4;"); anything else, invalid code points included, stays as written.
std::string HtmlDecode(std::string_view text);

// A copy of the context with every value HTML-escaped.
TPlaceholderContext HtmlEncodeValues(const TPlaceholderContext& values);
// Each line expanded; lines whose placeholders were all empty are dropped; every line
// that stays ends with CR LF.
std::string ExpandTemplateLines(std::string_view templ, const TPlaceholderContext& values);

struct THtmlParts {
    std::string Styles;  // every <style> block of a complete document, each + CR LF
    std::string Body;    // the body's content, or the whole text of a fragment
};
THtmlParts SplitHtmlDocument(std::string_view html);

// The document with the snippet after its first opening body tag (or in front of all).
std::string InsertAfterBodyTag(std::string_view document, std::string_view snippet);

// Unmatched text unchanged, each match replaced by what the evaluator returns.
std::string ReplaceMatches(std::string_view text, const TRegex& pattern, const TMatchEvaluator& evaluator);
std::string ReplaceMatches(std::string_view text, std::string_view pattern, unsigned options,
                           const TMatchEvaluator& evaluator);

// <img ... src="...">: group 1 the tag up to "src=", group 2 the quote, group 3 the address.
const TRegex& ImgSrcPattern();

// The file a picture reference names: "file://" URL or path, "%"-decoded, "\" read as
// "/", relative ones taken from `baseDir`, "." and ".." resolved. Returns "" when the
// reference cannot name a file on this system (a Windows drive path such as "C:\x.png").
// A "%" not followed by two hex digits (and not "%%") raises velkaro::Exception.
std::string ResolveImagePath(std::string_view reference, const std::string& baseDir);
// "file://" URL of an absolute path, for the preview.
std::string FileUrl(const std::string& path);

// A picture file that a mail template may carry: a PNG, JPEG or GIF that decodes, lying
// in `folder` or below it (symbolic links resolved; "" is the current folder). Gives the
// attachment with the file's name, bytes and the picture's media type. Raises a German
// message naming the file for anything else, so that no template (nor an imported
// signature) can send the settings, a key or any other file of the system to customers.
TMailAttachment LoadMailPicture(const std::string& path, const std::string& folder);

// The complete mail document for the templates. `images` receives the inline pictures in
// order of first reference; it stays empty for the preview. A picture file that exists
// but cannot be read, is no picture or lies outside `baseDir` raises (LoadMailPicture),
// in the preview too, so that the dialog shows what a sent mail would refuse.
void BuildHtmlMail(const std::string& bodyTemplate, const std::string& signatureTemplate,
                   const TPlaceholderContext& values, std::string& result, std::vector<TMailAttachment>& images,
                   bool forPreview, const std::string& baseDir);

} // namespace velkaro
