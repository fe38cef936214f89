#include "platform/OwnAppendFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

UniqueFd OwnAppendFile::open(const std::filesystem::path& path) {
    // O_NONBLOCK: a FIFO planted at the name must not hang us.
    constexpr int kFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    UniqueFd fd(::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0600));
    if (!fd.valid() && errno == EEXIST) {
        fd.reset(::open(path.c_str(), kFlags));
    }
    struct stat info {};
    if (!fd.valid() || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != geteuid() || info.st_nlink != 1) {
        return UniqueFd();
    }
    return fd;
}
