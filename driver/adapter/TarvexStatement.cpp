#include "driver/adapter/TarvexStatement.h"

#include "driver/adapter/MySQLImpersonatorConnection.h"
#include "driver/adapter/ODBCRepeaterConnection.h"

// PLACEHOLDER: replaced by the impersonating statement.
TarvexStatement::TarvexStatement(Connection* connection) : MySQLImpersonatorStatement(connection) {
    inner_.reset(static_cast<MySQLImpersonatorConnection*>(connection)
                     ->nativeConnection()
                     ->createStatement());
}
TarvexStatement::~TarvexStatement() = default;
