// Nothing but pictures leaves in a mail: a template or an imported signature may embed
// PNG, JPEG and GIF files that decode, from its own folder and below. A reference to the
// settings file, a key or any other file of the system is refused, naming the file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "mail/html_mail.h"
#include "mail/signature_import.h"
#include "platform/files.h"
#include "platform/html_file.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// The settings folder "ini/" with a picture below it, beside a folder "fremd/".
class MailPictures : public ::testing::Test {
protected:
    MailPictures() {
        ForceDirectories(Ini + "Signatur");
        ForceDirectories(Dir.File("fremd"));
        WriteFileBytes(Ini + "Signatur/logo.gif", test::OnePixelGif(1, 2, 3));
        WriteFileBytes(Ini + "velkaro.ini", "[Graph]\nClientSecretGeschuetzt=abc\n");
        WriteFileBytes(Dir.File("fremd/bild.gif"), test::OnePixelGif(4, 5, 6));
        WriteFileBytes(Dir.File("fremd/geheim.key"), std::string(32, '\x7F'));
    }
    // The error of building a mail (or its preview) with the body, "" when it is built.
    std::string ErrorOfBody(const std::string& body, bool preview = false) const {
        std::string html;
        std::vector<TMailAttachment> images;
        return test::ErrorOf([&] { BuildHtmlMail(body, "", NewPlaceholderContext(), html, images, preview, Ini); });
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("ini/");
};

TEST_F(MailPictures, PicturesOfTheFolderAndBelowAreEmbeddedWithTheirRealType) {
    // A GIF named .png is sent as what it is.
    WriteFileBytes(Ini + "Signatur/falsch.png", test::OnePixelGif(7, 8, 9));
    std::string html;
    std::vector<TMailAttachment> images;
    BuildHtmlMail("<img src=\"Signatur/logo.gif\"><img src=\"./Signatur/falsch.png\">", "", NewPlaceholderContext(),
                  html, images, false, Ini);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].ContentType, "image/gif");
    EXPECT_EQ(images[0].Data, test::OnePixelGif(1, 2, 3));
    EXPECT_EQ(images[1].ContentType, "image/gif");
    EXPECT_EQ(images[1].Name, "falsch.png");
}

TEST_F(MailPictures, FilesThatAreNoPicturesOrLieElsewhereAreRefused) {
    WriteFileBytes(Ini + "Signatur/kaputt.png", std::string("\x89PNG\r\n\x1A\n", 8) + "abgeschnitten");
    WriteFileBytes(Ini + "Signatur/bild.bmp", "BM" + std::string(60, '\0'));
    fs::create_symlink(Dir.File("fremd/bild.gif"), Ini + "Signatur/verweis.gif");
    fs::create_symlink(Dir.File("fremd/geheim.key"), Ini + "Signatur/schluessel.png");
    const std::string outside = "\" wird nicht in die Mail übernommen: es liegt außerhalb des Ordners \"" +
                                AbsolutePath(Ini) + "\". Bilder der Mailvorlagen gehören in diesen Ordner oder einen "
                                                    "Unterordner.";
    const std::string noPicture = "\" wird nicht in die Mail übernommen: sie ist kein Bild im Format PNG, JPEG oder GIF.";
    struct Case {
        std::string reference;
        std::string error;  // the whole message, or its start followed by "…"
    } cases[] = {
        {"velkaro.ini", "Datei \"" + AbsolutePath(Ini + "velkaro.ini") + noPicture},
        {"file://" + Ini + "velkaro.ini", "Datei \"" + AbsolutePath(Ini + "velkaro.ini") + noPicture},
        {"Signatur/bild.bmp", "Datei \"" + AbsolutePath(Ini + "Signatur/bild.bmp") + noPicture},
        {"../fremd/bild.gif", "Bild \"" + AbsolutePath(Dir.File("fremd/bild.gif")) + outside},
        {Dir.File("fremd/geheim.key"), "Bild \"" + AbsolutePath(Dir.File("fremd/geheim.key")) + outside},
        {"/etc/passwd", "Bild \"/etc/passwd" + outside},
        {"Signatur/verweis.gif", "Bild \"" + AbsolutePath(Ini + "Signatur/verweis.gif") + outside},
        {"Signatur/schluessel.png", "Bild \"" + AbsolutePath(Ini + "Signatur/schluessel.png") + outside},
        {"Signatur/kaputt.png", "Bild \"" + AbsolutePath(Ini + "Signatur/kaputt.png") +
                                    "\" wird nicht in die Mail übernommen: Bilddatei kann nicht gelesen werden: …"},
    };
    for (const Case& c : cases) {
        for (const bool preview : {false, true}) {
            const std::string error = ErrorOfBody("<p>Text</p><img src=\"" + c.reference + "\">", preview);
            if (c.error.ends_with("…"))
                EXPECT_THAT(error, ::testing::StartsWith(c.error.substr(0, c.error.size() - 3))) << c.reference;
            else
                EXPECT_EQ(error, c.error) << c.reference << (preview ? " (Vorschau)" : "");
        }
    }
    // Missing files and remote pictures stay as they are, as before.
    EXPECT_EQ(ErrorOfBody("<img src=\"fehlt.png\"><img src=\"https://x.example/a.png\">"), "");
}

TEST_F(MailPictures, TheSignatureImportTakesOnlyPicturesBesideTheSignature) {
    const std::string sig = Dir.File("outlook/");
    ForceDirectories(sig + "Signatur-Dateien");
    WriteFileBytes(sig + "Signatur-Dateien/image001.gif", test::OnePixelGif(9, 9, 9));
    WriteFileBytes(sig + "Signatur-Dateien/notiz.png", "kein Bild");
    const std::string images = Ini + "Signatur";

    WriteFileBytes(sig + "gut.htm", "<img src=\"Signatur-Dateien/image001.gif\">");
    EXPECT_EQ(ImportOutlookSignature(sig + "gut.htm", Ini, images), "<img src=\"Signatur/image001.gif\">");
    EXPECT_EQ(ReadFileBytes(images + "/image001.gif"), test::OnePixelGif(9, 9, 9));

    struct Case {
        const char* reference;
        std::string errorPart;
        std::string notCopied;
    } cases[] = {
        {"Signatur-Dateien/notiz.png", "sie ist kein Bild", images + "/notiz.png"},
        {"../ini/velkaro.ini", "es liegt außerhalb des Ordners", images + "/velkaro.ini"},
        {"../fremd/bild.gif", "es liegt außerhalb des Ordners", images + "/bild.gif"},
    };
    for (const Case& c : cases) {
        WriteFileBytes(sig + "boese.htm", std::string("<img src=\"") + c.reference + "\">");
        EXPECT_THAT(test::ErrorOf([&] { ImportOutlookSignature(sig + "boese.htm", Ini, images); }),
                    HasSubstr(c.errorPart))
            << c.reference;
        EXPECT_FALSE(FileExists(c.notCopied)) << c.reference;
    }
}

TEST(MailTemplateFiles, TemplatesThatAreNoTextOrTooLargeAreRefused) {
    test::TempFolder dir;
    const std::string binary = dir.File("binaer.htm");
    WriteFileBytes(binary, "<p>" + std::string("\x01\x02\x00\x03", 4) + "</p>");
    EXPECT_EQ(test::ErrorOf([&] { LoadHtmlFile(binary); }),
              "Datei \"" + binary + "\" ist keine Textdatei und kann nicht gelesen werden.");
    const std::string large = dir.File("gross.htm");
    WriteFileBytes(large, std::string(kMaxHtmlFileBytes + 1, 'a'));
    EXPECT_EQ(test::ErrorOf([&] { LoadHtmlFile(large); }),
              "Datei \"" + large + "\" ist größer als 4 MB und wird nicht gelesen.");
    // Text with tabs and line breaks, also in UTF-16, is read.
    const std::string utf16 = dir.File("utf16.htm");
    WriteFileBytes(utf16, std::string("\xFF\xFE<\0p\0>\0\t\0\r\0\n\0", 14));
    EXPECT_EQ(LoadHtmlFile(utf16), "<p>\t\r\n");
    WriteFileBytes(large, std::string(kMaxHtmlFileBytes, 'a'));
    EXPECT_EQ(LoadHtmlFile(large).size(), kMaxHtmlFileBytes);
}

} // namespace
} // namespace velkaro
