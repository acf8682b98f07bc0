// The per-process private folder for preview files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/private_temp.h"

using namespace velkaro;

namespace {

unsigned ModeOf(const std::string& path) {
    struct stat st{};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Runs `body` in a child process (the folder is made once per process) and returns
// what it wrote to the pipe, after the child has ended normally.
template <class Body>
std::string InChild(Body body) {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string text = body();
        (void)!::write(fds[1], text.data(), text.size());
        ::close(fds[1]);
        std::exit(0);  // static destructors run, as at a normal end of the program
    }
    ::close(fds[1]);
    std::string out;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return out;
}

} // namespace

TEST(PrivateTemp, OwnFolderUnderTheRuntimeFolderOnlyForItsOwnerAndGoneAtExit) {
    const std::string runtime = TempDir() + "velkaro-runtime-test-" + std::to_string(::getpid());
    std::filesystem::create_directories(runtime);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const std::string seen = InChild([] {
        const std::string file = WritePrivateTempFile("Vorschau.pdf", "%PDF");
        const std::string folder = PrivateTempFolder();
        char modes[64];
        std::snprintf(modes, sizeof modes, "|%o|%o", ModeOf(folder), ModeOf(file));
        return folder + "|" + file + modes + "|" + ReadFileBytes(file);
    });
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string folder = seen.substr(0, seen.find('|'));
    EXPECT_EQ(folder.rfind(runtime + "/velkaro-", 0), 0u) << seen;
    EXPECT_NE(seen.find("|" + folder + "/Vorschau.pdf|700|600|%PDF"), std::string::npos) << seen;
    EXPECT_FALSE(DirectoryExists(folder)) << "left behind: " << folder;
    std::filesystem::remove_all(runtime);
}

TEST(PrivateTemp, TwoProcessesGetTwoFoldersAndAnUnusableRuntimeFolderFallsBack) {
    ::setenv("XDG_RUNTIME_DIR", "/velkaro-gibt-es-nicht", 1);
    const std::string first = InChild([] { return PrivateTempFolder(); });
    const std::string second = InChild([] { return PrivateTempFolder(); });
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(first.rfind(TempDir() + "velkaro-", 0), 0u) << first;
    EXPECT_NE(first, second);
}

TEST(PrivateTemp, AChildThatEndsLeavesItsParentsFolder) {
    const std::string folder = InChild([] {
        const std::string mine = PrivateTempFolder();
        const std::string childSaw = InChild([] { return std::string("ok"); });
        return (DirectoryExists(mine) && childSaw == "ok") ? mine : std::string("weg");
    });
    EXPECT_NE(folder, "weg");
}
