#include "platform/LocalSocket.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

namespace local_socket {

namespace {

// The address of a socket file; false when `path` does not fit one.
bool addressOf(const std::string& path, sockaddr_un& address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

UniqueFd stream() {
    return UniqueFd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
}

bool connectTo(int fd, const std::string& path) {
    sockaddr_un address;
    if (fd < 0 || !addressOf(path, address)) {
        return false;
    }
    int result;
    do {
        result = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool bindTo(int fd, const std::string& path) {
    sockaddr_un address;
    return addressOf(path, address) &&
           bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace local_socket
