#include "platform/IniFileLock.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <utility>

namespace fs = std::filesystem;

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

using Shape = IniFileLock::Shape;
using Result = IniFileLock::Result;

constexpr int kOpenFlags = O_RDWR | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
constexpr const char* kSetRight = "a write by the file's owner or by root sets it right";
constexpr const char* kNotEmpty = "is not an empty lock file; remove it";

struct flock wholeFile(short type = F_WRLCK) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

// Whether an open file description lock on the whole file was taken: a
// lock of the description, so that two threads of one process exclude
// each other too, and closing the descriptor releases it.
bool tryLock(int fd, bool& failed, short type = F_WRLCK) {
    struct flock lock = wholeFile(type);
    while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        if (errno != EINTR) {
            failed = errno != EAGAIN && errno != EACCES;
            return false;
        }
    }
    return true;
}

// Whether another writer holds the file's own lock; readers hold read
// locks, and this writer's own lock is no conflict.
bool writerHolds(int fd) {
    struct flock probe = wholeFile();
    return ::fcntl(fd, F_OFD_GETLK, &probe) != 0 || probe.l_type == F_WRLCK;
}

// A waiter in the kernel's queue for a lock, on a thread of its own that
// is cancelled at the caller's deadline. The thread keeps nothing on its
// stack: the cancel unwinds its frame.
struct Waiter {
    int fd;
    struct flock lock;
    bool locked;
};

void* waitForLock(void* argument) {
    auto* waiter = static_cast<Waiter*>(argument);
    while (::fcntl(waiter->fd, F_OFD_SETLKW, &waiter->lock) != 0) {
        if (errno != EINTR) {
            return nullptr;
        }
    }
    waiter->locked = true;
    return nullptr;
}

// Waiters blocked in the kernel are woken in the order they came, where
// waiters that poll are passed over by whoever asks at the right moment.
// Nothing when no thread could be started.
std::optional<bool> waitInTurn(int fd, IniFileLock::Clock::time_point deadline, short type) {
    Waiter waiter{fd, wholeFile(type), false};
    // The thread takes none of the host's signals.
    sigset_t all{};
    sigset_t before{};
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &before);
    pthread_t thread{};
    const int started = ::pthread_create(&thread, nullptr, waitForLock, &waiter);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (started != 0) {
        return std::nullopt;
    }
    // The steady clock is the monotonic one.
    const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::max(deadline, IniFileLock::Clock::now()).time_since_epoch());
    const timespec at{static_cast<time_t>(since.count() / 1000000000),
                      static_cast<long>(since.count() % 1000000000)};
    if (::pthread_clockjoin_np(thread, nullptr, CLOCK_MONOTONIC, &at) != 0) {
        ::pthread_cancel(thread);
        ::pthread_join(thread, nullptr);
    }
    return waiter.locked;
}

bool groupMatters(const Shape& shape) {
    return (shape.mode & S_IRWXG) != 0 || !shape.acl.empty();
}

bool shaped(int fd, const struct stat& status, const Shape& shape) {
    return S_ISREG(status.st_mode) && status.st_uid == shape.owner &&
           (status.st_mode & 07777) == shape.mode &&
           (!groupMatters(shape) || status.st_gid == shape.group) && accessAcl(fd) == shape.acl;
}

// Gives the lock file open on `fd` its shape; only an empty lock file of
// one name, or a new one of none, is reshaped: content or a second name
// could make it someone's other file.
bool giveShape(int fd, const Shape& shape, nlink_t names) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_nlink != names) {
        return false;
    }
    if (shaped(fd, status, shape)) {
        return true;
    }
    if (status.st_size != 0) {
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
    return acl && ::fchmod(fd, shape.mode) == 0 && ::fstat(fd, &status) == 0 &&
           shaped(fd, status, shape);
}

// Whether `name` in `folder` still leads to the file open on `fd`, that is
// its only name, and it is the ini file's owner's.
bool stillNamed(int folder, const std::string& name, int fd, uid_t owner) {
    struct stat named {};
    struct stat held {};
    return ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(fd, &held) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino &&
           held.st_nlink == 1 && held.st_uid == owner;
}

// Whether the file under the lock file's name is none of the ini file's
// owner's: whoever made it, writer or not, could hold it.
bool foreign(const struct stat& status, uid_t owner) {
    return !S_ISREG(status.st_mode) || status.st_uid != owner;
}

// Lock files stay empty: anything else under the name is someone's file.
bool emptyFile(const struct stat& status) {
    return S_ISREG(status.st_mode) && status.st_size == 0;
}

// Whether there is no lock file any writer takes: none under its name (or
// no such name, the file's own being as long as a name can be), or a
// foreign one.
bool noLockFile(int folder, const std::string& name, uid_t owner) {
    struct stat status {};
    if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT || errno == ENAMETOOLONG;
    }
    return foreign(status, owner);
}

// A folder seen read-only here may be writable elsewhere (a bind mount):
// the writers there take its lock file all the same.
bool readOnly(int folder) {
    struct statvfs system {};
    return ::fstatvfs(folder, &system) == 0 && (system.f_flag & ST_RDONLY) != 0;
}

enum class Made { Yes, Taken, WriterIn, No };

#ifdef MORVANEX_TEST_HOOKS
// Tests hold a writer between its first look at the file's own lock and
// the naming of its lock file, until they write to this FIFO.
void waitAtGate() {
    static bool passed = false;
    const char* gate = ::secure_getenv("MORVANEX_TEST_LOCK_FILE_GATE");
    if (gate != nullptr && !std::exchange(passed, true)) {
        UniqueFd fifo(::open(gate, O_RDONLY | O_CLOEXEC));
        char byte = 0;
        while (fifo.valid() && ::read(fifo.get(), &byte, 1) < 0 && errno == EINTR) {
        }
    }
}
#endif

// A new lock file, locked and shaped before it has its name, so that no
// writer takes it first or finds it leaving it out; named only while no
// writer holds the file's own lock. A writer may take that lock between the
// look and the naming, finding no lock file: the name goes again, and the
// new lock file comes after that writer.
Made makeLockFile(int folder, const std::string& name, const Shape& shape, int data,
                  UniqueFd& made) {
    UniqueFd fd(::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    bool failed = false;
    if (!fd.valid() || !giveShape(fd.get(), shape, 0) || !tryLock(fd.get(), failed)) {
        return Made::No;
    }
    if (writerHolds(data)) {
        return Made::WriterIn;
    }
#ifdef MORVANEX_TEST_HOOKS
    waitAtGate();
#endif
    if (!descriptor_io::linkUnnamed(fd.get(), folder, name.c_str())) {
        return errno == EEXIST ? Made::Taken : Made::No;
    }
    if (writerHolds(data)) {
        if (stillNamed(folder, name, fd.get(), shape.owner)) {
            ::unlinkat(folder, name.c_str(), 0);
        }
        return Made::WriterIn;
    }
    made = std::move(fd);
    return Made::Yes;
}

}  // namespace

// One writer's way to the lock of one file.
struct IniFileLock::Taking {
    int folder;
    std::string lockName;
    std::string shown;  // the lock file's path, for messages
    std::string path;
    int data;
    Shape shape;
    bool mayShape;  // root or the file's owner
    bool onData;    // the file's own lock is wanted too
    Clock::time_point deadline;
    std::optional<IniFileLock>& lock;
    std::string& why;

    Result refuse(std::string reason) {
        why = std::move(reason);
        return Result::Refused;
    }
    Result cannotLock(const std::string& reason) {
        return refuse("cannot lock " + path + ": " + shown + " " + reason);
    }
    // What stands under the lock file's name, not followed.
    bool named(struct stat& status) const {
        return ::fstatat(folder, lockName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    }
    // A lock file of the wrong shape that this writer may not set right:
    // the owner and root set it right, unless it has content, which they
    // refuse too.
    Result cannotTake(const std::string& wrong) {
        struct stat status {};
        const bool content = named(status) && !emptyFile(status);
        return cannotLock(content ? kNotEmpty : wrong + "; " + kSetRight);
    }

    // The lock file open on `fd`, locked: the lock while its name leads to it.
    Result hold(UniqueFd fd) {
        if (!stillNamed(folder, lockName, fd.get(), shape.owner)) {
            return Result::Moved;
        }
        if (onData && !onFile(data, deadline)) {
            return refuse("gave up waiting for the lock on " + path);
        }
        lock = IniFileLock(std::move(fd), onData);
        return Result::Locked;
    }

    // What stands under the lock file's name without being the lock goes
    // where this writer may remove it, an empty file, only while it holds
    // the file's own lock: no writer makes a lock file meanwhile.
    void removeForeign() const {
        struct stat status {};
        if (named(status) && emptyFile(status) && foreign(status, shape.owner)) {
            ::unlinkat(folder, lockName.c_str(), 0);
        }
    }

    // Root or the owner, with a lock file it cannot set right: the lock
    // file goes (once its holder is done, where this writer may lock it),
    // and one of the right shape, or none, takes its place.
    Result replace(UniqueFd old) {
        struct stat status {};
        struct stat held {};
        if (!named(status) ||
            (old.valid() && (::fstat(old.get(), &held) != 0 || held.st_dev != status.st_dev ||
                             held.st_ino != status.st_ino))) {
            return Result::Moved;
        }
        // One with content is not ours to remove.
        if (!emptyFile(status)) {
            return cannotLock(kNotEmpty);
        }
        if (::unlinkat(folder, lockName.c_str(), 0) != 0) {
            if (old.valid() && status.st_nlink == 1) {
                return hold(std::move(old));
            }
            const std::string reason = std::strerror(errno);
            return cannotLock("can be neither set right nor replaced (" + reason + ")" +
                              (::geteuid() == 0 ? "" : "; a write by root sets it right"));
        }
        return withoutLockFile();
    }

    // A lock file nobody here can open for writing is held for reading:
    // that keeps out every writer holding it elsewhere, and the file's own
    // lock keeps out the writers here.
    Result forReading() {
        UniqueFd fd(::openat(folder, lockName.c_str(),
                             O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        struct stat held {};
        if (!fd.valid()) {
            const int error = errno;
            if (error == ENOENT || error == ELOOP) {
                return withoutLockFile();
            }
            return error == EACCES
                       ? cannotTake("does not let this user take it")
                       : cannotLock(std::string("cannot be opened: ") + std::strerror(error));
        }
        if (::fstat(fd.get(), &held) != 0 || foreign(held, shape.owner)) {
            return withoutLockFile();
        }
        if (held.st_nlink != 1) {
            return cannotTake("has a second name");
        }
        if (!onFile(fd.get(), deadline, true)) {
            return refuse("gave up waiting for " + shown);
        }
        if (!stillNamed(folder, lockName, fd.get(), shape.owner)) {
            return Result::Moved;
        }
        if (!onFile(data, deadline)) {
            return refuse("gave up waiting for the lock on " + path);
        }
        lock = IniFileLock(std::move(fd), true, true);
        return Result::Locked;
    }

    // No lock file: one is made where this writer can give it its shape,
    // else the file's own lock is the lock.
    Result withoutLockFile() {
        bool failed = false;
        bool dataLocked = tryLock(data, failed);
        while (mayShape) {
            struct stat status {};
            if (named(status) && foreign(status, shape.owner)) {
                if (!dataLocked && !onFile(data, deadline)) {
                    return refuse("gave up waiting for the lock on " + path);
                }
                dataLocked = true;
                removeForeign();
            }
            UniqueFd made;
            const Made result = makeLockFile(folder, lockName, shape, data, made);
            if (result == Made::Yes) {
                // The file's own lock may have been free only for the look:
                // writers through the file's other names take it too.
                if (onData && !dataLocked && !onFile(data, deadline)) {
                    return refuse("gave up waiting for the lock on " + path);
                }
                lock = IniFileLock(std::move(made), dataLocked || onData);
                return Result::Locked;
            }
            if (result == Made::Taken && !noLockFile(folder, lockName, shape.owner)) {
                return Result::Moved;
            }
            if (result != Made::WriterIn || dataLocked) {
                break;
            }
            // A writer under the file's own lock: a lock file comes after it.
            if (!onFile(data, deadline)) {
                return refuse("gave up waiting for the lock on " + path);
            }
            dataLocked = true;
        }
        if (!dataLocked && !onFile(data, deadline)) {
            return refuse("gave up waiting for the lock on " + path);
        }
        if (!noLockFile(folder, lockName, shape.owner)) {
            return Result::Moved;
        }
        lock = IniFileLock(UniqueFd(), true);
        return Result::Locked;
    }
};

IniFileLock::Shape IniFileLock::shapeFor(int fd, const struct stat& status) {
    Shape shape;
    shape.owner = status.st_uid;
    shape.group = status.st_gid;
    shape.mode = S_IRUSR | S_IWUSR | ((status.st_mode & S_IWGRP) != 0 ? S_IRGRP | S_IWGRP : 0) |
                 ((status.st_mode & S_IWOTH) != 0 ? S_IROTH | S_IWOTH : 0);
    shape.acl = lockAcl(accessAcl(fd));
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

bool IniFileLock::onFile(int fd, Clock::time_point deadline, bool shared) {
    const short type = shared ? F_RDLCK : F_WRLCK;
    bool failed = false;
    if (tryLock(fd, failed, type)) {
        return true;
    }
    if (failed) {
        return false;
    }
    if (const std::optional<bool> waited = waitInTurn(fd, deadline, type)) {
        return *waited;
    }
    for (int pauseMs = 1; Clock::now() < deadline;) {
        backOff(pauseMs);
        if (tryLock(fd, failed, type)) {
            return true;
        }
        if (failed) {
            return false;
        }
    }
    return false;
}

// The file's own lock is the one every name of the file shares.
bool IniFileLock::ownLockWanted(int data, const struct stat& status) {
    return readersMayWrite(data, status) || status.st_nlink > 1;
}

IniFileLock::Result IniFileLock::take(int folder, const std::string& name, const fs::path& path,
                                      int data, const struct stat& status,
                                      Clock::time_point deadline, std::optional<IniFileLock>& lock,
                                      std::string& why) {
    const uid_t self = ::geteuid();
    Taking taking{folder,
                  name + ".lock",
                  (path.parent_path() / (name + ".lock")).string(),
                  path.string(),
                  data,
                  shapeFor(data, status),
                  self == 0 || status.st_uid == self,
                  ownLockWanted(data, status),
                  deadline,
                  lock,
                  why};
    if (noLockFile(folder, taking.lockName, status.st_uid)) {
        return taking.withoutLockFile();
    }
    if (readOnly(folder)) {
        return taking.forReading();
    }
    UniqueFd fd(::openat(folder, taking.lockName.c_str(), kOpenFlags));
    if (!fd.valid()) {
        const int error = errno;
        if (error == EROFS) {
            return taking.forReading();
        }
        if (noLockFile(folder, taking.lockName, status.st_uid)) {
            return taking.withoutLockFile();
        }
        if (error != EACCES && error != EPERM) {
            return taking.cannotLock(std::string("cannot be opened: ") + std::strerror(error));
        }
        if (!taking.mayShape) {
            return taking.cannotTake("does not let this user take it");
        }
        return taking.replace(UniqueFd());
    }
    struct stat held {};
    if (::fstat(fd.get(), &held) != 0 || foreign(held, status.st_uid)) {
        return taking.withoutLockFile();
    }
    const bool right =
        held.st_nlink == 1 && (!taking.mayShape || giveShape(fd.get(), taking.shape, 1));
    if (!right && !taking.mayShape) {
        return taking.cannotTake("has a second name");
    }
    if (!onFile(fd.get(), deadline)) {
        return taking.refuse("gave up waiting for " + taking.shown);
    }
    return right ? taking.hold(std::move(fd)) : taking.replace(std::move(fd));
}

IniFileLock::Result IniFileLock::forNewFile(int folder, const std::string& name,
                                            const fs::path& path, Clock::time_point deadline,
                                            std::optional<IniFileLock>& lock, std::string& why) {
    const std::string lockName = name + ".lock";
    const Shape own{::geteuid(), ::getegid(), 0600, {}};
    UniqueFd fd(::openat(folder, lockName.c_str(), kOpenFlags | O_CREAT, 0600));
    if (!fd.valid() || !giveShape(fd.get(), own, 1)) {
        why = "cannot make a lock file beside " + path.string();
        return Result::Refused;
    }
    if (!onFile(fd.get(), deadline)) {
        why = "gave up waiting for " + (path.parent_path() / lockName).string();
        return Result::Refused;
    }
    if (!stillNamed(folder, lockName, fd.get(), own.owner)) {
        return Result::Moved;
    }
    lock = IniFileLock(std::move(fd), false);
    return Result::Locked;
}

bool IniFileLock::keep(int data, const struct stat& status, Clock::time_point deadline) {
    struct stat held {};
    if (!file_.valid() || ::fstat(file_.get(), &held) != 0 || held.st_uid != status.st_uid) {
        return false;
    }
    onData_ = shared_ || ownLockWanted(data, status);
    return !onData_ || onFile(data, deadline);
}

bool IniFileLock::cover(int data, struct stat& status, Clock::time_point deadline) {
    if (onData_ || status.st_nlink <= 1) {
        return true;
    }
    onData_ = onFile(data, deadline);
    return onData_ && ::fstat(data, &status) == 0;
}

bool IniFileLock::stillHeld(int folder, const std::string& name, uid_t owner) const {
    const std::string lockName = name + ".lock";
    return (file_.valid() && stillNamed(folder, lockName, file_.get(), owner)) ||
           (onData_ && noLockFile(folder, lockName, owner));
}
