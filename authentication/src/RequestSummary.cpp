#include "authentication/src/RequestSummary.h"

#include <cstdio>
#include <optional>

#include "authentication/src/RequestValidation.h"
#include "platform/IniSyntax.h"
#include "platform/PrivilegedRequestContract.h"

namespace {

namespace contract = privileged_request;

constexpr size_t kMaxShown = 64;

bool shownAsIs(unsigned char c) {
    return c >= 0x20 && c < 0x7f && c != '"' && c != '\\';
}

std::string inQuotes(std::string_view name) {
    return "\"" + request_summary::loggableName(name) + "\"";
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

std::string loggableName(std::string_view name) {
    std::string shown;
    for (const char c : name.substr(0, kMaxShown)) {
        if (shownAsIs(static_cast<unsigned char>(c))) {
            shown.push_back(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
            shown += escaped;
        }
    }
    return name.size() > kMaxShown ? shown + "..." : shown;
}

std::string describe(const HelperRequest::Parsed& parsed) {
    if (!parsed.request) {
        return "unreadable request";
    }
    const HelperRequest& request = *parsed.request;
    const bool driver = request.string(contract::kCommandKey) ==
                        std::optional<std::string>(contract::kConfigureDriverCommand);
    std::string summary = driver ? "driver " : "";
    const auto command = request.string(contract::kRequestKey);
    summary += command ? loggableName(*command) : "(no command)";
    if (const auto type = request.string(contract::kTypeKey)) {
        summary += " " + loggableName(*type);
    }
    const std::optional<std::string> name =
        driver ? request.string(contract::kDriverNameKey) : dsnName(request);
    if (name) {
        summary += (driver ? " " : " DSN ") + inQuotes(*name);
        if (const auto original = request_validation::renamedFrom(request, *name)) {
            summary += " (replacing " + inQuotes(*original) + ")";
        }
    }
    return summary;
}

std::string describe(std::string_view requestText) {
    return describe(HelperRequest::parse(requestText));
}

}  // namespace request_summary
