#include "pemberix/StringFields.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace pemberix {
namespace {

constexpr SQLUSMALLINT kTextInfoTypes[] = {
    SQL_ACCESSIBLE_PROCEDURES,
    SQL_ACCESSIBLE_TABLES,
    SQL_CATALOG_NAME,
    SQL_CATALOG_NAME_SEPARATOR,
    SQL_CATALOG_TERM,
    SQL_COLLATION_SEQ,
    SQL_COLUMN_ALIAS,
    SQL_DATA_SOURCE_NAME,
    SQL_DATA_SOURCE_READ_ONLY,
    SQL_DATABASE_NAME,
    SQL_DBMS_NAME,
    SQL_DBMS_VER,
    SQL_DESCRIBE_PARAMETER,
    SQL_DM_VER,
    SQL_DRIVER_NAME,
    SQL_DRIVER_ODBC_VER,
    SQL_DRIVER_VER,
    SQL_EXPRESSIONS_IN_ORDERBY,
    SQL_IDENTIFIER_QUOTE_CHAR,
    SQL_INTEGRITY,
    SQL_KEYWORDS,
    SQL_LIKE_ESCAPE_CLAUSE,
    SQL_MAX_ROW_SIZE_INCLUDES_LONG,
    SQL_MULT_RESULT_SETS,
    SQL_MULTIPLE_ACTIVE_TXN,
    SQL_NEED_LONG_DATA_LEN,
    SQL_ODBC_VER,
    SQL_ORDER_BY_COLUMNS_IN_SELECT,
    SQL_OUTER_JOINS,
    SQL_PROCEDURE_TERM,
    SQL_PROCEDURES,
    SQL_ROW_UPDATES,
    SQL_SCHEMA_TERM,
    SQL_SEARCH_PATTERN_ESCAPE,
    SQL_SERVER_NAME,
    SQL_SPECIAL_CHARACTERS,
    SQL_TABLE_TERM,
    SQL_USER_NAME,
    SQL_XOPEN_CLI_YEAR,
};

// Identifiers of SQLColAttribute, ODBC 2's SQL_COLUMN_NAME (1) included.
constexpr SQLUSMALLINT kTextColumnFields[] = {
    SQL_COLUMN_NAME, SQL_DESC_BASE_COLUMN_NAME, SQL_DESC_BASE_TABLE_NAME, SQL_DESC_CATALOG_NAME,
    SQL_DESC_LABEL,  SQL_DESC_LITERAL_PREFIX,   SQL_DESC_LITERAL_SUFFIX,  SQL_DESC_LOCAL_TYPE_NAME,
    SQL_DESC_NAME,   SQL_DESC_SCHEMA_NAME,      SQL_DESC_TABLE_NAME,      SQL_DESC_TYPE_NAME,
};

constexpr SQLSMALLINT kTextDescriptorFields[] = {
    SQL_DESC_BASE_COLUMN_NAME, SQL_DESC_BASE_TABLE_NAME, SQL_DESC_CATALOG_NAME,    SQL_DESC_LABEL,
    SQL_DESC_LITERAL_PREFIX,   SQL_DESC_LITERAL_SUFFIX,  SQL_DESC_LOCAL_TYPE_NAME, SQL_DESC_NAME,
    SQL_DESC_SCHEMA_NAME,      SQL_DESC_TABLE_NAME,      SQL_DESC_TYPE_NAME,
};

constexpr SQLSMALLINT kTextDiagnosticFields[] = {
    SQL_DIAG_SQLSTATE,     SQL_DIAG_MESSAGE_TEXT,    SQL_DIAG_DYNAMIC_FUNCTION,
    SQL_DIAG_CLASS_ORIGIN, SQL_DIAG_SUBCLASS_ORIGIN, SQL_DIAG_CONNECTION_NAME,
    SQL_DIAG_SERVER_NAME,
};

constexpr SQLINTEGER kTextConnectAttributes[] = {
    SQL_ATTR_CURRENT_CATALOG,
    SQL_ATTR_TRACEFILE,
    SQL_ATTR_TRANSLATE_LIB,
};

constexpr SQLSMALLINT kWideSqlTypes[] = {SQL_WCHAR, SQL_WVARCHAR, SQL_WLONGVARCHAR};

struct FieldMapping {
    SQLUSMALLINT odbc2;
    SQLUSMALLINT odbc3;
};

constexpr FieldMapping kOdbc2ColumnFields[] = {
    {SQL_COLUMN_COUNT, SQL_DESC_COUNT},
    {SQL_COLUMN_NAME, SQL_DESC_NAME},
    {SQL_COLUMN_NULLABLE, SQL_DESC_NULLABLE},
};

// SQLSTATEs that ODBC defines beyond ISO 9075, besides the "S" subclasses
// and class IM.
constexpr const char* kOdbcSubclasses[] = {
    "HY095", "HY096", "HY097", "HY098", "HY099", "HY100", "HY101", "HY103", "HY104",
    "HY105", "HY106", "HY107", "HY109", "HY110", "HY111", "HYC00", "HYT00", "HYT01",
};

template <class Table, class Value>
bool contains(const Table& table, Value value) {
    return std::find(std::begin(table), std::end(table), value) != std::end(table);
}

bool isOdbcClass(const char* sqlState) {
    return std::strncmp(sqlState, "IM", 2) == 0;
}

}  // namespace

bool isTextInfoType(SQLUSMALLINT infoType) {
    return contains(kTextInfoTypes, infoType);
}

bool isTextColumnField(SQLUSMALLINT field) {
    return contains(kTextColumnFields, field);
}

bool isTextDescriptorField(SQLSMALLINT field) {
    return contains(kTextDescriptorFields, field);
}

bool isTextDiagnosticField(SQLSMALLINT field) {
    return contains(kTextDiagnosticFields, field);
}

bool isTextConnectAttribute(SQLINTEGER attribute) {
    return contains(kTextConnectAttributes, attribute);
}

bool isWideSqlType(SQLSMALLINT sqlType) {
    return contains(kWideSqlTypes, sqlType);
}

SQLUSMALLINT columnFieldFromOdbc2(SQLUSMALLINT field) {
    for (const FieldMapping& mapping : kOdbc2ColumnFields) {
        if (mapping.odbc2 == field) {
            return mapping.odbc3;
        }
    }
    return field;
}

const char* classOriginOf(const char* sqlState) {
    return isOdbcClass(sqlState) ? "ODBC 3.0" : "ISO 9075";
}

const char* subclassOriginOf(const char* sqlState) {
    const bool odbc = isOdbcClass(sqlState) || (std::strlen(sqlState) == 5 && sqlState[2] == 'S') ||
                      std::any_of(std::begin(kOdbcSubclasses), std::end(kOdbcSubclasses),
                                  [&](const char* s) { return std::strcmp(s, sqlState) == 0; });
    return odbc ? "ODBC 3.0" : "ISO 9075";
}

}  // namespace pemberix
