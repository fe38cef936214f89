#include "pemberix/Diagnostics.h"

#include "pemberix/HandleRegistry.h"
#include "pemberix/PgDriver.h"
#include "pemberix/StringFields.h"
#include "pemberix/WideText.h"
#include "pemberix/WideTextOutput.h"

#include <sqlext.h>

#include <cstring>
#include <optional>
#include <string>

namespace pemberix {
namespace {

constexpr SQLSMALLINT kMaxRecords = 1000;

std::optional<std::string> driverTextField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number,
                                           SQLSMALLINT field) {
    if (pg().SQLGetDiagField == nullptr) {
        return std::nullopt;
    }
    std::string text(256, '\0');
    for (;;) {
        SQLSMALLINT length = 0;
        const SQLRETURN rc = pg().SQLGetDiagField(type, handle, number, field, text.data(),
                                                  static_cast<SQLSMALLINT>(text.size()), &length);
        if (!SQL_SUCCEEDED(rc)) {
            return std::nullopt;
        }
        if (length >= 0 && static_cast<std::size_t>(length) >= text.size() && length < 32766) {
            text.assign(static_cast<std::size_t>(length) + 1, '\0');
            continue;
        }
        text.resize(std::strlen(text.c_str()));
        return text;
    }
}

std::optional<OverlayRecord> readNarrowRecord(SQLSMALLINT type, SQLHANDLE handle,
                                              SQLSMALLINT number) {
    OverlayRecord record;
    std::string text(1024, '\0');
    for (;;) {
        SQLCHAR state[6] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = pg().SQLGetDiagRec(type, handle, number, state, &record.nativeError,
                                                reinterpret_cast<SQLCHAR*>(text.data()),
                                                static_cast<SQLSMALLINT>(text.size()), &length);
        if (!SQL_SUCCEEDED(rc)) {
            return std::nullopt;
        }
        if (length >= 0 && static_cast<std::size_t>(length) >= text.size() && length < 32766) {
            text.assign(static_cast<std::size_t>(length) + 1, '\0');
            continue;
        }
        record.sqlState = reinterpret_cast<const char*>(state);
        text.resize(std::strlen(text.c_str()));
        record.text = std::move(text);
        return record;
    }
}

std::wstring readWideRecordText(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number,
                                const std::string& fallback) {
    if (pg().SQLGetDiagRecW == nullptr) {
        return widenAscii(fallback);
    }
    DriverWideText result;
    const auto read = [&](PgWideChar* buffer, SQLLEN capacity, SQLLEN* length) {
        PgWideChar state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT units = 0;
        const SQLRETURN rc = pg().SQLGetDiagRecW(type, handle, number, state, &native, buffer,
                                                 clampToSmall(capacity), &units);
        *length = units;
        return rc;
    };
    if (!SQL_SUCCEEDED(readWideText(read, 1024, kSmallCharUnits, result))) {
        return widenAscii(fallback);
    }
    return result.text;
}

void readRecordPosition(SQLSMALLINT handle_type, SQLHANDLE handle, SQLSMALLINT number,
                        OverlayRecord& record) {
    if (handle_type != SQL_HANDLE_STMT || pg().SQLGetDiagField == nullptr) {
        return;
    }
    SQLLEN row = record.rowNumber;
    if (SQL_SUCCEEDED(pg().SQLGetDiagField(handle_type, handle, number, SQL_DIAG_ROW_NUMBER, &row,
                                           0, nullptr))) {
        record.rowNumber = row;
    }
    SQLINTEGER column = record.columnNumber;
    if (SQL_SUCCEEDED(pg().SQLGetDiagField(handle_type, handle, number, SQL_DIAG_COLUMN_NUMBER,
                                           &column, 0, nullptr))) {
        record.columnNumber = column;
    }
}

std::optional<OverlayRecord> overlayRecord(SQLHANDLE handle, SQLSMALLINT number, bool* active) {
    const auto state = HandleRegistry::instance().find(handle);
    *active = state != nullptr && state->overlay().isActive();
    if (!*active) {
        return std::nullopt;
    }
    return state->overlay().record(number);
}

void copyState(const std::string& sqlState, SQLCHAR* out) {
    if (out != nullptr) {
        copyNarrowOut(sqlState.substr(0, 5), out, 6);
    }
}

void copyStateW(const std::string& sqlState, SQLWCHAR* out) {
    if (out != nullptr) {
        copyWideOut(widenAscii(sqlState.substr(0, 5)), out, 6);
    }
}

// A field of a taken-over record, as text when the field holds text.
const std::string* textFieldOf(const OverlayRecord& record, SQLSMALLINT field) {
    switch (field) {
        case SQL_DIAG_SQLSTATE:
            return &record.sqlState;
        case SQL_DIAG_MESSAGE_TEXT:
            return &record.text;
        case SQL_DIAG_CLASS_ORIGIN:
            return &record.classOrigin;
        case SQL_DIAG_SUBCLASS_ORIGIN:
            return &record.subclassOrigin;
        case SQL_DIAG_CONNECTION_NAME:
            return &record.connectionName;
        case SQL_DIAG_SERVER_NAME:
            return &record.serverName;
        default:
            return nullptr;
    }
}

// A numeric field of a taken-over record; false for an unknown field.
bool storeNumericField(const OverlayRecord& record, SQLSMALLINT field, SQLPOINTER value) {
    switch (field) {
        case SQL_DIAG_NATIVE:
            std::memcpy(value, &record.nativeError, sizeof record.nativeError);
            return true;
        case SQL_DIAG_ROW_NUMBER:
            std::memcpy(value, &record.rowNumber, sizeof record.rowNumber);
            return true;
        case SQL_DIAG_COLUMN_NUMBER:
            std::memcpy(value, &record.columnNumber, sizeof record.columnNumber);
            return true;
        default:
            return false;
    }
}

// Header fields answered from the taken-over records; the others (row
// counts, dynamic function) still belong to the driver.
std::optional<SQLRETURN> overlayHeaderField(const DiagnosticOverlay& overlay, SQLSMALLINT field,
                                            SQLPOINTER value) {
    if (field == SQL_DIAG_NUMBER) {
        const SQLINTEGER count = overlay.count();
        if (value != nullptr) {
            std::memcpy(value, &count, sizeof count);
        }
        return SQL_SUCCESS;
    }
    if (field == SQL_DIAG_RETURNCODE) {
        const SQLRETURN rc = overlay.returnCode();
        if (value != nullptr) {
            std::memcpy(value, &rc, sizeof rc);
        }
        return SQL_SUCCESS;
    }
    return std::nullopt;
}

template <class TextCopy>
SQLRETURN overlayField(const DiagnosticOverlay& overlay, SQLSMALLINT number, SQLSMALLINT field,
                       SQLPOINTER value, TextCopy copyText) {
    const auto record = overlay.record(number);
    if (!record) {
        return SQL_NO_DATA;
    }
    if (const std::string* text = textFieldOf(*record, field)) {
        return copyText(*record, field, *text);
    }
    if (value == nullptr) {
        return SQL_SUCCESS;
    }
    return storeNumericField(*record, field, value) ? SQL_SUCCESS : SQL_ERROR;
}

}  // namespace

OverlayRecord ownRecord(const char* sqlState, SQLINTEGER nativeError, std::string_view text) {
    OverlayRecord record;
    record.sqlState = sqlState;
    record.nativeError = nativeError;
    record.text = std::string(text);
    record.wideText = widenAscii(text);
    record.classOrigin = classOriginOf(sqlState);
    record.subclassOrigin = subclassOriginOf(sqlState);
    return record;
}

std::vector<OverlayRecord> readDriverRecords(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<OverlayRecord> records;
    if (pg().SQLGetDiagRec == nullptr) {
        return records;
    }
    for (SQLSMALLINT number = 1; number <= kMaxRecords; ++number) {
        auto record = readNarrowRecord(type, handle, number);
        if (!record) {
            break;
        }
        record->wideText = readWideRecordText(type, handle, number, record->text);
        readRecordPosition(type, handle, number, *record);
        record->classOrigin = driverTextField(type, handle, number, SQL_DIAG_CLASS_ORIGIN)
                                  .value_or(classOriginOf(record->sqlState.c_str()));
        record->subclassOrigin = driverTextField(type, handle, number, SQL_DIAG_SUBCLASS_ORIGIN)
                                     .value_or(subclassOriginOf(record->sqlState.c_str()));
        record->connectionName =
            driverTextField(type, handle, number, SQL_DIAG_CONNECTION_NAME).value_or("");
        record->serverName =
            driverTextField(type, handle, number, SQL_DIAG_SERVER_NAME).value_or("");
        records.push_back(std::move(*record));
    }
    return records;
}

bool mayHaveRecords(SQLRETURN rc) {
    return rc != SQL_SUCCESS && rc != SQL_NO_DATA;
}

void takeOverDiagnostics(SQLSMALLINT type, SQLHANDLE handle, bool keepDriverRecords) {
    if (handle == nullptr) {
        return;
    }
    const auto state = HandleRegistry::instance().obtain(type, handle);
    if (state->overlay().isActive()) {
        return;
    }
    state->overlay().activate(keepDriverRecords ? readDriverRecords(type, handle)
                                                : std::vector<OverlayRecord>{});
}

void postRecord(SQLSMALLINT type, SQLHANDLE handle, OverlayRecord record) {
    if (handle == nullptr) {
        return;
    }
    takeOverDiagnostics(type, handle, true);
    HandleRegistry::instance().obtain(type, handle)->overlay().append(std::move(record));
}

void appendDriverRecords(SQLSMALLINT type, SQLHANDLE handle) {
    if (handle == nullptr) {
        return;
    }
    auto records = readDriverRecords(type, handle);
    const auto state = HandleRegistry::instance().obtain(type, handle);
    if (!state->overlay().isActive()) {
        state->overlay().activate(std::move(records));
        return;
    }
    for (OverlayRecord& record : records) {
        state->overlay().append(std::move(record));
    }
}

void postFailure(SQLSMALLINT type, SQLHANDLE handle, const char* sqlState) {
    const bool memory = std::strcmp(sqlState, "HY001") == 0;
    postRecord(type, handle,
               ownRecord(sqlState, 0, memory ? "Memory allocation error" : "General error"));
}

SQLRETURN missingEntryPoint(SQLSMALLINT type, SQLHANDLE handle) {
    postRecord(type, handle, ownRecord("IM001", 0, "Driver does not support this function"));
    return SQL_ERROR;
}

SQLRETURN diagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number, SQLCHAR* sqlState,
                  SQLINTEGER* nativeError, SQLCHAR* text, SQLSMALLINT capacity,
                  SQLSMALLINT* length) {
    bool active = false;
    const auto record = overlayRecord(handle, number, &active);
    if (!active) {
        if (pg().SQLGetDiagRec == nullptr) {
            return SQL_ERROR;
        }
        return pg().SQLGetDiagRec(type, handle, number, sqlState, nativeError, text, capacity,
                                  length);
    }
    if (number < 1 || capacity < 0) {
        return SQL_ERROR;
    }
    if (!record) {
        return SQL_NO_DATA;
    }
    copyState(record->sqlState, sqlState);
    if (nativeError != nullptr) {
        *nativeError = record->nativeError;
    }
    const bool truncated = copyNarrowOut(record->text, text, capacity);
    if (length != nullptr) {
        *length = clampToSmall(static_cast<SQLLEN>(record->text.size()));
    }
    return truncated ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

SQLRETURN diagRecW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number, SQLWCHAR* sqlState,
                   SQLINTEGER* nativeError, SQLWCHAR* text, SQLSMALLINT capacity,
                   SQLSMALLINT* length) {
    bool active = false;
    const auto record = overlayRecord(handle, number, &active);
    if (active) {
        if (number < 1 || capacity < 0) {
            return SQL_ERROR;
        }
        if (!record) {
            return SQL_NO_DATA;
        }
        copyStateW(record->sqlState, sqlState);
        if (nativeError != nullptr) {
            *nativeError = record->nativeError;
        }
        const bool truncated = copyWideOut(record->wideText, text, capacity);
        if (length != nullptr) {
            *length = clampToSmall(static_cast<SQLLEN>(record->wideText.size()));
        }
        return truncated ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
    }
    if (pg().SQLGetDiagRecW == nullptr) {
        return SQL_ERROR;
    }
    if (capacity < 0) {
        return pg().SQLGetDiagRecW(type, handle, number, nullptr, nullptr, nullptr, capacity,
                                   nullptr);
    }
    PgWideChar state[6] = {};
    SQLINTEGER native = 0;
    const auto read = [&](PgWideChar* buffer, SQLLEN units, SQLLEN* reported) {
        SQLSMALLINT count = 0;
        const SQLRETURN rc = pg().SQLGetDiagRecW(type, handle, number, state, &native, buffer,
                                                 clampToSmall(units), &count);
        *reported = count;
        return rc;
    };
    WideTextRequest request;
    request.buffer = text;
    request.capacity = capacity;
    request.truncation = Truncation::ReturnCodeOnly;
    SQLLEN total = 0;
    const SQLRETURN rc = deliverWideText(read, request, &total);
    if (!SQL_SUCCEEDED(rc)) {
        return rc;
    }
    if (sqlState != nullptr) {
        copyWideOut(toUtf32(std::u16string_view(state, boundedUtf16Length(state, 5))), sqlState, 6);
    }
    if (nativeError != nullptr) {
        *nativeError = native;
    }
    if (length != nullptr) {
        *length = clampToSmall(total);
    }
    return rc;
}

SQLRETURN diagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number, SQLSMALLINT field,
                    SQLPOINTER value, SQLSMALLINT capacity, SQLSMALLINT* length) {
    const auto state = HandleRegistry::instance().find(handle);
    if (state != nullptr && state->overlay().isActive()) {
        const DiagnosticOverlay& overlay = state->overlay();
        if (number == 0) {
            if (auto rc = overlayHeaderField(overlay, field, value)) {
                return *rc;
            }
        } else {
            return overlayField(overlay, number, field, value,
                                [&](const OverlayRecord&, SQLSMALLINT, const std::string& text) {
                                    const bool truncated =
                                        copyNarrowOut(text, static_cast<SQLCHAR*>(value), capacity);
                                    if (length != nullptr) {
                                        *length = clampToSmall(static_cast<SQLLEN>(text.size()));
                                    }
                                    return truncated ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
                                });
        }
    }
    if (pg().SQLGetDiagField == nullptr) {
        return SQL_ERROR;
    }
    return pg().SQLGetDiagField(type, handle, number, field, value, capacity, length);
}

SQLRETURN diagFieldW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number, SQLSMALLINT field,
                     SQLPOINTER value, SQLSMALLINT capacity, SQLSMALLINT* length) {
    const auto state = HandleRegistry::instance().find(handle);
    if (state != nullptr && state->overlay().isActive()) {
        const DiagnosticOverlay& overlay = state->overlay();
        if (number == 0) {
            if (auto rc = overlayHeaderField(overlay, field, value)) {
                return *rc;
            }
        } else {
            return overlayField(
                overlay, number, field, value,
                [&](const OverlayRecord& record, SQLSMALLINT which, const std::string& text) {
                    const std::wstring wide =
                        which == SQL_DIAG_MESSAGE_TEXT ? record.wideText : widenAscii(text);
                    const bool truncated =
                        copyWideOut(wide, value, capacity / static_cast<SQLLEN>(sizeof(SQLWCHAR)));
                    if (length != nullptr) {
                        *length = clampToSmall(static_cast<SQLLEN>(wide.size() * sizeof(SQLWCHAR)));
                    }
                    return truncated ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
                });
        }
    }
    if (pg().SQLGetDiagFieldW == nullptr) {
        return SQL_ERROR;
    }
    if (!isTextDiagnosticField(field) || capacity < 0) {
        return pg().SQLGetDiagFieldW(type, handle, number, field, value, capacity, length);
    }
    const auto read = [&](PgWideChar* buffer, SQLLEN units, SQLLEN* reported) {
        SQLSMALLINT bytes = 0;
        const SQLRETURN rc = pg().SQLGetDiagFieldW(type, handle, number, field, buffer,
                                                   clampToSmall(units * 2), &bytes);
        *reported = bytes >= 0 ? bytes / 2 : bytes;
        return rc;
    };
    WideTextRequest request;
    request.buffer = static_cast<SQLWCHAR*>(value);
    request.capacity = capacity / static_cast<SQLLEN>(sizeof(SQLWCHAR));
    request.maxUnits = kSmallByteUnits;
    request.truncation = Truncation::ReturnCodeOnly;
    SQLLEN total = 0;
    const SQLRETURN rc = deliverWideText(read, request, &total);
    if (SQL_SUCCEEDED(rc) && length != nullptr) {
        *length = clampToSmall(total * static_cast<SQLLEN>(sizeof(SQLWCHAR)));
    }
    return rc;
}

SQLRETURN nextError(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt, SQLCHAR* sqlState,
                    SQLINTEGER* nativeError, SQLCHAR* text, SQLSMALLINT capacity,
                    SQLSMALLINT* length) {
    SQLSMALLINT type = SQL_HANDLE_STMT;
    SQLHANDLE handle = stmt;
    if (stmt == nullptr) {
        type = dbc != nullptr ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
        handle = dbc != nullptr ? dbc : env;
    }
    if (handle == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    const auto state = HandleRegistry::instance().obtain(type, handle);
    const SQLSMALLINT number = state->nextErrorRecord;
    const SQLRETURN rc =
        diagRec(type, handle, number, sqlState, nativeError, text, capacity, length);
    if (SQL_SUCCEEDED(rc)) {
        state->nextErrorRecord = static_cast<SQLSMALLINT>(number + 1);
    }
    return rc;
}

}  // namespace pemberix
