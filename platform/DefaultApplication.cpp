#include "platform/DefaultApplication.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "platform/SystemLog.h"

extern char** environ;

int openWithDefaultApplication(const std::filesystem::path& file) {
    std::string program = "xdg-open";
    std::string argument = file.string();
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ);
    if (spawned != 0) {
        SystemLog::error("cannot open " + argument + " with xdg-open: " + std::strerror(spawned));
        return spawned;
    }
    // xdg-open may wait for the application it starts; the caller does not.
    std::thread([child] {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return 0;
}
