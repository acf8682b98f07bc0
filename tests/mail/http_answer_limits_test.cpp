// The real transport keeps at most kMaxResponseBodyBytes of an answer: a service (or
// something posing as it) that answers with gigabytes or never stops must neither fill
// the memory nor turn a mail that was accepted into one that counts as failed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "mail/http_transport.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

// One connection on 127.0.0.1: reads the request, writes `head`, then `bodyBytes` bytes
// of "x" in chunks (or until the client goes away or 20 s have passed), then closes.
class TStreamingServer {
public:
    TStreamingServer(std::string head, uint64_t bodyBytes) : FHead(std::move(head)), FBodyBytes(bodyBytes) {
        FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(::listen(FListen, 1), 0);
        socklen_t len = sizeof addr;
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
        FPort = ntohs(addr.sin_port);
        FThread = std::thread([this] { Serve(); });
    }
    ~TStreamingServer() {
        ::shutdown(FListen, SHUT_RDWR);
        FThread.join();
        ::close(FListen);
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(FPort) + "/v1.0/users/a/sendMail"; }
    uint64_t Written() const { return FWritten; }

private:
    void Serve() {
        const int s = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (s < 0) return;
        std::string request;
        char buffer[65536];
        // Headers, then as many body bytes as announced.
        size_t need = std::string::npos;
        while (need == std::string::npos || request.size() < need) {
            const ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, static_cast<size_t>(n));
            const size_t end = request.find("\r\n\r\n");
            if (need == std::string::npos && end != std::string::npos) {
                const size_t cl = request.find("Content-Length: ");
                need = end + 4 + (cl == std::string::npos ? 0 : std::stoul(request.substr(cl + 16)));
            }
        }
        ::send(s, FHead.data(), FHead.size(), MSG_NOSIGNAL);
        const std::string chunk(1 << 20, 'x');
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (FWritten < FBodyBytes && std::chrono::steady_clock::now() < until) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), FBodyBytes - FWritten));
            const ssize_t sent = ::send(s, chunk.data(), n, MSG_NOSIGNAL);
            if (sent <= 0) break;
            FWritten += static_cast<uint64_t>(sent);
        }
        ::close(s);
    }

    std::string FHead;
    uint64_t FBodyBytes;
    std::atomic<uint64_t> FWritten{0};
    int FListen = -1;
    int FPort = 0;
    std::thread FThread;
};

long PeakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

THttpRequest SendMailRequest(const std::string& url) {
    THttpRequest request;
    request.Method = "POST";
    request.Url = url;
    request.Headers = {{"Content-Type", "application/json"}};
    request.Body = "{\"message\":{}}";
    request.ResponseTimeoutMs = 30000;
    return request;
}

constexpr uint64_t kTwoGiB = 2ull << 30;

TEST(HttpAnswerLimits, AHugeAnswerIsRefusedWithoutFillingTheMemory) {
    TStreamingServer server("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                                std::to_string(kTwoGiB) + "\r\n\r\n",
                            kTwoGiB);
    const long before = PeakKilobytes();
    try {
        NewCurlTransport()->Execute(SendMailRequest(server.Url()));
        ADD_FAILURE() << "a 2 GiB answer was taken";
    } catch (const EHttpError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Die Antwort von " + UrlOrigin(server.Url()) + " ist größer als 16 MB und wird nicht angenommen "
                  "(Status 200).");
        EXPECT_TRUE(e.MaybeDelivered);
    }
    EXPECT_LT(PeakKilobytes() - before, 200 * 1024) << "kilobytes more at the peak";
    EXPECT_LT(server.Written(), kTwoGiB);
}

TEST(HttpAnswerLimits, AnAcceptedMailStaysSentWhateverFollowsTheStatus) {
    struct Case {
        const char* name;
        std::string head;
        uint64_t bodyBytes;
    } cases[] = {
        // An endless body: the server would go on for ever (its 20 s are only a safety net).
        {"endless", "HTTP/1.1 202 Accepted\r\nContent-Length: 99999999999\r\n\r\n",
         ~0ull},
        // The connection breaks off after a few bytes of a longer body.
        {"broken off", "HTTP/1.1 202 Accepted\r\nContent-Length: 1000\r\n\r\n", 10},
    };
    for (const Case& c : cases) {
        TStreamingServer server(c.head, c.bodyBytes);
        const long before = PeakKilobytes();
        const auto start = std::chrono::steady_clock::now();
        THttpResponse response;
        EXPECT_NO_THROW(response = NewCurlTransport()->Execute(SendMailRequest(server.Url()))) << c.name;
        EXPECT_EQ(response.Status, 202) << c.name;
        EXPECT_LE(response.Body.size(), kMaxResponseBodyBytes) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15)) << c.name;
        EXPECT_LT(PeakKilobytes() - before, 200 * 1024) << c.name;
    }
}

} // namespace
} // namespace velkaro
