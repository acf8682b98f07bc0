// The shared test helpers that decide whether a test runs at all: a missing
// prerequisite skips, but fails under CI; denied access is tested as an unprivileged user.
#include <gmock/gmock.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
        EXPECT_FALSE(recorded.ReachedEnd) << "returns like GTEST_SKIP()";
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

} // namespace
} // namespace velkaro::test
