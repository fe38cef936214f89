#include "platform/PrivilegedRequestContract.h"

namespace privileged_request {

namespace {

constexpr std::string_view kOk = "OK";

}  // namespace

std::filesystem::path bundledHelper(const std::filesystem::path& bundle) {
    return bundle / "Contents" / "Library" / "LaunchServices" / kHelperName;
}

std::string replyText(int status) {
    return status == 0 ? std::string(kOk) : "ERROR " + std::to_string(status);
}

std::string_view replyLine(std::string_view reply) {
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) {
        reply.remove_suffix(1);
    }
    return reply;
}

bool isOkReply(std::string_view reply) {
    return replyLine(reply) == kOk;
}

}  // namespace privileged_request
