#include "platform/IniFileLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kLongestPauseMs = 10;
constexpr const char* kAccessAcl = "system.posix_acl_access";

// The stored form of an access ACL: a 4-byte version, then entries of a
// 2-byte tag, 2-byte permissions and 4-byte id.
constexpr size_t kAclHeader = 4;
constexpr size_t kAclEntry = 8;
constexpr uint16_t kUserObj = 0x01;
constexpr uint16_t kMask = 0x10;
constexpr uint16_t kOther = 0x20;
constexpr uint16_t kRead = 4;
constexpr uint16_t kWrite = 2;

struct AclEntry {
    uint16_t tag;
    uint16_t perm;
};

AclEntry entryAt(const std::string& acl, size_t at) {
    AclEntry entry{};
    std::memcpy(&entry.tag, acl.data() + at, sizeof entry.tag);
    std::memcpy(&entry.perm, acl.data() + at + sizeof entry.tag, sizeof entry.perm);
    return entry;
}

// The access ACL of the file open on `fd`, as stored; empty for none.
std::string accessAcl(int fd) {
    const ssize_t size = ::fgetxattr(fd, kAccessAcl, nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::string acl(static_cast<size_t>(size), '\0');
    const ssize_t read = ::fgetxattr(fd, kAccessAcl, acl.data(), acl.size());
    acl.resize(read > 0 ? static_cast<size_t>(read) : 0);
    return acl;
}

// Each entry that may write gets read and write, every other nothing; the
// file's owner always has both.
std::string lockAcl(std::string acl) {
    for (size_t at = kAclHeader; at + kAclEntry <= acl.size(); at += kAclEntry) {
        const AclEntry entry = entryAt(acl, at);
        const uint16_t perm =
            entry.tag == kUserObj || (entry.perm & kWrite) != 0 ? kRead | kWrite : 0;
        std::memcpy(acl.data() + at + sizeof entry.tag, &perm, sizeof perm);
    }
    return acl;
}

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

bool groupMatters(const IniFileLock::Shape& shape) {
    return (shape.mode & S_IRWXG) != 0 || !shape.acl.empty();
}

bool hasShape(int fd, const IniFileLock::Shape& shape) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1 &&
           status.st_uid == shape.owner && (status.st_mode & 07777) == shape.mode &&
           (!groupMatters(shape) || status.st_gid == shape.group) && accessAcl(fd) == shape.acl;
}

// Only a lock file of one name is reshaped: a second name could make it
// someone's other file.
bool giveShape(int fd, const IniFileLock::Shape& shape) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_nlink != 1) {
        return false;
    }
    const gid_t group = groupMatters(shape) ? shape.group : status.st_gid;
    if ((status.st_uid != shape.owner || status.st_gid != group) &&
        ::fchown(fd, shape.owner, group) != 0) {
        return false;
    }
    // The folder's default ACL may have given the new file one.
    const bool acl =
        shape.acl.empty()
            ? ::fremovexattr(fd, kAccessAcl) == 0 || errno == ENODATA || errno == EOPNOTSUPP
            : ::fsetxattr(fd, kAccessAcl, shape.acl.data(), shape.acl.size(), 0) == 0;
    return acl && ::fchmod(fd, shape.mode) == 0 && hasShape(fd, shape);
}

}  // namespace

IniFileLock::Shape IniFileLock::shapeFor(int fd, const struct stat& status) {
    Shape shape;
    shape.owner = status.st_uid;
    shape.group = status.st_gid;
    shape.mode = S_IRUSR | S_IWUSR | ((status.st_mode & S_IWGRP) != 0 ? S_IRGRP | S_IWGRP : 0) |
                 ((status.st_mode & S_IWOTH) != 0 ? S_IROTH | S_IWOTH : 0);
    shape.acl = lockAcl(accessAcl(fd));
    return shape;
}

IniFileLock::Shape IniFileLock::ownShape() {
    Shape shape;
    shape.owner = ::geteuid();
    shape.group = ::getegid();
    return shape;
}

bool IniFileLock::readersMayWrite(int fd, const struct stat& status) {
    const auto writes = [](unsigned perm) { return (perm & kRead) == 0 || (perm & kWrite) != 0; };
    const std::string acl = accessAcl(fd);
    if (acl.empty()) {
        return writes((status.st_mode >> 3) & 7) && writes(status.st_mode & 7);
    }
    uint16_t mask = kRead | kWrite;
    for (size_t at = kAclHeader; at + kAclEntry <= acl.size(); at += kAclEntry) {
        if (const AclEntry entry = entryAt(acl, at); entry.tag == kMask) {
            mask = entry.perm;
        }
    }
    for (size_t at = kAclHeader; at + kAclEntry <= acl.size(); at += kAclEntry) {
        const AclEntry entry = entryAt(acl, at);
        if (entry.tag != kUserObj && entry.tag != kMask &&
            !writes(entry.tag == kOther ? entry.perm : entry.perm & mask)) {
            return false;
        }
    }
    return true;
}

void IniFileLock::backOff(int& pauseMs) {
    ::poll(nullptr, 0, pauseMs);
    pauseMs = std::min(pauseMs * 2, kLongestPauseMs);
}

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
        backOff(pauseMs);
    }
}

IniFileLock::Result IniFileLock::onLockFile(int folder, const std::string& name, const Shape& shape,
                                            bool mayShape, Clock::time_point deadline,
                                            std::optional<IniFileLock>& lock, std::string& why) {
    const std::string lockName = name + ".lock";
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    UniqueFd fd(mayShape ? ::openat(folder, lockName.c_str(), kFlags | O_CREAT, 0600)
                         : ::openat(folder, lockName.c_str(), kFlags));
    if (!fd.valid() && errno == ELOOP) {
        why = lockName + " is a symbolic link";
        return Result::Refused;
    }
    if (!fd.valid() || !(hasShape(fd.get(), shape) || (mayShape && giveShape(fd.get(), shape)))) {
        why = lockName + " is missing or may be opened by others than the file's writers";
        return Result::Unavailable;
    }
    if (!onFile(fd.get(), deadline)) {
        why = "gave up waiting for " + lockName;
        return Result::Refused;
    }
    lock = IniFileLock(std::move(fd));
    return Result::Locked;
}
