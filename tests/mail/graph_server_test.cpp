// The Graph mail client against a local fake of the identity platform and Graph,
// through the real libcurl transport.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "local_http_server.h"
#include "mail/graph_mailer.h"
#include "platform/base64.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using test::TLocalHttpServer;
using test::TRecordedRequest;
using test::TServerReply;

constexpr const char* kSecret = "geheim~Secret&=";
constexpr const char* kToken = "tok.en.value";
const std::string kUserPath = "/v1.0/users/rechnung@firma.de";

bool IsToken(const TRecordedRequest& r) { return r.Target == "/contoso/oauth2/v2.0/token"; }

// The fake services: a token endpoint, sendMail, drafts, attachments and an upload
// session whose address points back to this server. Scenario hooks change answers.
class FakeGraph {
public:
    explicit FakeGraph(const test::TTestCertificate* tls = nullptr)
        : Server([this](const TRecordedRequest& r) { return Answer(r); }, tls) {}

    std::function<std::optional<TServerReply>(const TRecordedRequest&)> Override;
    TLocalHttpServer Server;

    std::vector<TRecordedRequest> Requests() const { return Server.Requests(); }

private:
    TServerReply Answer(const TRecordedRequest& r) {
        if (Override)
            if (auto reply = Override(r)) return *reply;
        if (IsToken(r)) return {200, {{"Content-Type", "application/json"}},
                                std::string(R"({"token_type":"Bearer","expires_in":3599,"access_token":")") + kToken + "\"}"};
        if (r.Target == kUserPath + "/sendMail") return {202, {}, ""};
        if (r.Target == kUserPath + "/messages") return {201, {}, R"({"id":"AAMkADraft="})"};
        if (r.Target == kUserPath + "/messages/AAMkADraft=/attachments/createUploadSession")
            return {201, {}, R"({"uploadUrl":")" + Server.BaseUrl() + R"(/upload/s1?authtoken=xyz"})"};
        if (r.Target == kUserPath + "/messages/AAMkADraft%3D/attachments") return {201, {}, "{}"};
        if (r.Target == kUserPath + "/messages/AAMkADraft%3D/send") return {202, {}, ""};
        if (r.Method == "DELETE" && r.Target == kUserPath + "/messages/AAMkADraft%3D") return {204, {}, ""};
        if (r.Method == "PUT" && r.Target == "/upload/s1?authtoken=xyz") {
            // The next range while bytes are missing, 201 when the attachment is whole.
            size_t first = 0, last = 0, total = 0;
            std::sscanf(r.Header("Content-Range").c_str(), "bytes %zu-%zu/%zu", &first, &last, &total);
            if (last + 1 == total) return {201, {}, ""};
            return {200, {}, R"({"nextExpectedRanges":[")" + std::to_string(last + 1) + R"(-"]})"};
        }
        return {404, {}, R"({"error":{"code":"NotFound","message":"unbekannt"}})"};
    }
};

class GraphServerTest : public ::testing::Test {
protected:
    std::unique_ptr<TGraphMailer> MailerFor(const std::string& base, const std::string& caBundle = "") {
        TGraphEndpoints ep{base, base, caBundle};
        auto m = std::make_unique<TGraphMailer>("contoso", "client-1", kSecret, "rechnung@firma.de", ep);
        m->SetSleep([this](std::chrono::seconds s) { Sleeps.push_back(s.count()); });
        m->SetLog([this](const std::string& line) { Log.push_back(line); });
        return m;
    }
    std::string Error(const std::function<void()>& action) {
        try {
            action();
        } catch (const Exception& e) {
            return e.what();
        }
        ADD_FAILURE() << "no error";
        return {};
    }

    test::TempFolder Dir;
    std::vector<long long> Sleeps;
    std::vector<std::string> Log;
};

std::vector<std::string> Targets(const std::vector<TRecordedRequest>& requests) {
    std::vector<std::string> out;
    for (const auto& r : requests) out.push_back(r.Method + " " + r.Target);
    return out;
}

TEST_F(GraphServerTest, TwoMailsOneTokenAndTheBodyOnTheWire) {
    FakeGraph fake;
    auto mailer = MailerFor(fake.Server.BaseUrl());
    std::string pdf;
    for (int i = 0; i < 5000; ++i) pdf += static_cast<char>(i % 256);
    WriteFileBytes(Dir.File("RE-4711.pdf"), pdf);
    mailer->Send({"kunde@example.com"}, {}, {"archiv@firma.de"}, "", "Rechnung 4711 für Müller",
                 "<p>Grüße</p>", {Dir.File("RE-4711.pdf")});
    mailer->Send({"kunde2@example.com"}, {}, {}, "", "Zweite", "<p>x</p>", {});

    auto requests = fake.Requests();
    ASSERT_EQ(requests.size(), 3u);
    const TRecordedRequest& token = requests[0];
    ASSERT_TRUE(IsToken(token));
    EXPECT_EQ(token.Method, "POST");
    EXPECT_EQ(token.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(token.Body, "client_id=client-1&client_secret=geheim%7ESecret%26%3D&scope=" +
                              UrlEncodeComponent(fake.Server.BaseUrl() + "/.default") +
                              "&grant_type=client_credentials");
    for (int i : {1, 2}) {
        const TRecordedRequest& send = requests[static_cast<size_t>(i)];
        EXPECT_EQ(send.Target, kUserPath + "/sendMail");
        EXPECT_EQ(send.Header("Content-Type"), "application/json");
        EXPECT_EQ(send.Header("Authorization"), std::string("Bearer ") + kToken);
        EXPECT_EQ(send.Header("Expect"), "");
    }
    const std::string& body = requests[1].Body;
    for (unsigned char c : body) ASSERT_LT(c, 0x80) << "7-bit body";
    EXPECT_THAT(body, HasSubstr(R"("subject":"Rechnung 4711 f\u00FCr M\u00FCller")"));
    EXPECT_LT(body.find("\"toRecipients\""), body.find("\"bccRecipients\""));
    EXPECT_LT(body.find("\"bccRecipients\""), body.find("\"attachments\""));
    auto doc = nlohmann::json::parse(body);
    EXPECT_EQ(doc["message"]["attachments"][0]["contentBytes"], Base64Encode(ReadFileBytes(Dir.File("RE-4711.pdf"))));
    EXPECT_EQ(doc["message"]["body"]["content"], "<p>Grüße</p>");
    EXPECT_EQ(doc["saveToSentItems"], true);
}

TEST_F(GraphServerTest, LargeMailThroughDraftAndUploadSession) {
    FakeGraph fake;
    auto mailer = MailerFor(fake.Server.BaseUrl());
    std::string big(7000000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 31) >> 3);
    std::vector<TMailAttachment> attachments = {{"gross.pdf", "application/pdf", big, false, ""},
                                                {"klein.xml", "application/xml", "<x/>", false, ""}};
    mailer->SendEx({"kunde@example.com"}, {}, {}, "", "Groß", "<p/>", attachments);

    auto r = fake.Requests();
    std::vector<std::string> targets;
    for (const auto& q : r) targets.push_back(q.Method + " " + q.Target);
    EXPECT_EQ(targets, (std::vector<std::string>{
                           "POST /contoso/oauth2/v2.0/token",
                           "POST " + kUserPath + "/messages",
                           "POST " + kUserPath + "/messages/AAMkADraft=/attachments/createUploadSession",
                           "PUT /upload/s1?authtoken=xyz",
                           "PUT /upload/s1?authtoken=xyz",
                           "PUT /upload/s1?authtoken=xyz",
                           "POST " + kUserPath + "/messages/AAMkADraft%3D/attachments",
                           "POST " + kUserPath + "/messages/AAMkADraft%3D/send",
                       }));
    std::string uploaded;
    std::vector<std::string> ranges;
    for (const auto& q : r) {
        if (q.Method != "PUT") continue;
        ranges.push_back(q.Header("Content-Range"));
        EXPECT_EQ(q.Header("Content-Type"), "application/octet-stream");
        EXPECT_EQ(q.Header("Authorization"), "");
        uploaded += q.Body;
    }
    EXPECT_EQ(ranges, (std::vector<std::string>{"bytes 0-3276799/7000000", "bytes 3276800-6553599/7000000",
                                                "bytes 6553600-6999999/7000000"}));
    EXPECT_TRUE(uploaded == big);
    EXPECT_EQ(r.back().Body, "");
}

TEST_F(GraphServerTest, ThrottledSendIsRepeated) {
    FakeGraph fake;
    int sends = 0;
    fake.Override = [&](const TRecordedRequest& r) -> std::optional<TServerReply> {
        if (r.Target.ends_with("/sendMail") && ++sends == 1)
            return TServerReply{429, {{"Retry-After", "5"}}, R"({"error":{"code":"TooManyRequests","message":"x"}})"};
        return std::nullopt;
    };
    auto mailer = MailerFor(fake.Server.BaseUrl());
    mailer->SendEx({"kunde@example.com"}, {}, {}, "", "S", "B", {});
    auto r = fake.Requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1].Body, r[2].Body);
    EXPECT_EQ(Sleeps, (std::vector<long long>{5}));
    ASSERT_EQ(Log.size(), 1u);
    EXPECT_THAT(Log[0], HasSubstr("neuer Versuch in 5 s"));
}

TEST_F(GraphServerTest, ErrorAnswersBecomeReadableMessages) {
    FakeGraph fake;
    std::string mode;
    fake.Override = [&](const TRecordedRequest& r) -> std::optional<TServerReply> {
        if (mode == "token" && IsToken(r))
            return TServerReply{400, {}, R"({"error":"unauthorized_client","error_description":"AADSTS700016: App nicht gefunden."})"};
        if (mode == "403" && r.Target.ends_with("/sendMail"))
            return TServerReply{403, {}, R"({"error":{"code":"ErrorAccessDenied","message":"Access is denied."}})"};
        if (mode == "html" && r.Target.ends_with("/sendMail")) return TServerReply{500, {}, std::string(1000, 'h')};
        return std::nullopt;
    };
    auto send = [&] { MailerFor(fake.Server.BaseUrl())->SendEx({"k@x.de"}, {}, {}, "", "S", "B", {}); };
    mode = "token";
    EXPECT_EQ(Error(send), "Anmeldung bei Microsoft 365 fehlgeschlagen (400): unauthorized_client: AADSTS700016: "
                           "App nicht gefunden.");
    mode = "403";
    EXPECT_EQ(Error(send), "Graph-Fehler 403: ErrorAccessDenied: Access is denied.");
    mode = "html";
    EXPECT_EQ(Error(send), "Graph-Fehler 500: " + std::string(600, 'h') + "\u2026");
}

TEST_F(GraphServerTest, NoServerMeansATransportErrorWithoutSecrets) {
    std::string base;
    {
        FakeGraph gone;
        base = gone.Server.BaseUrl();
    }
    const std::string error = Error([&] { MailerFor(base)->GetToken(); });
    EXPECT_THAT(error, HasSubstr("Verbindung zu " + base));
    EXPECT_THAT(error, Not(HasSubstr("geheim")));
    EXPECT_THAT(error, Not(HasSubstr("/oauth2")));
}

TEST_F(GraphServerTest, HttpsWithATrustedSelfSignedCertificate) {
    const test::TTestCertificate cert = test::MakeSelfSignedCertificate(Dir.Path());
    FakeGraph fake(&cert);
    ASSERT_EQ(fake.Server.BaseUrl().rfind("https://", 0), 0u);
    auto mailer = MailerFor(fake.Server.BaseUrl(), cert.CertFile);
    mailer->SendEx({"kunde@example.com"}, {}, {}, "", "S", "B", {});
    auto r = fake.Requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].Header("Authorization"), std::string("Bearer ") + kToken);
}

TEST_F(GraphServerTest, HttpsWithAnUntrustedCertificateSendsNothing) {
    const test::TTestCertificate cert = test::MakeSelfSignedCertificate(Dir.Path());
    FakeGraph fake(&cert);
    auto mailer = MailerFor(fake.Server.BaseUrl());  // not trusted: verification fails
    const std::string error = Error([&] { mailer->GetToken(); });
    EXPECT_THAT(error, HasSubstr("Verbindung zu " + fake.Server.BaseUrl() + " fehlgeschlagen"));
    EXPECT_TRUE(fake.Requests().empty());  // the secret never left the client
}

// Transport failures read as German sentences that say what failed, with the library's
// own text in parentheses; they tell whether the request had gone out.
TEST_F(GraphServerTest, TransportFailuresAreGermanSentences) {
    const test::TTestCertificate cert = test::MakeSelfSignedCertificate(Dir.Path());
    struct Case {
        const char* name;
        std::string sentence;  // the German text before the parentheses, "%s" for the origin
        bool maybeDelivered;
    };
    const Case cases[] = {
        {"no server", "Keine Verbindung zu %s möglich", false},
        {"untrusted", "Sichere Verbindung zu %s fehlgeschlagen: Zertifikat oder TLS nicht akzeptiert", false},
        {"hang-up", "Die Verbindung zu %s brach ab, bevor eine vollständige Antwort kam", true},
        {"trickle", "Zeitüberschreitung: %s hat nicht rechtzeitig geantwortet", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = c.name;
        std::unique_ptr<TLocalHttpServer> server = std::make_unique<TLocalHttpServer>(
            [&name](const TRecordedRequest&) {
                TServerReply reply{200, {}, "{\"langsam\":true}"};
                reply.HangUp = name == "hang-up";
                reply.BytesPerSecond = name == "trickle" ? 10 : 0;
                return reply;
            },
            name == "untrusted" ? &cert : nullptr);
        const std::string base = server->BaseUrl();
        if (name == "no server") server.reset();

        THttpRequest request;
        request.Method = "POST";
        request.Url = base + "/v1.0/users/x/sendMail?geheim=1";
        request.Body = "{}";
        request.ConnectTimeoutMs = 1000;
        request.ResponseTimeoutMs = 1000;
        try {
            NewCurlTransport()->Execute(request);
            ADD_FAILURE() << "no error";
        } catch (const EHttpError& e) {
            const std::string message = e.what();
            const std::string sentence = ReplaceAll(c.sentence, "%s", base);
            EXPECT_TRUE(message.starts_with(sentence + " (")) << message;
            EXPECT_TRUE(message.ends_with(").")) << message;
            // the library's text, in English, inside the parentheses
            EXPECT_GT(message.size(), sentence.size() + 6) << message;
            EXPECT_THAT(message, Not(HasSubstr("geheim"))) << "only the origin of the address";
            EXPECT_EQ(e.MaybeDelivered, c.maybeDelivered) << message;
        }
    }
}

// An answer trickling in must not hold the batch: an upload chunk has the same overall
// time limit as every other request.
TEST_F(GraphServerTest, SlowChunkAnswerEndsWithinTheTimeLimit) {
    FakeGraph fake;
    fake.Override = [](const TRecordedRequest& r) -> std::optional<TServerReply> {
        if (r.Method != "PUT") return std::nullopt;
        TServerReply reply{200, {}, std::string(40, ' ') + "{}"};
        reply.BytesPerSecond = 20;  // the whole answer would take about eight seconds
        return reply;
    };
    auto mailer = MailerFor(fake.Server.BaseUrl());
    mailer->SetTimeouts({1000, 1000, 1000});
    const std::string error = Error([&] {
        mailer->SendEx({"kunde@example.com"}, {}, {}, "", "Groß", "<p/>",
                       {{"gross.pdf", "application/pdf", std::string(2359296, 'g'), false, ""}});
    });
    EXPECT_THAT(error, HasSubstr("Zeitüberschreitung: " + fake.Server.BaseUrl() + " hat nicht rechtzeitig geantwortet"));
    EXPECT_THAT(error, Not(HasSubstr("authtoken")));
    auto targets = Targets(fake.Requests());
    EXPECT_THAT(targets, ::testing::Contains("PUT /upload/s1?authtoken=xyz"));
    EXPECT_THAT(targets, Not(::testing::Contains("POST " + kUserPath + "/messages/AAMkADraft%3D/send")));
    EXPECT_EQ(targets.back(), "DELETE " + kUserPath + "/messages/AAMkADraft%3D") << "the unsent draft is removed";
}

// The connection breaks after the mail was handed over: nobody knows whether it went
// out. The message says so and where to look; a draft is not deleted then.
TEST_F(GraphServerTest, LostAnswerToTheHandOverLeavesTheOutcomeOpen) {
    struct Case {
        const char* hangUpAt;  // the target that gets no answer
        bool large;
        bool unknown;
    };
    const Case cases[] = {
        {"/sendMail", false, true},
        {"/messages/AAMkADraft%3D/send", true, true},
        {"/contoso/oauth2/v2.0/token", false, false},  // the sign-in: nothing was handed over
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hangUpAt);
        FakeGraph fake;
        fake.Override = [&c](const TRecordedRequest& r) -> std::optional<TServerReply> {
            if (!r.Target.ends_with(c.hangUpAt)) return std::nullopt;
            TServerReply reply;
            reply.HangUp = true;
            return reply;
        };
        auto mailer = MailerFor(fake.Server.BaseUrl());
        std::vector<TMailAttachment> attachments;
        if (c.large) attachments.push_back({"gross.pdf", "application/pdf", std::string(2359296, 'g'), false, ""});
        const std::string error =
            Error([&] { mailer->SendEx({"kunde@example.com"}, {}, {}, "", "S", "<p/>", attachments); });
        const std::string lost = "Die Verbindung zu " + fake.Server.BaseUrl() +
                                 " brach ab, bevor eine vollständige Antwort kam (";
        if (c.unknown) {
            EXPECT_THAT(error, ::testing::StartsWith("Ob die Mail versendet wurde, ist unklar: " + lost));
            EXPECT_THAT(error, ::testing::EndsWith(". Die Mail war bereits an Microsoft 365 übergeben. Bitte unter "
                                                   "„Gesendete Elemente“ des Postfachs rechnung@firma.de nachsehen, "
                                                   "bevor sie erneut versendet wird."));
        } else {
            EXPECT_EQ(error.find("Anmeldung bei Microsoft 365 fehlgeschlagen: " + lost), 0u) << error;
        }
        for (const auto& target : Targets(fake.Requests())) {
            EXPECT_FALSE(target.starts_with("DELETE")) << "a mail perhaps on its way is not withdrawn";
        }
        size_t attempts = 0;
        for (const auto& r : fake.Requests()) attempts += r.Target.ends_with(c.hangUpAt);
        EXPECT_EQ(attempts, 1u) << "never handed over twice";
    }
}

} // namespace
} // namespace velkaro
