#include "driver/core/DiagnosticHeader.h"

#include <cstring>
#include <limits>

#include "driver/core/SqlStateTable.h"
#include "driver/core/StringOutput.h"
#include "driver/core/TraceSink.h"

namespace {

constexpr SQLRETURN kNoData = SQL_NO_DATA;
constexpr std::size_t kStateBufferSize = 6;

std::string_view viewOf(const char* text) {
    return text == nullptr ? std::string_view() : std::string_view(text);
}

// Numeric fields go out at their own width; a null target receives nothing.
template <typename Value>
void storeValue(SQLPOINTER target, Value value) {
    if (target != nullptr) {
        std::memcpy(target, &value, sizeof value);
    }
}

SQLRETURN storeText(SQLPOINTER target, SQLSMALLINT bufferLength, SQLSMALLINT* lengthOut,
                    std::string_view text) {
    copyStringOutShort(target, lengthOut, text, bufferLength, true);
    return SQL_SUCCESS;
}

std::string messageOf(const DiagnosticRecord& record) {
    return record.getMessageText().empty() ? defaultMessage(record.getSqlstate())
                                           : record.getMessageText();
}

}  // namespace

DiagnosticHeader::DiagnosticHeader(TraceSink* owner) : owner_(owner) {}

DiagnosticHeader::~DiagnosticHeader() = default;

void DiagnosticHeader::prependRecord(std::string_view state, SQLINTEGER native,
                                     std::string_view message, SQLINTEGER column, SQLLEN row) {
    records_.emplace(records_.begin(), std::string(state), native, std::string(message), column,
                     row);
    traceRecord(state, native, message);
}

void DiagnosticHeader::prependRecord(const char* state, SQLINTEGER native, const char* message,
                                     SQLINTEGER column, SQLLEN row) {
    prependRecord(viewOf(state), native, viewOf(message), column, row);
}

void DiagnosticHeader::appendRecord(std::string_view state, SQLINTEGER native,
                                    std::string_view message, SQLINTEGER column, SQLLEN row) {
    records_.emplace_back(std::string(state), native, std::string(message), column, row);
    traceRecord(state, native, message);
}

void DiagnosticHeader::appendRecord(const char* state, SQLINTEGER native, const char* message,
                                    SQLINTEGER column, SQLLEN row) {
    appendRecord(viewOf(state), native, viewOf(message), column, row);
}

void DiagnosticHeader::traceRecord(std::string_view state, SQLINTEGER native,
                                   std::string_view message) const {
    if (owner_ == nullptr || !owner_->isTracing()) {
        return;
    }
    std::string line = "// diagnostic: state: ";
    line.append(state);
    line.append("  code: ");
    line.append(std::to_string(native));
    line.append("  msg: ");
    line.append(message);
    line.push_back('\n');
    owner_->writeTrace(line);
}

void DiagnosticHeader::clear() {
    records_.clear();
}

bool DiagnosticHeader::isEmpty() const {
    return records_.empty();
}

const DiagnosticRecord* DiagnosticHeader::recordAt(SQLINTEGER recNumber) const {
    if (recNumber < 1 || static_cast<std::size_t>(recNumber) > records_.size()) {
        return nullptr;
    }
    return &records_[static_cast<std::size_t>(recNumber) - 1];
}

SQLRETURN DiagnosticHeader::getDiagRec(SQLINTEGER recNumber, SQLCHAR* stateOut,
                                       SQLINTEGER* nativeOut, SQLCHAR* messageOut,
                                       SQLSMALLINT bufferLength, SQLSMALLINT* textLengthOut) const {
    const std::string product = owner_ == nullptr ? std::string() : owner_->productName();
    return getDiagRecWithComponent(product, recNumber, stateOut, nativeOut, messageOut,
                                   bufferLength, textLengthOut);
}

SQLRETURN DiagnosticHeader::getDiagRecWithComponent(std::string_view component,
                                                    SQLINTEGER recNumber, SQLCHAR* stateOut,
                                                    SQLINTEGER* nativeOut, SQLCHAR* messageOut,
                                                    SQLSMALLINT bufferLength,
                                                    SQLSMALLINT* textLengthOut) const {
    const DiagnosticRecord* record = recordAt(recNumber);
    if (record == nullptr) {
        return kNoData;
    }
    if (stateOut != nullptr) {
        copyStringOut(stateOut, nullptr, record->getSqlstate(), kStateBufferSize, true);
    }
    if (nativeOut != nullptr) {
        *nativeOut = record->getNative();
    }
    std::string message = "[";
    if (owner_ != nullptr) {
        message += owner_->vendorName();
    }
    message += "][";
    message.append(component);
    message += "] ";
    message += messageOf(*record);
    copyStringOutShort(messageOut, textLengthOut, message, bufferLength, true);
    return SQL_SUCCESS;
}

SQLRETURN DiagnosticHeader::getDiagField(SQLSMALLINT recNumber, SQLSMALLINT diagIdentifier,
                                         SQLPOINTER diagInfo, SQLSMALLINT bufferLength,
                                         SQLSMALLINT* stringLengthOut) const {
    if (recNumber == 0) {
        return getHeaderField(diagIdentifier, diagInfo, bufferLength, stringLengthOut);
    }
    const DiagnosticRecord* record = recordAt(recNumber);
    if (record == nullptr) {
        return kNoData;
    }
    return getRecordField(*record, diagIdentifier, diagInfo, bufferLength, stringLengthOut);
}

SQLRETURN DiagnosticHeader::getRecordField(const DiagnosticRecord& record,
                                           SQLSMALLINT diagIdentifier, SQLPOINTER diagInfo,
                                           SQLSMALLINT bufferLength,
                                           SQLSMALLINT* stringLengthOut) const {
    switch (diagIdentifier) {
        case SQL_DIAG_SQLSTATE:
            return storeText(diagInfo, bufferLength, stringLengthOut, record.getSqlstate());
        case SQL_DIAG_NATIVE:
            storeValue<SQLINTEGER>(diagInfo, record.getNative());
            break;
        case SQL_DIAG_MESSAGE_TEXT:
            return storeText(diagInfo, bufferLength, stringLengthOut, messageOf(record));
        case SQL_DIAG_CLASS_ORIGIN:
            return storeText(diagInfo, bufferLength, stringLengthOut, record.getClassOrigin());
        case SQL_DIAG_SUBCLASS_ORIGIN:
            return storeText(diagInfo, bufferLength, stringLengthOut, record.getSubclassOrigin());
        case SQL_DIAG_ROW_NUMBER:
            storeValue<SQLLEN>(diagInfo, record.getRowNumber());
            break;
        case SQL_DIAG_COLUMN_NUMBER:
            storeValue<SQLINTEGER>(diagInfo, record.getColumnNumber());
            break;
        default:
            break;
    }
    return SQL_SUCCESS;
}

SQLRETURN DiagnosticHeader::getHeaderField(SQLSMALLINT diagIdentifier, SQLPOINTER diagInfo,
                                           SQLSMALLINT bufferLength,
                                           SQLSMALLINT* stringLengthOut) const {
    switch (diagIdentifier) {
        case SQL_DIAG_NUMBER: {
            constexpr auto most = static_cast<std::size_t>(std::numeric_limits<SQLINTEGER>::max());
            const std::size_t count = records_.size() < most ? records_.size() : most;
            storeValue<SQLINTEGER>(diagInfo, static_cast<SQLINTEGER>(count));
            break;
        }
        case SQL_DIAG_ROW_COUNT:
            storeValue<SQLLEN>(diagInfo, getRowCount());
            break;
        case SQL_DIAG_DYNAMIC_FUNCTION:
            return storeText(diagInfo, bufferLength, stringLengthOut, getDynamicFunction());
        case SQL_DIAG_DYNAMIC_FUNCTION_CODE:
            storeValue<SQLINTEGER>(diagInfo, getDynamicFunctionCode());
            break;
        case SQL_DIAG_CURSOR_ROW_COUNT:
            storeValue<SQLLEN>(diagInfo, getCursorRowCount());
            break;
        default:
            break;
    }
    return SQL_SUCCESS;
}

SQLLEN DiagnosticHeader::getCursorRowCount() const {
    return cursorRowCount_;
}

SQLINTEGER DiagnosticHeader::getDynamicFunctionCode() const {
    return dynamicFunctionCode_;
}

std::string DiagnosticHeader::getDynamicFunction() const {
    return dynamicFunctionName(dynamicFunctionCode_);
}

SQLLEN DiagnosticHeader::getRowCount() const {
    return rowCount_;
}

void DiagnosticHeader::assign(const DiagnosticHeader& other) {
    if (&other != this) {
        records_ = other.records_;
    }
}

void DiagnosticHeader::removeRecord(SQLINTEGER recNumber) {
    if (recNumber >= 1 && static_cast<std::size_t>(recNumber) <= records_.size()) {
        records_.erase(records_.begin() + (recNumber - 1));
    }
}

void DiagnosticHeader::appendRecordsFrom(const DiagnosticHeader& other, SQLINTEGER firstRecord) {
    if (firstRecord < 1) {
        firstRecord = 1;
    }
    // Copy first: other may be this header.
    const std::vector<DiagnosticRecord> source = other.records_;
    for (std::size_t i = static_cast<std::size_t>(firstRecord) - 1; i < source.size(); ++i) {
        records_.push_back(source[i]);
    }
}
