#include "driver/adapter/TarvexConnection.h"

#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/adapter/TarvexStatement.h"

// PLACEHOLDER: replaced by the impersonating connection.
TarvexConnection::TarvexConnection(Environment* environment)
    : MySQLImpersonatorConnection(environment) {
    inner_ = std::make_unique<ODBCRepeaterConnection>(environment);
}
TarvexConnection::~TarvexConnection() = default;
Statement* TarvexConnection::createStatement() {
    return new TarvexStatement(this);
}
