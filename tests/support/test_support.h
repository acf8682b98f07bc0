#pragma once
// Helpers shared by the test suites.
#include <functional>
#include <string>

namespace velkaro::test {

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

// Path of a fixture file below tests/data.
std::string TestDataPath(const std::string& relative);
// Root of the source tree (for demo data and validation scripts).
std::string SourceDir();

// Whether a program of that name is on PATH.
bool CommandExists(const std::string& name);
// Runs a shell command; returns its exit code (-1 when it did not end normally) and puts
// stdout and stderr into `output`.
int RunCommand(const std::string& command, std::string& output);

} // namespace velkaro::test
