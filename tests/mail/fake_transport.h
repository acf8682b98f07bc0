#pragma once
// A transport that records every request and answers from a handler.
#include <functional>
#include <memory>
#include <vector>

#include "mail/http_transport.h"

namespace velkaro::test {

class TFakeTransport : public IHttpTransport {
public:
    using THandler = std::function<THttpResponse(const THttpRequest&)>;
    explicit TFakeTransport(THandler handler) : FHandler(std::move(handler)) {}

    THttpResponse Execute(const THttpRequest& request) override {
        Requests.push_back(request);
        return FHandler(request);
    }

    std::vector<THttpRequest> Requests;

private:
    THandler FHandler;
};

inline THttpResponse Reply(int status, std::string body, THttpHeaders headers = {}) {
    THttpResponse r;
    r.Status = status;
    r.Body = std::move(body);
    r.Headers = std::move(headers);
    return r;
}

} // namespace velkaro::test
