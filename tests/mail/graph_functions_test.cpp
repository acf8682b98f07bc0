#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "mail/graph_mailer.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SplitAddresses, SplitsTrimsAndDropsEmptyPieces) {
    struct Case {
        std::string input;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {";,;", {}},
        {"a@x.de", {"a@x.de"}},
        {"a@x.de; b@y.de ,   ,", {"a@x.de", "b@y.de"}},
        {"\t a@x.de \r\n", {"a@x.de"}},
        {"b@y.de,a@x.de;b@y.de", {"b@y.de", "a@x.de", "b@y.de"}},  // order and duplicates kept
        {"Max Mustermann <m@x.de>", {"Max Mustermann <m@x.de>"}},  // no validation
        {"kein-at-zeichen", {"kein-at-zeichen"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitAddresses(c.input), c.expected) << '"' << c.input << '"';
}

TEST(UrlEncodeComponent, KeepsTheUnreservedSetAndEscapesUtf8Bytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"rechnung@firma.de", "rechnung@firma.de"},
        {"AZaz09!$'()*-.@_", "AZaz09!$'()*-.@_"},
        {"a b", "a+b"},
        {"https://graph.microsoft.com/.default", "https%3A%2F%2Fgraph.microsoft.com%2F.default"},
        {"~+&=?#%", "%7E%2B%26%3D%3F%23%25"},
        {"müller@x.de", "m%C3%BCller@x.de"},
        {"\xF0\x9F\x98\x80", "%F0%9F%98%80"},
        {"AAMk/x==", "AAMk%2Fx%3D%3D"},
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(UrlEncodeComponent(input), expected) << input;
}

TEST(GraphErrorText, ReadsGraphAndIdentityPlatformErrors) {
    const std::pair<std::string, std::string> cases[] = {
        {R"({"error":{"code":"ErrorAccessDenied","message":"Access is denied."}})",
         "ErrorAccessDenied: Access is denied."},
        {R"({"error":{"code":"X"}})", "X: "},
        {R"({"error":{"code":null,"message":"nur Text"}})", ": nur Text"},
        {R"({"error":"invalid_client","error_description":"AADSTS7000215: Invalid client secret."})",
         "invalid_client: AADSTS7000215: Invalid client secret."},
        {R"({"error":"invalid_request"})", "invalid_request: "},
        {R"({"message":"no error member"})", R"({"message":"no error member"})"},
        {R"(["error"])", R"(["error"])"},
        {"Service Unavailable", "Service Unavailable"},
        {"", ""},
        {R"({"error":{"code":"E","message":"Gr\u00fc\u00dfe"}})", "E: Grüße"},
    };
    for (const auto& [body, expected] : cases) EXPECT_EQ(GraphErrorText(body), expected) << body;
}

TEST(GraphErrorText, CutsLongTextsAfter600Characters) {
    EXPECT_EQ(GraphErrorText(std::string(600, 'x')), std::string(600, 'x'));
    EXPECT_EQ(GraphErrorText(std::string(1000, 'x')), std::string(600, 'x') + "\u2026");
    // Characters, not bytes: umlauts are never cut in half.
    std::string umlauts;
    for (int i = 0; i < 700; ++i) umlauts += "ä";
    std::string expected;
    for (int i = 0; i < 600; ++i) expected += "ä";
    EXPECT_EQ(GraphErrorText(umlauts), expected + "\u2026");
    // A long message inside an error object is cut as well.
    const std::string body = R"({"error":{"code":"C","message":")" + std::string(700, 'm') + R"("}})";
    EXPECT_EQ(GraphErrorText(body), "C: " + std::string(597, 'm') + "\u2026");
}

TEST(ContentTypeForExtension, KnownImageTypesElseOctetStream) {
    const std::pair<const char*, const char*> cases[] = {
        {".png", "image/png"},       {".PNG", "image/png"},   {".jpg", "image/jpeg"},
        {".Jpeg", "image/jpeg"},     {".gif", "image/gif"},   {".bmp", "image/bmp"},
        {".svg", "image/svg+xml"},   {".webp", "image/webp"}, {".pdf", "application/octet-stream"},
        {"png", "application/octet-stream"}, {"", "application/octet-stream"},
    };
    for (const auto& [ext, type] : cases) EXPECT_EQ(ContentTypeForExtension(ext), type) << ext;
}

TEST(LoadAttachmentFile, NameDataAndTypeFromTheFile) {
    test::TempFolder dir;
    const std::string bytes("%PDF-1.7\0\xFF binary", 18);
    const std::pair<const char*, const char*> cases[] = {
        {"RE-4711.PDF", "application/pdf"}, {"factur-x.xml", "application/xml"}, {"logo.Png", "image/png"},
        {"daten.bin", "application/octet-stream"}, {"ohne_endung", "application/octet-stream"},
    };
    for (const auto& [name, type] : cases) {
        WriteFileBytes(dir.File(name), bytes);
        TMailAttachment a = LoadAttachmentFile(dir.File(name));
        EXPECT_EQ(a.Name, name);
        EXPECT_EQ(a.ContentType, type) << name;
        EXPECT_EQ(a.Data, bytes);
        EXPECT_FALSE(a.IsInline);
        EXPECT_THAT(a.ContentId, IsEmpty());
    }
}

TEST(LoadAttachmentFile, MissingFileRaisesTheFileError) {
    test::TempFolder dir;
    try {
        LoadAttachmentFile(dir.File("fehlt.pdf"));
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_THAT(e.what(), ::testing::HasSubstr("fehlt.pdf"));
    }
}

TEST(FileAttachmentJson, InlineMembersOnlyForInlineImages) {
    TMailAttachment file{"Rechnung.pdf", "application/pdf", "abc", false, "ignored"};
    EXPECT_EQ(FileAttachmentJson(file).Dump(),
              R"({"@odata.type":"#microsoft.graph.fileAttachment","name":"Rechnung.pdf",)"
              R"("contentType":"application/pdf","contentBytes":"YWJj"})");
    TMailAttachment image{"bild1.png", "image/png", "ab", true, "img1@velkaro"};
    EXPECT_EQ(FileAttachmentJson(image).Dump(),
              R"({"@odata.type":"#microsoft.graph.fileAttachment","name":"bild1.png",)"
              R"("contentType":"image/png","contentBytes":"YWI=","isInline":true,"contentId":"img1@velkaro"})");
}

TEST(RecipientsJson, OneObjectPerAddressInOrder) {
    EXPECT_EQ(RecipientsJson({"b@x.de", "a@x.de"}).Dump(),
              R"([{"emailAddress":{"address":"b@x.de"}},{"emailAddress":{"address":"a@x.de"}}])");
    EXPECT_EQ(RecipientsJson({}).Dump(), "[]");
}

TEST(IsSecureUrl, HttpsEverywhereHttpOnlyOnLoopback) {
    const std::pair<const char*, bool> cases[] = {
        {"https://login.microsoftonline.com", true},
        {"https://graph.microsoft.us/", true},
        {"HTTPS://graph.microsoft.com", true},
        {"http://127.0.0.1:8080", true},
        {"http://localhost", true},
        {"http://LOCALHOST:1234/x", true},
        {"http://[::1]:9000", true},
        {"http://graph.microsoft.com", false},
        {"http://127.0.0.2", false},
        {"http://localhost.evil.example", false},
        {"http://localhost@evil.example", false},
        {"ftp://127.0.0.1", false},
        {"graph.microsoft.com", false},
        {"", false},
    };
    for (const auto& [url, secure] : cases) EXPECT_EQ(IsSecureUrl(url), secure) << url;
}

TEST(UrlOrigin, NeverShowsPathOrQuery) {
    EXPECT_EQ(UrlOrigin("https://up.example:8443/a/b?authtoken=geheim"), "https://up.example:8443");
    EXPECT_EQ(UrlOrigin("https://graph.microsoft.com/v1.0/users/x"), "https://graph.microsoft.com");
}

TEST(RetryAfterSeconds, DeltaSecondsOrHttpDate) {
    const long long now = 1741946709;  // 2025-03-14 10:05:09 UTC
    EXPECT_EQ(RetryAfterSeconds("7", now), 7);
    EXPECT_EQ(RetryAfterSeconds(" 120 ", now), 120);
    EXPECT_EQ(RetryAfterSeconds("0", now), 0);
    EXPECT_EQ(RetryAfterSeconds("Fri, 14 Mar 2025 10:05:39 GMT", now), 30);
    EXPECT_EQ(RetryAfterSeconds("Fri, 14 Mar 2025 10:00:00 GMT", now), 0);  // already past
    EXPECT_EQ(RetryAfterSeconds("", now), -1);
    EXPECT_EQ(RetryAfterSeconds("bald", now), -1);
    EXPECT_EQ(RetryAfterSeconds("-5", now), -1);
}

} // namespace
} // namespace velkaro
