#include "driver/core/Statement.h"

#include <sys/time.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "driver/core/Connection.h"
#include "driver/core/Descriptor.h"
#include "driver/core/Environment.h"
#include "driver/core/Recordset.h"
#include "driver/core/StringOutput.h"

Statement::Statement(Connection* connection)
    : connection_(connection), diagnostics_(connection->environment()) {
    implicitApd_ = std::make_unique<Descriptor>(connection, Descriptor::Apd);
    implicitArd_ = std::make_unique<Descriptor>(connection, Descriptor::Ard);
    ipd_ = std::make_unique<Descriptor>(connection, Descriptor::Ipd);
    ird_ = std::make_unique<Descriptor>(connection, Descriptor::Ird);
    currentApd_ = implicitApd_.get();
    currentArd_ = implicitArd_.get();
    connection_->retainHandle();
}

Statement::~Statement() {
    connection_->releaseHandle();
    // An explicit descriptor outlives us; it must not keep our address.
    if (currentApd_ != implicitApd_.get()) {
        currentApd_->detachStatement(this);
    }
    if (currentArd_ != implicitArd_.get()) {
        currentArd_->detachStatement(this);
    }
    recordset_.reset();
}

bool Statement::isTracing() const {
    return connection_->isTracing();
}

void Statement::writeTrace(std::string_view text) const {
    connection_->writeTrace(text);
}

Connection* Statement::connection() const {
    return connection_;
}

Environment* Statement::environment() const {
    return connection_->environment();
}

void Statement::startTimer() {
    timeval now{};
    gettimeofday(&now, nullptr);
    startSeconds_ = now.tv_sec;
    startMicroseconds_ = now.tv_usec;
}

void Statement::logQueryTime(const std::string& text) {
    timeval now{};
    gettimeofday(&now, nullptr);
    const std::int64_t elapsed =
        (now.tv_sec - startSeconds_) * 1000 + (now.tv_usec - startMicroseconds_) / 1000;
    if (elapsed >= connection_->queryLogTime()) {
        connection_->writeQueryLog(elapsed, text);
    }
}

DiagnosticHeader& Statement::diagnostics() {
    return diagnostics_;
}

void Statement::postState(const char* state, const char* message) {
    diagnostics_.prependRecord(state, 0, message, -1, -1);
}

void Statement::appendRecords(const DiagnosticHeader& from, SQLSMALLINT firstRecord,
                              DiagnosticHeader& to) {
    to.appendRecordsFrom(from, firstRecord);
}

// --- Diagnostics -------------------------------------------------------------

SQLRETURN Statement::getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                                SQLCHAR* message, SQLSMALLINT bufferLength,
                                SQLSMALLINT* textLength) {
    return diagnostics_.getDiagRecWithComponent(connection_->dbmsName(), recNumber, state, native,
                                                message, bufferLength, textLength);
}

SQLRETURN Statement::getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier, SQLPOINTER value,
                                  SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) {
    if (identifier == SQL_DIAG_CONNECTION_NAME || identifier == SQL_DIAG_SERVER_NAME) {
        const bool terminate = environment()->getAttrOutputNts() != SQL_FALSE;
        copyStringOutShort(value, stringLength, connection_->infoDataSourceName(), bufferLength,
                           terminate);
        return SQL_SUCCESS;
    }
    return diagnostics_.getDiagField(recNumber, identifier, value, bufferLength, stringLength);
}

SQLRETURN Statement::error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                           SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    const SQLRETURN rc =
        diagnostics_.getDiagRec(1, state, native, message, bufferLength, textLength);
    if (rc == SQL_SUCCESS) {
        // Only the record just returned goes; the next call reads the next.
        diagnostics_.removeRecord(1);
    }
    return rc;
}

// --- Cursor names ---------------------------------------------------------------

std::string Statement::cursorName() {
    if (cursorName_.empty()) {
        const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(this));
        cursorName_ = "SQL_CUR" + toString(address + nameCounter_);
        ++nameCounter_;
    }
    return cursorName_;
}

SQLRETURN Statement::getCursorName(SQLCHAR* name, SQLSMALLINT bufferLength,
                                   SQLSMALLINT* nameLength) {
    diagnostics_.clear();
    if (copyStringOutShort(name, nameLength, cursorName(), bufferLength, true) != 0) {
        // A cut name is reported with its record, never as a bare warning.
        postState("01004");
        return SQL_SUCCESS_WITH_INFO;
    }
    return SQL_SUCCESS;
}

namespace {

// Cursor names end up unquoted in "declare", "open", "fetch" and "close"
// texts, so only identifier characters may appear in them.
bool isCursorIdentifier(const std::string& name) {
    if (name.empty()) {
        return true;
    }
    const auto isLetter = [](unsigned char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
    };
    if (!isLetter(static_cast<unsigned char>(name.front()))) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [&](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return isLetter(byte) || (byte >= '0' && byte <= '9');
    });
}

}  // namespace

SQLRETURN Statement::setCursorName(const SQLCHAR* name, SQLSMALLINT length) {
    diagnostics_.clear();
    if (state_ >= StatementState::Executed) {
        postState("24000");
        return SQL_ERROR;
    }
    std::string text = makeSqlString(name, length);
    const SQLUSMALLINT limit = connection_->infoMaxCursorNameLen();
    if ((limit >= 1 && text.size() > limit) || !isCursorIdentifier(text)) {
        postState("34000");
        return SQL_ERROR;
    }
    cursorName_ = std::move(text);
    return SQL_SUCCESS;
}

// --- Closing and freeing ------------------------------------------------------------

SQLRETURN Statement::closeResults() {
    discardResult();
    markBeforeStart();
    if (serverCursor_) {
        ird_->clearRecords();
        rowsLoaded_ = 0;
    }
    cursorName_.clear();
    state_ = StatementState::Allocated;
    return SQL_SUCCESS;
}

void Statement::discardResult() {
    const bool cursorOpen = serverCursor_ && recordset_ != nullptr;
    recordset_.reset();
    if (cursorOpen) {
        executeQuery("close " + cursorName(), 0);
    }
}

SQLRETURN Statement::closeCursor() {
    diagnostics_.clear();
    if (recordset_ != nullptr) {
        return closeResults();
    }
    if (environment()->getAttrOdbcVersion() < SQL_OV_ODBC3 ||
        connection_->tolerateCloseWithoutCursor()) {
        return SQL_SUCCESS;
    }
    postState("24000");
    return SQL_ERROR;
}

SQLRETURN Statement::freeStmt(SQLUSMALLINT option) {
    diagnostics_.clear();
    switch (option) {
        case SQL_CLOSE:
            return closeResults();
        case SQL_DROP: {
            // Only our own descriptors: an explicit one may serve others.
            implicitArd_->setCount(0);
            implicitApd_->setCount(0);
            ipd_->setCount(0);
            const SQLRETURN rc = closeResults();
            preparedText_.clear();
            return rc;
        }
        case SQL_UNBIND:
            currentArd_->setCount(0);
            return SQL_SUCCESS;
        case SQL_RESET_PARAMS:
            currentApd_->setCount(0);
            ipd_->setCount(0);
            return SQL_SUCCESS;
        default:
            postState("HY092");
            return SQL_ERROR;
    }
}

SQLRETURN Statement::cancel() {
    diagnostics_.clear();
    return SQL_SUCCESS;
}

// --- Recordset and descriptors ------------------------------------------------------

void Statement::setRecordset(std::unique_ptr<Recordset> recordset) {
    recordset_ = std::move(recordset);
}

void Statement::releaseRecordset() {
    recordset_.reset();
}

void Statement::resetResultDescription() {
    ird_->clearRecords();
    rowsLoaded_ = 0;
    rowsetPosition_ = -1;
}

void Statement::useDescriptor(Descriptor*& current, Descriptor* implicit, Descriptor* next) {
    Descriptor* previous = current;
    current = next;
    if (previous != implicit) {
        previous->detachStatement(this);
    }
    if (next != implicit) {
        next->attachStatement(this);
    }
}

void Statement::detachDescriptor(Descriptor* descriptor) {
    if (descriptor == nullptr) {
        return;
    }
    if (currentApd_ == descriptor) {
        currentApd_ = implicitApd_.get();
    }
    if (currentArd_ == descriptor) {
        currentArd_ = implicitArd_.get();
    }
}

// --- Other accessors ------------------------------------------------------------------

SQLUINTEGER Statement::cursorAttributes1() {
    switch (cursorType_) {
        case SQL_CURSOR_FORWARD_ONLY:
            return connection_->infoForwardOnlyCursorAttributes1();
        case SQL_CURSOR_KEYSET_DRIVEN:
            return connection_->infoKeysetCursorAttributes1();
        case SQL_CURSOR_DYNAMIC:
            return connection_->infoDynamicCursorAttributes1();
        case SQL_CURSOR_STATIC:
            return connection_->infoStaticCursorAttributes1();
        default:
            postState("01000", "Unknown cursor type");
            return 0;
    }
}

SQLUINTEGER Statement::cursorAttributes2() {
    switch (cursorType_) {
        case SQL_CURSOR_FORWARD_ONLY:
            return connection_->infoForwardOnlyCursorAttributes2();
        case SQL_CURSOR_KEYSET_DRIVEN:
            return connection_->infoKeysetCursorAttributes2();
        case SQL_CURSOR_DYNAMIC:
            return connection_->infoDynamicCursorAttributes2();
        case SQL_CURSOR_STATIC:
            return connection_->infoStaticCursorAttributes2();
        default:
            postState("01000", "Unknown cursor type");
            return 0;
    }
}

SQLULEN Statement::fetchedRowCount() const {
    return rowsLoaded_;
}

void Statement::setRowCount(SQLLEN count) {
    rowCount_ = count;
    if (SQLULEN* fetched = ird_->getRowsProcessedPtr(); fetched != nullptr) {
        *fetched = static_cast<SQLULEN>(count);
    }
}
