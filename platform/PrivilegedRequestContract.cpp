#include "platform/PrivilegedRequestContract.h"

#include <charconv>
#include <optional>

namespace privileged_request {

namespace {

constexpr std::string_view kOk = "OK";
constexpr std::string_view kErrorPrefix = "ERROR ";

constexpr const char* kRefusedText =
    "The privileged helper refused the change. Only root, or an administrator who "
    "authenticates with their password when polkit asks, may change the system's ODBC files; "
    "the authentication was cancelled or failed, or no polkit authentication agent runs in "
    "this session to ask for it. Try again and enter an administrator's password when asked, "
    "or ask an administrator to make the change. An administrator makes an account an "
    "administrator with: sudo usermod -aG sudo NAME.";
constexpr const char* kUnreachableText =
    "The privileged helper could not be reached. An administrator enables it with: sudo "
    "systemctl enable --now quillmark-helper.socket";
constexpr const char* kFailedText = "The privileged helper could not make the change. It answered:";

// The status of "ERROR <status>", if the reply is one.
std::optional<int> errorStatus(std::string_view reply) {
    reply = replyLine(reply);
    if (!reply.starts_with(kErrorPrefix)) {
        return std::nullopt;
    }
    reply.remove_prefix(kErrorPrefix.size());
    int status = 0;
    const auto [end, error] = std::from_chars(reply.data(), reply.data() + reply.size(), status);
    if (error != std::errc() || end != reply.data() + reply.size()) {
        return std::nullopt;
    }
    return status;
}

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

Answer answerOf(std::string_view reply) {
    if (isOkReply(reply)) {
        return Answer::Applied;
    }
    const std::optional<int> status = errorStatus(reply);
    if (!status) {
        return Answer::Unreachable;
    }
    return *status == kNotAuthorisedStatus ? Answer::Refused : Answer::Failed;
}

std::string helperExplanation(std::string_view reply, bool systemFiles,
                              const Translate& translate) {
    if (!systemFiles) {
        return {};
    }
    switch (answerOf(reply)) {
        case Answer::Applied:
            return {};
        case Answer::Refused:
            return translate(kRefusedText);
        case Answer::Failed:
            return translate(kFailedText) + " " + std::string(replyLine(reply));
        case Answer::Unreachable:
            break;
    }
    return translate(kUnreachableText);
}

}  // namespace privileged_request
