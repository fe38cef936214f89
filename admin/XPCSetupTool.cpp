#include "admin/XPCSetupTool.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>

#include "authentication/src/HelperStatus.h"
#include "authentication/src/RequestSummary.h"
#include "platform/Bundle.h"
#include "platform/LocalSocket.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/PrivilegedRunner.h"
#include "platform/ServiceMessage.h"
#include "platform/SystemLog.h"

namespace {

namespace contract = privileged_request;

// The replies are told apart by the helper's own status for a refusal.
static_assert(helper_status::kNotAuthorised == contract::kNotAuthorisedStatus);

constexpr auto kExchangeTimeout = contract::kHelperExchangeLimit;

std::mutex& seamMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& socketOverride() {
    static std::string path;
    return path;
}

// The driver bundle's copy of the helper, which pkexec may run.
std::optional<std::filesystem::path> fallbackProgram() {
    const std::optional<Bundle> bundle = Bundle::withIdentifier(contract::kDriverBundleIdentifier);
    if (!bundle) {
        return std::nullopt;
    }
    return contract::bundledHelper(bundle->path());
}

bool socketOwnedByRoot(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_uid == 0;
}

}  // namespace

void copyResponse(std::string_view text, char* response, size_t maxResponseLen) {
    if (response == nullptr || maxResponseLen == 0) {
        return;
    }
    const size_t length = std::min(text.size(), maxResponseLen - 1);
    std::memcpy(response, text.data(), length);
    response[length] = '\0';
}

void XPCSetupTool::setHelperSocketForTesting(std::string path) {
    std::lock_guard lock(seamMutex());
    socketOverride() = std::move(path);
}

std::string XPCSetupTool::helperSocket() {
    std::lock_guard lock(seamMutex());
    return socketOverride().empty() ? std::string(contract::kHelperSocket) : socketOverride();
}

bool XPCSetupTool::appendLog(std::string_view text) const {
    SystemLog::notice("Client: " + std::string(text));
    return true;
}

std::string XPCSetupTool::blessHelperWithLabel(std::string_view label) const {
    (void)label;  // one helper; its label names the socket's service
    if (socketOwnedByRoot(helperSocket())) {
        return {};
    }
    const std::optional<std::filesystem::path> program = fallbackProgram();
    std::string problem;
    if (program && PrivilegedRunner::current().verifyProgram(*program, problem) == 0) {
        return {};
    }
    return "helper not installed";
}

bool XPCSetupTool::callSetupTool(std::string_view request, char* response,
                                 size_t maxResponseLen) const {
    const std::string problem = blessHelperWithLabel(kHelperLabel);
    if (!problem.empty()) {
        appendLog("Failed to bless helper. Error: " + problem);
        return false;
    }
    const std::string socketPath = helperSocket();
    if (socketOwnedByRoot(socketPath)) {
        return sendRequestXPC(socketPath, request, response, maxResponseLen);
    }
    return sendRequestFallback(request, response, maxResponseLen);
}

bool XPCSetupTool::sendRequestXPC(const std::string& socketPath, std::string_view request,
                                  char* response, size_t maxResponseLen) const {
    const UniqueFd connection = local_socket::stream();
    if (!local_socket::connectTo(connection.get(), socketPath)) {
        appendLog("Failed to create XPC connection.");
        copyResponse("Failed to create XPC connection", response, maxResponseLen);
        return false;
    }
    appendLog("Sending request: " + request_summary::describe(request));
    const auto deadline = descriptor_io::deadlineAfter(kExchangeTimeout);
    const ServiceMessage::Fields message{{contract::kMessageRequestField, std::string(request)}};
    ServiceMessage::Received reply;
    if (ServiceMessage::send(connection.get(), message, deadline) == descriptor_io::Result::Ok) {
        reply = ServiceMessage::receive(connection.get(), deadline);
    }
    const auto text = reply.fields.find(contract::kMessageReplyField);
    if (reply.result != descriptor_io::Result::Ok || text == reply.fields.end()) {
        appendLog("XPC connection interupted.");
        copyResponse("XPC connection interupted", response, maxResponseLen);
        return false;
    }
    appendLog("Received response: " + text->second + ".");
    copyResponse(text->second, response, maxResponseLen);
    return contract::isOkReply(text->second);
}

bool XPCSetupTool::sendRequestFallback(std::string_view request, char* response,
                                       size_t maxResponseLen) const {
    const std::optional<std::filesystem::path> program = fallbackProgram();
    if (!program) {
        return false;
    }
    appendLog("Sending request: " + request_summary::describe(request));
    const PrivilegedRunner::Outcome outcome = PrivilegedRunner::current().run(*program, request);
    // The helper's reply is its standard output; nothing there means pkexec
    // or the helper failed before answering.
    std::string reply = PrivilegedRunner::replyOf(outcome);
    if (reply.empty()) {
        reply = "ERROR";
    }
    appendLog("Received response: " + reply + ".");
    copyResponse(reply, response, maxResponseLen);
    return contract::isOkReply(reply) && outcome.exitStatus == 0;
}

bool CallSMBlessTool(const char* request, char* response, size_t maxResponseLen) {
    const XPCSetupTool tool;
    return tool.callSetupTool(request ? request : "", response, maxResponseLen);
}
