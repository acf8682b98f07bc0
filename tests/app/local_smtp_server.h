#pragma once
// A local SMTP server for the mailing tests: tests/app/smtp_test_server.py (Debian's
// python3-aiosmtpd) on 127.0.0.1, with a test CA made by openssl, run for the lifetime of
// the object. Every message it takes is kept as a file.
#include <string>
#include <sys/types.h>
#include <vector>

#include "support/test_support.h"

namespace velkaro::test {

// Made once per test program: a CA and a server certificate for 127.0.0.1 it signed,
// and a second CA with its own server certificate (a server nobody trusts).
struct TTestCertificates {
    std::string CaFile, ServerCert, ServerKey;
    std::string OtherCaFile, OtherServerCert, OtherServerKey;
};
const TTestCertificates& TestCertificates();

// Empty when the server can run, else what is missing.
std::string SmtpServerMissing();

struct TSmtpDelivery {
    std::string File;  // the message as received
    std::string From;
    std::vector<std::string> To;  // the envelope's recipients
    bool Dropped = false;         // the connection was cut instead of an answer
};

class TLocalSmtpServer {
public:
    struct TOptions {
        bool Tls = true;           // STARTTLS with the test CA's certificate
        bool ImplicitTls = false;  // TLS from the first byte instead
        bool UntrustedCert = false;  // the other CA's certificate
        std::string User, Password;  // sign-in required when set
        int TempFail = 0;            // the first answers to the end of data are 451
        std::string RejectTo;        // mail to this address: 550
        std::string DropTo;          // mail to this address: taken, then the connection cut
        std::string OAuthUser, OAuthToken;  // XOAUTH2 sign-in with this mailbox and token
    };
    explicit TLocalSmtpServer(const TOptions& options);
    ~TLocalSmtpServer();
    TLocalSmtpServer(const TLocalSmtpServer&) = delete;
    TLocalSmtpServer& operator=(const TLocalSmtpServer&) = delete;

    int Port() const { return FPort; }
    std::vector<TSmtpDelivery> Mails() const;
    // One message parsed by Python's email package (tests/app/mime_summary.py), as JSON text.
    static std::string Summary(const std::string& mailFile, const std::string& outDir);

private:
    // Ends the server: its input closes, then it is killed when it does not end.
    void Stop();

    TempFolder FSpool;
    pid_t FPid = -1;
    int FInput = -1;
    int FPort = 0;
};

} // namespace velkaro::test
