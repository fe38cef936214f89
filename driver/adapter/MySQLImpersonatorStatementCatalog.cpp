// Catalog calls of the MySQL face. Five are answered by the adapted driver
// inside one frame; SQLColumns builds its own rows, from a catalog query of
// its own on PostgreSQL 10 and later, revises their types, and records on
// the connection the columns the SQL rewriting must treat specially.

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <optional>
#include <string>

#include "driver/adapter/MySQLImpersonatorConnection.h"
#include "driver/adapter/AdapterText.h"
#include "driver/adapter/MySQLImpersonatorStatement.h"
#include "driver/core/Connection.h"
#include "driver/core/StringOutput.h"
#include "driver/core/TextEncoding.h"

namespace {

constexpr std::size_t kTextCell = 256;
// Wide COLUMN_NAME: 1024 bytes.
constexpr std::size_t kWideNameUnits = 256;
constexpr SQLSMALLINT kFirstOdbc3Column = 13;
constexpr SQLSMALLINT kClobType = SQL_LONGVARCHAR;
constexpr SQLINTEGER kZoneTypeSize = 255;

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

const SQLCHAR* sqlText(const std::string& text) {
    return reinterpret_cast<const SQLCHAR*>(text.c_str());
}

// An ODBC search pattern with its escapes resolved: a backslash is dropped
// and the character after it kept as it is; a trailing one goes.
std::string unescapePattern(const std::string& pattern) {
    std::string name;
    name.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\') {
            if (++i == pattern.size()) {
                break;
            }
        }
        name += pattern[i];
    }
    return name;
}

// `text` as a PostgreSQL string literal that reads the same whatever the
// server's standard_conforming_strings says: in E'...' a backslash is an
// escape, so it is doubled along with the quotes.
std::string postgresLiteral(const std::string& text) {
    return "E'" + postgresEscaped(text) + "'";
}

bool isTimeType(SQLSMALLINT type) {
    return type == SQL_TIME || type == SQL_TIMESTAMP || type == SQL_TYPE_TIME ||
           type == SQL_TYPE_TIMESTAMP;
}

// Reads the cells of the inner statement's current row, one fresh buffer
// per cell; what getData answers is not looked at, only the indicator.
class InnerCells {
  public:
    explicit InnerCells(Statement& inner) : inner_(inner) {}

    std::optional<std::string> text(SQLUSMALLINT column) {
        std::array<char, kTextCell> buffer{};
        SQLLEN indicator = 0;
        inner_.getData(column, SQL_C_CHAR, buffer.data(), static_cast<SQLLEN>(buffer.size()),
                       &indicator);
        if (indicator == SQL_NULL_DATA) {
            return std::nullopt;
        }
        return std::string(buffer.data(), ::strnlen(buffer.data(), buffer.size()));
    }

    // Up to the first zero unit, within the buffer whatever length the
    // driver reports.
    std::optional<std::string> wideText(SQLUSMALLINT column) {
        std::array<SQLWCHAR, kWideNameUnits> buffer{};
        SQLLEN indicator = 0;
        inner_.getData(column, SQL_C_WCHAR, buffer.data(),
                       static_cast<SQLLEN>(buffer.size() * sizeof(SQLWCHAR)), &indicator);
        if (indicator == SQL_NULL_DATA) {
            return std::nullopt;
        }
        const auto units = std::find(buffer.begin(), buffer.end(), SQLWCHAR{0}) - buffer.begin();
        return units == 0 ? std::string() : wideToUtf8(buffer.data(), units);
    }

    std::optional<SQLSMALLINT> shortNumber(SQLUSMALLINT column) {
        return numberAs<SQLSMALLINT>(column, SQL_C_SSHORT);
    }

    std::optional<SQLINTEGER> number(SQLUSMALLINT column) {
        return numberAs<SQLINTEGER>(column, SQL_C_SLONG);
    }

  private:
    template <typename T>
    std::optional<T> numberAs(SQLUSMALLINT column, SQLSMALLINT cType) {
        T value = 0;
        SQLLEN indicator = 0;
        inner_.getData(column, cType, &value, sizeof value, &indicator);
        if (indicator == SQL_NULL_DATA) {
            return std::nullopt;
        }
        return value;
    }

    Statement& inner_;
};

// Switches the connection to its database's encoding for one call and back
// on every way out.
class ReceiveEncodingSwitch {
  public:
    explicit ReceiveEncodingSwitch(Connection& connection)
        : connection_(connection), saved_(connection.receiveEncoding()) {
        connection_.setReceiveEncodingId(connection_.databaseEncoding());
    }
    ~ReceiveEncodingSwitch() { connection_.setReceiveEncodingId(saved_); }
    ReceiveEncodingSwitch(const ReceiveEncodingSwitch&) = delete;
    ReceiveEncodingSwitch& operator=(const ReceiveEncodingSwitch&) = delete;

  private:
    Connection& connection_;
    std::uint32_t saved_;
};

std::string cellText(const std::optional<std::string>& text) {
    return text ? *text : "NULL";
}

template <typename Number>
std::string cellText(const std::optional<Number>& number) {
    return std::to_string(number ? static_cast<long long>(*number) : -999LL);
}

std::string rowTraceLine(const Statement::ColumnsRow& row) {
    const std::string cells[] = {
        cellText(row.tableCat),
        cellText(row.tableSchem),
        row.tableName,
        row.columnName,
        std::to_string(row.dataType),
        cellText(row.typeName),
        cellText(row.columnSize),
        cellText(row.bufferLength),
        cellText(row.decimalDigits),
        cellText(row.numPrecRadix),
        cellText(row.nullable),
        cellText(row.remarks),
        cellText(row.columnDef),
        std::to_string(row.sqlDataType),
        cellText(row.sqlDatetimeSub),
        cellText(row.charOctetLength),
        std::to_string(row.ordinalPosition),
        cellText(row.isNullable),
    };
    std::string line = "// | ";
    for (std::size_t i = 0; i < std::size(cells); ++i) {
        line += (i == 0 ? "" : " | ") + cells[i];
    }
    return line;
}

// The PostgreSQL type cases of the catalog query; an ODBC 2 application
// gets the ODBC 2 date and time codes.
constexpr const char* kDataTypeCase =
    "c.relname As TABLE_NAME, a.attname As COLUMN_NAME, case t.typname when 'bit' then 12 when "
    "'varbit' then 12 when 'bool' then 12 when 'name' then 12 when 'int8' then -5 when 'int2' "
    "then 5 when 'int4' then 4 when 'text' then -1 when 'jsonb' then -1 when 'bytea' then -4 "
    "when 'oid' then 4 when 'float4' then 7 when 'float8' then 8 when 'bpchar' then 1 when "
    "'varchar' then 12 ";
constexpr const char* kDateTimeCasesOdbc3 =
    "when 'date' then 91 when 'time' then 92 when 'timetz' then 1 when 'timestamp' then 93 when "
    "'timestamptz' then 93 ";
constexpr const char* kDateTimeCasesOdbc2 =
    "when 'date' then 9 when 'time' then 10 when 'timetz' then 1 when 'timestamp' then 11 when "
    "'timestamptz' then 11 ";
// Text without a declared length and variable-length types have no size
// of their own in the catalog (-1): they report 255, never a negative size.
constexpr const char* kSizeColumns =
    "when 'numeric' then 2 when 'decimal' then 3 when 'money' then 8 else 1 end  As DATA_TYPE, "
    "t.typname As TYPE_NAME, case t.typname when 'bit' then a.atttypmod when 'varbit' then "
    "a.atttypmod when 'bool' then 5 when 'name' then 255 when 'int8' then 19 when 'int2' then 5 "
    "when 'int4' then 10 when 'text' then 1073741824 when 'jsonb' then 1073741824 when 'bytea' "
    "then 1073741824 when 'oid' then 10 when 'float4' then 7 when 'float8' then 15 when 'bpchar' "
    "then case when a.atttypmod > 4 then a.atttypmod-4 else 255 end when 'varchar' then case when "
    "a.atttypmod > 4 then a.atttypmod-4 else 255 end when 'date' then 10 when 'time' then 6 "
    "when 'time' then 255 when 'timestamp' then 21 when 'timestamptz' then 21 when 'numeric' then "
    "15 when 'decimal' then 15 when 'money' then 15 else 255 end  As COLUMN_SIZE, case t.typname "
    "when 'bpchar' then case when a.atttypmod > 4 then a.atttypmod else 255 end when 'varchar' "
    "then case when a.atttypmod > 4 then a.atttypmod else 255 end when 'text' then 1073741824 "
    "when 'jsonb' then 1073741824 when 'bytea' then 1073741824 else case when a.attlen > 0 then "
    "a.attlen else 255 end end  As "
    "BUFFER_LENGTH, 0 As DECIMAL_DIGITS, 0 As NUM_PREC_RADIX, case a.attnotnull when true then 0 "
    "when false then 1 end As NULLABLE, cast(null as varchar) As REMARKS ";
constexpr const char* kDefaultFromExpression = ", pg_get_expr(d.adbin, d.adrelid) As COLUMN_DEF, ";
constexpr const char* kDefaultFromSource = ", d.adsrc As COLUMN_DEF, ";
constexpr const char* kOdbc3Columns =
    "case t.typname when 'bool' then 12 when 'name' then 12 when 'int8' then -5 when 'int2' then "
    "5 when 'int4' then 4 when 'text' then -1 when 'jsonb' then -1 when 'bytea' then -4 when "
    "'oid' then 4 when 'float4' then 7 when 'float8' then 8 when 'bpchar' then 1 when 'varchar' "
    "then 12 when 'date' then 91 when 'time' then 92 when 'timetz' then 1 when 'timestamp' then "
    "93 when 'timestamptz' then 93 when 'numeric' then 2 when 'decimal' then 3 when 'money' then "
    "8 else 1 end As SQL_DATA_TYPE, cast(null as varchar) As SQL_DATETIME_SUB, 0 As "
    "CHAR_OCTET_LENGTH, a.attnum As ORDINAL_POSITION, case a.attnotnull when true then 'NO' when "
    "false then 'YES' end As IS_NULLABLE ";
constexpr const char* kFromClause =
    "from (((pg_catalog.pg_class c inner join pg_catalog.pg_namespace n on n.oid = "
    "c.relnamespace) inner join pg_catalog.pg_attribute a on (not a.attisdropped) and a.attnum > "
    "0 and a.attrelid = c.oid) inner join pg_catalog.pg_type t on t.oid = a.atttypid) left outer "
    "join pg_attrdef d on a.atthasdef and d.adrelid = a.attrelid and d.adnum = a.attnum where "
    "1=1 ";
// Columns in their table's order as well, as SQLColumns promises.
constexpr const char* kOrderClause = " order by TABLE_SCHEM, c.relname, a.attnum";
constexpr int kFirstPgGetExprVersion = 12;
constexpr int kFirstCatalogQueryVersion = 10;

}  // namespace

void MySQLImpersonatorStatement::traceCatalog(const std::string& line) const {
    if (isTracing()) {
        writeTrace(line + "\n");
    }
}

template <typename InnerCall>
SQLRETURN MySQLImpersonatorStatement::runCatalogFrame(const std::string& logText,
                                                      InnerCall innerCall) {
    if (!checkConnected()) {
        return SQL_ERROR;
    }
    if (inner_ == nullptr) {
        postState("08S01");
        return SQL_ERROR;
    }
    // Rows of an earlier local answer would otherwise be served in place of
    // the new result.
    releaseOwnResult();
    ReceiveEncodingSwitch encoding(*connection_);
    const bool logging = connection_->isQueryLogOn();
    if (logging) {
        startTimer();
    }
    const SQLRETURN rc = innerCall(*inner_);
    if (!succeeded(rc)) {
        return repostInnerError(rc);
    }
    if (logging) {
        logQueryTime(logText);
    }
    return rc;
}

SQLRETURN MySQLImpersonatorStatement::columnPrivileges(
    const SQLCHAR* catalog, SQLSMALLINT catalogLength, const SQLCHAR* schema,
    SQLSMALLINT schemaLength, const SQLCHAR* table, SQLSMALLINT tableLength, const SQLCHAR* column,
    SQLSMALLINT columnLength) {
    return runCatalogFrame(
        "SQLColumnPrivileges: " + makeSqlString(table, tableLength), [&](Statement& inner) {
            return inner.columnPrivileges(catalog, catalogLength, schema, schemaLength, table,
                                          tableLength, column, columnLength);
        });
}

SQLRETURN MySQLImpersonatorStatement::primaryKeys(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                                  const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                                  const SQLCHAR* table, SQLSMALLINT tableLength) {
    return runCatalogFrame("SQLPrimaryKeys: " + makeSqlString(table, tableLength),
                           [&](Statement& inner) {
                               return inner.primaryKeys(catalog, catalogLength, schema,
                                                        schemaLength, table, tableLength);
                           });
}

SQLRETURN MySQLImpersonatorStatement::specialColumns(
    SQLUSMALLINT identifierType, const SQLCHAR* catalog, SQLSMALLINT catalogLength,
    const SQLCHAR* schema, SQLSMALLINT schemaLength, const SQLCHAR* table, SQLSMALLINT tableLength,
    SQLUSMALLINT scope, SQLUSMALLINT nullable) {
    return runCatalogFrame(
        "SQLSpecialColumns: " + makeSqlString(table, tableLength), [&](Statement& inner) {
            return inner.specialColumns(identifierType, catalog, catalogLength, schema,
                                        schemaLength, table, tableLength, scope, nullable);
        });
}

SQLRETURN MySQLImpersonatorStatement::statistics(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                                 const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                                 const SQLCHAR* table, SQLSMALLINT tableLength,
                                                 SQLUSMALLINT unique, SQLUSMALLINT reserved) {
    return runCatalogFrame("SQLStatistics: " + makeSqlString(table, tableLength),
                           [&](Statement& inner) {
                               return inner.statistics(catalog, catalogLength, schema, schemaLength,
                                                       table, tableLength, unique, reserved);
                           });
}

SQLRETURN MySQLImpersonatorStatement::tables(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                             const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                             const SQLCHAR* table, SQLSMALLINT tableLength,
                                             const SQLCHAR* tableType,
                                             SQLSMALLINT tableTypeLength) {
    // No list means every type; an empty one would ask for none.
    const std::string types = makeSqlString(tableType, tableTypeLength);
    const SQLCHAR* typeList = tableType != nullptr ? sqlText(types) : nullptr;
    return runCatalogFrame("SQLTables: ", [&](Statement& inner) {
        return inner.tables(catalog, catalogLength, schema, schemaLength, table, tableLength,
                            typeList, SQL_NTS);
    });
}

std::string MySQLImpersonatorStatement::postgresColumnsQuery(const std::string& schema,
                                                             const std::string& table,
                                                             const std::string& column,
                                                             int majorVersion) {
    const bool odbc3 = !usesOdbc2Layout();
    std::string query = "select " + postgresLiteral(impersonator()->infoDatabaseName()) +
                        " As TABLE_CAT, n.nspname As TABLE_SCHEM, ";
    query += kDataTypeCase;
    query += odbc3 ? kDateTimeCasesOdbc3 : kDateTimeCasesOdbc2;
    query += kSizeColumns;
    if (odbc3) {
        query +=
            majorVersion >= kFirstPgGetExprVersion ? kDefaultFromExpression : kDefaultFromSource;
        query += kOdbc3Columns;
    }
    query += kFromClause;
    if (!schema.empty()) {
        query += "and lower(n.nspname) like lower(" + postgresLiteral(schema) + ") ";
    }
    if (!table.empty()) {
        query += "and lower(c.relname) like lower(" + postgresLiteral(table) + ") ";
    }
    if (!column.empty()) {
        query += "and lower(a.attname) like lower(" + postgresLiteral(column) + ")";
    }
    query += kOrderClause;
    return query;
}

SQLRETURN MySQLImpersonatorStatement::columns(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                              const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                              const SQLCHAR* table, SQLSMALLINT tableLength,
                                              const SQLCHAR* column, SQLSMALLINT columnLength) {
    if (!checkConnected()) {
        return SQL_ERROR;
    }
    if (inner_ == nullptr) {
        postState("08S01");
        return SQL_ERROR;
    }
    MySQLImpersonatorConnection& connection = *impersonator();
    ReceiveEncodingSwitch encoding(connection);
    const std::string callerTable = makeSqlString(table, tableLength);
    const std::string tableName = unescapePattern(callerTable);
    const bool logging = connection.isQueryLogOn();
    if (logging) {
        startTimer();
    }
    SQLRETURN rc = Statement::columns(catalog, catalogLength, schema, schemaLength, table,
                                      tableLength, column, columnLength);
    if (!succeeded(rc)) {
        return rc;
    }

    const std::string dbms = connection.dbmsName();
    const int major = majorVersionOf(connection.nativeDbmsVersion());
    traceCatalog("// DBMS: " + dbms + " major version: " + std::to_string(major));
    const bool postgres = dbms == "PostgreSQL";
    if (postgres && major >= kFirstCatalogQueryVersion) {
        const std::string query =
            postgresColumnsQuery(makeSqlString(schema, schemaLength), callerTable,
                                 makeSqlString(column, columnLength), major);
        traceCatalog("// finalized query: " + query);
        rc = inner_->executeQuery(query, 0);
    } else {
        // No table pattern stays none: an empty one would match no table.
        rc = inner_->columns(catalog, catalogLength, schema, schemaLength,
                             table != nullptr ? sqlText(tableName) : nullptr, SQL_NTS, column,
                             columnLength);
    }
    if (!succeeded(rc)) {
        return repostInnerError(rc);
    }

    if (schema != nullptr) {
        const std::string schemaName = makeSqlString(schema, schemaLength);
        connection.clearColumnTypes(schemaName, tableName);
        connection.setTableSchema(tableName, schemaName);
        traceCatalog("// adding table: " + tableName + " schema: " + schemaName);
    } else {
        connection.clearColumnTypes("", tableName);
    }
    if (logging) {
        logQueryTime("SQLColumns: " + callerTable);
    }
    return copyColumnsRows(postgres);
}

SQLRETURN MySQLImpersonatorStatement::copyColumnsRows(bool postgres) {
    SQLRETURN rc = inner_->fetch();
    SQLSMALLINT innerColumns = 0;
    inner_->numResultCols(&innerColumns);
    while (succeeded(rc)) {
        copyColumnsRow(innerColumns, postgres);
        rc = inner_->fetch();
    }
    if (rc != SQL_NO_DATA) {
        // The inner statement keeps the fetch error for SQLGetDiagRec.
        return rc;
    }
    // Nothing can read the inner result any more; an open cursor left
    // behind would make the next catalog call fail with 24000.
    inner_->freeStmt(SQL_CLOSE);
    return SQL_SUCCESS;
}

void MySQLImpersonatorStatement::copyColumnsRow(SQLSMALLINT innerColumns, bool postgres) {
    InnerCells cells(*inner_);
    ColumnsRow row;
    row.tableCat = cells.text(1);
    row.tableSchem = cells.text(2);
    row.tableName = cells.text(3).value_or("");
    row.columnName = (postgres ? cells.wideText(4) : cells.text(4)).value_or("");
    const SQLSMALLINT readType = cells.shortNumber(5).value_or(0);
    row.typeName = cells.text(6).value_or("");
    const std::string upperTypeName = upperCase(*row.typeName);

    // The rewriting of later statements converts these columns.
    MySQLImpersonatorConnection& connection = *impersonator();
    const std::string schemaName = row.tableSchem.value_or("");
    if (isTimeType(readType)) {
        connection.addColumnType(schemaName, row.tableName, row.columnName, readType);
    } else if (upperTypeName == "CLOB") {
        connection.addColumnType(schemaName, row.tableName, row.columnName, kClobType);
    }

    row.columnSize = cells.number(7);
    row.bufferLength = cells.number(8);
    row.decimalDigits = cells.shortNumber(9);
    row.numPrecRadix = cells.shortNumber(10);
    row.nullable = cells.shortNumber(11).value_or(0);
    row.remarks = cells.text(12);
    if (innerColumns >= kFirstOdbc3Column) {
        row.columnDef = cells.text(13);
        cells.shortNumber(14);
        row.sqlDatetimeSub = cells.shortNumber(15);
        row.charOctetLength = cells.number(16);
        row.ordinalPosition = cells.number(17).value_or(0);
        row.isNullable = cells.text(18);
    }

    SQLSMALLINT type = readType;
    if (postgres) {
        if (upperTypeName == "TIMETZ" || upperTypeName == "TIMESTAMPTZ") {
            type = SQL_VARCHAR;
            row.columnSize = kZoneTypeSize;
            row.bufferLength = kZoneTypeSize;
        } else if (upperTypeName == "TEXT") {
            type = SQL_VARCHAR;
        }
    }
    row.dataType = adjustColumnDataType(type);
    row.sqlDataType = row.dataType;
    addColumnsRow(row);
    traceCatalog(rowTraceLine(row));
}
