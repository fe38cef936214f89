#include "src/QuillmarkHelper/Caller.h"

#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace {

constexpr int kMaxGroups = 1024;

// Field 22 of /proc/PID/stat, counted after the command name, which may
// itself hold blanks and parentheses.
std::string processStartTime(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return {};
    }
    const size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos) {
        return {};
    }
    std::istringstream fields(line.substr(nameEnd + 1));
    std::string field;
    // After the name come state (3) ... starttime (22).
    for (int index = 3; index <= 22; ++index) {
        if (!(fields >> field)) {
            return {};
        }
    }
    return field;
}

}  // namespace

std::optional<Caller> Caller::ofPeer(int socketFd) {
    struct ucred credentials {};
    socklen_t length = sizeof credentials;
    if (getsockopt(socketFd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof credentials || credentials.pid <= 0) {
        return std::nullopt;
    }
    Caller caller;
    caller.pid = credentials.pid;
    caller.uid = credentials.uid;
    caller.gid = credentials.gid;
    std::vector<gid_t> groups(kMaxGroups);
    socklen_t groupBytes = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
    if (getsockopt(socketFd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &groupBytes) != 0) {
        return std::nullopt;
    }
    groups.resize(groupBytes / sizeof(gid_t));
    caller.groups = std::move(groups);
    return caller;
}

std::optional<Caller> Caller::ofUser(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    Caller caller;
    caller.uid = uid;
    caller.gid = entry.pw_gid;
    std::vector<gid_t> groups(kMaxGroups);
    int count = static_cast<int>(groups.size());
    if (getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) < 0) {
        return std::nullopt;
    }
    groups.resize(static_cast<size_t>(count));
    caller.groups = std::move(groups);
    return caller;
}

std::string Caller::processSubject() const {
    if (pid <= 0) {
        return {};
    }
    const std::string start = processStartTime(pid);
    if (start.empty()) {
        return {};
    }
    return std::to_string(pid) + "," + start + "," + std::to_string(uid);
}
