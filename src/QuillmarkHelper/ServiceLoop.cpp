#include "src/QuillmarkHelper/ServiceLoop.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <optional>

#include "authentication/src/HelperStatus.h"
#include "authentication/src/SaveParameters.h"
#include "platform/DescriptorIo.h"
#include "platform/LocalSocket.h"
#include "platform/ServiceMessage.h"
#include "platform/SystemLog.h"
#include "src/QuillmarkHelper/Caller.h"
#include "src/QuillmarkHelper/ScopedApplier.h"

namespace status = helper_status;
using descriptor_io::Result;

namespace service_loop {

namespace {

// A client that says nothing for this long is dropped.
constexpr auto kIdleTimeout = std::chrono::seconds(30);
constexpr auto kReplyTimeout = std::chrono::seconds(10);

volatile sig_atomic_t gStopRequested = 0;

void requestStop(int) {
    gStopRequested = 1;
}

bool sendReply(int fd, int requestStatus) {
    const ServiceMessage::Fields reply{{"reply", status::replyText(requestStatus)}};
    return ServiceMessage::send(fd, reply, descriptor_io::deadlineAfter(kReplyTimeout)) ==
           Result::Ok;
}

// One message: authorisation first; the request text is not looked at for
// a caller who may not change the files.
int handleMessage(const ServiceMessage::Fields& message, const Caller& caller, bool authorised,
                  const HelperOptions& options) {
    if (!authorised) {
        return status::kNotAuthorised;
    }
    const auto request = message.find("request");
    if (request == message.end()) {
        return status::kNotParsed;
    }
    SystemLog::notice("request: " + request->second);
    ScopedApplier applier(caller, options);
    return DoSaveParameters(request->second, applier);
}

// Serves the messages of one connection until the client goes.
int serveConnection(int in, int out, const HelperOptions& options) {
    SystemLog::notice("Configuring message event handler for helper.");
    const std::optional<Caller> caller = Caller::ofPeer(in);
    const bool authorised =
        caller && Authorisation(options.adminGroup, options.pkcheck).allows(*caller);
    for (;;) {
        const ServiceMessage::Received received =
            ServiceMessage::receive(in, descriptor_io::deadlineAfter(kIdleTimeout));
        if (received.result == Result::Closed) {
            SystemLog::notice("Quillmark exited, exiting, too");
            return 0;
        }
        if (received.result == Result::TooLong) {
            sendReply(out, authorised ? status::kNotParsed : status::kNotAuthorised);
            return 0;
        }
        if (received.result != Result::Ok) {
            return 0;  // a broken frame or a silent client: nothing to answer
        }
        SystemLog::notice("Received event in helper.");
        const int result =
            handleMessage(received.fields, caller.value_or(Caller{}), authorised, options);
        if (!sendReply(out, result)) {
            return 0;
        }
    }
}

int createListener(const std::string& path, ino_t& inode) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    struct stat info {};
    if (!local_socket::bindTo(fd, path) || chmod(path.c_str(), 0666) != 0 ||
        lstat(path.c_str(), &info) != 0 || listen(fd, 16) != 0) {
        close(fd);
        return -1;
    }
    inode = info.st_ino;
    return fd;
}

// Removes the socket file only while it is still the one we made.
void removeListener(const std::string& path, ino_t inode) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_ino == inode) {
        unlink(path.c_str());
    }
}

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    struct sigaction reap {};
    reap.sa_handler = SIG_DFL;
    reap.sa_flags = SA_NOCLDWAIT;
    sigaction(SIGCHLD, &reap, nullptr);
}

void serveChild(int connection, int listener, const HelperOptions& options) {
    close(listener);
    struct sigaction normal {};
    normal.sa_handler = SIG_DFL;
    sigaction(SIGCHLD, &normal, nullptr);
    sigaction(SIGTERM, &normal, nullptr);
    sigaction(SIGINT, &normal, nullptr);
    _exit(serveConnection(connection, connection, options));
}

}  // namespace

int serveInetd(const HelperOptions& options) {
    SystemLog::notice("Configuring connection event handler for helper");
    return serveConnection(STDIN_FILENO, STDOUT_FILENO, options);
}

int serveListen(const HelperOptions& options) {
    ino_t inode = 0;
    const int listener = createListener(options.socketPath, inode);
    if (listener < 0) {
        SystemLog::error("Failed to create service.");
        return 1;
    }
    SystemLog::notice("Configuring connection event handler for helper");
    installStopHandlers();
    while (!gStopRequested) {
        const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            break;
        }
        const pid_t child = fork();
        if (child == 0) {
            serveChild(connection, listener, options);
        }
        close(connection);
    }
    SystemLog::notice("termination imminent");
    close(listener);
    removeListener(options.socketPath, inode);
    return 0;
}

int serveStdin(const HelperOptions& options, const std::string& pkexecUid) {
    uid_t uid = getuid();
    if (!pkexecUid.empty()) {
        unsigned long parsed = 0;
        const auto [end, error] =
            std::from_chars(pkexecUid.data(), pkexecUid.data() + pkexecUid.size(), parsed);
        if (error != std::errc() || end != pkexecUid.data() + pkexecUid.size()) {
            return 1;
        }
        uid = static_cast<uid_t>(parsed);
    }
    std::string text;
    const Result read = descriptor_io::readToEnd(STDIN_FILENO, HelperRequest::kMaxText,
                                                 descriptor_io::deadlineAfter(kIdleTimeout), text);
    int result = status::kNotParsed;
    const std::optional<Caller> caller = Caller::ofUser(uid);
    if (!caller) {
        result = status::kNotAsUser;
    } else if (read == Result::Ok) {
        SystemLog::notice("request: " + text);
        ScopedApplier applier(*caller, options);
        result = DoSaveParameters(text, applier);
    }
    descriptor_io::writeAll(STDOUT_FILENO, status::replyText(result),
                            descriptor_io::deadlineAfter(kReplyTimeout));
    // pkexec keeps 126 and 127 for itself.
    return result == status::kDone ? 0 : 1;
}

}  // namespace service_loop
