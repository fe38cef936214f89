#include <sqlucode.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "driver/adapter/SqlTextScanner.h"
#include "driver/api/TraceWriter.h"
#include "driver/core/Connection.h"
#include "driver/core/CursorRecordset.h"
#include "driver/core/Descriptor.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/OdbcTypes.h"
#include "driver/core/Recordset.h"
#include "driver/core/Statement.h"
#include "driver/core/StringOutput.h"
#include "driver/core/TextEncoding.h"

namespace {

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

bool isDataAtExec(SQLLEN marker) {
    return marker == SQL_DATA_AT_EXEC || marker <= SQL_LEN_DATA_AT_EXEC_OFFSET;
}

template <typename T>
T load(const void* address) {
    T value;
    std::memcpy(&value, address, sizeof value);
    return value;
}

SQLPOINTER pointerValue(std::intptr_t value) {
    return reinterpret_cast<SQLPOINTER>(value);
}

const char* offsetAddress(const void* base, SQLLEN offset) {
    return static_cast<const char*>(base) + offset;
}

// What the application gave for one parameter in one row of a parameter
// array: the value's address and the length and indicator read now, at
// execution, through the bind type and the bind offset.
struct ParameterSlot {
    DescriptorRecord* record = nullptr;
    const void* value = nullptr;
    bool hasIndicator = false;
    bool hasLength = false;
    SQLLEN indicator = 0;
    SQLLEN length = 0;

    // The indicator, or the length when only that was given: where
    // SQL_NULL_DATA and the data-at-execution values stand.
    SQLLEN marker() const { return hasIndicator ? indicator : (hasLength ? length : 0); }
};

ParameterSlot readSlot(const Descriptor& apd, SQLUSMALLINT number, SQLULEN row) {
    ParameterSlot slot;
    slot.record = apd.record(static_cast<SQLSMALLINT>(number));
    if (slot.record == nullptr) {
        return slot;
    }
    const SQLLEN offset = apd.getBindOffsetPtr() != nullptr ? *apd.getBindOffsetPtr() : 0;
    const SQLINTEGER bindType = apd.getBindType();
    const auto lengthStride = static_cast<SQLULEN>(bindType != 0 ? bindType : sizeof(SQLLEN));
    if (SQLPOINTER data = slot.record->getDataPtr(); data != nullptr) {
        slot.value =
            apd.elementAddress(const_cast<char*>(offsetAddress(data, offset)),
                               slot.record->getConciseType(), row, slot.record->getOctetLength());
    }
    if (const SQLLEN* indicator = slot.record->getIndicatorPtr(); indicator != nullptr) {
        slot.hasIndicator = true;
        slot.indicator = load<SQLLEN>(offsetAddress(indicator, offset) + row * lengthStride);
    }
    if (const SQLLEN* length = slot.record->getOctetLengthPtr(); length != nullptr) {
        slot.hasLength = true;
        slot.length = load<SQLLEN>(offsetAddress(length, offset) + row * lengthStride);
    }
    return slot;
}

// A data-at-execution parameter collects its data in its IPD record; it is
// pending until SQLPutData attached something there.
bool awaitsData(const Descriptor& ipd, SQLUSMALLINT number) {
    const DescriptorRecord* record = ipd.record(static_cast<SQLSMALLINT>(number));
    return record != nullptr && record->getDataPtr() == nullptr &&
           record->getIndicatorPtr() == nullptr;
}

// Bytes of a fixed-size application type; 0 for character, binary and
// unknown types, whose length the application states.
std::size_t fixedElementSize(SQLSMALLINT cType) {
    struct Row {
        SQLSMALLINT cType;
        std::size_t size;
    };
    static constexpr Row kSizes[] = {
        {SQL_C_UTINYINT, 1},
        {SQL_C_STINYINT, 1},
        {SQL_C_TINYINT, 1},
        {SQL_C_BIT, 1},
        {SQL_C_USHORT, 2},
        {SQL_C_SSHORT, 2},
        {SQL_C_SHORT, 2},
        {SQL_C_ULONG, 4},
        {SQL_C_SLONG, 4},
        {SQL_C_LONG, 4},
        {SQL_C_FLOAT, 4},
        {SQL_C_DOUBLE, 8},
        {SQL_C_UBIGINT, 8},
        {SQL_C_SBIGINT, 8},
        {SQL_C_DATE, sizeof(SQL_DATE_STRUCT)},
        {SQL_C_TYPE_DATE, sizeof(SQL_DATE_STRUCT)},
        {SQL_C_TIME, sizeof(SQL_TIME_STRUCT)},
        {SQL_C_TYPE_TIME, sizeof(SQL_TIME_STRUCT)},
        {SQL_C_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT)},
        {SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT)},
        {SQL_C_NUMERIC, sizeof(SQL_NUMERIC_STRUCT)},
        {SQL_C_GUID, sizeof(SQLGUID)},
    };
    for (const Row& row : kSizes) {
        if (row.cType == cType) {
            return row.size;
        }
    }
    return 0;
}

// Integer and floating-point parameters as literals, one row per type.
// Floating-point values use the shortest text that reads back as the same
// value, in the C locale's notation whatever the process locale.
template <typename T>
std::string integerText(const void* value) {
    return std::to_string(load<T>(value));
}

template <typename T>
std::string floatingText(const void* value) {
    const T number = load<T>(value);
    if (!std::isfinite(number)) {
        return {};
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

struct NumberRow {
    SQLSMALLINT cType;
    std::string (*format)(const void*);
};

// clang-format off
const NumberRow kNumbers[] = {
    {SQL_C_UTINYINT, integerText<unsigned char>},
    {SQL_C_UBIGINT,  integerText<SQLUBIGINT>},
    {SQL_C_STINYINT, integerText<signed char>},
    {SQL_C_TINYINT,  integerText<signed char>},
    {SQL_C_BIT,      integerText<signed char>},
    {SQL_C_SBIGINT,  integerText<SQLBIGINT>},
    {SQL_C_ULONG,    integerText<SQLUINTEGER>},
    {SQL_C_SLONG,    integerText<SQLINTEGER>},
    {SQL_C_LONG,     integerText<SQLINTEGER>},
    {SQL_C_USHORT,   integerText<SQLUSMALLINT>},
    {SQL_C_SSHORT,   integerText<SQLSMALLINT>},
    {SQL_C_SHORT,    integerText<SQLSMALLINT>},
    {SQL_C_FLOAT,    floatingText<float>},
    {SQL_C_DOUBLE,   floatingText<double>},
};
// clang-format on

const NumberRow* findNumber(SQLSMALLINT cType) {
    for (const NumberRow& row : kNumbers) {
        if (row.cType == cType) {
            return &row;
        }
    }
    return nullptr;
}

// An SQL numeric literal: sign, digits with at most one point, optional
// exponent. Only such text may go into the SQL text unquoted.
bool isNumericLiteral(std::string_view text) {
    std::size_t i = 0;
    const auto digitsAt = [&](std::size_t& position) {
        const std::size_t start = position;
        while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
            ++position;
        }
        return position - start;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = digitsAt(i);
    if (i < text.size() && text[i] == '.') {
        ++i;
        digits += digitsAt(i);
    }
    if (digits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        if (digitsAt(i) == 0) {
            return false;
        }
    }
    return i == text.size();
}

std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && isAsciiSpace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isAsciiSpace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// Bytes of NUL-terminated data, never looking past `bound` when the
// application gave a buffer length.
std::size_t terminatedLength(const char* text, SQLLEN bound) {
    return bound > 0 ? strnlen(text, static_cast<std::size_t>(bound)) : std::strlen(text);
}

std::string hexBytes(const unsigned char* bytes, std::size_t count) {
    std::string text;
    char piece[4];
    for (std::size_t i = 0; i < count && i < 10; ++i) {
        std::snprintf(piece, sizeof piece, "%02x", bytes[i]);
        text += piece;
        text += ' ';
    }
    return text;
}

std::string datePart(int year, unsigned month, unsigned day) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%4d-%02u-%02u", year, month, day);
    return buffer;
}

std::string timePart(unsigned hour, unsigned minute, unsigned second) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", hour, minute, second);
    return buffer;
}

// Fractions of a second are nanoseconds: always nine digits.
std::string timestampText(const SQL_TIMESTAMP_STRUCT& value) {
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, ".%09u", static_cast<unsigned>(value.fraction));
    return datePart(value.year, value.month, value.day) + " " +
           timePart(value.hour, value.minute, value.second) + fraction;
}

// The literal of a date, time or timestamp for an SQL type: bare text for
// character types (quoted once by formatBinary), an escape clause for the
// datetime types, nothing for any other type.
std::string dateTimeLiteral(const SQL_TIMESTAMP_STRUCT& value, SQLSMALLINT sqlType,
                            const std::string& characterText) {
    if (isCharacterSqlType(sqlType)) {
        return characterText;
    }
    switch (sqlType) {
        case SQL_DATE:
        case SQL_TYPE_DATE:
            return "{d '" + datePart(value.year, value.month, value.day) + "' }";
        case SQL_TIME:
        case SQL_TYPE_TIME:
            return "{t '" + timePart(value.hour, value.minute, value.second) + "' }";
        case SQL_TIMESTAMP:
        case SQL_TYPE_TIMESTAMP:
            return "{ts '" + timestampText(value) + "' }";
        default:
            return {};
    }
}

}  // namespace

// --- Execution hooks and steps -----------------------------------------------------

SQLRETURN Statement::executeQuery(std::string /*text*/, SQLULEN /*parameterRow*/) {
    return SQL_SUCCESS;
}

SQLRETURN Statement::executeStatement(std::string& /*text*/) {
    return SQL_SUCCESS;
}

SQLRETURN Statement::executeText(const char* text) {
    std::string statementText = text != nullptr ? text : "";
    return executeStatement(statementText);
}

SQLRETURN Statement::declareCursor(std::string& text) {
    // The flag describes the text about to run, nothing older.
    serverCursor_ = false;
    const bool wanted = concurrency_ != SQL_CONCUR_READ_ONLY || !cursorName_.empty();
    if (wanted && !connection_->avoidServerCursors() &&
        matchKeyword(text.c_str(), "select") != nullptr) {
        text = "declare " + cursorName() + " cursor for " + text;
        serverCursor_ = true;
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::openCursor() {
    if (!serverCursor_) {
        return SQL_SUCCESS;
    }
    try {
        releaseRecordset();
        recordset_ = std::make_unique<CursorRecordset>(this);
    } catch (const std::bad_alloc& exception) {
        if (isTracing()) {
            writeTrace(std::string("// Exception: ") + exception.what() + "\n");
        }
        postState("HY001");
        return SQL_ERROR;
    }
    setRowCount(-1);
    return SQL_SUCCESS;
}

SQLRETURN Statement::executeAndOpen() {
    const SQLRETURN executed = executeStatement(sqlText_);
    if (!succeeded(executed)) {
        return executed;
    }
    const SQLRETURN opened = openCursor();
    if (!succeeded(opened)) {
        return opened;
    }
    state_ = recordset_ != nullptr ? StatementState::ExecutedWithResults : StatementState::Executed;
    // A warning of the execution stays visible behind the cursor's success.
    return executed == SQL_SUCCESS_WITH_INFO ? executed : opened;
}

// --- SQLPrepare, SQLExecDirect, SQLExecute -----------------------------------------

SQLRETURN Statement::prepare(const SQLCHAR* text, SQLINTEGER length) {
    diagnostics_.clear();
    discardResult();
    preparedText_ = makeSqlString(text, length);
    const std::int32_t markers = countOutsideQuotes(preparedText_, "?");
    ipd_->setCount(static_cast<SQLSMALLINT>(
        std::min<std::int32_t>(markers, std::numeric_limits<SQLSMALLINT>::max())));
    resetResultDescription();
    markBeforeStart();
    if (isTracing()) {
        writeTrace("// prepared SQL: " + preparedText_ + "\n");
    }
    state_ = StatementState::Prepared;
    return SQL_SUCCESS;
}

SQLRETURN Statement::execDirect(const SQLCHAR* text, SQLINTEGER length) {
    diagnostics_.clear();
    // A new execution leaves nothing of the previous result behind.
    discardResult();
    sqlText_ = makeSqlString(text, length);
    resetResultDescription();
    ipd_->freeRowArrays();
    markBeforeStart();
    declareCursor(sqlText_);
    return executeAndOpen();
}

SQLRETURN Statement::execute() {
    diagnostics_.clear();
    if (isTracing()) {
        writeTrace("// executing prepared SQL: " + preparedText_ + "\n");
    }
    discardResult();
    sqlText_ = preparedText_;
    ipd_->freeRowArrays();
    markBeforeStart();
    rowsetPosition_ = -1;
    // Declared now rather than at prepare: a close in between makes a new
    // cursor name, and the declaration must name the cursor that is opened.
    declareCursor(sqlText_);
    return executeAndOpen();
}

// --- SQLBindParameter -----------------------------------------------------------------

SQLRETURN Statement::bindParameter(SQLUSMALLINT number, SQLSMALLINT inputOutputType,
                                   SQLSMALLINT valueType, SQLSMALLINT sqlType, SQLULEN columnSize,
                                   SQLSMALLINT decimalDigits, SQLPOINTER value, SQLLEN bufferLength,
                                   SQLLEN* lengthOrIndicator) {
    diagnostics_.clear();
    if (number == 0 ||
        number > static_cast<SQLUSMALLINT>(std::numeric_limits<SQLSMALLINT>::max())) {
        postState("07009");
        return SQL_ERROR;
    }
    const auto record = static_cast<SQLSMALLINT>(number);
    if (record > currentApd_->getCount()) {
        currentApd_->setCount(record);
    }

    struct Field {
        Descriptor* descriptor;
        SQLSMALLINT identifier;
        SQLPOINTER value;
    };
    std::vector<Field> fields = {
        {ipd_.get(), SQL_DESC_PARAMETER_TYPE, pointerValue(inputOutputType)},
        {currentApd_, SQL_DESC_CONCISE_TYPE, pointerValue(valueType)},
        {ipd_.get(), SQL_DESC_CONCISE_TYPE, pointerValue(sqlType)},
    };
    const auto size = pointerValue(static_cast<std::intptr_t>(columnSize));
    if (isNumericSqlType(sqlType)) {
        fields.push_back({ipd_.get(), SQL_DESC_PRECISION, size});
    } else if (isCharacterSqlType(sqlType) || isBinarySqlType(sqlType) ||
               isDateOrTimeType(sqlType) || isIntervalSqlType(sqlType)) {
        fields.push_back({ipd_.get(), SQL_DESC_LENGTH, size});
    }
    switch (sqlType) {
        case SQL_TYPE_TIME:
        case SQL_TYPE_TIMESTAMP:
        case SQL_INTERVAL_SECOND:
        case SQL_INTERVAL_DAY_TO_SECOND:
        case SQL_INTERVAL_HOUR_TO_SECOND:
        case SQL_INTERVAL_MINUTE_TO_SECOND:
            fields.push_back({ipd_.get(), SQL_DESC_PRECISION, pointerValue(decimalDigits)});
            break;
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            fields.push_back({ipd_.get(), SQL_DESC_SCALE, pointerValue(decimalDigits)});
            break;
        default:
            break;
    }
    fields.push_back({currentApd_, SQL_DESC_OCTET_LENGTH, pointerValue(bufferLength)});
    // One buffer serves as both: its value is read at execution and decides
    // there between NULL, data at execution, SQL_NTS and a length.
    fields.push_back({currentApd_, SQL_DESC_INDICATOR_PTR, lengthOrIndicator});
    fields.push_back({currentApd_, SQL_DESC_OCTET_LENGTH_PTR, lengthOrIndicator});
    fields.push_back({currentApd_, SQL_DESC_DATA_PTR, value});

    SQLRETURN result = SQL_SUCCESS;
    for (const Field& field : fields) {
        const SQLRETURN rc =
            field.descriptor->setDescField(record, field.identifier, field.value, 0);
        if (rc == SQL_SUCCESS) {
            continue;
        }
        // Every warning and the failure itself end up on the statement,
        // the failure in front of the warnings before it.
        if (rc == SQL_SUCCESS_WITH_INFO) {
            appendRecords(field.descriptor->diagnostics(), 1, diagnostics_);
            result = SQL_SUCCESS_WITH_INFO;
            continue;
        }
        DiagnosticHeader merged(nullptr);
        appendRecords(field.descriptor->diagnostics(), 1, merged);
        appendRecords(diagnostics_, 1, merged);
        diagnostics_.assign(merged);
        return rc;
    }
    return result;
}

// --- Data at execution --------------------------------------------------------------

SQLRETURN Statement::paramData(SQLPOINTER* value) {
    diagnostics_.clear();
    pendingParameter_ = 0;
    // Data at execution serves single parameter rows only (see formatParameter).
    if (currentApd_->getArraySize() <= 1) {
        const SQLSMALLINT count = currentApd_->getCount();
        for (SQLSMALLINT k = 1; k <= count; ++k) {
            const auto number = static_cast<SQLUSMALLINT>(k);
            const ParameterSlot slot = readSlot(*currentApd_, number, 0);
            if (slot.record != nullptr && isDataAtExec(slot.marker()) &&
                awaitsData(*ipd_, number)) {
                pendingParameter_ = number;
                if (value != nullptr) {
                    *value = slot.record->getDataPtr();
                }
                return SQL_NEED_DATA;
            }
        }
    }
    return executeAndOpen();
}

bool Statement::hasPendingDataAtExec(SQLULEN row) {
    if (currentApd_->getArraySize() > 1) {
        return false;
    }
    const SQLSMALLINT count = currentApd_->getCount();
    for (SQLSMALLINT k = 1; k <= count; ++k) {
        const auto number = static_cast<SQLUSMALLINT>(k);
        const ParameterSlot slot = readSlot(*currentApd_, number, row);
        if (slot.record != nullptr && isDataAtExec(slot.marker()) && awaitsData(*ipd_, number)) {
            return true;
        }
    }
    return false;
}

SQLRETURN Statement::putData(SQLPOINTER data, SQLLEN length) {
    diagnostics_.clear();
    if (pendingParameter_ == 0) {
        return SQL_SUCCESS;
    }
    if (length < 0 && length != SQL_NULL_DATA && length != SQL_NTS) {
        postState("HY090");
        return SQL_ERROR;
    }
    const auto number = static_cast<SQLSMALLINT>(pendingParameter_);
    DescriptorRecord* record = ipd_->record(number);
    const DescriptorRecord* application = currentApd_->record(number);
    if (record == nullptr || application == nullptr) {
        return SQL_SUCCESS;
    }
    SQLLEN* holder = record->getIndicatorPtr();
    if (holder == nullptr) {
        holder = static_cast<SQLLEN*>(std::malloc(sizeof(SQLLEN)));
        if (holder == nullptr) {
            throw std::bad_alloc();
        }
        *holder = 0;
        record->setIndicatorPtr(holder);
    }
    auto* collected = static_cast<unsigned char*>(record->getDataPtr());
    if (isTracing()) {
        writeTrace("// putData: data: " + tracePointer(data) + " dataArray: " +
                   tracePointer(collected) + " len or ind: " + std::to_string(length) + "\n");
    }
    if (data == nullptr) {
        return SQL_SUCCESS;
    }
    if (length == SQL_NULL_DATA) {
        // NULL only as the first piece; later it cannot undo what came.
        if (collected == nullptr) {
            *holder = SQL_NULL_DATA;
        }
        return SQL_SUCCESS;
    }

    SQLSMALLINT valueType = application->getConciseType();
    if (valueType == SQL_C_DEFAULT) {
        valueType = connection_->defaultCType(record->getConciseType());
    }
    const std::size_t fixedSize = fixedElementSize(valueType);
    if (fixedSize != 0 && collected != nullptr) {
        postState("HY019");
        return SQL_ERROR;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t pieceLength = 0;
    if (fixedSize != 0) {
        pieceLength = fixedSize;
    } else if (length == SQL_NTS) {
        pieceLength = std::strlen(static_cast<const char*>(data));
    } else {
        pieceLength = static_cast<std::size_t>(length);
    }

    const std::size_t oldLength = collected != nullptr ? static_cast<std::size_t>(*holder) : 0;
    if (pieceLength > static_cast<std::size_t>(std::numeric_limits<SQLLEN>::max()) - oldLength) {
        throw std::bad_alloc();
    }
    if (collected != nullptr && isTracing()) {
        writeTrace("// putData: old len: " + std::to_string(oldLength) +
                   " new len: " + std::to_string(pieceLength) + "\n");
    }
    // At least one byte, so that an empty value still counts as supplied.
    auto* buffer =
        static_cast<unsigned char*>(std::malloc(std::max<std::size_t>(oldLength + pieceLength, 1)));
    if (buffer == nullptr) {
        throw std::bad_alloc();
    }
    if (collected != nullptr) {
        std::memcpy(buffer, collected, oldLength);
        if (isTracing()) {
            writeTrace(std::string(oldLength <= 10 ? "// previous data: "
                                                   : "// previous data (truncated): ") +
                       hexBytes(collected, oldLength) + "\n");
        }
    }
    std::memcpy(buffer + oldLength, bytes, pieceLength);
    if (collected != nullptr && isTracing()) {
        writeTrace(std::string(pieceLength <= 10 ? "// appended data: "
                                                 : "// appended data (truncated): ") +
                   hexBytes(bytes, pieceLength) + "\n");
    }
    *holder = static_cast<SQLLEN>(oldLength + pieceLength);
    // The record only stores the pointer; the block it held is ours to free.
    record->setDataPtr(buffer);
    std::free(collected);
    return SQL_SUCCESS;
}

// --- Turning parameters into literals ------------------------------------------------

const void* Statement::resolveParameterValue(SQLUSMALLINT number, Descriptor* apd, Descriptor* ipd,
                                             SQLULEN row, bool& isNull, bool& pending,
                                             SQLLEN& length) {
    isNull = false;
    pending = false;
    length = 0;
    const ParameterSlot slot = readSlot(*apd, number, row);
    if (slot.record == nullptr) {
        isNull = true;
        return nullptr;
    }
    const void* value = slot.value;
    SQLLEN marker = slot.marker();
    // Without a length the application's text ends in a NUL.
    length = slot.hasLength ? slot.length : SQL_NTS;
    if (isDataAtExec(marker)) {
        const DescriptorRecord* collected = ipd->record(static_cast<SQLSMALLINT>(number));
        value = collected != nullptr ? collected->getDataPtr() : nullptr;
        const SQLLEN* holder = collected != nullptr ? collected->getIndicatorPtr() : nullptr;
        if (holder != nullptr) {
            marker = *holder;
            length = *holder;
        } else if (collected != nullptr) {
            pending = true;
            return value;
        }
    }
    isNull = value == nullptr || marker == SQL_NULL_DATA;
    return value;
}

SQLRETURN Statement::formatParameter(SQLUSMALLINT number, Descriptor* apd, Descriptor* ipd,
                                     SQLULEN row, std::string& literal, bool& isNull) {
    const ParameterSlot slot = readSlot(*apd, number, row);
    if (slot.record != nullptr && isDataAtExec(slot.marker()) && apd->getArraySize() > 1) {
        // The collected data holds one value, not one per parameter row.
        postState("HYC00");
        return SQL_ERROR;
    }
    bool pending = false;
    SQLLEN length = 0;
    const void* value = resolveParameterValue(number, apd, ipd, row, isNull, pending, length);
    if (pending) {
        return SQL_NEED_DATA;
    }
    if (isNull) {
        return SQL_SUCCESS;
    }
    const DescriptorRecord* parameter = ipd->record(static_cast<SQLSMALLINT>(number));
    const SQLSMALLINT sqlType =
        parameter != nullptr ? parameter->getConciseType() : SQLSMALLINT{SQL_VARCHAR};
    SQLSMALLINT valueType = slot.record->getConciseType();
    if (valueType == SQL_C_DEFAULT) {
        valueType = connection_->defaultCType(sqlType);
    }
    const SQLLEN bound = slot.record->getOctetLength();

    if (const NumberRow* numberRow = findNumber(valueType); numberRow != nullptr) {
        literal = numberRow->format(value);
        if (literal.empty()) {
            postState("22003");
            return SQL_ERROR;
        }
        formatBinary(literal, sqlType);
        return SQL_SUCCESS;
    }

    std::string text;
    switch (valueType) {
        case SQL_C_CHAR: {
            const auto* chars = static_cast<const char*>(value);
            text = length >= 0 ? std::string(chars, static_cast<std::size_t>(length))
                               : std::string(chars, terminatedLength(chars, bound));
            if (isTracing()) {
                writeTrace("// octet len: " + std::to_string(length) + "\n");
            }
            break;
        }
        case SQL_C_WCHAR:
            text = wideParameterText(value, length, bound);
            break;
        case SQL_C_BINARY: {
            const auto* bytes = static_cast<const unsigned char*>(value);
            const std::size_t count =
                length >= 0 ? static_cast<std::size_t>(length)
                            : terminatedLength(static_cast<const char*>(value), bound);
            literal = hexEncode(bytes, count);
            formatBinary(literal, sqlType);
            return SQL_SUCCESS;
        }
        case SQL_C_DATE:
        case SQL_C_TYPE_DATE:
            literal = formatDate(load<SQL_DATE_STRUCT>(value), sqlType);
            break;
        case SQL_C_TIME:
        case SQL_C_TYPE_TIME:
            literal = formatTime(load<SQL_TIME_STRUCT>(value), sqlType);
            break;
        case SQL_C_TIMESTAMP:
        case SQL_C_TYPE_TIMESTAMP:
            literal = formatTimestamp(load<SQL_TIMESTAMP_STRUCT>(value), sqlType);
            break;
        default:
            if (isTracing()) {
                writeTrace("// No handler for parameter: " + std::to_string(number) + " type: " +
                           std::to_string(valueType) + " " + std::to_string(sqlType) + "\n");
            }
            postState("07006");
            return SQL_ERROR;
    }

    if (valueType == SQL_C_CHAR || valueType == SQL_C_WCHAR) {
        literal = textLiteral(text, sqlType);
        return SQL_SUCCESS;
    }
    if (literal.empty()) {
        // A date or time has no literal for this SQL type.
        postState("07006");
        return SQL_ERROR;
    }
    formatBinary(literal, sqlType);
    return SQL_SUCCESS;
}

std::string Statement::wideParameterText(const void* value, SQLLEN length, SQLLEN bound) {
    const bool sixteenBits = connection_->isWideParameter16Bits();
    const std::size_t unitSize = sixteenBits ? 2 : sizeof(SQLWCHAR);
    std::size_t units = 0;
    if (length > 0) {
        units = static_cast<std::size_t>(length) / unitSize;
    } else if (length == SQL_NTS) {
        // Read unit by unit: the buffer need not be aligned for its units.
        const std::size_t limit = bound > 0 ? static_cast<std::size_t>(bound) / unitSize
                                            : std::numeric_limits<std::size_t>::max();
        const auto* bytes = static_cast<const unsigned char*>(value);
        while (units < limit) {
            std::uint32_t unit = 0;
            std::memcpy(&unit, bytes + units * unitSize, unitSize);
            if (unit == 0) {
                break;
            }
            ++units;
        }
    }
    std::string text;
    if (sixteenBits) {
        text = utf16ToUtf8(value, static_cast<std::int64_t>(units), nullptr).value_or("");
    } else {
        std::vector<SQLWCHAR> aligned(units + 1, 0);
        std::memcpy(aligned.data(), value, units * sizeof(SQLWCHAR));
        text = wideToUtf8(aligned.data(), static_cast<std::int64_t>(units));
    }
    if (isTracing()) {
        writeTrace("// wide len: " + std::to_string(units) + " octet len: " +
                   std::to_string(length) + " param len: " + std::to_string(text.size()) + "\n");
    }
    return text;
}

std::string Statement::textLiteral(const std::string& text, SQLSMALLINT sqlType) {
    if (!isCharacterSqlType(sqlType) && !isBinarySqlType(sqlType)) {
        // Bare only when it is a number; anything else is data, quoted.
        const std::string_view trimmed = trimSpaces(text);
        if (isNumericLiteral(trimmed)) {
            return std::string(trimmed);
        }
        std::string quoted = escapeString(text);
        formatBinary(quoted, SQL_VARCHAR);
        return quoted;
    }
    std::string literal = escapeString(text);
    formatBinary(literal, sqlType);
    return literal;
}

std::string Statement::formatDate(const SQL_DATE_STRUCT& value, SQLSMALLINT sqlType) {
    SQL_TIMESTAMP_STRUCT whole{};
    whole.year = value.year;
    whole.month = value.month;
    whole.day = value.day;
    return dateTimeLiteral(whole, sqlType, datePart(value.year, value.month, value.day));
}

std::string Statement::formatTime(const SQL_TIME_STRUCT& value, SQLSMALLINT sqlType) {
    SQL_TIMESTAMP_STRUCT whole{};
    whole.hour = value.hour;
    whole.minute = value.minute;
    whole.second = value.second;
    return dateTimeLiteral(whole, sqlType, timePart(value.hour, value.minute, value.second));
}

std::string Statement::formatTimestamp(const SQL_TIMESTAMP_STRUCT& value, SQLSMALLINT sqlType) {
    return dateTimeLiteral(value, sqlType, timestampText(value));
}

std::string Statement::escapeString(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\\' || c == '\'') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

std::string Statement::hexEncode(const unsigned char* bytes, std::size_t length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0f];
    }
    return text;
}

void Statement::formatBinary(std::string& literal, SQLSMALLINT sqlType) {
    if (isCharacterSqlType(sqlType)) {
        literal = "'" + literal + "'";
    } else if (isBinarySqlType(sqlType)) {
        literal = "X'" + literal + "'";
    }
}

SQLRETURN Statement::substituteParameters(std::string& text, Descriptor* apd, Descriptor* ipd,
                                          SQLULEN row, char escapeChar) {
    const SQLSMALLINT count = apd->getCount();
    for (SQLSMALLINT k = 1; k <= count; ++k) {
        const auto number = static_cast<SQLUSMALLINT>(k);
        std::string literal;
        bool isNull = false;
        const SQLRETURN rc = formatParameter(number, apd, ipd, row, literal, isNull);
        if (rc != SQL_SUCCESS) {
            return rc;
        }
        if (isNull) {
            literal = "NULL";
        }
        if (isTracing()) {
            writeTrace("// parm " + std::to_string(k) + ": " + literal + "\n");
        }
        replacePairOutsideQuotes(text, "?", literal, "", "", escapeChar);
    }
    return SQL_SUCCESS;
}

// --- Parameter metadata and counts ---------------------------------------------------

SQLRETURN Statement::numParams(SQLSMALLINT* count) {
    diagnostics_.clear();
    if (count != nullptr) {
        *count = ipd_->getCount();
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::describeParam(SQLUSMALLINT number, SQLSMALLINT* dataType,
                                   SQLULEN* parameterSize, SQLSMALLINT* decimalDigits,
                                   SQLSMALLINT* nullable) {
    diagnostics_.clear();
    const DescriptorRecord* record =
        number <= static_cast<SQLUSMALLINT>(std::max<SQLSMALLINT>(ipd_->getCount(), 0))
            ? ipd_->record(static_cast<SQLSMALLINT>(number))
            : nullptr;
    if (record == nullptr) {
        postState("07009");
        return SQL_ERROR;
    }
    if (dataType != nullptr) {
        *dataType = record->getConciseType();
    }
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    record->getColumnSizeAndDigits(&size, &digits);
    if (parameterSize != nullptr) {
        *parameterSize = size;
    }
    if (decimalDigits != nullptr) {
        *decimalDigits = digits;
    }
    if (nullable != nullptr) {
        *nullable = record->getNullable();
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::rowCount(SQLLEN* count) {
    diagnostics_.clear();
    if (count != nullptr) {
        *count = rowCount_;
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::moreResults() {
    diagnostics_.clear();
    markBeforeStart();
    return SQL_NO_DATA;
}
