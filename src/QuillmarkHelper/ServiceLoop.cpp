#include "src/QuillmarkHelper/ServiceLoop.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>

#include "authentication/src/HelperStatus.h"
#include "authentication/src/RequestSummary.h"
#include "authentication/src/SaveParameters.h"
#include "platform/DescriptorIo.h"
#include "platform/LocalSocket.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/ServiceMessage.h"
#include "platform/UniqueFd.h"
#include "platform/SystemLog.h"
#include "src/QuillmarkHelper/Authorisation.h"
#include "src/QuillmarkHelper/Caller.h"
#include "src/QuillmarkHelper/ConnectionSlot.h"
#include "src/QuillmarkHelper/ScopedApplier.h"

namespace status = helper_status;
using descriptor_io::Result;

namespace service_loop {

namespace {

// A client that says nothing for this long is dropped; so is a connection
// that lasts longer than the second limit, however often it speaks, from
// its first moment and through its requests' children.
constexpr auto kIdleTimeout = std::chrono::seconds(30);
constexpr auto kConnectionTimeout = privileged_request::kHelperConnectionLimit;
// Authentication waits for a person typing a password; what the caller
// sent meanwhile waits in the socket.
constexpr auto kAuthenticationTimeout = privileged_request::kAuthenticationLimit;
// What a refused caller sends is read, unparsed, only so that the answer
// is not lost to a reset: one frame's worth, for this long at most.
constexpr auto kRefusalTimeout = std::chrono::seconds(5);
constexpr size_t kMaxFrameBytes = 4 + ServiceMessage::kMaxBody;
constexpr auto kReplyTimeout = std::chrono::seconds(10);
// --listen serves at most this many connections at once, and this many of
// one user (the socket unit caps all connections; the helper caps a user's).
constexpr size_t kMaxChildren = 32;
constexpr size_t kMaxChildrenPerUser = 8;
constexpr int kWaitMs = 200;

volatile sig_atomic_t gStopRequested = 0;

void requestStop(int) {
    gStopRequested = 1;
}

bool sendReply(int fd, int requestStatus) {
    const ServiceMessage::Fields reply{
        {privileged_request::kMessageReplyField, status::replyText(requestStatus)}};
    return ServiceMessage::send(fd, reply, descriptor_io::deadlineAfter(kReplyTimeout)) ==
           Result::Ok;
}

std::string uidText(const std::optional<Caller>& caller) {
    return caller ? std::to_string(caller->uid) : std::string("unknown");
}

// One log line with polkit's answer, one answer as soon as polkit gave it,
// and the connection ends: a caller who may not change the files cannot
// keep a helper process busy, and nothing it sends is decoded.
void refuse(int in, int out, const std::optional<Caller>& caller, const char* why) {
    SystemLog::notice("refused a caller (uid " + uidText(caller) + "): " + why);
    sendReply(out, status::kNotAuthorised);
    shutdown(out, SHUT_WR);
    std::string dropped;
    descriptor_io::readToEnd(in, kMaxFrameBytes, descriptor_io::deadlineAfter(kRefusalTimeout),
                             dropped);
}

// True once the client has closed its end: its answer could no longer
// reach it.
bool clientGone(int in) {
    pollfd connection{in, 0, 0};
    return poll(&connection, 1, 0) > 0 && (connection.revents & (POLLHUP | POLLERR)) != 0;
}

// Parsed once: what is applied is what the log names, with its answer and
// never a value.
int handleRequest(const std::string& text, const Caller& caller, const HelperOptions& options,
                  descriptor_io::Clock::time_point bound) {
    ScopedApplier applier(caller, options, bound);
    const HelperRequest::Parsed parsed = HelperRequest::parse(text);
    const int result = DoSaveParameters(parsed, applier);
    SystemLog::notice("request: " + request_summary::describe(parsed) + ": " +
                      status::replyText(result));
    return result;
}

int handleMessage(const ServiceMessage::Fields& message, const Caller& caller,
                  const HelperOptions& options, descriptor_io::Clock::time_point bound) {
    const auto request = message.find(privileged_request::kMessageRequestField);
    if (request == message.end()) {
        return status::kNotParsed;
    }
    return handleRequest(request->second, caller, options, bound);
}

// Serves the messages of one connection until the client goes. The caller
// is authorised before anything else happens or is logged.
int serveConnection(int in, int out, const HelperOptions& options) {
    const auto connectionDeadline = descriptor_io::deadlineAfter(kConnectionTimeout);
    const std::optional<Caller> caller = Caller::ofPeer(in);
    if (!caller) {
        refuse(in, out, caller, "unknown peer");
        return 0;
    }
    const Authorisation::Answer answer =
        Authorisation(options.pkcheck)
            .ask(*caller, std::min(descriptor_io::deadlineAfter(kAuthenticationTimeout),
                                   connectionDeadline));
    if (answer != Authorisation::Answer::Authorised) {
        refuse(in, out, caller, Authorisation::describe(answer));
        return 0;
    }
    // A client that gave up while its user authenticated is not served.
    if (clientGone(in)) {
        SystemLog::notice("the caller left during authentication (uid " + uidText(caller) + ")");
        return 0;
    }
    for (;;) {
        const ServiceMessage::Received received = ServiceMessage::receive(
            in, std::min(descriptor_io::deadlineAfter(kIdleTimeout), connectionDeadline));
        if (received.result == Result::Closed) {
            return 0;
        }
        if (received.result == Result::TooLong) {
            sendReply(out, status::kNotParsed);
            return 0;
        }
        if (received.result != Result::Ok) {
            return 0;  // a broken frame or a silent client: nothing to answer
        }
        if (!sendReply(out, handleMessage(received.fields, *caller, options, connectionDeadline))) {
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

void serveChild(int connection, int listener, const HelperOptions& options) {
    close(listener);
    struct sigaction normal {};
    normal.sa_handler = SIG_DFL;
    sigaction(SIGCHLD, &normal, nullptr);
    sigaction(SIGTERM, &normal, nullptr);
    sigaction(SIGINT, &normal, nullptr);
    _exit(serveConnection(connection, connection, options));
}

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // Exits stay visible to waitpid, which is how the loop counts children.
    struct sigaction children {};
    children.sa_handler = SIG_DFL;
    sigaction(SIGCHLD, &children, nullptr);
}

using Children = std::map<pid_t, uid_t>;

void reapChildren(Children& children) {
    int childStatus = 0;
    pid_t done = 0;
    while ((done = waitpid(-1, &childStatus, WNOHANG)) > 0) {
        children.erase(done);
    }
}

size_t childrenOf(const Children& children, uid_t uid) {
    return static_cast<size_t>(
        std::count_if(children.begin(), children.end(),
                      [uid](const auto& child) { return child.second == uid; }));
}

// True when the listener has a connection waiting; false after a pause.
bool waitForConnection(int listener) {
    pollfd waiting{listener, POLLIN, 0};
    return poll(&waiting, 1, kWaitMs) > 0;
}

// Forks a child for one accepted connection, unless its user already has
// as many as one user may.
void serveAccepted(int connection, int listener, const HelperOptions& options, Children& children) {
    const std::optional<Caller> peer = Caller::ofPeer(connection);
    const uid_t uid = peer ? peer->uid : static_cast<uid_t>(-1);
    if (childrenOf(children, uid) >= kMaxChildrenPerUser) {
        SystemLog::notice("too many connections (uid " + uidText(peer) + "); closed");
        return;
    }
    const pid_t child = fork();
    if (child == 0) {
        serveChild(connection, listener, options);
    }
    if (child > 0) {
        children.emplace(child, uid);
    }
}

// Decimal digits alone, of a uid that can exist: never wrapped, never
// (uid_t)-1, which set*id calls read as "unchanged".
std::optional<uid_t> decimalUid(const std::string& text) {
    uid_t uid = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, uid);
    const bool digits = !text.empty() && std::all_of(text.begin(), text.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || error != std::errc() || stop != end || uid == static_cast<uid_t>(-1)) {
        return std::nullopt;
    }
    return uid;
}

}  // namespace

// Each connection is a helper of its own here: a user's connections are
// counted across them by slot locks, and one beyond the cap is closed
// unserved, as --listen closes it.
int serveInetd(const HelperOptions& options) {
    const std::optional<Caller> peer = Caller::ofPeer(STDIN_FILENO);
    const uid_t uid = peer ? peer->uid : static_cast<uid_t>(-1);
    std::string why;
    const std::optional<ConnectionSlot> slot =
        ConnectionSlot::take(options.runtimeFolder, uid, kMaxChildrenPerUser, why);
    if (!slot) {
        SystemLog::notice("connection closed unserved (uid " + uidText(peer) + "): " + why);
        return 0;
    }
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
    Children children;
    // At the cap nothing is accepted: later connections wait in the backlog.
    while (!gStopRequested) {
        reapChildren(children);
        if (children.size() >= kMaxChildren) {
            poll(nullptr, 0, kWaitMs);
            continue;
        }
        if (!waitForConnection(listener)) {
            continue;
        }
        const UniqueFd connection(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection.valid()) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) {
                continue;
            }
            break;
        }
        serveAccepted(connection.get(), listener, options, children);
    }
    SystemLog::notice("termination imminent");
    close(listener);
    removeListener(options.socketPath, inode);
    return 0;
}

int serveStdin(const HelperOptions& options, const std::optional<std::string>& pkexecUid) {
    const auto bound = descriptor_io::deadlineAfter(kConnectionTimeout);
    const std::optional<uid_t> uid = pkexecUid ? decimalUid(*pkexecUid) : getuid();
    if (!uid) {
        return 1;
    }
    std::string text;
    const Result read = descriptor_io::readToEnd(STDIN_FILENO, HelperRequest::kMaxText,
                                                 descriptor_io::deadlineAfter(kIdleTimeout), text);
    int result = status::kNotParsed;
    const std::optional<Caller> caller = Caller::ofUser(*uid);
    if (!caller) {
        result = status::kNotAsUser;
    } else if (read == Result::Ok) {
        result = handleRequest(text, *caller, options, bound);
    }
    descriptor_io::writeAll(STDOUT_FILENO, status::replyText(result),
                            descriptor_io::deadlineAfter(kReplyTimeout));
    // pkexec keeps 126 and 127 for itself.
    return result == status::kDone ? 0 : 1;
}

}  // namespace service_loop
