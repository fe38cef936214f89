#include "src/QuillmarkHelper/Authorisation.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using Answer = Authorisation::Answer;

constexpr struct {
    Answer answer;
    const char* text;
} kAnswers[] = {
    {Answer::Authorised, "authorised"},
    {Answer::NotAuthorised, "not authorised"},
    {Answer::Challenge, "no authentication agent"},
    {Answer::Dismissed, "authentication dismissed"},
    {Answer::Failed, "polkit could not tell"},
};

// pkcheck's exit status, in the order of the answers; -1 when it did not
// exit by itself before the deadline.
int waitUntil(pid_t child, descriptor_io::Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0 && errno != EINTR) {
            return -1;
        }
        if (descriptor_io::Clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

const char* Authorisation::describe(Answer answer) {
    for (const auto& row : kAnswers) {
        if (row.answer == answer) {
            return row.text;
        }
    }
    return "";
}

Authorisation::Answer Authorisation::ask(const Caller& caller,
                                         descriptor_io::Clock::time_point deadline) const {
    if (caller.uid == 0) {
        return Answer::Authorised;
    }
    const std::string subject = caller.processSubject();
    if (subject.empty() || pkcheck_.empty()) {
        return Answer::Failed;
    }
    std::string program = pkcheck_;
    std::string actionFlag = "--action-id";
    std::string action = kAction;
    std::string processFlag = "--process";
    std::string processValue = subject;
    std::string interactionFlag = "--allow-user-interaction";
    char* argv[] = {program.data(),      actionFlag.data(),      action.data(), processFlag.data(),
                    processValue.data(), interactionFlag.data(), nullptr};
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
        return Answer::Failed;
    }
    const int status = waitUntil(child, deadline);
    return status >= 0 && status <= static_cast<int>(Answer::Failed) ? static_cast<Answer>(status)
                                                                     : Answer::Failed;
}
