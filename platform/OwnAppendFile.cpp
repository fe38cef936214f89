#include "platform/OwnAppendFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <string>

#include "platform/PathResolver.h"
#include "platform/TrustedPath.h"

namespace {

// O_NONBLOCK: a FIFO planted at the name must not hang us.
constexpr int kFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
constexpr mode_t kMode = 0600;

// Where the file lies; false when it may not be written there. Root's
// programs write their files by the helper's rule (TrustedPath), whatever
// user's configuration named them.
bool placeFile(const std::filesystem::path& path, PathResolver::Result& place) {
    std::string problem;
    if (TrustedPath::keepsRootRules()) {
        return TrustedPath::placeLogFile(path, TrustedPath::kRootLogFolder, place, problem) == 0;
    }
    PathResolver::Rules rules;
    rules.links = ::geteuid() == 0 ? PathResolver::Links::Refuse : PathResolver::Links::Follow;
    rules.lastLink = false;  // O_NOFOLLOW answers a link there
    rules.mayBeMissing = true;
    return PathResolver::resolve(path, rules, place, problem) == 0;
}

}  // namespace

bool OwnAppendFile::isPrivate(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0 &&
           ::fgetxattr(fd, "system.posix_acl_access", nullptr, 0) < 0;
}

UniqueFd OwnAppendFile::open(const std::filesystem::path& path) {
    PathResolver::Result place;
    if (!placeFile(path, place)) {
        return UniqueFd();
    }
    const char* name = place.name.c_str();
    UniqueFd fd(::openat(place.folder.get(), name, kFlags | O_CREAT | O_EXCL, kMode));
    if (!fd.valid() && errno == EEXIST) {
        fd.reset(::openat(place.folder.get(), name, kFlags));
        if (fd.valid() && !isPrivate(fd.get())) {
            return UniqueFd();
        }
    }
    struct stat info {};
    if (!fd.valid() || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != geteuid() || info.st_nlink != 1) {
        return UniqueFd();
    }
    return fd;
}
