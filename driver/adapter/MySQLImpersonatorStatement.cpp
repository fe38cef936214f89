#include "driver/adapter/MySQLImpersonatorStatement.h"

#include "driver/adapter/MySQLImpersonatorConnection.h"

// PLACEHOLDER: replaced by the impersonating statement.
MySQLImpersonatorStatement::MySQLImpersonatorStatement(Connection* connection)
    : Statement(connection) {}
MySQLImpersonatorStatement::~MySQLImpersonatorStatement() = default;
SQLRETURN MySQLImpersonatorStatement::freeStmt(SQLUSMALLINT option) {
    return inner_->freeStmt(option);
}
SQLRETURN MySQLImpersonatorStatement::setStmtAttr(SQLINTEGER a, SQLPOINTER v, SQLINTEGER l) {
    return inner_->setStmtAttr(a, v, l);
}
SQLRETURN MySQLImpersonatorStatement::getStmtAttr(SQLINTEGER a, SQLPOINTER v, SQLINTEGER b,
                                                  SQLINTEGER* l) {
    return inner_->getStmtAttr(a, v, b, l);
}
SQLRETURN MySQLImpersonatorStatement::getDiagRec(SQLSMALLINT r, SQLCHAR* s, SQLINTEGER* n,
                                                 SQLCHAR* m, SQLSMALLINT b, SQLSMALLINT* t) {
    return inner_->getDiagRec(r, s, n, m, b, t);
}
SQLRETURN MySQLImpersonatorStatement::getDiagField(SQLSMALLINT r, SQLSMALLINT i, SQLPOINTER v,
                                                   SQLSMALLINT b, SQLSMALLINT* l) {
    return inner_->getDiagField(r, i, v, b, l);
}
SQLRETURN MySQLImpersonatorStatement::error(SQLCHAR* s, SQLINTEGER* n, SQLCHAR* m, SQLSMALLINT b,
                                            SQLSMALLINT* t) {
    return inner_->error(s, n, m, b, t);
}
SQLRETURN MySQLImpersonatorStatement::colAttribute(SQLUSMALLINT c, SQLUSMALLINT f, SQLPOINTER a,
                                                   SQLSMALLINT b, SQLSMALLINT* l, SQLLEN* n) {
    return inner_->colAttribute(c, f, a, b, l, n);
}
SQLRETURN MySQLImpersonatorStatement::describeCol(SQLUSMALLINT c, SQLCHAR* n, SQLSMALLINT b,
                                                  SQLSMALLINT* l, SQLSMALLINT* t, SQLULEN* s,
                                                  SQLSMALLINT* d, SQLSMALLINT* u) {
    return inner_->describeCol(c, n, b, l, t, s, d, u);
}
SQLRETURN MySQLImpersonatorStatement::bindCol(SQLUSMALLINT c, SQLSMALLINT t, SQLPOINTER v, SQLLEN b,
                                              SQLLEN* l) {
    return inner_->bindCol(c, t, v, b, l);
}
SQLRETURN MySQLImpersonatorStatement::bindParameter(SQLUSMALLINT n, SQLSMALLINT io, SQLSMALLINT v,
                                                    SQLSMALLINT s, SQLULEN c, SQLSMALLINT d,
                                                    SQLPOINTER p, SQLLEN b, SQLLEN* l) {
    return inner_->bindParameter(n, io, v, s, c, d, p, b, l);
}
SQLRETURN MySQLImpersonatorStatement::execute() {
    return inner_->execute();
}
SQLRETURN MySQLImpersonatorStatement::cancel() {
    return inner_->cancel();
}
SQLRETURN MySQLImpersonatorStatement::paramData(SQLPOINTER* v) {
    return inner_->paramData(v);
}
SQLRETURN MySQLImpersonatorStatement::putData(SQLPOINTER d, SQLLEN l) {
    return inner_->putData(d, l);
}
SQLRETURN MySQLImpersonatorStatement::fetch() {
    return inner_->fetch();
}
SQLRETURN MySQLImpersonatorStatement::fetchScroll(SQLSMALLINT o, SQLLEN f) {
    return inner_->fetchScroll(o, f);
}
SQLRETURN MySQLImpersonatorStatement::extendedFetch(SQLUSMALLINT o, SQLLEN f, SQLULEN* r,
                                                    SQLUSMALLINT* s) {
    return inner_->extendedFetch(o, f, r, s);
}
SQLRETURN MySQLImpersonatorStatement::moreResults() {
    return inner_->moreResults();
}
SQLRETURN MySQLImpersonatorStatement::numResultCols(SQLSMALLINT* c) {
    return inner_->numResultCols(c);
}
SQLRETURN MySQLImpersonatorStatement::rowCount(SQLLEN* c) {
    return inner_->rowCount(c);
}
SQLRETURN MySQLImpersonatorStatement::getData(SQLUSMALLINT c, SQLSMALLINT t, SQLPOINTER v, SQLLEN b,
                                              SQLLEN* l) {
    return inner_->getData(c, t, v, b, l);
}
SQLRETURN MySQLImpersonatorStatement::prepare(const SQLCHAR* t, SQLINTEGER l) {
    return inner_->prepare(t, l);
}
SQLRETURN MySQLImpersonatorStatement::describeParam(SQLUSMALLINT n, SQLSMALLINT* t, SQLULEN* s,
                                                    SQLSMALLINT* d, SQLSMALLINT* u) {
    return inner_->describeParam(n, t, s, d, u);
}
SQLRETURN MySQLImpersonatorStatement::numParams(SQLSMALLINT* c) {
    return inner_->numParams(c);
}
SQLRETURN MySQLImpersonatorStatement::closeCursor() {
    return inner_->closeCursor();
}
SQLRETURN MySQLImpersonatorStatement::executeNativeQuery(const std::string& text) {
    return inner_->executeQuery(text, 0);
}
SQLSMALLINT MySQLImpersonatorStatement::adjustColumnDataType(SQLSMALLINT t) {
    return t;
}
void MySQLImpersonatorStatement::TemporaryRelease::operator()(
    MySQLImpersonatorStatement* statement) const {
    if (statement != nullptr) {
        statement->freeStmt(SQL_DROP);
        delete statement;
    }
}
MySQLImpersonatorConnection* MySQLImpersonatorStatement::impersonator() const {
    return static_cast<MySQLImpersonatorConnection*>(connection_);
}
MySQLImpersonatorStatement::DatabaseFamily MySQLImpersonatorStatement::databaseFamily() {
    return DatabaseFamily::Other;
}
MySQLImpersonatorStatement::TemporaryStatement
MySQLImpersonatorStatement::makeTemporaryStatement() {
    return TemporaryStatement(
        static_cast<MySQLImpersonatorStatement*>(connection_->createStatement()));
}
SQLRETURN MySQLImpersonatorStatement::repostInnerError(SQLRETURN result) {
    return result;
}
bool MySQLImpersonatorStatement::checkConnected() {
    return true;
}
