#include "driver/adapter/MySQLImpersonatorStatement.h"

#include <array>
#include <cstring>
#include <exception>
#include <string_view>

#include "driver/adapter/AdapterText.h"
#include "driver/adapter/DialectText.h"
#include "driver/adapter/MySQLImpersonatorConnection.h"
#include "driver/adapter/SqlTextScanner.h"
#include "driver/core/StringOutput.h"

namespace {

constexpr SQLSMALLINT kHighestRecord = 3;
constexpr std::size_t kMessageSize = 512;

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

void trace(const Statement& statement, std::string_view line) {
    if (statement.isTracing()) {
        std::string text(line);
        text += '\n';
        statement.writeTrace(text);
    }
}

// DB2 types a MySQL client does not know, and what they are shown as.
struct TypeMapping {
    SQLSMALLINT from;
    SQLSMALLINT to;
};

// clang-format off
constexpr TypeMapping kDb2TypeMap[] = {
    {-99,  SQL_LONGVARCHAR},   // CLOB
    {-97,  SQL_LONGVARCHAR},   // long graphic text
    {-350, SQL_LONGVARCHAR},   // DBCLOB
    {2005, SQL_LONGVARCHAR},   // CLOB, JDBC numbering
    {-96,  SQL_VARCHAR},       // vargraphic
    {-95,  SQL_CHAR},          // graphic
};
// clang-format on

bool isPostgreSqlText(SQLSMALLINT type) {
    return type == SQL_LONGVARCHAR || type == SQL_TYPE_TIME || type == SQL_TIME;
}

}  // namespace

// --- Construction ----------------------------------------------------------------

MySQLImpersonatorStatement::MySQLImpersonatorStatement(Connection* connection)
    : Statement(connection) {}

// The inner statement goes first: it frees the adapted driver's handle.
MySQLImpersonatorStatement::~MySQLImpersonatorStatement() {
    inner_.reset();
}

// --- Shared helpers ----------------------------------------------------------------

MySQLImpersonatorConnection* MySQLImpersonatorStatement::impersonator() const {
    return static_cast<MySQLImpersonatorConnection*>(connection_);
}

MySQLImpersonatorStatement::DatabaseFamily MySQLImpersonatorStatement::databaseFamily() {
    const std::string name = impersonator()->dbmsName();
    if (name == "PostgreSQL") {
        return DatabaseFamily::PostgreSQL;
    }
    if (name.compare(0, 7, "DB2/400") == 0) {
        return DatabaseFamily::Db2400;
    }
    if (name.compare(0, 3, "DB2") == 0) {
        return DatabaseFamily::Db2Luw;
    }
    return DatabaseFamily::Other;
}

void MySQLImpersonatorStatement::TemporaryRelease::operator()(
    MySQLImpersonatorStatement* statement) const {
    if (statement != nullptr) {
        statement->freeStmt(SQL_DROP);
        delete statement;
    }
}

MySQLImpersonatorStatement::TemporaryStatement
MySQLImpersonatorStatement::makeTemporaryStatement() {
    std::unique_ptr<Statement> made;
    try {
        made.reset(connection_->createStatement());
    } catch (const std::exception& failure) {
        trace(*this, std::string("// could not make a statement: ") + failure.what());
        return TemporaryStatement();
    }
    auto* statement = dynamic_cast<MySQLImpersonatorStatement*>(made.get());
    if (statement == nullptr) {
        return TemporaryStatement();
    }
    made.release();
    return TemporaryStatement(statement);
}

bool MySQLImpersonatorStatement::checkConnected() {
    diagnostics_.clear();
    if (impersonator()->isConnected()) {
        return true;
    }
    postState("08S01");
    return false;
}

SQLRETURN MySQLImpersonatorStatement::repostInnerError(SQLRETURN result) {
    // Whatever this statement posted already must not be read back as the
    // inner statement's error; with none, its own reading goes to the inner.
    Statement* source = diagnostics_.isEmpty() ? this : inner_.get();
    return source != nullptr ? repostFirstRecord(*source, result) : result;
}

SQLRETURN MySQLImpersonatorStatement::repostFirstRecord(Statement& source, SQLRETURN result) {
    std::array<SQLCHAR, 6> state{};
    SQLINTEGER native = 0;
    std::array<SQLCHAR, kMessageSize> message{};
    SQLSMALLINT length = 0;
    const SQLRETURN read =
        source.getDiagRec(1, state.data(), &native, message.data(), kMessageSize, &length);
    if (!succeeded(read)) {
        // No record to pass on: the result code speaks for itself.
        return result;
    }
    const std::string stateText(reinterpret_cast<const char*>(state.data()),
                                strnlen(reinterpret_cast<const char*>(state.data()), 5));
    if (stateText == "08S01") {
        impersonator()->setConnected(false);
    }
    const std::string_view text(
        reinterpret_cast<const char*>(message.data()),
        strnlen(reinterpret_cast<const char*>(message.data()), kMessageSize - 1));
    diagnostics_.prependRecord(stateText, native, withoutBracketedPrefixes(text), -1, -1);
    return result;
}

Statement* MySQLImpersonatorStatement::innerForCall() {
    // A forwarded call replaces whatever an earlier call left here, so that
    // the inner statement's records are the ones read back. Most calls find
    // nothing to clear: the check is cheaper than the call.
    if (!diagnostics_.isEmpty()) {
        diagnostics_.clear();
    }
    if (inner_ == nullptr) {
        postState("08S01");
    }
    return inner_.get();
}

template <typename... Params, typename... Args>
SQLRETURN MySQLImpersonatorStatement::toInner(SQLRETURN (Statement::*operation)(Params...),
                                              Args... args) {
    Statement* inner = innerForCall();
    return inner != nullptr ? (inner->*operation)(args...) : SQL_ERROR;
}

template <typename OwnCall, typename... Params, typename... Args>
SQLRETURN MySQLImpersonatorStatement::ownElseInner(OwnCall ownCall,
                                                   SQLRETURN (Statement::*operation)(Params...),
                                                   Args... args) {
    return hasOwnResult() ? ownCall() : toInner(operation, args...);
}

void MySQLImpersonatorStatement::releaseOwnResult() {
    if (hasOwnResult()) {
        releaseRecordset();
        resetResultDescription();
        markBeforeStart();
    }
}

template <typename OwnCall, typename InnerCall>
SQLRETURN MySQLImpersonatorStatement::onBothSides(OwnCall ownCall, InnerCall innerCall,
                                                  bool evenWhenRefused) {
    if (hasOwnResult()) {
        const SQLRETURN rc = ownCall();
        if (inner_ != nullptr && (evenWhenRefused || succeeded(rc))) {
            innerCall(*inner_);
        }
        return rc;
    }
    Statement* inner = innerForCall();
    if (inner == nullptr) {
        return SQL_ERROR;
    }
    const SQLRETURN rc = innerCall(*inner);
    if (evenWhenRefused || succeeded(rc)) {
        ownCall();
        // Only the inner statement's answer counts: its records, not ours.
        diagnostics_.clear();
    }
    return rc;
}

// --- Freeing and closing -------------------------------------------------------------

SQLRETURN MySQLImpersonatorStatement::freeStmt(SQLUSMALLINT option) {
    switch (option) {
        case SQL_DROP: {
            const SQLRETURN own = Statement::freeStmt(option);
            return inner_ != nullptr ? inner_->freeStmt(option) : own;
        }
        case SQL_CLOSE:
        case SQL_UNBIND:
        case SQL_RESET_PARAMS:
            // Buffers the application releases must be forgotten by both
            // sides, whichever answers now.
            return onBothSides([&] { return Statement::freeStmt(option); },
                               [&](Statement& inner) { return inner.freeStmt(option); }, true);
        default: {
            return toInner(&Statement::freeStmt, option);
        }
    }
}

SQLRETURN MySQLImpersonatorStatement::closeCursor() {
    // Behind an inner result the base still counts itself executed; it is
    // closed with it, so that cursor names and attributes may be set again.
    return onBothSides([&] { return hasOwnResult() ? Statement::closeCursor() : closeResults(); },
                       [&](Statement& inner) { return inner.closeCursor(); }, true);
}

// --- Attributes and bindings -----------------------------------------------------

SQLRETURN MySQLImpersonatorStatement::setStmtAttr(SQLINTEGER attribute, SQLPOINTER value,
                                                  SQLINTEGER stringLength) {
    return onBothSides(
        [&] { return Statement::setStmtAttr(attribute, value, stringLength); },
        [&](Statement& inner) { return inner.setStmtAttr(attribute, value, stringLength); }, false);
}

SQLRETURN MySQLImpersonatorStatement::getStmtAttr(SQLINTEGER attribute, SQLPOINTER value,
                                                  SQLINTEGER bufferLength,
                                                  SQLINTEGER* stringLength) {
    return toInner(&Statement::getStmtAttr, attribute, value, bufferLength, stringLength);
}

SQLRETURN MySQLImpersonatorStatement::bindCol(SQLUSMALLINT column, SQLSMALLINT valueType,
                                              SQLPOINTER value, SQLLEN bufferLength,
                                              SQLLEN* lengthOrIndicator) {
    return onBothSides(
        [&] {
            return Statement::bindCol(column, valueType, value, bufferLength, lengthOrIndicator);
        },
        [&](Statement& inner) {
            return inner.bindCol(column, valueType, value, bufferLength, lengthOrIndicator);
        },
        false);
}

SQLRETURN MySQLImpersonatorStatement::bindParameter(SQLUSMALLINT number,
                                                    SQLSMALLINT inputOutputType,
                                                    SQLSMALLINT valueType, SQLSMALLINT sqlType,
                                                    SQLULEN columnSize, SQLSMALLINT decimalDigits,
                                                    SQLPOINTER value, SQLLEN bufferLength,
                                                    SQLLEN* lengthOrIndicator) {
    return toInner(&Statement::bindParameter, number, inputOutputType, valueType, sqlType,
                   columnSize, decimalDigits, value, bufferLength, lengthOrIndicator);
}

// --- Diagnostics ---------------------------------------------------------------------

SQLRETURN MySQLImpersonatorStatement::getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state,
                                                 SQLINTEGER* native, SQLCHAR* message,
                                                 SQLSMALLINT bufferLength,
                                                 SQLSMALLINT* textLength) {
    trace(*this, "// getDiagRec");
    if (recNumber > kHighestRecord) {
        return SQL_NO_DATA;
    }
    SQLRETURN rc = SQL_NO_DATA;
    if (diagnostics_.isEmpty()) {
        trace(*this, "// getting native records");
        if (inner_ != nullptr) {
            rc = inner_->getDiagRec(recNumber, state, native, message, bufferLength, textLength);
        }
    } else {
        trace(*this, "// getting records that were already added");
        rc = Statement::getDiagRec(recNumber, state, native, message, bufferLength, textLength);
    }
    trace(*this, "// getDiagRec complete");
    return rc;
}

SQLRETURN MySQLImpersonatorStatement::getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier,
                                                   SQLPOINTER value, SQLSMALLINT bufferLength,
                                                   SQLSMALLINT* stringLength) {
    if (recNumber > kHighestRecord) {
        return SQL_NO_DATA;
    }
    if (!diagnostics_.isEmpty()) {
        return Statement::getDiagField(recNumber, identifier, value, bufferLength, stringLength);
    }
    return inner_ != nullptr
               ? inner_->getDiagField(recNumber, identifier, value, bufferLength, stringLength)
               : SQL_NO_DATA;
}

SQLRETURN MySQLImpersonatorStatement::error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                            SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    if (!diagnostics_.isEmpty()) {
        return Statement::error(state, native, message, bufferLength, textLength);
    }
    return inner_ != nullptr ? inner_->error(state, native, message, bufferLength, textLength)
                             : SQL_NO_DATA;
}

// --- Result description --------------------------------------------------------------

SQLRETURN MySQLImpersonatorStatement::colAttribute(SQLUSMALLINT column, SQLUSMALLINT field,
                                                   SQLPOINTER characterAttribute,
                                                   SQLSMALLINT bufferLength,
                                                   SQLSMALLINT* stringLength,
                                                   SQLLEN* numericAttribute) {
    return ownElseInner(
        [&] {
            return Statement::colAttribute(column, field, characterAttribute, bufferLength,
                                           stringLength, numericAttribute);
        },
        &Statement::colAttribute, column, field, characterAttribute, bufferLength, stringLength,
        numericAttribute);
}

SQLRETURN MySQLImpersonatorStatement::describeCol(SQLUSMALLINT column, SQLCHAR* name,
                                                  SQLSMALLINT bufferLength, SQLSMALLINT* nameLength,
                                                  SQLSMALLINT* dataType, SQLULEN* columnSize,
                                                  SQLSMALLINT* decimalDigits,
                                                  SQLSMALLINT* nullable) {
    SQLRETURN rc = SQL_ERROR;
    if (hasOwnResult()) {
        rc = Statement::describeCol(column, name, bufferLength, nameLength, dataType, columnSize,
                                    decimalDigits, nullable);
    } else if (Statement* inner = innerForCall(); inner != nullptr) {
        rc = inner->describeCol(column, name, bufferLength, nameLength, dataType, columnSize,
                                decimalDigits, nullable);
    }
    if (dataType != nullptr) {
        SQLSMALLINT type = *dataType;
        if (isPostgreSqlText(type) && impersonator()->dbmsName() == "PostgreSQL") {
            type = SQL_VARCHAR;
        }
        *dataType = adjustColumnDataType(type);
    }
    return rc;
}

SQLSMALLINT MySQLImpersonatorStatement::adjustColumnDataType(SQLSMALLINT dataType) {
    if (impersonator()->dbmsName().compare(0, 3, "DB2") != 0) {
        return dataType;
    }
    for (const TypeMapping& mapping : kDb2TypeMap) {
        if (mapping.from == dataType) {
            trace(*this, "// changed dataType from: " + std::to_string(dataType) +
                             " to: " + std::to_string(mapping.to));
            return mapping.to;
        }
    }
    return dataType;
}

SQLRETURN MySQLImpersonatorStatement::numResultCols(SQLSMALLINT* count) {
    return ownElseInner([&] { return Statement::numResultCols(count); }, &Statement::numResultCols,
                        count);
}

SQLRETURN MySQLImpersonatorStatement::rowCount(SQLLEN* count) {
    return ownElseInner([&] { return Statement::rowCount(count); }, &Statement::rowCount, count);
}

// --- Fetching ------------------------------------------------------------------------

// Hot: runs for every row, kept beside the rest of the per-row path.
[[gnu::hot]] SQLRETURN MySQLImpersonatorStatement::fetch() {
    // ownElseInner spelt out: a direct call is cheaper for every row.
    if (hasOwnResult()) {
        return Statement::fetch();
    }
    Statement* inner = innerForCall();
    return inner != nullptr ? inner->fetch() : SQL_ERROR;
}

SQLRETURN MySQLImpersonatorStatement::fetchScroll(SQLSMALLINT orientation, SQLLEN offset) {
    return ownElseInner([&] { return Statement::fetchScroll(orientation, offset); },
                        &Statement::fetchScroll, orientation, offset);
}

SQLRETURN MySQLImpersonatorStatement::extendedFetch(SQLUSMALLINT orientation, SQLLEN offset,
                                                    SQLULEN* rowCount, SQLUSMALLINT* rowStatus) {
    return ownElseInner(
        [&] { return Statement::extendedFetch(orientation, offset, rowCount, rowStatus); },
        &Statement::extendedFetch, orientation, offset, rowCount, rowStatus);
}

SQLRETURN MySQLImpersonatorStatement::getData(SQLUSMALLINT column, SQLSMALLINT valueType,
                                              SQLPOINTER value, SQLLEN bufferLength,
                                              SQLLEN* lengthOrIndicator) {
    return ownElseInner(
        [&] {
            return Statement::getData(column, valueType, value, bufferLength, lengthOrIndicator);
        },
        &Statement::getData, column, valueType, value, bufferLength, lengthOrIndicator);
}

SQLRETURN MySQLImpersonatorStatement::moreResults() {
    return toInner(&Statement::moreResults);
}

// --- Parameters and data at execution ------------------------------------------------

SQLRETURN MySQLImpersonatorStatement::cancel() {
    return toInner(&Statement::cancel);
}

SQLRETURN MySQLImpersonatorStatement::paramData(SQLPOINTER* value) {
    return toInner(&Statement::paramData, value);
}

SQLRETURN MySQLImpersonatorStatement::putData(SQLPOINTER data, SQLLEN length) {
    return toInner(&Statement::putData, data, length);
}

SQLRETURN MySQLImpersonatorStatement::numParams(SQLSMALLINT* count) {
    return toInner(&Statement::numParams, count);
}

SQLRETURN MySQLImpersonatorStatement::describeParam(SQLUSMALLINT number, SQLSMALLINT* dataType,
                                                    SQLULEN* parameterSize,
                                                    SQLSMALLINT* decimalDigits,
                                                    SQLSMALLINT* nullable) {
    const SQLRETURN rc = toInner(&Statement::describeParam, number, dataType, parameterSize,
                                 decimalDigits, nullable);
    if (!succeeded(rc)) {
        if (isTracing()) {
            trace(*this, "// describeParameter failed, returning SQL_VARCHAR values");
            std::array<SQLCHAR, 6> state{};
            SQLINTEGER native = 0;
            std::array<SQLCHAR, kMessageSize> message{};
            SQLSMALLINT length = 0;
            if (succeeded(
                    getDiagRec(1, state.data(), &native, message.data(), kMessageSize, &length))) {
                trace(*this, std::string("// error message: ") +
                                 reinterpret_cast<const char*>(message.data()));
            }
        }
        // Clients describe every parameter before binding it: text always
        // fits, and the failure is no failure of theirs.
        diagnostics_.clear();
        if (dataType != nullptr) {
            *dataType = SQL_VARCHAR;
        }
        if (parameterSize != nullptr) {
            *parameterSize = 256;
        }
        if (decimalDigits != nullptr) {
            *decimalDigits = 0;
        }
        if (nullable != nullptr) {
            *nullable = SQL_NULLABLE_UNKNOWN;
        }
        return SQL_SUCCESS;
    }
    if (dataType == nullptr) {
        return rc;
    }
    SQLSMALLINT type = *dataType;
    const bool postgres = databaseFamily() == DatabaseFamily::PostgreSQL;
    if (postgres && (type == SQL_TYPE_TIMESTAMP || type == SQL_TIMESTAMP)) {
        trace(*this, "// postgres timestamp, returning SQL_VARCHAR value");
        type = SQL_VARCHAR;
    } else if (postgres && type == SQL_GUID) {
        trace(*this, "// postgres guid, returning SQL_VARCHAR value");
        type = SQL_VARCHAR;
        if (decimalDigits != nullptr) {
            *decimalDigits = 0;
        }
    }
    *dataType = adjustColumnDataType(type);
    return rc;
}

// --- Native execution ----------------------------------------------------------------

SQLRETURN MySQLImpersonatorStatement::executeNativeQuery(const std::string& text) {
    if (inner_ == nullptr) {
        postState("08S01");
        return SQL_ERROR;
    }
    return inner_->executeQuery(text, 0);
}

SQLRETURN MySQLImpersonatorStatement::execute() {
    if (!checkConnected()) {
        return SQL_ERROR;
    }
    releaseOwnResult();
    const bool logged = impersonator()->isQueryLogOn();
    if (logged) {
        startTimer();
    }
    if (inner_ == nullptr) {
        postState("08S01");
        return SQL_ERROR;
    }
    const SQLRETURN rc = inner_->execute();
    // As a direct execution is: whatever its outcome, it took that long.
    if (logged) {
        logQueryTime(preparedText_);
    }
    return succeeded(rc) ? rc : repostInnerError(rc);
}

SQLRETURN MySQLImpersonatorStatement::prepare(const SQLCHAR* text, SQLINTEGER length) {
    diagnostics_.clear();
    releaseOwnResult();
    if (inner_ == nullptr) {
        postState("08S01");
        return SQL_ERROR;
    }
    preparedText_ = quoteIdentifiers(backquotesToDoubleQuotes(makeSqlString(text, length)), '"',
                                     false, '\\', true);
    const SQLRETURN rc =
        inner_->prepare(reinterpret_cast<const SQLCHAR*>(preparedText_.c_str()), SQL_NTS);
    return succeeded(rc) ? rc : repostInnerError(rc);
}
