#include "driver/adapter/TarvexConnection.h"

#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/adapter/TarvexStatement.h"

TarvexConnection::TarvexConnection(Environment* environment)
    : MySQLImpersonatorConnection(environment) {
    inner_ = std::make_unique<ODBCRepeaterConnection>(environment);
}

// The base destructor releases the inner connection and the caches.
TarvexConnection::~TarvexConnection() = default;

Statement* TarvexConnection::createStatement() {
    return new TarvexStatement(this);
}
