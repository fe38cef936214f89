#include "admin/AppController.h"

#include <sqlext.h>

#include "platform/OdbcPaths.h"
#include "platform/SystemLog.h"

AppController::AppController(PaneDialogs& dialogs, PrivilegedRequest::Sender sender)
    : sender_(std::move(sender)),
      userDSN_(IniAccess::User, henv_, dialogs, sender_),
      systemDSN_(IniAccess::System, henv_, dialogs, sender_),
      drivers_(henv_, dialogs, sender_) {
    if (!initSQLEnvironment()) {
        SystemLog::error("ODBC Environment Failed to initialize, ODBC functions will fail.");
    }
}

AppController::~AppController() {
    freeSQLEnvironment();
}

bool AppController::initSQLEnvironment() {
    henv_ = SQL_NULL_HENV;
    const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &henv_);
    if (rc != SQL_SUCCESS) {
        if (henv_ != SQL_NULL_HENV) {
            SQLFreeHandle(SQL_HANDLE_ENV, henv_);
        }
        henv_ = SQL_NULL_HENV;
        return false;
    }
    return true;
}

bool AppController::freeSQLEnvironment() {
    if (henv_ == SQL_NULL_HENV) {
        return false;
    }
    const bool freed = SQLFreeHandle(SQL_HANDLE_ENV, henv_) == SQL_SUCCESS;
    henv_ = SQL_NULL_HENV;
    return freed;
}

void AppController::awakeFromNib() {
    userDSN_.load();
    systemDSN_.load();
    drivers_.load();
    tracing_ = TracingSettings::load();
}

void AppController::reloadDSNs() {
    userDSN_.load();
    systemDSN_.load();
}

IniRepair::Result AppController::repairUserIni(const IniRepair::Ui& ui) {
    const IniRepair repair(OdbcPaths::currentHome() / ".odbc.ini",
                           OdbcPaths::current().odbcIni(OdbcPaths::Scope::User), ui);
    const IniRepair::Result result = repair.run();
    if (result != IniRepair::Result::NothingToDo && result != IniRepair::Result::Failed) {
        userDSN_.load();
    }
    return result;
}
