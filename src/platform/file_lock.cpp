#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/error.h"
#include "platform/files.h"

namespace velkaro {

TFileLock::TFileLock(const std::string& path) : FPath(path) {
    // The state folder of an account's first run.
    // Where it cannot be made, opening the file below fails and names the lock file.
    try {
        if (const std::string folder = ExtractFilePath(path); !folder.empty()) ForceDirectories(folder);
    } catch (const std::exception&) {
    }
    // A link in its place is refused: following it would create or lock a file elsewhere.
    FFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, kOwnDataFileMode);
    if (FFd < 0)
        throw Exception(NoFollowErrorMessage("Sperrdatei \"" + path + "\" kann nicht geöffnet werden", errno));
}

TFileLock::~TFileLock() {
    if (FFd >= 0)
        ::close(FFd);  // closing releases the lock
}

bool TFileLock::Acquire(std::chrono::milliseconds wait, const std::function<void()>& onWait,
                        const std::function<bool()>& stop) {
    using TClock = std::chrono::steady_clock;
    const TClock::time_point until = TClock::now() + wait;
    bool told = false;
    for (;;) {
        if (::flock(FFd, LOCK_EX | LOCK_NB) == 0)
            return FHeld = true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            throw Exception(OsErrorMessage("Sperrdatei \"" + FPath + "\" kann nicht gesperrt werden", errno));
        if (TClock::now() >= until || (stop && stop()))
            return false;
        if (!told && onWait) {
            told = true;
            onWait();
        }
        // Polling keeps the wait bounded without a timer signal.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace velkaro
