#include "platform/IniFileLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr int kLongestPauseMs = 10;

// Whether an open file description lock on the whole file was taken: a
// lock of the description, so that two threads of one process exclude
// each other too, and closing the descriptor releases it.
bool tryLock(int fd, bool& failed) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        if (errno != EINTR) {
            failed = errno != EAGAIN && errno != EACCES;
            return false;
        }
    }
    return true;
}

// A regular file of one name only, of root or the owner, that nobody else
// may open.
bool isPrivate(int fd, uid_t owner) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1 &&
           (status.st_uid == 0 || status.st_uid == owner) &&
           (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

}  // namespace

bool IniFileLock::onFile(int fd, Clock::time_point deadline) {
    int pauseMs = 1;
    for (;;) {
        bool failed = false;
        if (tryLock(fd, failed)) {
            return true;
        }
        if (failed || Clock::now() >= deadline) {
            return false;
        }
        ::poll(nullptr, 0, pauseMs);
        pauseMs = std::min(pauseMs * 2, kLongestPauseMs);
    }
}

IniFileLock::Result IniFileLock::onLockFile(int folder, const std::string& name, uid_t owner,
                                            Clock::time_point deadline,
                                            std::optional<IniFileLock>& lock, std::string& why) {
    const std::string lockName = name + ".lock";
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    UniqueFd fd(::openat(folder, lockName.c_str(), kFlags | O_CREAT | O_EXCL, 0600));
    if (fd.valid()) {
        // Made by root for another's file: that owner must be able to lock it too.
        if (owner != ::geteuid() && ::fchown(fd.get(), owner, static_cast<gid_t>(-1)) != 0) {
            why = "cannot give " + lockName + " to the file's owner";
            return Result::Refused;
        }
    } else if (errno == EEXIST) {
        fd.reset(::openat(folder, lockName.c_str(), kFlags));
    }
    if (!fd.valid()) {
        return errno == ELOOP ? (why = lockName + " is a symbolic link", Result::Refused)
                              : Result::Unavailable;
    }
    if (!isPrivate(fd.get(), owner)) {
        why = lockName + " is not a private file of root or of the file's owner";
        return Result::Refused;
    }
    if (!onFile(fd.get(), deadline)) {
        why = "gave up waiting for " + lockName;
        return Result::Refused;
    }
    lock = IniFileLock(std::move(fd));
    return Result::Locked;
}
