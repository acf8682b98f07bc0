#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "mail/signature_import.h"
#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::HasSubstr;

// An Outlook signature folder "sig/" beside a program folder "prog/" whose picture
// folder is "prog/bilder/".
class SignatureImportTest : public ::testing::Test {
protected:
    SignatureImportTest() {
        ForceDirectories(Sig + "Signatur-Dateien");
        ForceDirectories(Sig + "Signatur Dateien");
        ForceDirectories(Prog);
        WriteFileBytes(Sig + "Signatur-Dateien/image001.png", test::OnePixelGif(1, 0, 0));
        WriteFileBytes(Sig + "Signatur-Dateien/image002.png", test::OnePixelGif(2, 0, 0));
        WriteFileBytes(Sig + "Signatur-Dateien/image003.jpg", test::OnePixelGif(3, 0, 0));
        WriteFileBytes(Sig + "Signatur Dateien/bild&1.png", test::OnePixelGif(4, 0, 0));
    }

    test::TempFolder Dir;
    std::string Sig = Dir.File("sig/");
    std::string Prog = Dir.File("prog/");
    std::string Images = Dir.File("prog/bilder");

    // Body of the signature, written with the given umlaut bytes for "Grüßen".
    static std::string Signature(const std::string& meta, const std::string& gruessen) {
        return "<html><head>" + meta + "<style>p{margin:0}</style></head><body lang=DE>\r\n"
               "<p>Mit freundlichen " + gruessen + "</p>\r\n"
               "<!--[if gte vml 1]><v:shape style='width:75pt'>\r\n"
               "<v:imagedata src=\"Signatur-Dateien/image001.png\" o:title=\"\"/></v:shape><![endif]-->"
               "<![if !vml]><img width=100 src=\"Signatur-Dateien/image002.png\" alt=Logo><![endif]>\r\n"
               "<IMG SRC='Signatur-Dateien\\image003.jpg'>\r\n"
               "<img src=\"https://www.firma.de/logo.png\"><img src=\"cid:abc@x\">"
               "<img src=\"data:image/png;base64,AAAA\">\r\n"
               "<img src=\"Signatur-Dateien/fehlt.png\"><img src=\" Signatur%20Dateien/bild&amp;1.png \">\r\n"
               "</body></html>\r\n";
    }
    static std::string Expected(const std::string& meta) {
        return "<html><head>" + meta + "<style>p{margin:0}</style></head><body lang=DE>\r\n"
               "<p>Mit freundlichen Grüßen</p>\r\n"
               "<img width=100 src=\"bilder/image002.png\" alt=Logo>\r\n"
               "<IMG SRC='bilder/image003.jpg'>\r\n"
               "<img src=\"https://www.firma.de/logo.png\"><img src=\"cid:abc@x\">"
               "<img src=\"data:image/png;base64,AAAA\">\r\n"
               "<img src=\"Signatur-Dateien/fehlt.png\"><img src=\"bilder/bild&1.png\">\r\n"
               "</body></html>\r\n";
    }
};

TEST_F(SignatureImportTest, Windows1252SignatureWithPictures) {
    const std::string meta = "<meta http-equiv=Content-Type content=\"text/html; charset=windows-1252\">";
    WriteFileBytes(Sig + "Signatur.htm", Signature(meta, "Gr\xFC\xDF" "en"));
    EXPECT_EQ(ImportOutlookSignature(Sig + "Signatur.htm", Prog, Images), Expected(meta));
    EXPECT_EQ(ReadFileBytes(Images + "/image002.png"), test::OnePixelGif(2, 0, 0));
    EXPECT_EQ(ReadFileBytes(Images + "/image003.jpg"), test::OnePixelGif(3, 0, 0));
    EXPECT_EQ(ReadFileBytes(Images + "/bild&1.png"), test::OnePixelGif(4, 0, 0));
    EXPECT_FALSE(FileExists(Images + "/image001.png"));  // only the VML variant used it
}

TEST_F(SignatureImportTest, Utf8SignatureWithByteOrderMark) {
    // The mark wins over a declaration of windows-1252.
    const std::string meta = "<meta charset=\"windows-1252\">";
    WriteFileBytes(Sig + "Signatur.htm", "\xEF\xBB\xBF" + Signature(meta, "Grüßen"));
    EXPECT_EQ(ImportOutlookSignature(Sig + "Signatur.htm", Prog, Images), Expected(meta));
}

TEST_F(SignatureImportTest, SameFileNameFromTwoFoldersEndsUpAsOneFile) {
    ForceDirectories(Sig + "a");
    ForceDirectories(Sig + "b");
    WriteFileBytes(Sig + "a/logo.png", test::OnePixelGif(5, 0, 0));
    WriteFileBytes(Sig + "b/logo.png", test::OnePixelGif(6, 0, 0));
    WriteFileBytes(Sig + "s.htm", "<img src=\"a/logo.png\"><img src=\"file:///" + Sig.substr(1) + "b/logo.png\">");
    EXPECT_EQ(ImportOutlookSignature(Sig + "s.htm", Prog, Images),
              "<img src=\"bilder/logo.png\"><img src=\"bilder/logo.png\">");
    EXPECT_EQ(ReadFileBytes(Images + "/logo.png"), test::OnePixelGif(6, 0, 0));
}

TEST_F(SignatureImportTest, ImageFolderOutsideTheProgramFolderGivesAPathUpwards) {
    WriteFileBytes(Sig + "s.htm", "<img src=\"Signatur-Dateien/image002.png\">");
    EXPECT_EQ(ImportOutlookSignature(Sig + "s.htm", Prog, Dir.File("gemeinsam/bilder")),
              "<img src=\"../gemeinsam/bilder/image002.png\">");
    EXPECT_EQ(ReadFileBytes(Dir.File("gemeinsam/bilder/image002.png")), test::OnePixelGif(2, 0, 0));
}

TEST_F(SignatureImportTest, PictureAlreadyInTheImageFolderIsNotCopiedOntoItself) {
    ForceDirectories(Images);
    WriteFileBytes(Images + "/x.png", test::OnePixelGif(7, 0, 0));
    WriteFileBytes(Prog + "s.htm", "<img src=\"bilder/x.png\">");
    EXPECT_EQ(ImportOutlookSignature(Prog + "s.htm", Prog, Images), "<img src=\"bilder/x.png\">");
    EXPECT_EQ(ReadFileBytes(Images + "/x.png"), test::OnePixelGif(7, 0, 0));
}

TEST_F(SignatureImportTest, MissingSignatureFileRaises) {
    EXPECT_THROW(ImportOutlookSignature(Sig + "fehlt.htm", Prog, Images), Exception);
}

TEST(OutlookSignatureFolder, FromAppDataElseHome) {
    {
        test::ScopedEnv appData("APPDATA", "/mnt/profil/AppData/Roaming");
        EXPECT_EQ(OutlookSignatureFolder(), "/mnt/profil/AppData/Roaming/Microsoft/Signatures");
    }
    test::ScopedEnv noAppData("APPDATA", nullptr);
    test::ScopedEnv home("HOME", "/home/buchhaltung");
    EXPECT_EQ(OutlookSignatureFolder(), "/home/buchhaltung");
}

} // namespace
} // namespace velkaro
