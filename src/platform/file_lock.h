#pragma once
// An exclusive advisory lock (flock) on a file that several processes agree on. The
// kernel drops it when the process ends, so a crashed holder never leaves it behind.
#include <chrono>
#include <functional>
#include <string>

namespace velkaro {

class TFileLock {
public:
    // Opens (and creates, with its folder) the lock file; does not lock yet. Raises when
    // the file cannot be opened.
    explicit TFileLock(const std::string& path);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // Takes the lock, waiting at most `wait` while another process holds it; false when
    // it was still held then, or at once when `stop` says so while waiting (a stop
    // signal). `onWait` is called once when the lock is busy at first.
    bool Acquire(std::chrono::milliseconds wait, const std::function<void()>& onWait = {},
                 const std::function<bool()>& stop = {});
    bool Held() const { return FHeld; }
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
    int FFd = -1;
    bool FHeld = false;
};

} // namespace velkaro
