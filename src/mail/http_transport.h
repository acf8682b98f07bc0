#pragma once
// The HTTP client the Graph mailer talks through. An interface so that the mailer can
// be tested against a recording fake; the real one is libcurl (http_curl.cpp).
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace velkaro {

using THttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct THttpRequest {
    std::string Method;  // "POST", "PUT"
    std::string Url;
    THttpHeaders Headers;  // sent in this order; nothing else but the transport's own
    std::string Body;
    // 0 means the client's defaults. The whole exchange, however slowly data flows,
    // ends after the connection time plus the response time.
    long ConnectTimeoutMs = 0;
    long ResponseTimeoutMs = 0;
};

struct THttpResponse {
    int Status = 0;
    THttpHeaders Headers;  // of the final response, names as received
    std::string Body;

    // First header of that name (ASCII case-insensitive), empty when absent.
    std::string Header(const std::string& name) const;
};

// No connection, TLS failure, time-out: the transport's own errors, as a German
// sentence with the library's text in parentheses.
class EHttpError : public Exception {
public:
    explicit EHttpError(const std::string& message, bool maybeDelivered = false)
        : Exception(message), MaybeDelivered(maybeDelivered) {}
    // The request went out before the connection failed: the service may have acted on it.
    bool MaybeDelivered;
};

// The largest answer body the transport keeps (16 MiB). A larger one raises EHttpError,
// except after "202 Accepted", which stands whatever body follows it or breaks off.
inline constexpr size_t kMaxResponseBodyBytes = 16u * 1024 * 1024;

class IHttpTransport {
public:
    virtual ~IHttpTransport() = default;
    // Performs one request; every HTTP status is a response, only transport
    // failures raise EHttpError.
    virtual THttpResponse Execute(const THttpRequest& request) = 0;
};

struct THttpOptions {
    // Optional PEM file of additionally trusted certificate authorities (a company's
    // TLS-inspecting proxy, a test server). Verification itself is always on.
    std::string CaBundle;
};

std::shared_ptr<IHttpTransport> NewCurlTransport(const THttpOptions& options = {});

// "scheme://host[:port]" of a URL, for error messages: never the path or query,
// which may carry a session token.
std::string UrlOrigin(const std::string& url);

// True for "https://" addresses, and for "http://" only with a loopback host
// (127.0.0.1, ::1, localhost): secrets and invoices never travel in clear text.
bool IsSecureUrl(const std::string& url);

// Seconds to wait by a "Retry-After" value (delta seconds or an HTTP date, counted
// from now); -1 when the value is missing or not understood.
long long RetryAfterSeconds(const std::string& value, long long nowUnixSeconds);

} // namespace velkaro
