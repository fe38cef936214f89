#include "admin/DataSource.h"

#include <odbcinst.h>

#include <QString>

#include <algorithm>
#include <utility>

#include "admin/AuthListener.h"
#include "admin/DsnEditor.h"
#include "admin/OdbcListing.h"
#include "admin/SetupProbe.h"
#include "platform/AsciiCase.h"
#include "platform/DataSourceNames.h"
#include "platform/InstallerFacade.h"
#include "platform/PrivilegedRequestContract.h"

namespace {

constexpr const char* kConfigurationError = "Configuration Error";

// Each request on the user's file and its twin on the system's.
constexpr std::pair<unsigned short, unsigned short> kSystemRequests[] = {
    {ODBC_ADD_DSN, ODBC_ADD_SYS_DSN},
    {ODBC_CONFIG_DSN, ODBC_CONFIG_SYS_DSN},
    {ODBC_REMOVE_DSN, ODBC_REMOVE_SYS_DSN},
};

std::wstring wide(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdWString();
}

}  // namespace

DataSource::DataSource(IniAccess::Mode mode, const SQLHENV& henv, PaneDialogs& dialogs,
                       PrivilegedRequest::Sender sender)
    : ini_(mode), henv_(henv), dialogs_(dialogs), sender_(std::move(sender)) {}

const DataSource::Rows& DataSource::load() {
    rows_.clear();
    const SQLUSMALLINT first =
        mode() == IniAccess::System ? odbc_listing::kFirstSystem : odbc_listing::kFirstUser;
    for (const auto& entry : odbc_listing::dataSources(henv_, first)) {
        rows_.push_back({entry.name, ini_.valueOr(entry.name, "Description"), entry.driver});
    }
    // A section the driver manager does not list is a DSN all the same: the
    // driver manager connects to it, and the setup entry asks before it is
    // replaced.
    for (const std::string& name : DataSourceNames::unlisted(mode())) {
        rows_.push_back({name, ini_.valueOr(name, "Description"), ini_.valueOr(name, "Driver")});
    }
    // In the driver manager's order: the names upper-cased.
    std::stable_sort(rows_.begin(), rows_.end(), [](const auto& a, const auto& b) {
        return std::lexicographical_compare(
            a[0].begin(), a[0].end(), b[0].begin(), b[0].end(),
            [](char x, char y) { return upperAscii(x) < upperAscii(y); });
    });
    return rows_;
}

unsigned short DataSource::request(unsigned short userRequest) const {
    if (mode() != IniAccess::System) {
        return userRequest;
    }
    for (const auto& [user, system] : kSystemRequests) {
        if (user == userRequest) {
            return system;
        }
    }
    return userRequest;
}

std::optional<std::wstring> DataSource::attributeList(const std::string& dsn, bool allKeys) const {
    const auto keys = ini_.keys(dsn);
    if (!keys || keys->empty()) {
        return std::nullopt;
    }
    std::wstring list = wide("DSN=" + dsn) + L'\0';
    for (const std::string& key : *keys) {
        if (!allKeys &&
            (equalsIgnoringAsciiCase(key, "Driver") || equalsIgnoringAsciiCase(key, "Setup"))) {
            continue;
        }
        list += wide(key + "=" + ini_.valueOr(dsn, key)) + L'\0';
    }
    return list + L'\0';
}

bool DataSource::configDataSource(unsigned short userRequest, const std::string& driver,
                                  const std::wstring& attributes) const {
    // Without a setup entry of its own, iODBC would hand our window to its
    // generic setup library, which takes it for a widget of another toolkit.
    if (!hasSetupEntry(henv_, driver)) {
        return false;
    }
    // Starts the relay that carries the setup entry's privileged requests.
    handleAuthRequests();
    ini_.setMode();
    return InstallerFacade::instance().configDataSourceW(static_cast<HWND>(dialogs_.windowHandle()),
                                                         request(userRequest), wide(driver).c_str(),
                                                         attributes.c_str()) != FALSE;
}

bool DataSource::addDSN() {
    const std::optional<std::string> driver = dialogs_.pickDriver();
    if (!driver) {
        return false;
    }
    // The setup entry's answer is its own matter (a cancelled dialog too).
    if (hasSetupEntry(henv_, *driver)) {
        configDataSource(ODBC_ADD_DSN, *driver, std::wstring(1, L'\0'));
    } else {
        dialogs_.runDsnForm("", *driver, mode());
    }
    return true;
}

std::optional<DataSource::RowSetup> DataSource::rowSetup(size_t row, bool allKeys,
                                                         const char* failure) const {
    const std::string& name = rows_[row][0];
    auto attributes = attributeList(name, allKeys);
    if (!attributes) {
        dialogs_.alert(kConfigurationError, failure);
        return std::nullopt;
    }
    return RowSetup{name, rows_[row][2], std::move(*attributes)};
}

bool DataSource::configureDSN(size_t row) {
    if (row >= rows_.size()) {
        return false;
    }
    const auto setup = rowSetup(row, false, "An error occured while trying to configure the DSN.");
    if (!setup) {
        return false;
    }
    if (!configDataSource(ODBC_CONFIG_DSN, setup->driver, setup->attributes)) {
        dialogs_.runDsnForm(setup->name, setup->driver, mode());
    }
    return true;
}

bool DataSource::removeDSN(size_t row) {
    if (row >= rows_.size() ||
        !dialogs_.confirm("Remove DSN",
                          "Are you sure you want to remove the DSN \"" + rows_[row][0] + "\"?")) {
        return false;
    }
    const auto setup = rowSetup(row, true, "An error occured while trying to remove the DSN.");
    if (!setup) {
        return false;
    }
    if (configDataSource(ODBC_REMOVE_DSN, setup->driver, setup->attributes)) {
        return true;
    }
    std::string problem;
    {
        InstallerFacade::Transaction action;
        if (ini_.removeDsn(setup->name) && action.commit()) {
            return true;
        }
        problem = action.failure();
    }
    const PrivilegedRequest remove = PrivilegedRequest::configureDsn(
        setup->name, "", mode() == IniAccess::System, "Remove", "", "");
    const std::string reply = remove.send(sender_);
    if (!privileged_request::isOkReply(reply)) {
        dialogs_.alert(kConfigurationError, IniAccess::withHelperReason(
                                                "An error occured while trying to remove the DSN.",
                                                problem, mode() == IniAccess::System, reply));
    }
    return true;
}
