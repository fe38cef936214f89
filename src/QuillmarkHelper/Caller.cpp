#include "src/QuillmarkHelper/Caller.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>


namespace {

constexpr auto kPkcheckTimeout = std::chrono::seconds(30);
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

// Waits for the child, killing it once the deadline passes.
int waitWithDeadline(pid_t child) {
    const auto deadline = std::chrono::steady_clock::now() + kPkcheckTimeout;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0 && errno != EINTR) {
            return -1;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
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

bool Caller::inGroup(gid_t group) const {
    return gid == group || std::find(groups.begin(), groups.end(), group) != groups.end();
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

bool Authorisation::allows(const Caller& caller) const {
    if (caller.uid == 0) {
        return true;
    }
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(65536);
    if (getgrnam_r(adminGroup_.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && caller.inGroup(found->gr_gid)) {
        return true;
    }
    return polkitAllows(caller);
}

bool Authorisation::polkitAllows(const Caller& caller) const {
    const std::string subject = caller.processSubject();
    if (subject.empty() || pkcheck_.empty()) {
        return false;
    }
    std::string program = pkcheck_;
    std::string actionFlag = "--action-id";
    std::string action = kAction;
    std::string processFlag = "--process";
    std::string processValue = subject;
    char* argv[] = {program.data(),     actionFlag.data(),   action.data(),
                    processFlag.data(), processValue.data(), nullptr};
    char* emptyEnvironment[] = {nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
                                         fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    }
    pid_t child = -1;
    const int spawned =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv, emptyEnvironment);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return false;  // the refusal is logged once, by the service loop
    }
    return waitWithDeadline(child) == 0;
}
