#pragma once

#include <sql.h>

#include <string>
#include <vector>

#include "admin/IniAccess.h"
#include "admin/PaneDialogs.h"
#include "admin/PrivilegedRequest.h"

// One DSN pane (user or system): its rows and its Add, Configure and
// Remove, going first to the driver's own setup entry through the driver
// manager, else to the generic editor, else to the privileged helper.
class DataSource {
  public:
    using Rows = std::vector<std::vector<std::string>>;  // name, description, driver

    DataSource(IniAccess::Mode mode, const SQLHENV& henv, PaneDialogs& dialogs,
               PrivilegedRequest::Sender sender);

    IniAccess::Mode mode() const { return ini_.mode(); }
    // Rebuilds the rows from the driver manager.
    const Rows& load();
    const Rows& rows() const { return rows_; }

    // Each answers whether the panes should be listed again.
    bool addDSN();
    bool configureDSN(size_t row);
    bool removeDSN(size_t row);

  private:
    struct RowSetup {
        std::string name;
        std::string driver;
        std::wstring attributes;
    };
    // A row's DSN, driver and attribute list; nothing after telling the
    // user `failure` when the list cannot be read.
    std::optional<RowSetup> rowSetup(size_t row, bool allKeys, const char* failure) const;
    // "DSN=name" then the section's keys, NUL-separated and NUL-ended;
    // nothing when the section has no keys.
    std::optional<std::wstring> attributeList(const std::string& dsn, bool allKeys) const;
    bool configDataSource(unsigned short userRequest, const std::string& driver,
                          const std::wstring& attributes) const;
    unsigned short request(unsigned short userRequest) const;

    IniAccess ini_;
    const SQLHENV& henv_;
    PaneDialogs& dialogs_;
    PrivilegedRequest::Sender sender_;
    Rows rows_;
};
