#include "support/test_support.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "platform/error.h"

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

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

std::string SourceDir() {
    if (const char* dir = std::getenv("VELKARO_SOURCE_DIR")) return dir;
    return VELKARO_SOURCE_DIR_DEFAULT;
}

std::string TestDataPath(const std::string& relative) { return SourceDir() + "/tests/data/" + relative; }

bool CommandExists(const std::string& name) {
    return std::system(("command -v '" + name + "' >/dev/null 2>&1").c_str()) == 0;
}

int RunCommand(const std::string& command, std::string& output) {
    output.clear();
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    if (!pipe) return -1;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe.get())) > 0) output.append(buf, n);
    int status = pclose(pipe.release());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace velkaro::test
