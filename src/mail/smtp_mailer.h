#pragma once
// Sends the invoice mails through an SMTP server (an own Exchange server, another
// provider, Exchange Online) with libcurl: STARTTLS, TLS from the first byte, or, to the
// own machine only, no encryption; sign-in with user and password, with an OAuth token
// (XOAUTH2) or none (a relay that trusts the machine). The server's certificate is
// always checked against the system's authorities and, when given, one more CA file.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "mail/mailer.h"

namespace velkaro {

enum TSmtpSecurity { ssStartTls, ssTls, ssNone };

struct TSmtpAccount {
    std::string Server;  // host name or address, no scheme
    int Port = 0;        // 0: DefaultSmtpPort(Security)
    TSmtpSecurity Security = ssStartTls;
    std::string User;      // empty: no sign-in, or XOAUTH2 when a token source is given
    std::string Password;  // never trimmed
    std::string Sender;
    std::string ReplyTo;  // when not empty it replaces the reply-to of every mail
    std::string CaFile;   // optional PEM file of one more trusted authority
    std::string Bcc;      // blind copy of every mail ("a@x.de; b@x.de")
};

// Time limits: the connection, each answer of the server (also the one after the end
// of the mail), and the whole exchange (the answers plus the data at 10 KB/s at least).
struct TSmtpTimeouts {
    long ConnectMs = 30000;
    long ResponseMs = 60000;
};

// A temporary refusal (4xx) is tried again after these waits, so at most three more
// attempts and 85 seconds of waiting per mail; then it fails.
inline constexpr int kSmtpRetryWaitSeconds[] = {5, 20, 60};
inline constexpr int kSmtpMaxRetries = static_cast<int>(std::size(kSmtpRetryWaitSeconds));

// 587 for STARTTLS, 465 for TLS, 25 without encryption.
int DefaultSmtpPort(TSmtpSecurity security);
// "STARTTLS", "TLS", "Keine".
std::string SmtpSecurityName(TSmtpSecurity security);
// "mail.firma.de:587": the server and its port (the default of the security when 0).
std::string SmtpOrigin(const TSmtpAccount& account);
// Exchange Online's SMTP service, where a sign-in with the app registration of Graph
// (XOAUTH2) serves instead of a password.
bool IsExchangeOnline(const std::string& server);
// 127.0.0.1, ::1 and localhost: the only servers a mail may reach unencrypted.
bool IsLoopbackHost(const std::string& host);

// The trusted authorities for a connection with an additional CA file: the system's
// bundle as libcurl knows it, followed by the file. Raises EGraphError when the file
// cannot be read or holds no certificate.
std::string CombinedCaBundle(const std::string& systemBundle, const std::string& extraFile);

class TSmtpMailer final : public IMailer {
public:
    using TTokenSource = std::function<std::string()>;
    using TSleep = std::function<void(std::chrono::seconds)>;

    // Raises EGraphError when server or sender is missing, a user has no password,
    // "Keine" names a server other than this machine, or the port is out of range. With
    // an empty user, `oauthToken` (when given) supplies the XOAUTH2 token of the sender.
    // No network access.
    explicit TSmtpMailer(const TSmtpAccount& account, TTokenSource oauthToken = {});

    void SignIn() override;
    void SendEx(const std::vector<std::string>& ToList, const std::vector<std::string>& CcList,
                const std::vector<std::string>& BccList, const std::string& ReplyTo, const std::string& Subject,
                const std::string& HtmlBody, const std::vector<TMailAttachment>& Attachments,
                const std::string& MailId = {}) override;
    // An SMTP server keeps no searchable copy: always raises, saying so.
    TSentMailLookup FindSentMail(const std::string& mailId) override;
    void SetLog(TLogProc log) override { FLog = std::move(log); }
    std::string Describe() const override;

    // Replaceable for tests.
    void SetSleep(TSleep sleep) { FSleep = std::move(sleep); }
    void SetTimeouts(const TSmtpTimeouts& timeouts) { FTimeouts = timeouts; }

    // What one exchange with the server came to.
    struct TExchangeResult {
        enum TKind { xkDone, xkTemporary, xkRefused, xkSignInRefused, xkUnknown, xkFailed } Kind = xkDone;
        std::string Message;  // German, without credentials
    };

private:
    TSmtpAccount FAccount;
    TTokenSource FOAuthToken;
    TLogProc FLog;
    TSleep FSleep;
    TSmtpTimeouts FTimeouts;
    std::string FCaBundle;  // combined bundle when a CA file is given, read once
    std::string FToken;     // the last XOAUTH2 token

    std::string Origin() const;
    // One connection: sign-in, then `message` to `recipients`, or NOOP when there is no message.
    TExchangeResult Exchange(const std::string* message, const std::vector<std::string>& recipients);
    // Exchange, again after temporary refusals; raises what finally failed.
    void WithRetries(const std::string* message, const std::vector<std::string>& recipients);
    std::string Masked(const std::string& text) const;
};

} // namespace velkaro
