#include "admin/AuthListener.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "admin/XPCSetupTool.h"
#include "platform/DescriptorIo.h"
#include "platform/LocalSocket.h"
#include "platform/RelaySocketPath.h"
#include "platform/SystemLog.h"

std::mutex AuthListener::threadMutex_;
std::thread AuthListener::thread_;
std::atomic<bool> AuthListener::running_{false};
std::atomic<bool> AuthListener::stopListening_{false};
std::atomic<long long> AuthListener::deadlineMs_{30000};
int AuthListener::acc = -1;
int AuthListener::fd = -1;
std::string AuthListener::socketPath;
unsigned long AuthListener::socketInode_ = 0;
UniqueFd AuthListener::wake_;

namespace {

constexpr size_t kResponseSize = 4096;

// Quillmark is a desktop program: its standard output is the user's, so
// the relay's failures go to the system log.
void say(const std::string& line) {
    SystemLog::error(line);
}

// A socket file of our own that nobody listens on any more is an earlier
// run's; anything else at the path is left alone.
void removeStaleSocket(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) || info.st_uid != getuid()) {
        return;
    }
    const UniqueFd probe = local_socket::stream();
    if (probe.valid() && !local_socket::connectTo(probe.get(), path) && errno == ECONNREFUSED) {
        unlink(path.c_str());
    }
}

// Waits for a connection or the wake-up of stopAndWait (without a wake-up,
// a second at most, so that the stop is seen); 1 a connection, 0 time-out
// or woken, -1 failure.
int waitReadable(int socketFd, int wakeFd) {
    pollfd waiting[2] = {{socketFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready = wakeFd >= 0 ? poll(waiting, 2, -1) : poll(waiting, 1, 1000);
    if (ready < 0) {
        return errno == EINTR ? 0 : -1;
    }
    return (waiting[0].revents & POLLIN) != 0 ? 1 : 0;
}

}  // namespace

int AuthListener::handleAuthRequests() {
    std::lock_guard lock(threadMutex_);
    if (running_.load()) {
        return 0;
    }
    if (thread_.joinable()) {
        thread_.join();  // a relay that ended after an error
    }
    stopListening_ = false;
    wake_.reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    // Listening before we return: the driver's setup code connects at once.
    if (start() <= 0) {
        stop();
        return 0;
    }
    running_ = true;
    thread_ = std::thread(handleAuthRequestsThread);
    return 0;
}

void AuthListener::stopAndWait() {
    std::lock_guard lock(threadMutex_);
    stopListening_ = true;
    if (wake_.valid()) {
        // Ends the relay's wait now rather than at its next second.
        const uint64_t one = 1;
        (void)!write(wake_.get(), &one, sizeof one);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void AuthListener::setConnectionDeadline(std::chrono::milliseconds deadline) {
    deadlineMs_ = deadline.count();
}

void AuthListener::handleAuthRequestsThread() {
    listen();
    stop();
    running_ = false;
}

int AuthListener::start() {
    acc = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (acc < 0) {
        say("ERROR: Failed to create local socket ");
        return -1;
    }
    const std::optional<std::string> path = relay_socket::checkedPath(
        privileged_request::kAdministratorIdentifier, relay_socket::Folder::Create);
    if (!path) {
        say("ERROR: No private folder for the local socket");
        return -1;
    }
    socketPath = *path;
    removeStaleSocket(socketPath);
    struct stat info {};
    if (!local_socket::bindTo(acc, socketPath) || lstat(socketPath.c_str(), &info) != 0 ||
        ::listen(acc, 1) != 0) {
        say("ERROR: Failed to bind local socket (" + std::to_string(errno) + ")");
        return -1;
    }
    socketInode_ = info.st_ino;
    return 1;
}

int AuthListener::listen() {
    for (;;) {
        const int ready = waitReadable(acc, wake_.get());
        if (ready < 0) {
            return -4;
        }
        if (stopListening_) {
            return -1;
        }
        if (ready == 0) {
            continue;
        }
        const int accepted = accept4(acc, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            say("ERROR: Failed to accept connection (" + std::to_string(errno) + ")");
            return accepted;
        }
        fd = accepted;
        // Requests may carry what only our own user should see or send.
        if (relay_socket::peerIsSameUser(fd)) {
            dispatch();
        }
        close(fd);
        fd = -1;
    }
}

int AuthListener::dispatch() {
    const auto deadline =
        descriptor_io::deadlineAfter(std::chrono::milliseconds(deadlineMs_.load()));
    std::string request;
    const descriptor_io::Result read = descriptor_io::readToEnd(fd, kMaxRequest, deadline, request);
    if (read == descriptor_io::Result::TooLong) {
        descriptor_io::writeAll(fd, "ERROR", deadline);
        return 0;
    }
    if (read != descriptor_io::Result::Ok || request.empty()) {
        return 0;  // silent, broken or closed at once: no reply
    }
    char response[kResponseSize] = {};
    CallSMBlessTool(request.c_str(), response, kResponseSize - 1);
    // The helper may have waited for a person: the answer gets its own time.
    descriptor_io::writeAll(
        fd, response, descriptor_io::deadlineAfter(std::chrono::milliseconds(deadlineMs_.load())));
    return 0;
}

void AuthListener::stop() {
    if (acc >= 0) {
        close(acc);
        acc = -1;
        struct stat info {};
        if (lstat(socketPath.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) &&
            info.st_ino == socketInode_) {
            unlink(socketPath.c_str());
        }
    }
}

int handleAuthRequests() {
    return AuthListener::handleAuthRequests();
}
