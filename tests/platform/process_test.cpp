// Running a helper program and collecting its output.
#include <gtest/gtest.h>

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
