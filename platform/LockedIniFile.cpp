#include "platform/LockedIniFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kCopyLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kCopySuffix = 6;
constexpr int kTries = 16;

bool inGroup(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    std::vector<gid_t> groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    return std::find(groups.begin(), groups.begin() + std::max(count, 0), gid) !=
           groups.begin() + std::max(count, 0);
}

// Others than this writer may write the file: they can lock only the file
// itself, so this writer locks it too.
bool writableByOthers(int fd, const struct stat& status) {
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0 || status.st_uid != ::geteuid() ||
           ::fgetxattr(fd, "system.posix_acl_access", nullptr, 0) >= 0;
}

bool hasExtendedAttributes(int fd) {
    return ::flistxattr(fd, nullptr, 0) > 0;
}

// ".<name>.XXXXXX", the name a copy has while it is linked in.
std::string newCopyName(const std::string& name) {
    unsigned char bytes[kCopySuffix] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        std::memcpy(bytes, &now, std::min(sizeof bytes, sizeof now));
    }
    std::string copy = "." + name + ".";
    for (unsigned char byte : bytes) {
        copy += kCopyLetters[byte % kCopyLetters.size()];
    }
    return copy;
}

bool isCopyName(std::string_view entry, const std::string& name) {
    const std::string prefix = "." + name + ".";
    return entry.size() == prefix.size() + kCopySuffix && entry.starts_with(prefix) &&
           entry.substr(prefix.size()).find_first_not_of(kCopyLetters) == std::string_view::npos;
}

// A reader caches a file by its size and whole-second modification time: a
// new text that matches both would go unseen.
bool makeVisible(int fd, const struct stat& origin) {
    struct stat written {};
    if (::fstat(fd, &written) != 0) {
        return false;
    }
    if (written.st_size != origin.st_size || written.st_mtim.tv_sec > origin.st_mtim.tv_sec) {
        return true;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, {origin.st_mtim.tv_sec + 1, 0}};
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

bool LockedIniFile::lockAndOpen(bool mayCreate, Clock::time_point deadline, std::string& why,
                                bool& missing) {
    struct stat status {};
    const bool exists = ::fstatat(folder_.get(), name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno == ENOENT && !mayCreate) {
        missing = true;
        why = path_.string() + " does not exist";
        return false;
    }
    const uid_t self = ::geteuid();
    const uid_t owner = exists ? status.st_uid : self;
    if ((self == 0 || owner == self) &&
        IniFileLock::onLockFile(folder_.get(), name_, owner, deadline, lock_, why) ==
            IniFileLock::Result::Refused) {
        why = (path_.parent_path() / why).string();
        return false;
    }
    for (int tries = 0; tries < kTries; ++tries) {
        data_.reset(
            ::openat(folder_.get(), name_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!data_.valid()) {
            missing = errno == ENOENT;
            if (!missing) {
                why = errno == ELOOP ? path_.string() + " is a symbolic link"
                                     : failure("cannot write");
            } else if (!mayCreate) {
                why = path_.string() + " does not exist";
            } else if (!lock_) {
                why = "cannot make a lock file beside " + path_.string();
            } else {
                method_ = Method::Create;
                return true;
            }
            return false;
        }
        if (::fstat(data_.get(), &origin_) != 0 || !S_ISREG(origin_.st_mode)) {
            why = path_.string() + " is not a regular file";
            return false;
        }
        if (lock_ && !writableByOthers(data_.get(), origin_)) {
            return true;
        }
        if (!IniFileLock::onFile(data_.get(), deadline)) {
            why = "gave up waiting for the lock on " + path_.string();
            return false;
        }
        // Replaced while we waited: lock the file that is there now.
        struct stat now {};
        if (::fstatat(folder_.get(), name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.st_dev == origin_.st_dev && now.st_ino == origin_.st_ino) {
            return true;
        }
    }
    why = path_.string() + " kept being replaced";
    return false;
}

LockedIniFile::Method LockedIniFile::method() const {
    if (method_ == Method::Create) {
        return Method::Create;
    }
    const uid_t self = ::geteuid();
    const bool copyKeepsAll = lock_ && origin_.st_nlink == 1 &&
                              !hasExtendedAttributes(data_.get()) &&
                              (self == 0 || (origin_.st_uid == self && inGroup(origin_.st_gid))) &&
                              ::faccessat(folder_.get(), ".", W_OK | X_OK, AT_EACCESS) == 0;
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
            S_ISREG(status.st_mode) && status.st_uid == ::geteuid()) {
            ::unlinkat(folder_.get(), entry->d_name, 0);
        }
    }
}

// Gives the unnamed copy a name of our own, once it is complete.
bool LockedIniFile::linkCopy(std::string& why) {
    const std::string self = "/proc/self/fd/" + std::to_string(copy_.get());
    for (int tries = 0; tries < kTries; ++tries) {
        std::string name = newCopyName(name_);
        if (::linkat(AT_FDCWD, self.c_str(), folder_.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno != EEXIST &&
             ::linkat(copy_.get(), "", folder_.get(), name.c_str(), AT_EMPTY_PATH) == 0)) {
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

bool LockedIniFile::prepare(std::string& why) {
    text_ = document_.text();
    if (method_ == Method::InPlace) {
        // Room first, so that a full disk fails before the file changes.
        if (::fallocate(data_.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(text_.size())) !=
                0 &&
            errno == ENOSPC) {
            why = failure("cannot write");
            return false;
        }
        return true;
    }
    removeStaleCopies();
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
    struct stat made {};
    const bool replacing = method_ == Method::Replace;
    const bool written =
        copy_.valid() && descriptor_io::writeToFile(copy_.get(), text_) &&
        ::fstat(copy_.get(), &made) == 0 &&
        (!replacing || (made.st_uid == origin_.st_uid && made.st_gid == origin_.st_gid) ||
         ::fchown(copy_.get(), origin_.st_uid, origin_.st_gid) == 0) &&
        ::fchmod(copy_.get(), replacing ? origin_.st_mode & 07777 : 0600) == 0 &&
        ::fsync(copy_.get()) == 0 && (!replacing || makeVisible(copy_.get(), origin_));
    if (!written) {
        why = failure("cannot write a copy of");
        return false;
    }
    if (copyName_.empty() && !linkCopy(why)) {
        return false;
    }
    copy_.reset();
    return true;
}

bool LockedIniFile::install(std::string& why) {
    if (method_ == Method::InPlace) {
        const bool written = ::lseek(data_.get(), 0, SEEK_SET) == 0 &&
                             descriptor_io::writeToFile(data_.get(), text_) &&
                             ::ftruncate(data_.get(), static_cast<off_t>(text_.size())) == 0 &&
                             ::fsync(data_.get()) == 0 && makeVisible(data_.get(), origin_);
        if (!written) {
            why = failure("cannot write");
        }
        return written;
    }
    // A new file is linked, never renamed: it must not take the place of
    // one that appeared meanwhile.
    const int placed =
        method_ == Method::Replace
            ? ::renameat(folder_.get(), copyName_.c_str(), folder_.get(), name_.c_str())
            : ::linkat(folder_.get(), copyName_.c_str(), folder_.get(), name_.c_str(), 0);
    if (placed != 0) {
        why = errno == EEXIST ? path_.string() + " appeared meanwhile" : failure("cannot replace");
        return false;
    }
    if (method_ == Method::Create) {
        ::unlinkat(folder_.get(), copyName_.c_str(), 0);
    }
    copyName_.clear();
    if (::fsync(folder_.get()) != 0) {
        why = path_.string() +
              " is written, but its folder could not be synced: " + std::strerror(errno);
        return false;
    }
    return true;
}
