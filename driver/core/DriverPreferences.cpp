#include "driver/core/DriverPreferences.h"

#include <fcntl.h>
#include <odbcinst.h>

#include <utility>

#include "platform/AdministratorRequest.h"
#include "platform/InstallerFacade.h"
#include "platform/PreferenceFiles.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/ReplacedFile.h"
#include "platform/TrustedPath.h"
#include "platform/UniqueFd.h"

namespace {

constexpr int kValueBufferSize = 1024;
constexpr const char* kInstallerFile = "ODBCINST.INI";

// Keys stored as one-element arrays in a property list.
constexpr const char* kListKeys[] = {"RecentDatabases", "RecentServers"};

bool isListKey(const std::string& key) {
    for (const char* listKey : kListKeys) {
        if (key == listKey) {
            return true;
        }
    }
    return false;
}

std::string limitedValue(std::string value) {
    if (value.size() > kValueBufferSize - 1) {
        value.resize(kValueBufferSize - 1);
    }
    return value;
}

// What a parsed list holds, in a list that may be written: libplist's
// writers are never given parsed text.
PropertyList writableCopy(const std::optional<PropertyList>& parsed) {
    PropertyList copy = PropertyList::newDictionary();
    if (!parsed || !parsed->isDictionary()) {
        return copy;
    }
    for (const std::string& key : parsed->keys()) {
        if (const auto text = parsed->string(key)) {
            copy.setString(key, *text);
        } else if (const auto list = parsed->stringArray(key)) {
            copy.setStringArray(key, *list);
        }
    }
    return copy;
}

std::string defaultDirectory() {
    std::string directory = preference_files::systemDirectory().string();
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    return directory;
}

}  // namespace

DriverPreferences::DriverPreferences(std::string bundleIdentifier, std::string productName,
                                     std::string teamIdentifier)
    : DriverPreferences(std::move(bundleIdentifier), std::move(productName),
                        std::move(teamIdentifier), defaultDirectory()) {}

DriverPreferences::DriverPreferences(std::string bundleIdentifier, std::string productName,
                                     std::string teamIdentifier, std::string directory)
    : bundleIdentifier_(std::move(bundleIdentifier)),
      productName_(std::move(productName)),
      teamIdentifier_(std::move(teamIdentifier)),
      directory_(std::move(directory)),
      dictionary_(PropertyList::newDictionary()) {
    load();
}

DriverPreferences::~DriverPreferences() = default;

PropertyList& DriverPreferences::dictionary() {
    return dictionary_;
}

void DriverPreferences::load() {
    const std::string fileName = bundleIdentifier_ + ".plist";
    std::vector<std::filesystem::path> candidates{directory_ + fileName};
    if (auto user = preference_files::userDirectory()) {
        candidates.push_back(*user / fileName);
    }
    for (const auto& path : candidates) {
        const auto bytes = preference_files::read(path);
        auto loaded = bytes ? PropertyList::parse(*bytes) : std::nullopt;
        if (loaded && loaded->isDictionary()) {
            dictionary_ = std::move(*loaded);
            return;
        }
    }
    for (const char* key : kListKeys) {
        dictionary_.setStringArray(key, {});
    }
}

std::string DriverPreferences::readInstallerValue(const std::string& key) const {
    InstallerFacade& installer = InstallerFacade::instance();
    char buffer[kValueBufferSize] = {};
    installer.setConfigMode(ODBC_SYSTEM_DSN);
    installer.getPrivateProfileString(productName_.c_str(), key.c_str(), "", buffer,
                                      kValueBufferSize, kInstallerFile);
    buffer[kValueBufferSize - 1] = '\0';
    return buffer;
}

std::string DriverPreferences::get(const std::string& key) const {
    std::string value = readInstallerValue(key);
    if (!value.empty()) {
        return value;
    }
    return limitedValue(dictionary_.string(key).value_or(""));
}

void DriverPreferences::set(const std::string& key, const std::string& value) {
    pending_[key] = value;
}

std::vector<std::string> DriverPreferences::recentList(const std::string& key) const {
    const std::string value = readInstallerValue(key);
    if (!value.empty()) {
        return {value};
    }
    std::vector<std::string> result =
        dictionary_.stringArray(key).value_or(std::vector<std::string>{});
    for (std::string& entry : result) {
        entry = limitedValue(std::move(entry));
    }
    return result;
}

void DriverPreferences::setRecentServers(const std::vector<std::string>& values) {
    if (!values.empty()) {
        set("RecentServers", values.front());
    }
}

void DriverPreferences::setRecentDatabases(const std::vector<std::string>& values) {
    if (!values.empty()) {
        set("RecentDatabases", values.front());
    }
}

bool DriverPreferences::writeInstallerValue(const std::string& key,
                                            const std::string& value) const {
    InstallerFacade& installer = InstallerFacade::instance();
    installer.setConfigMode(ODBC_SYSTEM_DSN);
    return installer.writePrivateProfileString(productName_.c_str(), key.c_str(),
                                               value.empty() ? nullptr : value.c_str(),
                                               kInstallerFile) != FALSE;
}

bool DriverPreferences::save(bool useRequest) {
    if (pending_.empty()) {
        return true;
    }
    bool written = true;
    {
        // Every key in one replacement of the file, or none.
        InstallerFacade::Transaction action;
        for (const auto& [key, value] : pending_) {
            written = writeInstallerValue(key, value) && written;
        }
        written = action.commit() && written;
        failure_ = written ? std::string() : action.failure();
    }
    if (written || !useRequest) {
        return written;
    }
    return sendRequest();
}

bool DriverPreferences::saveForUser() const {
    const auto folder = preference_files::userDirectory();
    if (!folder) {
        return false;
    }
    const std::string name = bundleIdentifier_ + ".plist";
    // Root's settings go only where root alone could have put the folder,
    // never where another user's folder or link leads.
    std::string problem;
    std::error_code ignored;
    if (name.find('/') != std::string::npos) {
        return false;
    }
    if (!TrustedPath::keepsRootRules()) {
        std::filesystem::create_directories(*folder, ignored);
    } else if (TrustedPath::makeFoldersFor(*folder / name, problem) != 0) {
        return false;
    }
    const UniqueFd directory(::open(folder->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory.valid()) {
        return false;
    }
    const auto bytes = preference_files::read(*folder / name);
    PropertyList list = writableCopy(bytes ? PropertyList::parse(*bytes) : std::nullopt);
    for (const auto& [key, value] : pending_) {
        if (value.empty()) {
            list.remove(key);
        } else if (isListKey(key)) {
            list.setStringArray(key, {value});
        } else {
            list.setString(key, value);
        }
    }
    return ReplacedFile::write(directory.get(), name.c_str(), list.toXml()) == 0;
}

std::string DriverPreferences::preferencesXml(const std::map<std::string, std::string>& pending) {
    PropertyList preferences = PropertyList::newDictionary();
    for (const auto& [key, value] : pending) {
        if (isListKey(key)) {
            preferences.setStringArray(key, {value});
        } else {
            preferences.setString(key, value);
        }
    }
    return preferences.toXml();
}

bool DriverPreferences::sendRequest() {
    PropertyList request = PropertyList::newDictionary();
    namespace contract = privileged_request;
    request.setString(contract::kRequestKey, contract::kUpdatePreferencesRequest);
    request.setString(contract::kBundleIdKey, bundleIdentifier_);
    request.setData(contract::kPreferencesKey, preferencesXml(pending_));
    request.setString(contract::kProductNameKey, productName_);
    return sendAdministratorRequest(request, bundleIdentifier_, teamIdentifier_);
}
