#pragma once
// Helpers shared by the test suites.
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace velkaro::test {

// The whole process in the German locale (decimal comma), as a window toolkit sets it
// from the user's environment; the previous locale comes back at the end of the scope.
// Installed() is false when the machine has no German locale.
class GermanLocale {
public:
    GermanLocale();
    ~GermanLocale();
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;
    bool Installed() const { return FInstalled; }

private:
    std::string FSaved;
    bool FInstalled = false;
};

// A fresh folder below the system's temporary folder, removed with everything in it
// when the object goes out of scope. Path() ends with "/".
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return FPath; }
    std::string File(const std::string& name) const { return FPath + name; }

private:
    std::string FPath;
};

// Sets (or, with nullptr, unsets) an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string FName;
    std::string FOld;
    bool FHadOld = false;
};

// The message of the velkaro::Exception that f raises; "" when it raises none.
std::string ErrorOf(const std::function<void()>& f);
// ErrorOf, but as the unprivileged user "nobody" in a child process when the test runs as
// root, who may read and write every file: tests of denied access then hold under CI too.
// Without root, f runs here. Raises std::runtime_error when the child cannot drop root.
std::string ErrorOfUnprivileged(const std::function<void()>& f);

// Path of a fixture file below tests/data.
std::string TestDataPath(const std::string& relative);

// The processor time `f` took, in seconds: unlike the time on the clock it does not grow
// when other programs keep the machine busy, so a bound on it holds on a loaded CI host.
double CpuSecondsOf(const std::function<void()>& f);
// How much longer the CPU-time bounds of those guards against quadratic work may take in
// a sanitizer build, which runs many times slower.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr double kCpuBoundFactor = 20.0;
#else
inline constexpr double kCpuBoundFactor = 1.0;
#endif

// A whole GIF picture of one pixel in the given colour: pictures of different colours
// are different files that every decoder reads.
std::string OnePixelGif(unsigned char r, unsigned char g, unsigned char b);
// Root of the source tree (for demo data and validation scripts).
std::string SourceDir();

// A test whose prerequisite is missing (a tool, a locale, a font, the built program)
// skips, but fails under CI, so that CI never goes green by skipping. Used like
// GTEST_SKIP(), with the reason streamed:
//     if (!CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
// Like GTEST_SKIP() it returns from the current function only.
#define VELKARO_SKIP_UNLESS_CI() \
    return GTEST_MESSAGE_(::velkaro::test::MissingPrerequisiteNote(), ::velkaro::test::MissingPrerequisiteResult())

// CI counts as set when the environment variable CI holds anything but "", "0" or
// "false" (any letter case).
bool RunningUnderCi();
// kFatalFailure under CI, else kSkip.
::testing::TestPartResult::Type MissingPrerequisiteResult();
// What precedes the reason: under CI a note that the skip became a failure, else nothing.
const char* MissingPrerequisiteNote();

// Whether a program of that name is on PATH.
bool CommandExists(const std::string& name);
// Runs a shell command; returns its exit code (-1 when it did not end normally) and puts
// stdout and stderr into `output`.
int RunCommand(const std::string& command, std::string& output);

} // namespace velkaro::test
