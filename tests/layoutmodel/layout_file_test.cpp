#include <gtest/gtest.h>

#include <algorithm>

#include "layoutmodel/layout_model.h"
#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

using namespace velkaro;
using velkaro::test::TempFolder;

namespace {

// Writes the text as a layout file and loads it over a fresh layout.
void LoadText(TLayout& layout, const TempFolder& dir, const std::string& bytes, const std::string& logo = "") {
    const std::string file = dir.File("v.layout.ini");
    WriteFileBytes(file, bytes);
    layout.LoadFromFile(file, logo);
}

std::vector<const TLayoutElement*> FreeTexts(const TLayout& layout) {
    std::vector<const TLayoutElement*> out;
    for (const auto& e : layout.Elements)
        if (e->Kind == ekText) out.push_back(e.get());
    return out;
}

void ExpectSameElement(const TLayoutElement& a, const TLayoutElement& b) {
    SCOPED_TRACE(a.Caption());
    EXPECT_EQ(b.Kind, a.Kind);
    EXPECT_DOUBLE_EQ(b.X, a.X);
    EXPECT_DOUBLE_EQ(b.Y, a.Y);
    EXPECT_DOUBLE_EQ(b.W, a.W);
    EXPECT_DOUBLE_EQ(b.H, a.H);
    EXPECT_DOUBLE_EQ(b.FontSize, a.FontSize);
    EXPECT_EQ(b.Bold, a.Bold);
    EXPECT_EQ(b.Visible, a.Visible);
    EXPECT_EQ(b.Scope, a.Scope);
    EXPECT_EQ(b.Align, a.Align);
    EXPECT_EQ(b.Text, a.Text);
    EXPECT_EQ(b.FileName, a.FileName);
}

void ExpectSameElements(const TLayout& a, const TLayout& b) {
    ASSERT_EQ(b.Elements.size(), a.Elements.size());
    for (size_t i = 0; i < a.Elements.size(); ++i)
        ExpectSameElement(*a.Elements[i], *b.Elements[i]);
}

void ExpectDefaultLayout(const TLayout& layout, const std::string& logo) {
    TLayout defaults;
    defaults.SetDefaults(logo);
    ExpectSameElements(defaults, layout);
    EXPECT_EQ(layout.BackgroundFirst, "");
    EXPECT_EQ(layout.BackgroundFollow, "");
    EXPECT_TRUE(layout.FollowSameAsFirst);
}

// Saves the layout into the folder and loads it back.
std::unique_ptr<TLayout> SaveAndLoad(const TLayout& layout, const TempFolder& dir, std::string* written = nullptr) {
    const std::string file = dir.File("v.layout.ini");
    layout.SaveToFile(file);
    if (written) *written = ReadFileBytes(file);
    auto back = std::make_unique<TLayout>();
    back->LoadFromFile(file, "");
    return back;
}

} // namespace

TEST(LayoutFile, SavesTheWholeTextInTheDocumentedForm) {
    TempFolder dir;
    TLayout layout;
    layout.BackgroundFirst = "brief.png";
    layout.FollowSameAsFirst = false;
    auto logo = std::make_unique<TLayoutElement>();
    logo->Kind = ekLogo;
    logo->X = 145;
    logo->Y = 10;
    logo->W = 50;
    logo->H = 25;
    logo->FontSize = 10;
    logo->Scope = psAll;
    logo->Text = "not written for the logo";
    logo->FileName = "logo.png";
    layout.Elements.push_back(std::move(logo));
    auto table = std::make_unique<TLayoutElement>();
    table->Kind = ekTable;
    table->X = 20;
    table->Y = 45.5;
    table->W = 8.25;
    table->H = 0.004;  // rounds to two decimals
    table->FontSize = 8.5;
    table->Bold = true;
    table->Text = "Pos.|Menge";
    table->FileName = "read, but never written";
    layout.Elements.push_back(std::move(table));
    TLayoutElement* a = layout.AddText(false);
    a->Text = "A\r\nB";
    a->Align = baRight;
    a->Visible = false;
    layout.AddText(true)->X = -3.456;

    const std::string file = dir.File("v.layout.ini");
    layout.SaveToFile(file);
    const std::string expected =
        "\xEF\xBB\xBF"
        "[Hintergrund]\r\nSeite1=brief.png\r\nFolgeseiten=\r\nFolgeseitenWieSeite1=0\r\n\r\n"
        "[Element.Logo]\r\nX=145.0\r\nY=10.0\r\nBreite=50.0\r\nHoehe=25.0\r\nSchriftgroesse=10.0\r\n"
        "Fett=0\r\nSichtbar=1\r\nSeiten=2\r\nDatei=logo.png\r\nAusrichtung=0\r\n\r\n"
        "[Element.Tabelle]\r\nX=20.0\r\nY=45.5\r\nBreite=8.25\r\nHoehe=0.0\r\nSchriftgroesse=8.5\r\n"
        "Fett=1\r\nSichtbar=1\r\nSeiten=0\r\nAusrichtung=0\r\nText=Pos.|Menge\r\n\r\n"
        "[Text.1]\r\nX=20.0\r\nY=140.0\r\nBreite=90.0\r\nHoehe=10.0\r\nSchriftgroesse=9.0\r\n"
        "Fett=0\r\nSichtbar=0\r\nSeiten=1\r\nAusrichtung=2\r\nText=A\\nB\r\n\r\n"
        "[Text.2]\r\nX=-3.46\r\nY=140.0\r\nBreite=90.0\r\nHoehe=10.0\r\nSchriftgroesse=9.0\r\n"
        "Fett=0\r\nSichtbar=1\r\nSeiten=0\r\nAusrichtung=0\r\nText=Neuer Text\r\n";
    EXPECT_EQ(ReadFileBytes(file), expected);
}

TEST(LayoutFile, RoundTripKeepsEveryField) {
    TempFolder dir;
    TLayout layout;
    layout.SetDefaults("logo.png");
    layout.BackgroundFirst = "/pfad/erste seite.pdf.png";
    layout.BackgroundFollow = "folge=seite.png";  // "=" in a value
    layout.FollowSameAsFirst = false;
    TLayoutElement* address = layout.Find(ekAddress);
    address->X = 21.25;
    address->Bold = true;
    address->Align = baCenter;
    address->Scope = psAll;
    layout.Find(ekFooter)->Visible = false;
    layout.AddText(true)->Text = "Zeile 1\r\nZeile 2 mit Umlauten äöü € 😀\r\n\r\nLetzte";
    layout.AddText(false)->Text = "Zweiter";

    auto back = SaveAndLoad(layout, dir);
    ExpectSameElements(layout, *back);
    EXPECT_EQ(back->BackgroundFirst, layout.BackgroundFirst);
    EXPECT_EQ(back->BackgroundFollow, layout.BackgroundFollow);
    EXPECT_FALSE(back->FollowSameAsFirst);
}

TEST(LayoutFile, MissingFileGivesTheDefaults) {
    TempFolder dir;
    TLayout layout;
    layout.AddText(true);
    layout.BackgroundFirst = "x";
    layout.LoadFromFile(dir.File("fehlt.layout.ini"), "");
    ExpectDefaultLayout(layout, "");
    EXPECT_FALSE(layout.Find(ekLogo)->Visible);
}

TEST(LayoutFile, ElementKeysOverrideOnlyWhatTheyName) {
    TempFolder dir;
    TLayout layout;
    LoadText(layout, dir,
             "[element.anschrift]\r\n"  // names compare without case
             "x=33.5\r\n"
             "Y=20,5\r\n"         // decimal comma: malformed, keeps 52
             "Breite=abc\r\n"     // malformed
             "Hoehe=\r\n"         // empty
             "Schriftgroesse=1e3\r\n"
             "Fett=7\r\n"
             "Seiten=4\r\n"
             "Ausrichtung=5\r\n"
             "Datei=bild.png\r\n"
             "Text=Erste\\nZweite\\n\r\n"
             "[Hintergrund]\nSeite1=a.png\nFolgeseiten=b.png\nFolgeseitenWieSeite1=0\n",
             "logo.png");
    const TLayoutElement* a = layout.Find(ekAddress);
    EXPECT_DOUBLE_EQ(a->X, 33.5);
    EXPECT_DOUBLE_EQ(a->Y, 52);
    EXPECT_DOUBLE_EQ(a->W, 85);
    EXPECT_DOUBLE_EQ(a->H, 38);
    EXPECT_DOUBLE_EQ(a->FontSize, 10);
    EXPECT_TRUE(a->Bold);
    EXPECT_EQ(a->Scope, psFollow);
    EXPECT_EQ(a->Align, baRight);
    EXPECT_EQ(a->FileName, "bild.png");
    EXPECT_EQ(a->Text, "Erste\r\nZweite\r\n");
    EXPECT_EQ(layout.BackgroundFirst, "a.png");
    EXPECT_EQ(layout.BackgroundFollow, "b.png");
    EXPECT_FALSE(layout.FollowSameAsFirst);
    EXPECT_EQ(layout.BackgroundFor(false), "b.png");
    // Untouched elements keep their defaults, the logo its file.
    EXPECT_EQ(layout.Find(ekInfo)->Text, DefaultText(ekInfo));
    EXPECT_EQ(layout.Find(ekLogo)->FileName, "logo.png");
    EXPECT_TRUE(layout.Find(ekLogo)->Visible);
    EXPECT_EQ(layout.Elements.size(), 11u);
}

TEST(LayoutFile, ScopeAndAlignmentAreTakenModuloThree) {
    struct Row {
        const char* Value;
        int Expected;
    };
    // Negative values count down from the top, so the result is always valid.
    const Row rows[] = {{"0", 0}, {"1", 1}, {"2", 2}, {"3", 0}, {"4", 1}, {"-1", 2}, {"-3", 0},
                        {"-2147483648", 1}, {"2147483647", 1}, {"x", -1}};
    TempFolder dir;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Value);
        TLayout layout;
        LoadText(layout, dir,
                 std::string("[Element.Titel]\nSeiten=") + r.Value + "\nAusrichtung=" + r.Value + "\n");
        const TLayoutElement* t = layout.Find(ekTitle);
        if (r.Expected < 0) {  // malformed: keeps the default
            EXPECT_EQ(t->Scope, psFirst);
            EXPECT_EQ(t->Align, baLeft);
        } else {
            EXPECT_EQ(t->Scope, r.Expected);
            EXPECT_EQ(t->Align, r.Expected);
        }
    }
}

TEST(LayoutFile, TablesStayVisibleOtherElementsCanBeHidden) {
    TempFolder dir;
    TLayout layout;
    LoadText(layout, dir,
             "[Element.Tabelle]\nSichtbar=0\n[Element.TabelleFolgeseite]\nSichtbar=0\n"
             "[Element.Fusszeile]\nSichtbar=0\n[Element.Logo]\nSichtbar=1\n");
    EXPECT_TRUE(layout.Find(ekTable)->Visible);
    EXPECT_TRUE(layout.Find(ekFollowTable)->Visible);
    EXPECT_FALSE(layout.Find(ekFooter)->Visible);
    EXPECT_TRUE(layout.Find(ekLogo)->Visible);  // the file may show a logo without a logo file
}

TEST(LayoutFile, FreeTextsInFileOrderWithTheirOwnStartValues) {
    TempFolder dir;
    TLayout layout;
    LoadText(layout, dir,
             "[Text.7]\nText=Sieben\nSeiten=2\n"
             "[Unbekannt]\nText=ignoriert\n"
             "[text.2]\nY=12.5\n"
             "[Text.7]\nText=doppelt, ignoriert\n"
             "[Texte]\nText=kein Punkt, ignoriert\n"
             "[Element.Text]\nText=kein freier Text\n");
    ASSERT_EQ(layout.Elements.size(), 13u);
    auto texts = FreeTexts(layout);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0]->Text, "Sieben");
    EXPECT_EQ(texts[0]->Scope, psAll);
    EXPECT_EQ(texts[1]->Text, "");  // no "Text" key: empty
    EXPECT_DOUBLE_EQ(texts[1]->X, 0);
    EXPECT_DOUBLE_EQ(texts[1]->Y, 12.5);
    EXPECT_DOUBLE_EQ(texts[1]->W, 80);
    EXPECT_DOUBLE_EQ(texts[1]->H, 10);
    EXPECT_DOUBLE_EQ(texts[1]->FontSize, 9);
    EXPECT_TRUE(texts[1]->Visible);
    EXPECT_EQ(texts[1]->Scope, psFirst);
    EXPECT_EQ(texts[1]->Align, baLeft);
    EXPECT_EQ(texts[1]->FileName, "");
    EXPECT_EQ(layout.Elements[11].get(), texts[0]);  // after the fixed elements
}

TEST(LayoutFile, SavingWritesTextSectionsAfterThePageNumberAndDropsUnknownSections) {
    TempFolder dir;
    const std::string file = dir.File("v.layout.ini");
    WriteFileBytes(file, "[Fremd]\nA=1\n[Text.9]\nText=alt\n");
    TLayout layout;
    layout.LoadFromFile(file, "");
    layout.AddText(true)->Text = "neu";
    layout.SaveToFile(file);
    const std::string text = ReadFileBytes(file);
    EXPECT_EQ(text.find("[Fremd]"), std::string::npos);
    EXPECT_EQ(text.find("[Text.9]"), std::string::npos);
    const size_t pageNo = text.find("[Element.Seitenzahl]");
    // Added lines end like the file's own (LF here).
    EXPECT_EQ(text.find('\r'), std::string::npos);
    const size_t t1 = text.find("[Text.1]\n");
    const size_t t2 = text.find("[Text.2]\n");
    ASSERT_NE(pageNo, std::string::npos);
    ASSERT_NE(t1, std::string::npos);
    ASSERT_NE(t2, std::string::npos);
    EXPECT_LT(pageNo, t1);
    EXPECT_LT(t1, t2);
    EXPECT_NE(text.find("Text=alt\n", t1), std::string::npos);
    EXPECT_NE(text.find("Text=neu\n", t2), std::string::npos);
}

TEST(LayoutFile, LineBreaksInTextsBecomeBackslashN) {
    TempFolder dir;
    TLayout layout;
    layout.SetDefaults("");
    // Lone CR or LF (pasted text) would otherwise split the value and corrupt the file.
    layout.AddText(true)->Text = "A\r\nB\nC\rD";
    std::string written;
    auto back = SaveAndLoad(layout, dir, &written);
    EXPECT_NE(written.find("Text=A\\nB\\nC\\nD\r\n"), std::string::npos);
    EXPECT_EQ(FreeTexts(*back).at(0)->Text, "A\r\nB\r\nC\r\nD");
}

TEST(LayoutFile, TypedBackslashNReadsBackAsLineBreak) {
    TempFolder dir;
    TLayout layout;
    layout.SetDefaults("");
    layout.AddText(true)->Text = "C:\\neu";
    EXPECT_EQ(FreeTexts(*SaveAndLoad(layout, dir)).at(0)->Text, "C:\r\neu");
}

TEST(LayoutFile, NumbersAreWrittenWithAPointWhateverTheLocale) {
    TempFolder dir;
    const std::string file = dir.File("v.layout.ini");
    bool german = false;
    {
        // A locale with a decimal comma, when the machine has one.
        test::GermanLocale locale;
        german = locale.Installed();
        TLayout layout;
        layout.SetDefaults("");
        layout.SaveToFile(file);
    }
    const std::string text = ReadFileBytes(file);
    EXPECT_NE(text.find("Y=45.5\r\n"), std::string::npos) << "german locale: " << german;
    EXPECT_NE(text.find("Schriftgroesse=8.5\r\n"), std::string::npos);
    EXPECT_EQ(text.find("45,5"), std::string::npos);
}

TEST(LayoutFile, DamagedFilesNeverCrashAndKeepTheDefaults) {
    TempFolder dir;
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
    const std::string cases[] = {
        "",
        "\xEF\xBB\xBF",
        garbage,
        std::string(1 << 20, 'x'),                                            // one huge line
        "[Element.Titel]\nText=" + std::string(200000, 'y') + "\n",           // huge value
        "[Element.Titel\nX=5\n[]\n=\n==\n[Element.Titel]]\n",                  // broken brackets
        "[Element.Logo]\nDatei=\xFF\xFE\xC3(\n[Text.1]\nText=\xE2\x82\n",      // invalid UTF-8
        std::string("[Element.Titel]\0\nX=5\n", 21),                            // NUL byte
        "\xEF\xBB\xBF[Element.Titel]\r\nX=1.0\r\n[Element.Titel]\r\nX=2.0\r\n",  // duplicate section
        "; nur Kommentare\r\n;[Element.Titel]\r\n;X=5\r\n",
        "[Element.Titel]\nX\nSeiten\nFett\n",                                 // keys without "="
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        TLayout layout;
        ASSERT_NO_THROW(LoadText(layout, dir, cases[i]));
        ASSERT_GE(layout.Elements.size(), 11u);
        for (int k = 0; k < FixedElementKindCount; ++k) {
            EXPECT_EQ(layout.Elements[k]->Kind, k);
            EXPECT_GE(layout.Elements[k]->Scope, psFirst);
            EXPECT_LE(layout.Elements[k]->Scope, psAll);
            EXPECT_GE(layout.Elements[k]->Align, baLeft);
            EXPECT_LE(layout.Elements[k]->Align, baRight);
        }
        for (const auto& e : layout.Elements) EXPECT_FALSE(e->Caption().empty());
    }
    TLayout bom;
    LoadText(bom, dir, cases[8]);
    EXPECT_DOUBLE_EQ(bom.Find(ekTitle)->X, 1.0);  // the byte-order mark does not hide the first section
    for (size_t i : {0, 1, 9, 10}) {  // nothing usable in the file: exactly the defaults
        SCOPED_TRACE(i);
        TLayout layout;
        LoadText(layout, dir, cases[i]);
        ExpectDefaultLayout(layout, "");
    }
}

TEST(LayoutFile, SaveIntoAMissingFolderRaisesAnError) {
    TempFolder dir;
    TLayout layout;
    layout.SetDefaults("");
    EXPECT_THROW(layout.SaveToFile(dir.File("fehlt/ordner/v.layout.ini")), velkaro::Exception);
}

TEST(LayoutFile, FixtureFromAnOlderVersionWithoutSomeElements) {
    TLayout layout;
    layout.LoadFromFile(test::TestDataPath("layout/alt.layout.ini"), "logo.png");
    ASSERT_EQ(layout.Elements.size(), 12u);
    EXPECT_DOUBLE_EQ(layout.Find(ekSenderName)->X, 25.0);
    EXPECT_EQ(layout.Find(ekSenderName)->Text, "{Firma}\r\n{Firma2}");
    EXPECT_EQ(layout.Find(ekFooter)->Text, DefaultText(ekFooter));  // section missing
    EXPECT_EQ(layout.BackgroundFirst, "Briefpapier.png");
    EXPECT_TRUE(layout.FollowSameAsFirst);
    EXPECT_EQ(layout.Elements.back()->Text, "Vielen Dank für Ihren Auftrag!");
}

// A hand-kept file saved by the designer: its comments and order stay, sections the
// program does not write go, and the letter paper beside the settings stays relative.
TEST(LayoutFile, SavingInPlaceKeepsCommentsAndDropsWhatTheProgramDoesNotWrite) {
    TempFolder dir;
    const std::string file = dir.File("velkaro.layout.ini");
    WriteFileBytes(file, ReadFileBytes(test::TestDataPath("layout/kommentiert.layout.ini")));
    TLayout layout;
    layout.LoadFromFile(file, "");
    ASSERT_EQ(FreeTexts(layout).size(), 2u);
    // The user removes the first free text, moves the address and picks the letter paper
    // again with the file dialog (an absolute path below the settings' folder).
    layout.Elements.erase(std::find_if(layout.Elements.begin(), layout.Elements.end(),
                                       [](const auto& e) { return e->Kind == ekText; }));
    layout.Find(ekAddress)->X = 25;
    layout.BackgroundFirst = dir.File("briefpapier/seite1-neu.png");
    layout.SaveToFile(file, dir.Path());

    std::string written = ReadFileBytes(file);
    for (const char* kept : {"\xEF\xBB\xBF; Layout der Firma Muster, von Hand gepflegt.\r\n",
                             "\r\n; Seite 1 mit Falzmarken\r\nSeite1=briefpapier/seite1-neu.png\r\n",
                             "\r\n; Die Anschrift sitzt im Fensterkuvert DIN 5008 B.\r\n[Element.Anschrift]\r\nX=25.0\r\n",
                             "\r\n; Hinweis auf Skonto\r\n[Text.1]\r\nX=20.0\r\nY=260.0\r\nText=Zweiter Text\r\n"})
        EXPECT_NE(written.find(kept), std::string::npos) << kept << "\n---\n" << written;
    for (const char* dropped : {"[Alt.Notizen]", "nicht mehr gebraucht", "[Text.2]", "Erster Text"})
        EXPECT_EQ(written.find(dropped), std::string::npos) << dropped << "\n---\n" << written;
    EXPECT_EQ(written.find('\n'), written.find("\r\n") + 1);  // CR LF kept
    EXPECT_EQ(written.find("\r\n\n"), std::string::npos);

    TLayout back;
    back.LoadFromFile(file, "");
    ExpectSameElements(layout, back);
    EXPECT_EQ(PathBeside(dir.Path(), back.BackgroundFirst), dir.File("briefpapier/seite1-neu.png"));
    // Saving the same layout again changes nothing.
    layout.SaveToFile(file, dir.Path());
    EXPECT_EQ(ReadFileBytes(file), written);
}

TEST(LayoutFile, PicturesAreWrittenRelativeOnlyInOrBelowTheSettingsFolder) {
    struct Case {
        std::string Picture, Written;
    };
    TempFolder dir;
    const std::string folder = dir.File("einstellungen");
    for (const Case& c : {Case{folder + "/brief.png", "brief.png"},
                          Case{folder + "/bilder/../bilder/brief.png", "bilder/brief.png"},
                          Case{dir.File("anderswo/brief.png"), dir.File("anderswo/brief.png")},
                          Case{folder + "-alt/brief.png", folder + "-alt/brief.png"},  // a sibling, not below
                          Case{"schon/relativ.png", "schon/relativ.png"},
                          Case{"", ""}}) {
        TLayout layout;
        layout.SetDefaults("");
        layout.BackgroundFirst = c.Picture;
        layout.BackgroundFollow = c.Picture;
        layout.Find(ekLogo)->FileName = c.Picture;
        const std::string file = dir.File("v.layout.ini");
        layout.SaveToFile(file, folder + "/");
        TLayout back;
        back.LoadFromFile(file, "");
        EXPECT_EQ(back.BackgroundFirst, c.Written) << c.Picture;
        EXPECT_EQ(back.BackgroundFollow, c.Written) << c.Picture;
        EXPECT_EQ(back.Find(ekLogo)->FileName, c.Written) << c.Picture;
    }
}
