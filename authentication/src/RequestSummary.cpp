#include "authentication/src/RequestSummary.h"

#include <optional>

#include "authentication/src/HelperRequest.h"
#include "authentication/src/RequestValidation.h"
#include "platform/IniSyntax.h"
#include "platform/PrivilegedRequestContract.h"

namespace {

namespace contract = privileged_request;

constexpr size_t kMaxShown = 64;

// Short and on one line, whatever the client sent.
std::string loggable(std::string_view text) {
    std::string shown(text.substr(0, kMaxShown));
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = '?';
        }
    }
    return shown;
}

// The DSN item of a connection string, or the whole text when it is a bare
// name (Remove); nothing for anything else, which may hold secrets.
std::optional<std::string> dsnName(const HelperRequest& request) {
    const auto connection = request.string(contract::kConnectionStringKey);
    if (!connection) {
        return std::nullopt;
    }
    if (connection->find_first_of("=;{}") == std::string::npos) {
        return connection;
    }
    const auto items = request_validation::splitConnectionString(*connection);
    if (items) {
        for (const auto& item : *items) {
            if (IniSyntax::sameName(item.key, "DSN") && item.value) {
                return item.value;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

namespace request_summary {

std::string describe(std::string_view requestText) {
    const HelperRequest::Parsed parsed = HelperRequest::parse(requestText);
    if (!parsed.request) {
        return "unreadable request";
    }
    const HelperRequest& request = *parsed.request;
    const bool driver = request.string(contract::kCommandKey) ==
                        std::optional<std::string>(contract::kConfigureDriverCommand);
    std::string summary = driver ? "driver " : "";
    summary += loggable(request.string(contract::kRequestKey).value_or("(no command)"));
    if (const auto type = request.string(contract::kTypeKey)) {
        summary += " " + loggable(*type);
    }
    const std::optional<std::string> name =
        driver ? request.string(contract::kDriverNameKey) : dsnName(request);
    if (name) {
        summary += (driver ? " \"" : " DSN \"") + loggable(*name) + "\"";
    }
    return summary;
}

}  // namespace request_summary
