// Which editor opens the program's text files.
#include <gtest/gtest.h>

#include "uimodel/text_editor.h"

using namespace velkaro;

namespace {

using Strings = std::vector<std::string>;

TEST(TextEditor, VisualBeforeEditorOnlyForTextFiles) {
    const struct {
        const char* Path;
        const char* Visual;
        const char* Editor;
        Strings Command;
    } cases[] = {
        {"/a/velkaro.ini", "gedit", "nano", {"gedit", "/a/velkaro.ini"}},
        {"/a/velkaro.ini", "", "nano", {"nano", "/a/velkaro.ini"}},
        {"/a/velkaro.ini", "  ", "kate -n", {"kate", "-n", "/a/velkaro.ini"}},
        {"/a/LIESMICH.MD", "code --wait", "", {"code", "--wait", "/a/LIESMICH.MD"}},
        {"/a/velkaro.log", "", "vi", {"vi", "/a/velkaro.log"}},
        {"/a/velkaro.ini", "", "", {}},                 // the desktop decides
        {"/a/Rechnung_1.pdf", "gedit", "nano", {}},     // no text file
        {"/a/Ausgabe/", "gedit", "nano", {}},           // a folder
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextEditorCommand(c.Path, c.Visual, c.Editor), c.Command) << c.Path << " " << c.Visual;
}

} // namespace
