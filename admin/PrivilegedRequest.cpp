#include "admin/PrivilegedRequest.h"

#include <array>

#include "admin/XPCSetupTool.h"
#include "platform/ConnectionItems.h"
#include "platform/OldStylePlist.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/PropertyList.h"

namespace {

namespace contract = privileged_request;

const char* scopeName(bool system) {
    return system ? contract::kSystemType : contract::kUserType;
}

}  // namespace

PrivilegedRequest::Sender PrivilegedRequest::helperSender() {
    return [](const std::string& text) {
        std::array<char, 4096> response{};
        CallSMBlessTool(text.c_str(), response.data(), response.size() - 1);
        return std::string(response.data());
    };
}

PrivilegedRequest PrivilegedRequest::configureDsn(std::string connectionString,
                                                  std::string originalName, bool system,
                                                  std::string request, std::string driver,
                                                  std::string path) {
    return PrivilegedRequest({{contract::kCommandKey, contract::kConfigureDsnCommand},
                              {contract::kConnectionStringKey, std::move(connectionString)},
                              {contract::kOriginalNameKey, std::move(originalName)},
                              {contract::kTypeKey, scopeName(system)},
                              {contract::kRequestKey, std::move(request)},
                              {contract::kDriverKey, std::move(driver)},
                              {contract::kPathKey, std::move(path)}});
}

PrivilegedRequest PrivilegedRequest::configureDriver(std::string driverName,
                                                     std::string originalName, bool system,
                                                     std::string request, std::string driverPath,
                                                     std::string setupPath, std::string path) {
    return PrivilegedRequest({{contract::kCommandKey, contract::kConfigureDriverCommand},
                              {contract::kDriverNameKey, std::move(driverName)},
                              {contract::kOriginalNameKey, std::move(originalName)},
                              {contract::kTypeKey, scopeName(system)},
                              {contract::kRequestKey, std::move(request)},
                              {contract::kDriverPathKey, std::move(driverPath)},
                              {contract::kSetupPathKey, std::move(setupPath)},
                              {contract::kPathKey, std::move(path)}});
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

std::string PrivilegedRequest::send(const Sender& sender) const {
    const std::optional<std::string> request = text();
    return request ? sender(*request) : std::string();
}
