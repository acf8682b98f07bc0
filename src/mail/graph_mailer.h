#pragma once
// Sends HTML mails with attachments from a Microsoft 365 mailbox through Microsoft
// Graph, signed in as an application with the OAuth 2.0 client-credentials grant.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mail/http_transport.h"
#include "mail/json_writer.h"
#include "mail/mail_error.h"
#include "platform/error.h"
#include "platform/log.h"

namespace velkaro {

class EGraphError : public Exception {
public:
    using Exception::Exception;
};

struct TMailAttachment {
    std::string Name;         // file name shown to the recipient
    std::string ContentType;  // MIME type
    std::string Data;         // the complete file content (bytes)
    bool IsInline = false;    // inline image referenced from the HTML body
    std::string ContentId;    // "cid:" reference; only meaningful when IsInline
};

inline constexpr std::string_view kDefaultGraphLoginServer = "https://login.microsoftonline.com";
inline constexpr std::string_view kDefaultGraphServer = "https://graph.microsoft.com";

// Where the services live (national clouds, tests) and how they are reached.
struct TGraphEndpoints {
    std::string LoginServer = std::string(kDefaultGraphLoginServer);
    std::string GraphServer = std::string(kDefaultGraphServer);
    std::string CaBundle;  // optional PEM file of additionally trusted CAs
};

// Mails up to this estimated encoded size go out in one request.
inline constexpr int64_t kGraphSingleRequestLimit = 3145728;
// Upload-session chunk size: ten times 320 KiB, as the service requires multiples of it.
inline constexpr int64_t kGraphUploadChunkSize = 3276800;
// Throttling (429/503): at most this many waits per request, each at most this long.
// A service that asks for a longer wait ends the mailing of this mailer until then.
inline constexpr int kGraphMaxRetries = 3;
inline constexpr int kGraphMaxRetryWaitSeconds = 60;
// The least wait before a repeat, also when the service names a time already past.
inline constexpr int kGraphMinRetryWaitSeconds = 2;
// Token lifetimes the service announces are taken within these bounds; a token is
// renewed this long before it runs out, or after three quarters of a shorter lifetime.
inline constexpr long long kGraphMaxTokenLifetimeSeconds = 86400;
inline constexpr long long kGraphTokenRenewSeconds = 120;
// The internet header that carries a mail's own id (the sent log's "VersandId"), by
// which the mail is found in the sender's "Sent Items".
inline constexpr const char* kGraphMailIdHeader = "x-velkaro-versand-id";

// What the sender's "Sent Items" hold of a mail.
struct TSentMailLookup {
    bool Found = false;
    std::string SentAt;  // the service's "sentDateTime" (ISO 8601, UTC) when found
};

// Time limits of every request, upload chunks included.
struct TGraphTimeouts {
    long ConnectMs = 30000;
    long TokenResponseMs = 60000;
    long GraphResponseMs = 120000;
};

class TGraphMailer {
public:
    using TClock = std::function<std::chrono::system_clock::time_point()>;
    using TSleep = std::function<void(std::chrono::seconds)>;

    // Raises EGraphError when tenant, client id, secret or sender is empty (the secret is
    // not trimmed) or a service address is neither https nor a loopback http address.
    // No network access.
    TGraphMailer(const std::string& ATenant, const std::string& AClientId, const std::string& ASecret,
                 const std::string& ASender, const TGraphEndpoints& endpoints = {});

    bool SaveToSentItems = true;

    // The access token, from the cache or from a new token request.
    std::string GetToken();

    // Graph answering 401 to a request makes the mailer drop its token, sign in afresh and
    // repeat that request once. On the draft path (large mails) a failure deletes the
    // draft (best effort; the message says when that failed too). When the connection
    // breaks after the mail was handed over, EMailOutcomeUnknown says that the outcome is
    // unknown. `MailId`, when given, goes along as the internet header kGraphMailIdHeader.
    void SendEx(const std::vector<std::string>& ToList, const std::vector<std::string>& CcList,
                const std::vector<std::string>& BccList, const std::string& ReplyTo, const std::string& Subject,
                const std::string& HtmlBody, const std::vector<TMailAttachment>& Attachments,
                const std::string& MailId = {});
    // Looks for the mail sent with `mailId` in the sender's "Sent Items" (needs the
    // permission to read mail); raises EGraphError when the service refuses the look-up.
    TSentMailLookup FindSentMail(const std::string& mailId);
    // Attachments given as file paths, loaded with LoadAttachmentFile in order.
    void Send(const std::vector<std::string>& ToList, const std::vector<std::string>& CcList,
              const std::vector<std::string>& BccList, const std::string& ReplyTo, const std::string& Subject,
              const std::string& HtmlBody, const std::vector<std::string>& AttachmentFiles);

    // Hint lines (waiting after throttling) go here.
    void SetLog(TLogProc log) { FLog = std::move(log); }
    // Replaceable for tests: the HTTP client, the clock of the token cache and of
    // throttling, the waiting, the time limits.
    void SetTransport(std::shared_ptr<IHttpTransport> transport) { FTransport = std::move(transport); }
    void SetClock(TClock clock) { FClock = std::move(clock); }
    void SetSleep(TSleep sleep) { FSleep = std::move(sleep); }
    void SetTimeouts(const TGraphTimeouts& timeouts) { FTimeouts = timeouts; }

private:
    std::string FTenant;
    std::string FClientId;
    std::string FSecret;
    std::string FSender;
    std::string FToken;
    std::chrono::system_clock::time_point FTokenExpires{};
    std::string FLoginServer;
    std::string FGraphServer;
    std::shared_ptr<IHttpTransport> FTransport;
    TLogProc FLog;
    TClock FClock;
    TSleep FSleep;
    TGraphTimeouts FTimeouts;
    // Set when the service asked for a wait beyond the cap: no request before then.
    std::chrono::system_clock::time_point FThrottledUntil{};
    std::string FThrottledMessage;

    std::string UserUrl(const std::string& suffix) const;
    std::string GraphRequest(const std::string& method, const std::string& url, bool authorize,
                             std::initializer_list<int> accepted, const std::string& body);
    // The request that hands the mail over for sending (sendMail, or send of a draft).
    void HandOver(const std::string& url, const std::string& body);
    void SendDraft(const std::string& id, const std::vector<TMailAttachment>& attachments);
    // The reason of a failed draft send, extended when the draft could not be deleted.
    std::string DeleteDraft(const std::string& messageUrl, const std::string& reason);
    void UploadLargeAttachment(const std::string& id, const TMailAttachment& attachment);
    // The error text of a service answer, without secrets, tokens or URL queries it may quote.
    std::string ServiceErrorText(const std::string& body) const;
    // One request, built afresh for every attempt (a current token) and repeated after
    // throttling answers as Retry-After asks.
    THttpResponse Execute(const std::function<THttpRequest()>& build);
    void CheckNotThrottled() const;
};

// Splits at every ";" and ",", trims the pieces, keeps the non-empty ones in order.
std::vector<std::string> SplitAddresses(const std::string& text);
// Readable error text of a response body (Graph error object or identity platform
// error), cut to 600 characters plus "…".
std::string GraphErrorText(const std::string& body);
TMailAttachment LoadAttachmentFile(const std::string& fileName);
// For the lower-cased extension with its dot, e.g. ".png" -> "image/png".
std::string ContentTypeForExtension(const std::string& ext);
// URL component and form value encoding (unreserved: A-Z a-z 0-9 ! $ ' ( ) * - . @ _,
// blank as "+", everything else as %XX of its UTF-8 bytes).
std::string UrlEncodeComponent(std::string_view text);

TJson RecipientsJson(const std::vector<std::string>& addresses);
TJson FileAttachmentJson(const TMailAttachment& attachment);

} // namespace velkaro
