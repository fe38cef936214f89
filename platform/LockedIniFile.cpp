#include "platform/LockedIniFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <chrono>
#include <cstring>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kCopyLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// ".<name>.morvanex-copy-" and twelve letters: no person names a file so.
constexpr std::string_view kCopyMark = ".morvanex-copy-";
constexpr size_t kCopySuffix = 12;
constexpr int kTries = 16;
constexpr const char* kAccessAcl = "system.posix_acl_access";
// The inode flags a user or root sets (chattr); the others are the file
// system's own.
constexpr unsigned kSetFlags = FS_FL_USER_MODIFIABLE | FS_JOURNAL_DATA_FL | FS_NOCOMP_FL |
                               FS_NOCOW_FL | FS_DAX_FL | FS_PROJINHERIT_FL;

bool inGroup(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    std::vector<gid_t> groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    return std::find(groups.begin(), groups.begin() + std::max(count, 0), gid) !=
           groups.begin() + std::max(count, 0);
}

// The names of the file's extended attributes.
std::vector<std::string> attributeNames(int fd) {
    std::vector<std::string> names;
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    std::string list(static_cast<size_t>(std::max<ssize_t>(size, 0)), '\0');
    const ssize_t listed = size > 0 ? ::flistxattr(fd, list.data(), list.size()) : 0;
    list.resize(static_cast<size_t>(std::max<ssize_t>(listed, 0)));
    for (size_t at = 0; at < list.size();) {
        const size_t end = std::min(list.find('\0', at), list.size());
        names.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

// A copy carries what any writer may set on a file it owns: user
// attributes and the access ACL.
bool copyCarries(const std::string& attribute) {
    return attribute.starts_with("user.") || attribute == kAccessAcl;
}

bool copyAttribute(int from, int to, const std::string& name) {
    const ssize_t size = ::fgetxattr(from, name.c_str(), nullptr, 0);
    std::string value(static_cast<size_t>(std::max<ssize_t>(size, 0)), '\0');
    const ssize_t read = size > 0 ? ::fgetxattr(from, name.c_str(), value.data(), value.size()) : 0;
    return read >= 0 &&
           ::fsetxattr(to, name.c_str(), value.data(), static_cast<size_t>(read), 0) == 0;
}

unsigned setFlags(int fd) {
    unsigned flags = 0;  // the kernel reads and writes an int here
    return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 ? flags & kSetFlags : 0;
}

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::string newCopyName(const std::string& name) {
    unsigned char bytes[kCopySuffix] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        std::memcpy(bytes, &now, std::min(sizeof bytes, sizeof now));
    }
    std::string copy = "." + name + std::string(kCopyMark);
    for (unsigned char byte : bytes) {
        copy += kCopyLetters[byte % kCopyLetters.size()];
    }
    return copy;
}

// A copy's name is longer than the file's: too long a name takes none.
bool copyNameFits(const std::string& name) {
    return 1 + name.size() + kCopyMark.size() + kCopySuffix <= NAME_MAX;
}

bool isCopyName(std::string_view entry, const std::string& name) {
    const std::string prefix = "." + name + std::string(kCopyMark);
    return entry.size() == prefix.size() + kCopySuffix && entry.starts_with(prefix) &&
           entry.substr(prefix.size()).find_first_not_of(kCopyLetters) == std::string_view::npos;
}

// A reader caches a file by its size and whole-second modification time: a
// new text that matches both would go unseen. Any other second will do, and
// the next one is at most a second ahead of the clock.
bool makeVisible(int fd, const struct stat& origin) {
    struct stat written {};
    if (::fstat(fd, &written) != 0) {
        return false;
    }
    if (written.st_size != origin.st_size || written.st_mtim.tv_sec != origin.st_mtim.tv_sec) {
        return true;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, {written.st_mtim.tv_sec + 1, 0}};
    if (::futimens(fd, times) == 0) {
        return true;
    }
    if (errno != EPERM) {
        return false;
    }
    // Another's file takes only "now", so wait until that is a new second.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_sec <= origin.st_mtim.tv_sec) {
        const timespec rest{0, 1000000000L - now.tv_nsec};
        ::nanosleep(&rest, nullptr);
    }
    return ::futimens(fd, nullptr) == 0;
}

}  // namespace

std::string LockedIniFile::failure(const char* what) const {
    return std::string(what) + " " + path_.string() + ": " + std::strerror(errno);
}

std::unique_ptr<LockedIniFile> LockedIniFile::open(const fs::path& path, bool mayCreate,
                                                   Clock::time_point deadline, std::string& why,
                                                   bool& missing) {
    missing = false;
    std::unique_ptr<LockedIniFile> file(new LockedIniFile());
    PathResolver::Result place;
    if (const int error = IniFile::resolve(path, place, why)) {
        missing = error == ENOENT;
        return nullptr;
    }
    file->given_ = path;
    file->deadline_ = deadline;
    file->path_ = std::move(place.path);
    file->name_ = std::move(place.name);
    file->folder_.reset(::openat(place.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!file->folder_.valid()) {
        why = file->failure("cannot open the folder of");
        return nullptr;
    }
    if (!file->lockAndOpen(mayCreate, deadline, why, missing)) {
        return nullptr;
    }
    if (file->data_.valid() && !IniFile::read(file->data_.get(), path, file->document_, why)) {
        return nullptr;
    }
    file->method_ = file->method();
    return file;
}

int LockedIniFile::openData() const {
    return ::openat(folder_.get(), name_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

bool LockedIniFile::lockAndOpen(bool mayCreate, Clock::time_point deadline, std::string& why,
                                bool& missing) {
    int pauseMs = 1;
    for (;;) {
        lock_.reset();
        data_.reset(openData());
        if (!data_.valid()) {
            if (errno != ENOENT) {
                why = errno == ELOOP ? path_.string() + " is a symbolic link"
                                     : failure("cannot write");
                return false;
            }
            if (!mayCreate) {
                missing = true;
                why = path_.string() + " does not exist";
                return false;
            }
            if (lockToCreate(deadline, why, missing)) {
                return true;
            }
            if (missing) {
                return false;
            }
        } else {
            if (::fstat(data_.get(), &origin_) != 0 || !S_ISREG(origin_.st_mode)) {
                why = path_.string() + " is not a regular file";
                return false;
            }
            bool locked = false;
            if (!lockFile(deadline, why, locked)) {
                return false;
            }
            if (locked) {
                return true;
            }
        }
        // Replaced or made while we waited: lock the file that is there now.
        if (Clock::now() >= deadline) {
            why = path_.string() + " kept being replaced";
            return false;
        }
        IniFileLock::backOff(pauseMs);
    }
}

// Locks the file open on data_; `locked` stays false when the file or its
// lock file was replaced meanwhile.
bool LockedIniFile::lockFile(Clock::time_point deadline, std::string& why, bool& locked) {
    const IniFileLock::Result result =
        IniFileLock::take(folder_.get(), name_, path_, data_.get(), origin_, deadline, lock_, why);
    if (result == IniFileLock::Result::Refused) {
        return false;
    }
    // What this writer reads is the file as it is now, under the lock. One
    // that took the file's place while this writer waited for the lock file
    // is locked with it, without leaving the queue.
    for (int tries = 0; result == IniFileLock::Result::Locked && tries < kTries; ++tries) {
        if (::fstat(data_.get(), &origin_) != 0) {
            break;
        }
        if (stillInPlace()) {
            // A change of owner meanwhile makes the lock file another's.
            locked = lock_->stillHeld(folder_.get(), name_, origin_.st_uid);
            seen_ = origin_;
            break;
        }
        data_.reset(openData());
        if (!data_.valid() || ::fstat(data_.get(), &origin_) != 0 || !S_ISREG(origin_.st_mode) ||
            !lock_->keep(data_.get(), origin_, deadline)) {
            break;
        }
    }
    return true;
}

// The lock of a file still to be made; true once it is held and the file
// is still missing. `missing` tells a failure that stays.
bool LockedIniFile::lockToCreate(Clock::time_point deadline, std::string& why, bool& missing) {
    const IniFileLock::Result result =
        IniFileLock::forNewFile(folder_.get(), name_, path_, deadline, lock_, why);
    if (result == IniFileLock::Result::Refused) {
        missing = true;
        return false;
    }
    struct stat status {};
    if (result == IniFileLock::Result::Locked &&
        ::fstatat(folder_.get(), name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 &&
        errno == ENOENT) {
        method_ = Method::Create;
        return true;
    }
    return false;
}

bool LockedIniFile::stillInPlace() const {
    struct stat now {};
    return ::fstatat(folder_.get(), name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
           now.st_dev == origin_.st_dev && now.st_ino == origin_.st_ino;
}

// Whether the path still leads to the folder this writer holds: one moved
// away meanwhile would take the new text out of the path's reach.
bool LockedIniFile::stillReached() const {
    PathResolver::Result place;
    std::string why;
    struct stat now {};
    struct stat held {};
    return IniFile::resolve(given_, place, why) == 0 && place.name == name_ &&
           ::fstat(place.folder.get(), &now) == 0 && ::fstat(folder_.get(), &held) == 0 &&
           now.st_dev == held.st_dev && now.st_ino == held.st_ino;
}

// Right before the file changes: this writer's lock is still the file's
// lock, the path still leads to it, and the file is the one it read, as
// it left it; for a copy also with the owner, mode, links and attributes
// the copy carries over.
bool LockedIniFile::stillAsRead(std::string& why) {
    struct stat now {};
    const bool known = method_ == Method::Create || ::fstat(data_.get(), &now) == 0;
    // A name given to the file since it was locked brings writers that
    // hold the file's own lock: what they wrote shows once it is taken.
    const bool covered =
        method_ == Method::Create || !lock_ || !known || lock_->cover(data_.get(), now, deadline_);
    const uid_t owner = method_ == Method::Create ? ::geteuid() : now.st_uid;
    if (!lock_ || !known || !lock_->stillHeld(folder_.get(), name_, owner)) {
        why = (path_.parent_path() / (name_ + ".lock")).string() +
              " was removed or replaced while this writer held it; " + path_.string() +
              " is left as it was";
        return false;
    }
    if (!stillReached()) {
        why = given_.string() + " leads elsewhere than when this writer locked it (a folder " +
              "on the way was moved or replaced); nothing is written";
        return false;
    }
    if (method_ == Method::Create ||
        (covered && stillInPlace() && now.st_size == seen_.st_size &&
         sameTime(now.st_mtim, seen_.st_mtim) &&
         (method_ == Method::InPlace || sameTime(now.st_ctim, seen_.st_ctim)))) {
        return true;
    }
    why = path_.string() + " was changed by another program while this writer held its lock; " +
          "it is left as it was";
    return false;
}

LockedIniFile::Method LockedIniFile::method() const {
    if (method_ == Method::Create) {
        return Method::Create;
    }
    const uid_t self = ::geteuid();
    const std::vector<std::string> attributes = attributeNames(data_.get());
    struct stat folder {};
    const bool copyKeepsAll =
        lock_ && lock_->onLockFile() && origin_.st_nlink == 1 && copyNameFits(name_) &&
        std::all_of(attributes.begin(), attributes.end(), copyCarries) &&
        (self == 0 || (origin_.st_uid == self && inGroup(origin_.st_gid))) &&
        ::faccessat(folder_.get(), ".", W_OK | X_OK, AT_EACCESS) == 0 &&
        ::fstat(folder_.get(), &folder) == 0 && folder.st_dev == origin_.st_dev;
    return copyKeepsAll ? Method::Replace : Method::InPlace;
}

LockedIniFile::~LockedIniFile() {
    if (!copyName_.empty()) {
        ::unlinkat(folder_.get(), copyName_.c_str(), 0);
    }
}

// Under the lock no other writer has a copy in hand: any copy of ours is
// what a killed writer left.
void LockedIniFile::removeStaleCopies() const {
    UniqueFd listing(::openat(folder_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* folder = listing.valid() ? ::fdopendir(listing.get()) : nullptr;
    if (folder == nullptr) {
        return;
    }
    listing.release();
    const auto close = [](DIR* opened) { ::closedir(opened); };
    std::unique_ptr<DIR, decltype(close)> owned(folder, close);
    while (const dirent* entry = ::readdir(folder)) {
        struct stat status {};
        if (isCopyName(entry->d_name, name_) &&
            ::fstatat(folder_.get(), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && status.st_nlink == 1 && status.st_uid == ::geteuid()) {
            ::unlinkat(folder_.get(), entry->d_name, 0);
        }
    }
}

// The copy takes everything of the file but its text: attributes and ACL
// first (none if the file has none, whatever the folder's default ACL
// gave), then owner and group, then the mode, which also restores the
// bits a change of owner clears.
bool LockedIniFile::carryOver() const {
    for (const std::string& attribute : attributeNames(copy_.get())) {
        if (copyCarries(attribute) && ::fremovexattr(copy_.get(), attribute.c_str()) != 0 &&
            errno != ENODATA) {
            return false;
        }
    }
    for (const std::string& attribute : attributeNames(data_.get())) {
        if (!copyAttribute(data_.get(), copy_.get(), attribute)) {
            return false;
        }
    }
    struct stat made {};
    return ::fstat(copy_.get(), &made) == 0 &&
           ((made.st_uid == origin_.st_uid && made.st_gid == origin_.st_gid) ||
            ::fchown(copy_.get(), origin_.st_uid, origin_.st_gid) == 0) &&
           ::fchmod(copy_.get(), origin_.st_mode & 07777) == 0;
}

// Gives the unnamed copy a name of our own, just before it takes the
// file's place.
bool LockedIniFile::linkCopy(std::string& why) {
    for (int tries = 0; tries < kTries; ++tries) {
        std::string name = newCopyName(name_);
        if (descriptor_io::linkUnnamed(copy_.get(), folder_.get(), name.c_str())) {
            copyName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    why = failure("cannot link a copy of");
    return false;
}

// Room first, so that a full disk or quota fails before the file changes.
bool LockedIniFile::reserve(std::string& why) const {
    if (text_.empty()) {
        return true;
    }
    int result = 0;
    do {
        result = ::fallocate(data_.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(text_.size()));
    } while (result != 0 && errno == EINTR);
    if (result == 0 || errno == EOPNOTSUPP) {
        return true;
    }
    why = failure("cannot write");
    return false;
}

bool LockedIniFile::writeInPlace(std::string& why) {
    const bool written = ::lseek(data_.get(), 0, SEEK_SET) == 0 &&
                         descriptor_io::writeToFile(data_.get(), text_) &&
                         ::ftruncate(data_.get(), static_cast<off_t>(text_.size())) == 0 &&
                         ::fsync(data_.get()) == 0 && makeVisible(data_.get(), origin_);
    if (!written) {
        why = failure("cannot write");
    }
    return written;
}

// An unnamed copy beside the file, else one named with the copies' mark.
bool LockedIniFile::openCopy() {
    copy_.reset(::openat(folder_.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    for (int tries = 0; !copy_.valid() && tries < kTries; ++tries) {
        // No unnamed files here: a named copy, removed if we are killed.
        copyName_ = newCopyName(name_);
        copy_.reset(::openat(folder_.get(), copyName_.c_str(),
                             O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!copy_.valid()) {
            copyName_.clear();
            if (errno != EEXIST) {
                break;
            }
        }
    }
    return copy_.valid();
}

void LockedIniFile::dropCopy() {
    if (!copyName_.empty()) {
        ::unlinkat(folder_.get(), copyName_.c_str(), 0);
        copyName_.clear();
    }
    copy_.reset();
}

bool LockedIniFile::prepare(std::string& why) {
    text_ = document_.text();
    if (method_ != Method::InPlace) {
        removeStaleCopies();
        if (openCopy() && method_ == Method::Replace &&
            setFlags(copy_.get()) != setFlags(data_.get())) {
            // A copy would not have the file's inode flags (chattr).
            dropCopy();
            method_ = Method::InPlace;
        }
    }
    if (method_ == Method::InPlace) {
        // Taking room sets the file's times.
        return stillAsRead(why) && reserve(why) && ::fstat(data_.get(), &seen_) == 0;
    }
    const bool replacing = method_ == Method::Replace;
    const bool written = copy_.valid() && descriptor_io::writeToFile(copy_.get(), text_) &&
                         (replacing ? carryOver() : ::fchmod(copy_.get(), 0600) == 0) &&
                         ::fsync(copy_.get()) == 0 &&
                         (!replacing || makeVisible(copy_.get(), origin_));
    if (!written) {
        why = failure("cannot write a copy of");
    }
    return written;
}

bool LockedIniFile::install(std::string& why) {
    if (!stillAsRead(why)) {
        return false;
    }
    if (method_ == Method::InPlace) {
        return writeInPlace(why);
    }
    bool placed = false;
    if (method_ == Method::Create) {
        // A new file is linked, never renamed: it must not take the place
        // of one that appeared meanwhile.
        placed =
            copyName_.empty()
                ? descriptor_io::linkUnnamed(copy_.get(), folder_.get(), name_.c_str())
                : ::linkat(folder_.get(), copyName_.c_str(), folder_.get(), name_.c_str(), 0) == 0;
    } else {
        if (copyName_.empty() && !linkCopy(why)) {
            return false;
        }
        placed = ::renameat(folder_.get(), copyName_.c_str(), folder_.get(), name_.c_str()) == 0;
        if (!placed && (errno == EBUSY || errno == EXDEV)) {
            // A mount point (a file bound over another) takes no rename.
            ::unlinkat(folder_.get(), copyName_.c_str(), 0);
            copyName_.clear();
            return reserve(why) && writeInPlace(why);
        }
    }
    if (!placed) {
        why = errno == EEXIST ? path_.string() + " appeared meanwhile" : failure("cannot replace");
        return false;
    }
    if (!copyName_.empty() && method_ == Method::Create) {
        ::unlinkat(folder_.get(), copyName_.c_str(), 0);
    }
    copyName_.clear();
    copy_.reset();
    if (::fsync(folder_.get()) != 0) {
        why = path_.string() +
              " is written, but its folder could not be synced: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool LockedIniFile::remove(std::string& why) {
    if (!stillAsRead(why)) {
        return false;
    }
    IniFile now;
    if (!data_.valid() || document_.changed() || !IniFile::read(data_.get(), path_, now, why) ||
        now.text() != document_.text()) {
        why = path_.string() + " changed since it was read";
        return false;
    }
    if (::unlinkat(folder_.get(), name_.c_str(), 0) != 0) {
        why = failure("cannot remove");
        return false;
    }
    if (::fsync(folder_.get()) != 0) {
        why = path_.string() +
              " is removed, but its folder could not be synced: " + std::strerror(errno);
        return false;
    }
    return true;
}
