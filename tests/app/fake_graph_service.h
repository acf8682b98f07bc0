#pragma once
// A local fake of the Microsoft identity platform and Microsoft Graph for the mailing
// tests: token requests for one tenant and application, sendMail and the draft path
// (drafts, attachments, upload sessions, send, delete) for one sender, every request
// recorded; a scenario hook may answer instead.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mail/graph_mailer.h"
#include "mail/local_http_server.h"

namespace velkaro::test {

inline constexpr const char* kFakeTenant = "contoso";
inline constexpr const char* kFakeClientId = "client-4711";
inline constexpr const char* kFakeSecret = "Sehr~Geheim.Secret_0815";
// The first token; later ones carry a number after it.
inline constexpr const char* kFakeToken = "eyJ0eXAi.fake-access-token.Zk9P";
inline constexpr const char* kFakeSender = "rechnung@muster-gmbh.de";
// The credential of every upload session address ("?authtoken=…").
inline constexpr const char* kFakeUploadToken = "eyJhbGciOi.fake-upload-session.c2ln";

// One message as the service understood it.
struct TReceivedMail {
    std::vector<std::string> To;
    std::vector<std::string> Cc;
    std::vector<std::string> Bcc;
    std::vector<std::string> ReplyTo;
    std::string Subject;
    std::string Body;
    bool SaveToSentItems = true;
    std::vector<TMailAttachment> Attachments;  // contentBytes decoded, uploads joined
    std::string MailId;  // the internet header x-velkaro-versand-id, empty when absent
};

// A draft of the draft path, as the service holds it.
struct TFakeDraft {
    std::string Id;
    TReceivedMail Mail;  // with the attachments complete so far
    bool Sent = false;
    bool Deleted = false;
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
    std::vector<TFakeDraft> Drafts() const;
    // The mails kept in the sender's "Sent Items" (sendMail with saveToSentItems, sent
    // drafts), in order.
    std::vector<TReceivedMail> SentItems() const;
    // How a request is answered without the scenario hook: for a hook that lets the
    // service act and then spoils the answer.
    TServerReply Serve(const TRecordedRequest& r);
    // Every token issued so far is refused from now on (401 InvalidAuthenticationToken).
    void RevokeTokens();

    static bool IsTokenRequest(const TRecordedRequest& r);
    static bool IsSendMail(const TRecordedRequest& r);
    // A chunk of an upload session; the last one completes the attachment.
    static bool IsUploadChunk(const TRecordedRequest& r);
    static bool IsLastUploadChunk(const TRecordedRequest& r);

private:
    struct TUpload {
        size_t Draft;
        TMailAttachment Attachment;
        size_t Size;
    };

    TOverride FOverride;
    mutable std::mutex FMutex;
    int FIssuedTokens = 0;
    int FRevokedTokens = 0;  // the tokens numbered up to this one are refused
    std::vector<TFakeDraft> FDrafts;
    std::vector<TUpload> FUploads;
    std::vector<TReceivedMail> FSentItems;
    TLocalHttpServer FServer;  // last: its thread uses the members above

    bool IsValidToken(const std::string& token) const;
    TServerReply Answer(const TRecordedRequest& r);
    TServerReply AnswerMailbox(const TRecordedRequest& r, const std::string& path);
    TServerReply AnswerUpload(const TRecordedRequest& r);
    TServerReply AnswerSentItems(const TRecordedRequest& r);
};

TReceivedMail ParseSendMail(const std::string& body);

} // namespace velkaro::test
