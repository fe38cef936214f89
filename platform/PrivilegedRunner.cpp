#include "platform/PrivilegedRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/PrivilegedRequestContract.h"
#include "platform/TrustedPath.h"
#include "platform/UniqueFd.h"

extern char** environ;

namespace {

constexpr const char* kPkexec = "/usr/bin/pkexec";

std::atomic<PrivilegedRunner*>& testRunner() {
    static std::atomic<PrivilegedRunner*> runner{nullptr};
    return runner;
}

// Feeds `input` to the child and collects what it writes, together, so that
// neither side can block the other; a helper that stops reading must not
// kill us.
void exchange(int inputFd, int outputFd, std::string_view input, std::string& output) {
    pollfd fds[2] = {{inputFd, POLLOUT, 0}, {outputFd, POLLIN, 0}};
    if (input.empty()) {
        shutdown(inputFd, SHUT_WR);
        fds[0].fd = -1;
    }
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[0].fd >= 0 && fds[0].revents != 0) {
            const ssize_t sent =
                send(inputFd, input.data(), input.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0) {
                input.remove_prefix(static_cast<size_t>(sent));
            }
            if ((sent < 0 && errno != EINTR && errno != EAGAIN) || input.empty()) {
                shutdown(inputFd, SHUT_WR);
                fds[0].fd = -1;
            }
        }
        if (fds[1].fd >= 0 && fds[1].revents != 0) {
            char buffer[4096];
            const ssize_t got = read(outputFd, buffer, sizeof buffer);
            if (got > 0) {
                const size_t room = PrivilegedRunner::kMaxOutput - output.size();
                output.append(buffer, std::min(room, static_cast<size_t>(got)));
            } else if (got == 0 || errno != EINTR) {
                fds[1].fd = -1;
            }
        }
    }
}

}  // namespace

int PrivilegedRunner::checkOwnership(const std::filesystem::path& program, uid_t alsoTrusted,
                                     std::string& problem) {
    return TrustedPath::check(program, problem, TrustedPath::Need::Program, alsoTrusted);
}

int PrivilegedRunner::verifyProgram(const std::filesystem::path& program, std::string& problem) {
    return checkOwnership(program, 0, problem);
}

PrivilegedRunner::Outcome PrivilegedRunner::run(const std::filesystem::path& program,
                                                std::string_view input) {
    return launch(kPkexec, program, input);
}

PrivilegedRunner::Outcome PrivilegedRunner::launch(const std::filesystem::path& launcher,
                                                   const std::filesystem::path& program,
                                                   std::string_view input) {
    Outcome outcome;
    int ends[2] = {-1, -1};
    int outputEnds[2] = {-1, -1};
    // A socket pair rather than a pipe so that writing to a helper that
    // exited gives EPIPE instead of SIGPIPE.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        outcome.spawnError = errno;
        return outcome;
    }
    UniqueFd childEnd(ends[0]);
    UniqueFd parentEnd(ends[1]);
    if (pipe2(outputEnds, O_CLOEXEC) != 0) {
        outcome.spawnError = errno;
        return outcome;
    }
    UniqueFd outputRead(outputEnds[0]);
    UniqueFd outputWrite(outputEnds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childEnd.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputWrite.get(), STDOUT_FILENO);
    std::string programText = program.string();
    std::string launcherText = launcher.string();
    std::string stdinOption = "--stdin";
    char* argv[] = {launcherText.data(), programText.data(), stdinOption.data(), nullptr};
    pid_t child = -1;
    const int spawned = posix_spawn(&child, launcherText.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    childEnd.reset();
    outputWrite.reset();
    if (spawned != 0) {
        outcome.spawnError = spawned;
        return outcome;
    }

    exchange(parentEnd.get(), outputRead.get(), input, outcome.output);
    parentEnd.reset();
    outputRead.reset();

    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            outcome.spawnError = errno;
            return outcome;
        }
    }
    outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

std::string PrivilegedRunner::replyOf(const Outcome& outcome) {
    if (outcome.spawnError != 0) {
        return {};
    }
    const std::string_view reply = privileged_request::replyLine(outcome.output);
    if (!reply.empty()) {
        return std::string(reply);
    }
    if (outcome.exitStatus == kAuthorisationDismissed || outcome.exitStatus == kNotAuthorised) {
        return privileged_request::replyText(privileged_request::kNotAuthorisedStatus);
    }
    return {};
}

PrivilegedRunner& PrivilegedRunner::current() {
    static PrivilegedRunner real;
    PrivilegedRunner* replacement = testRunner().load();
    return replacement ? *replacement : real;
}

void PrivilegedRunner::setForTesting(PrivilegedRunner* runner) {
    testRunner().store(runner);
}
