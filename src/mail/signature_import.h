#pragma once
// Takes over an Outlook signature as the HTML signature of the invoice mails: the VML
// variants go, local pictures are copied into the mail image folder and referenced
// relative to the program folder, so that the mail builder finds and embeds them.
#include <string>

namespace velkaro {

// The rewritten HTML of the signature file. `baseDir` is the folder the new picture
// references are made relative to (the settings file's folder), `imageDir` receives
// the pictures (created when missing). Unreadable files and failed copies raise.
std::string ImportOutlookSignature(const std::string& fileName, const std::string& baseDir,
                                   const std::string& imageDir);

// The target relative to the base folder, with "/" (".." where the folder lies elsewhere).
std::string RelativeReference(const std::string& target, const std::string& baseDir);

// Where Outlook keeps the signatures: "$APPDATA/Microsoft/Signatures" when APPDATA is
// set (a Windows profile mounted or configured), else the user's home folder.
std::string OutlookSignatureFolder();

} // namespace velkaro
