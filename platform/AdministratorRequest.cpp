#include "platform/AdministratorRequest.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/Bundle.h"
#include "platform/IniSyntax.h"
#include "platform/LocalSocket.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/PrivilegedRunner.h"
#include "platform/RelaySocketPath.h"
#include "platform/SystemLog.h"

namespace {

namespace contract = privileged_request;

constexpr size_t kReplyBufferSize = 4096;
constexpr size_t kMaxErrorText = 255;

std::atomic<long long>& replyTimeoutMs() {
    static std::atomic<long long> timeout{
        std::chrono::milliseconds(contract::kRelayReplyLimit).count()};
    return timeout;
}

struct CommandRow {
    const char* request;
    const char* command;
};

constexpr CommandRow kCommands[] = {
    {contract::kUpdatePreferencesRequest, contract::kUpdatePreferencesCommand},
    {contract::kAddRequest, contract::kConfigureDsnCommand},
    {contract::kConfigureRequest, contract::kConfigureDsnCommand},
    {contract::kRemoveRequest, contract::kConfigureDsnCommand},
    {contract::kGetVersionRequest, contract::kGetVersionCommand},
};

std::string limited(std::string text) {
    if (text.size() > kMaxErrorText) {
        text.resize(kMaxErrorText);
    }
    return text;
}

bool connectTo(int fd, const std::string& path) {
    // Only an administrator running as this user may see our requests.
    return local_socket::connectTo(fd, path) && relay_socket::peerIsSameUser(fd);
}

// The whole text, however many sends it takes; a closed peer is a failure,
// never a signal.
bool sendAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t sent = send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

// One receive of at most 4095 bytes; nothing when it fails or times out.
std::optional<std::string> receiveReply(int fd) {
    pollfd waiting{fd, POLLIN, 0};
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(replyTimeoutMs().load());
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        const int ready =
            poll(&waiting, 1, static_cast<int>(std::min<long long>(left.count(), 60000)));
        if (ready > 0) {
            break;
        }
        if (ready < 0 && errno != EINTR) {
            return std::nullopt;
        }
    }
    char buffer[kReplyBufferSize];
    ssize_t received;
    do {
        received = recv(fd, buffer, kReplyBufferSize - 1, 0);
    } while (received < 0 && errno == EINTR);
    if (received < 0) {
        return std::nullopt;
    }
    buffer[received] = '\0';
    return std::string(buffer);
}

// The text as the receiver reads it: up to its first NUL.
std::string requestText(const PropertyList& request) {
    std::string xml = request.toXml();
    const size_t nul = xml.find('\0');
    if (nul != std::string::npos) {
        xml.resize(nul);
    }
    return xml;
}

// The administrator application's answer to the request, whatever it is
// (no other route is tried then); nothing when no exchange took place.
std::optional<std::string> sendToAdministrator(const PropertyList& request) {
    const UniqueFd socket = local_socket::stream();
    if (!socket.valid()) {
        SystemLog::error("failed to create socket to Quillmark");
        return std::nullopt;
    }
    const std::optional<std::string> relay =
        relay_socket::checkedPath(contract::kAdministratorIdentifier, relay_socket::Folder::Check);
    if (!relay || !connectTo(socket.get(), *relay)) {
        SystemLog::error("failed to connect to Quillmark");
        return std::nullopt;
    }
    if (!sendAll(socket.get(), requestText(request))) {
        SystemLog::error("failed to send request to Quillmark");
        return std::nullopt;
    }
    // The receiver reads the request to its end.
    shutdown(socket.get(), SHUT_WR);
    std::optional<std::string> reply = receiveReply(socket.get());
    if (!reply) {
        SystemLog::error("failed to receive reply from Quillmark");
        return std::nullopt;
    }
    SystemLog::error("Quillmark reply: " + *reply);
    if (!contract::isOkReply(*reply)) {
        SystemLog::error("Quillmark did not apply the request: " +
                         (reply->empty() ? std::string("no reply") : *reply));
    }
    return reply;
}

std::string setupToolFailed(int status) {
    SystemLog::error("Setup tool call failed: " + std::to_string(status));
    return {};
}

// The bundle's helper through the privileged runner; its reply as
// PrivilegedRunner::replyOf reads it, "OK" when it exited with status 0.
std::string runOwnHelper(PropertyList& request, const std::string& bundleIdentifier) {
    const std::string command =
        helperCommandForRequest(request.string(contract::kRequestKey).value_or(""));
    if (!command.empty()) {
        request.setString(contract::kCommandKey, command);
    }

    const std::optional<Bundle> bundle = Bundle::withIdentifier(bundleIdentifier);
    if (!bundle) {
        return setupToolFailed(ENOENT);
    }
    const std::filesystem::path program = contract::bundledHelper(bundle->path());

    PrivilegedRunner& runner = PrivilegedRunner::current();
    std::string problem;
    if (const int status = runner.verifyProgram(program, problem); status != 0) {
        SystemLog::error("Failed code signing verification\n");
        if (!problem.empty()) {
            SystemLog::error("Failed code signing: " + limited(problem));
        }
        return setupToolFailed(status);
    }

    const PrivilegedRunner::Outcome outcome = runner.run(program, requestText(request));
    if (outcome.spawnError != 0) {
        SystemLog::error("Authenticated install submit failed: " +
                         limited(std::strerror(outcome.spawnError)));
        return {};
    }
    if (outcome.exitStatus == PrivilegedRunner::kAuthorisationDismissed ||
        outcome.exitStatus == PrivilegedRunner::kNotAuthorised) {
        SystemLog::error("Authentication failed");
        return PrivilegedRunner::replyOf(outcome);
    }
    if (outcome.exitStatus != 0) {
        if (!outcome.output.empty()) {
            SystemLog::error("helper reply: " + outcome.output);
        }
        SystemLog::error(outcome.exitStatus < 0
                             ? std::string("Authenticated install submit failed with unknown error")
                             : "Authenticated install submit failed: helper exited with status " +
                                   std::to_string(outcome.exitStatus));
        return PrivilegedRunner::replyOf(outcome);
    }
    return contract::replyText(0);
}

}  // namespace

std::string helperCommandForRequest(const std::string& request) {
    for (const CommandRow& row : kCommands) {
        // The helper reads Request with the same rule.
        if (IniSyntax::sameName(request, row.request)) {
            return row.command;
        }
    }
    return {};
}

void setAdministratorReplyTimeout(std::chrono::milliseconds timeout) {
    replyTimeoutMs().store(timeout.count());
}

std::string administratorRequestReply(PropertyList& request, const std::string& bundleIdentifier,
                                      const std::string& teamIdentifier) {
    // The runner's ownership check stands in for the team's signature.
    (void)teamIdentifier;
    if (std::optional<std::string> reply = sendToAdministrator(request)) {
        return *std::move(reply);
    }
    return runOwnHelper(request, bundleIdentifier);
}

bool sendAdministratorRequest(PropertyList& request, const std::string& bundleIdentifier,
                              const std::string& teamIdentifier) {
    return contract::isOkReply(
        administratorRequestReply(request, bundleIdentifier, teamIdentifier));
}

bool sendAdministratorRequest(PropertyList& request, const char* bundleIdentifier,
                              const char* teamIdentifier) {
    return sendAdministratorRequest(request, std::string(bundleIdentifier ? bundleIdentifier : ""),
                                    std::string(teamIdentifier ? teamIdentifier : ""));
}
