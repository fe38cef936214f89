// Catalog results and type information of the statement base: the result
// columns of the ten catalog functions and of SQLGetTypeInfo, built as an
// empty in-memory result that derived statements fill through the
// row-adding operations and the type hooks.
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "driver/core/Connection.h"
#include "driver/core/Descriptor.h"
#include "driver/core/Environment.h"
#include "driver/core/MemoryRecordset.h"
#include "driver/core/Statement.h"
#include "driver/core/StringOutput.h"

struct Statement::ResultColumn {
    const char* name;       // ODBC 3 name
    const char* odbc2Name;  // null when the ODBC 2 name is the same
    SQLSMALLINT type;
    SQLSMALLINT nullable;
    SQLSMALLINT isUnsigned;
    bool odbc3Only;
};

namespace {

constexpr SQLSMALLINT kText = SQL_VARCHAR;
constexpr SQLSMALLINT kShort = SQL_SMALLINT;
constexpr SQLSMALLINT kInt = SQL_INTEGER;
constexpr SQLSMALLINT kNull = SQL_NULLABLE;
constexpr SQLSMALLINT kNoNull = SQL_NO_NULLS;

// clang-format off
// The type hooks in the order SQL_ALL_TYPES calls them, each with the SQL
// type that selects it alone.
struct TypeHook {
    SQLSMALLINT sqlType;
    void (Statement::*hook)();
};

constexpr TypeHook kTypeHooks[] = {
    {SQL_CHAR,                      &Statement::typeInfoChar},
    {SQL_VARCHAR,                   &Statement::typeInfoVarchar},
    {SQL_LONGVARCHAR,               &Statement::typeInfoLongvarchar},
    {SQL_WCHAR,                     &Statement::typeInfoWchar},
    {SQL_WVARCHAR,                  &Statement::typeInfoWvarchar},
    {SQL_WLONGVARCHAR,              &Statement::typeInfoWlongvarchar},
    {SQL_DECIMAL,                   &Statement::typeInfoDecimal},
    {SQL_NUMERIC,                   &Statement::typeInfoNumeric},
    {SQL_SMALLINT,                  &Statement::typeInfoSmallint},
    {SQL_INTEGER,                   &Statement::typeInfoInteger},
    {SQL_REAL,                      &Statement::typeInfoReal},
    {SQL_FLOAT,                     &Statement::typeInfoFloat},
    {SQL_DOUBLE,                    &Statement::typeInfoDouble},
    {SQL_BIT,                       &Statement::typeInfoBit},
    {SQL_TINYINT,                   &Statement::typeInfoTinyint},
    {SQL_BIGINT,                    &Statement::typeInfoBigint},
    {SQL_BINARY,                    &Statement::typeInfoBinary},
    {SQL_VARBINARY,                 &Statement::typeInfoVarbinary},
    {SQL_LONGVARBINARY,             &Statement::typeInfoLongvarbinary},
    {SQL_TYPE_DATE,                 &Statement::typeInfoTypeDate},
    {SQL_TYPE_TIME,                 &Statement::typeInfoTypeTime},
    {SQL_TYPE_TIMESTAMP,            &Statement::typeInfoTypeTimestamp},
    {SQL_INTERVAL_MONTH,            &Statement::typeInfoIntervalMonth},
    {SQL_INTERVAL_YEAR,             &Statement::typeInfoIntervalYear},
    {SQL_INTERVAL_YEAR_TO_MONTH,    &Statement::typeInfoIntervalYearToMonth},
    {SQL_INTERVAL_DAY,              &Statement::typeInfoIntervalDay},
    {SQL_INTERVAL_HOUR,             &Statement::typeInfoIntervalHour},
    {SQL_INTERVAL_MINUTE,           &Statement::typeInfoIntervalMinute},
    {SQL_INTERVAL_SECOND,           &Statement::typeInfoIntervalSecond},
    {SQL_INTERVAL_DAY_TO_HOUR,      &Statement::typeInfoIntervalDayToHour},
    {SQL_INTERVAL_DAY_TO_MINUTE,    &Statement::typeInfoIntervalDayToMinute},
    {SQL_INTERVAL_DAY_TO_SECOND,    &Statement::typeInfoIntervalDayToSecond},
    {SQL_INTERVAL_HOUR_TO_MINUTE,   &Statement::typeInfoIntervalHourToMinute},
    {SQL_INTERVAL_HOUR_TO_SECOND,   &Statement::typeInfoIntervalHourToSecond},
    {SQL_INTERVAL_MINUTE_TO_SECOND, &Statement::typeInfoIntervalMinuteToSecond},
    {SQL_GUID,                      &Statement::typeInfoGuid},
};

// The ODBC 2 date and time codes ask for the hooks of their ODBC 3 types.
struct TypeAlias {
    SQLSMALLINT odbc2Type;
    SQLSMALLINT odbc3Type;
};

constexpr TypeAlias kTypeAliases[] = {
    {SQL_DATE,      SQL_TYPE_DATE},
    {SQL_TIME,      SQL_TYPE_TIME},
    {SQL_TIMESTAMP, SQL_TYPE_TIMESTAMP},
};
// clang-format on

// Whether the catalog argument names a catalog where the data source has
// none: only no catalog, an empty one or "%" pass then. Posts "HYC00".
bool refusesCatalog(Statement& statement, const SQLCHAR* catalog, SQLSMALLINT length) {
    if (statement.connection()->infoCatalogName() != "N") {
        return false;
    }
    const std::string text = makeSqlString(catalog, length);
    if (text.empty() || text == "%") {
        return false;
    }
    statement.diagnostics().prependRecord("HYC00", 0, "", -1, -1);
    return true;
}

// One per-rowset array of `entries` 8-byte slots, zeroed, in the malloc
// family because the IRD record that takes it releases it with free.
struct FreeBlock {
    void operator()(void* block) const { std::free(block); }
};
using RowArray = std::unique_ptr<void, FreeBlock>;

RowArray newRowArray(SQLULEN entries) {
    constexpr std::size_t kSlot = 8;
    static_assert(sizeof(SQLLEN) == kSlot && sizeof(void*) == kSlot);
    if (entries > std::numeric_limits<std::ptrdiff_t>::max() / kSlot) {
        throw std::bad_alloc();
    }
    RowArray array(std::calloc(static_cast<std::size_t>(entries), kSlot));
    if (!array) {
        throw std::bad_alloc();
    }
    return array;
}

// Attaches indicator, octet-length and data-pointer arrays to every IRD
// record; a record that refuses one leaves it to be freed here.
void attachRowArrays(Descriptor& ird) {
    const SQLULEN entries = std::max<SQLULEN>(ird.getArraySize(), 1);
    const SQLSMALLINT count = ird.getCount();
    for (SQLSMALLINT number = 1; number <= count; ++number) {
        RowArray indicators = newRowArray(entries);
        if (ird.setRecordIndicatorPtr(number, static_cast<SQLLEN*>(indicators.get())) !=
            SQL_ERROR) {
            indicators.release();
        }
        RowArray lengths = newRowArray(entries);
        if (ird.setRecordOctetLengthPtr(number, static_cast<SQLLEN*>(lengths.get())) != SQL_ERROR) {
            lengths.release();
        }
        RowArray data = newRowArray(entries);
        if (ird.setRecordDataPtr(number, data.get()) != SQL_ERROR) {
            data.release();
        }
    }
}

// Appends one row to the statement's in-memory result and fills its cells
// in column order. Cells past the declared columns are never written, and
// without an in-memory result nothing is.
class RowWriter {
  public:
    explicit RowWriter(Statement& statement)
        : result_(dynamic_cast<MemoryRecordset*>(statement.recordset())),
          columns_(statement.getAttrImpRowDesc()->getCount()) {
        if (result_ != nullptr) {
            result_->appendRow();
        }
    }

    RowWriter& text(const std::optional<std::string>& value) {
        if (const SQLSMALLINT column = next(); column != 0) {
            result_->setTextCell(column, value);
        }
        return *this;
    }
    RowWriter& integer(std::optional<SQLINTEGER> value) {
        if (const SQLSMALLINT column = next(); column != 0) {
            result_->setIntCell(column, value);
        }
        return *this;
    }
    RowWriter& shortInt(std::optional<SQLSMALLINT> value) {
        if (const SQLSMALLINT column = next(); column != 0) {
            result_->setShortCell(column, value);
        }
        return *this;
    }

  private:
    // The next column to write, or 0 when it may not be written.
    SQLSMALLINT next() {
        const SQLSMALLINT column = ++written_;
        return result_ != nullptr && column <= columns_ ? column : 0;
    }

    MemoryRecordset* result_;
    SQLSMALLINT columns_;
    SQLSMALLINT written_ = 0;
};

}  // namespace

// --- Shared steps -------------------------------------------------------------

bool Statement::usesOdbc2Layout() const {
    return environment()->getAttrOdbcVersion() == SQL_OV_ODBC2;
}

SQLRETURN Statement::openMemoryResult(const ResultColumn* columns, std::size_t count,
                                      bool odbc2Layout) {
    // A catalog result is static and read-only whatever came before; what
    // these setters refuse stays in the diagnostics next to the result.
    setAttrConcurrency(SQL_CONCUR_READ_ONLY);
    setAttrCursorType(SQL_CURSOR_STATIC);
    markBeforeStart();
    resetResultDescription();
    for (std::size_t i = 0; i < count; ++i) {
        const ResultColumn& column = columns[i];
        if (odbc2Layout && column.odbc3Only) {
            continue;
        }
        const char* name =
            odbc2Layout && column.odbc2Name != nullptr ? column.odbc2Name : column.name;
        ird_->addRecord(name, column.type, column.nullable, column.isUnsigned);
    }
    try {
        // Made before the old result goes, so that running out of memory
        // leaves the statement's result as it was.
        auto result = std::make_unique<MemoryRecordset>(this);
        discardResult();
        serverCursor_ = false;
        setRecordset(std::move(result));
        attachRowArrays(*ird_);
    } catch (const std::bad_alloc& exception) {
        if (isTracing()) {
            writeTrace(std::string("// Exception: ") + exception.what() + "\n");
        }
        postState("HY001");
        return SQL_ERROR;
    }
    state_ = StatementState::ExecutedWithResults;
    return SQL_SUCCESS;
}

// --- Catalog functions ------------------------------------------------------------

SQLRETURN Statement::columnPrivileges(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                      const SQLCHAR* /*schema*/, SQLSMALLINT /*schemaLength*/,
                                      const SQLCHAR* /*table*/, SQLSMALLINT /*tableLength*/,
                                      const SQLCHAR* /*column*/, SQLSMALLINT /*columnLength*/) {
    // clang-format off
    static constexpr ResultColumn kResult[] = {
        {"TABLE_CAT",    "TABLE_QUALIFIER", kText, kNull,   1, false},
        {"TABLE_SCHEM",  "TABLE_OWNER",     kText, kNull,   1, false},
        {"TABLE_NAME",   nullptr,           kText, kNoNull, 1, false},
        {"COLUMN_NAME",  nullptr,           kText, kNoNull, 1, false},
        {"GRANTOR",      nullptr,           kText, kNull,   1, false},
        {"GRANTEE",      nullptr,           kText, kNoNull, 1, false},
        {"PRIVILEGE",    nullptr,           kText, kNoNull, 1, false},
        {"IS_GRANTABLE", nullptr,           kText, kNull,   1, false},
    };
    // clang-format on
    diagnostics_.clear();
    if (refusesCatalog(*this, catalog, catalogLength)) {
        return SQL_ERROR;
    }
    return openMemoryResult(kResult, std::size(kResult), usesOdbc2Layout());
}

SQLRETURN Statement::columns(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                             const SQLCHAR* /*schema*/, SQLSMALLINT /*schemaLength*/,
                             const SQLCHAR* /*table*/, SQLSMALLINT /*tableLength*/,
                             const SQLCHAR* /*column*/, SQLSMALLINT /*columnLength*/) {
    // clang-format off
    static constexpr ResultColumn kResult[] = {
        {"TABLE_CAT",         "TABLE_QUALIFIER", kText,  kNull,   1, false},
        {"TABLE_SCHEM",       "TABLE_OWNER",     kText,  kNull,   1, false},
        {"TABLE_NAME",        nullptr,           kText,  kNull,   1, false},
        {"COLUMN_NAME",       nullptr,           kText,  kNull,   1, false},
        {"DATA_TYPE",         nullptr,           kShort, kNull,   1, false},
        {"TYPE_NAME",         nullptr,           kText,  kNull,   1, false},
        {"COLUMN_SIZE",       "PRECISION",       kInt,   kNull,   1, false},
        {"BUFFER_LENGTH",     "LENGTH",          kInt,   kNull,   1, false},
        {"DECIMAL_DIGITS",    "SCALE",           kShort, kNull,   1, false},
        {"NUM_PREC_RADIX",    "RADIX",           kShort, kNull,   1, false},
        {"NULLABLE",          nullptr,           kShort, kNull,   1, false},
        {"REMARKS",           nullptr,           kText,  kNull,   1, false},
        {"COLUMN_DEF",        nullptr,           kText,  kNull,   1, true},
        {"SQL_DATA_TYPE",     nullptr,           kShort, kNoNull, 1, true},
        {"SQL_DATETIME_SUB",  nullptr,           kShort, kNull,   1, true},
        {"CHAR_OCTET_LENGTH", nullptr,           kInt,   kNull,   1, true},
        {"ORDINAL_POSITION",  nullptr,           kInt,   kNoNull, 1, true},
        {"IS_NULLABLE",       nullptr,           kText,  kNull,   1, true},
    };
    // clang-format on
    diagnostics_.clear();
    if (refusesCatalog(*this, catalog, catalogLength)) {
        return SQL_ERROR;
    }
    return openMemoryResult(kResult, std::size(kResult), usesOdbc2Layout());
}

SQLRETURN Statement::foreignKeys(const SQLCHAR* pkCatalog, SQLSMALLINT pkCatalogLength,
                                 const SQLCHAR* /*pkSchema*/, SQLSMALLINT /*pkSchemaLength*/,
                                 const SQLCHAR* /*pkTable*/, SQLSMALLINT /*pkTableLength*/,
                                 const SQLCHAR* fkCatalog, SQLSMALLINT fkCatalogLength,
                                 const SQLCHAR* /*fkSchema*/, SQLSMALLINT /*fkSchemaLength*/,
                                 const SQLCHAR* /*fkTable*/, SQLSMALLINT /*fkTableLength*/) {
    // clang-format off
    static constexpr ResultColumn kResult[] = {
        {"PKTABLE_CAT",   "PKTABLE_QUALIFIER", kText,  kNull,   1, false},
        {"PKTABLE_SCHEM", "PKTABLE_OWNER",     kText,  kNull,   1, false},
        {"PKTABLE_NAME",  nullptr,             kText,  kNoNull, 1, false},
        {"PKCOLUMN_NAME", nullptr,             kText,  kNoNull, 1, false},
        {"FKTABLE_CAT",   "FKTABLE_QUALIFIER", kText,  kNull,   1, false},
        {"FKTABLE_SCHEM", "FKTABLE_OWNER",     kText,  kNull,   1, false},
        {"FKTABLE_NAME",  nullptr,             kText,  kNoNull, 1, false},
        {"FKCOLUMN_NAME", nullptr,             kText,  kNoNull, 1, false},
        {"KEY_SEQ",       nullptr,             kShort, kNoNull, 1, false},
        {"UPDATE_RULE",   nullptr,             kShort, kNull,   1, false},
        {"DELETE_RULE",   nullptr,             kShort, kNull,   1, false},
        {"FK_NAME",       nullptr,             kText,  kNull,   1, false},
        {"PK_NAME",       nullptr,             kText,  kNull,   1, false},
        {"DEFERRABILITY", nullptr,             kShort, kNull,   1, true},
    };
    // clang-format on
    diagnostics_.clear();
    if (refusesCatalog(*this, pkCatalog, pkCatalogLength) ||
        refusesCatalog(*this, fkCatalog, fkCatalogLength)) {
        return SQL_ERROR;
    }
    return openMemoryResult(kResult, std::size(kResult), usesOdbc2Layout());
}

SQLRETURN Statement::primaryKeys(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                 const SQLCHAR* /*schema*/, SQLSMALLINT /*schemaLength*/,
                                 const SQLCHAR* /*table*/, SQLSMALLINT /*tableLength*/) {
    // clang-format off
    static constexpr ResultColumn kResult[] = {
        {"TABLE_CAT",   "TABLE_QUALIFIER", kText,  kNull,   1, false},
        {"TABLE_SCHEM", "TABLE_OWNER",     kText,  kNull,   1, false},
        {"TABLE_NAME",  nullptr,           kText,  kNoNull, 1, false},
        {"COLUMN_NAME", nullptr,           kText,  kNoNull, 1, false},
        {"KEY_SEQ",     nullptr,           kShort, kNoNull, 1, false},
        {"PK_NAME",     nullptr,           kText,  kNull,   1, false},
    };
    // clang-format on
    diagnostics_.clear();
    if (refusesCatalog(*this, catalog, catalogLength)) {
        return SQL_ERROR;
    }
    return openMemoryResult(kResult, std::size(kResult), usesOdbc2Layout());
}

SQLRETURN Statement::procedureColumns(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                      const SQLCHAR* /*schema*/, SQLSMALLINT /*schemaLength*/,
                                      const SQLCHAR* /*procedure*/, SQLSMALLINT /*procedureLength*/,
                                      const SQLCHAR* /*column*/, SQLSMALLINT /*columnLength*/) {
    // clang-format off
    static constexpr ResultColumn kResult[] = {
        {"PROCEDURE_CAT",     "PROCEDURE_QUALIFIER", kText,  kNull,   1, false},
        {"PROCEDURE_SCHEM",   "PROCEDURE_OWNER",     kText,  kNull,   1, false},
        {"PROCEDURE_NAME",    nullptr,               kText,  kNoNull, 1, false},
        {"COLUMN_NAME",       nullptr,               kText,  kNoNull, 1, false},
        {"COLUMN_TYPE",       nullptr,               kShort, kNoNull, 1, false},
        {"DATA_TYPE",         nullptr,               kShort, kNoNull, 1, false},
        {"TYPE_NAME",         nullptr,               kText,  kNoNull, 1, false},
        {"COLUMN_SIZE",       "PRECISION",           kInt,   kNull,   1, false},
        {"BUFFER_LENGTH",     "LENGTH",              kInt,   kNull,   1, false},
        {"DECIMAL_DIGITS",    "SCALE",               kShort, kNull,   1, false},
        {"NUM_PREC_RADIX",    "RADIX",               kShort, kNull,   1, false},
        {"NULLABLE",          nullptr,               kShort, kNoNull, 1, false},
        {"REMARKS",           nullptr,               kText,  kNull,   1, false},
        {"COLUMN_DEF",        nullptr,               kText,  kNull,   1, true},
        {"SQL_DATA_TYPE",     nullptr,               kShort, kNoNull, 1, true},
        {"SQL_DATETIME_SUB",  nullptr,               kShort, kNull,   1, true},
        {"CHAR_OCTET_LENGTH", nullptr,               kInt,   kNull,   1, true},
        {"ORDINAL_POSITION",  nullptr,               kInt,   kNoNull, 1, true},
        {"IS_NULLABLE",       nullptr,               kText,  kNull,   1, true},
    };
    // clang-format on
    diagnostics_.clear();
    if (refusesCatalog(*this, catalog, catalogLength)) {
        return SQL_ERROR;
    }
    return openMemoryResult(kResult, std::size(kResult), usesOdbc2Layout());
}

SQLRETURN Statement::procedures(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                const SQLCHAR* /*schema*/, SQLSMALLINT /*schemaLength*/,
                                const SQLCHAR* /*procedure*/, SQLSMALLINT /*procedureLength*/) {
    // clang-format off
    static constexpr ResultColumn kResult[] = {
        {"PROCEDURE_CAT",     "PROCEDURE_QUALIFIER", kText,  kNull,   1, false},
        {"PROCEDURE_SCHEM",   "PROCEDURE_OWNER",     kText,  kNull,   1, false},
        {"PROCEDURE_NAME",    nullptr,               kText,  kNoNull, 1, false},
        {"NUM_INPUT_PARAMS",  nullptr,               kShort, kNull,   1, false},
        {"NUM_OUTPUT_PARAMS", nullptr,               kShort, kNull,   1, false},
        {"NUM_RESULT_SETS",   nullptr,               kShort, kNull,   1, false},
        {"REMARKS",           nullptr,               kText,  kNull,   1, false},
        {"PROCEDURE_TYPE",    nullptr,               kShort, kNull,   1, false},
    };
    // clang-format on
    diagnostics_.clear();
    if (refusesCatalog(*this, catalog, catalogLength)) {
        return SQL_ERROR;
    }
    return openMemoryResult(kResult, std::size(kResult), usesOdbc2Layout());
}

SQLRETURN Statement::specialColumns(SQLUSMALLINT /*identifierType*/, const SQLCHAR* catalog,
                                    SQLSMALLINT catalogLength, const SQLCHAR* /*schema*/,
                                    SQLSMALLINT /*schemaLength*/, const SQLCHAR* /*table*/,
                                    SQLSMALLINT /*tableLength*/, SQLUSMALLINT /*scope*/,
                                    SQLUSMALLINT /*nullable*/) {
    // clang-format off
    static constexpr ResultColumn kResult[] = {
        {"SCOPE",          nullptr,     kShort, kNull,   1, false},
        {"COLUMN_NAME",    nullptr,     kText,  kNoNull, 1, false},
        {"DATA_TYPE",      nullptr,     kShort, kNoNull, 1, false},
        {"TYPE_NAME",      nullptr,     kText,  kNoNull, 1, false},
        {"COLUMN_SIZE",    "PRECISION", kInt,   kNull,   1, false},
        {"BUFFER_LENGTH",  "LENGTH",    kInt,   kNull,   1, false},
        {"DECIMAL_DIGITS", "SCALE",     kShort, kNull,   1, false},
        {"PSEUDO_COLUMN",  nullptr,     kShort, kNull,   1, false},
    };
    // clang-format on
    diagnostics_.clear();
    if (refusesCatalog(*this, catalog, catalogLength)) {
        return SQL_ERROR;
    }
    return openMemoryResult(kResult, std::size(kResult), usesOdbc2Layout());
}

SQLRETURN Statement::statistics(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                const SQLCHAR* /*schema*/, SQLSMALLINT /*schemaLength*/,
                                const SQLCHAR* /*table*/, SQLSMALLINT /*tableLength*/,
                                SQLUSMALLINT /*unique*/, SQLUSMALLINT /*reserved*/) {
    // clang-format off
    static constexpr ResultColumn kResult[] = {
        {"TABLE_CAT",        "TABLE_QUALIFIER", kText,  kNull,   1, false},
        {"TABLE_SCHEM",      "TABLE_OWNER",     kText,  kNull,   1, false},
        {"TABLE_NAME",       nullptr,           kText,  kNoNull, 1, false},
        {"NON_UNIQUE",       nullptr,           kShort, kNull,   1, false},
        {"INDEX_QUALIFIER",  nullptr,           kText,  kNull,   1, false},
        {"INDEX_NAME",       nullptr,           kText,  kNull,   1, false},
        {"TYPE",             nullptr,           kShort, kNoNull, 1, false},
        {"ORDINAL_POSITION", "SEQ_IN_INDEX",    kShort, kNull,   1, false},
        {"COLUMN_NAME",      nullptr,           kText,  kNull,   1, false},
        {"ASC_OR_DESC",      "COLLATION",       kText,  kNull,   1, false},
        {"CARDINALITY",      nullptr,           kInt,   kNull,   1, false},
        {"PAGES",            nullptr,           kInt,   kNull,   1, false},
        {"FILTER_CONDITION", nullptr,           kText,  kNull,   1, false},
    };
    // clang-format on
    diagnostics_.clear();
    if (refusesCatalog(*this, catalog, catalogLength)) {
        return SQL_ERROR;
    }
    return openMemoryResult(kResult, std::size(kResult), usesOdbc2Layout());
}

SQLRETURN Statement::tablePrivileges(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                     const SQLCHAR* /*schema*/, SQLSMALLINT /*schemaLength*/,
                                     const SQLCHAR* /*table*/, SQLSMALLINT /*tableLength*/) {
    // clang-format off
    static constexpr ResultColumn kResult[] = {
        {"TABLE_CAT",    "TABLE_QUALIFIER", kText, kNull,   1, false},
        {"TABLE_SCHEM",  "TABLE_OWNER",     kText, kNull,   1, false},
        {"TABLE_NAME",   nullptr,           kText, kNoNull, 1, false},
        {"GRANTOR",      nullptr,           kText, kNull,   1, false},
        {"GRANTEE",      nullptr,           kText, kNoNull, 1, false},
        {"PRIVILEGE",    nullptr,           kText, kNoNull, 1, false},
        {"IS_GRANTABLE", nullptr,           kText, kNull,   1, false},
    };
    // clang-format on
    diagnostics_.clear();
    if (refusesCatalog(*this, catalog, catalogLength)) {
        return SQL_ERROR;
    }
    return openMemoryResult(kResult, std::size(kResult), usesOdbc2Layout());
}

SQLRETURN Statement::tables(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                            const SQLCHAR* /*schema*/, SQLSMALLINT /*schemaLength*/,
                            const SQLCHAR* /*table*/, SQLSMALLINT /*tableLength*/,
                            const SQLCHAR* /*tableType*/, SQLSMALLINT /*tableTypeLength*/) {
    // clang-format off
    static constexpr ResultColumn kResult[] = {
        {"TABLE_CAT",   "TABLE_QUALIFIER", kText, kNull, 1, false},
        {"TABLE_SCHEM", "TABLE_OWNER",     kText, kNull, 1, false},
        {"TABLE_NAME",  nullptr,           kText, kNull, 1, false},
        {"TABLE_TYPE",  nullptr,           kText, kNull, 1, false},
        {"REMARKS",     nullptr,           kText, kNull, 1, false},
    };
    // clang-format on
    diagnostics_.clear();
    if (refusesCatalog(*this, catalog, catalogLength)) {
        return SQL_ERROR;
    }
    return openMemoryResult(kResult, std::size(kResult), usesOdbc2Layout());
}

// --- Type information -------------------------------------------------------------

SQLRETURN Statement::getTypeInfo(SQLSMALLINT dataType) {
    // ODBC 3 names whatever the application's version; numbers are signed here.
    // clang-format off
    static constexpr ResultColumn kResult[] = {
        {"TYPE_NAME",          nullptr, kText,  kNoNull, 1, false},
        {"DATA_TYPE",          nullptr, kShort, kNoNull, 0, false},
        {"COLUMN_SIZE",        nullptr, kInt,   kNull,   0, false},
        {"LITERAL_PREFIX",     nullptr, kText,  kNull,   1, false},
        {"LITERAL_SUFFIX",     nullptr, kText,  kNull,   1, false},
        {"CREATE_PARAMS",      nullptr, kText,  kNull,   1, false},
        {"NULLABLE",           nullptr, kShort, kNoNull, 0, false},
        {"CASE_SENSITIVE",     nullptr, kShort, kNoNull, 0, false},
        {"SEARCHABLE",         nullptr, kShort, kNoNull, 0, false},
        {"UNSIGNED_ATTRIBUTE", nullptr, kShort, kNull,   0, false},
        {"FIXED_PREC_SCALE",   nullptr, kShort, kNoNull, 0, false},
        {"AUTO_UNIQUE_VALUE",  nullptr, kShort, kNull,   0, false},
        {"LOCAL_TYPE_NAME",    nullptr, kText,  kNull,   1, false},
        {"MINIMUM_SCALE",      nullptr, kShort, kNull,   0, false},
        {"MAXIMUM_SCALE",      nullptr, kShort, kNull,   0, false},
        {"SQL_DATA_TYPE",      nullptr, kShort, kNoNull, 0, false},
        {"SQL_DATETIME_SUB",   nullptr, kShort, kNull,   0, false},
        {"NUM_PREC_RADIX",     nullptr, kInt,   kNull,   0, false},
        {"INTERVAL_PRECISION", nullptr, kShort, kNull,   0, false},
    };
    // clang-format on
    diagnostics_.clear();
    if (openMemoryResult(kResult, std::size(kResult), false) != SQL_SUCCESS) {
        return SQL_ERROR;
    }
    pendingRow_ = -1;
    if (dataType == SQL_ALL_TYPES) {
        typeInfoAllTypes();
    } else {
        for (const TypeAlias& alias : kTypeAliases) {
            if (alias.odbc2Type == dataType) {
                dataType = alias.odbc3Type;
            }
        }
        const auto* found =
            std::find_if(std::begin(kTypeHooks), std::end(kTypeHooks),
                         [dataType](const TypeHook& hook) { return hook.sqlType == dataType; });
        if (found != std::end(kTypeHooks)) {
            (this->*(found->hook))();
        }
    }
    return SQL_SUCCESS;
}

void Statement::typeInfoAllTypes() {
    for (const TypeHook& hook : kTypeHooks) {
        (this->*(hook.hook))();
    }
}

// The base knows no data source, so it offers no types.
void Statement::typeInfoChar() {}
void Statement::typeInfoVarchar() {}
void Statement::typeInfoLongvarchar() {}
void Statement::typeInfoWchar() {}
void Statement::typeInfoWvarchar() {}
void Statement::typeInfoWlongvarchar() {}
void Statement::typeInfoDecimal() {}
void Statement::typeInfoNumeric() {}
void Statement::typeInfoSmallint() {}
void Statement::typeInfoInteger() {}
void Statement::typeInfoReal() {}
void Statement::typeInfoFloat() {}
void Statement::typeInfoDouble() {}
void Statement::typeInfoBit() {}
void Statement::typeInfoTinyint() {}
void Statement::typeInfoBigint() {}
void Statement::typeInfoBinary() {}
void Statement::typeInfoVarbinary() {}
void Statement::typeInfoLongvarbinary() {}
void Statement::typeInfoTypeDate() {}
void Statement::typeInfoTypeTime() {}
void Statement::typeInfoTypeTimestamp() {}
void Statement::typeInfoIntervalMonth() {}
void Statement::typeInfoIntervalYear() {}
void Statement::typeInfoIntervalYearToMonth() {}
void Statement::typeInfoIntervalDay() {}
void Statement::typeInfoIntervalHour() {}
void Statement::typeInfoIntervalMinute() {}
void Statement::typeInfoIntervalSecond() {}
void Statement::typeInfoIntervalDayToHour() {}
void Statement::typeInfoIntervalDayToMinute() {}
void Statement::typeInfoIntervalDayToSecond() {}
void Statement::typeInfoIntervalHourToMinute() {}
void Statement::typeInfoIntervalHourToSecond() {}
void Statement::typeInfoIntervalMinuteToSecond() {}
void Statement::typeInfoGuid() {}

// --- Rows -----------------------------------------------------------------------------

void Statement::addTypeInfoRow(const TypeInfoRow& row) {
    RowWriter(*this)
        .text(row.typeName)
        .shortInt(row.dataType)
        .integer(row.columnSize)
        .text(row.literalPrefix)
        .text(row.literalSuffix)
        .text(row.createParams)
        .shortInt(row.nullable)
        .shortInt(row.caseSensitive)
        .shortInt(row.searchable)
        .shortInt(row.unsignedAttribute)
        .shortInt(row.fixedPrecScale)
        .shortInt(row.autoUniqueValue)
        .text(row.localTypeName)
        .shortInt(row.minimumScale)
        .shortInt(row.maximumScale)
        .shortInt(row.sqlDataType)
        .shortInt(row.sqlDatetimeSub)
        .integer(row.numPrecRadix)
        .shortInt(row.intervalPrecision);
}

void Statement::addColumnsRow(const ColumnsRow& row) {
    RowWriter writer(*this);
    writer.text(row.tableCat)
        .text(row.tableSchem)
        .text(row.tableName)
        .text(row.columnName)
        .shortInt(row.dataType)
        .text(row.typeName)
        .integer(row.columnSize)
        .integer(row.bufferLength)
        .shortInt(row.decimalDigits)
        .shortInt(row.numPrecRadix)
        .shortInt(row.nullable)
        .text(row.remarks);
    if (!usesOdbc2Layout()) {
        writer.text(row.columnDef)
            .shortInt(row.sqlDataType)
            .shortInt(row.sqlDatetimeSub)
            .integer(row.charOctetLength)
            .integer(row.ordinalPosition)
            .text(row.isNullable);
    }
}

void Statement::addTablesRow(const TablesRow& row) {
    RowWriter(*this)
        .text(row.tableCat)
        .text(row.tableSchem)
        .text(row.tableName)
        .text(row.tableType)
        .text(row.remarks);
}

void Statement::addStatisticsRow(const StatisticsRow& row) {
    RowWriter(*this)
        .text(row.tableCat)
        .text(row.tableSchem)
        .text(row.tableName)
        .shortInt(row.nonUnique)
        .text(row.indexQualifier)
        .text(row.indexName)
        .shortInt(row.type)
        .shortInt(row.ordinalPosition)
        .text(row.columnName)
        .text(row.ascOrDesc)
        .integer(row.cardinality)
        .integer(row.pages)
        .text(row.filterCondition);
}

void Statement::addSpecialColumnsRow(const SpecialColumnsRow& row) {
    RowWriter(*this)
        .shortInt(row.scope)
        .text(row.columnName)
        .shortInt(row.dataType)
        .text(row.typeName)
        .integer(row.columnSize)
        .integer(row.bufferLength)
        .shortInt(row.decimalDigits)
        .shortInt(row.pseudoColumn);
}

void Statement::addPrimaryKeysRow(const PrimaryKeysRow& row) {
    RowWriter(*this)
        .text(row.tableCat)
        .text(row.tableSchem)
        .text(row.tableName)
        .text(row.columnName)
        .shortInt(row.keySeq)
        .text(row.pkName);
}

void Statement::addColumnPrivilegesRow(const ColumnPrivilegesRow& row) {
    RowWriter(*this)
        .text(row.tableCat)
        .text(row.tableSchem)
        .text(row.tableName)
        .text(row.columnName)
        .text(row.grantor)
        .text(row.grantee)
        .text(row.privilege)
        .text(row.isGrantable);
}

void Statement::addTablePrivilegesRow(const TablePrivilegesRow& row) {
    RowWriter(*this)
        .text(row.tableCat)
        .text(row.tableSchem)
        .text(row.tableName)
        .text(row.grantor)
        .text(row.grantee)
        .text(row.privilege)
        .text(row.isGrantable);
}
