#include "admin/DriverEditor.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/AsciiCase.h"
#include "platform/InstallerFacade.h"
#include "platform/OdbcPaths.h"
#include "platform/PrivilegedRequestContract.h"

namespace {

constexpr const char* kOdbcinst = "odbcinst.ini";

bool isHiddenDriverKey(const std::string& key) {
    return equalsIgnoringAsciiCase(key, "Driver") || equalsIgnoringAsciiCase(key, "Setup");
}

std::filesystem::path folderOf(bool system) {
    return OdbcPaths::current().odbcinstIniFolder(system ? OdbcPaths::Scope::System
                                                         : OdbcPaths::Scope::User);
}

bool ensureFolder(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_directory(folder, error) || mkdir(folder.c_str(), 0775) == 0;
}

// The mode of the file that holds the driver: the user's first.
IniAccess::Mode holder(const std::string& name) {
    return IniAccess(IniAccess::User).valueOr(name, "Driver", kOdbcinst).empty() ? IniAccess::System
                                                                                 : IniAccess::User;
}

}  // namespace

DriverEditor::DriverEditor(std::string originalName, PrivilegedRequest::Sender sender)
    : originalName_(std::move(originalName)), sender_(std::move(sender)) {}

bool DriverEditor::canSave(const std::string& name, const std::string& driverPath) {
    return !name.empty() && !driverPath.empty();
}

DriverEditor::Fields DriverEditor::load() const {
    Fields fields;
    if (originalName_.empty()) {
        return fields;
    }
    fields.name = originalName_;
    const IniAccess ini(holder(originalName_));
    fields.system = ini.mode() == IniAccess::System;
    fields.driverPath = ini.valueOr(originalName_, "Driver", kOdbcinst);
    fields.locationFixed = !fields.driverPath.empty();
    fields.setupPath = ini.valueOr(originalName_, "Setup", kOdbcinst);
    const auto keys = ini.keys(originalName_, kOdbcinst);
    if (!keys || keys->empty()) {
        fields.missing = true;
        return fields;
    }
    for (const std::string& key : *keys) {
        if (!isHiddenDriverKey(key)) {
            fields.rows.push_back({key, ini.valueOr(originalName_, key, kOdbcinst)});
        }
    }
    return fields;
}

bool DriverEditor::removeDroppedKeys(const Fields& fields, const IniAccess& ini) const {
    const auto keys = ini.keys(fields.name, kOdbcinst);
    if (!keys) {
        return false;
    }
    for (const std::string& key : *keys) {
        const bool kept = std::any_of(fields.rows.begin(), fields.rows.end(), [&](const auto& row) {
            return !row.empty() && equalsIgnoringAsciiCase(row[0], key);
        });
        if (!kept && !isHiddenDriverKey(key) && !ini.removeKey(fields.name, key, kOdbcinst)) {
            return false;
        }
    }
    return true;
}

bool DriverEditor::writeLocally(const Fields& fields, const IniAccess& ini) const {
    InstallerFacade::Transaction action;
    if (writeEntries(fields, ini) && action.commit()) {
        return true;
    }
    problem_ = action.failure();
    return false;
}

bool DriverEditor::writeEntries(const Fields& fields, const IniAccess& ini) const {
    if (!ensureFolder(folderOf(fields.system)) ||
        !ini.write("ODBC Drivers", fields.name, "Installed", kOdbcinst) ||
        !ini.write(fields.name, "Driver", fields.driverPath, kOdbcinst) ||
        !ini.write(fields.name, "Setup", fields.setupPath, kOdbcinst)) {
        return false;
    }
    for (const auto& row : fields.rows) {
        if (row.size() >= 2 && !ini.write(fields.name, row[0], row[1], kOdbcinst)) {
            return false;
        }
    }
    if (originalName_.empty()) {
        return true;
    }
    if (equalsIgnoringAsciiCase(originalName_, fields.name)) {
        return removeDroppedKeys(fields, ini);
    }
    return ini.removeDriver(originalName_);
}

DriverEditor::Outcome DriverEditor::save(const Fields& fields) const {
    const IniAccess ini(fields.system ? IniAccess::System : IniAccess::User);
    if (writeLocally(fields, ini)) {
        return Outcome::Written;
    }
    const PrivilegedRequest request = PrivilegedRequest::configureDriver(
        fields.name, originalName_, fields.system, originalName_.empty() ? "Add" : "Configure",
        fields.driverPath, fields.setupPath, folderOf(fields.system).string());
    helperReply_ = request.send(sender_);
    return privileged_request::isOkReply(helperReply_) ? Outcome::Sent : Outcome::HelperRefused;
}

bool DriverEditor::remove(const std::string& name, const PrivilegedRequest::Sender& sender,
                          std::string& problem) {
    const IniAccess ini(holder(name));
    {
        InstallerFacade::Transaction action;
        if (!ini.removeDriver(name) || !action.commit()) {
            problem = action.failure();
        }
    }
    if (ini.valueOr(name, "Driver", kOdbcinst).empty()) {
        return true;
    }
    return privileged_request::isOkReply(
        PrivilegedRequest::configureDriver(name, "", ini.mode() == IniAccess::System, "Remove", "",
                                           "", "")
            .send(sender));
}
