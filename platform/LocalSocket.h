#pragma once

#include <string>

#include "platform/UniqueFd.h"

// Local (Unix-domain) stream sockets.
namespace local_socket {

// A new stream socket, closed on exec; invalid when none could be made.
UniqueFd stream();

// Connects `fd` to the socket at `path`; false when the path does not fit
// a socket address or the connect fails.
bool connectTo(int fd, const std::string& path);

// Binds `fd` to a socket file at `path`; false, with errno set, when the
// path does not fit a socket address or the bind fails.
bool bindTo(int fd, const std::string& path);

}  // namespace local_socket
