#include "src/QuillmarkHelper/HelperLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/SystemLog.h"

namespace {

constexpr int kRetryMs = 10;

// Our own regular file that nobody else may open: flock needs only a
// descriptor, so a lock another user could even read would let them stall
// every request.
bool isPrivateFile(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
           (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

}  // namespace

std::optional<HelperLock> HelperLock::acquire(const std::string& path,
                                              descriptor_io::Clock::time_point deadline) {
    UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600));
    if (!fd.valid() || !isPrivateFile(fd.get())) {
        SystemLog::error("lock file refused: " + path);
        return std::nullopt;
    }
    while (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            SystemLog::error("cannot lock " + path);
            return std::nullopt;
        }
        if (descriptor_io::Clock::now() >= deadline) {
            SystemLog::error("gave up waiting for " + path);
            return std::nullopt;
        }
        poll(nullptr, 0, kRetryMs);
    }
    return HelperLock(std::move(fd));
}
