#include "platform/line_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/error.h"
#include "platform/files.h"

namespace velkaro {

TLineFile::TLineFile(const std::string& path) : FPath(path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kOwnDataFileMode);
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
