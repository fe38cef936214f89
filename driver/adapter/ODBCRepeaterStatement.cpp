// The repeater statement's life, attributes, diagnostics, parameters,
// execution and fetching. Catalog calls and column descriptions are in
// ODBCRepeaterStatementCatalog.cpp.

#include "driver/adapter/ODBCRepeaterStatement.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "driver/adapter/DialectText.h"
#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/adapter/SqlTextScanner.h"
#include "driver/core/Descriptor.h"
#include "driver/core/Environment.h"
#include "driver/core/StringOutput.h"
#include "driver/core/TextEncoding.h"
#include "driver/core/ValueConversion.h"

namespace {

constexpr const char* kReadOnlyMessage = "Data modification not allowed. Data source is read-only.";
constexpr SQLINTEGER kConfigurationNative = 100;
constexpr SQLINTEGER kConnectionLostNative = 1000;
constexpr SQLINTEGER kFirstDescriptorAttribute = SQL_ATTR_APP_ROW_DESC;   // 10010
constexpr SQLINTEGER kLastDescriptorAttribute = SQL_ATTR_IMP_PARAM_DESC;  // 10013
constexpr SQLLEN kWideUnit = sizeof(SQLWCHAR);

// The words that open a data-modifying statement.
constexpr std::array<const char*, 5> kModifyingWords = {"insert", "update", "delete", "create",
                                                        "drop"};

// Application types whose values have a size of their own.
struct FixedSize {
    SQLSMALLINT cType;
    SQLLEN size;
};

constexpr std::array kFixedSizes{
    FixedSize{SQL_C_STINYINT, 1},
    FixedSize{SQL_C_UTINYINT, 1},
    FixedSize{SQL_C_TINYINT, 1},
    FixedSize{SQL_C_BIT, 1},
    FixedSize{SQL_C_SHORT, 2},
    FixedSize{SQL_C_SSHORT, 2},
    FixedSize{SQL_C_USHORT, 2},
    FixedSize{SQL_C_LONG, 4},
    FixedSize{SQL_C_SLONG, 4},
    FixedSize{SQL_C_ULONG, 4},
    FixedSize{SQL_C_FLOAT, 4},
    FixedSize{SQL_C_DOUBLE, 8},
    FixedSize{SQL_C_SBIGINT, 8},
    FixedSize{SQL_C_UBIGINT, 8},
    FixedSize{SQL_C_DATE, sizeof(SQL_DATE_STRUCT)},
    FixedSize{SQL_C_TYPE_DATE, sizeof(SQL_DATE_STRUCT)},
    FixedSize{SQL_C_TIME, sizeof(SQL_TIME_STRUCT)},
    FixedSize{SQL_C_TYPE_TIME, sizeof(SQL_TIME_STRUCT)},
    FixedSize{SQL_C_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT)},
    FixedSize{SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT)},
    FixedSize{SQL_C_NUMERIC, sizeof(SQL_NUMERIC_STRUCT)},
    FixedSize{SQL_C_GUID, sizeof(SQLGUID)},
    FixedSize{SQL_C_INTERVAL_YEAR, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_MONTH, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_DAY, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_HOUR, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_MINUTE, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_SECOND, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_YEAR_TO_MONTH, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_DAY_TO_HOUR, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_DAY_TO_MINUTE, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_DAY_TO_SECOND, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_HOUR_TO_MINUTE, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_HOUR_TO_SECOND, sizeof(SQL_INTERVAL_STRUCT)},
    FixedSize{SQL_C_INTERVAL_MINUTE_TO_SECOND, sizeof(SQL_INTERVAL_STRUCT)},
};

// The size of a fixed-size application type; 0 for text, binary and types
// this table does not know.
SQLLEN fixedSizeOf(SQLSMALLINT cType) {
    const auto* found = std::find_if(kFixedSizes.begin(), kFixedSizes.end(),
                                     [cType](const FixedSize& row) { return row.cType == cType; });
    return found != kFixedSizes.end() ? found->size : 0;
}

bool isDataAtExec(SQLLEN indicator) {
    return indicator == SQL_DATA_AT_EXEC || indicator <= SQL_LEN_DATA_AT_EXEC_OFFSET;
}

bool isOutputOnly(SQLSMALLINT inputOutputType) {
    return inputOutputType == SQL_PARAM_OUTPUT;
}

bool returnsOutput(SQLSMALLINT inputOutputType) {
    return inputOutputType == SQL_PARAM_OUTPUT || inputOutputType == SQL_PARAM_INPUT_OUTPUT;
}

// Bytes before the first NUL, reading no more than `bound` bytes when it
// is positive (an input parameter's buffer length is often 0: the
// application then promises a terminator).
SQLLEN measureNarrow(const unsigned char* value, SQLLEN bound) {
    if (bound > 0) {
        const void* end = std::memchr(value, 0, static_cast<std::size_t>(bound));
        return end != nullptr ? static_cast<const unsigned char*>(end) - value : bound;
    }
    return static_cast<SQLLEN>(std::strlen(reinterpret_cast<const char*>(value)));
}

// Bytes of wide text before its zero unit, within `bound` bytes when positive.
SQLLEN measureWide(const unsigned char* value, SQLLEN bound) {
    const SQLLEN maximum = bound > 0 ? bound / kWideUnit : std::numeric_limits<SQLLEN>::max();
    SQLLEN units = 0;
    for (; units < maximum; ++units) {
        SQLWCHAR unit = 0;
        std::memcpy(&unit, value + units * kWideUnit, sizeof unit);
        if (unit == 0) {
            break;
        }
    }
    return units * kWideUnit;
}

std::string hexBytes(const unsigned char* bytes, SQLLEN count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (SQLLEN i = 0; i < count; ++i) {
        const unsigned value = bytes[i];
        if (value >= 16) {
            text += kDigits[value >> 4];
        }
        text += kDigits[value & 0xF];
        text += ' ';
    }
    return text;
}

std::string pointerText(const void* pointer) {
    char buffer[32] = {};
    std::snprintf(buffer, sizeof buffer, "%p", pointer);
    return buffer;
}

SQLSMALLINT saturatedShort(std::size_t value) {
    return static_cast<SQLSMALLINT>(
        std::min<std::size_t>(value, std::numeric_limits<SQLSMALLINT>::max()));
}

}  // namespace

bool ODBCRepeaterStatement::copyWholeCharacters(const std::string& text, SQLCHAR* buffer,
                                                SQLLEN bufferLength) {
    if (buffer == nullptr || bufferLength <= 0) {
        return !text.empty();
    }
    const CharRun run = wholeCharacters(text, kEncodingUtf8, text.size(),
                                        static_cast<std::size_t>(bufferLength - 1));
    std::memcpy(buffer, text.data(), run.bytes);
    buffer[run.bytes] = '\0';
    return run.bytes < text.size();
}

ODBCRepeaterStatement::ConnectionLock::ConnectionLock(ODBCRepeaterConnection& connection)
    : connection_(connection) {
    connection_.lock();
}

ODBCRepeaterStatement::ConnectionLock::~ConnectionLock() {
    connection_.unlock();
}

// --- Life ---------------------------------------------------------------------------

ODBCRepeaterStatement::ODBCRepeaterStatement(ODBCRepeaterConnection* connection)
    : Statement(connection),
      nativeConnection_(connection->nativeConnectionHandle()),
      repeater_(connection),
      includeViews_(connection->includeViews()) {
    const AdaptedDriverEntryPoints& e = entries();
    SQLRETURN rc = SQL_ERROR;
    SQLHSTMT handle = SQL_NULL_HSTMT;
    // An ODBC 2 driver allocates with SQLAllocStmt; without either function
    // the statement has no handle and its operations say so.
    if (e.SQLAllocHandle != nullptr) {
        rc = e.SQLAllocHandle(SQL_HANDLE_STMT, nativeConnection_, &handle);
    } else if (e.SQLAllocStmt != nullptr) {
        rc = e.SQLAllocStmt(nativeConnection_, &handle);
    }
    nativeStatement_ = SQL_SUCCEEDED(rc) ? handle : SQL_NULL_HSTMT;
    if (nativeStatement_ == SQL_NULL_HSTMT) {
        traceLine("// could not allocate a native statement: " + std::to_string(rc));
    }
}

ODBCRepeaterStatement::~ODBCRepeaterStatement() {
    try {
        traceLine("// repeater stmt destructor");
        // A statement the application never dropped would otherwise stay
        // with the adapted driver until its connection closes.
        if (nativeStatementLive()) {
            ConnectionLock lock(*repeater_);
            const AdaptedDriverEntryPoints& e = entries();
            if (e.SQLFreeHandle != nullptr) {
                e.SQLFreeHandle(SQL_HANDLE_STMT, nativeStatement_);
            } else if (e.SQLFreeStmt != nullptr) {
                e.SQLFreeStmt(nativeStatement_, SQL_DROP);
            }
        }
    } catch (...) {
        // Nothing may leave a destructor.
    }
    nativeStatement_ = SQL_NULL_HSTMT;
}

const AdaptedDriverEntryPoints& ODBCRepeaterStatement::entries() const {
    return repeater_->entryPoints();
}

void ODBCRepeaterStatement::traceLine(std::string_view line) const {
    if (!isTracing()) {
        return;
    }
    std::string text(line);
    text += '\n';
    writeTrace(text);
}

void ODBCRepeaterStatement::post(const char* state, SQLINTEGER native, std::string_view message) {
    diagnostics_.prependRecord(state, native, message, -1, -1);
}

void ODBCRepeaterStatement::postConfigurationError() {
    post("HY000", kConfigurationNative, "Driver configuration error");
}

bool ODBCRepeaterStatement::logsQueries() const {
    return writesQueryLog_ && connection_->isQueryLogOn();
}

bool ODBCRepeaterStatement::connected() const {
    return repeater_->isConnected();
}

bool ODBCRepeaterStatement::isDb2() const {
    return repeater_->adaptedDbmsName().compare(0, 3, "DB2") == 0;
}

bool ODBCRepeaterStatement::nativeStatementLive() const {
    return nativeStatement_ != SQL_NULL_HSTMT && repeater_->isConnected() &&
           repeater_->nativeConnectionHandle() == nativeConnection_;
}

SQLRETURN ODBCRepeaterStatement::checkNative() {
    // A new call on the adapted driver replaces its diagnostics.
    nativeRecordsRead_ = 0;
    runRowCount_.reset();
    if (!connected()) {
        post("08S01", 0, "");
        return SQL_ERROR;
    }
    if (nativeStatement_ == SQL_NULL_HSTMT) {
        postConfigurationError();
        return SQL_ERROR;
    }
    // nativeStatementLive() without asking about the connection again: this
    // runs for every fetched row.
    if (repeater_->nativeConnectionHandle() != nativeConnection_) {
        // Connected again since: the adapted driver freed our handle.
        post("08S01", 0, "");
        return SQL_ERROR;
    }
    return SQL_SUCCESS;
}

const ODBCRepeaterStatement::BoundParameter* ODBCRepeaterStatement::boundParameter(
    SQLUSMALLINT number) const {
    const auto found = parameters_.find(number);
    return found != parameters_.end() ? found->second.get() : nullptr;
}

SQLRETURN ODBCRepeaterStatement::freeStmt(SQLUSMALLINT option) {
    traceLine("// freeStmt");
    ConnectionLock lock(*repeater_);
    runRowCount_.reset();
    const AdaptedDriverEntryPoints& e = entries();
    SQLRETURN rc = SQL_SUCCESS;
    if (!nativeStatementLive()) {
        // Closing its connection freed the native statement already.
        if (option == SQL_DROP) {
            nativeStatement_ = SQL_NULL_HSTMT;
        }
    } else if (option == SQL_DROP && e.SQLFreeHandle != nullptr) {
        rc = e.SQLFreeHandle(SQL_HANDLE_STMT, nativeStatement_);
    } else if (e.SQLFreeStmt != nullptr) {
        rc = e.SQLFreeStmt(nativeStatement_, option);
    } else {
        traceLine("// could not call free stmt function");
        rc = SQL_ERROR;
    }
    if (option == SQL_DROP && SQL_SUCCEEDED(rc)) {
        nativeStatement_ = SQL_NULL_HSTMT;
    }
    if (option == SQL_DROP || option == SQL_RESET_PARAMS) {
        parameters_.clear();
        if (!repeater_->usesParameterBinding()) {
            // Spliced values are bound in the base descriptors: a reset
            // that left them would splice from buffers the application
            // may have freed.
            currentApd_->setCount(0);
            ipd_->setCount(0);
        }
    }
    if (option == SQL_DROP || option == SQL_UNBIND) {
        columns_.clear();
    }
    return rc;
}

// --- Attributes ----------------------------------------------------------------------

bool ODBCRepeaterStatement::paramAttributeIsLocal(SQLINTEGER attribute) const {
    switch (attribute) {
        // The adapted driver is bound to one internal buffer per parameter:
        // offsets and row-wise layouts apply to the application's buffers,
        // which only this statement reads.
        case SQL_ATTR_PARAM_BIND_OFFSET_PTR:
        case SQL_ATTR_PARAM_BIND_TYPE:
            return true;
        // Without parameter binding the values are spliced here, row by row.
        case SQL_ATTR_PARAMSET_SIZE:
        case SQL_ATTR_PARAMS_PROCESSED_PTR:
        case SQL_ATTR_PARAM_STATUS_PTR:
        case SQL_ATTR_PARAM_OPERATION_PTR:
            return !repeater_->usesParameterBinding();
        default:
            // Our descriptor handles mean nothing to the adapted driver.
            return attribute >= kFirstDescriptorAttribute && attribute <= kLastDescriptorAttribute;
    }
}

SQLRETURN ODBCRepeaterStatement::setStmtAttr(SQLINTEGER attribute, SQLPOINTER value,
                                             SQLINTEGER stringLength) {
    if (paramAttributeIsLocal(attribute)) {
        return Statement::setStmtAttr(attribute, value, stringLength);
    }
    if (attribute == SQL_ATTR_PARAMSET_SIZE && reinterpret_cast<SQLULEN>(value) > 1) {
        // The internal buffers hold one parameter row.
        post("HYC00", 0, "");
        return SQL_ERROR;
    }
    const AdaptedDriverEntryPoints& e = entries();
    auto* function = e.SQLSetStmtAttr != nullptr ? e.SQLSetStmtAttr : e.SQLSetStmtAttrW;
    return forward(function, "// could not stmt set attribute function", attribute, value,
                   stringLength);
}

SQLRETURN ODBCRepeaterStatement::getStmtAttr(SQLINTEGER attribute, SQLPOINTER value,
                                             SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    if (paramAttributeIsLocal(attribute)) {
        return Statement::getStmtAttr(attribute, value, bufferLength, stringLength);
    }
    const AdaptedDriverEntryPoints& e = entries();
    auto* function = e.SQLGetStmtAttr != nullptr ? e.SQLGetStmtAttr : e.SQLGetStmtAttrW;
    return forward(function, "// could not stmt get attribute function", attribute, value,
                   bufferLength, stringLength);
}

// --- Diagnostics ---------------------------------------------------------------------

SQLRETURN ODBCRepeaterStatement::nativeDiagRec(SQLSMALLINT recNumber, SQLCHAR* state,
                                               SQLINTEGER* native, SQLCHAR* message,
                                               SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    traceLine("// SQLGetDiagRec_U");
    const AdaptedDriverEntryPoints& e = entries();
    SQLRETURN rc = SQL_NO_DATA;
    if (!nativeStatementLive()) {
        // No native statement, no native records.
    } else if (e.SQLGetDiagRec != nullptr) {
        traceLine("// native mbs");
        rc = e.SQLGetDiagRec(SQL_HANDLE_STMT, nativeStatement_, recNumber, state, native, message,
                             bufferLength, textLength);
    } else if (e.SQLGetDiagRecW != nullptr) {
        traceLine("// native wide");
        std::array<SQLWCHAR, 6> wideState{};
        std::array<SQLWCHAR, kNativeMessageSize> wideMessage{};
        SQLSMALLINT wideLength = 0;
        rc = e.SQLGetDiagRecW(SQL_HANDLE_STMT, nativeStatement_, recNumber, wideState.data(),
                              native, wideMessage.data(), kNativeMessageSize, &wideLength);
        if (SQL_SUCCEEDED(rc)) {
            if (state != nullptr) {
                copyWholeCharacters(
                    wideToUtf8(wideState.data(), wideLengthBounded(wideState.data(), 5)), state, 6);
            }
            // Never past the wide buffer, whatever length the driver claims.
            std::int64_t units = wideLengthBounded(wideMessage.data(), kNativeMessageSize);
            if (wideLength >= 0 && wideLength < units) {
                units = wideLength;
            }
            const std::string text = wideToUtf8(wideMessage.data(), units);
            const bool cut = message != nullptr && copyWholeCharacters(text, message, bufferLength);
            if (textLength != nullptr) {
                *textLength = saturatedShort(text.size());
            }
            if (cut && rc == SQL_SUCCESS) {
                rc = SQL_SUCCESS_WITH_INFO;
            }
        }
    } else {
        traceLine("// could not call error function");
        rc = SQL_ERROR;
    }
    traceLine("// SQLGetDiagRec_U complete");
    return rc;
}

SQLRETURN ODBCRepeaterStatement::getDiagRecU(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                             SQLSMALLINT* textLength) {
    return nativeDiagRec(1, state, native, message, kNativeMessageSize, textLength);
}

SQLRETURN ODBCRepeaterStatement::error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                       SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    const SQLRETURN rc = nativeDiagRec(static_cast<SQLSMALLINT>(nativeRecordsRead_ + 1), state,
                                       native, message, bufferLength, textLength);
    if (SQL_SUCCEEDED(rc)) {
        ++nativeRecordsRead_;
    }
    return rc;
}

SQLRETURN ODBCRepeaterStatement::getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state,
                                            SQLINTEGER* native, SQLCHAR* message,
                                            SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    if (diagnostics_.isEmpty()) {
        traceLine("// getting native ODBC records");
        return nativeDiagRec(recNumber, state, native, message, bufferLength, textLength);
    }
    traceLine("// getting records that were already added to repeater");
    return Statement::getDiagRec(recNumber, state, native, message, bufferLength, textLength);
}

SQLRETURN ODBCRepeaterStatement::getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier,
                                              SQLPOINTER value, SQLSMALLINT bufferLength,
                                              SQLSMALLINT* stringLength) {
    traceLine("// getDiagField");
    const AdaptedDriverEntryPoints& e = entries();
    if (e.SQLGetDiagField == nullptr) {
        traceLine("// could not call diag field function");
        return SQL_ERROR;
    }
    if (!nativeStatementLive()) {
        return SQL_NO_DATA;
    }
    return e.SQLGetDiagField(SQL_HANDLE_STMT, nativeStatement_, recNumber, identifier, value,
                             bufferLength, stringLength);
}

void ODBCRepeaterStatement::repostNativeError() {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[kNativeMessageSize] = {};
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(error(state, &native, message, sizeof message, &length))) {
        post(reinterpret_cast<const char*>(state), native, reinterpret_cast<const char*>(message));
    }
}

// --- Bindings ---------------------------------------------------------------------------

SQLRETURN ODBCRepeaterStatement::bindCol(SQLUSMALLINT column, SQLSMALLINT valueType,
                                         SQLPOINTER value, SQLLEN bufferLength,
                                         SQLLEN* lengthOrIndicator) {
    auto record = std::make_unique<BoundColumn>();
    record->column = column;
    record->targetType = valueType;
    record->target = value;
    record->bufferLength = bufferLength;
    record->indicator = lengthOrIndicator;
    columns_[column] = std::move(record);
    return forward(entries().SQLBindCol, "// could not find bind column function", column,
                   valueType, value, bufferLength, lengthOrIndicator);
}

SQLSMALLINT ODBCRepeaterStatement::effectiveType(const BoundParameter& parameter) const {
    return parameter.valueType == SQL_C_DEFAULT ? connection_->defaultCType(parameter.sqlType)
                                                : parameter.valueType;
}

SQLLEN ODBCRepeaterStatement::initialBufferSize(const BoundParameter& parameter) const {
    const bool longText =
        parameter.sqlType == SQL_LONGVARCHAR || parameter.sqlType == SQL_WLONGVARCHAR;
    const SQLSMALLINT valueType = effectiveType(parameter);
    SQLLEN size = std::max<SQLLEN>(parameter.bufferLength, 0);
    if (longText && isDb2()) {
        size = static_cast<SQLLEN>(
            std::min<SQLULEN>(parameter.columnSize, static_cast<SQLULEN>(kDb2LongTextCap)));
    }
    // At least one byte, so that every parameter has an address of its own
    // for data at execution.
    return std::max({size, fixedSizeOf(valueType), SQLLEN{1}});
}

SQLRETURN ODBCRepeaterStatement::bindNative(BoundParameter& parameter) {
    return forward(entries().SQLBindParameter, "// could not find bind parameter function",
                   parameter.number, parameter.inputOutputType, parameter.valueType,
                   parameter.sqlType, parameter.columnSize, parameter.decimalDigits,
                   static_cast<SQLPOINTER>(parameter.buffer.data()), parameter.bufferSize(),
                   &parameter.indicatorValue);
}

SQLRETURN ODBCRepeaterStatement::bindParameter(SQLUSMALLINT number, SQLSMALLINT inputOutputType,
                                               SQLSMALLINT valueType, SQLSMALLINT sqlType,
                                               SQLULEN columnSize, SQLSMALLINT decimalDigits,
                                               SQLPOINTER value, SQLLEN bufferLength,
                                               SQLLEN* lengthOrIndicator) {
    if (!repeater_->usesParameterBinding()) {
        return Statement::bindParameter(number, inputOutputType, valueType, sqlType, columnSize,
                                        decimalDigits, value, bufferLength, lengthOrIndicator);
    }
    auto record = std::make_unique<BoundParameter>();
    record->number = number;
    record->inputOutputType = inputOutputType;
    record->valueType = valueType;
    record->sqlType = sqlType;
    record->columnSize = columnSize;
    record->decimalDigits = decimalDigits;
    record->value = value;
    record->bufferLength = bufferLength;
    record->indicator = lengthOrIndicator;
    record->buffer.assign(static_cast<std::size_t>(initialBufferSize(*record)), 0);
    record->indicatorValue = SQL_NTS;
    auto& slot = parameters_[number];
    slot = std::move(record);
    // The adapted driver's refusal is the application's answer too.
    return bindNative(*slot);
}

// --- Parameter values ------------------------------------------------------------------

SQLLEN ODBCRepeaterStatement::applicationIndicator(const BoundParameter& parameter) const {
    if (parameter.indicator == nullptr) {
        return 0;
    }
    const SQLLEN* offset = getAttrParamBindOffsetPtr();
    const auto* address = reinterpret_cast<const unsigned char*>(parameter.indicator) +
                          (offset != nullptr ? *offset : 0);
    SQLLEN value = 0;
    std::memcpy(&value, address, sizeof value);
    return value;
}

void ODBCRepeaterStatement::copyParameter(BoundParameter& parameter) {
    const SQLLEN* offsetPtr = getAttrParamBindOffsetPtr();
    const SQLLEN offset = offsetPtr != nullptr ? *offsetPtr : 0;
    const auto* value = parameter.value != nullptr
                            ? static_cast<const unsigned char*>(parameter.value) + offset
                            : nullptr;
    const SQLSMALLINT valueType = effectiveType(parameter);
    const bool narrow = valueType == SQL_C_CHAR || valueType == SQL_C_BINARY;
    const bool wide = valueType == SQL_C_WCHAR;
    const SQLLEN fixed = fixedSizeOf(valueType);
    // Without a length/indicator text is terminated (ODBC's rule).
    const SQLLEN v = parameter.indicator != nullptr ? applicationIndicator(parameter) : SQL_NTS;

    SQLLEN length = 0;
    SQLLEN indicator = v;
    if (isOutputOnly(parameter.inputOutputType) || v == SQL_NULL_DATA || isDataAtExec(v)) {
        // Nothing to read: the value pointer may even be a token.
    } else if (value == nullptr) {
        indicator = v == SQL_NTS ? SQL_NTS : 0;
    } else if (fixed > 0) {
        length = fixed;
        indicator = v == SQL_NTS ? SQL_NTS : fixed;
    } else if (v == SQL_NTS) {
        length = wide ? measureWide(value, parameter.bufferLength)
                      : (narrow ? measureNarrow(value, parameter.bufferLength) : 0);
        if (parameter.indicator == nullptr && valueType == SQL_C_BINARY) {
            indicator = length;
        }
    } else if (v >= 0) {
        length = parameter.bufferLength > 0 ? std::min(v, parameter.bufferLength) : v;
        indicator = length;
    } else {
        indicator = v;  // SQL_DEFAULT_PARAM, SQL_COLUMN_IGNORE: passed on
    }

    const SQLLEN terminator = wide ? kWideUnit : (narrow ? 1 : 0);
    SQLLEN needed = length + terminator;
    const bool capped =
        isDb2() && (parameter.sqlType == SQL_LONGVARCHAR || parameter.sqlType == SQL_WLONGVARCHAR);
    if (capped && needed > kDb2LongTextCap) {
        length = kDb2LongTextCap - terminator;
        if (wide) {
            length -= length % kWideUnit;
        }
        needed = kDb2LongTextCap;
        if (indicator >= 0) {
            indicator = length;
        }
    }
    if (needed > parameter.bufferSize()) {
        // The adapted driver must see the new address and size.
        parameter.buffer.resize(static_cast<std::size_t>(needed));
        if (entries().SQLBindParameter != nullptr && nativeStatementLive()) {
            const SQLRETURN rc = bindNative(parameter);
            if (!SQL_SUCCEEDED(rc)) {
                traceLine("// could not rebind parameter " + std::to_string(parameter.number));
            }
        }
    }
    std::fill(parameter.buffer.begin(), parameter.buffer.end(), 0);
    if (value != nullptr && length > 0) {
        std::memcpy(parameter.buffer.data(), value, static_cast<std::size_t>(length));
    }
    parameter.copiedLength = length;
    parameter.indicatorValue = indicator;
}

void ODBCRepeaterStatement::traceParameter(const BoundParameter& parameter,
                                           const unsigned char* bytes, SQLLEN available) const {
    const SQLLEN v = applicationIndicator(parameter);
    const SQLLEN shown = v > 0 ? std::min(v, available) : 0;
    traceLine("// parm (" + std::to_string(v) + "): " + std::to_string(parameter.number) + ": " +
              hexBytes(bytes, shown));
}

void ODBCRepeaterStatement::copyParameters(bool db2Rule) {
    const bool db2 = db2Rule && isDb2();
    for (auto& [number, parameter] : parameters_) {
        copyParameter(*parameter);
        if (db2 && (parameter->indicatorValue >= 0 || parameter->indicatorValue == SQL_NTS)) {
            // NULL and data-at-execution markers keep their meaning.
            parameter->indicatorValue = parameter->bufferSize();
        }
        if (db2Rule && isTracing()) {
            traceParameter(*parameter, parameter->buffer.data(), parameter->bufferSize());
        }
    }
    if (!db2Rule && isTracing()) {
        for (const auto& [number, parameter] : parameters_) {
            traceParameter(*parameter, parameter->buffer.data(), parameter->copiedLength);
        }
    }
}

void ODBCRepeaterStatement::copyOutputParameters() {
    const SQLLEN* offsetPtr = getAttrParamBindOffsetPtr();
    const SQLLEN offset = offsetPtr != nullptr ? *offsetPtr : 0;
    for (auto& [number, parameter] : parameters_) {
        if (!returnsOutput(parameter->inputOutputType)) {
            continue;
        }
        if (parameter->indicator != nullptr) {
            auto* address = reinterpret_cast<unsigned char*>(parameter->indicator) + offset;
            std::memcpy(address, &parameter->indicatorValue, sizeof(SQLLEN));
        }
        const SQLLEN capacity = parameter->bufferLength > 0
                                    ? parameter->bufferLength
                                    : fixedSizeOf(effectiveType(*parameter));
        if (parameter->value != nullptr && capacity > 0 &&
            parameter->indicatorValue != SQL_NULL_DATA) {
            const SQLLEN count = std::min(capacity, parameter->bufferSize());
            std::memcpy(static_cast<unsigned char*>(parameter->value) + offset,
                        parameter->buffer.data(), static_cast<std::size_t>(count));
        }
    }
}

// --- Preparation and execution ------------------------------------------------------------

bool ODBCRepeaterStatement::readOnlyRefusal(const std::string& text) {
    if (connection_->getAttrAccessMode() != SQL_MODE_READ_ONLY) {
        return false;
    }
    const bool modifies = std::any_of(
        kModifyingWords.begin(), kModifyingWords.end(),
        [&text](const char* word) { return matchKeyword(text.c_str(), word) != nullptr; });
    if (modifies) {
        post("42000", kConfigurationNative, kReadOnlyMessage);
    }
    return modifies;
}

namespace {

// UTF-8 text as terminated 32-bit wide text.
std::vector<SQLWCHAR> widen(const std::string& text) {
    std::vector<SQLWCHAR> units(text.size() + 1, 0);
    utf8ToWide(std::string_view(text), units.data(),
               static_cast<std::int64_t>(units.size() * sizeof(SQLWCHAR)));
    return units;
}

SQLCHAR* mutableText(std::string& text) {
    return reinterpret_cast<SQLCHAR*>(text.data());
}

}  // namespace

SQLRETURN ODBCRepeaterStatement::prepare(const SQLCHAR* text, SQLINTEGER length) {
    std::string sql = makeSqlString(text, length);
    if (readOnlyRefusal(sql)) {
        return SQL_ERROR;
    }
    if (!repeater_->usesParameterBinding()) {
        return Statement::prepare(text, length);
    }
    releaseRecordset();
    sql = backquotesToDoubleQuotes(sql);
    const AdaptedDriverEntryPoints& e = entries();
    if (e.SQLPrepare == nullptr && e.SQLPrepareW == nullptr) {
        postConfigurationError();
        return SQL_ERROR;
    }
    if (checkNative() != SQL_SUCCESS) {
        return SQL_ERROR;
    }
    if (e.SQLPrepare != nullptr) {
        return e.SQLPrepare(nativeStatement_, mutableText(sql), SQL_NTS);
    }
    std::vector<SQLWCHAR> wide = widen(sql);
    return e.SQLPrepareW(nativeStatement_, wide.data(), SQL_NTS);
}

SQLRETURN ODBCRepeaterStatement::executeQuery(std::string text, SQLULEN parameterRow) {
    if (needsSplicing(text)) {
        // A run that did not come through executeStatement still sends
        // every row of the parameter array.
        if (currentApd_->getArraySize() > 1) {
            return executeSplicedRows(text, false);
        }
        if (spliceForDirectRun(text, parameterRow) != SQL_SUCCESS) {
            return SQL_ERROR;
        }
    }
    if (isTracing()) {
        traceLine("// repeater finalized query: " + text);
    }
    ird_->clearRecords();
    if (readOnlyRefusal(text)) {
        return SQL_ERROR;
    }
    if (!connected()) {
        post("HY000", kConnectionLostNative, "Connection lost");
        return SQL_ERROR;
    }
    copyParameters(false);

    const AdaptedDriverEntryPoints& e = entries();
    SQLRETURN rc = SQL_ERROR;
    if (e.SQLExecDirect == nullptr && e.SQLExecDirectW == nullptr) {
        postConfigurationError();
    } else if (checkNative() != SQL_SUCCESS) {
        rc = SQL_ERROR;
    } else if (e.SQLExecDirect != nullptr) {
        rc = e.SQLExecDirect(nativeStatement_, mutableText(text), SQL_NTS);
    } else {
        std::vector<SQLWCHAR> wide = widen(text);
        if (isTracing()) {
            traceLine("// wide query: " +
                      hexBytes(reinterpret_cast<const unsigned char*>(wide.data()),
                               static_cast<SQLLEN>(wide.size() * sizeof(SQLWCHAR))));
        }
        rc = e.SQLExecDirectW(nativeStatement_, wide.data(), SQL_NTS);
    }

    if (SQL_SUCCEEDED(rc)) {
        copyOutputParameters();
        if (e.SQLRowCount == nullptr) {
            traceLine("// could not call row count function");
        } else {
            SQLLEN count = 0;
            if (SQL_SUCCEEDED(e.SQLRowCount(nativeStatement_, &count))) {
                setRowCount(count);
                runRowCount_ = count;
            }
        }
        return rc;
    }
    repostNativeError();
    return rc;
}

// executeStatement, with the literals it splices, is in
// ODBCRepeaterStatementLiterals.cpp.

SQLRETURN ODBCRepeaterStatement::execDirect(const SQLCHAR* text, SQLINTEGER length) {
    ConnectionLock lock(*repeater_);
    return Statement::execDirect(text, length);
}

SQLRETURN ODBCRepeaterStatement::execute() {
    diagnostics_.clear();
    if (!connected()) {
        post("08S01", 0, "");
        return SQL_ERROR;
    }
    releaseRecordset();
    ConnectionLock lock(*repeater_);
    if (logsQueries()) {
        startTimer();
    }
    if (!repeater_->usesParameterBinding()) {
        return Statement::execute();
    }
    const AdaptedDriverEntryPoints& e = entries();
    if (e.SQLExecute == nullptr) {
        return SQL_ERROR;
    }
    if (checkNative() != SQL_SUCCESS) {
        return SQL_ERROR;
    }
    copyParameters(true);
    const SQLRETURN rc = e.SQLExecute(nativeStatement_);
    if (SQL_SUCCEEDED(rc)) {
        copyOutputParameters();
    }
    return rc;
}

SQLRETURN ODBCRepeaterStatement::cancel() {
    // Often called from another thread while this statement runs: it
    // touches nothing of the statement's own.
    SQLRETURN(SQL_API * function)(SQLHSTMT) = entries().SQLCancel;
    if (function == nullptr) {
        traceLine("// could not find cancel function");
        return SQL_ERROR;
    }
    return nativeStatementLive() ? function(nativeStatement_) : SQL_ERROR;
}

SQLRETURN ODBCRepeaterStatement::paramData(SQLPOINTER* value) {
    if (!repeater_->usesParameterBinding()) {
        return Statement::paramData(value);
    }
    const SQLRETURN rc =
        forward(entries().SQLParamData, "// could not find param data function", value);
    if (rc == SQL_NEED_DATA && value != nullptr) {
        // The adapted driver names one of our buffers; the application
        // expects the value pointer it bound.
        for (const auto& [number, parameter] : parameters_) {
            if (*value == static_cast<SQLPOINTER>(parameter->buffer.data())) {
                traceLine("// driver token: " + pointerText(*value) +
                          " new value: " + pointerText(parameter->value));
                *value = parameter->value;
                break;
            }
        }
    } else if (SQL_SUCCEEDED(rc)) {
        copyOutputParameters();
    }
    return rc;
}

SQLRETURN ODBCRepeaterStatement::putData(SQLPOINTER data, SQLLEN length) {
    if (!repeater_->usesParameterBinding()) {
        return Statement::putData(data, length);
    }
    return forward(entries().SQLPutData, "// could not find put data function", data, length);
}

SQLRETURN ODBCRepeaterStatement::moreResults() {
    ConnectionLock lock(*repeater_);
    return forward(entries().SQLMoreResults, "// could not call more results function");
}

SQLRETURN ODBCRepeaterStatement::describeParam(SQLUSMALLINT number, SQLSMALLINT* dataType,
                                               SQLULEN* parameterSize, SQLSMALLINT* decimalDigits,
                                               SQLSMALLINT* nullable) {
    if (!repeater_->usesParameterBinding()) {
        return Statement::describeParam(number, dataType, parameterSize, decimalDigits, nullable);
    }
    const SQLRETURN rc =
        forward(entries().SQLDescribeParam, "// could not call describe param function", number,
                dataType, parameterSize, decimalDigits, nullable);
    if (SQL_SUCCEEDED(rc) && dataType != nullptr && *dataType == SQL_LONGVARCHAR) {
        *dataType = SQL_WLONGVARCHAR;
    }
    return rc;
}

SQLRETURN ODBCRepeaterStatement::numParams(SQLSMALLINT* count) {
    if (!repeater_->usesParameterBinding()) {
        return Statement::numParams(count);
    }
    return forward(entries().SQLNumParams, "// could not find num params function", count);
}

// --- Results ------------------------------------------------------------------------------

void ODBCRepeaterStatement::traceFetchedColumns() const {
    for (const auto& [number, column] : columns_) {
        if (column->target == nullptr) {
            continue;
        }
        const SQLLEN length = column->indicator != nullptr ? *column->indicator : 0;
        const SQLLEN bound =
            column->bufferLength > 0 ? column->bufferLength : fixedSizeOf(column->targetType);
        const SQLLEN shown = length > 0 ? std::min(length, bound) : 0;
        traceLine("// repeater fetch column (" + std::to_string(length) +
                  "): " + std::to_string(number) + ": " +
                  hexBytes(static_cast<const unsigned char*>(column->target), shown));
        if (column->targetType == SQL_C_TYPE_TIMESTAMP) {
            SQL_TIMESTAMP_STRUCT t{};
            std::memcpy(&t, column->target, sizeof t);
            traceLine("// repeater fetch timestamp: " + std::to_string(t.year) + "-" +
                      std::to_string(t.month) + "-" + std::to_string(t.day) + " " +
                      std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" +
                      std::to_string(t.second) + "." + std::to_string(t.fraction));
        }
    }
}

// Hot: runs for every row, kept beside the rest of the per-row path.
[[gnu::hot]] SQLRETURN ODBCRepeaterStatement::fetch() {
    // This runs for every row: the untraced path does nothing but forward.
    if (isTracing()) {
        return tracedFetch();
    }
    const SQLRETURN rc = forward(entries().SQLFetch, "// could not find fetch function");
    if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) {
        repostNativeError();
    }
    return rc;
}

SQLRETURN ODBCRepeaterStatement::tracedFetch() {
    traceLine("// repeater fetch");
    const SQLRETURN rc = forward(entries().SQLFetch, "// could not find fetch function");
    if (rc == SQL_NO_DATA) {
        // The end of the result: nothing to read back from the adapted driver.
    } else if (!SQL_SUCCEEDED(rc)) {
        repostNativeError();
    } else {
        traceFetchedColumns();
    }
    traceLine("// repeater fetch return: " + std::to_string(rc));
    return rc;
}

SQLRETURN ODBCRepeaterStatement::fetchScroll(SQLSMALLINT orientation, SQLLEN offset) {
    return forward(entries().SQLFetchScroll, "// could not find fetch scroll function", orientation,
                   offset);
}

SQLRETURN ODBCRepeaterStatement::extendedFetch(SQLUSMALLINT orientation, SQLLEN offset,
                                               SQLULEN* rowCount, SQLUSMALLINT* rowStatus) {
    return forward(entries().SQLExtendedFetch, "// could not find extended fetch function",
                   orientation, offset, rowCount, rowStatus);
}

SQLRETURN ODBCRepeaterStatement::numResultCols(SQLSMALLINT* count) {
    return forward(entries().SQLNumResultCols, "// could not find num result cols function", count);
}

SQLRETURN ODBCRepeaterStatement::rowCount(SQLLEN* count) {
    if (runRowCount_) {
        // Nothing reached the adapted driver since it told the count.
        if (count != nullptr) {
            *count = *runRowCount_;
        }
        runRowCount_.reset();
        return SQL_SUCCESS;
    }
    return forward(entries().SQLRowCount, "// could not find row count function", count);
}

SQLRETURN ODBCRepeaterStatement::getData(SQLUSMALLINT column, SQLSMALLINT valueType,
                                         SQLPOINTER value, SQLLEN bufferLength,
                                         SQLLEN* lengthOrIndicator) {
    return forward(entries().SQLGetData, "// could not find get data function", column, valueType,
                   value, bufferLength, lengthOrIndicator);
}

SQLRETURN ODBCRepeaterStatement::closeCursor() {
    return forward(entries().SQLCloseCursor, "// could not call close cursor function");
}
