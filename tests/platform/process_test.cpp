// Running a helper program and collecting its output.
#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/process.h"

using namespace velkaro;

TEST(Process, OutputOnlyWhenTheProgramSucceeds) {
    struct Case {
        std::vector<std::string> argv;
        std::optional<std::string> output;
    } cases[] = {
        {{"sh", "-c", "printf '[A]\\n'; printf 'x' >&2"}, "[A]\n"},  // error output is not collected
        {{"sh", "-c", "read x; echo \"<$x>\""}, "<>\n"},           // standard input is empty
        {{"sh", "-c", "echo teil; exit 3"}, std::nullopt},
        {{"velkaro-gibt-es-nicht"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadProgramOutput(c.argv), c.output) << (c.argv.empty() ? "" : c.argv.back());
    // More than a pipe holds at once.
    std::optional<std::string> big = ReadProgramOutput({"sh", "-c", "head -c 200000 /dev/zero"});
    ASSERT_TRUE(big);
    EXPECT_EQ(big->size(), 200000u);
}

// In a child of its own, so that the test program keeps its cores: afterwards no core
// file and no dumpable memory.
TEST(Process, CoreDumpsAreForbidden) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ForbidCoreDumps();
        struct rlimit core {};
        const bool ok = prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 && getrlimit(RLIMIT_CORE, &core) == 0 &&
                        core.rlim_cur == 0 && core.rlim_max == 0;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Running out of memory reads as a German sentence, any other error as it is.
TEST(Process, ErrorMessagesOfAllocationFailuresAreSentences) {
    EXPECT_EQ(ErrorMessage(std::bad_alloc()), kOutOfMemoryMessage);
    EXPECT_EQ(ErrorMessage(Exception("Datei fehlt.")), "Datei fehlt.");
    EXPECT_EQ(ErrorMessage(std::runtime_error("x")), "x");
}
