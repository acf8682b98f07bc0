#pragma once
// A local fake of the Microsoft identity platform and Microsoft Graph for the mailing
// tests: token requests for one tenant and application, sendMail for one sender, every
// request recorded; a scenario hook may answer instead.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "mail/graph_mailer.h"
#include "mail/local_http_server.h"

namespace velkaro::test {

inline constexpr const char* kFakeTenant = "contoso";
inline constexpr const char* kFakeClientId = "client-4711";
inline constexpr const char* kFakeSecret = "Sehr~Geheim.Secret_0815";
inline constexpr const char* kFakeToken = "eyJ0eXAi.fake-access-token.Zk9P";
inline constexpr const char* kFakeSender = "rechnung@muster-gmbh.de";

// One sendMail request as the service understood it.
struct TReceivedMail {
    std::vector<std::string> To;
    std::vector<std::string> Cc;
    std::vector<std::string> Bcc;
    std::vector<std::string> ReplyTo;
    std::string Subject;
    std::string Body;
    bool SaveToSentItems = true;
    std::vector<TMailAttachment> Attachments;  // contentBytes decoded
};

class TFakeGraphService {
public:
    using TOverride = std::function<std::optional<TServerReply>(const TRecordedRequest&)>;

    // Set before the first request; the server thread reads it.
    explicit TFakeGraphService(TOverride override = {}, const TTestCertificate* tls = nullptr);

    std::string BaseUrl() const { return FServer.BaseUrl(); }
    std::vector<TRecordedRequest> Requests() const { return FServer.Requests(); }
    int TokenRequests() const;
    // The accepted and the refused sendMail requests, in order.
    std::vector<TReceivedMail> Mails() const;

    static bool IsTokenRequest(const TRecordedRequest& r);
    static bool IsSendMail(const TRecordedRequest& r);

private:
    TOverride FOverride;
    TLocalHttpServer FServer;

    TServerReply Answer(const TRecordedRequest& r);
};

TReceivedMail ParseSendMail(const std::string& body);

} // namespace velkaro::test
