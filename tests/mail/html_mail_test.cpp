#include "mail/html_mail.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base64.h"
#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

const std::string kHead =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
    "<style>body,p,td{font-family:Arial,Helvetica,sans-serif;font-size:10pt;}</style>\r\n";

struct TMail {
    std::string Html;
    std::vector<TMailAttachment> Images;
};

TMail Build(const std::string& body, const std::string& signature, const TPlaceholderContext& values,
            const std::string& baseDir = "", bool preview = false) {
    TMail m;
    BuildHtmlMail(body, signature, values, m.Html, m.Images, preview, baseDir);
    return m;
}

TMail Build(const std::string& body, const std::string& signature = "", const std::string& baseDir = "",
            bool preview = false) {
    return Build(body, signature, NewPlaceholderContext(), baseDir, preview);
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

TEST(HtmlEscape, EscapesMarkupCharactersOnly) {
    EXPECT_EQ(HtmlEscape("A&B <x> \"q\" 'a' ü"), "A&amp;B &lt;x&gt; &quot;q&quot; 'a' ü");
    EXPECT_EQ(HtmlEscape(""), "");
}

TEST(HtmlDecode, NamedAndNumericReferences) {
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"a&amp;b", "a&b"}, {"&lt;&gt;&quot;&apos;", "<>\"'"}, {"&#228;&#xE4;&#XC4;", "ääÄ"},
        {"&amp;amp;", "&amp;"},  // decoded once only
        {"&nbsp;", "&nbsp;"}, {"&#;", "&#;"}, {"&#xD800;", "&#xD800;"}, {"&#1114112;", "&#1114112;"},
        {"&#0;", "&#0;"}, {"a & b", "a & b"}, {"&amp", "&amp"}, {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(HtmlDecode(c.in), c.out) << c.in;
}

TEST(HtmlEncodeValues, EscapesEveryValueAndKeepsCaseInsensitiveKeys) {
    TPlaceholderContext values = NewPlaceholderContext();
    values["K.Name"] = "Müller & <Söhne>";
    values["Leer"] = "";
    TPlaceholderContext encoded = HtmlEncodeValues(values);
    EXPECT_EQ(encoded["k.name"], "Müller &amp; &lt;Söhne&gt;");
    EXPECT_EQ(encoded.count("LEER"), 1u);
    EXPECT_EQ(values["K.Name"], "Müller & <Söhne>");  // the original stays plain
}

TEST(ExpandTemplateLines, DropsAllEmptyLinesAndEndsEachWithCrLf) {
    TPlaceholderContext values = NewPlaceholderContext();
    values["Nr"] = "R1";
    values["K.UStId"] = "";
    EXPECT_EQ(ExpandTemplateLines("<p>{Nr}</p>\r\n<p>USt: {K.UStId}</p>\n\n<p>Ende</p>", values),
              "<p>R1</p>\r\n\r\n<p>Ende</p>\r\n");
    EXPECT_EQ(ExpandTemplateLines("", values), "");
    EXPECT_EQ(ExpandTemplateLines("{K.UStId}", values), "");
}

TEST(SplitHtmlDocument, CompleteDocumentAndFragment) {
    THtmlParts doc = SplitHtmlDocument(
        "<html><head><title>T</title><style>a{}</style>\r\n<STYLE media=\"x\">\nb{}\n</STYLE></head>"
        "<BODY bgcolor=\"#fff\"><p>1</p></body><p>2</p></body></html>");
    EXPECT_EQ(doc.Styles, "<style>a{}</style>\r\n<STYLE media=\"x\">\nb{}\n</STYLE>\r\n");
    EXPECT_EQ(doc.Body, "<p>1</p></body><p>2</p>");  // first opening tag to last closing tag

    THtmlParts fragment = SplitHtmlDocument("<style>p{}</style><p>Hallo</p>");
    EXPECT_EQ(fragment.Styles, "");
    EXPECT_EQ(fragment.Body, "<style>p{}</style><p>Hallo</p>");

    THtmlParts unclosed = SplitHtmlDocument("<body><p>ohne Ende");
    EXPECT_EQ(unclosed.Body, "<body><p>ohne Ende");
}

TEST(InsertAfterBodyTag, AfterFirstBodyTagOrInFront) {
    EXPECT_EQ(InsertAfterBodyTag("<html><BODY class=\"a\"><p>x</p></body>", "<b>!</b>"),
              "<html><BODY class=\"a\"><b>!</b><p>x</p></body>");
    EXPECT_EQ(InsertAfterBodyTag("<p>x</p>", "<b>!</b>"), "<b>!</b><p>x</p>");
    EXPECT_EQ(InsertAfterBodyTag("<body><body>", "-"), "<body>-<body>");
}

TEST(ReplaceMatches, EvaluatorSeesGroupsAndRestIsCopied) {
    std::string out = ReplaceMatches("a=1, B=22; c", "([a-z])=(\\d+)", roIgnoreCase, [](const TRegexMatch& m) {
        return std::string(m.Group(2)) + ":" + std::string(m.Group(1));
    });
    EXPECT_EQ(out, "1:a, 22:B; c");
}

TEST(ResolveImagePath, PathsAndFileUrls) {
    struct Case { const char* reference; const char* expected; };
    const Case cases[] = {
        {"logo.png", "/base/mail/logo.png"},
        {"bilder/logo.png", "/base/mail/bilder/logo.png"},
        {"bilder\\logo.png", "/base/mail/bilder/logo.png"},
        {"./a/../logo.png", "/base/mail/logo.png"},
        {"../logo.png", "/base/logo.png"},
        {"/srv/bilder/logo.png", "/srv/bilder/logo.png"},
        {"file:///srv/bilder/logo.png", "/srv/bilder/logo.png"},
        {"FILE:///srv/a/../logo.png", "/srv/logo.png"},
        {"file://localhost/srv/logo.png", "/srv/logo.png"},
        {"Mein%20Logo.png", "/base/mail/Mein Logo.png"},
        {"Mein+Logo.png", "/base/mail/Mein Logo.png"},
        {"100%%.png", "/base/mail/100%.png"},
        {"M%C3%BCller.png", "/base/mail/Müller.png"},
        {"file:///srv/Gr%c3%bc%C3%9Fe.png", "/srv/Grüße.png"},
        // Windows drive paths cannot name a file here.
        {"C:\\Bilder\\logo.png", ""},
        {"c:/Bilder/logo.png", ""},
        {"file:///C:/Bilder/logo.png", ""},
        {"logo%00.png", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveImagePath(c.reference, "/base/mail/"), c.expected) << c.reference;
    EXPECT_EQ(ResolveImagePath("logo.png", "/base/mail"), "/base/mail/logo.png");
}

TEST(ResolveImagePath, MalformedPercentEscapeNamesTheReference) {
    for (const char* reference : {"logo%zz.png", "logo%4", "logo%", "%g0.png"}) {
        try {
            ResolveImagePath(reference, "/base/");
            ADD_FAILURE() << "kein Fehler für " << reference;
        } catch (const Exception& e) {
            EXPECT_NE(std::string(e.what()).find(reference), std::string::npos) << e.what();
        }
    }
}

TEST(BuildHtmlMail, SignatureAfterBodyWithoutMarker) {
    TMail m = Build("<p>Text</p>", "<p>Gruß</p>");
    EXPECT_EQ(m.Html, kHead + "</head><body>\r\n<p>Text</p>\r\n\r\n<p>Gruß</p>\r\n\r\n</body></html>");
    EXPECT_TRUE(m.Images.empty());
}

TEST(BuildHtmlMail, SignatureAtEveryMarkerInAnyCaseLiterally) {
    const std::string sig = "Preis $1 $& \\1 C:\\Pfad\\Datei";
    TMail m = Build("<p>A</p>{SIGNATUR}<p>B</p>{signatur}", sig);
    EXPECT_EQ(m.Html, kHead + "</head><body>\r\n<p>A</p>" + sig + "\r\n<p>B</p>" + sig + "\r\n\r\n\r\n</body></html>");
    EXPECT_EQ(Count(m.Html, "{"), 1u);  // only the fixed style block keeps its brace
}

TEST(BuildHtmlMail, ValuesAreHtmlEscaped) {
    TPlaceholderContext values = NewPlaceholderContext();
    values["K.Name"] = "Müller & <Söhne> \"GmbH\"";
    TMail m = Build("<p>{K.Name}</p>", "", values);
    EXPECT_NE(m.Html.find("<p>Müller &amp; &lt;Söhne&gt; &quot;GmbH&quot;</p>"), std::string::npos) << m.Html;
}

TEST(BuildHtmlMail, CompleteDocumentsFromFilesWithImagesAttachedOnce) {
    const std::string dir = test::TestDataPath("mail/html");
    TPlaceholderContext values = SampleContext(SampleSeller());
    values["Betrag"] = "1.190,00";
    const std::string signature =
        ReplaceAll(ReadTextFile(dir + "/signatur.htm"), "</div>", "<img src=\"" + dir + "/bilder/logo.png\"></div>");
    TMail m = Build(ReadTextFile(dir + "/mailtext.htm"), signature, values, dir);
    const std::string& h = m.Html;
    // One head: fixed style, then the text's style, then the signature's; titles are gone.
    size_t fixed = h.find("font-size:10pt;}</style>"), text = h.find("p.gruss"), sig = h.find(".sig{"),
           headEnd = h.find("</head><body>\r\n");
    ASSERT_NE(headEnd, std::string::npos);
    EXPECT_LT(fixed, text);
    EXPECT_LT(text, sig);
    EXPECT_LT(sig, headEnd);
    EXPECT_EQ(h.find("<title>"), std::string::npos);
    EXPECT_EQ(Count(h, "<body"), 1u);
    EXPECT_EQ(Count(h, "<head>"), 1u);
    // Placeholders, the line with an empty VAT id dropped, signature at its marker.
    EXPECT_NE(h.find("die Rechnung RG100000 vom 24.11.2026 über 1.190,00 EUR."), std::string::npos);
    EXPECT_EQ(h.find("USt-IdNr."), std::string::npos);
    ASSERT_NE(h.find("FIRMENNAME<br>"), std::string::npos);
    EXPECT_LT(h.find("Mit freundlichen"), h.find("FIRMENNAME<br>"));
    // The logo by relative and by absolute path: one attachment; the GIF second.
    ASSERT_EQ(m.Images.size(), 2u);
    EXPECT_EQ(Count(h, "src=\"cid:img1@velkaro\""), 2u);
    EXPECT_NE(h.find("SRC='cid:img2@velkaro'"), std::string::npos);
    EXPECT_NE(h.find("<img src=\"https://www.example.com/banner.png\">"), std::string::npos);
    const TMailAttachment& logo = m.Images[0];
    EXPECT_EQ(logo.Name, "logo.png");
    EXPECT_EQ(logo.ContentType, "image/png");
    EXPECT_EQ(logo.ContentId, "img1@velkaro");
    EXPECT_TRUE(logo.IsInline);
    EXPECT_EQ(logo.Data, ReadFileBytes(dir + "/bilder/logo.png"));
    EXPECT_EQ(m.Images[1].Name, "stempel.gif");
    EXPECT_EQ(m.Images[1].ContentType, "image/gif");
    EXPECT_EQ(m.Images[1].ContentId, "img2@velkaro");
}

TEST(BuildHtmlMail, FragmentKeepsItsStyleBlockInTheBody) {
    TMail m = Build("<style>p{color:red}</style><p>x</p>");
    EXPECT_EQ(m.Html, kHead + "</head><body>\r\n<style>p{color:red}</style><p>x</p>\r\n\r\n\r\n</body></html>");
}

TEST(BuildHtmlMail, PreviewUsesFileUrlsAndAttachesNothing) {
    const std::string dir = test::TestDataPath("mail/html");
    const std::string data = "data:image/png;base64,iVBORw0KGgo=";
    TMail m = Build("<img src=\"bilder/logo.png\"><img src=\"" + data + "\"><img src=\"fehlt.png\">", "", dir, true);
    const std::string path = std::filesystem::weakly_canonical(dir + "/bilder/logo.png").string();
    EXPECT_NE(m.Html.find("<img src=\"file://" + path + "\">"), std::string::npos) << m.Html;
    EXPECT_EQ(path.front(), '/');  // so the URL reads file:///...
    EXPECT_NE(m.Html.find("<img src=\"" + data + "\">"), std::string::npos);
    EXPECT_NE(m.Html.find("<img src=\"fehlt.png\">"), std::string::npos);
    EXPECT_TRUE(m.Images.empty());
}

TEST(BuildHtmlMail, PreviewFileUrlEscapesCharactersThatWouldBreakTheAttribute) {
    test::TempFolder folder;
    WriteFileBytes(folder.File("a \"b\" #1.png"), test::OnePixelGif(0, 0, 0));
    TMail m = Build("<img src='a%20%22b%22%20%231.png'>", "", folder.Path(), true);
    EXPECT_NE(m.Html.find("<img src='file://" + AbsolutePath(folder.Path()) + "a%20%22b%22%20%231.png'>"),
              std::string::npos)
        << m.Html;
}

TEST(BuildHtmlMail, DataUrisBecomeOneAttachmentEach) {
    const std::string png = Base64Encode("PNGDATA");
    TMail m = Build("<img src=\"data:image/png;base64," + png + "\"><IMG alt=x src = 'DATA:image/png;BASE64," + png +
                    "'><img src=\"data:image/svg+xml;base64,PHN2Zy8+\"><img src=\"data:image/png,rohdaten\">"
                    "<img src=\"data:image/png;base64,###\"><img src=\"data:image/png;base64,UE5H\r\nREFUQQ==\">");
    ASSERT_EQ(m.Images.size(), 4u);
    EXPECT_EQ(m.Images[0].Name, "bild1.png");
    EXPECT_EQ(m.Images[0].ContentType, "image/png");
    EXPECT_EQ(m.Images[0].Data, "PNGDATA");
    EXPECT_TRUE(m.Images[0].IsInline);
    EXPECT_EQ(m.Images[1].ContentId, "img2@velkaro");
    EXPECT_EQ(m.Images[2].Name, "bild3.svg+xml");
    EXPECT_EQ(m.Images[2].ContentType, "image/svg+xml");
    EXPECT_EQ(m.Images[2].Data, "<svg/>");
    EXPECT_EQ(m.Images[3].Data, "PNGDATA");  // line break inside the Base64 text
    EXPECT_NE(m.Html.find("<img src=\"cid:img1@velkaro\"><IMG alt=x src = 'cid:img2@velkaro'>"
                          "<img src=\"cid:img3@velkaro\"><img src=\"data:image/png,rohdaten\">"
                          "<img src=\"data:image/png;base64,###\"><img src=\"cid:img4@velkaro\">"),
              std::string::npos)
        << m.Html;
}

TEST(BuildHtmlMail, LargeDataUriIsEmbeddedWhole) {
    const std::string bytes(6 * 1024 * 1024, '\x5A');
    TMail m = Build("<p>vorher</p><img src=\"data:image/png;base64," + Base64Encode(bytes) +
                    "\"><img src=\"data:image/gif;base64,R0lG\">");
    ASSERT_EQ(m.Images.size(), 2u);
    EXPECT_EQ(m.Images[0].Data, bytes);
    EXPECT_EQ(m.Images[1].Name, "bild2.gif");
}

TEST(BuildHtmlMail, ReferencesLeftAlone) {
    const std::string dir = test::TestDataPath("mail/html");
    const std::string body =
        "<img src=\"http://x.example/a.png\"><img src=\"HTTPS://x.example/b.png\"><img src=\"cid:eigen@x\">"
        "<img src=bilder/logo.png><img src=\"fehlt/logo.png\"><img src=\"C:\\Bilder\\logo.png\">"
        "<img src=\"\"><img src=\"bilder\"><p src=\"bilder/logo.png\">";
    TMail m = Build(body, "", dir);
    EXPECT_TRUE(m.Images.empty());
    EXPECT_NE(m.Html.find(body), std::string::npos);
}

TEST(BuildHtmlMail, AddressIsHtmlDecodedAndTrimmed) {
    test::TempFolder folder;
    WriteFileBytes(folder.File("a&b.png"), test::OnePixelGif(1, 1, 1));
    TMail m = Build("<img src=\" a&amp;b.png \"><img src=\"a&#38;b.png\">", "", folder.Path());
    ASSERT_EQ(m.Images.size(), 1u);
    EXPECT_EQ(m.Images[0].Data, test::OnePixelGif(1, 1, 1));
    EXPECT_EQ(Count(m.Html, "\"cid:img1@velkaro\""), 2u);
}

TEST(BuildHtmlMail, NamesDifferingInCaseAreDifferentFilesHere) {
    test::TempFolder folder;
    WriteFileBytes(folder.File("Logo.png"), test::OnePixelGif(1, 0, 0));
    WriteFileBytes(folder.File("logo.png"), test::OnePixelGif(2, 0, 0));
    TMail m = Build("<img src=\"Logo.png\"><img src=\"logo.png\"><img src=\"" + folder.File("logo.png") + "\">", "",
                    folder.Path());
    ASSERT_EQ(m.Images.size(), 2u);
    EXPECT_EQ(m.Images[0].Data, test::OnePixelGif(1, 0, 0));
    EXPECT_EQ(m.Images[1].Data, test::OnePixelGif(2, 0, 0));
    EXPECT_EQ(Count(m.Html, "cid:img2@velkaro"), 2u);
}

TEST(BuildHtmlMail, ImagesOfAnEarlierCallAreReplaced) {
    std::string html;
    std::vector<TMailAttachment> images(3);
    BuildHtmlMail("<p>ohne Bild</p>", "", NewPlaceholderContext(), html, images, false, "");
    EXPECT_TRUE(images.empty());
}

TEST(BuildHtmlMail, MalformedPercentEscapeFails) {
    EXPECT_THROW(Build("<img src=\"logo%zz.png\">", "", "/tmp/"), Exception);
}

TEST(BuildHtmlMail, UnreadableImageFails) {
    test::TempFolder folder;
    WriteFileBytes(folder.File("gesperrt.png"), "x");
    ASSERT_EQ(chmod(folder.File("gesperrt.png").c_str(), 0), 0);
    // Root reads every file, so the mail is built as an unprivileged user, who must see
    // the folder to find the picture at all.
    ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
    EXPECT_THAT(test::ErrorOfUnprivileged([&] { Build("<img src=\"gesperrt.png\">", "", folder.Path()); }),
                ::testing::HasSubstr("gesperrt.png"));
}

TEST(BuildHtmlMail, OddInputNeverBreaksMatching) {
    std::string odd = "<img src=\"\xFF\xFE\"><img src='nie geschlossen <body><style>";
    odd += std::string(20000, '<');
    TMail m = Build(odd);
    EXPECT_NE(m.Html.find(odd), std::string::npos);
}

} // namespace
} // namespace velkaro
