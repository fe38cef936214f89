#include "platform/ReplacedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

#include "platform/DescriptorIo.h"
#include "platform/UniqueFd.h"

namespace {

constexpr int kTempAttempts = 16;

// A new temporary file of mode 0600 in the directory; its name in `name`.
UniqueFd createTemporary(int directoryFd, const char* finalName, std::string& name) {
    std::random_device device;
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        name = std::string(".") + finalName + "." + std::to_string(::getpid()) + "." +
               std::to_string(device());
        UniqueFd fd(::openat(directoryFd, name.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.valid() || errno != EEXIST) {
            return fd;
        }
    }
    return UniqueFd();
}

}  // namespace

int ReplacedFile::write(int directoryFd, const char* name, std::string_view bytes) {
    std::string temporary;
    UniqueFd fd = createTemporary(directoryFd, name, temporary);
    if (!fd.valid()) {
        return errno;
    }
    const bool written = ::fchmod(fd.get(), 0600) == 0 &&
                         descriptor_io::writeToFile(fd.get(), bytes) && ::fsync(fd.get()) == 0 &&
                         fd.close();
    if (!written || ::renameat(directoryFd, temporary.c_str(), directoryFd, name) != 0) {
        const int error = errno;
        ::unlinkat(directoryFd, temporary.c_str(), 0);
        return error;
    }
    ::fsync(directoryFd);
    return 0;
}
