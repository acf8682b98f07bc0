// The editor command for text files.
#include "uimodel/text_editor.h"

#include <sstream>

#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

std::vector<std::string> TextEditorCommand(const std::string& path, const std::string& visual,
                                           const std::string& editor) {
    const std::string ext = ExtractFileExt(path);
    bool text = false;
    for (const char* known : {".ini", ".md", ".txt", ".log"}) text = text || SameText(ext, known);
    const std::string chosen = !Trim(visual).empty() ? visual : editor;
    std::vector<std::string> command;
    if (!text || Trim(chosen).empty()) return command;
    std::istringstream words(chosen);
    for (std::string word; words >> word;) command.push_back(word);
    command.push_back(path);
    return command;
}

} // namespace velkaro
