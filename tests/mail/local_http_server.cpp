#include "local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "platform/text.h"

namespace velkaro::test {

std::string TRecordedRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : Headers)
        if (SameText(key, name)) return value;
    return {};
}

struct TLocalHttpServer::TlsContext {
    SSL_CTX* Ctx = nullptr;
};

namespace {

std::string ReasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

// Reads and writes one connection, plain or through TLS.
class Channel {
public:
    Channel(int fd, SSL* ssl) : FFd(fd), FSsl(ssl) {}
    long Read(char* buffer, size_t size) {
        if (FSsl) return SSL_read(FSsl, buffer, static_cast<int>(size));
        return ::read(FFd, buffer, size);
    }
    bool WriteAll(std::string_view data) {
        size_t done = 0;
        while (done < data.size()) {
            // MSG_NOSIGNAL: a client that gave up must not end the test process.
            long n = FSsl ? SSL_write(FSsl, data.data() + done, static_cast<int>(data.size() - done))
                          : ::send(FFd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

private:
    int FFd;
    SSL* FSsl;
};

bool ReadRequest(Channel& ch, TRecordedRequest& request) {
    std::string data;
    char buffer[65536];
    size_t headerEnd;
    while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos) {
        long n = ch.Read(buffer, sizeof buffer);
        if (n <= 0) return false;
        data.append(buffer, static_cast<size_t>(n));
    }
    std::vector<std::string> lines = Split(std::string_view(data).substr(0, headerEnd), '\n');
    if (lines.empty()) return false;
    std::vector<std::string> start = Split(Trim(lines[0]), ' ');
    if (start.size() < 2) return false;
    request.Method = start[0];
    request.Target = start[1];
    size_t length = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        size_t colon = lines[i].find(':');
        if (colon == std::string::npos) continue;
        std::string name = lines[i].substr(0, colon);
        std::string value = Trim(std::string_view(lines[i]).substr(colon + 1));
        if (SameText(name, "Content-Length")) length = std::stoul(value);
        request.Headers.emplace_back(name, value);
    }
    request.Body = data.substr(headerEnd + 4);
    while (request.Body.size() < length) {
        long n = ch.Read(buffer, sizeof buffer);
        if (n <= 0) return false;
        request.Body.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

} // namespace

TLocalHttpServer::TLocalHttpServer(THandler handler, const TTestCertificate* tls) : FHandler(std::move(handler)) {
    if (tls) {
        FTls = new TlsContext;
        FTls->Ctx = SSL_CTX_new(TLS_server_method());
        if (!FTls->Ctx || SSL_CTX_use_certificate_file(FTls->Ctx, tls->CertFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
            SSL_CTX_use_PrivateKey_file(FTls->Ctx, tls->KeyFile.c_str(), SSL_FILETYPE_PEM) != 1)
            throw std::runtime_error("TLS context of the test server");
    }
    FListen = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(FListen, 8) != 0)
        throw std::runtime_error("test server cannot listen");
    socklen_t len = sizeof addr;
    ::getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
    FPort = ntohs(addr.sin_port);
    FThread = std::thread([this] { Run(); });
}

TLocalHttpServer::~TLocalHttpServer() {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    ::close(FListen);
    if (FTls) {
        SSL_CTX_free(FTls->Ctx);
        delete FTls;
    }
}

std::string TLocalHttpServer::BaseUrl() const {
    return std::string(FTls ? "https" : "http") + "://127.0.0.1:" + std::to_string(FPort);
}

std::vector<TRecordedRequest> TLocalHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FRequests;
}

void TLocalHttpServer::Run() {
    while (!FStop) {
        pollfd p{FListen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int s = ::accept(FListen, nullptr, nullptr);
        if (s < 0) continue;
        Serve(s);
        ::close(s);
    }
}

void TLocalHttpServer::Serve(int socket) {
    SSL* ssl = nullptr;
    if (FTls) {
        ssl = SSL_new(FTls->Ctx);
        SSL_set_fd(ssl, socket);
        if (SSL_accept(ssl) != 1) {  // e.g. the client refused our certificate
            SSL_free(ssl);
            ERR_clear_error();
            return;
        }
    }
    Channel ch(socket, ssl);
    TRecordedRequest request;
    if (ReadRequest(ch, request)) {
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FRequests.push_back(request);
        }
        TServerReply reply = FHandler(request);
        std::string out = "HTTP/1.1 " + std::to_string(reply.Status) + " " + ReasonPhrase(reply.Status) + "\r\n";
        for (const auto& [name, value] : reply.Headers) out += name + ": " + value + "\r\n";
        out += "Content-Length: " + std::to_string(reply.Body.size()) + "\r\nConnection: close\r\n\r\n";
        out += reply.Body;
        if (reply.HangUp) {
            // nothing: the connection closes below
        } else if (reply.BytesPerSecond <= 0) {
            ch.WriteAll(out);
        } else {
            const auto pause = std::chrono::milliseconds(1000 / reply.BytesPerSecond);
            for (size_t i = 0; i < out.size() && !FStop; ++i) {
                if (!ch.WriteAll(std::string_view(out).substr(i, 1))) break;
                std::this_thread::sleep_for(pause);
            }
        }
    }
    if (ssl) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
    }
}

TTestCertificate MakeSelfSignedCertificate(const std::string& folder) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                               0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    for (auto [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"},
                              std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
        X509_add_ext(cert, ext, -1);
        X509_EXTENSION_free(ext);
    }
    X509_sign(cert, key, EVP_sha256());

    TTestCertificate files{folder + "server-cert.pem", folder + "server-key.pem"};
    FILE* f = std::fopen(files.CertFile.c_str(), "wb");
    PEM_write_X509(f, cert);
    std::fclose(f);
    f = std::fopen(files.KeyFile.c_str(), "wb");
    PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(f);
    X509_free(cert);
    EVP_PKEY_free(key);
    return files;
}

} // namespace velkaro::test
