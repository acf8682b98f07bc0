// The shared test helpers that decide whether a test runs at all: a missing
// prerequisite skips, but fails under CI; denied access is tested as an unprivileged user.
#include <gmock/gmock.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::TestPartResult;

struct TRecorded {
    std::vector<TestPartResult> Results;
    bool ReachedEnd = false;
};

// What a test with a missing tool reports, with CI as given (nullptr: unset).
TRecorded MissingToolWith(const char* ci) {
    TRecorded recorded;
    ::testing::TestPartResultArray results;
    {
        ScopedEnv env("CI", ci);
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        [&] {
            VELKARO_SKIP_UNLESS_CI() << "werkzeug fehlt (Paket werkzeug)";
            recorded.ReachedEnd = true;
        }();
    }
    for (int i = 0; i < results.size(); ++i) recorded.Results.push_back(results.GetTestPartResult(i));
    return recorded;
}

TEST(SkipUnlessCi, CiTurnsTheSkipIntoAFailureKeepingTheReason) {
    struct TCase {
        const char* Ci;
        bool Fails;
    };
    const TCase cases[] = {
        {nullptr, false}, {"", false},    {"0", false},   {"false", false},
        {"False", false}, {"1", true},    {"true", true}, {"yes", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Ci ? std::string("CI=\"") + c.Ci + "\"" : std::string("CI nicht gesetzt"));
        const TRecorded recorded = MissingToolWith(c.Ci);
        EXPECT_FALSE(recorded.ReachedEnd) << "returns like VELKARO_SKIP_UNLESS_CI()";
        ASSERT_EQ(recorded.Results.size(), 1u);
        const TestPartResult& result = recorded.Results[0];
        EXPECT_EQ(result.type(), c.Fails ? TestPartResult::kFatalFailure : TestPartResult::kSkip);
        EXPECT_THAT(result.message(), HasSubstr("werkzeug fehlt (Paket werkzeug)"));
        if (c.Fails) {
            EXPECT_THAT(result.message(), HasSubstr("CI ist gesetzt"));
        }
    }
}

TEST(ErrorOfUnprivileged, ReportsTheErrorOfADeniedReadEvenForRoot) {
    TempFolder folder;
    const std::string locked = folder.File("gesperrt.txt");
    WriteFileBytes(locked, "geheim");
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
    EXPECT_THAT(ErrorOfUnprivileged([&] { ReadFileBytes(locked); }), HasSubstr("gesperrt.txt"));
    // A readable file raises nothing, and the message of a raised error comes back whole.
    const std::string open = folder.File("offen.txt");
    WriteFileBytes(open, "frei");
    EXPECT_EQ(ErrorOfUnprivileged([&] { ReadFileBytes(open); }), "");
    EXPECT_EQ(ErrorOfUnprivileged([] { throw Exception("Fehler mit Ümlaut"); }), "Fehler mit Ümlaut");
}

// Every test that can skip must go through the helper, or CI passes by skipping it.
TEST(SkipUnlessCi, NoTestSkipsAroundTheHelper) {
    namespace fs = std::filesystem;
    const fs::path tests = fs::path(SourceDir()) / "tests";
    ASSERT_TRUE(fs::is_directory(tests)) << tests;
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(tests)) {
        const fs::path& path = entry.path();
        if (!entry.is_regular_file() || (path.extension() != ".cpp" && path.extension() != ".h")) continue;
        if (path.parent_path() == tests / "support") continue;
        std::istringstream text(ReadFileBytes(path.string()));
        std::string line;
        for (int number = 1; std::getline(text, line); ++number)
            if (line.find("GTEST_SKIP") != std::string::npos)
                found.push_back(fs::relative(path, tests).string() + ":" + std::to_string(number));
    }
    EXPECT_TRUE(found.empty()) << "GTEST_SKIP statt VELKARO_SKIP_UNLESS_CI in: " << ::testing::PrintToString(found);
}

} // namespace
} // namespace velkaro::test
