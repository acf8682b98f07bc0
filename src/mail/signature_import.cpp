#include "mail/signature_import.h"

#include <cstdlib>
#include <filesystem>

#include "mail/html_mail.h"
#include "platform/files.h"
#include "platform/html_file.h"
#include "platform/regex.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace velkaro {

namespace {

const TRegex& VmlBlockPattern() {
    static const TRegex re(R"(<!--\[if gte vml 1\]>.*?<!\[endif\]-->)", roIgnoreCase | roDotAll);
    return re;
}

const TRegex& NonVmlMarkerPattern() {
    static const TRegex re(R"(<!\[if !vml\]>|<!\[endif\]>)", roIgnoreCase);
    return re;
}

bool IsExternalReference(const std::string& address) {
    for (const char* prefix : {"http:", "https:", "cid:", "data:"})
        if (StartsWithText(address, prefix)) return true;
    return false;
}

} // namespace

std::string RelativeReference(const std::string& target, const std::string& baseDir) {
    const fs::path from = fs::path(AbsolutePath(baseDir)).lexically_normal();
    const fs::path to = fs::path(AbsolutePath(target)).lexically_normal();
    fs::path rel = to.lexically_relative(from);
    return ReplaceAll((rel.empty() ? to : rel).generic_string(), "\\", "/");
}

std::string ImportOutlookSignature(const std::string& fileName, const std::string& baseDir,
                                   const std::string& imageDir) {
    std::string srcDir = ExtractFilePath(fileName);
    if (srcDir.empty()) srcDir = "./";
    std::string text = LoadHtmlFile(fileName);
    text = VmlBlockPattern().Replace(text, [](const TRegexMatch&) { return std::string(); });
    text = NonVmlMarkerPattern().Replace(text, [](const TRegexMatch&) { return std::string(); });
    ForceDirectories(imageDir);

    return ReplaceMatches(text, ImgSrcPattern(), [&](const TRegexMatch& m) {
        const std::string whole(m.Group(0));
        const std::string address = Trim(HtmlDecode(m.Group(3)));
        if (IsExternalReference(address)) return whole;
        const std::string source = ResolveImagePath(address, srcDir);
        if (source.empty() || !FileExists(source)) return whole;
        const std::string target = CombinePath(imageDir, ExtractFileName(source));
        // Only pictures beside the signature are taken over: a reference to any other
        // file would copy it where every mail embeds it.
        const TMailAttachment picture = LoadMailPicture(source, srcDir);
        if (fs::path(AbsolutePath(source)).lexically_normal() != fs::path(AbsolutePath(target)).lexically_normal())
            WriteFileBytes(target, picture.Data);
        const std::string quote(m.Group(2));
        return std::string(m.Group(1)) + quote + RelativeReference(target, baseDir) + quote;
    });
}

std::string OutlookSignatureFolder() {
    if (const char* appData = std::getenv("APPDATA"); appData && *appData)
        return CombinePath(appData, "Microsoft/Signatures");
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    return ".";
}

} // namespace velkaro
