#include "platform/RelaySocketPath.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/SystemLog.h"

namespace relay_socket {

namespace {

std::optional<std::string> runtimeFolder() {
    const char* runtime = ::secure_getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] != '/') {
        return std::nullopt;
    }
    std::string folder(runtime);
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

std::string privateFolder() {
    return "/tmp/quillmark-" + std::to_string(getuid());
}

bool isPrivateFolder(const struct stat& info) {
    return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 07777) == 0700;
}

}  // namespace

std::string path(std::string_view identifier) {
    std::string result = runtimeFolder().value_or(privateFolder());
    result += '/';
    result += identifier;
    result += ".sock";
    return result;
}

std::optional<std::string> checkedPath(std::string_view identifier, Folder use) {
    if (runtimeFolder()) {
        return path(identifier);
    }
    const std::string folder = privateFolder();
    if (use == Folder::Create && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        SystemLog::error("cannot make the relay folder " + folder);
        return std::nullopt;
    }
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) {
        return std::nullopt;  // no administrator has listened yet
    }
    if (!isPrivateFolder(info)) {
        SystemLog::error("relay folder refused (not a private folder of ours): " + folder);
        return std::nullopt;
    }
    return path(identifier);
}

bool peerIsSameUser(int fd) {
    struct ucred credentials {};
    socklen_t length = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof credentials) {
        return false;
    }
    return credentials.uid == getuid() && credentials.uid == geteuid();
}

}  // namespace relay_socket
