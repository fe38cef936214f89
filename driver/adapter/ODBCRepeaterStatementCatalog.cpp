// The repeater statement's catalog calls and column descriptions: forwarded
// to the adapted driver, through its W functions with converted text when
// it has no narrow ones.

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <limits>

#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/adapter/ODBCRepeaterStatement.h"
#include "driver/adapter/SqlTextScanner.h"
#include "driver/api/TraceWriter.h"
#include "driver/core/Environment.h"
#include "driver/core/StringOutput.h"
#include "driver/core/TextEncoding.h"

namespace {

// The table types Microsoft Query gets when views are included, whatever
// it asked for.
constexpr const char* kTablesAndViews = "TABLE,VIEW";
constexpr std::string_view kMicrosoftQuery = "Microsoft Query";

// A name for a catalog W function: 1024 zero-filled bytes. A name of up to
// 64 characters passes whole; a longer one keeps its first 63.
class WideCatalogText {
  public:
    WideCatalogText(const SQLCHAR* text, SQLSMALLINT length) : present_(text != nullptr) {
        if (!present_) {
            return;
        }
        const std::string narrow = makeSqlString(text, length);
        utf8ToWide(std::string_view(narrow), units_.data(),
                   static_cast<std::int64_t>(sizeof units_));
        if (wideLengthBounded(units_.data(), kUnits) > kWholeLimit) {
            std::fill(units_.begin() + kCutLength, units_.end(), 0);
        }
    }
    WideCatalogText(const char* text)
        : WideCatalogText(reinterpret_cast<const SQLCHAR*>(text), SQL_NTS) {}

    SQLWCHAR* get() { return present_ ? units_.data() : nullptr; }

  private:
    static constexpr std::int64_t kUnits = 256;
    static constexpr std::int64_t kWholeLimit = 64;
    static constexpr std::int64_t kCutLength = 63;
    std::array<SQLWCHAR, kUnits> units_{};
    bool present_;
};

SQLCHAR* mutableText(const SQLCHAR* text) {
    return const_cast<SQLCHAR*>(text);
}

SQLCHAR* mutableText(const char* text) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text));
}

// SQLColAttribute fields whose value is text.
constexpr std::array<SQLUSMALLINT, 12> kTextFields = {
    SQL_COLUMN_NAME,           SQL_DESC_TYPE_NAME,       SQL_DESC_TABLE_NAME,
    SQL_DESC_SCHEMA_NAME,      SQL_DESC_CATALOG_NAME,    SQL_DESC_LABEL,
    SQL_DESC_BASE_COLUMN_NAME, SQL_DESC_BASE_TABLE_NAME, SQL_DESC_LITERAL_PREFIX,
    SQL_DESC_LITERAL_SUFFIX,   SQL_DESC_LOCAL_TYPE_NAME, SQL_DESC_NAME,
};

bool isTextField(SQLUSMALLINT field) {
    return std::find(kTextFields.begin(), kTextFields.end(), field) != kTextFields.end();
}

SQLSMALLINT saturatedShort(std::int64_t value) {
    return static_cast<SQLSMALLINT>(
        std::clamp<std::int64_t>(value, 0, std::numeric_limits<SQLSMALLINT>::max()));
}

}  // namespace

// One catalog call: how to make it through either form, whether it holds
// the connection's lock, and what the query log says of it.
struct ODBCRepeaterStatement::CatalogCall {
    bool locked = true;
    std::string logText;
    std::function<SQLRETURN()> narrow;  // empty when the library lacks it
    std::function<SQLRETURN()> wide;
};

SQLRETURN ODBCRepeaterStatement::runCatalog(const CatalogCall& call) {
    if (!connected()) {
        post("08S01", 0, "");
        return SQL_ERROR;
    }
    std::unique_ptr<ConnectionLock> lock;
    if (call.locked) {
        lock = std::make_unique<ConnectionLock>(*repeater_);
    }
    const bool logging = logsQueries();
    if (logging) {
        startTimer();
    }
    SQLRETURN rc = SQL_ERROR;
    if (!call.narrow && !call.wide) {
        postConfigurationError();
    } else if (checkNative() == SQL_SUCCESS) {
        rc = call.narrow ? call.narrow() : call.wide();
    }
    if (SQL_SUCCEEDED(rc)) {
        if (logging) {
            logQueryTime(call.logText);
        }
    } else {
        repostNativeError();
    }
    return rc;
}

SQLRETURN ODBCRepeaterStatement::columnPrivileges(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                                  const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                                  const SQLCHAR* table, SQLSMALLINT tableLength,
                                                  const SQLCHAR* column, SQLSMALLINT columnLength) {
    const AdaptedDriverEntryPoints& e = entries();
    CatalogCall call;
    call.logText = "SQLColumnPrivileges: " + makeSqlString(table, tableLength);
    if (e.SQLColumnPrivileges != nullptr) {
        call.narrow = [&] {
            return e.SQLColumnPrivileges(nativeStatement_, mutableText(catalog), catalogLength,
                                         mutableText(schema), schemaLength, mutableText(table),
                                         tableLength, mutableText(column), columnLength);
        };
    } else if (e.SQLColumnPrivilegesW != nullptr) {
        call.wide = [&] {
            WideCatalogText c(catalog, catalogLength), s(schema, schemaLength),
                t(table, tableLength), k(column, columnLength);
            return e.SQLColumnPrivilegesW(nativeStatement_, c.get(), SQL_NTS, s.get(), SQL_NTS,
                                          t.get(), SQL_NTS, k.get(), SQL_NTS);
        };
    }
    return runCatalog(call);
}

SQLRETURN ODBCRepeaterStatement::columns(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                         const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                         const SQLCHAR* table, SQLSMALLINT tableLength,
                                         const SQLCHAR* column, SQLSMALLINT columnLength) {
    if (isTracing()) {
        traceLine("// repeater columns: " + traceString(catalog, catalogLength) + ", " +
                  traceLength(catalogLength) + ", " + traceString(schema, schemaLength) + ", " +
                  traceLength(schemaLength) + ", " + traceString(table, tableLength) + ", " +
                  traceLength(tableLength) + ", " + traceString(column, columnLength) + ", " +
                  traceLength(columnLength));
    }
    const bool wasConnected = connected();
    const AdaptedDriverEntryPoints& e = entries();
    CatalogCall call;
    call.locked = false;
    call.logText = "SQLColumns: " + makeSqlString(table, tableLength);
    if (e.SQLColumns != nullptr) {
        call.narrow = [&] {
            return e.SQLColumns(nativeStatement_, mutableText(catalog), catalogLength,
                                mutableText(schema), schemaLength, mutableText(table), tableLength,
                                mutableText(column), columnLength);
        };
    } else if (e.SQLColumnsW != nullptr) {
        call.wide = [&] {
            WideCatalogText c(catalog, catalogLength), s(schema, schemaLength),
                t(table, tableLength), k(column, columnLength);
            return e.SQLColumnsW(nativeStatement_, c.get(), SQL_NTS, s.get(), SQL_NTS, t.get(),
                                 SQL_NTS, k.get(), SQL_NTS);
        };
    }
    const SQLRETURN rc = runCatalog(call);
    if (wasConnected) {
        traceLine("// repeater columns return: " + std::to_string(rc));
    }
    return rc;
}

SQLRETURN ODBCRepeaterStatement::primaryKeys(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                             const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                             const SQLCHAR* table, SQLSMALLINT tableLength) {
    const AdaptedDriverEntryPoints& e = entries();
    CatalogCall call;
    call.logText = "SQLPrimaryKeys: " + makeSqlString(table, tableLength);
    if (e.SQLPrimaryKeys != nullptr) {
        call.narrow = [&] {
            return e.SQLPrimaryKeys(nativeStatement_, mutableText(catalog), catalogLength,
                                    mutableText(schema), schemaLength, mutableText(table),
                                    tableLength);
        };
    } else if (e.SQLPrimaryKeysW != nullptr) {
        call.wide = [&] {
            WideCatalogText c(catalog, catalogLength), s(schema, schemaLength),
                t(table, tableLength);
            return e.SQLPrimaryKeysW(nativeStatement_, c.get(), SQL_NTS, s.get(), SQL_NTS, t.get(),
                                     SQL_NTS);
        };
    }
    return runCatalog(call);
}

SQLRETURN ODBCRepeaterStatement::specialColumns(SQLUSMALLINT identifierType, const SQLCHAR* catalog,
                                                SQLSMALLINT catalogLength, const SQLCHAR* schema,
                                                SQLSMALLINT schemaLength, const SQLCHAR* table,
                                                SQLSMALLINT tableLength, SQLUSMALLINT scope,
                                                SQLUSMALLINT nullable) {
    const AdaptedDriverEntryPoints& e = entries();
    CatalogCall call;
    call.logText = "SQLSpecialColumns: " + makeSqlString(table, tableLength);
    if (e.SQLSpecialColumns != nullptr) {
        call.narrow = [&] {
            return e.SQLSpecialColumns(nativeStatement_, identifierType, mutableText(catalog),
                                       catalogLength, mutableText(schema), schemaLength,
                                       mutableText(table), tableLength, scope, nullable);
        };
    } else if (e.SQLSpecialColumnsW != nullptr) {
        call.wide = [&] {
            WideCatalogText c(catalog, catalogLength), s(schema, schemaLength),
                t(table, tableLength);
            return e.SQLSpecialColumnsW(nativeStatement_, identifierType, c.get(), SQL_NTS, s.get(),
                                        SQL_NTS, t.get(), SQL_NTS, scope, nullable);
        };
    }
    return runCatalog(call);
}

SQLRETURN ODBCRepeaterStatement::statistics(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                            const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                            const SQLCHAR* table, SQLSMALLINT tableLength,
                                            SQLUSMALLINT unique, SQLUSMALLINT reserved) {
    const AdaptedDriverEntryPoints& e = entries();
    CatalogCall call;
    call.logText = "SQLStatistics: " + makeSqlString(table, tableLength);
    if (e.SQLStatistics != nullptr) {
        call.narrow = [&] {
            return e.SQLStatistics(nativeStatement_, mutableText(catalog), catalogLength,
                                   mutableText(schema), schemaLength, mutableText(table),
                                   tableLength, unique, reserved);
        };
    } else if (e.SQLStatisticsW != nullptr) {
        call.wide = [&] {
            WideCatalogText c(catalog, catalogLength), s(schema, schemaLength),
                t(table, tableLength);
            return e.SQLStatisticsW(nativeStatement_, c.get(), SQL_NTS, s.get(), SQL_NTS, t.get(),
                                    SQL_NTS, unique, reserved);
        };
    }
    return runCatalog(call);
}

SQLRETURN ODBCRepeaterStatement::tables(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                        const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                        const SQLCHAR* table, SQLSMALLINT tableLength,
                                        const SQLCHAR* tableType, SQLSMALLINT tableTypeLength) {
    const std::string asked = makeSqlString(tableType, tableTypeLength);
    const bool viewsForQuery =
        includeViews_ &&
        std::string_view(environment()->hostAppName()).substr(0, 15) == kMicrosoftQuery;
    // A null list stays null: it means every type, as it did to the caller.
    const char* types = viewsForQuery          ? kTablesAndViews
                        : tableType != nullptr ? asked.c_str()
                                               : nullptr;
    const AdaptedDriverEntryPoints& e = entries();
    CatalogCall call;
    call.logText = "SQLTables: ";
    if (e.SQLTables != nullptr) {
        call.narrow = [&] {
            return e.SQLTables(nativeStatement_, mutableText(catalog), catalogLength,
                               mutableText(schema), schemaLength, mutableText(table), tableLength,
                               mutableText(types), SQL_NTS);
        };
    } else if (e.SQLTablesW != nullptr) {
        call.wide = [&] {
            WideCatalogText c(catalog, catalogLength), s(schema, schemaLength),
                t(table, tableLength), k(types);
            return e.SQLTablesW(nativeStatement_, c.get(), SQL_NTS, s.get(), SQL_NTS, t.get(),
                                SQL_NTS, k.get(), SQL_NTS);
        };
    }
    return runCatalog(call);
}

// --- Column descriptions ----------------------------------------------------------------------

SQLRETURN ODBCRepeaterStatement::wideColumnText(bool describe, SQLUSMALLINT column,
                                                SQLUSMALLINT field, void* text,
                                                SQLSMALLINT bufferLength, SQLSMALLINT* textLength,
                                                SQLSMALLINT* dataType, SQLULEN* columnSize,
                                                SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable,
                                                SQLLEN* numericAttribute) {
    const AdaptedDriverEntryPoints& e = entries();
    const bool hasBuffer = text != nullptr && bufferLength > 0;
    // Room for as many wide characters as the caller has bytes; the W form
    // of SQLColAttribute counts its buffer in bytes, that of SQLDescribeCol
    // in characters.
    constexpr SQLSMALLINT kMostWideBytes =
        std::numeric_limits<SQLSMALLINT>::max() / sizeof(SQLWCHAR) * sizeof(SQLWCHAR);
    SQLSMALLINT capacity = hasBuffer
                               ? (describe ? bufferLength
                                           : static_cast<SQLSMALLINT>(std::min<int>(
                                                 bufferLength, kMostWideBytes / sizeof(SQLWCHAR))))
                               : 0;
    std::vector<SQLWCHAR> wide;
    std::int64_t reportedChars = 0;
    const auto callDriver = [&] {
        wide.assign(static_cast<std::size_t>(capacity), 0);
        SQLWCHAR* buffer = hasBuffer ? wide.data() : nullptr;
        SQLSMALLINT reported = 0;
        SQLRETURN result;
        if (describe) {
            result = e.SQLDescribeColW(nativeStatement_, column, buffer, capacity, &reported,
                                       dataType, columnSize, decimalDigits, nullable);
            reportedChars = reported;
        } else {
            result = e.SQLColAttributeW(nativeStatement_, column, field, buffer,
                                        static_cast<SQLSMALLINT>(capacity * sizeof(SQLWCHAR)),
                                        &reported, numericAttribute);
            reportedChars = reported / static_cast<std::int64_t>(sizeof(SQLWCHAR));
        }
        return result;
    };
    SQLRETURN rc = callDriver();
    const bool isText = describe || isTextField(field);
    if (SQL_SUCCEEDED(rc) && isText && hasBuffer && reportedChars >= capacity &&
        reportedChars < kMostWideBytes / static_cast<std::int64_t>(sizeof(SQLWCHAR))) {
        // The driver cut the text: ask again with room for all of it, so
        // that the cut to the caller's buffer is ours, on a whole character.
        capacity = static_cast<SQLSMALLINT>(reportedChars + 1);
        rc = callDriver();
    }
    if (!SQL_SUCCEEDED(rc) || !isText) {
        return rc;
    }
    if (!hasBuffer) {
        // Room for the UTF-8 form of every character.
        if (textLength != nullptr) {
            *textLength = saturatedShort(reportedChars * kMostUtf8CharBytes);
        }
        return rc;
    }
    // Never past the wide buffer, whatever length the driver claims.
    std::int64_t units = wideLengthBounded(wide.data(), capacity);
    if (reportedChars >= 0 && reportedChars < units) {
        units = reportedChars;
    }
    const std::string utf8 = wideToUtf8(wide.data(), units);
    const bool whole = reportedChars >= 0 && reportedChars < capacity;
    const bool cut = copyWholeCharacters(utf8, static_cast<SQLCHAR*>(text), bufferLength);
    if (textLength != nullptr) {
        // The exact length when the driver gave the whole text, else room
        // for the UTF-8 form of what it has.
        *textLength = saturatedShort(whole ? static_cast<std::int64_t>(utf8.size())
                                           : reportedChars * kMostUtf8CharBytes);
    }
    if (cut && rc == SQL_SUCCESS) {
        post("01004", 0, "");
        rc = SQL_SUCCESS_WITH_INFO;
    }
    return rc;
}

SQLRETURN ODBCRepeaterStatement::colAttribute(SQLUSMALLINT column, SQLUSMALLINT field,
                                              SQLPOINTER characterAttribute,
                                              SQLSMALLINT bufferLength, SQLSMALLINT* stringLength,
                                              SQLLEN* numericAttribute) {
    const AdaptedDriverEntryPoints& e = entries();
    if (e.SQLColAttribute != nullptr) {
        return forward(e.SQLColAttribute, "", column, field, characterAttribute, bufferLength,
                       stringLength, numericAttribute);
    }
    if (e.SQLColAttributeW == nullptr) {
        traceLine("// could not find column get attribute function");
        return SQL_ERROR;
    }
    if (checkNative() != SQL_SUCCESS) {
        return SQL_ERROR;
    }
    return wideColumnText(false, column, field, characterAttribute, bufferLength, stringLength,
                          nullptr, nullptr, nullptr, nullptr, numericAttribute);
}

SQLRETURN ODBCRepeaterStatement::describeCol(SQLUSMALLINT column, SQLCHAR* name,
                                             SQLSMALLINT bufferLength, SQLSMALLINT* nameLength,
                                             SQLSMALLINT* dataType, SQLULEN* columnSize,
                                             SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
    const AdaptedDriverEntryPoints& e = entries();
    if (e.SQLDescribeCol != nullptr) {
        return forward(e.SQLDescribeCol, "", column, name, bufferLength, nameLength, dataType,
                       columnSize, decimalDigits, nullable);
    }
    if (e.SQLDescribeColW == nullptr) {
        traceLine("// could not find describe column function");
        return SQL_ERROR;
    }
    if (checkNative() != SQL_SUCCESS) {
        return SQL_ERROR;
    }
    return wideColumnText(true, column, 0, name, bufferLength, nameLength, dataType, columnSize,
                          decimalDigits, nullable, nullptr);
}
