#include "platform/secret_input.h"

#include <cerrno>
#include <csignal>
#include <termios.h>
#include <unistd.h>

#include "platform/file_handle.h"

namespace velkaro {

namespace {

// Echo off for as long as it lives; restored also when reading fails.
class TNoEcho {
public:
    explicit TNoEcho(int fd) : FFd(fd) {
        if (tcgetattr(fd, &FSaved) != 0) return;
        termios quiet = FSaved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        FActive = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    }
    ~TNoEcho() {
        if (FActive) tcsetattr(FFd, TCSAFLUSH, &FSaved);
    }
    TNoEcho(const TNoEcho&) = delete;
    TNoEcho& operator=(const TNoEcho&) = delete;

private:
    int FFd;
    termios FSaved{};
    bool FActive = false;
};

extern "C" void IgnoreForRead(int) {}

// Ctrl+C (or a stop signal) while typing ends the reading, so that the terminal gets its
// echo back before the process goes on or ends; the program's own handlers would let the
// read resume and a second Ctrl+C would leave the terminal silent.
class TInterruptibleRead {
public:
    TInterruptibleRead() {
        struct sigaction action {};
        action.sa_handler = IgnoreForRead;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: read() returns EINTR
        sigaction(SIGINT, &action, &FInt);
        sigaction(SIGTERM, &action, &FTerm);
    }
    ~TInterruptibleRead() {
        sigaction(SIGINT, &FInt, nullptr);
        sigaction(SIGTERM, &FTerm, nullptr);
    }
    TInterruptibleRead(const TInterruptibleRead&) = delete;
    TInterruptibleRead& operator=(const TInterruptibleRead&) = delete;

private:
    struct sigaction FInt {}, FTerm {};
};

} // namespace

std::optional<std::string> ReadSecretLine(int fd, const std::string& prompt) {
    std::optional<TInterruptibleRead> interruptible;
    std::optional<TNoEcho> noEcho;
    if (isatty(fd)) {
        WriteAll(STDERR_FILENO, prompt);
        interruptible.emplace();
        noEcho.emplace(fd);
    }
    std::string line;
    // Byte by byte: nothing after the line is taken from the input.
    for (;;) {
        char c = 0;
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR && !interruptible) continue;
        if (n < 0) {  // on a terminal also Ctrl+C: what follows starts on a line of its own
            if (interruptible) WriteAll(STDERR_FILENO, "\n");
            return std::nullopt;
        }
        if (n == 0 || c == '\n') break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

} // namespace velkaro
