#include "mail/graph_mailer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <thread>

#include "mail/mailer.h"
#include "mail/secret_mask.h"
#include "platform/text.h"

namespace velkaro {

namespace {

// Wait after a throttling answer that names no usable time.
constexpr long long kDefaultRetryWaitSeconds = 10;

// The property set of internet headers, by which a mail's own header is searched.
constexpr const char* kInternetHeadersProperty = "String {00020386-0000-0000-C000-000000000046} Name ";

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

// A query value: percent-encoded, a blank as %20 (a "+" would be read as a plus there).
std::string QueryValue(std::string_view text) {
    return ReplaceAll(UrlEncodeComponent(text), "+", "%20");
}

// A redirect is never followed (the token would travel with it); saying so beats
// "Graph-Fehler 302: {}".
std::string RedirectText(const THttpResponse& response, const std::string& server) {
    const std::string location = response.Header("Location");
    return "Der Server " + server + " leitet die Anfrage um (Status " + std::to_string(response.Status) + ")" +
           (location.empty() ? std::string() : " nach " + UrlOrigin(location)) +
           "; Umleitungen folgt Velkaro nicht. Bitte die Adresse des Servers in den E-Mail-Einstellungen pr\u00FCfen.";
}

bool IsRedirect(int status) { return status >= 300 && status < 400; }

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

// "14.03.2025 11:06", local time, rounded up to the full minute: a time to try again.
std::string LocalMinuteText(std::chrono::system_clock::time_point when) {
    const auto minutes = std::chrono::ceil<std::chrono::minutes>(when.time_since_epoch());
    const std::time_t t = static_cast<std::time_t>(std::chrono::duration_cast<std::chrono::seconds>(minutes).count());
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M", &local);
    return text;
}

std::string WithFullStop(const std::string& text) {
    if (text.ends_with(".") || text.ends_with("!") || text.ends_with("?") || text.ends_with("\u2026")) return text;
    return text + ".";
}

// The ranges an upload session still expects ("26-", "0-99, 200-"), empty when none.
std::string ExpectedRanges(const std::string& body) {
    nlohmann::json doc = nlohmann::json::parse(body, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return {};
    auto it = doc.find("nextExpectedRanges");
    if (it == doc.end() || !it->is_array() || it->empty()) return {};
    std::string ranges;
    for (const auto& range : *it) {
        if (!ranges.empty()) ranges += ", ";
        ranges += range.is_string() ? range.get<std::string>() : range.dump();
    }
    return ranges;
}

} // namespace

TGraphMailer::TGraphMailer(const std::string& ATenant, const std::string& AClientId, const std::string& ASecret,
                           const std::string& ASender, const TGraphEndpoints& endpoints)
    : FTenant(Trim(ATenant)), FClientId(Trim(AClientId)), FSecret(ASecret), FSender(Trim(ASender)) {
    std::vector<std::string> missing;
    if (FTenant.empty()) missing.push_back("Mandanten-ID");
    if (FClientId.empty()) missing.push_back("Client-ID");
    if (FSecret.empty()) missing.push_back("Secret");
    if (FSender.empty()) missing.push_back("Absender");
    if (!missing.empty())
        throw EGraphError("E-Mail-Einstellungen unvollständig (" + Join(missing, ", ") + ").");
    FLoginServer = CheckedServer(endpoints.LoginServer, "den Anmeldeserver");
    FGraphServer = CheckedServer(endpoints.GraphServer, "den Graph-Server");
    FTransport = NewCurlTransport(THttpOptions{endpoints.CaBundle});
    FClock = [] { return std::chrono::system_clock::now(); };
    FSleep = [](std::chrono::seconds s) { std::this_thread::sleep_for(s); };
}

THttpResponse TGraphMailer::Execute(const std::function<THttpRequest()>& build) {
    for (int attempt = 1;; ++attempt) {
        THttpResponse response = FTransport->Execute(build());
        response.Body = SanitizeUtf8(response.Body);
        const bool throttled = response.Status == 429 || response.Status == 503;
        if (!throttled) return response;

        const std::chrono::system_clock::time_point now = FClock();
        long long wait = RetryAfterSeconds(response.Header("Retry-After"),
                                           std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count());
        if (wait < 0) wait = kDefaultRetryWaitSeconds;
        // "Retry-After: 0" or a date already past: a repeat at once would only be refused again.
        wait = std::max<long long>(wait, kGraphMinRetryWaitSeconds);
        if (wait > kGraphMaxRetryWaitSeconds) {
            // Waiting that long for every invoice would hold the run for hours against the
            // service's wish: no more requests until then.
            FThrottledUntil = now + std::chrono::seconds(wait);
            FThrottledMessage = "Microsoft 365 bremst den Versand (Status " + std::to_string(response.Status) +
                                ") und nimmt erst nach " + std::to_string(wait) +
                                " s wieder Anfragen an. Der Versand ist f\u00FCr diesen Lauf beendet, bitte "
                                "fr\u00FChestens ab " + LocalMinuteText(FThrottledUntil) + " Uhr erneut versuchen.";
            throw EGraphError(FThrottledMessage);
        }
        if (attempt > kGraphMaxRetries) return response;
        if (FLog)
            FLog("  Microsoft 365 bremst die Anfragen (Status " + std::to_string(response.Status) +
                 "), neuer Versuch in " + std::to_string(wait) + " s (" + std::to_string(attempt) + " von " +
                 std::to_string(kGraphMaxRetries) + ").");
        FSleep(std::chrono::seconds(wait));
    }
}

void TGraphMailer::CheckNotThrottled() const {
    if (!FThrottledMessage.empty() && FClock() < FThrottledUntil) throw EGraphError(FThrottledMessage);
}

std::string TGraphMailer::GetToken() {
    if (!FToken.empty() && FClock() < FTokenExpires) return FToken;
    CheckNotThrottled();

    THttpRequest request;
    request.Method = "POST";
    request.Url = FLoginServer + "/" + UrlEncodeComponent(FTenant) + "/oauth2/v2.0/token";
    request.Headers = {{"Content-Type", "application/x-www-form-urlencoded"}};
    request.Body = "client_id=" + UrlEncodeComponent(FClientId) + "&client_secret=" + UrlEncodeComponent(FSecret) +
                   "&scope=" + UrlEncodeComponent(FGraphServer + "/.default") + "&grant_type=client_credentials";
    request.ConnectTimeoutMs = FTimeouts.ConnectMs;
    request.ResponseTimeoutMs = FTimeouts.TokenResponseMs;

    THttpResponse response;
    try {
        response = Execute([&] { return request; });
    } catch (const EHttpError& e) {
        // Named as a sign-in failure, so that it is never taken for a lost mail.
        throw EGraphError(std::string("Anmeldung bei Microsoft 365 fehlgeschlagen: ") + e.what());
    }
    if (IsRedirect(response.Status))
        throw EGraphError("Anmeldung bei Microsoft 365 fehlgeschlagen: " + RedirectText(response, FLoginServer));
    if (response.Status != 200)
        throw EGraphError(Format("Anmeldung bei Microsoft 365 fehlgeschlagen (%d): %s", response.Status,
                                 ServiceErrorText(response.Body)));

    const char* context = "der Anmeldung bei Microsoft 365";
    std::string token = RequiredString(response.Body, "access_token", context);
    nlohmann::json doc = nlohmann::json::parse(response.Body);
    // Within bounds before any arithmetic: 2^63-1 must not overflow the expiry, and a
    // short lifetime must still serve more than one request.
    long long lifetime = 3600;
    if (auto it = doc.find("expires_in"); it != doc.end()) {
        if (it->is_number_unsigned())
            lifetime = static_cast<long long>(
                std::min<unsigned long long>(it->get<unsigned long long>(), kGraphMaxTokenLifetimeSeconds));
        else if (it->is_number_integer())
            lifetime = std::clamp<long long>(it->get<long long>(), 0, kGraphMaxTokenLifetimeSeconds);
    }
    const long long reuse = lifetime - std::min(kGraphTokenRenewSeconds, lifetime / 4);
    FToken = std::move(token);
    FTokenExpires = FClock() + std::chrono::seconds(reuse);
    return FToken;
}

std::string TGraphMailer::ServiceErrorText(const std::string& body) const {
    // Before extraction (whole tokens, before the cut to 600 characters) and after it
    // (texts the JSON escaping had hidden).
    return MaskServiceText(GraphErrorText(MaskServiceText(body, {FSecret, FToken})), {FSecret, FToken});
}

std::string TGraphMailer::UserUrl(const std::string& suffix) const {
    return FGraphServer + "/v1.0/users/" + UrlEncodeComponent(FSender) + suffix;
}

std::string TGraphMailer::GraphRequest(const std::string& method, const std::string& url, bool authorize,
                                       std::initializer_list<int> accepted, const std::string& body) {
    // Built for every attempt: after a throttling wait the token may have been renewed.
    const auto build = [&] {
        THttpRequest request;
        request.Method = method;
        request.Url = url;
        request.Headers = {{"Content-Type", "application/json"}};
        if (authorize) request.Headers.emplace_back("Authorization", "Bearer " + GetToken());
        request.Body = body;
        request.ConnectTimeoutMs = FTimeouts.ConnectMs;
        request.ResponseTimeoutMs = FTimeouts.GraphResponseMs;
        return request;
    };
    THttpResponse response = Execute(build);
    if (authorize && response.Status == 401) {
        // A revoked token, or one refused for clock skew: sign in afresh and try once more.
        FToken.clear();
        response = Execute(build);
    }
    if (std::find(accepted.begin(), accepted.end(), response.Status) == accepted.end()) {
        if (IsRedirect(response.Status)) throw EGraphError(RedirectText(response, UrlOrigin(url)));
        throw EGraphError(Format("Graph-Fehler %d: %s", response.Status, ServiceErrorText(response.Body)));
    }
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

    THttpResponse response;
    for (int64_t offset = 0; offset < total;) {
        const int64_t length = std::min(total - offset, kGraphUploadChunkSize);
        THttpRequest chunk;
        chunk.Method = "PUT";
        chunk.Url = uploadUrl;
        chunk.Headers = {{"Content-Type", "application/octet-stream"},
                         {"Content-Range", "bytes " + std::to_string(offset) + "-" +
                                               std::to_string(offset + length - 1) + "/" + std::to_string(total)}};
        chunk.Body = attachment.Data.substr(static_cast<size_t>(offset), static_cast<size_t>(length));
        chunk.ConnectTimeoutMs = FTimeouts.ConnectMs;
        chunk.ResponseTimeoutMs = FTimeouts.GraphResponseMs;
        response = Execute([&] { return chunk; });
        if (response.Status != 200 && response.Status != 201)
            throw EGraphError(Format("Upload des Anhangs fehlgeschlagen (%d): %s", response.Status,
                                     ServiceErrorText(response.Body)));
        offset += length;
    }
    // Only 201 says that the attachment is complete; anything else after the last chunk
    // may leave the mail with a cut attachment.
    if (response.Status != 201) {
        const std::string missing = ExpectedRanges(response.Body);
        if (!missing.empty())
            throw EGraphError("Upload des Anhangs \"" + attachment.Name +
                              "\" unvollst\u00E4ndig: Microsoft 365 erwartet noch die Bytes " + missing +
                              ". Die Mail wurde nicht versendet.");
        throw EGraphError("Upload des Anhangs \"" + attachment.Name +
                          "\" nicht best\u00E4tigt: Microsoft 365 hat nach dem letzten Teil mit Status " +
                          std::to_string(response.Status) +
                          " statt 201 geantwortet. Die Mail wurde nicht versendet.");
    }
}

void TGraphMailer::HandOver(const std::string& url, const std::string& body) {
    try {
        GraphRequest("POST", url, true, {202}, body);
    } catch (const EHttpError& e) {
        if (!e.MaybeDelivered) throw;
        throw EMailOutcomeUnknown("Ob die Mail versendet wurde, ist unklar: " + WithFullStop(e.what()) +
                                   " Die Mail war bereits an Microsoft 365 \u00FCbergeben. Bitte unter "
                                   "\u201EGesendete Elemente\u201C des Postfachs " + FSender +
                                   " nachsehen, bevor sie erneut versendet wird.");
    }
}

void TGraphMailer::SendDraft(const std::string& id, const std::vector<TMailAttachment>& attachments) {
    const std::string messageUrl = UserUrl("/messages/" + UrlEncodeComponent(id));
    try {
        for (const auto& a : attachments) {
            if (static_cast<int64_t>(a.Data.size()) * 4 / 3 >= kGraphSingleRequestLimit)
                UploadLargeAttachment(id, a);
            else
                GraphRequest("POST", messageUrl + "/attachments", true, {201}, FileAttachmentJson(a).Dump());
        }
        HandOver(messageUrl + "/send", "");
    } catch (const EMailOutcomeUnknown&) {
        // A draft is kept: deleting it could withdraw a mail already on its way.
        throw;
    } catch (const std::exception& e) {
        // An unsent draft, perhaps holding the whole invoice, must not wait to be sent by hand.
        throw EGraphError(DeleteDraft(messageUrl, e.what()));
    }
}

std::string TGraphMailer::DeleteDraft(const std::string& messageUrl, const std::string& reason) {
    try {
        GraphRequest("DELETE", messageUrl, true, {204}, "");
        return reason;
    } catch (const std::exception& e) {
        return WithFullStop(reason) + " Der Entwurf konnte nicht gel\u00F6scht werden und liegt noch im Ordner "
               "\u201EEntw\u00FCrfe\u201C des Postfachs " + FSender + " (" + e.what() + ").";
    }
}

void TGraphMailer::SendEx(const std::vector<std::string>& ToList, const std::vector<std::string>& CcList,
                          const std::vector<std::string>& BccList, const std::string& ReplyTo,
                          const std::string& Subject, const std::string& HtmlBody,
                          const std::vector<TMailAttachment>& Attachments, const std::string& MailId) {
    if (ToList.empty()) throw EGraphError("Kein Empfänger angegeben.");
    CheckNotThrottled();

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
    if (!MailId.empty())
        message.Add("internetMessageHeaders",
                    TJson::Array().Push(TJson::Object().Add("name", kGraphMailIdHeader).Add("value", MailId)));

    if (estimate < kGraphSingleRequestLimit) {
        if (!Attachments.empty()) {
            TJson list = TJson::Array();
            for (const auto& a : Attachments) list.Push(FileAttachmentJson(a));
            message.Add("attachments", std::move(list));
        }
        const std::string body =
            TJson::Object().Add("message", std::move(message)).Add("saveToSentItems", SaveToSentItems).Dump();
        HandOver(UserUrl("/sendMail"), body);
        return;
    }

    // Too big for one request: a draft, its attachments one by one, then send it.
    const std::string draft = GraphRequest("POST", UserUrl("/messages"), true, {201}, message.Dump());
    SendDraft(RequiredString(draft, "id", "beim Anlegen des Entwurfs"), Attachments);
}

TSentMailLookup TGraphMailer::FindSentMail(const std::string& mailId) {
    const std::string filter = std::string("singleValueExtendedProperties/Any(ep: ep/id eq '") +
                               kInternetHeadersProperty + kGraphMailIdHeader + "' and ep/value eq '" +
                               ReplaceAll(mailId, "'", "''") + "')";
    const std::string body =
        GraphRequest("GET", UserUrl("/mailFolders/SentItems/messages?$filter=" + QueryValue(filter) +
                                    "&$select=" + QueryValue("sentDateTime,subject") + "&$top=1"),
                     true, {200}, "");
    nlohmann::json doc = nlohmann::json::parse(body, nullptr, false);
    if (doc.is_discarded() || !doc.is_object() || !doc.contains("value") || !doc["value"].is_array())
        throw EGraphError("Ungültige Antwort beim Suchen in \u201EGesendete Elemente\u201C: \"value\" fehlt.");
    TSentMailLookup result;
    if (doc["value"].empty()) return result;
    result.Found = true;
    const nlohmann::json& found = doc["value"].front();
    if (found.is_object() && found.contains("sentDateTime") && found["sentDateTime"].is_string())
        result.SentAt = found["sentDateTime"].get<std::string>();
    return result;
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
