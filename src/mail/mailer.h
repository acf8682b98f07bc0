#pragma once
// What the mailing workflow needs of a way to send mail, whatever carries it: Microsoft
// Graph (graph_mailer.h) or an SMTP server (smtp_mailer.h).
#include <memory>
#include <string>
#include <vector>

#include "mail/graph_mailer.h"
#include "mail/mail_error.h"
#include "platform/log.h"

namespace velkaro {

class IMailer {
public:
    virtual ~IMailer() = default;
    // Checks the connection and the sign-in without sending anything (and keeps what it
    // got for the mails, such as an access token); raises with the reason when refused.
    virtual void SignIn() = 0;
    // Sends one HTML mail; raises EGraphError (EMailOutcomeUnknown when it may have gone
    // out) or a file or transport error. `MailId`, when given, goes along as the header
    // kGraphMailIdHeader, so that the mail can be found again.
    virtual void SendEx(const std::vector<std::string>& ToList, const std::vector<std::string>& CcList,
                        const std::vector<std::string>& BccList, const std::string& ReplyTo,
                        const std::string& Subject, const std::string& HtmlBody,
                        const std::vector<TMailAttachment>& Attachments, const std::string& MailId = {}) = 0;
    // Looks for the mail sent with `MailId` among the sender's sent mails; raises with
    // the reason when the service refuses or cannot look.
    virtual TSentMailLookup FindSentMail(const std::string& mailId) = 0;
    // Hint lines (waiting before another attempt) go here; an empty function drops them.
    virtual void SetLog(TLogProc log) = 0;
    // The sending account for messages ("rechnung@firma.de über mail.firma.de:587").
    virtual std::string Describe() const = 0;
};

// The Graph mailer behind the interface; SignIn fetches the access token.
std::unique_ptr<IMailer> WrapGraphMailer(std::unique_ptr<TGraphMailer> mailer, const std::string& sender);

} // namespace velkaro
