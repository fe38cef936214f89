#pragma once

#include <sql.h>
#include <sqlext.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "driver/core/DiagnosticHeader.h"
#include "driver/core/DriverPreferences.h"
#include "driver/core/TraceSink.h"

class Connection;

// The object behind an environment handle: the driver's identity, its
// preferences, the call trace, the environment's diagnostics and the
// connections made under it (listed, not owned).
class Environment : public TraceSink {
  public:
    // Takes `preferences`; without one it makes a DriverPreferences of its
    // own. Reads the TraceFile preference and opens the trace.
    Environment(std::string bundleIdentifier, std::string driverFileName, std::string productName,
                std::string vendorName, std::unique_ptr<DriverPreferences> preferences = nullptr);
    ~Environment() override;
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    // TraceSink
    bool isTracing() const override { return tracing_; }
    void writeTrace(std::string_view text) override;
    std::string productName() const override { return productName_; }
    std::string vendorName() const override { return vendorName_; }

    virtual bool traceToStderr() const { return traceToStderr_; }
    virtual DiagnosticHeader& diagnostics() { return diagnostics_; }

    virtual void addConnection(Connection* connection);
    // Removes the first entry equal to `connection`, if any.
    virtual void removeConnection(Connection* connection);
    virtual const std::vector<Connection*>& connections() const { return connections_; }

    virtual SQLRETURN setEnvAttr(SQLINTEGER attribute, SQLPOINTER value);
    virtual SQLRETURN getEnvAttr(SQLINTEGER attribute, SQLPOINTER valuePtr, SQLINTEGER bufferLength,
                                 SQLINTEGER* stringLength);
    virtual SQLRETURN getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                                 SQLCHAR* message, SQLSMALLINT bufferLength,
                                 SQLSMALLINT* textLength);
    virtual SQLRETURN getDiagField(SQLSMALLINT recNumber, SQLSMALLINT diagIdentifier,
                                   SQLPOINTER diagInfo, SQLSMALLINT bufferLength,
                                   SQLSMALLINT* stringLength);
    // SQLError: reads record 1 and, when that succeeds, removes it.
    virtual SQLRETURN error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                            SQLSMALLINT bufferLength, SQLSMALLINT* textLength);
    // Commit or rollback on every connected connection.
    virtual SQLRETURN endTran(SQLSMALLINT completionType);

    virtual SQLRETURN setAttrOdbcVersion(SQLUINTEGER value);
    virtual SQLRETURN setAttrOutputNts(SQLINTEGER value);
    virtual SQLUINTEGER getAttrOdbcVersion() const { return odbcVersion_; }
    virtual SQLINTEGER getAttrOutputNts() const { return SQL_TRUE; }

    virtual const std::string& bundleIdentifier() const { return bundleIdentifier_; }
    virtual const std::string& driverFileName() const { return driverFileName_; }
    virtual const std::string& hostAppName() const { return hostAppName_; }
    virtual const std::string& hostAppVersion() const { return hostAppVersion_; }
    virtual DriverPreferences* preferences() const { return preferences_.get(); }

  private:
    void openTrace();

    std::string bundleIdentifier_;
    std::string driverFileName_;
    std::string productName_;
    std::string vendorName_;
    std::unique_ptr<DriverPreferences> preferences_;
    int traceFd_ = -1;
    bool tracing_ = false;
    bool traceToStderr_ = false;
    std::mutex traceMutex_;
    DiagnosticHeader diagnostics_;
    std::vector<Connection*> connections_;
    SQLUINTEGER odbcVersion_ = SQL_OV_ODBC3;
    std::string hostAppName_;
    std::string hostAppVersion_;
};
