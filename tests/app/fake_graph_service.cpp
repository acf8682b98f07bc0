#include "fake_graph_service.h"

#include <nlohmann/json.hpp>

#include "platform/base64.h"

namespace velkaro::test {

namespace {

std::vector<std::string> Addresses(const nlohmann::json& message, const char* member) {
    std::vector<std::string> out;
    if (auto it = message.find(member); it != message.end())
        for (const auto& r : *it) out.push_back(r.at("emailAddress").at("address").get<std::string>());
    return out;
}

} // namespace

TFakeGraphService::TFakeGraphService(TOverride override, const TTestCertificate* tls)
    : FOverride(std::move(override)), FServer([this](const TRecordedRequest& r) { return Answer(r); }, tls) {}

bool TFakeGraphService::IsTokenRequest(const TRecordedRequest& r) {
    return r.Method == "POST" && r.Target == std::string("/") + kFakeTenant + "/oauth2/v2.0/token";
}

bool TFakeGraphService::IsSendMail(const TRecordedRequest& r) {
    return r.Method == "POST" && r.Target == "/v1.0/users/" + UrlEncodeComponent(kFakeSender) + "/sendMail";
}

TServerReply TFakeGraphService::Answer(const TRecordedRequest& r) {
    if (FOverride)
        if (auto reply = FOverride(r)) return *reply;
    if (IsTokenRequest(r)) {
        if (r.Body.find("client_id=" + UrlEncodeComponent(kFakeClientId) + "&client_secret=" +
                        UrlEncodeComponent(kFakeSecret) + "&") != 0)
            return {401, {}, R"({"error":"invalid_client","error_description":"AADSTS7000215: Invalid client secret provided."})"};
        return {200, {{"Content-Type", "application/json"}},
                std::string(R"({"token_type":"Bearer","expires_in":3599,"access_token":")") + kFakeToken + "\"}"};
    }
    if (IsSendMail(r)) {
        if (r.Header("Authorization") != std::string("Bearer ") + kFakeToken)
            return {401, {}, R"({"error":{"code":"InvalidAuthenticationToken","message":"Access token is empty."}})"};
        return {202, {}, ""};
    }
    return {404, {}, R"({"error":{"code":"NotFound","message":"Unbekannte Adresse."}})"};
}

int TFakeGraphService::TokenRequests() const {
    int n = 0;
    for (const auto& r : Requests()) n += IsTokenRequest(r) ? 1 : 0;
    return n;
}

std::vector<TReceivedMail> TFakeGraphService::Mails() const {
    std::vector<TReceivedMail> out;
    for (const auto& r : Requests())
        if (IsSendMail(r)) out.push_back(ParseSendMail(r.Body));
    return out;
}

TReceivedMail ParseSendMail(const std::string& body) {
    const nlohmann::json doc = nlohmann::json::parse(body);
    const nlohmann::json& message = doc.at("message");
    TReceivedMail mail;
    mail.To = Addresses(message, "toRecipients");
    mail.Cc = Addresses(message, "ccRecipients");
    mail.Bcc = Addresses(message, "bccRecipients");
    mail.ReplyTo = Addresses(message, "replyTo");
    mail.Subject = message.at("subject").get<std::string>();
    mail.Body = message.at("body").at("content").get<std::string>();
    mail.SaveToSentItems = doc.at("saveToSentItems").get<bool>();
    if (auto it = message.find("attachments"); it != message.end())
        for (const auto& a : *it) {
            TMailAttachment att;
            att.Name = a.at("name").get<std::string>();
            att.ContentType = a.at("contentType").get<std::string>();
            att.Data = Base64Decode(a.at("contentBytes").get<std::string>()).value_or("<kein Base64>");
            att.IsInline = a.value("isInline", false);
            att.ContentId = a.value("contentId", "");
            mail.Attachments.push_back(std::move(att));
        }
    return mail;
}

} // namespace velkaro::test
