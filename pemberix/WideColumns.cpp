#include "pemberix/WideColumns.h"

#include "pemberix/Diagnostics.h"
#include "pemberix/PgDriver.h"
#include "pemberix/StatementAttributes.h"
#include "pemberix/StringFields.h"
#include "pemberix/Utf16Decoder.h"
#include "pemberix/WideText.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <vector>

namespace pemberix {
namespace {

// UTF-16 units asked of the driver per SQLGetData call.
constexpr SQLLEN kChunkUnits = 16384;
constexpr SQLLEN kCharBytes = sizeof(SQLWCHAR);

// The same texts the driver gives when it truncates.
constexpr const char* kGetDataTruncated = "The buffer was too small for the GetData.";
constexpr const char* kFetchTruncated = "Fetched item was truncated.";
constexpr SQLINTEGER kTruncationNative = -2;

struct ColumnValue {
    SQLRETURN rc = SQL_SUCCESS;
    bool isNull = false;
    std::wstring text;
};

// Reads the rest of a column's value from the driver as UTF-16. The first
// call passes no indicator when the caller gave none, so that a NULL value
// fails in the driver exactly as it would have.
ColumnValue readWholeColumn(SQLHSTMT stmt, SQLUSMALLINT column, bool withIndicator) {
    ColumnValue value;
    std::vector<PgWideChar> buffer(static_cast<std::size_t>(kChunkUnits));
    Utf16Decoder decoder;
    SQLLEN indicator = SQL_NO_TOTAL;
    bool indicatorKnown = withIndicator;
    SQLRETURN rc = pg().SQLGetData(stmt, column, SQL_C_WCHAR, buffer.data(), kChunkUnits * 2,
                                   withIndicator ? &indicator : nullptr);
    if (!SQL_SUCCEEDED(rc)) {
        value.rc = rc;
        return value;
    }
    if (indicatorKnown && indicator == SQL_NULL_DATA) {
        value.rc = rc;
        value.isNull = true;
        return value;
    }
    for (;;) {
        const std::size_t limit = static_cast<std::size_t>(kChunkUnits - 1);
        const bool lengthKnown = indicatorKnown && indicator >= 0;
        const std::size_t units = lengthKnown
                                      ? std::min(static_cast<std::size_t>(indicator / 2), limit)
                                      : boundedUtf16Length(buffer.data(), limit);
        decoder.feed(std::u16string_view(buffer.data(), units), value.text);
        const bool more = indicatorKnown
                              ? (indicator == SQL_NO_TOTAL || indicator >= kChunkUnits * 2)
                              : rc == SQL_SUCCESS_WITH_INFO;
        value.rc = rc;
        if (!more) {
            break;
        }
        indicatorKnown = true;
        rc = pg().SQLGetData(stmt, column, SQL_C_WCHAR, buffer.data(), kChunkUnits * 2, &indicator);
        if (rc == SQL_NO_DATA) {
            break;
        }
        if (!SQL_SUCCEEDED(rc)) {
            value.rc = rc;
            return value;
        }
    }
    decoder.finish(value.text);
    return value;
}

OverlayRecord truncationRecord(const char* text, SQLLEN row, SQLUSMALLINT column) {
    OverlayRecord record = ownRecord("01004", kTruncationNative, text);
    record.rowNumber = row;
    record.columnNumber = column;
    return record;
}

enum class Stored { Whole, Truncated, NullWithoutIndicator };

Stored storeWideValue(const WideColumnBinding& binding, SQLLEN offset, SQLULEN row,
                      SQLULEN bindType, const ColumnValue& value) {
    const std::uintptr_t indicator =
        binding.indicator != nullptr
            ? rowAddress(binding.indicator, offset, row, sizeof(SQLLEN), bindType)
            : 0;
    if (value.isNull) {
        if (indicator == 0) {
            return Stored::NullWithoutIndicator;
        }
        writeLength(indicator, SQL_NULL_DATA);
        return Stored::Whole;
    }
    void* target = reinterpret_cast<void*>(
        rowAddress(binding.target, offset, row, binding.bufferLength, bindType));
    const bool truncated = copyWideOut(value.text, target, binding.bufferLength / kCharBytes);
    if (indicator != 0) {
        writeLength(indicator, static_cast<SQLLEN>(value.text.size()) * kCharBytes);
    }
    return truncated ? Stored::Truncated : Stored::Whole;
}

bool rowWasFetched(const SQLUSMALLINT* rowStatus, SQLULEN row) {
    if (rowStatus == nullptr) {
        return true;
    }
    const SQLUSMALLINT status = rowStatus[row];
    return status != SQL_ROW_ERROR && status != SQL_ROW_NOROW && status != SQL_ROW_DELETED;
}

void markRow(SQLUSMALLINT* rowStatus, SQLULEN row, SQLUSMALLINT status) {
    if (rowStatus == nullptr) {
        return;
    }
    if (status == SQL_ROW_ERROR || rowStatus[row] == SQL_ROW_SUCCESS) {
        rowStatus[row] = status;
    }
}

// Fills the wide columns of the fetched rows; the driver's records of the
// fetch were taken over before this runs.
SQLRETURN fillWideColumns(SQLHSTMT stmt, StatementState& state, SQLULEN rowsetSize, SQLULEN rows,
                          SQLUSMALLINT* rowStatus, SQLRETURN fetchRc) {
    const SQLULEN bindType = statementNumber(stmt, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN);
    const SQLLEN offset = bindOffset(stmt, SQL_ATTR_ROW_BIND_OFFSET_PTR);
    bool anyInfo = false;
    bool anyError = false;
    rows = std::min(rows, rowsetSize);
    for (SQLULEN row = 0; row < rows; ++row) {
        if (!rowWasFetched(rowStatus, row)) {
            continue;
        }
        const SQLLEN rowNumber = static_cast<SQLLEN>(row + 1);
        if (rowsetSize > 1 &&
            !SQL_SUCCEEDED(pg().SQLSetPos(stmt, row + 1, SQL_POSITION, SQL_LOCK_NO_CHANGE))) {
            appendDriverRecords(SQL_HANDLE_STMT, stmt);
            anyError = true;
            markRow(rowStatus, row, SQL_ROW_ERROR);
            continue;
        }
        for (const auto& [column, binding] : state.wideColumns) {
            ColumnValue value = readWholeColumn(stmt, column, true);
            if (value.rc == SQL_NO_DATA) {
                value = ColumnValue{};
            }
            if (!SQL_SUCCEEDED(value.rc)) {
                appendDriverRecords(SQL_HANDLE_STMT, stmt);
                anyError = true;
                markRow(rowStatus, row, SQL_ROW_ERROR);
                continue;
            }
            switch (storeWideValue(binding, offset, row, bindType, value)) {
                case Stored::Whole:
                    break;
                case Stored::Truncated:
                    postRecord(SQL_HANDLE_STMT, stmt,
                               truncationRecord(kFetchTruncated, rowNumber, column));
                    anyInfo = true;
                    markRow(rowStatus, row, SQL_ROW_SUCCESS_WITH_INFO);
                    break;
                case Stored::NullWithoutIndicator: {
                    OverlayRecord record =
                        ownRecord("22002", 0, "Indicator variable required but not supplied");
                    record.rowNumber = rowNumber;
                    record.columnNumber = column;
                    postRecord(SQL_HANDLE_STMT, stmt, std::move(record));
                    anyError = true;
                    markRow(rowStatus, row, SQL_ROW_ERROR);
                    break;
                }
            }
        }
    }
    if (rowsetSize > 1) {
        pg().SQLSetPos(stmt, 1, SQL_POSITION, SQL_LOCK_NO_CHANGE);
    }
    if (anyError) {
        return rowsetSize > 1 ? SQL_SUCCESS_WITH_INFO : SQL_ERROR;
    }
    return anyInfo ? SQL_SUCCESS_WITH_INFO : fetchRc;
}

}  // namespace

bool wantsWideColumn(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT targetType) {
    if (column == 0) {
        return false;
    }
    if (targetType == SQL_C_WCHAR) {
        return true;
    }
    if (targetType != SQL_C_DEFAULT || pg().SQLColAttribute == nullptr) {
        return false;
    }
    SQLLEN sqlType = 0;
    if (!SQL_SUCCEEDED(pg().SQLColAttribute(stmt, column, SQL_DESC_CONCISE_TYPE, nullptr, 0,
                                            nullptr, &sqlType))) {
        return false;
    }
    return isWideSqlType(static_cast<SQLSMALLINT>(sqlType));
}

SQLRETURN bindWideColumn(SQLHSTMT stmt, StatementState& state, SQLUSMALLINT column,
                         SQLPOINTER target, SQLLEN bufferLength, SQLLEN* indicator) {
    if (bufferLength < 0) {
        postRecord(SQL_HANDLE_STMT, stmt, ownRecord("HY090", 0, "Invalid string or buffer length"));
        return SQL_ERROR;
    }
    // Values are read with SQLGetData (positioned with SQLSetPos in rowsets).
    if (pg().SQLGetData == nullptr || pg().SQLSetPos == nullptr) {
        return missingEntryPoint(SQL_HANDLE_STMT, stmt);
    }
    // Releases whatever the driver had bound there, and lets it check the
    // column number.
    const SQLRETURN rc = pg().SQLBindCol(stmt, column, SQL_C_WCHAR, nullptr, 0, nullptr);
    if (SQL_SUCCEEDED(rc)) {
        state.wideColumns[column] = WideColumnBinding{target, bufferLength, indicator};
    }
    return rc;
}

SQLRETURN getWideData(SQLHSTMT stmt, StatementState& state, SQLUSMALLINT column, SQLPOINTER target,
                      SQLLEN bufferLength, SQLLEN* indicator) {
    if (target == nullptr) {
        return pg().SQLGetData(stmt, column, SQL_C_WCHAR, target, bufferLength, indicator);
    }
    if (bufferLength < 0) {
        postRecord(SQL_HANDLE_STMT, stmt, ownRecord("HY090", 0, "Invalid string or buffer length"));
        return SQL_ERROR;
    }
    WideRead& read = state.read;
    SQLRETURN rc = SQL_SUCCESS;
    bool calledDriver = false;
    if (!read.active || read.column != column) {
        read = WideRead{};
        ColumnValue value = readWholeColumn(stmt, column, indicator != nullptr);
        if (!SQL_SUCCEEDED(value.rc)) {
            return value.rc;
        }
        read.active = true;
        read.column = column;
        read.isNull = value.isNull;
        read.text = std::move(value.text);
        rc = value.rc;
        calledDriver = true;
    }
    // Later pieces come from here without a driver call: its records
    // belong to an earlier call and must not show.
    takeOverDiagnostics(SQL_HANDLE_STMT, stmt, calledDriver && mayHaveRecords(rc));
    if (read.finished) {
        return SQL_NO_DATA;
    }
    if (read.isNull) {
        if (indicator != nullptr) {
            *indicator = SQL_NULL_DATA;
        }
        read.finished = true;
        return rc;
    }
    const std::size_t remaining = read.text.size() - read.delivered;
    if (indicator != nullptr) {
        *indicator = static_cast<SQLLEN>(remaining) * kCharBytes;
    }
    const SQLLEN capacity = bufferLength / kCharBytes;
    const std::wstring_view rest = std::wstring_view(read.text).substr(read.delivered);
    if (capacity == 0) {
        if (remaining == 0) {
            read.finished = true;
            return rc;
        }
        postRecord(SQL_HANDLE_STMT, stmt,
                   truncationRecord(kGetDataTruncated, SQL_ROW_NUMBER_UNKNOWN, column));
        return SQL_SUCCESS_WITH_INFO;
    }
    const bool truncated = copyWideOut(rest, target, capacity);
    if (!truncated) {
        read.finished = true;
        return rc;
    }
    read.delivered += static_cast<std::size_t>(capacity - 1);
    postRecord(SQL_HANDLE_STMT, stmt,
               truncationRecord(kGetDataTruncated, SQL_ROW_NUMBER_UNKNOWN, column));
    return SQL_SUCCESS_WITH_INFO;
}

SQLRETURN fetchWithWideColumns(SQLHSTMT stmt, StatementState& state,
                               const std::function<SQLRETURN()>& fetch) {
    if (state.wideColumns.empty()) {
        return fetch();
    }
    const SQLULEN rowsetSize =
        std::max<SQLULEN>(statementNumber(stmt, SQL_ATTR_ROW_ARRAY_SIZE, 1), 1);
    auto* appRows = static_cast<SQLULEN*>(statementPointer(stmt, SQL_ATTR_ROWS_FETCHED_PTR));
    SQLULEN ownRows = 0;
    const bool countRows = appRows == nullptr && rowsetSize > 1 && pg().SQLSetStmtAttr != nullptr;
    if (countRows) {
        pg().SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &ownRows, 0);
    }
    const SQLRETURN rc = fetch();
    takeOverDiagnostics(SQL_HANDLE_STMT, stmt, mayHaveRecords(rc));
    if (countRows) {
        pg().SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    }
    if (!SQL_SUCCEEDED(rc)) {
        return rc;
    }
    const SQLULEN rows = rowsetSize == 1 ? 1 : (appRows != nullptr ? *appRows : ownRows);
    auto* rowStatus = static_cast<SQLUSMALLINT*>(statementPointer(stmt, SQL_ATTR_ROW_STATUS_PTR));
    return fillWideColumns(stmt, state, rowsetSize, rows, rowStatus, rc);
}

SQLRETURN extendedFetchWithWideColumns(SQLHSTMT stmt, StatementState& state,
                                       SQLUSMALLINT orientation, SQLLEN offset, SQLULEN* rowCount,
                                       SQLUSMALLINT* rowStatus) {
    if (state.wideColumns.empty()) {
        return pg().SQLExtendedFetch(stmt, orientation, offset, rowCount, rowStatus);
    }
    const SQLULEN rowsetSize = std::max<SQLULEN>(statementNumber(stmt, SQL_ROWSET_SIZE, 1), 1);
    SQLULEN ownCount = 0;
    SQLULEN* count = rowCount != nullptr ? rowCount : &ownCount;
    const SQLRETURN rc = pg().SQLExtendedFetch(stmt, orientation, offset, count, rowStatus);
    takeOverDiagnostics(SQL_HANDLE_STMT, stmt, mayHaveRecords(rc));
    if (!SQL_SUCCEEDED(rc)) {
        return rc;
    }
    return fillWideColumns(stmt, state, rowsetSize, *count, rowStatus, rc);
}

SQLRETURN refuseWithWideColumns(SQLHSTMT stmt) {
    postRecord(
        SQL_HANDLE_STMT, stmt,
        ownRecord("HYC00", 0, "Optional feature not implemented: columns bound as SQL_C_WCHAR"));
    return SQL_ERROR;
}

}  // namespace pemberix
