#include "local_smtp_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/files.h"
#include "platform/text.h"

namespace velkaro::test {

namespace {

// Debian's interpreter: the one python3-aiosmtpd belongs to.
std::string Python() { return FileExists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

std::string Quoted(const std::string& s) { return "'" + ReplaceAll(s, "'", "'\\''") + "'"; }

void Run(const std::string& command) {
    std::string output;
    if (RunCommand(command, output) != 0) throw std::runtime_error(command + ": " + output);
}

// A CA and a server certificate for 127.0.0.1 and localhost signed by it.
void MakeCa(const std::string& dir, const std::string& name) {
    const std::string ca = CombinePath(dir, name);
    const std::string ext = CombinePath(dir, name + "-server.ext");
    WriteFileBytes(ext, "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
                        "keyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n");
    Run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3 -subj '/CN=Velkaro " +
        name + "' -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign -keyout " +
        Quoted(ca + ".key") + " -out " + Quoted(ca + ".pem") + " 2>&1");
    Run("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=127.0.0.1 -keyout " +
        Quoted(ca + "-server.key") + " -out " + Quoted(ca + "-server.csr") + " 2>&1");
    Run("openssl x509 -req -days 2 -in " + Quoted(ca + "-server.csr") + " -CA " + Quoted(ca + ".pem") + " -CAkey " +
        Quoted(ca + ".key") + " -CAcreateserial -extfile " + Quoted(ext) + " -out " + Quoted(ca + "-server.pem") +
        " 2>&1");
}

} // namespace

const TTestCertificates& TestCertificates() {
    static const std::unique_ptr<TempFolder> folder = std::make_unique<TempFolder>();
    static const TTestCertificates certs = [] {
        MakeCa(folder->Path(), "TestCA");
        MakeCa(folder->Path(), "OtherCA");
        const std::string dir = folder->Path();
        return TTestCertificates{CombinePath(dir, "TestCA.pem"),        CombinePath(dir, "TestCA-server.pem"),
                                 CombinePath(dir, "TestCA-server.key"), CombinePath(dir, "OtherCA.pem"),
                                 CombinePath(dir, "OtherCA-server.pem"), CombinePath(dir, "OtherCA-server.key")};
    }();
    return certs;
}

std::string SmtpServerMissing() {
    std::string output;
    if (RunCommand(Python() + " -c 'import aiosmtpd'", output) != 0)
        return "python3-aiosmtpd fehlt (scripts/install-deps.sh)";
    if (!CommandExists("openssl")) return "openssl fehlt";
    return {};
}

TLocalSmtpServer::TLocalSmtpServer(const TOptions& options) {
    std::vector<std::string> args = {Python(), CombinePath(SourceDir(), "tests/app/smtp_test_server.py"), "--spool",
                                     FSpool.Path()};
    if (options.Tls) {
        const TTestCertificates& certs = TestCertificates();
        args.insert(args.end(), {"--cert", options.UntrustedCert ? certs.OtherServerCert : certs.ServerCert, "--key",
                                 options.UntrustedCert ? certs.OtherServerKey : certs.ServerKey});
        if (options.ImplicitTls) args.emplace_back("--implicit-tls");
    }
    if (!options.User.empty()) args.insert(args.end(), {"--user", options.User, "--password", options.Password});
    if (options.TempFail > 0) args.insert(args.end(), {"--tempfail", std::to_string(options.TempFail)});
    if (!options.RejectTo.empty()) args.insert(args.end(), {"--reject-to", options.RejectTo});
    if (!options.DropTo.empty()) args.insert(args.end(), {"--drop-to", options.DropTo});
    if (!options.OAuthToken.empty())
        args.insert(args.end(), {"--oauth-user", options.OAuthUser, "--oauth-token", options.OAuthToken});

    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe");
    FPid = fork();
    if (FPid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(args[0].c_str(), argv.data());
        execvp(args[0].c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    FInput = in[1];
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 500) <= 0) continue;
        char c[64];
        const ssize_t n = read(out[0], c, sizeof c);
        if (n <= 0) break;
        line.append(c, static_cast<size_t>(n));
    }
    close(out[0]);
    if (!line.starts_with("PORT ")) {
        Stop();
        throw std::runtime_error("SMTP-Testserver startet nicht: " + line);
    }
    FPort = std::stoi(line.substr(5));
}

TLocalSmtpServer::~TLocalSmtpServer() { Stop(); }

void TLocalSmtpServer::Stop() {
    if (FInput >= 0) close(FInput);
    FInput = -1;
    if (FPid > 0) {
        for (int i = 0; i < 50; ++i) {
            if (waitpid(FPid, nullptr, WNOHANG) == FPid) {
                FPid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
        FPid = -1;
    }
}

std::vector<TSmtpDelivery> TLocalSmtpServer::Mails() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FSpool.Path()))
        if (entry.path().extension() == ".json") names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    std::vector<TSmtpDelivery> mails;
    for (const std::string& name : names) {
        const nlohmann::json j = nlohmann::json::parse(ReadFileBytes(name));
        TSmtpDelivery m;
        m.File = name.substr(0, name.size() - 5) + ".eml";
        m.From = j["from"].get<std::string>();
        m.To = j["to"].get<std::vector<std::string>>();
        m.Dropped = j["kind"] == "dropped";
        mails.push_back(std::move(m));
    }
    return mails;
}

std::string TLocalSmtpServer::Summary(const std::string& mailFile, const std::string& outDir) {
    std::string output;
    const int rc = RunCommand(Python() + " " + Quoted(CombinePath(SourceDir(), "tests/app/mime_summary.py")) + " " +
                                  Quoted(mailFile) + " " + Quoted(outDir) + " 2>/dev/null",
                              output);
    if (rc != 0) throw std::runtime_error("mime_summary: " + output);
    return output;
}

} // namespace velkaro::test
