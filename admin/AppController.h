#pragma once

#include <sql.h>

#include "admin/DataSource.h"
#include "admin/DriverSource.h"
#include "admin/IniRepair.h"
#include "admin/TracingSettings.h"

// Owns the driver manager's environment and the panes' controllers, and
// fills them in their order.
class AppController {
  public:
    AppController(PaneDialogs& dialogs, PrivilegedRequest::Sender sender);
    ~AppController();
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    // Only SQL_SUCCESS counts.
    bool initSQLEnvironment();
    bool freeSQLEnvironment();
    SQLHENV environment() const { return henv_; }

    // The user, system and driver panes and the trace settings, in order.
    void awakeFromNib();
    void reloadDSNs();

    // The repair of a legacy per-user ini file (~/.odbc.ini when the
    // driver manager reads another file as the user's).
    IniRepair::Result repairUserIni(const IniRepair::Ui& ui);

    DataSource& userDSN() { return userDSN_; }
    DataSource& systemDSN() { return systemDSN_; }
    DriverSource& drivers() { return drivers_; }
    TracingSettings& tracing() { return tracing_; }
    const PrivilegedRequest::Sender& sender() const { return sender_; }

  private:
    SQLHENV henv_ = SQL_NULL_HENV;
    PrivilegedRequest::Sender sender_;
    DataSource userDSN_;
    DataSource systemDSN_;
    DriverSource drivers_;
    TracingSettings tracing_;
};
