#include "support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace velkaro::test {

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "velkaro-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    FPath = pattern + "/";
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(FPath, ec);
}

ScopedEnv::ScopedEnv(const std::string& name, const char* value) : FName(name) {
    if (const char* old = std::getenv(name.c_str())) {
        FHadOld = true;
        FOld = old;
    }
    if (value)
        setenv(name.c_str(), value, 1);
    else
        unsetenv(name.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (FHadOld)
        setenv(FName.c_str(), FOld.c_str(), 1);
    else
        unsetenv(FName.c_str());
}

std::string SourceDir() {
    if (const char* dir = std::getenv("VELKARO_SOURCE_DIR")) return dir;
    return VELKARO_SOURCE_DIR_DEFAULT;
}

std::string TestDataPath(const std::string& relative) { return SourceDir() + "/tests/data/" + relative; }

} // namespace velkaro::test
