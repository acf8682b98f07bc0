#include "fake_graph_service.h"

#include <nlohmann/json.hpp>

#include <cstdio>

#include "platform/base64.h"

namespace velkaro::test {

namespace {

const std::string kMailboxPath = "/v1.0/users/" + UrlEncodeComponent(kFakeSender);
const std::string kUploadPath = "/upload/";

const TServerReply kRefusedToken = {
    401, {}, R"({"error":{"code":"InvalidAuthenticationToken","message":"Access token has expired or is not yet valid."}})"};
const TServerReply kNotFound = {404, {}, R"({"error":{"code":"NotFound","message":"Unbekannte Adresse."}})"};

std::vector<std::string> Addresses(const nlohmann::json& message, const char* member) {
    std::vector<std::string> out;
    if (auto it = message.find(member); it != message.end())
        for (const auto& r : *it) out.push_back(r.at("emailAddress").at("address").get<std::string>());
    return out;
}

TMailAttachment ParseAttachment(const nlohmann::json& a) {
    TMailAttachment att;
    att.Name = a.at("name").get<std::string>();
    att.ContentType = a.at("contentType").get<std::string>();
    att.Data = Base64Decode(a.at("contentBytes").get<std::string>()).value_or("<kein Base64>");
    att.IsInline = a.value("isInline", false);
    att.ContentId = a.value("contentId", "");
    return att;
}

TReceivedMail ParseMessage(const nlohmann::json& message) {
    TReceivedMail mail;
    mail.To = Addresses(message, "toRecipients");
    mail.Cc = Addresses(message, "ccRecipients");
    mail.Bcc = Addresses(message, "bccRecipients");
    mail.ReplyTo = Addresses(message, "replyTo");
    mail.Subject = message.at("subject").get<std::string>();
    mail.Body = message.at("body").at("content").get<std::string>();
    if (auto it = message.find("internetMessageHeaders"); it != message.end())
        for (const auto& h : *it)
            if (h.at("name").get<std::string>() == kGraphMailIdHeader) mail.MailId = h.at("value").get<std::string>();
    if (auto it = message.find("attachments"); it != message.end())
        for (const auto& a : *it) mail.Attachments.push_back(ParseAttachment(a));
    return mail;
}

// "%20" -> " " and so on.
std::string PercentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned value = 0;
        if (text[i] == '%' && i + 2 < text.size() && std::sscanf(text.c_str() + i + 1, "%2x", &value) == 1) {
            out += static_cast<char>(value);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// "bytes 0-99/250" -> first 0, last 99, total 250.
bool ParseContentRange(const std::string& value, size_t& first, size_t& last, size_t& total) {
    return std::sscanf(value.c_str(), "bytes %zu-%zu/%zu", &first, &last, &total) == 3;
}

} // namespace

TFakeGraphService::TFakeGraphService(TOverride override, const TTestCertificate* tls)
    : FOverride(std::move(override)), FServer([this](const TRecordedRequest& r) { return Answer(r); }, tls) {}

bool TFakeGraphService::IsTokenRequest(const TRecordedRequest& r) {
    return r.Method == "POST" && r.Target == std::string("/") + kFakeTenant + "/oauth2/v2.0/token";
}

bool TFakeGraphService::IsSendMail(const TRecordedRequest& r) {
    return r.Method == "POST" && r.Target == kMailboxPath + "/sendMail";
}

bool TFakeGraphService::IsUploadChunk(const TRecordedRequest& r) {
    return r.Method == "PUT" && r.Target.starts_with(kUploadPath);
}

bool TFakeGraphService::IsLastUploadChunk(const TRecordedRequest& r) {
    size_t first = 0, last = 0, total = 0;
    return IsUploadChunk(r) && ParseContentRange(r.Header("Content-Range"), first, last, total) && last + 1 == total;
}

void TFakeGraphService::RevokeTokens() {
    std::lock_guard<std::mutex> lock(FMutex);
    FRevokedTokens = FIssuedTokens;
}

// Tokens of this fake, not revoked; they may come from another instance serving as the
// login service.
bool TFakeGraphService::IsValidToken(const std::string& token) const {
    const std::string first = kFakeToken;
    if (!token.starts_with(first)) return false;
    int number = 1;
    if (token.size() > first.size() && std::sscanf(token.c_str() + first.size(), "%d", &number) != 1) return false;
    return number > FRevokedTokens;
}

TServerReply TFakeGraphService::Answer(const TRecordedRequest& r) {
    if (FOverride)
        if (auto reply = FOverride(r)) return *reply;
    return Serve(r);
}

TServerReply TFakeGraphService::Serve(const TRecordedRequest& r) {
    std::lock_guard<std::mutex> lock(FMutex);
    if (IsTokenRequest(r)) {
        if (r.Body.find("client_id=" + UrlEncodeComponent(kFakeClientId) + "&client_secret=" +
                        UrlEncodeComponent(kFakeSecret) + "&") != 0)
            return {401, {}, R"({"error":"invalid_client","error_description":"AADSTS7000215: Invalid client secret provided."})"};
        std::string token = kFakeToken;
        if (++FIssuedTokens > 1) token += std::to_string(FIssuedTokens);
        return {200, {{"Content-Type", "application/json"}},
                R"({"token_type":"Bearer","expires_in":3599,"access_token":")" + token + "\"}"};
    }
    if (r.Target.starts_with(kMailboxPath + "/")) {
        const std::string authorization = r.Header("Authorization");
        if (!authorization.starts_with("Bearer ") || !IsValidToken(authorization.substr(7)))
            return kRefusedToken;
        return AnswerMailbox(r, r.Target.substr(kMailboxPath.size()));
    }
    if (IsUploadChunk(r)) return AnswerUpload(r);
    return kNotFound;
}

TServerReply TFakeGraphService::AnswerMailbox(const TRecordedRequest& r, const std::string& path) {
    if (r.Method == "POST" && path == "/sendMail") {
        const TReceivedMail mail = ParseSendMail(r.Body);
        if (mail.SaveToSentItems) FSentItems.push_back(mail);
        return {202, {}, ""};
    }
    if (r.Method == "GET" && path.starts_with("/mailFolders/SentItems/messages?")) return AnswerSentItems(r);
    if (r.Method == "POST" && path == "/messages") {
        TFakeDraft draft;
        draft.Id = "AAMkDraft" + std::to_string(FDrafts.size() + 1) + "=";
        draft.Mail = ParseMessage(nlohmann::json::parse(r.Body));
        FDrafts.push_back(draft);
        return {201, {}, nlohmann::json{{"id", draft.Id}}.dump()};
    }
    for (size_t i = 0; i < FDrafts.size(); ++i) {
        TFakeDraft& draft = FDrafts[i];
        const std::string message = "/messages/" + UrlEncodeComponent(draft.Id);
        if (draft.Deleted || draft.Sent) continue;
        if (r.Method == "POST" && path == message + "/attachments") {
            draft.Mail.Attachments.push_back(ParseAttachment(nlohmann::json::parse(r.Body)));
            return {201, {}, "{}"};
        }
        // The message id as received, not encoded, as the client sends it here.
        if (r.Method == "POST" && path == "/messages/" + draft.Id + "/attachments/createUploadSession") {
            const nlohmann::json item = nlohmann::json::parse(r.Body).at("AttachmentItem");
            TUpload upload{i, {}, item.at("size").get<size_t>()};
            upload.Attachment.Name = item.at("name").get<std::string>();
            upload.Attachment.IsInline = item.value("isInline", false);
            upload.Attachment.ContentId = item.value("contentId", "");
            FUploads.push_back(upload);
            return {201, {},
                    nlohmann::json{{"uploadUrl", BaseUrl() + kUploadPath + std::to_string(FUploads.size()) +
                                                     "?authtoken=" + kFakeUploadToken}}
                        .dump()};
        }
        if (r.Method == "POST" && path == message + "/send") {
            draft.Sent = true;
            FSentItems.push_back(draft.Mail);
            return {202, {}, ""};
        }
        if (r.Method == "DELETE" && path == message) {
            draft.Deleted = true;
            return {204, {}, ""};
        }
    }
    return kNotFound;
}

TServerReply TFakeGraphService::AnswerUpload(const TRecordedRequest& r) {
    const std::string target = r.Target.substr(kUploadPath.size());
    const size_t query = target.find("?authtoken=");
    size_t number = 0, first = 0, last = 0, total = 0;
    if (query == std::string::npos || target.substr(query + 11) != kFakeUploadToken ||
        std::sscanf(target.c_str(), "%zu", &number) != 1 || number == 0 || number > FUploads.size())
        return kNotFound;
    TUpload& upload = FUploads[number - 1];
    if (!ParseContentRange(r.Header("Content-Range"), first, last, total) || total != upload.Size ||
        first != upload.Attachment.Data.size() || last - first + 1 != r.Body.size())
        return {416, {}, R"({"error":{"code":"InvalidRange","message":"Bereich passt nicht."}})"};
    upload.Attachment.Data += r.Body;
    if (upload.Attachment.Data.size() < upload.Size)
        return {200, {},
                R"({"expirationDateTime":"2030-01-01T00:00:00Z","nextExpectedRanges":[")" +
                    std::to_string(upload.Attachment.Data.size()) + "-\"]}"};
    FDrafts[upload.Draft].Mail.Attachments.push_back(upload.Attachment);
    return {201, {}, ""};
}

// The one search the mailer makes: its header's value, as a filter on the internet
// headers' property set.
TServerReply TFakeGraphService::AnswerSentItems(const TRecordedRequest& r) {
    const std::string query = PercentDecoded(r.Target.substr(r.Target.find('?') + 1));
    const std::string property = std::string("ep/id eq 'String {00020386-0000-0000-C000-000000000046} Name ") +
                                 kGraphMailIdHeader + "' and ep/value eq '";
    const size_t at = query.find(property);
    if (!query.starts_with("$filter=singleValueExtendedProperties/Any(ep: ") || at == std::string::npos)
        return {400, {}, R"({"error":{"code":"BadRequest","message":"Filter nicht verstanden."}})"};
    const size_t start = at + property.size();
    const std::string id = query.substr(start, query.find('\'', start) - start);
    nlohmann::json found = nlohmann::json::array();
    for (const TReceivedMail& mail : FSentItems)
        if (!id.empty() && mail.MailId == id)
            found.push_back({{"id", "AAMkSent" + id}, {"sentDateTime", "2026-12-11T09:30:00Z"}, {"subject", mail.Subject}});
    return {200, {{"Content-Type", "application/json"}}, nlohmann::json{{"value", found}}.dump()};
}

std::vector<TReceivedMail> TFakeGraphService::SentItems() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FSentItems;
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

std::vector<TFakeDraft> TFakeGraphService::Drafts() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FDrafts;
}

TReceivedMail ParseSendMail(const std::string& body) {
    const nlohmann::json doc = nlohmann::json::parse(body);
    TReceivedMail mail = ParseMessage(doc.at("message"));
    mail.SaveToSentItems = doc.at("saveToSentItems").get<bool>();
    return mail;
}

} // namespace velkaro::test
