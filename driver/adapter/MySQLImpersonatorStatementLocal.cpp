#include "driver/adapter/MySQLImpersonatorStatement.h"

// PLACEHOLDER: replaced by the locally answered statements.
SQLRETURN MySQLImpersonatorStatement::describeTable(const std::string&) {
    return SQL_ERROR;
}
SQLRETURN MySQLImpersonatorStatement::skipSetSqlMode(const std::string&) {
    return SQL_SUCCESS;
}
SQLRETURN MySQLImpersonatorStatement::selectLastInsertId() {
    return SQL_ERROR;
}
void MySQLImpersonatorStatement::allocateRowArrays() {}
void MySQLImpersonatorStatement::prepareLocalAnswer(const std::vector<std::string>&) {}
