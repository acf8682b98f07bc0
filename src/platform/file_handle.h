#pragma once
// Owns a POSIX file descriptor and closes it on every path.
#include <unistd.h>

namespace velkaro {

class TFileHandle {
public:
    explicit TFileHandle(int fd = -1) : FFd(fd) {}
    ~TFileHandle() { Close(); }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

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

} // namespace velkaro
