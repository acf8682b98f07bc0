#include "mail/graph_mailer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "mail/secret_mask.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr long kConnectTimeoutMs = 30000;
constexpr long kTokenResponseTimeoutMs = 60000;
constexpr long kGraphResponseTimeoutMs = 120000;
// Wait after a throttling answer that names no usable time.
constexpr long long kDefaultRetryWaitSeconds = 10;

std::string WithoutTrailingSlash(std::string url) {
    while (!url.empty() && url.back() == '/') url.pop_back();
    return url;
}

std::string CheckedServer(const std::string& url, const char* what) {
    std::string base = WithoutTrailingSlash(Trim(url));
    if (!IsSecureUrl(base))
        throw EGraphError(std::string("Unsichere oder ungültige Adresse für ") + what + ": \"" + base +
                          "\". Erlaubt ist nur https:// (http:// nur für 127.0.0.1, ::1 und localhost).");
    return base;
}

std::string Format(const char* pattern, int status, const std::string& text) {
    int n = std::snprintf(nullptr, 0, pattern, status, text.c_str());
    std::string out(static_cast<size_t>(n), '\0');
    std::snprintf(out.data(), out.size() + 1, pattern, status, text.c_str());
    return out;
}

// A success body must be a JSON object carrying the named string member.
std::string RequiredString(const std::string& body, const char* member, const char* context) {
    nlohmann::json doc = nlohmann::json::parse(body, nullptr, false);
    if (doc.is_discarded() || !doc.is_object())
        throw EGraphError(std::string("Ungültige Antwort ") + context + ": kein JSON-Objekt.");
    auto it = doc.find(member);
    if (it == doc.end() || !it->is_string())
        throw EGraphError(std::string("Ungültige Antwort ") + context + ": \"" + member + "\" fehlt.");
    return it->get<std::string>();
}

} // namespace

TGraphMailer::TGraphMailer(const std::string& ATenant, const std::string& AClientId, const std::string& ASecret,
                           const std::string& ASender, const TGraphEndpoints& endpoints)
    : FTenant(Trim(ATenant)), FClientId(Trim(AClientId)), FSecret(ASecret), FSender(Trim(ASender)) {
    if (FTenant.empty() || FClientId.empty() || FSecret.empty() || FSender.empty())
        throw EGraphError("E-Mail-Einstellungen unvollständig (Mandanten-ID, Client-ID, Secret, Absender).");
    FLoginServer = CheckedServer(endpoints.LoginServer, "den Anmeldeserver");
    FGraphServer = CheckedServer(endpoints.GraphServer, "den Graph-Server");
    FTransport = NewCurlTransport(THttpOptions{endpoints.CaBundle});
    FClock = [] { return std::chrono::system_clock::now(); };
    FSleep = [](std::chrono::seconds s) { std::this_thread::sleep_for(s); };
}

THttpResponse TGraphMailer::Execute(const THttpRequest& request) {
    for (int attempt = 1;; ++attempt) {
        THttpResponse response = FTransport->Execute(request);
        response.Body = SanitizeUtf8(response.Body);
        const bool throttled = response.Status == 429 || response.Status == 503;
        if (!throttled || attempt > kGraphMaxRetries) return response;

        const long long now =
            std::chrono::duration_cast<std::chrono::seconds>(FClock().time_since_epoch()).count();
        long long wait = RetryAfterSeconds(response.Header("Retry-After"), now);
        if (wait < 0) wait = kDefaultRetryWaitSeconds;
        wait = std::min<long long>(wait, kGraphMaxRetryWaitSeconds);
        if (FLog)
            FLog("  Microsoft 365 bremst die Anfragen (Status " + std::to_string(response.Status) +
                 "), neuer Versuch in " + std::to_string(wait) + " s (" + std::to_string(attempt) + " von " +
                 std::to_string(kGraphMaxRetries) + ").");
        FSleep(std::chrono::seconds(wait));
    }
}

std::string TGraphMailer::GetToken() {
    if (!FToken.empty() && FClock() < FTokenExpires) return FToken;

    THttpRequest request;
    request.Method = "POST";
    request.Url = FLoginServer + "/" + UrlEncodeComponent(FTenant) + "/oauth2/v2.0/token";
    request.Headers = {{"Content-Type", "application/x-www-form-urlencoded"}};
    request.Body = "client_id=" + UrlEncodeComponent(FClientId) + "&client_secret=" + UrlEncodeComponent(FSecret) +
                   "&scope=" + UrlEncodeComponent(FGraphServer + "/.default") + "&grant_type=client_credentials";
    request.ConnectTimeoutMs = kConnectTimeoutMs;
    request.ResponseTimeoutMs = kTokenResponseTimeoutMs;

    THttpResponse response = Execute(request);
    if (response.Status != 200)
        throw EGraphError(Format("Anmeldung bei Microsoft 365 fehlgeschlagen (%d): %s", response.Status,
                                 ServiceErrorText(response.Body)));

    const char* context = "der Anmeldung bei Microsoft 365";
    std::string token = RequiredString(response.Body, "access_token", context);
    nlohmann::json doc = nlohmann::json::parse(response.Body);
    long long lifetime = 3600;
    if (auto it = doc.find("expires_in"); it != doc.end() && it->is_number_integer())
        lifetime = it->get<long long>();
    FToken = std::move(token);
    FTokenExpires = FClock() + std::chrono::seconds(lifetime - 120);
    return FToken;
}

std::string TGraphMailer::ServiceErrorText(const std::string& body) const {
    return MaskSecrets(GraphErrorText(body), {FSecret, FToken});
}

std::string TGraphMailer::UserUrl(const std::string& suffix) const {
    return FGraphServer + "/v1.0/users/" + UrlEncodeComponent(FSender) + suffix;
}

std::string TGraphMailer::GraphRequest(const std::string& method, const std::string& url, bool authorize,
                                       std::initializer_list<int> accepted, const std::string& body) {
    THttpRequest request;
    request.Method = method;
    request.Url = url;
    request.Headers = {{"Content-Type", "application/json"}};
    if (authorize) request.Headers.emplace_back("Authorization", "Bearer " + GetToken());
    request.Body = body;
    request.ConnectTimeoutMs = kConnectTimeoutMs;
    request.ResponseTimeoutMs = kGraphResponseTimeoutMs;

    THttpResponse response = Execute(request);
    if (std::find(accepted.begin(), accepted.end(), response.Status) == accepted.end())
        throw EGraphError(Format("Graph-Fehler %d: %s", response.Status, ServiceErrorText(response.Body)));
    return response.Body;
}

void TGraphMailer::UploadLargeAttachment(const std::string& id, const TMailAttachment& attachment) {
    const int64_t total = static_cast<int64_t>(attachment.Data.size());
    TJson item = TJson::Object();
    item.Add("attachmentType", "file").Add("name", attachment.Name).Add("size", total);
    if (attachment.IsInline) item.Add("isInline", true).Add("contentId", attachment.ContentId);
    const std::string body = TJson::Object().Add("AttachmentItem", std::move(item)).Dump();

    const std::string session =
        GraphRequest("POST", UserUrl("/messages/" + id + "/attachments/createUploadSession"), true, {200, 201}, body);
    const std::string uploadUrl = RequiredString(session, "uploadUrl", "der Upload-Sitzung");
    // The upload address carries its own credentials; it must not leave the secure channel.
    if (!IsSecureUrl(uploadUrl))
        throw EGraphError("Unsichere Upload-Adresse für den Anhang: \"" + UrlOrigin(uploadUrl) + "\".");

    for (int64_t offset = 0; offset < total;) {
        const int64_t length = std::min(total - offset, kGraphUploadChunkSize);
        THttpRequest chunk;
        chunk.Method = "PUT";
        chunk.Url = uploadUrl;
        chunk.Headers = {{"Content-Type", "application/octet-stream"},
                         {"Content-Range", "bytes " + std::to_string(offset) + "-" +
                                               std::to_string(offset + length - 1) + "/" + std::to_string(total)}};
        chunk.Body = attachment.Data.substr(static_cast<size_t>(offset), static_cast<size_t>(length));
        THttpResponse response = Execute(chunk);
        if (response.Status != 200 && response.Status != 201)
            throw EGraphError(Format("Upload des Anhangs fehlgeschlagen (%d): %s", response.Status,
                                     ServiceErrorText(response.Body)));
        offset += length;
    }
}

void TGraphMailer::SendEx(const std::vector<std::string>& ToList, const std::vector<std::string>& CcList,
                          const std::vector<std::string>& BccList, const std::string& ReplyTo,
                          const std::string& Subject, const std::string& HtmlBody,
                          const std::vector<TMailAttachment>& Attachments) {
    if (ToList.empty()) throw EGraphError("Kein Empfänger angegeben.");

    int64_t size = 2 * static_cast<int64_t>(Utf8ToUtf16(HtmlBody).size());
    for (const auto& a : Attachments) size += static_cast<int64_t>(a.Data.size());
    const int64_t estimate = size * 4 / 3;

    TJson message = TJson::Object();
    message.Add("subject", Subject)
        .Add("body", TJson::Object().Add("contentType", "HTML").Add("content", HtmlBody))
        .Add("toRecipients", RecipientsJson(ToList));
    if (!CcList.empty()) message.Add("ccRecipients", RecipientsJson(CcList));
    if (!BccList.empty()) message.Add("bccRecipients", RecipientsJson(BccList));
    if (!Trim(ReplyTo).empty()) message.Add("replyTo", RecipientsJson(SplitAddresses(ReplyTo)));

    if (estimate < kGraphSingleRequestLimit) {
        if (!Attachments.empty()) {
            TJson list = TJson::Array();
            for (const auto& a : Attachments) list.Push(FileAttachmentJson(a));
            message.Add("attachments", std::move(list));
        }
        const std::string body =
            TJson::Object().Add("message", std::move(message)).Add("saveToSentItems", SaveToSentItems).Dump();
        GraphRequest("POST", UserUrl("/sendMail"), true, {202}, body);
        return;
    }

    // Too big for one request: a draft, its attachments one by one, then send it.
    const std::string draft = GraphRequest("POST", UserUrl("/messages"), true, {201}, message.Dump());
    const std::string id = RequiredString(draft, "id", "beim Anlegen des Entwurfs");
    const std::string messageUrl = UserUrl("/messages/" + UrlEncodeComponent(id));
    for (const auto& a : Attachments) {
        if (static_cast<int64_t>(a.Data.size()) * 4 / 3 >= kGraphSingleRequestLimit)
            UploadLargeAttachment(id, a);
        else
            GraphRequest("POST", messageUrl + "/attachments", true, {201}, FileAttachmentJson(a).Dump());
    }
    GraphRequest("POST", messageUrl + "/send", true, {202}, "");
}

void TGraphMailer::Send(const std::vector<std::string>& ToList, const std::vector<std::string>& CcList,
                        const std::vector<std::string>& BccList, const std::string& ReplyTo,
                        const std::string& Subject, const std::string& HtmlBody,
                        const std::vector<std::string>& AttachmentFiles) {
    std::vector<TMailAttachment> attachments;
    attachments.reserve(AttachmentFiles.size());
    for (const auto& file : AttachmentFiles) attachments.push_back(LoadAttachmentFile(file));
    SendEx(ToList, CcList, BccList, ReplyTo, Subject, HtmlBody, attachments);
}

} // namespace velkaro
