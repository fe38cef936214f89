#include "driver/setup/ConfigDsn.h"

#include <sys/stat.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>

#include "driver/core/ConnectionText.h"
#include "driver/core/PlatformUtil.h"
#include "driver/core/TextEncoding.h"
#include "driver/setup/LocalizedStrings.h"
#include "driver/setup/MessageFormat.h"
#include "platform/AdministratorRequest.h"
#include "platform/DataSourceNames.h"
#include "platform/InstallerFacade.h"
#include "platform/NulList.h"
#include "platform/OdbcPaths.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/PropertyList.h"
#include "platform/SystemLog.h"

namespace {

constexpr const wchar_t* kOdbcIni = L"odbc.ini";

std::string utf8(const std::wstring& wide) {
    return wideToUtf8(wide.c_str(), static_cast<std::int64_t>(wide.size()));
}

bool equalsNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) ==
                      std::towlower(static_cast<wint_t>(y));
           });
}

OdbcPaths::Scope scopeOf(UWORD mode) {
    return mode == ODBC_USER_DSN ? OdbcPaths::Scope::User : OdbcPaths::Scope::System;
}

// The list as the privileged request carries it: every item followed by
// ";", values that hold ";" or braces braced.
std::string requestConnectionString(const ConfigDsn::Items& items) {
    std::string text;
    for (const ConfigDsn::Item& item : items) {
        text += connectionTextItem(utf8(item.key), utf8(item.value));
    }
    return text;
}

// Writes every item but the name under `section`, stopping at the first
// refusal.
bool writeItems(const ConfigDsn::Items& items, const std::wstring& section, UWORD mode) {
    InstallerFacade& installer = InstallerFacade::instance();
    for (const ConfigDsn::Item& item : items) {
        if (item.key == L"DSN") {
            continue;
        }
        installer.setConfigMode(mode);
        if (!installer.writePrivateProfileStringW(section.c_str(), item.key.c_str(),
                                                  item.value.c_str(), kOdbcIni)) {
            return false;
        }
    }
    return true;
}

bool ensureUserFolder() {
    const std::filesystem::path folder = OdbcPaths::current().odbcIniFolder(OdbcPaths::Scope::User);
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) {
        return true;
    }
    return ::mkdir(folder.c_str(), 0775) == 0;
}

std::string hostName() {
    std::string name;
    std::string version;
    getHostAppNameAndVersion(name, version);
    return name;
}

std::string localized(const char* english) {
    return copyLocalizedString(english);
}

}  // namespace

UWORD currentDsnConfigMode() {
    InstallerFacade& installer = InstallerFacade::instance();
    UWORD mode = ODBC_BOTH_DSN;
    installer.getConfigMode(&mode);
    if (mode != ODBC_USER_DSN) {
        mode = ODBC_SYSTEM_DSN;
        installer.setConfigMode(mode);
    }
    return mode;
}

ConfigDsn::Items ConfigDsn::parseWideList(LPCWSTR list) {
    Items items;
    for (const std::wstring_view item : NulList::terminatedItems(list)) {
        const std::size_t equals = item.find(L'=');
        items.push_back(equals == std::wstring_view::npos
                            ? Item{std::wstring(item), std::wstring()}
                            : Item{std::wstring(item.substr(0, equals)),
                                   std::wstring(item.substr(equals + 1))});
    }
    return items;
}

ConfigDsn::Items ConfigDsn::parseUtf8List(const std::string& list) {
    std::wstring wide;
    for (const std::string_view item : NulList::items(list)) {
        wide += utf8ToWideString(item);
        wide.push_back(L'\0');
    }
    wide.push_back(L'\0');
    return parseWideList(wide.c_str());
}

std::optional<std::wstring> ConfigDsn::dsnName(const Items& items) {
    for (const Item& item : items) {
        if (item.key == L"DSN") {
            return item.value;
        }
    }
    return std::nullopt;
}

bool ConfigDsn::sendRequest(const char* request, UWORD mode, const std::string& connectionString,
                            const std::string& driver, const std::string& path) {
    namespace contract = privileged_request;
    PropertyList dictionary = PropertyList::newDictionary();
    dictionary.setString(contract::kTypeKey,
                         mode == ODBC_USER_DSN ? contract::kUserType : contract::kSystemType);
    dictionary.setString(contract::kRequestKey, request);
    dictionary.setString(contract::kConnectionStringKey, connectionString);
    dictionary.setString(contract::kDriverKey, driver);
    dictionary.setString(contract::kPathKey, path);
    helperReply_ = administratorRequestReply(dictionary, contract::kDriverBundleIdentifier,
                                             contract::kDriverTeamIdentifier);
    return contract::isOkReply(helperReply_);
}

bool ConfigDsn::removeDsn(const std::wstring& name, UWORD mode) {
    InstallerFacade& installer = InstallerFacade::instance();
    installer.setConfigMode(mode);
    if (installer.removeDSNFromIniW(name.c_str())) {
        return true;
    }
    return sendRequest(privileged_request::kRemoveRequest, mode, utf8(name), "", "");
}

bool ConfigDsn::addDsn(const Items& items, const std::wstring& driver, UWORD mode) {
    InstallerFacade& installer = InstallerFacade::instance();
    const std::wstring name = dsnName(items).value_or(L"");
    bool written = mode != ODBC_USER_DSN || ensureUserFolder();
    if (written) {
        // One replacement of the file; let go of before the helper is asked.
        InstallerFacade::Transaction action;
        installer.setConfigMode(mode);
        written = installer.writeDSNToIniW(name.c_str(), driver.c_str()) &&
                  writeItems(items, name, mode) && action.commit();
    }
    if (written) {
        return true;
    }
    const std::string folder = OdbcPaths::current().odbcIniFolder(OdbcPaths::Scope::User).string();
    return sendRequest(privileged_request::kAddRequest, mode, requestConnectionString(items),
                       utf8(driver), folder);
}

bool ConfigDsn::configureDsn(const Items& items, const std::wstring& section, UWORD mode) {
    {
        InstallerFacade::Transaction action;
        if (writeItems(items, section, mode) && action.commit()) {
            return true;
        }
    }
    return sendRequest(privileged_request::kConfigureRequest, mode, requestConnectionString(items),
                       "", "");
}

BOOL ConfigDsn::run(WORD request, LPCWSTR driver, LPCWSTR attributes) {
    if (request < ODBC_ADD_DSN || request > ODBC_REMOVE_DSN) {
        return TRUE;
    }
    InstallerFacade& installer = InstallerFacade::instance();
    if (driver == nullptr || *driver == L'\0') {
        installer.postInstallerError(ODBC_ERROR_INVALID_NAME, nullptr);
        return FALSE;
    }
    if (request == ODBC_REMOVE_DSN &&
        refuseWhenSandboxed("%s is not able to remove a DSN",
                            "Sandboxed applications (such as %s) are not permitted to remove a "
                            "DSN.  Please use the Quillmark application to remove the DSN.")) {
        return FALSE;
    }
    if (request == ODBC_ADD_DSN &&
        refuseWhenSandboxed("%s is not able to configure a new DSN",
                            "Sandboxed applications (such as %s) are not permitted to configure a "
                            "new DSN.  Please use the Quillmark application to configure a new "
                            "System DSN.")) {
        return FALSE;
    }
    const UWORD mode = currentDsnConfigMode();
    const Items items = parseWideList(attributes);
    switch (request) {
        case ODBC_ADD_DSN:
            return add(driver, items, mode);
        case ODBC_CONFIG_DSN:
            return configure(driver, items, attributes != nullptr && *attributes != L'\0', mode);
        default:
            return remove(items, mode);
    }
}

BOOL ConfigDsn::remove(const Items& items, UWORD mode) {
    const std::wstring name = dsnName(items).value_or(L"");
    if (name.empty()) {
        InstallerFacade::instance().postInstallerError(ODBC_ERROR_INVALID_KEYWORD_VALUE, nullptr);
        return FALSE;
    }
    return removeDsn(name, mode) ? TRUE : failure("Could not remove DSN.", mode);
}

ConfigDsn::Closed ConfigDsn::runWizard(SetupModel& model, Items& list) {
    for (;;) {
        const SetupDialogResult wizard = runSetupDialog(dialogs_, model);
        if (wizard.outcome == SetupDialogs::Outcome::NotShown) {
            return Closed::NotShown;
        }
        if (wizard.outcome == SetupDialogs::Outcome::Cancelled) {
            return Closed::Cancelled;
        }
        if (!wizard.attributes) {
            return Closed::Unchanged;
        }
        list = parseUtf8List(*wizard.attributes);
        if (!dsnName(list).value_or(L"").empty()) {
            return Closed::Save;
        }
        // No name to save under, nor to ask about: back where it is typed.
        model.reopenAt(SetupModel::DataSource);
    }
}

BOOL ConfigDsn::add(LPCWSTR driver, const Items& items, UWORD mode) {
    const std::string firstItem =
        items.empty() ? std::string() : utf8(items.front().key) + "=" + utf8(items.front().value);
    SetupModel model(std::nullopt, firstItem);
    // Declined or not saved, the wizard comes back on its last panel as the
    // user left it; cancelled then, the request ends as its last save did.
    bool saveFailed = false;
    for (;; model.reopenAt(SetupModel::Conclusion)) {
        Items list;
        switch (runWizard(model, list)) {
            case Closed::NotShown:
                return wizardNotShown();
            case Closed::Cancelled:
            case Closed::Unchanged:
                return saveFailed ? FALSE : TRUE;
            case Closed::Save:
                break;
        }
        const std::wstring name = dsnName(list).value_or(L"");
        std::optional<UWORD> existing;
        if (!confirmOverwrite(name, existing)) {
            continue;
        }
        // The new DSN is written before an old one of another scope goes, so
        // that a failure loses neither.
        if (!addDsn(list, driver, mode)) {
            failure("Could not save DSN information.", mode);
            saveFailed = true;
            continue;
        }
        if (existing && *existing != mode && !removeDsn(name, *existing)) {
            return failure("Could not remove original DSN.", *existing);
        }
        return TRUE;
    }
}

BOOL ConfigDsn::configure(LPCWSTR driver, const Items& items, bool hasList, UWORD mode) {
    InstallerFacade& installer = InstallerFacade::instance();
    const std::optional<std::wstring> oldName = dsnName(items);
    if (!hasList || !oldName) {
        installer.postInstallerError(ODBC_ERROR_INVALID_KEYWORD_VALUE, nullptr);
        dialogs_.alert("Unable to configure DSN",
                       "The administrator application is unable to read the DSN information. See "
                       "the Vorlan Tarvex documentation for instructions for obtaining Quillmark.",
                       "");
        return FALSE;
    }
    if (oldName->empty()) {
        installer.postInstallerError(ODBC_ERROR_INVALID_KEYWORD_VALUE, nullptr);
    }
    const std::string firstItem = utf8(items.front().key) + "=" + utf8(items.front().value);
    SetupModel model(oldName->empty() ? std::nullopt : std::optional(utf8(*oldName)), firstItem);
    bool saveFailed = false;
    for (;; model.reopenAt(SetupModel::Conclusion)) {
        Items list;
        const Closed closed = runWizard(model, list);
        if (closed == Closed::NotShown) {
            return wizardNotShown();
        }
        if (closed == Closed::Save &&
            refuseWhenSandboxed("%s is not able to save changes to a DSN",
                                "Sandboxed applications (such as %s) are not permitted to change "
                                "a DSN.  Please use the Quillmark application to make changes to "
                                "the DSN.")) {
            return FALSE;
        }
        if (closed != Closed::Save) {
            return saveFailed ? FALSE : TRUE;
        }
        const std::wstring newName = dsnName(list).value_or(L"");
        if (!oldName->empty() && equalsNoCase(newName, *oldName)) {
            // The installer ignores case: the DSN keeps its old spelling.
            for (Item& item : list) {
                if (item.key == L"DSN") {
                    item.value = *oldName;
                }
            }
            if (configureDsn(list, *oldName, mode)) {
                return TRUE;
            }
            failure("Could not save DSN information.", mode);
            saveFailed = true;
            continue;
        }
        // A rename onto another DSN's name replaces that DSN: asked first.
        std::optional<UWORD> existing;
        if (!confirmOverwrite(newName, existing)) {
            continue;
        }
        // A rename: the new DSN first, so that a failure loses nothing.
        if (!addDsn(list, driver, mode)) {
            failure("Could not save DSN information.", mode);
            saveFailed = true;
            continue;
        }
        if (!oldName->empty() && !removeDsn(*oldName, mode)) {
            return failure("Could not remove original DSN.", mode);
        }
        return TRUE;
    }
}

bool ConfigDsn::confirmOverwrite(const std::wstring& name, std::optional<UWORD>& existing) {
    for (UWORD scope : {static_cast<UWORD>(ODBC_USER_DSN), static_cast<UWORD>(ODBC_SYSTEM_DSN)}) {
        if (!DataSourceNames::holds(utf8(name), scope)) {
            continue;
        }
        const std::string question =
            formatMessage(localized("%s is already a data source name. Overwrite?"), {utf8(name)});
        if (dialogs_.alert(localized("Vorlan Tarvex DSN Configuration"), question,
                           localized("Cancel")) != 0) {
            return false;
        }
        existing = scope;
    }
    return true;
}

bool ConfigDsn::refuseWhenSandboxed(const char* title, const char* message) {
    if (!getSandboxContainerId()) {
        return false;
    }
    const std::string host = hostName();
    dialogs_.alert(formatMessage(localized(title), {host}),
                   formatMessage(localized(message), {host}), "");
    return true;
}

BOOL ConfigDsn::failure(const char* title, UWORD mode) {
    const std::string file = OdbcPaths::current().odbcIni(scopeOf(mode)).string();
    std::string message = localized(
                              "Make sure your user account has both read and write permissions "
                              "for the file:") +
                          " " + file;
    const std::string helper = privileged_request::helperExplanation(
        helperReply_, mode != ODBC_USER_DSN,
        [](std::string_view english) { return copyLocalizedString(english); });
    if (!helper.empty()) {
        message += "\n\n" + helper;
    }
    dialogs_.alert(localized(title), message, "");
    return FALSE;
}

BOOL ConfigDsn::failedWith(DWORD installerError) noexcept {
    try {
        SystemLog::error("DSN setup failed");
        InstallerFacade::instance().postInstallerError(installerError, nullptr);
    } catch (...) {
        // The result still says the request failed.
    }
    return FALSE;
}

BOOL ConfigDsn::wizardNotShown() {
    // A request that did nothing must not read as done.
    // The installer keeps the pointer, not a copy: the text must outlive
    // the call.
    static char message[] = "No display is available for the DSN wizard.";
    InstallerFacade::instance().postInstallerError(ODBC_ERROR_REQUEST_FAILED, message);
    return FALSE;
}
