#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

// A relay listening on `socketPath` in a child process that runs as the user
// nobody, answering "OK" to one connection: what a client must not trust.
// Needs root to change user; the caller checks that first.
class ForeignRelayServer {
  public:
    explicit ForeignRelayServer(const std::string& socketPath) {
        const passwd* nobody = getpwnam("nobody");
        if (nobody == nullptr) {
            throw std::runtime_error("no user nobody");
        }
        const uid_t uid = nobody->pw_uid;
        const gid_t gid = nobody->pw_gid;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        int ready[2];
        int accepted[2];
        if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(accepted, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        child_ = fork();
        if (child_ == 0) {
            // Only async-signal-safe calls from here on.
            close(ready[0]);
            close(accepted[0]);
            if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
                _exit(2);
            }
            umask(0);  // anyone may connect: the client must check who listens
            const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
            if (listener < 0 ||
                bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
                listen(listener, 1) != 0) {
                _exit(3);
            }
            (void)!write(ready[1], "R", 1);
            const int connection = accept(listener, nullptr, nullptr);
            (void)!write(accepted[1], "A", 1);
            char buffer[4096];
            while (recv(connection, buffer, sizeof buffer, 0) > 0) {
            }
            send(connection, "OK", 2, MSG_NOSIGNAL);
            _exit(0);
        }
        close(ready[1]);
        close(accepted[1]);
        acceptedFd_ = accepted[0];
        char signal = 0;
        const bool listening = child_ > 0 && read(ready[0], &signal, 1) == 1;
        close(ready[0]);
        if (!listening) {
            stop();
            throw std::runtime_error("the foreign relay did not start");
        }
    }

    ~ForeignRelayServer() { stop(); }

    // Whether the client's connection reached the server.
    bool accepted() const {
        pollfd waiting{acceptedFd_, POLLIN, 0};
        char signal = 0;
        return poll(&waiting, 1, 5000) > 0 && read(acceptedFd_, &signal, 1) == 1;
    }

  private:
    void stop() {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
            child_ = -1;
        }
        if (acceptedFd_ >= 0) {
            close(acceptedFd_);
            acceptedFd_ = -1;
        }
    }

    pid_t child_ = -1;
    int acceptedFd_ = -1;
};
