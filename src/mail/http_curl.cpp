#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "mail/http_transport.h"
#include "platform/text.h"

namespace velkaro {

namespace {

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlUrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

struct UrlParts {
    std::string Scheme, Host, Port;
};

bool ParseUrl(const std::string& url, UrlParts& parts) {
    GlobalInit();
    std::unique_ptr<CURLU, CurlUrlDeleter> u(curl_url());
    if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return false;
    auto get = [&](CURLUPart part, std::string& out) {
        char* value = nullptr;
        if (curl_url_get(u.get(), part, &value, 0) != CURLUE_OK) return false;
        out = value;
        curl_free(value);
        return true;
    };
    if (!get(CURLUPART_SCHEME, parts.Scheme) || !get(CURLUPART_HOST, parts.Host)) return false;
    get(CURLUPART_PORT, parts.Port);
    parts.Scheme = LowerAscii(parts.Scheme);
    return true;
}

// Used when a request names no time-outs: bounded like every other request.
constexpr long kDefaultConnectTimeoutMs = 60000;
constexpr long kDefaultResponseTimeoutMs = 120000;

// What failed, as a German sentence; the caller adds the library's own text.
std::string FailureSentence(CURLcode rc, const std::string& origin, bool requestSent) {
    switch (rc) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return "Der Server " + origin + " wurde nicht gefunden";
    case CURLE_COULDNT_CONNECT:
        return "Keine Verbindung zu " + origin + " möglich";
    case CURLE_OPERATION_TIMEDOUT:
        return requestSent ? "Zeitüberschreitung: " + origin + " hat nicht rechtzeitig geantwortet"
                           : "Zeitüberschreitung beim Verbindungsaufbau zu " + origin;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return "Sichere Verbindung zu " + origin + " fehlgeschlagen: Zertifikat oder TLS nicht akzeptiert";
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
        return "Die Verbindung zu " + origin + " brach ab, bevor eine vollständige Antwort kam";
    default:
        return "Verbindung zu " + origin + " fehlgeschlagen";
    }
}

// The body as far as it is kept: every answer of the identity platform and Graph is a
// short JSON text, so one beyond kMaxResponseBodyBytes ends the transfer instead of
// filling the memory.
struct TBodySink {
    std::string* Body;
    bool TooLarge = false;
};

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<TBodySink*>(user);
    const size_t n = size * count;
    if (n > kMaxResponseBodyBytes - sink->Body->size()) {
        sink->TooLarge = true;
        return 0;  // curl ends the transfer with a write error
    }
    sink->Body->append(data, n);
    return n;
}

size_t CollectHeader(char* data, size_t size, size_t count, void* user) {
    auto* headers = static_cast<THttpHeaders*>(user);
    std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        headers->clear();  // a new response (after "100 Continue" and the like)
    } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
        headers->emplace_back(std::string(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }
    return size * count;
}

class TCurlTransport final : public IHttpTransport {
public:
    explicit TCurlTransport(THttpOptions options) : FOptions(std::move(options)) { GlobalInit(); }

    THttpResponse Execute(const THttpRequest& request) override {
        std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
        if (!curl) throw EHttpError("HTTP-Client konnte nicht angelegt werden.");
        CURL* c = curl.get();
        char errorBuffer[CURL_ERROR_SIZE] = {};
        THttpResponse response;

        curl_slist* raw = nullptr;
        for (const auto& [name, value] : request.Headers) raw = curl_slist_append(raw, (name + ": " + value).c_str());
        // Only the caller's headers: no "Expect: 100-continue" round trip, no "Accept".
        raw = curl_slist_append(raw, "Expect:");
        raw = curl_slist_append(raw, "Accept:");
        std::unique_ptr<curl_slist, SlistDeleter> headers(raw);

        curl_easy_setopt(c, CURLOPT_URL, request.Url.c_str());
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!FOptions.CaBundle.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, FOptions.CaBundle.c_str());
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, request.Method.c_str());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.Body.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.Body.data());
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
        TBodySink body{&response.Body};
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, CollectBody);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, CollectHeader);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, &response.Headers);
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
        // A bounded whole: an answer trickling in byte by byte must not hold the caller.
        const long connectMs = request.ConnectTimeoutMs > 0 ? request.ConnectTimeoutMs : kDefaultConnectTimeoutMs;
        const long responseMs = request.ResponseTimeoutMs > 0 ? request.ResponseTimeoutMs : kDefaultResponseTimeoutMs;
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, connectMs + responseMs);

        CURLcode rc = curl_easy_perform(c);
        long status = 0;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
        // "202 Accepted" says the mail was taken: whatever follows it (an endless or
        // broken body) cannot undo that, and a resend would deliver the mail twice.
        if (rc != CURLE_OK && status == 202) {
            response.Status = 202;
            return response;
        }
        if (rc != CURLE_OK && body.TooLarge)
            throw EHttpError("Die Antwort von " + UrlOrigin(request.Url) + " ist größer als " +
                                 std::to_string(kMaxResponseBodyBytes / (1024 * 1024)) +
                                 " MB und wird nicht angenommen (Status " + std::to_string(status) + ").",
                             true);
        if (rc != CURLE_OK) {
            long sent = 0;
            curl_easy_getinfo(c, CURLINFO_REQUEST_SIZE, &sent);
            std::string detail = Trim(errorBuffer[0] ? std::string(errorBuffer) : std::string(curl_easy_strerror(rc)));
            throw EHttpError(FailureSentence(rc, UrlOrigin(request.Url), sent > 0) + " (" + detail + ").", sent > 0);
        }
        response.Status = static_cast<int>(status);
        return response;
    }

private:
    THttpOptions FOptions;
};

} // namespace

std::string THttpResponse::Header(const std::string& name) const {
    for (const auto& [key, value] : Headers)
        if (SameText(key, name)) return value;
    return {};
}

std::shared_ptr<IHttpTransport> NewCurlTransport(const THttpOptions& options) {
    return std::make_shared<TCurlTransport>(options);
}

std::string UrlOrigin(const std::string& url) {
    UrlParts parts;
    if (!ParseUrl(url, parts)) return "(ungültige Adresse)";
    std::string host = parts.Host;
    return parts.Scheme + "://" + host + (parts.Port.empty() ? "" : ":" + parts.Port);
}

long long RetryAfterSeconds(const std::string& value, long long nowUnixSeconds) {
    const std::string v = Trim(value);
    if (v.empty()) return -1;
    if (v.find_first_not_of("0123456789") == std::string::npos) {
        return v.size() > 9 ? 999999999LL : std::stoll(v);
    }
    const time_t when = curl_getdate(v.c_str(), nullptr);
    if (when == -1) return -1;
    const long long delta = static_cast<long long>(when) - nowUnixSeconds;
    return delta < 0 ? 0 : delta;
}

bool IsSecureUrl(const std::string& url) {
    UrlParts parts;
    if (!ParseUrl(url, parts)) return false;
    if (parts.Scheme == "https") return true;
    if (parts.Scheme != "http") return false;
    const std::string host = LowerAscii(parts.Host);
    return host == "127.0.0.1" || host == "[::1]" || host == "::1" || host == "localhost";
}

} // namespace velkaro
