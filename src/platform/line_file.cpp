#include "platform/line_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>

#include "platform/error.h"
#include "platform/files.h"

namespace velkaro {

namespace {

// Creates a new empty file in place of the symbolic link at `path`: a fresh file beside it
// renamed over the link, so that the link's target is never opened. -1 (errno set) when
// that fails.
int ReplaceLinkByNewFile(const std::string& path) {
    const std::string folder = ExtractFilePath(path);
    std::random_device rd;
    const std::string temp = folder + AtomicWriteTempName(ExtractFileName(path), rd());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kOwnDataFileMode);
    if (fd < 0) return -1;
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        errno = err;
        return -1;
    }
    return fd;
}

} // namespace

TLineFile::TLineFile(const std::string& path) : FPath(path) {
    // Never through a symbolic link the program did not make: a link in the state folder
    // or a result file named by a link would else let a run as root write elsewhere.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, kOwnDataFileMode);
    if (fd < 0 && errno == ELOOP) fd = ReplaceLinkByNewFile(path);
    if (fd >= 0) {
        FFile = ::fdopen(fd, "wb");
        if (!FFile) ::close(fd);
    }
    if (!FFile)
        throw Exception(OsErrorMessage("Datei \"" + path + "\" kann nicht angelegt werden", errno));
    try {
        Put(kUtf8Bom);
    } catch (...) {
        std::fclose(FFile);
        throw;
    }
}

TLineFile::~TLineFile() {
    if (FFile)
        std::fclose(FFile);
}

void TLineFile::WriteLine(const std::string& text) {
    Put(text + "\r\n");
}

void TLineFile::Put(std::string_view bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), FFile) != bytes.size() || std::fflush(FFile) != 0)
        throw Exception(OsErrorMessage("Datei \"" + FPath + "\" kann nicht geschrieben werden", errno));
}

void RotateFileGenerations(const std::string& path, int keep) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (int n = keep; n >= 1; --n) {
        const std::string from = n == 1 ? path : path + "." + std::to_string(n - 1);
        if (!fs::exists(from, ec))
            continue;
        fs::rename(from, path + "." + std::to_string(n), ec);
        if (ec)
            throw Exception(OsErrorMessage("Datei \"" + from + "\" kann nicht umbenannt werden", ec));
    }
}

} // namespace velkaro
