#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for end-to-end tests of the mail client: it
// records every request and answers through a handler, one connection at a time,
// optionally over TLS with a self-signed certificate made at test time.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mail/http_transport.h"

namespace velkaro::test {

struct TRecordedRequest {
    std::string Method;
    std::string Target;  // path and query as sent
    THttpHeaders Headers;
    std::string Body;
    std::string Header(const std::string& name) const;
};

struct TServerReply {
    int Status = 200;
    THttpHeaders Headers;
    std::string Body;
    // Faults: close the connection after reading the request, without an answer; or
    // write the answer at this many bytes a second (0: at once).
    bool HangUp = false;
    int BytesPerSecond = 0;
};

// A self-signed certificate for 127.0.0.1 and localhost, written as PEM files.
struct TTestCertificate {
    std::string CertFile;
    std::string KeyFile;
};
TTestCertificate MakeSelfSignedCertificate(const std::string& folder);

class TLocalHttpServer {
public:
    using THandler = std::function<TServerReply(const TRecordedRequest&)>;
    explicit TLocalHttpServer(THandler handler, const TTestCertificate* tls = nullptr);
    ~TLocalHttpServer();
    TLocalHttpServer(const TLocalHttpServer&) = delete;
    TLocalHttpServer& operator=(const TLocalHttpServer&) = delete;

    // "http://127.0.0.1:port" or "https://127.0.0.1:port".
    std::string BaseUrl() const;
    std::vector<TRecordedRequest> Requests() const;

private:
    struct TlsContext;
    THandler FHandler;
    TlsContext* FTls = nullptr;
    int FListen = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    mutable std::mutex FMutex;
    std::vector<TRecordedRequest> FRequests;
    std::thread FThread;

    void Run();
    void Serve(int socket);
};

} // namespace velkaro::test
