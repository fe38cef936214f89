#include "src/QuillmarkHelper/Caller.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

#include "platform/DescriptorIo.h"
#include "platform/UniqueFd.h"

namespace {

constexpr int kMaxGroups = 1024;
// /proc files of one process: never waited on, and a few kilobytes.
constexpr size_t kMaxProcFile = 65536;
constexpr std::chrono::seconds kProcRead{5};

// Field 22 of /proc/PID/stat, counted after the command name, which may
// itself hold blanks and parentheses.
std::string startTime(const std::string& stat) {
    const size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return {};
    }
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    // After the name come state (3) ... starttime (22).
    for (int index = 3; index <= 22; ++index) {
        if (!(fields >> field)) {
            return {};
        }
    }
    return field;
}

// The effective uid on the "Uid:" line of /proc/PID/status (real,
// effective, saved, file system), the one the kernel reports of a peer.
std::optional<uid_t> effectiveUid(const std::string& status) {
    std::istringstream lines(status);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Uid:", 0) == 0) {
            std::istringstream fields(line.substr(4));
            unsigned long real = 0;
            unsigned long effective = 0;
            if (fields >> real >> effective) {
                return static_cast<uid_t>(effective);
            }
        }
    }
    return std::nullopt;
}

std::string readAt(int folder, const char* name) {
    const UniqueFd fd(::openat(folder, name, O_RDONLY | O_CLOEXEC));
    std::string text;
    const bool read =
        fd.valid() &&
        descriptor_io::readToEnd(fd.get(), kMaxProcFile, descriptor_io::deadlineAfter(kProcRead),
                                 text) == descriptor_io::Result::Ok;
    return read ? text : std::string();
}

// The start of the process `pid`, read at once and only while it is still
// `uid`'s: a pid taken over by another user's process (the caller gone)
// must not be put before polkit. Both files are read through one open
// /proc/PID folder, which stays with the process it was opened for.
std::string startOfUsersProcess(pid_t pid, uid_t uid) {
    const UniqueFd folder(
        ::open(("/proc/" + std::to_string(pid)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        return {};
    }
    const std::string start = startTime(readAt(folder.get(), "stat"));
    return effectiveUid(readAt(folder.get(), "status")) == uid ? start : std::string();
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
    caller.start = startOfUsersProcess(credentials.pid, credentials.uid);
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
    if (pid <= 0 || start.empty()) {
        return {};
    }
    return std::to_string(pid) + "," + start + "," + std::to_string(uid);
}
