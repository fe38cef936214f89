#include "driver/adapter/TarvexStatement.h"

#include "driver/adapter/MySQLImpersonatorConnection.h"
#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/adapter/ODBCRepeaterStatement.h"

TarvexStatement::TarvexStatement(Connection* connection) : MySQLImpersonatorStatement(connection) {
    // Without an inner connection the statement stays without an inner
    // statement, and every forwarded call reports the connection lost.
    if (ODBCRepeaterConnection* native = impersonator()->nativeConnection(); native != nullptr) {
        inner_.reset(native->createStatement());
        if (auto* repeater = dynamic_cast<ODBCRepeaterStatement*>(inner_.get())) {
            repeater->leaveQueryLogToOwner();
        }
    }
}

TarvexStatement::~TarvexStatement() = default;
