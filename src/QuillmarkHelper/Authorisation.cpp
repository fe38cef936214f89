#include "src/QuillmarkHelper/Authorisation.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr auto kPkcheckTimeout = std::chrono::seconds(30);

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
