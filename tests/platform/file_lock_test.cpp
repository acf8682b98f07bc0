#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>

#include "platform/file_lock.h"
#include "platform/files.h"
#include "support/test_support.h"

using namespace velkaro;
using velkaro::test::TempFolder;

namespace {

using namespace std::chrono_literals;

// Runs `body` in a child process and returns its exit code.
int InChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// The lock keeps out other processes (flock is per open file, so another process is the
// real test), and one that ended without unlocking leaves nothing behind.
TEST(FileLock, KeepsOutOtherProcessesUntilReleasedOrEnded) {
    TempFolder dir;
    const std::string path = dir.File("velkaro.lock");
    std::optional<TFileLock> lock(std::in_place, path);
    ASSERT_TRUE(lock->Acquire(0ms));
    EXPECT_TRUE(lock->Held());

    EXPECT_EQ(InChild([&] {
                  TFileLock other(path);
                  int waited = 0;
                  const bool got = other.Acquire(200ms, [&] { ++waited; });
                  return got ? 1 : waited == 1 ? 0 : 2;
              }),
              0)
        << "busy: the child waits, is told once, and gives up";

    lock.reset();
    EXPECT_EQ(InChild([&] { return TFileLock(path).Acquire(0ms) ? 0 : 1; }), 0) << "free after release";

    // A holder that dies without unlocking (as a crashed run would).
    EXPECT_EQ(InChild([&] {
                  TFileLock crashed(path);
                  if (!crashed.Acquire(0ms)) return 1;
                  _exit(0);
              }),
              0);
    TFileLock after(path);
    EXPECT_TRUE(after.Acquire(0ms)) << "no stale lock";
}

// The folder of a lock is made with it (an account's first run in its state folder);
// where none can be made, the error names the lock file.
TEST(FileLock, ALockFileThatCannotBeOpenedIsAGermanError) {
    TempFolder dir;
    EXPECT_TRUE(TFileLock(dir.File("neu/zustand/velkaro.lock")).Acquire(0ms));
    EXPECT_TRUE(FileExists(dir.File("neu/zustand/velkaro.lock")));
    WriteFileBytes(dir.File("datei"), "");
    const std::string error = test::ErrorOf([&] { TFileLock(dir.File("datei/velkaro.lock")); });
    EXPECT_EQ(error.rfind("Sperrdatei \"" + dir.File("datei/velkaro.lock") + "\" kann nicht geöffnet werden (", 0), 0u)
        << error;
}
