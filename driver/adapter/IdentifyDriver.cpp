#include "driver/adapter/IdentifyDriver.h"

#include <cctype>
#include <string>

#include "driver/adapter/AdapterText.h"
#include "driver/adapter/ConnectionOptions.h"
#include "driver/adapter/TarvexConnection.h"
#include "driver/core/ConnectionText.h"
#include "driver/core/Environment.h"
#include "driver/core/StringOutput.h"

namespace {

void trace(Environment* environment, const std::string& line) {
    if (environment != nullptr && environment->isTracing()) {
        environment->writeTrace(line + "\n");
    }
}

// The "Type" the text declares: that of the DSN it names, else the item of
// a connection string, else that of the connection string's DSN. Every
// type leads to the same connection class; the search only shows in the
// trace.
void traceDeclaredType(Environment* environment, const SQLCHAR* text, SQLSMALLINT length) {
    // Nothing but the trace reads the result: no odbc.ini reads without it.
    if (environment == nullptr || !environment->isTracing()) {
        return;
    }
    const std::string name = makeSqlString(text, length);
    const std::string masked = maskConnectionString(text, length);
    std::string type = upperCase(getDsnValue(name, L"Type"));
    trace(environment, "// identify driver: dsn: " + masked +
                           " nameLen: " + std::to_string(length) + " type: " + type);
    if (type == "POSTGRESQL") {
        return;
    }
    if (!type.empty()) {
        trace(environment, "// unknown type, checking further");
        type.clear();
    }
    const std::string connectionString = makeConnectionString(text, length);
    type = getAttributeValue(connectionString, L"Type");
    trace(environment, "// identify driver: connectionString: *** type: " + type);
    if (!type.empty()) {
        return;
    }
    const std::string dsn =
        getAttributeValue(connectionString, ConnectionOptions::keyName(ConnectionKey::Dsn));
    if (!dsn.empty()) {
        type = getDsnValue(dsn, L"Type");
        trace(environment, "// identify driver: dsn value: " + dsn + " type: " + type);
    }
}

}  // namespace

std::unique_ptr<Connection> identifyDriver(Environment* environment, const SQLCHAR* text,
                                           SQLSMALLINT length) {
    traceDeclaredType(environment, text, length);
    return std::make_unique<TarvexConnection>(environment);
}
