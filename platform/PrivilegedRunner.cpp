#include "platform/PrivilegedRunner.h"

#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace {

constexpr const char* kPkexec = "/usr/bin/pkexec";

std::atomic<PrivilegedRunner*>& testRunner() {
    static std::atomic<PrivilegedRunner*> runner{nullptr};
    return runner;
}

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_;
};

int checkOne(const std::filesystem::path& path, uid_t alsoTrusted, bool isProgram,
             std::string& problem) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        const int error = errno;
        problem = path.string() + ": " + std::strerror(error);
        return error;
    }
    if (isProgram && (!S_ISREG(info.st_mode) || (info.st_mode & S_IXUSR) == 0)) {
        problem = path.string() + " is not an executable file";
        return EACCES;
    }
    if (!isProgram && !S_ISDIR(info.st_mode)) {
        problem = path.string() + " is not a folder";
        return ENOTDIR;
    }
    if (info.st_uid != 0 && info.st_uid != alsoTrusted) {
        problem = path.string() + " is not owned by root";
        return EPERM;
    }
    // A sticky folder such as /tmp lets others add entries but not replace
    // ours, so it does not open the path to them.
    const bool stickyFolder = !isProgram && (info.st_mode & S_ISVTX) != 0;
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !stickyFolder) {
        problem = path.string() + " is writable by group or others";
        return EPERM;
    }
    return 0;
}

// Writes all of `input`; a helper that stops reading must not kill us.
void feed(int fd, std::string_view input) {
    while (!input.empty()) {
        const ssize_t sent = send(fd, input.data(), input.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return;
        }
        input.remove_prefix(static_cast<size_t>(sent));
    }
}

}  // namespace

int PrivilegedRunner::checkOwnership(const std::filesystem::path& program, uid_t alsoTrusted,
                                     std::string& problem) {
    if (!program.is_absolute()) {
        problem = program.string() + " is not an absolute path";
        return EINVAL;
    }
    const std::filesystem::path normal = program.lexically_normal();
    if (int error = checkOne(normal, alsoTrusted, true, problem)) {
        return error;
    }
    for (std::filesystem::path folder = normal.parent_path();; folder = folder.parent_path()) {
        if (int error = checkOne(folder, alsoTrusted, false, problem)) {
            return error;
        }
        if (folder == folder.root_path()) {
            return 0;
        }
    }
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
    // A socket pair rather than a pipe so that writing to a helper that
    // exited gives EPIPE instead of SIGPIPE.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        outcome.spawnError = errno;
        return outcome;
    }
    Descriptor childEnd(ends[0]);
    Descriptor parentEnd(ends[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childEnd.get(), STDIN_FILENO);
    std::string programText = program.string();
    std::string launcherText = launcher.string();
    char* argv[] = {launcherText.data(), programText.data(), nullptr};
    pid_t child = -1;
    const int spawned = posix_spawn(&child, launcherText.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    childEnd.reset();
    if (spawned != 0) {
        outcome.spawnError = spawned;
        return outcome;
    }

    feed(parentEnd.get(), input);
    shutdown(parentEnd.get(), SHUT_WR);
    parentEnd.reset();

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

PrivilegedRunner& PrivilegedRunner::current() {
    static PrivilegedRunner real;
    PrivilegedRunner* replacement = testRunner().load();
    return replacement ? *replacement : real;
}

void PrivilegedRunner::setForTesting(PrivilegedRunner* runner) {
    testRunner().store(runner);
}
