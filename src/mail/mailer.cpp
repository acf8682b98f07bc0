#include "mail/mailer.h"

namespace velkaro {

namespace {

class TGraphRoute final : public IMailer {
public:
    TGraphRoute(std::unique_ptr<TGraphMailer> mailer, std::string sender)
        : FMailer(std::move(mailer)), FSender(std::move(sender)) {}

    void SignIn() override { FMailer->GetToken(); }
    void SendEx(const std::vector<std::string>& ToList, const std::vector<std::string>& CcList,
                const std::vector<std::string>& BccList, const std::string& ReplyTo, const std::string& Subject,
                const std::string& HtmlBody, const std::vector<TMailAttachment>& Attachments,
                const std::string& MailId = {}) override {
        FMailer->SendEx(ToList, CcList, BccList, ReplyTo, Subject, HtmlBody, Attachments, MailId);
    }
    TSentMailLookup FindSentMail(const std::string& mailId) override { return FMailer->FindSentMail(mailId); }
    void SetLog(TLogProc log) override { FMailer->SetLog(std::move(log)); }
    std::string Describe() const override { return FSender + " über Microsoft 365"; }

private:
    std::unique_ptr<TGraphMailer> FMailer;
    std::string FSender;
};

} // namespace

std::unique_ptr<IMailer> WrapGraphMailer(std::unique_ptr<TGraphMailer> mailer, const std::string& sender) {
    return std::make_unique<TGraphRoute>(std::move(mailer), sender);
}

} // namespace velkaro
