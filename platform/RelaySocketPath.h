#pragma once

#include <optional>
#include <string>
#include <string_view>

// The local socket on which the administrator application relays
// privileged requests: $XDG_RUNTIME_DIR/<identifier>.sock, or, without a
// runtime folder, <identifier>.sock in /tmp/quillmark-<uid>, a folder of
// the user's own, so that no other user can take the name first.
namespace relay_socket {

std::string path(std::string_view identifier);

// The listener makes the private folder; the client only checks it.
enum class Folder { Create, Check };

// The path once its folder is fit to use: without a runtime folder the
// private one must be a folder (not a link) of our own with mode 0700.
// Nothing, logged, otherwise.
std::optional<std::string> checkedPath(std::string_view identifier, Folder use);

// True when the process at the other end of a connected local socket runs
// under our own user id, and we are that user whole: a set-user-ID process
// (another effective user than its real one) trusts no relay, neither its
// real user's, who could read its requests and answer for the files, nor
// another's.
bool peerIsSameUser(int fd);

}  // namespace relay_socket
