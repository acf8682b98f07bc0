#include "platform/secret_input.h"

#include <cerrno>
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

} // namespace

std::optional<std::string> ReadSecretLine(int fd, const std::string& prompt) {
    std::optional<TNoEcho> noEcho;
    if (isatty(fd)) {
        WriteAll(STDERR_FILENO, prompt);
        noEcho.emplace(fd);
    }
    std::string line;
    // Byte by byte: nothing after the line is taken from the input.
    for (;;) {
        char c = 0;
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0 || c == '\n') break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

} // namespace velkaro
