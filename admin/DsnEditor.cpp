#include "admin/DsnEditor.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/AsciiCase.h"
#include "platform/DataSourceNames.h"
#include "platform/InstallerFacade.h"
#include "platform/OdbcPaths.h"
#include "platform/PrivilegedRequestContract.h"

namespace {

OdbcPaths::Scope scopeOf(IniAccess::Mode mode) {
    return mode == IniAccess::System ? OdbcPaths::Scope::System : OdbcPaths::Scope::User;
}

bool ensureFolder(const std::filesystem::path& folder) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) {
        return true;
    }
    return mkdir(folder.c_str(), 0775) == 0;
}

}  // namespace

bool isHiddenDsnKey(const std::string& key) {
    return equalsIgnoringAsciiCase(key, "Driver") || equalsIgnoringAsciiCase(key, "Description") ||
           equalsIgnoringAsciiCase(key, "Setup");
}

DsnEditor::DsnEditor(std::string originalName, std::string driver, IniAccess::Mode mode,
                     PrivilegedRequest::Sender sender)
    : originalName_(std::move(originalName)),
      driver_(std::move(driver)),
      ini_(mode),
      sender_(std::move(sender)) {}

bool DsnEditor::canSave(const std::string& name) {
    return !name.empty();
}

bool DsnEditor::replacesAnother(const std::string& name) const {
    if (!originalName_.empty() && equalsIgnoringAsciiCase(originalName_, name)) {
        return false;
    }
    return DataSourceNames::holds(name, ini_.mode());
}

DsnEditor::Loaded DsnEditor::load() const {
    Loaded loaded;
    if (originalName_.empty()) {
        return loaded;
    }
    loaded.name = originalName_;
    loaded.description = ini_.valueOr(originalName_, "Description");
    const auto keys = ini_.keys(originalName_);
    if (!keys || keys->empty()) {
        loaded.missing = true;
        return loaded;
    }
    for (const std::string& key : *keys) {
        if (!isHiddenDsnKey(key)) {
            loaded.rows.push_back({key, ini_.valueOr(originalName_, key)});
        }
    }
    return loaded;
}

bool DsnEditor::removeDroppedKeys(const std::string& name, const Rows& rows) const {
    const auto keys = ini_.keys(name);
    if (!keys) {
        return false;
    }
    for (const std::string& key : *keys) {
        const bool kept = std::any_of(rows.begin(), rows.end(), [&](const auto& row) {
            return !row.empty() && equalsIgnoringAsciiCase(row[0], key);
        });
        if (!kept && !isHiddenDsnKey(key) && !ini_.removeKey(name, key, "odbc.ini")) {
            return false;
        }
    }
    return true;
}

bool DsnEditor::writeLocally(const std::string& name, const std::string& description,
                             const Rows& rows) const {
    InstallerFacade::Transaction action;
    if (writeEntries(name, description, rows) && action.commit()) {
        return true;
    }
    problem_ = action.failure();
    return false;
}

bool DsnEditor::writeEntries(const std::string& name, const std::string& description,
                             const Rows& rows) const {
    if (!ensureFolder(OdbcPaths::current().odbcIniFolder(scopeOf(ini_.mode()))) ||
        !ini_.writeDsn(name, driver_) ||
        !ini_.write(name, "Description", description, "odbc.ini")) {
        return false;
    }
    for (const auto& row : rows) {
        if (row.size() >= 2 && !ini_.write(name, row[0], row[1], "odbc.ini")) {
            return false;
        }
    }
    if (originalName_.empty()) {
        return true;
    }
    if (equalsIgnoringAsciiCase(originalName_, name)) {
        return removeDroppedKeys(name, rows);
    }
    return ini_.removeDsn(originalName_);
}

DsnEditor::Outcome DsnEditor::sendRequest(const std::string& name, const std::string& description,
                                          const Rows& rows) const {
    PrivilegedRequest::Items items{{"DSN", name}, {"Description", description}};
    for (const auto& row : rows) {
        if (row.size() >= 2) {
            items.emplace_back(row[0], row[1]);
        }
    }
    const auto connection = PrivilegedRequest::connectionString(items);
    if (!connection) {
        return Outcome::TooLong;
    }
    const PrivilegedRequest request = PrivilegedRequest::configureDsn(
        *connection, originalName_, ini_.mode() == IniAccess::System,
        originalName_.empty() ? "Add" : "Configure", driver_,
        OdbcPaths::current().odbcIniFolder(scopeOf(ini_.mode())).string());
    helperReply_ = request.send(sender_);
    return privileged_request::isOkReply(helperReply_) ? Outcome::Sent : Outcome::HelperRefused;
}

DsnEditor::Outcome DsnEditor::save(const std::string& name, const std::string& description,
                                   const Rows& rows) const {
    if (writeLocally(name, description, rows)) {
        return Outcome::Written;
    }
    return sendRequest(name, description, rows);
}
