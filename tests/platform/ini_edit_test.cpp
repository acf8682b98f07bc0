#include "platform/ini_edit.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/ini_file.h"

namespace velkaro {
namespace {

// A file as users write it: a comment before the first section, "#" notes (the reader
// takes them for keys without value), blank lines, unknown keys, a key in odd case with
// blanks around "=", and a second section of the same name that the reader ignores.
constexpr std::string_view kHandWritten =
    "\xEF\xBB\xBF"
    "; Einstellungen der Buchhaltung\r\n"
    "[Datenbank]\r\n"
    "# Server der Zentrale\r\n"
    "server =  sql01\r\n"
    "Datenbank=NAV2018\r\n"
    "Eigener Schluessel=bleibt\r\n"
    "\r\n"
    "; Ausgabe folgt\r\n"
    "[Verkaeufer]\r\n"
    "IBAN=DE02120300000000202051\r\n"
    "\r\n"
    "[Verkaeufer]\r\n"
    "Telefon=0228 123\r\n";

struct EditCase {
    const char* name;
    std::function<void(TIniTextEditor&)> edit;
    std::string_view expected;  // the whole text after the edit
};

TEST(IniTextEditor, ChangesOnlyTheLinesOfTheEditedKeys) {
    const EditCase cases[] = {
        {"existing key keeps its spelling and the blanks after =",
         [](TIniTextEditor& e) { e.Set("DATENBANK", "Server", "sql02"); },
         "\xEF\xBB\xBF; Einstellungen der Buchhaltung\r\n[Datenbank]\r\n# Server der Zentrale\r\nserver =  sql02\r\n"
         "Datenbank=NAV2018\r\nEigener Schluessel=bleibt\r\n\r\n; Ausgabe folgt\r\n[Verkaeufer]\r\n"
         "IBAN=DE02120300000000202051\r\n\r\n[Verkaeufer]\r\nTelefon=0228 123\r\n"},
        {"new key goes after the section's last key, before its trailing comment",
         [](TIniTextEditor& e) { e.Set("Datenbank", "Mandant", "Muster GmbH"); },
         "\xEF\xBB\xBF; Einstellungen der Buchhaltung\r\n[Datenbank]\r\n# Server der Zentrale\r\nserver =  sql01\r\n"
         "Datenbank=NAV2018\r\nEigener Schluessel=bleibt\r\nMandant=Muster GmbH\r\n\r\n; Ausgabe folgt\r\n"
         "[Verkaeufer]\r\nIBAN=DE02120300000000202051\r\n\r\n[Verkaeufer]\r\nTelefon=0228 123\r\n"},
        {"a key of the repeated section is written where the reader looks: the first one",
         [](TIniTextEditor& e) { e.Set("Verkaeufer", "Telefon", "0228 999"); },
         "\xEF\xBB\xBF; Einstellungen der Buchhaltung\r\n[Datenbank]\r\n# Server der Zentrale\r\nserver =  sql01\r\n"
         "Datenbank=NAV2018\r\nEigener Schluessel=bleibt\r\n\r\n; Ausgabe folgt\r\n[Verkaeufer]\r\n"
         "IBAN=DE02120300000000202051\r\nTelefon=0228 999\r\n\r\n[Verkaeufer]\r\nTelefon=0228 123\r\n"},
        {"missing section goes to the end after a blank line",
         [](TIniTextEditor& e) { e.SetBool("Ausgabe", "XmlZusaetzlich", true); },
         "\xEF\xBB\xBF; Einstellungen der Buchhaltung\r\n[Datenbank]\r\n# Server der Zentrale\r\nserver =  sql01\r\n"
         "Datenbank=NAV2018\r\nEigener Schluessel=bleibt\r\n\r\n; Ausgabe folgt\r\n[Verkaeufer]\r\n"
         "IBAN=DE02120300000000202051\r\n\r\n[Verkaeufer]\r\nTelefon=0228 123\r\n\r\n[Ausgabe]\r\nXmlZusaetzlich=1\r\n"},
        {"delete removes the key from the first section only; comments stay",
         [](TIniTextEditor& e) {
             e.Delete("Datenbank", "SERVER");
             e.Delete("Fehlt", "x");
         },
         "\xEF\xBB\xBF; Einstellungen der Buchhaltung\r\n[Datenbank]\r\n# Server der Zentrale\r\n"
         "Datenbank=NAV2018\r\nEigener Schluessel=bleibt\r\n\r\n; Ausgabe folgt\r\n[Verkaeufer]\r\n"
         "IBAN=DE02120300000000202051\r\n\r\n[Verkaeufer]\r\nTelefon=0228 123\r\n"},
        {"a removed section takes its lines; the comment right before the next header stays",
         [](TIniTextEditor& e) {
             e.DeleteSection("DATENBANK");
             e.DeleteSection("Fehlt");
         },
         "\xEF\xBB\xBF; Einstellungen der Buchhaltung\r\n\r\n; Ausgabe folgt\r\n[Verkaeufer]\r\n"
         "IBAN=DE02120300000000202051\r\n\r\n[Verkaeufer]\r\nTelefon=0228 123\r\n"},
        {"a removed section goes with every repeat of its name",
         [](TIniTextEditor& e) { e.DeleteSection("verkaeufer"); },
         "\xEF\xBB\xBF; Einstellungen der Buchhaltung\r\n[Datenbank]\r\n# Server der Zentrale\r\nserver =  sql01\r\n"
         "Datenbank=NAV2018\r\nEigener Schluessel=bleibt\r\n\r\n; Ausgabe folgt\r\n\r\n"},
        {"nothing edited: the text comes back byte for byte", [](TIniTextEditor&) {}, kHandWritten},
    };
    for (const EditCase& c : cases) {
        TIniTextEditor editor(kHandWritten);
        c.edit(editor);
        EXPECT_EQ(editor.Text(), c.expected) << c.name;
    }
}

TEST(IniTextEditor, SectionNamesComeInFileOrderOnce) {
    EXPECT_EQ(TIniTextEditor(kHandWritten).SectionNames(), (std::vector<std::string>{"Datenbank", "Verkaeufer"}));
    EXPECT_TRUE(TIniTextEditor("").SectionNames().empty());
}

TEST(IniTextEditor, TheReaderSeesEveryValueThatWasSet) {
    TIniTextEditor editor(kHandWritten);
    editor.Set("Datenbank", "Server", "sql03");
    editor.Set("Verkaeufer", "Telefon", "0228 999");
    editor.Set("Graph", "Text", "Zeile 1\r\nZeile 2\nZeile 3");  // breaks would start new lines
    editor.Set("Datenbank", "Datenbank", "");
    const TIniFile ini = TIniFile::FromText(editor.Text());
    EXPECT_EQ(ini.ReadString("Datenbank", "Server", "?"), "sql03");
    EXPECT_EQ(ini.ReadString("Verkaeufer", "Telefon", "?"), "0228 999");
    EXPECT_EQ(ini.ReadString("Graph", "Text", "?"), "Zeile 1  Zeile 2 Zeile 3");
    EXPECT_EQ(ini.ReadString("Datenbank", "Datenbank", "?"), "");
    EXPECT_EQ(ini.ReadString("Datenbank", "Eigener Schluessel", "?"), "bleibt");
}

TEST(IniTextEditor, AddedLinesFollowTheFilesOwnLineEnds) {
    struct Case {
        std::string_view original, expected;
    };
    const Case cases[] = {
        {"", "\xEF\xBB\xBF[A]\r\nk=v\r\n"},                                // a new file: mark and CR LF
        {"[A]\nx=1", "[A]\nx=1\nk=v\n"},                                    // LF, last line without end
        {"[B]\ny=2\n", "[B]\ny=2\n\n[A]\nk=v\n"},                           // LF, new section
        {"; nur Kommentar\r", "; nur Kommentar\r\r[A]\rk=v\r"},            // lone CR
        {"vor=dem ersten Abschnitt\r\n", "vor=dem ersten Abschnitt\r\n\r\n[A]\r\nk=v\r\n"},
    };
    for (const Case& c : cases) {
        TIniTextEditor editor(c.original);
        editor.Set("A", "k", "v");
        EXPECT_EQ(editor.Text(), c.expected) << c.original;
    }
}

} // namespace
} // namespace velkaro
