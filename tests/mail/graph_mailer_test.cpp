#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
#include <memory>

#include "mail/graph_mailer.h"
#include "platform/base64.h"
#include "platform/files.h"
#include "support/test_support.h"
#include "fake_transport.h"

namespace velkaro {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using test::Reply;
using test::TFakeTransport;
using Clock = std::chrono::system_clock;

constexpr const char* kSecret = "s3cr3t~Wert+&";
constexpr const char* kToken = "eyJ0eXAi.token.one";
const std::string kUser = "https://graph.test/v1.0/users/rechnung@firma.de";

std::string TokenBody(const std::string& token, const std::string& expires = "3599") {
    return R"({"token_type":"Bearer","expires_in":)" + expires + R"(,"access_token":")" + token + R"("})";
}

bool IsTokenRequest(const THttpRequest& r) { return r.Url.find("/oauth2/v2.0/token") != std::string::npos; }

// A mailer against a fake service: the token endpoint answers with kToken, Graph
// requests by the answer function the test sets.
class GraphMailerTest : public ::testing::Test {
protected:
    GraphMailerTest() {
        Transport = std::make_shared<TFakeTransport>([this](const THttpRequest& r) {
            if (IsTokenRequest(r)) return TokenAnswer(r);
            return GraphAnswer(r);
        });
        Mailer = MakeMailer();
    }

    std::unique_ptr<TGraphMailer> MakeMailer(const std::string& tenant = " contoso.onmicrosoft.com ") {
        TGraphEndpoints ep;
        ep.LoginServer = "https://login.test/";
        ep.GraphServer = "https://graph.test";
        auto m = std::make_unique<TGraphMailer>(tenant, " client-id ", kSecret, " rechnung@firma.de ", ep);
        m->SetTransport(Transport);
        m->SetClock([this] { return Now; });
        m->SetSleep([this](std::chrono::seconds s) {
            Sleeps.push_back(s.count());
            Now += s;
        });
        m->SetLog([this](const std::string& line) { Log.push_back(line); });
        return m;
    }

    std::vector<THttpRequest> GraphRequests() const {
        std::vector<THttpRequest> result;
        for (const auto& r : Transport->Requests)
            if (!IsTokenRequest(r)) result.push_back(r);
        return result;
    }
    int TokenRequests() const {
        int n = 0;
        for (const auto& r : Transport->Requests) n += IsTokenRequest(r);
        return n;
    }

    void SendSimple(const std::vector<TMailAttachment>& attachments = {}, const std::string& body = "<p>Hallo</p>") {
        Mailer->SendEx({"kunde@example.com"}, {}, {}, "", "Rechnung", body, attachments);
    }

    std::function<THttpResponse(const THttpRequest&)> TokenAnswer = [](const THttpRequest&) {
        return Reply(200, TokenBody(kToken));
    };
    std::function<THttpResponse(const THttpRequest&)> GraphAnswer = [](const THttpRequest&) {
        return Reply(202, "");
    };

    Clock::time_point Now = Clock::time_point(std::chrono::seconds(1741946709));
    std::vector<long long> Sleeps;
    std::vector<std::string> Log;
    std::shared_ptr<TFakeTransport> Transport;
    std::unique_ptr<TGraphMailer> Mailer;
};

std::string ExpectError(const std::function<void()>& action) {
    try {
        action();
    } catch (const EGraphError& e) {
        return e.what();
    }
    ADD_FAILURE() << "no EGraphError";
    return {};
}

// --- Creation ----------------------------------------------------------------

// The message names what is missing, and only that.
TEST_F(GraphMailerTest, IncompleteSettingsAreRejected) {
    struct Case {
        std::string tenant, client, secret, sender;
        std::string missing;
    };
    const Case cases[] = {
        {"", "c", "s", "a@x.de", "Mandanten-ID"},
        {" \t ", "c", "s", "a@x.de", "Mandanten-ID"},
        {"t", "  ", "s", "a@x.de", "Client-ID"},
        {"t", "c", "", "a@x.de", "Secret"},
        {"t", "c", "s", "\r\n", "Absender"},
        {"t", "", "", "a@x.de", "Client-ID, Secret"},
        {"", "", "", "", "Mandanten-ID, Client-ID, Secret, Absender"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpectError([&] { TGraphMailer m(c.tenant, c.client, c.secret, c.sender); }),
                  "E-Mail-Einstellungen unvollständig (" + c.missing + ").");
    // The secret is not trimmed: blanks are a (strange) secret of their own.
    EXPECT_NO_THROW(TGraphMailer("t", "c", "   ", "a@x.de"));
    EXPECT_TRUE(TGraphMailer("t", "c", "s", "a@x.de").SaveToSentItems);
}

TEST_F(GraphMailerTest, ServiceAddressesMustBeSecure) {
    TGraphEndpoints ep;
    ep.GraphServer = "http://graph.microsoft.com";
    EXPECT_THAT(ExpectError([&] { TGraphMailer m("t", "c", "s", "a@x.de", ep); }),
                HasSubstr("nur https://"));
    ep = {};
    ep.LoginServer = "http://login.microsoftonline.com";
    EXPECT_THAT(ExpectError([&] { TGraphMailer m("t", "c", "s", "a@x.de", ep); }),
                HasSubstr("http://login.microsoftonline.com"));
    ep.LoginServer = "http://127.0.0.1:8080";
    ep.GraphServer = "http://localhost:8081/";
    EXPECT_NO_THROW(TGraphMailer("t", "c", "s", "a@x.de", ep));
}

// --- Token -------------------------------------------------------------------

TEST_F(GraphMailerTest, TokenRequestOnTheWire) {
    EXPECT_EQ(Mailer->GetToken(), kToken);
    ASSERT_EQ(Transport->Requests.size(), 1u);
    const THttpRequest& r = Transport->Requests[0];
    EXPECT_EQ(r.Method, "POST");
    EXPECT_EQ(r.Url, "https://login.test/contoso.onmicrosoft.com/oauth2/v2.0/token");
    EXPECT_EQ(r.Headers, (THttpHeaders{{"Content-Type", "application/x-www-form-urlencoded"}}));
    EXPECT_EQ(r.Body,
              "client_id=client-id&client_secret=s3cr3t%7EWert%2B%26"
              "&scope=https%3A%2F%2Fgraph.test%2F.default&grant_type=client_credentials");
    EXPECT_EQ(r.ConnectTimeoutMs, 30000);
    EXPECT_EQ(r.ResponseTimeoutMs, 60000);
}

TEST_F(GraphMailerTest, TenantIsEncodedIntoTheTokenUrl) {
    auto m = MakeMailer("Mein Mandant/ä");
    m->GetToken();
    EXPECT_EQ(Transport->Requests.back().Url, "https://login.test/Mein+Mandant%2F%C3%A4/oauth2/v2.0/token");
}

TEST_F(GraphMailerTest, TwoMailsShareOneToken) {
    SendSimple();
    Now += std::chrono::seconds(3000);
    SendSimple();
    EXPECT_EQ(TokenRequests(), 1);
    auto graph = GraphRequests();
    ASSERT_EQ(graph.size(), 2u);
    for (const auto& r : graph)
        EXPECT_EQ(r.Headers, (THttpHeaders{{"Content-Type", "application/json"},
                                           {"Authorization", std::string("Bearer ") + kToken}}));
}

TEST_F(GraphMailerTest, TokenIsRenewed120SecondsBeforeItsAnnouncedEnd) {
    const Clock::time_point start = Now;
    Mailer->GetToken();
    Now = start + std::chrono::seconds(3599 - 121);
    Mailer->GetToken();
    EXPECT_EQ(TokenRequests(), 1);
    Now = start + std::chrono::seconds(3599 - 120);
    Mailer->GetToken();
    EXPECT_EQ(TokenRequests(), 2);
}

// Lifetimes are taken within bounds: a short one still serves the requests of a few
// seconds (renewed after three quarters of it), an absurd one neither overflows nor
// outlives a day, a negative one is spent at once.
TEST_F(GraphMailerTest, AnnouncedLifetimesAreClamped) {
    struct Case {
        std::string expires;
        long long reusedUntil;  // seconds after the request in which the token is reused; -1: never
    };
    const Case cases[] = {
        {"60", 45},
        {"240", 180},
        {"480", 360},
        {"9223372036854775807", 86400 - 120},
        {"18446744073709551615", 86400 - 120},
        {"-9223372036854775808", -1},
        {"0", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expires);
        TokenAnswer = [&](const THttpRequest&) { return Reply(200, TokenBody("t", c.expires)); };
        auto m = MakeMailer();
        const int before = TokenRequests();
        const Clock::time_point start = Now;
        m->GetToken();
        if (c.reusedUntil >= 0) {
            Now = start + std::chrono::seconds(c.reusedUntil - 1);
            m->GetToken();
            EXPECT_EQ(TokenRequests(), before + 1);
            Now = start + std::chrono::seconds(c.reusedUntil);
        }
        m->GetToken();
        EXPECT_EQ(TokenRequests(), before + 2);
        Now = start;
    }
}

TEST_F(GraphMailerTest, MissingOrOddLifetimeCountsAs3600Seconds) {
    for (const std::string expires : {"null", "\"3599\"", "12.5"}) {
        TokenAnswer = [&](const THttpRequest&) { return Reply(200, TokenBody("t", expires)); };
        auto m = MakeMailer();
        const int before = TokenRequests();
        const Clock::time_point start = Now;
        m->GetToken();
        Now = start + std::chrono::seconds(3479);
        m->GetToken();
        EXPECT_EQ(TokenRequests(), before + 1) << expires;
        Now = start + std::chrono::seconds(3480);
        m->GetToken();
        EXPECT_EQ(TokenRequests(), before + 2) << expires;
    }
}

TEST_F(GraphMailerTest, TokenFailureNamesStatusAndIdentityPlatformError) {
    TokenAnswer = [](const THttpRequest&) {
        return Reply(401, R"({"error":"invalid_client","error_description":"AADSTS7000215: Invalid client secret."})");
    };
    EXPECT_EQ(ExpectError([&] { Mailer->GetToken(); }),
              "Anmeldung bei Microsoft 365 fehlgeschlagen (401): invalid_client: AADSTS7000215: Invalid client "
              "secret.");
    // Nothing cached: the next call asks again and succeeds.
    TokenAnswer = [](const THttpRequest&) { return Reply(200, TokenBody("neu")); };
    EXPECT_EQ(Mailer->GetToken(), "neu");
}

TEST_F(GraphMailerTest, TokenAnswerWithoutAccessTokenIsAnError) {
    for (const std::string body : {R"({"expires_in":3599})", "[]", "kein JSON", R"({"access_token":5})"}) {
        TokenAnswer = [&](const THttpRequest&) { return Reply(200, body); };
        EXPECT_THAT(ExpectError([&] { Mailer->GetToken(); }), HasSubstr("Ungültige Antwort")) << body;
    }
}

// --- Single request ------------------------------------------------------------

TEST_F(GraphMailerTest, SingleRequestBodyExactly) {
    std::vector<TMailAttachment> attachments = {
        {"RE-1.pdf", "application/pdf", std::string("%PDF\0\x01", 6), false, ""},
        {"bild1.png", "image/png", "PNG", true, "img1@velkaro"},
    };
    Mailer->SendEx({"a@kunde.de", "b@kunde.de"}, {"cc@kunde.de"}, {"bcc@firma.de"}, "x@firma.de; y@firma.de,  ,",
                   "Rechnung Nr. 4711 – Grüße", "<p>Sehr geehrte Damen\r\nund Herren 😀</p>", attachments);
    auto graph = GraphRequests();
    ASSERT_EQ(graph.size(), 1u);
    EXPECT_EQ(graph[0].Method, "POST");
    EXPECT_EQ(graph[0].Url, kUser + "/sendMail");
    EXPECT_EQ(graph[0].ConnectTimeoutMs, 30000);
    EXPECT_EQ(graph[0].ResponseTimeoutMs, 120000);
    EXPECT_EQ(graph[0].Body,
              R"({"message":{"subject":"Rechnung Nr. 4711 \u2013 Gr\u00FC\u00DFe",)"
              R"("body":{"contentType":"HTML","content":"<p>Sehr geehrte Damen\u000D\u000Aund Herren \uD83D\uDE00</p>"},)"
              R"("toRecipients":[{"emailAddress":{"address":"a@kunde.de"}},{"emailAddress":{"address":"b@kunde.de"}}],)"
              R"("ccRecipients":[{"emailAddress":{"address":"cc@kunde.de"}}],)"
              R"("bccRecipients":[{"emailAddress":{"address":"bcc@firma.de"}}],)"
              R"("replyTo":[{"emailAddress":{"address":"x@firma.de"}},{"emailAddress":{"address":"y@firma.de"}}],)"
              R"("attachments":[{"@odata.type":"#microsoft.graph.fileAttachment","name":"RE-1.pdf",)"
              R"("contentType":"application/pdf","contentBytes":"JVBERgAB"},)"
              R"({"@odata.type":"#microsoft.graph.fileAttachment","name":"bild1.png","contentType":"image/png",)"
              R"("contentBytes":"UE5H","isInline":true,"contentId":"img1@velkaro"}]},"saveToSentItems":true})");
}

TEST_F(GraphMailerTest, OptionalMembersAreLeftOut) {
    Mailer->SaveToSentItems = false;
    Mailer->SendEx({"a@kunde.de"}, {}, {}, "  \t ", "S", "B", {});
    auto graph = GraphRequests();
    ASSERT_EQ(graph.size(), 1u);
    EXPECT_EQ(graph[0].Body,
              R"({"message":{"subject":"S","body":{"contentType":"HTML","content":"B"},)"
              R"("toRecipients":[{"emailAddress":{"address":"a@kunde.de"}}]},"saveToSentItems":false})");
}

TEST_F(GraphMailerTest, NoRecipientFailsBeforeAnyRequest) {
    EXPECT_EQ(ExpectError([&] { Mailer->SendEx({}, {"cc@x.de"}, {}, "", "S", "B", {}); }),
              "Kein Empfänger angegeben.");
    EXPECT_TRUE(Transport->Requests.empty());
}

TEST_F(GraphMailerTest, RejectedSendNamesStatusAndGraphError) {
    GraphAnswer = [](const THttpRequest&) {
        return Reply(403, R"({"error":{"code":"ErrorAccessDenied","message":"Access is denied."}})");
    };
    EXPECT_EQ(ExpectError([&] { SendSimple(); }), "Graph-Fehler 403: ErrorAccessDenied: Access is denied.");
    // A success status other than the accepted one is a failure too.
    GraphAnswer = [](const THttpRequest&) { return Reply(200, "{}"); };
    EXPECT_EQ(ExpectError([&] { SendSimple(); }), "Graph-Fehler 200: {}");
}

TEST_F(GraphMailerTest, SendLoadsAttachmentFilesInOrder) {
    test::TempFolder dir;
    WriteFileBytes(dir.File("RE-1.pdf"), "pdf");
    WriteFileBytes(dir.File("RE-1.xml"), "<x/>");
    Mailer->Send({"a@kunde.de"}, {}, {}, "", "S", "B", {dir.File("RE-1.pdf"), dir.File("RE-1.xml")});
    auto body = nlohmann::json::parse(GraphRequests().at(0).Body);
    const auto& list = body["message"]["attachments"];
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]["name"], "RE-1.pdf");
    EXPECT_EQ(list[0]["contentType"], "application/pdf");
    EXPECT_EQ(list[0]["contentBytes"], Base64Encode("pdf"));
    EXPECT_EQ(list[1]["name"], "RE-1.xml");
    EXPECT_EQ(list[1]["contentType"], "application/xml");
}

// --- Single request or draft -------------------------------------------------------

TEST_F(GraphMailerTest, SizeEstimateChoosesThePath) {
    GraphAnswer = [](const THttpRequest& r) {
        if (r.Url.ends_with("/messages")) return Reply(201, R"({"id":"M1"})");
        if (r.Url.ends_with("/createUploadSession")) return Reply(201, R"({"uploadUrl":"https://up.test/s"})");
        if (r.Url.ends_with("/attachments")) return Reply(201, "{}");
        if (r.Method == "PUT") return Reply(201, "");  // one chunk each: complete
        return Reply(202, "");
    };
    struct Case {
        std::string body;
        size_t attachmentBytes;
        bool single;
    };
    // S = 2 x UTF-16 units of the body + attachment bytes; single request while S*4/3 < 3 MiB.
    const Case cases[] = {
        {"", 2359295, true},          // estimate 3,145,726
        {"", 2359296, false},         // estimate exactly 3,145,728
        {"\xF0\x9F\x98\x80", 2359291, true},   // emoji = two UTF-16 units = 4, S = 2,359,295
        {"\xF0\x9F\x98\x80" "a", 2359291, false}, // S = 2,359,297
        {"ä", 2359293, true},         // umlaut = one unit = 2, S = 2,359,295
        {std::string(1179648, 'x'), 0, false},  // a body alone: S = 2,359,296
    };
    for (const auto& c : cases) {
        Transport->Requests.clear();
        TMailAttachment a{"a.bin", "application/octet-stream", std::string(c.attachmentBytes, 'z'), false, ""};
        SendSimple(c.attachmentBytes ? std::vector<TMailAttachment>{a} : std::vector<TMailAttachment>{}, c.body);
        auto graph = GraphRequests();
        ASSERT_FALSE(graph.empty());
        EXPECT_EQ(graph[0].Url.ends_with("/sendMail"), c.single) << c.attachmentBytes;
        EXPECT_EQ(graph.size() == 1u, c.single) << c.attachmentBytes;
    }
}

class GraphDraftTest : public GraphMailerTest {
protected:
    GraphDraftTest() {
        GraphAnswer = [this](const THttpRequest& r) {
            if (r.Url.ends_with("/messages")) return Reply(201, R"({"id":"AAMk/Q=="})");
            if (r.Url.ends_with("/createUploadSession"))
                return Reply(201, R"({"uploadUrl":"https://up.test/session?authtoken=abc"})");
            if (r.Method == "PUT") {
                ++Chunks;
                if (Chunks == FailChunk) return Reply(500, R"({"error":{"code":"UploadFailed","message":"kaputt"}})");
                // As the service answers: the next range while bytes are missing, 201 at the end.
                size_t first = 0, last = 0, total = 0;
                std::sscanf(r.Headers.at(1).second.c_str(), "bytes %zu-%zu/%zu", &first, &last, &total);
                if (last + 1 == total) return Reply(201, "");
                return Reply(200, R"({"nextExpectedRanges":[")" + std::to_string(last + 1) + R"(-"]})");
            }
            if (r.Url.ends_with("/attachments")) return Reply(201, "{}");
            if (r.Method == "DELETE") return Reply(204, "");
            return Reply(202, "");
        };
    }
    int Chunks = 0;
    int FailChunk = 0;
};

// The mail's own id travels as an internet header on both paths, and finds the mail in
// "Sent Items" again.
TEST_F(GraphDraftTest, MailIdGoesAlongAndFindsTheSentMail) {
    for (size_t bytes : {size_t(10), size_t(4000000)}) {
        SCOPED_TRACE(bytes);
        Transport->Requests.clear();
        Mailer->SendEx({"kunde@example.com"}, {}, {}, "", "Rechnung", "<p>Hallo</p>",
                       {{"RE-1.pdf", "application/pdf", std::string(bytes, 'x'), false, ""}}, "0123abcd");
        const auto g = GraphRequests();
        const nlohmann::json body = nlohmann::json::parse(g.front().Body);
        const nlohmann::json& message = bytes < 100 ? body.at("message") : body;
        EXPECT_EQ(message.at("internetMessageHeaders"),
                  nlohmann::json::parse(R"([{"name":"x-velkaro-versand-id","value":"0123abcd"}])"));
    }
    Transport->Requests.clear();
    SendSimple();
    EXPECT_FALSE(nlohmann::json::parse(GraphRequests().front().Body).at("message").contains("internetMessageHeaders"));

    std::string answer = R"({"value":[{"id":"AAMk1","sentDateTime":"2026-12-11T09:30:00Z","subject":"Rechnung"}]})";
    GraphAnswer = [&](const THttpRequest&) { return Reply(200, answer); };
    Transport->Requests.clear();
    TSentMailLookup found = Mailer->FindSentMail("0123'abcd");
    EXPECT_TRUE(found.Found);
    EXPECT_EQ(found.SentAt, "2026-12-11T09:30:00Z");
    const THttpRequest lookup = GraphRequests().at(0);
    EXPECT_EQ(lookup.Method, "GET");
    EXPECT_EQ(lookup.Url, kUser + "/mailFolders/SentItems/messages?$filter=singleValueExtendedProperties%2FAny(ep%3A%20"
                                  "ep%2Fid%20eq%20'String%20%7B00020386-0000-0000-C000-000000000046%7D%20Name%20"
                                  "x-velkaro-versand-id'%20and%20ep%2Fvalue%20eq%20'0123''abcd')"
                                  "&$select=sentDateTime%2Csubject&$top=1");
    answer = R"({"value":[]})";
    EXPECT_FALSE(Mailer->FindSentMail("0123abcd").Found);
    answer = "[]";
    EXPECT_THAT(ExpectError([&] { Mailer->FindSentMail("0123abcd"); }), HasSubstr("Ungültige Antwort"));
    GraphAnswer = [](const THttpRequest&) {
        return Reply(403, R"({"error":{"code":"ErrorAccessDenied","message":"Access is denied."}})");
    };
    EXPECT_EQ(ExpectError([&] { Mailer->FindSentMail("0123abcd"); }),
              "Graph-Fehler 403: ErrorAccessDenied: Access is denied.");
}

TEST_F(GraphDraftTest, DraftAttachmentsAndSendInOrder) {
    std::vector<TMailAttachment> attachments = {
        {"klein.pdf", "application/pdf", std::string(2359295, 'k'), false, ""},
        {"gross.pdf", "application/pdf", std::string(2359296, 'g'), false, ""},
        {"bild1.png", "image/png", std::string(2359296, 'b'), true, "img1@velkaro"},
    };
    Mailer->SendEx({"a@kunde.de"}, {}, {}, "r@firma.de", "Betreff", "<p>x</p>", attachments);
    auto g = GraphRequests();
    ASSERT_EQ(g.size(), 7u);
    const std::string msg = kUser + "/messages/AAMk%2FQ%3D%3D";
    // 1. the draft: the message without attachments and without saveToSentItems
    EXPECT_EQ(g[0].Url, kUser + "/messages");
    EXPECT_EQ(g[0].Body, R"({"subject":"Betreff","body":{"contentType":"HTML","content":"<p>x</p>"},)"
                         R"("toRecipients":[{"emailAddress":{"address":"a@kunde.de"}}],)"
                         R"("replyTo":[{"emailAddress":{"address":"r@firma.de"}}]})");
    // 2. the small attachment posted whole, id encoded
    EXPECT_EQ(g[1].Url, msg + "/attachments");
    EXPECT_EQ(g[1].Body, FileAttachmentJson(attachments[0]).Dump());
    // 3. the large one through an upload session, id as received
    EXPECT_EQ(g[2].Url, kUser + "/messages/AAMk/Q==/attachments/createUploadSession");
    EXPECT_EQ(g[2].Body, R"({"AttachmentItem":{"attachmentType":"file","name":"gross.pdf","size":2359296}})");
    EXPECT_EQ(g[3].Method, "PUT");
    EXPECT_EQ(g[3].Url, "https://up.test/session?authtoken=abc");
    EXPECT_EQ(g[3].Headers, (THttpHeaders{{"Content-Type", "application/octet-stream"},
                                          {"Content-Range", "bytes 0-2359295/2359296"}}));
    EXPECT_EQ(g[3].Body, attachments[1].Data);
    // a chunk is bounded like every other request
    EXPECT_EQ(g[3].ConnectTimeoutMs, 30000);
    EXPECT_EQ(g[3].ResponseTimeoutMs, 120000);
    // 4. an inline image: the session item carries the inline members, no content type
    EXPECT_EQ(g[4].Body, R"({"AttachmentItem":{"attachmentType":"file","name":"bild1.png","size":2359296,)"
                         R"("isInline":true,"contentId":"img1@velkaro"}})");
    EXPECT_EQ(g[5].Method, "PUT");
    // 5. send the draft
    EXPECT_EQ(g[6].Url, msg + "/send");
    EXPECT_EQ(g[6].Body, "");
    EXPECT_EQ(TokenRequests(), 1);
    for (const auto& r : g) {
        const bool upload = r.Method == "PUT";
        bool hasAuth = false;
        for (const auto& h : r.Headers) hasAuth |= h.first == "Authorization";
        EXPECT_EQ(hasAuth, !upload) << r.Url;
    }
}

TEST_F(GraphDraftTest, ChunkRangesAroundTheChunkSize) {
    struct Case {
        size_t size;
        std::vector<std::string> ranges;
    };
    const Case cases[] = {
        {2359296, {"bytes 0-2359295/2359296"}},
        {3276799, {"bytes 0-3276798/3276799"}},
        {3276800, {"bytes 0-3276799/3276800"}},
        {3276801, {"bytes 0-3276799/3276801", "bytes 3276800-3276800/3276801"}},
        {6553600, {"bytes 0-3276799/6553600", "bytes 3276800-6553599/6553600"}},
        {10000000,
         {"bytes 0-3276799/10000000", "bytes 3276800-6553599/10000000", "bytes 6553600-9830399/10000000",
          "bytes 9830400-9999999/10000000"}},
    };
    for (const auto& c : cases) {
        Transport->Requests.clear();
        std::string data(c.size, '\0');
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 3276800);
        SendSimple({{"gross.bin", "application/octet-stream", data, false, ""}});
        std::vector<std::string> ranges;
        std::string joined;
        for (const auto& r : GraphRequests()) {
            if (r.Method != "PUT") continue;
            ASSERT_EQ(r.Headers.size(), 2u);
            ranges.push_back(r.Headers[1].second);
            joined += r.Body;
        }
        EXPECT_EQ(ranges, c.ranges) << c.size;
        EXPECT_TRUE(joined == data) << c.size;
    }
}

TEST_F(GraphDraftTest, FailedChunkStopsBeforeSending) {
    FailChunk = 2;
    EXPECT_EQ(ExpectError([&] { SendSimple({{"g.bin", "application/octet-stream", std::string(7000000, 'x'), false, ""}}); }),
              "Upload des Anhangs fehlgeschlagen (500): UploadFailed: kaputt");
    auto g = GraphRequests();
    EXPECT_EQ(Chunks, 2);
    for (const auto& r : g) EXPECT_FALSE(r.Url.ends_with("/send"));
    EXPECT_EQ(g.back().Method, "DELETE") << "the unsent draft is removed";
    EXPECT_EQ(g.back().Url, kUser + "/messages/AAMk%2FQ%3D%3D");
}

TEST_F(GraphDraftTest, AnswersWithoutIdOrUploadUrlAreErrors) {
    GraphAnswer = [](const THttpRequest&) { return Reply(201, R"({"nothing":1})"); };
    EXPECT_THAT(ExpectError([&] { SendSimple({{"g.bin", "x", std::string(2359296, 'x'), false, ""}}); }),
                HasSubstr("\"id\" fehlt"));
    GraphAnswer = [](const THttpRequest& r) {
        return r.Url.ends_with("/messages") ? Reply(201, R"({"id":"M"})") : Reply(200, R"({"nothing":1})");
    };
    EXPECT_THAT(ExpectError([&] { SendSimple({{"g.bin", "x", std::string(2359296, 'x'), false, ""}}); }),
                HasSubstr("\"uploadUrl\" fehlt"));
}

TEST_F(GraphDraftTest, UploadAddressInClearTextIsRefused) {
    GraphAnswer = [](const THttpRequest& r) {
        if (r.Url.ends_with("/messages")) return Reply(201, R"({"id":"M"})");
        return Reply(201, R"({"uploadUrl":"http://up.example/s?authtoken=geheim"})");
    };
    const std::string error =
        ExpectError([&] { SendSimple({{"g.bin", "x", std::string(2359296, 'x'), false, ""}}); });
    EXPECT_THAT(error, HasSubstr("Unsichere Upload-Adresse"));
    EXPECT_THAT(error, Not(HasSubstr("geheim")));
    for (const auto& r : Transport->Requests) EXPECT_NE(r.Method, "PUT");
}

// Only 201 after the last chunk says the attachment is whole; anything else leaves the
// mail unsent and its draft deleted.
TEST_F(GraphDraftTest, UploadIsCompleteOnlyWhenTheServiceConfirmsIt) {
    struct Case {
        int status;
        std::string body;
        std::string error;  // empty: complete
    };
    const std::string unconfirmed = "Upload des Anhangs \"RE-1.pdf\" nicht bestätigt: Microsoft 365 hat nach dem "
                                    "letzten Teil mit Status 200 statt 201 geantwortet. Die Mail wurde nicht versendet.";
    const std::string missing = "Upload des Anhangs \"RE-1.pdf\" unvollständig: Microsoft 365 erwartet noch die Bytes ";
    const Case cases[] = {
        {201, "", ""},
        {201, "{}", ""},
        {200, "{}", unconfirmed},
        {200, "", unconfirmed},
        {200, R"({"expirationDateTime":"2025-03-15T10:00:00Z","nextExpectedRanges":[]})", unconfirmed},
        {200, R"({"expirationDateTime":"2025-03-15T10:00:00Z","nextExpectedRanges":["3276800-"]})",
         missing + "3276800-. Die Mail wurde nicht versendet."},
        {200, R"({"nextExpectedRanges":["0-99","3276800-"]})", missing + "0-99, 3276800-. Die Mail wurde nicht versendet."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + " " + c.body);
        Transport->Requests.clear();
        Chunks = 0;
        auto inner = GraphAnswer;
        GraphAnswer = [&, inner](const THttpRequest& r) {
            if (r.Method == "PUT" && r.Headers[1].second.ends_with("-3999999/4000000")) return Reply(c.status, c.body);
            return inner(r);
        };
        if (c.error.empty()) {
            SendSimple({{"RE-1.pdf", "application/pdf", std::string(4000000, 'x'), false, ""}});
            EXPECT_EQ(GraphRequests().back().Url, kUser + "/messages/AAMk%2FQ%3D%3D/send");
        } else {
            EXPECT_EQ(ExpectError([&] { SendSimple({{"RE-1.pdf", "application/pdf", std::string(4000000, 'x'), false, ""}}); }),
                      c.error);
            auto g = GraphRequests();
            for (const auto& r : g) EXPECT_FALSE(r.Url.ends_with("/send"));
            EXPECT_EQ(g.back().Method, "DELETE");
            EXPECT_EQ(g.back().Url, kUser + "/messages/AAMk%2FQ%3D%3D");
        }
        GraphAnswer = inner;
    }
}

// Whatever fails after the draft was made, the draft is deleted; when that fails too,
// the message says where the draft is left.
TEST_F(GraphDraftTest, FailedDraftIsDeleted) {
    struct Case {
        const char* step;  // the request that fails
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"/attachments", 413, "Graph-Fehler 413: Failed: kaputt"},
        {"/createUploadSession", 403, "Graph-Fehler 403: Failed: kaputt"},
        {"PUT", 416, "Upload des Anhangs fehlgeschlagen (416): Failed: kaputt"},
        {"/send", 400, "Graph-Fehler 400: Failed: kaputt"},
        {"/send", 500, "Graph-Fehler 500: Failed: kaputt"},
    };
    const std::vector<TMailAttachment> attachments = {
        {"klein.xml", "application/xml", "<x/>", false, ""},
        {"gross.pdf", "application/pdf", std::string(2359296, 'g'), false, ""},
    };
    const std::string draft = kUser + "/messages/AAMk%2FQ%3D%3D";
    for (const Case& c : cases) {
        for (int deleteStatus : {204, 403}) {
            SCOPED_TRACE(std::string(c.step) + " " + std::to_string(c.status) + " / " + std::to_string(deleteStatus));
            Transport->Requests.clear();
            auto inner = GraphAnswer;
            GraphAnswer = [&, inner](const THttpRequest& r) {
                if (r.Method == "DELETE")
                    return deleteStatus == 204 ? Reply(204, "")
                                               : Reply(403, R"({"error":{"code":"ErrorAccessDenied","message":"nope"}})");
                if ((c.step == std::string("PUT") && r.Method == "PUT") || r.Url.ends_with(c.step))
                    return Reply(c.status, R"({"error":{"code":"Failed","message":"kaputt"}})");
                return inner(r);
            };
            const std::string error = ExpectError([&] { SendSimple(attachments); });
            GraphAnswer = inner;
            auto g = GraphRequests();
            ASSERT_FALSE(g.empty());
            EXPECT_EQ(g.back().Method, "DELETE");
            EXPECT_EQ(g.back().Url, draft);
            EXPECT_EQ(g.back().Headers.at(1).second, std::string("Bearer ") + kToken);
            if (deleteStatus == 204)
                EXPECT_EQ(error, c.message);
            else
                EXPECT_EQ(error, std::string(c.message) +
                                     ". Der Entwurf konnte nicht gelöscht werden und liegt noch im Ordner „Entwürfe“ "
                                     "des Postfachs rechnung@firma.de (Graph-Fehler 403: ErrorAccessDenied: nope).");
        }
    }
}

// A lost connection after the hand-over: the mail may have gone out.
TEST_F(GraphDraftTest, LostConnectionAfterTheHandOverLeavesTheOutcomeOpen) {
    struct Case {
        bool draft;
        bool maybeDelivered;
    };
    for (const Case& c : {Case{false, true}, Case{true, true}, Case{false, false}, Case{true, false}}) {
        SCOPED_TRACE(std::string(c.draft ? "draft" : "single") + (c.maybeDelivered ? " delivered?" : " not sent"));
        Transport->Requests.clear();
        auto inner = GraphAnswer;
        GraphAnswer = [&, inner](const THttpRequest& r) -> THttpResponse {
            if (r.Url.ends_with("/sendMail") || r.Url.ends_with("/send"))
                throw EHttpError("Die Verbindung zu https://graph.test brach ab (Empty reply from server).",
                                 c.maybeDelivered);
            return inner(r);
        };
        std::string error;
        try {
            SendSimple(c.draft ? std::vector<TMailAttachment>{{"g.pdf", "application/pdf", std::string(2359296, 'g'), false, ""}}
                               : std::vector<TMailAttachment>{});
            ADD_FAILURE() << "sent";
        } catch (const Exception& e) {  // a transport error as it is, or a mail error
            error = e.what();
        }
        GraphAnswer = inner;
        auto g = GraphRequests();
        size_t handOvers = 0, deletes = 0;
        for (const auto& r : g) {
            handOvers += r.Url.ends_with("/sendMail") || r.Url.ends_with("/send");
            deletes += r.Method == "DELETE";
        }
        EXPECT_EQ(handOvers, 1u) << "never handed over twice";
        if (c.maybeDelivered) {
            EXPECT_EQ(error, "Ob die Mail versendet wurde, ist unklar: Die Verbindung zu https://graph.test brach ab "
                             "(Empty reply from server). Die Mail war bereits an Microsoft 365 übergeben. Bitte unter "
                             "„Gesendete Elemente“ des Postfachs rechnung@firma.de nachsehen, bevor sie erneut "
                             "versendet wird.");
            EXPECT_EQ(deletes, 0u) << "a mail on its way is not withdrawn";
        } else {
            EXPECT_THAT(error, Not(HasSubstr("unklar")));
            EXPECT_THAT(error, HasSubstr("brach ab"));
            EXPECT_EQ(deletes, c.draft ? 1u : 0u);
        }
    }
}

TEST_F(GraphMailerTest, LostSignInIsNeverTakenForALostMail) {
    TokenAnswer = [](const THttpRequest&) -> THttpResponse {
        throw EHttpError("Die Verbindung zu https://login.test brach ab (Empty reply from server).", true);
    };
    EXPECT_EQ(ExpectError([&] { SendSimple(); }),
              "Anmeldung bei Microsoft 365 fehlgeschlagen: Die Verbindung zu https://login.test brach ab (Empty "
              "reply from server).");
    EXPECT_TRUE(GraphRequests().empty());
}

// --- Throttling ----------------------------------------------------------------

TEST_F(GraphMailerTest, ThrottledRequestIsRepeatedAfterRetryAfter) {
    int calls = 0;
    GraphAnswer = [&](const THttpRequest&) {
        ++calls;
        if (calls == 1) return Reply(429, R"({"error":{"code":"TooManyRequests"}})", {{"retry-after", "7"}});
        if (calls == 2) return Reply(503, "busy", {{"Retry-After", "60"}});  // the longest wait still taken
        if (calls == 3) return Reply(429, "", {});  // no Retry-After: a short default wait
        return Reply(202, "");
    };
    SendSimple();
    auto g = GraphRequests();
    ASSERT_EQ(g.size(), 4u);
    for (const auto& r : g) {
        EXPECT_EQ(r.Body, g[0].Body);
        EXPECT_EQ(r.Url, g[0].Url);
        EXPECT_EQ(r.Headers, g[0].Headers);
    }
    EXPECT_EQ(Sleeps, (std::vector<long long>{7, 60, 10}));
    ASSERT_EQ(Log.size(), 3u);
    EXPECT_EQ(Log[0], "  Microsoft 365 bremst die Anfragen (Status 429), neuer Versuch in 7 s (1 von 3).");
    EXPECT_EQ(Log[1], "  Microsoft 365 bremst die Anfragen (Status 503), neuer Versuch in 60 s (2 von 3).");
}

// "Retry-After: 0" or a date already past: a short wait all the same, not three
// repeats within a millisecond.
TEST_F(GraphMailerTest, RetryAfterInThePastStillWaitsAMinimum) {
    for (const std::string value : {"0", "Wed, 21 Oct 2015 07:28:00 GMT"}) {
        SCOPED_TRACE(value);
        Sleeps.clear();
        int calls = 0;
        GraphAnswer = [&](const THttpRequest&) {
            return ++calls == 1 ? Reply(429, "", {{"Retry-After", value}}) : Reply(202, "");
        };
        SendSimple();
        EXPECT_EQ(Sleeps, (std::vector<long long>{kGraphMinRetryWaitSeconds}));
    }
}

// A redirect is never followed (the token would go along) and says what it is.
TEST_F(GraphMailerTest, RedirectsAreRefusedWithASentence) {
    GraphAnswer = [](const THttpRequest&) { return Reply(302, "{}", {{"Location", "https://woanders.test/pfad?x=1"}}); };
    EXPECT_EQ(ExpectError([&] { SendSimple(); }),
              "Der Server https://graph.test leitet die Anfrage um (Status 302) nach https://woanders.test; "
              "Umleitungen folgt Velkaro nicht. Bitte die Adresse des Servers in den E-Mail-Einstellungen prüfen.");
    TokenAnswer = [](const THttpRequest&) { return Reply(301, ""); };
    auto m = MakeMailer();
    EXPECT_EQ(ExpectError([&] { m->GetToken(); }),
              "Anmeldung bei Microsoft 365 fehlgeschlagen: Der Server https://login.test leitet die Anfrage um "
              "(Status 301); Umleitungen folgt Velkaro nicht. Bitte die Adresse des Servers in den "
              "E-Mail-Einstellungen prüfen.");
}

TEST_F(GraphMailerTest, ThrottlingGivesUpAfterThreeWaits) {
    GraphAnswer = [](const THttpRequest&) {
        return Reply(429, R"({"error":{"code":"ApplicationThrottled","message":"Slow down"}})", {{"Retry-After", "1"}});
    };
    EXPECT_EQ(ExpectError([&] { SendSimple(); }), "Graph-Fehler 429: ApplicationThrottled: Slow down");
    EXPECT_EQ(GraphRequests().size(), 4u);
    EXPECT_EQ(Sleeps.size(), 3u);
}

TEST_F(GraphMailerTest, OtherFailuresAreNotRepeated) {
    for (int status : {400, 403, 500, 502, 504}) {
        Transport->Requests.clear();
        GraphAnswer = [&](const THttpRequest&) { return Reply(status, "x", {{"Retry-After", "1"}}); };
        EXPECT_EQ(ExpectError([&] { SendSimple(); }), "Graph-Fehler " + std::to_string(status) + ": x");
        EXPECT_EQ(GraphRequests().size(), 1u) << status;
    }
    EXPECT_TRUE(Sleeps.empty());
}

TEST_F(GraphMailerTest, ThrottledTokenRequestIsRepeatedToo) {
    int calls = 0;
    TokenAnswer = [&](const THttpRequest&) {
        return ++calls == 1 ? Reply(429, "", {{"Retry-After", "2"}}) : Reply(200, TokenBody("t2"));
    };
    EXPECT_EQ(Mailer->GetToken(), "t2");
    EXPECT_EQ(TokenRequests(), 2);
    EXPECT_EQ(Transport->Requests[0].Body, Transport->Requests[1].Body);
    EXPECT_EQ(Sleeps, (std::vector<long long>{2}));
}

// A wait beyond the cap ends the mailing until then: no waiting, no further request.
TEST_F(GraphMailerTest, ThrottlingBeyondTheCapStopsTheMailer) {
    // The time to try again is local time: UTC here, the zone restored afterwards.
    auto utc = std::make_unique<test::ScopedEnv>("TZ", "UTC");
    tzset();
    struct Case {
        std::string retryAfter;
        std::string until;  // local time, rounded up to the minute
    };
    // Now is 2025-03-14 10:05:09 UTC.
    const Case cases[] = {
        {"61", "14.03.2025 10:07"},
        {"3600", "14.03.2025 11:06"},
        {"Fri, 14 Mar 2025 12:00:00 GMT", "14.03.2025 12:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.retryAfter);
        Transport->Requests.clear();
        Sleeps.clear();
        Log.clear();
        auto mailer = MakeMailer();
        GraphAnswer = [&](const THttpRequest&) { return Reply(429, "", {{"Retry-After", c.retryAfter}}); };
        const std::string error = ExpectError([&] { mailer->SendEx({"k@x.de"}, {}, {}, "", "S", "B", {}); });
        EXPECT_THAT(error, HasSubstr("Microsoft 365 bremst den Versand (Status 429)"));
        EXPECT_THAT(error, HasSubstr("für diesen Lauf beendet"));
        EXPECT_THAT(error, HasSubstr("frühestens ab " + c.until + " Uhr erneut versuchen"));
        EXPECT_TRUE(Sleeps.empty());
        EXPECT_EQ(GraphRequests().size(), 1u);

        // The next mails fail at once, without a request, with the same message.
        GraphAnswer = [](const THttpRequest&) { return Reply(202, ""); };
        EXPECT_EQ(ExpectError([&] { mailer->SendEx({"k@x.de"}, {}, {}, "", "S", "B", {}); }), error);
        EXPECT_EQ(GraphRequests().size(), 1u);
        EXPECT_TRUE(Sleeps.empty());
    }
    utc.reset();
    tzset();
}

TEST_F(GraphMailerTest, AfterTheAskedWaitTheMailerSendsAgain) {
    int calls = 0;
    GraphAnswer = [&](const THttpRequest&) {
        return ++calls == 1 ? Reply(503, "", {{"Retry-After", "600"}}) : Reply(202, "");
    };
    EXPECT_THAT(ExpectError([&] { SendSimple(); }), HasSubstr("nach 600 s"));
    Now += std::chrono::seconds(599);
    EXPECT_THAT(ExpectError([&] { SendSimple(); }), HasSubstr("nach 600 s"));
    EXPECT_EQ(calls, 1);
    Now += std::chrono::seconds(1);
    EXPECT_NO_THROW(SendSimple());
    EXPECT_EQ(calls, 2);
}

// The token ran out during a throttling wait: the repeated request carries a new one.
TEST_F(GraphMailerTest, RepeatedRequestCarriesTheCurrentToken) {
    int tokens = 0;
    TokenAnswer = [&](const THttpRequest&) {
        return Reply(200, TokenBody("token-" + std::to_string(++tokens), "60"));  // renewed after 45 s
    };
    int calls = 0;
    GraphAnswer = [&](const THttpRequest&) {
        return ++calls == 1 ? Reply(429, "", {{"Retry-After", "45"}}) : Reply(202, "");
    };
    SendSimple();
    auto g = GraphRequests();
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0].Headers.at(1).second, "Bearer token-1");
    EXPECT_EQ(g[1].Headers.at(1).second, "Bearer token-2");
    EXPECT_EQ(g[0].Body, g[1].Body);
}

TEST_F(GraphMailerTest, RefusedTokenIsReplacedAndTheRequestRepeatedOnce) {
    int tokens = 0;
    TokenAnswer = [&](const THttpRequest&) { return Reply(200, TokenBody("token-" + std::to_string(++tokens))); };
    std::string refused = "token-1";
    GraphAnswer = [&](const THttpRequest& r) {
        if (r.Headers.at(1).second == "Bearer " + refused || refused == "all")
            return Reply(401, R"({"error":{"code":"InvalidAuthenticationToken","message":"Lifetime validation failed."}})");
        return Reply(202, "");
    };
    SendSimple();
    EXPECT_EQ(TokenRequests(), 2);
    auto g = GraphRequests();
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[1].Headers.at(1).second, "Bearer token-2");
    EXPECT_EQ(g[0].Body, g[1].Body);
    // The new token serves the next mail.
    SendSimple();
    EXPECT_EQ(TokenRequests(), 2);

    // Refused again: one repeat only, then the service's answer.
    refused = "all";
    Transport->Requests.clear();
    EXPECT_EQ(ExpectError([&] { SendSimple(); }),
              "Graph-Fehler 401: InvalidAuthenticationToken: Lifetime validation failed.");
    EXPECT_EQ(GraphRequests().size(), 2u);
    EXPECT_EQ(TokenRequests(), 1);
}

TEST_F(GraphDraftTest, ThrottledChunkIsRepeatedWithTheSameRange) {
    int puts = 0;
    auto inner = GraphAnswer;
    GraphAnswer = [&, inner](const THttpRequest& r) {
        if (r.Method == "PUT" && ++puts == 2) return Reply(429, "", {{"Retry-After", "3"}});
        return inner(r);
    };
    SendSimple({{"g.bin", "x", std::string(4000000, 'x'), false, ""}});
    std::vector<std::string> ranges;
    for (const auto& r : GraphRequests())
        if (r.Method == "PUT") ranges.push_back(r.Headers[1].second);
    EXPECT_EQ(ranges, (std::vector<std::string>{"bytes 0-3276799/4000000", "bytes 3276800-3999999/4000000",
                                                "bytes 3276800-3999999/4000000"}));
    EXPECT_TRUE(GraphRequests().back().Url.ends_with("/send"));
}

// --- Secrets -------------------------------------------------------------------

TEST_F(GraphMailerTest, SecretAndTokenNeverReachLogOrErrors) {
    std::vector<std::string> texts;
    GraphAnswer = [](const THttpRequest&) { return Reply(429, "zu viele", {{"Retry-After", "1"}}); };
    texts.push_back(ExpectError([&] { SendSimple(); }));
    TokenAnswer = [](const THttpRequest&) { return Reply(400, R"({"error":"invalid_request"})"); };
    auto fresh = MakeMailer();
    texts.push_back(ExpectError([&] { fresh->GetToken(); }));
    texts.insert(texts.end(), Log.begin(), Log.end());
    ASSERT_GT(texts.size(), 2u);
    for (const auto& t : texts) {
        EXPECT_THAT(t, Not(HasSubstr("s3cr3t"))) << t;
        EXPECT_THAT(t, Not(HasSubstr(kToken))) << t;
    }
}

// A proxy or service that quotes the refused request must not carry the secret or the
// token into an error text (which the workflows log and dialogs show).
TEST_F(GraphMailerTest, QuotedRequestsAreMaskedInErrors) {
    const auto tokenAnswer = TokenAnswer;
    TokenAnswer = [](const THttpRequest& r) {
        return Reply(400, R"({"error":"invalid_client","error_description":"refused: )" + r.Body + R"("})");
    };
    std::string tokenError = ExpectError([&] { MakeMailer()->GetToken(); });
    EXPECT_THAT(tokenError, HasSubstr("client_secret=***"));
    EXPECT_THAT(tokenError, Not(HasSubstr("s3cr3t")));

    TokenAnswer = tokenAnswer;
    GraphAnswer = [](const THttpRequest& r) {
        std::string quoted;
        for (const auto& [name, value] : r.Headers) quoted += name + ": " + value + " / ";
        return Reply(403, R"({"error":{"code":"Denied","message":")" + quoted + R"("}})");
    };
    std::string sendError = ExpectError([&] { SendSimple(); });
    EXPECT_THAT(sendError, HasSubstr("Bearer ***"));
    EXPECT_THAT(sendError, Not(HasSubstr(kToken)));
}

} // namespace
} // namespace velkaro
