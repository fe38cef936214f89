#include "src/QuillmarkHelper/ConnectionSlot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Ours alone: nobody else could replace the files or hold their locks.
bool privateToUs(int fd, bool folder) {
    struct stat info {};
    return fstat(fd, &info) == 0 && info.st_uid == geteuid() &&
           (folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode) && info.st_nlink == 1) &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

UniqueFd openFolder(const std::string& folder, std::string& why) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        why = std::string("cannot make the slot folder: ") + std::strerror(errno);
        return UniqueFd();
    }
    UniqueFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid() || !privateToUs(fd.get(), true)) {
        why = "the slot folder is not a private folder of the helper's";
        return UniqueFd();
    }
    return fd;
}

// Write lock on byte `slot`, tied to this open file (not to the process,
// so that a plan's child closing a copy of it lets nothing go).
bool lockByte(int fd, size_t slot) {
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(slot);
    range.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &range) == 0;
}

}  // namespace

std::optional<ConnectionSlot> ConnectionSlot::take(const std::string& folder, uid_t uid,
                                                   size_t slots, std::string& why) {
    const UniqueFd directory = openFolder(folder, why);
    if (!directory.valid()) {
        return std::nullopt;
    }
    const std::string name = "uid-" + std::to_string(uid);
    UniqueFd file(
        openat(directory.get(), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.valid() || !privateToUs(file.get(), false)) {
        why = "the user's slot file is not a private file of the helper's";
        return std::nullopt;
    }
    for (size_t slot = 0; slot < slots; ++slot) {
        if (lockByte(file.get(), slot)) {
            return ConnectionSlot(std::move(file));
        }
        if (errno != EAGAIN && errno != EACCES) {
            why = std::string("cannot lock a slot: ") + std::strerror(errno);
            return std::nullopt;
        }
    }
    why = "all of the user's slots are held";
    return std::nullopt;
}
