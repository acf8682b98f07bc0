// Reading the client secret: from a pipe as it comes, from a terminal without showing it.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "platform/file_handle.h"
#include "platform/secret_input.h"

using namespace velkaro;

namespace {
std::optional<std::string> ReadFromPipe(const std::string& input) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    TFileHandle readEnd(fds[0]), writeEnd(fds[1]);
    EXPECT_TRUE(WriteAll(writeEnd.Get(), input));
    writeEnd.Close();
    return ReadSecretLine(readEnd.Get(), "Secret: ");
}
} // namespace

TEST(SecretInput, FromAPipeTheFirstLine) {
    struct Case {
        std::string input;
        std::string secret;
    } cases[] = {
        {"abc~Def.123\n", "abc~Def.123"},
        {"abc\r\nzweite Zeile\n", "abc"},
        {"ohne Zeilenende", "ohne Zeilenende"},
        {" mit Leerzeichen \n", " mit Leerzeichen "},
        {"\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadFromPipe(c.input), c.secret) << c.input;
    EXPECT_EQ(ReadSecretLine(-1, ""), std::nullopt);
}

// On a terminal nothing typed is echoed, and the terminal is as it was afterwards.
TEST(SecretInput, OnATerminalTheSecretIsNotShown) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    TFileHandle m(master), s(slave);
    termios before{};
    ASSERT_EQ(tcgetattr(s.Get(), &before), 0);
    ASSERT_TRUE(before.c_lflag & ECHO);

    std::optional<std::string> read;
    std::thread reader([&] { read = ReadSecretLine(s.Get(), ""); });
    // Type only once echo is off: switching discards what was typed before.
    termios now{};
    for (int i = 0; i < 500; ++i) {
        ASSERT_EQ(tcgetattr(s.Get(), &now), 0);
        if (!(now.c_lflag & ECHO)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(now.c_lflag & ECHO);
    ASSERT_TRUE(WriteAll(m.Get(), "geheim42\n"));
    reader.join();
    EXPECT_EQ(read, "geheim42");

    // What the terminal shows: the line end only.
    std::string shown;
    pollfd p{m.Get(), POLLIN, 0};
    char buffer[256];
    while (poll(&p, 1, 100) > 0) {
        ssize_t n = ::read(m.Get(), buffer, sizeof buffer);
        if (n <= 0) break;
        shown.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(shown.find("geheim"), std::string::npos) << shown;
    termios after{};
    ASSERT_EQ(tcgetattr(s.Get(), &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
}
