#include "driver/adapter/MySQLImpersonatorConnection.h"

#include "driver/adapter/MySQLImpersonatorStatement.h"
#include "driver/adapter/ODBCRepeaterConnection.h"

// PLACEHOLDER: replaced by the impersonating connection.
MySQLImpersonatorConnection::MySQLImpersonatorConnection(Environment* environment)
    : MySQLBaseConnection(environment) {}
MySQLImpersonatorConnection::~MySQLImpersonatorConnection() = default;
Statement* MySQLImpersonatorConnection::createStatement() {
    return new MySQLImpersonatorStatement(this);
}
SQLRETURN MySQLImpersonatorConnection::connectStrings(const std::string& s, const std::string& u,
                                                      const std::string& a) {
    return inner_->connectStrings(s, u, a);
}
SQLRETURN MySQLImpersonatorConnection::driverConnect(SQLHWND w, const SQLCHAR* t, SQLSMALLINT l,
                                                     SQLCHAR* o, SQLSMALLINT m, SQLSMALLINT* ol,
                                                     SQLUSMALLINT c) {
    return inner_->driverConnect(w, t, l, o, m, ol, c);
}
SQLRETURN MySQLImpersonatorConnection::disconnect() {
    return inner_->disconnect();
}
SQLRETURN MySQLImpersonatorConnection::getInfo(SQLUSMALLINT t, SQLPOINTER v, SQLSMALLINT b,
                                               SQLSMALLINT* l) {
    return MySQLBaseConnection::getInfo(t, v, b, l);
}
SQLRETURN MySQLImpersonatorConnection::getDiagRec(SQLSMALLINT r, SQLCHAR* s, SQLINTEGER* n,
                                                  SQLCHAR* m, SQLSMALLINT b, SQLSMALLINT* t) {
    return inner_->getDiagRec(r, s, n, m, b, t);
}
SQLRETURN MySQLImpersonatorConnection::getDiagField(SQLSMALLINT r, SQLSMALLINT i, SQLPOINTER v,
                                                    SQLSMALLINT b, SQLSMALLINT* l) {
    return inner_->getDiagField(r, i, v, b, l);
}
SQLRETURN MySQLImpersonatorConnection::error(SQLCHAR* s, SQLINTEGER* n, SQLCHAR* m, SQLSMALLINT b,
                                             SQLSMALLINT* t) {
    return inner_->error(s, n, m, b, t);
}
SQLRETURN MySQLImpersonatorConnection::endTran(SQLSMALLINT c) {
    return inner_->endTran(c);
}
bool MySQLImpersonatorConnection::isConnected() const {
    return inner_->isConnected();
}
void MySQLImpersonatorConnection::setConnected(bool c) {
    inner_->setConnected(c);
}
bool MySQLImpersonatorConnection::isWideApi() const {
    return inner_->isWideApi();
}
void MySQLImpersonatorConnection::setWideApi(bool w) {
    inner_->setWideApi(w);
}
std::uint32_t MySQLImpersonatorConnection::databaseEncoding() const {
    return inner_->databaseEncoding();
}
std::uint32_t MySQLImpersonatorConnection::sendEncoding() const {
    return inner_->sendEncoding();
}
std::uint32_t MySQLImpersonatorConnection::receiveEncoding() const {
    return inner_->receiveEncoding();
}
void MySQLImpersonatorConnection::setSendEncodingId(std::uint32_t e) {
    inner_->setSendEncodingId(e);
}
void MySQLImpersonatorConnection::setReceiveEncodingId(std::uint32_t e) {
    inner_->setReceiveEncodingId(e);
}
bool MySQLImpersonatorConnection::isUnicodeTextTypes() const {
    return inner_->isUnicodeTextTypes();
}
std::string MySQLImpersonatorConnection::dbmsName() {
    return inner_->dbmsName();
}
SQLRETURN MySQLImpersonatorConnection::setAttrAutocommit(SQLUINTEGER v) {
    return inner_->setAttrAutocommit(v);
}
SQLSMALLINT MySQLImpersonatorConnection::getInfoValueType(SQLUSMALLINT t) {
    return MySQLBaseConnection::getInfoValueType(t);
}
std::string MySQLImpersonatorConnection::infoDbmsVer() {
    return "5.6";
}
std::string MySQLImpersonatorConnection::infoDatabaseName() {
    return inner_->infoDatabaseName();
}
ODBCRepeaterConnection* MySQLImpersonatorConnection::nativeConnection() const {
    return inner_.get();
}
bool MySQLImpersonatorConnection::isRedshift() const {
    return isRedshift_;
}
std::string MySQLImpersonatorConnection::nativeDbmsType() const {
    return nativeDbmsType_;
}
std::string MySQLImpersonatorConnection::nativeDbmsVersion() {
    return inner_->infoDbmsVer();
}
void MySQLImpersonatorConnection::setTableSchema(const std::string&, const std::string&) {}
std::string MySQLImpersonatorConnection::tableSchema(const std::string&) const {
    return {};
}
void MySQLImpersonatorConnection::clearTimeColumns() {}
void MySQLImpersonatorConnection::clearColumnTypes(const std::string&, const std::string&) {}
void MySQLImpersonatorConnection::addColumnType(const std::string&, const std::string&,
                                                const std::string&, SQLSMALLINT) {}
std::vector<MySQLImpersonatorConnection::ColumnType>
MySQLImpersonatorConnection::getColumnsForTable(const std::string&, const std::string&, bool,
                                                bool) const {
    return {};
}
