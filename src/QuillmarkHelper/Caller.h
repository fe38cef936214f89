#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// Who sent a request: the process at the other end of the connection as
// the kernel reports it, or the user pkexec names.
struct Caller {
    pid_t pid = 0;  // 0 when not known (pkexec's caller)
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;  // supplementary groups
    // The peer's start time, read when it was accepted while its process
    // was still the uid's; empty when not.
    std::string start;

    static std::optional<Caller> ofPeer(int socketFd);
    static std::optional<Caller> ofUser(uid_t uid);

    // pkcheck's "PID,START,UID"; empty when the process's start is unknown.
    std::string processSubject() const;
};
