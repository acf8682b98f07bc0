#pragma once
// Which editor opens a text file of the program (settings file, user guide).
#include <string>
#include <vector>

namespace velkaro {

// The user's editor ($VISUAL before $EDITOR, split at blanks) with the file as its last
// argument, for files ending in .ini, .md, .txt or .log; empty when no editor is set
// or the file is no text file: then the desktop's default application opens it.
std::vector<std::string> TextEditorCommand(const std::string& path, const std::string& visual,
                                           const std::string& editor);

} // namespace velkaro
