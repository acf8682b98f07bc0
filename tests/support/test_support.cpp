#include "support/test_support.h"

#include <ctime>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "platform/error.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace velkaro::test {

GermanLocale::GermanLocale() {
    const char* old = std::setlocale(LC_ALL, nullptr);
    FSaved = old ? old : "C";
    FInstalled = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

GermanLocale::~GermanLocale() { std::setlocale(LC_ALL, FSaved.c_str()); }

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

std::string ErrorOfUnprivileged(const std::function<void()>& f) {
    if (geteuid() != 0) return ErrorOf(f);
    const passwd* nobody = getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        close(channel[0]);
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(3);
        std::string message;
        try {
            message = ErrorOf(f);
        } catch (...) {
            _exit(4);
        }
        const bool written = write(channel[1], message.data(), message.size()) == static_cast<ssize_t>(message.size());
        _exit(written ? 0 : 5);
    }
    close(channel[1]);
    std::string message;
    char buf[4096];
    ssize_t n;
    while ((n = read(channel[0], buf, sizeof buf)) > 0) message.append(buf, static_cast<size_t>(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("unprivileged child failed (status " + std::to_string(status) +
                                 "; 3: cannot become nobody, 4: other exception)");
    return message;
}

std::string SourceDir() {
    if (const char* dir = std::getenv("VELKARO_SOURCE_DIR")) return dir;
    return VELKARO_SOURCE_DIR_DEFAULT;
}

double CpuSecondsOf(const std::function<void()>& f) {
    const std::clock_t start = std::clock();
    f();
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

std::string OnePixelGif(unsigned char r, unsigned char g, unsigned char b) {
    std::string gif("GIF89a\x01\x00\x01\x00\x80\x00\x00", 13);  // 1 × 1, global palette of 2
    gif += static_cast<char>(r);
    gif += static_cast<char>(g);
    gif += static_cast<char>(b);
    gif += std::string("\x00\x00\x00"                                   // second colour
                       "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00"  // image descriptor
                       "\x02\x02\x44\x01\x00"                          // LZW data: pixel of colour 0
                       "\x3B",
                       19);
    return gif;
}

std::string TestDataPath(const std::string& relative) { return SourceDir() + "/tests/data/" + relative; }

bool RunningUnderCi() {
    const char* ci = std::getenv("CI");
    if (!ci) return false;
    const std::string_view value = ci;
    return !value.empty() && value != "0" && !SameText(value, "false");
}

::testing::TestPartResult::Type MissingPrerequisiteResult() {
    return RunningUnderCi() ? ::testing::TestPartResult::kFatalFailure : ::testing::TestPartResult::kSkip;
}

const char* MissingPrerequisiteNote() {
    return RunningUnderCi() ? "Voraussetzung fehlt; CI ist gesetzt, daher Fehler statt Überspringen:" : "";
}

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
