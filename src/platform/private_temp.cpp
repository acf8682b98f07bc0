#include "platform/private_temp.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/files.h"

namespace velkaro {
namespace {

namespace fs = std::filesystem;

bool IsUsableBase(const std::string& folder) {
    if (folder.empty() || folder.front() != '/') return false;
    struct stat st{};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string MakeFolderUnder(const std::string& base) {
    std::string pattern = CombinePath(base, "velkaro-XXXXXX");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    // mkdtemp creates the folder with mode 0700 whatever the umask says.
    if (::mkdtemp(buffer.data()) == nullptr)
        throw Exception(OsErrorMessage("Temporärer Ordner in \"" + base + "\" kann nicht angelegt werden", errno));
    return buffer.data();
}

// The folder of this process, removed when the process ends normally.
class TPrivateFolder {
public:
    const std::string& Path() {
        std::call_once(FOnce, [this] {
            const char* runtime = std::getenv("XDG_RUNTIME_DIR");
            const std::string base = runtime && IsUsableBase(runtime) ? std::string(runtime) : TempDir();
            FPath = MakeFolderUnder(base);
            FOwner = ::getpid();
        });
        return FPath;
    }
    ~TPrivateFolder() {
        // A forked child that inherited the object must not remove its parent's folder.
        if (FPath.empty() || FOwner != ::getpid()) return;
        std::error_code ignored;
        fs::remove_all(FPath, ignored);
    }

private:
    std::once_flag FOnce;
    std::string FPath;
    pid_t FOwner = 0;
};

TPrivateFolder& ProcessFolder() {
    static TPrivateFolder folder;
    return folder;
}

} // namespace

std::string PrivateTempFolder() { return ProcessFolder().Path(); }

std::string WritePrivateTempFile(const std::string& name, std::string_view bytes) {
    const std::string path = CombinePath(PrivateTempFolder(), name);
    WriteFileBytes(path, bytes, 0600);
    return path;
}

} // namespace velkaro
