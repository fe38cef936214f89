#include "platform/RelaySocketPath.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace relay_socket {

std::string path(std::string_view identifier) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir = (runtime != nullptr && runtime[0] == '/') ? std::string(runtime) : "/tmp";
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    std::string result = dir;
    result += '/';
    result += identifier;
    result += ".sock";
    return result;
}

bool peerIsSameUser(int fd) {
    struct ucred credentials {};
    socklen_t length = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof credentials) {
        return false;
    }
    return credentials.uid == getuid();
}

}  // namespace relay_socket
