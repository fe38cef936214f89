#pragma once

#include <string>
#include <string_view>

// The local socket on which the administrator application relays
// privileged requests: $XDG_RUNTIME_DIR/<identifier>.sock, or
// /tmp/<identifier>.sock without a runtime directory.
namespace relay_socket {

std::string path(std::string_view identifier);

// True when the process at the other end of a connected local socket runs
// under our own user id.
bool peerIsSameUser(int fd);

}  // namespace relay_socket
