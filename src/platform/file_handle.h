#pragma once
// Owns a POSIX file descriptor and closes it on every path.
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace velkaro {

class TFileHandle {
public:
    explicit TFileHandle(int fd = -1) : FFd(fd) {}
    ~TFileHandle() { Close(); }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    // Takes over the other's descriptor; its own is closed first.
    TFileHandle& operator=(TFileHandle&& other) noexcept {
        if (this != &other) {
            Close();
            FFd = other.FFd;
            other.FFd = -1;
        }
        return *this;
    }

    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    // Closes now. False (errno set) when closing reports an error: for a file just
    // written that can mean lost data.
    bool Close() {
        if (FFd < 0) return true;
        int fd = FFd;
        FFd = -1;
        return ::close(fd) == 0;
    }

private:
    int FFd;
};

// Writes all of `bytes`, going on after a write that was interrupted or took only a
// part. False, with errno set (EIO for a write that took nothing), when it fails.
inline bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

} // namespace velkaro
