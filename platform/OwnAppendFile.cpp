#include "platform/OwnAppendFile.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <cerrno>

namespace {

// O_NONBLOCK: a FIFO planted at the name must not hang us.
constexpr int kFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
constexpr mode_t kMode = 0600;

// Where openat2 is missing (older kernels, some container filters): one
// folder at a time, each by the descriptor of the one before, none of them
// a link.
int openByWalk(const std::filesystem::path& path, int flags) {
    UniqueFd folder(::open(path.is_absolute() ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (const auto& part : path.parent_path().relative_path()) {
        if (!folder.valid()) {
            return -1;
        }
        if (!part.empty()) {
            folder.reset(::openat(folder.get(), part.c_str(),
                                  O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        }
    }
    return folder.valid() ? ::openat(folder.get(), path.filename().c_str(), flags, kMode) : -1;
}

int openWithoutLinks(const std::filesystem::path& path, int flags) {
    open_how how{};
    how.flags = static_cast<unsigned>(flags);
    how.mode = (flags & O_CREAT) != 0 ? kMode : 0;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS) {
        return static_cast<int>(fd);
    }
    return openByWalk(path, flags);
}

int openFile(const std::filesystem::path& path, int flags) {
    return geteuid() == 0 ? openWithoutLinks(path, flags) : ::open(path.c_str(), flags, kMode);
}

}  // namespace

UniqueFd OwnAppendFile::open(const std::filesystem::path& path) {
    UniqueFd fd(openFile(path, kFlags | O_CREAT | O_EXCL));
    if (!fd.valid() && errno == EEXIST) {
        fd.reset(openFile(path, kFlags));
    }
    struct stat info {};
    if (!fd.valid() || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != geteuid() || info.st_nlink != 1) {
        return UniqueFd();
    }
    return fd;
}
