#include "admin/PrivilegedRequest.h"

#include <array>

#include "admin/XPCSetupTool.h"
#include "platform/ConnectionItems.h"
#include "platform/OldStylePlist.h"
#include "platform/PropertyList.h"

namespace {

const char* scopeName(bool system) {
    return system ? "System" : "User";
}

}  // namespace

PrivilegedRequest::Sender PrivilegedRequest::helperSender() {
    return [](const std::string& text) {
        std::array<char, 4096> response{};
        return CallSMBlessTool(text.c_str(), response.data(), response.size() - 1);
    };
}

PrivilegedRequest PrivilegedRequest::configureDsn(std::string connectionString,
                                                  std::string originalName, bool system,
                                                  std::string request, std::string driver,
                                                  std::string path) {
    return PrivilegedRequest({{kCommandKey, "ConfigureDSN"},
                              {"ConnectionString", std::move(connectionString)},
                              {"OriginalName", std::move(originalName)},
                              {"Type", scopeName(system)},
                              {"Request", std::move(request)},
                              {"Driver", std::move(driver)},
                              {"Path", std::move(path)}});
}

PrivilegedRequest PrivilegedRequest::configureDriver(std::string driverName,
                                                     std::string originalName, bool system,
                                                     std::string request, std::string driverPath,
                                                     std::string setupPath, std::string path) {
    return PrivilegedRequest({{kCommandKey, "ConfigureDriver"},
                              {"DriverName", std::move(driverName)},
                              {"OriginalName", std::move(originalName)},
                              {"Type", scopeName(system)},
                              {"Request", std::move(request)},
                              {"DriverPath", std::move(driverPath)},
                              {"SetupPath", std::move(setupPath)},
                              {"Path", std::move(path)}});
}

std::optional<std::string> PrivilegedRequest::connectionString(const Items& items) {
    std::string text;
    for (const auto& [key, value] : items) {
        text += ConnectionItems::item(key, value);
        if (text.size() > kMaxConnectionString) {
            return std::nullopt;
        }
    }
    return text;
}

std::optional<std::string> PrivilegedRequest::text() const {
    PropertyList dictionary = PropertyList::newDictionary();
    for (const auto& [key, value] : entries_) {
        dictionary.setString(key, value);
    }
    return OldStylePlist::write(dictionary);
}

bool PrivilegedRequest::send(const Sender& sender) const {
    const std::optional<std::string> request = text();
    return request && sender(*request);
}
