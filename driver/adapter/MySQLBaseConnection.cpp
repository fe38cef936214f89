#include "driver/adapter/MySQLBaseConnection.h"

#include <iterator>

#include "driver/adapter/SqlTextScanner.h"

namespace {

constexpr int kQualifierDepth = 2;

}  // namespace

MySQLBaseConnection::MySQLBaseConnection(Environment* environment) : Connection(environment) {
    setDatabaseEncoding("UTF-8");
    setUnicodeTextTypes(false);
}

MySQLBaseConnection::~MySQLBaseConnection() = default;

std::string MySQLBaseConnection::rewriteSql(const std::string& text) {
    return stripNameQualifiers(text, kQualifierDepth, true, '\\');
}

bool MySQLBaseConnection::avoidServerCursors() const {
    return true;
}

bool MySQLBaseConnection::tolerateCloseWithoutCursor() const {
    return true;
}

int MySQLBaseConnection::supportedFunctionCount() const {
    return static_cast<int>(std::size(kMySqlSupportedFunctions));
}

SQLUSMALLINT MySQLBaseConnection::supportedFunction(int index) const {
    if (index < 0 || index >= supportedFunctionCount()) {
        return 0;
    }
    return kMySqlSupportedFunctions[index];
}

SQLRETURN MySQLBaseConnection::setAttrTxnIsolation(SQLUINTEGER value) {
    if (value != SQL_TXN_READ_COMMITTED) {
        postState("HYC00");
        return SQL_ERROR;
    }
    // The base refuses a change inside a transaction; that refusal must reach
    // the application.
    return Connection::setAttrTxnIsolation(value);
}

std::uint64_t MySQLBaseConnection::serverVersion() const {
    return serverVersion_;
}

std::string MySQLBaseConnection::versionText() const {
    return std::to_string(versionMajor_) + "." + std::to_string(versionMinor_) + "." +
           std::to_string(versionPatch_);
}

#define MORVANEX_DEFINE_MYSQL_INFO(Name, shape, answer)             \
    InfoValue<InfoShape::shape> MySQLBaseConnection::info##Name() { \
        return answer;                                              \
    }
MORVANEX_MYSQL_INFO_ANSWERS(MORVANEX_DEFINE_MYSQL_INFO)
#undef MORVANEX_DEFINE_MYSQL_INFO
