// The statements a MySQL client sends that the real database cannot run:
// "describe <table>", "SELECT LAST_INSERT_ID()" and "SET SQL_MODE=". Each is
// answered with an in-memory result of text cells, built from the adapted
// database's catalog and identity functions queried on temporary statements.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "driver/adapter/MySQLImpersonatorConnection.h"
#include "driver/adapter/AdapterText.h"
#include "driver/adapter/DialectText.h"
#include "driver/adapter/MySQLImpersonatorStatement.h"
#include "driver/core/Descriptor.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/MemoryRecordset.h"

namespace {

using Family = MySQLImpersonatorStatement::DatabaseFamily;

const std::vector<std::string> kDescribeColumns = {"Field", "Type",    "Null",
                                                   "Key",   "Default", "Extra"};
const std::vector<std::string> kLastInsertIdColumns = {"LAST_INSERT_ID()"};

// The SQLColumns result columns a description is made of.
constexpr SQLUSMALLINT kTableSchem = 2;
constexpr SQLUSMALLINT kTableName = 3;
constexpr SQLUSMALLINT kColumnName = 4;
constexpr SQLUSMALLINT kTypeName = 6;
constexpr SQLUSMALLINT kColumnDef = 13;
constexpr SQLUSMALLINT kIsNullable = 18;

constexpr const char* kAutoIncrement = "auto_increment";
constexpr SQLINTEGER kNoSuchTableNative = 1146;
constexpr SQLINTEGER kSyntaxErrorNative = 1064;
// The escape of the MySQL face's own catalog patterns.
constexpr char kPatternEscape = '\\';
// Identity columns of a table in the catalog views, before the quoted name.
constexpr const char* kDb2LuwIdentityQuery =
    "SELECT COLNAME FROM SYSCAT.COLUMNS WHERE IDENTITY='Y' AND TABNAME='";
constexpr const char* kDb2400IdentityQuery =
    "SELECT COLUMN_NAME FROM QSYS2.SYSCOLUMNS WHERE IDENTITY_GENERATION IS NOT NULL AND "
    "TABLE_NAME = '";
constexpr const char* kPostgresIdentityQuery =
    "SELECT a.attname, a.attidentity FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid "
    "JOIN pg_type t ON a.atttypid = t.oid LEFT JOIN pg_catalog.pg_constraint r ON c.oid = "
    "r.conrelid AND r.conname = a.attname WHERE c.relname = E'";
constexpr const char* kPostgresIdentityTail =
    "' AND a.attnum > 0 AND c.relnamespace = (SELECT n.oid FROM pg_catalog.pg_namespace n "
    "WHERE n.nspname = E'";
// With a schema named, the DB2 identity queries look in that one only.
constexpr const char* kDb2LuwSchemaCondition = " AND TABSCHEMA='";
constexpr const char* kDb2400SchemaCondition = " AND TABLE_SCHEMA = '";
// Identity columns (GENERATED ... AS IDENTITY) came with PostgreSQL 10.
constexpr int kFirstPostgresWithIdentity = 10;

// clang-format off
// The query that reads the last generated identity value, per database.
struct LastInsertIdQuery {
    Family family;
    const char* query;
};

constexpr LastInsertIdQuery kLastInsertIdQueries[] = {
    {Family::Db2Luw,     "SELECT IDENTITY_VAL_LOCAL() AS VAL FROM SYSIBM.SYSDUMMY1"},
    {Family::Db2400,     "SELECT IDENTITY_VAL_LOCAL() AS VAL FROM SYSIBM.SYSDUMMY1"},
    {Family::PostgreSQL, "SELECT LASTVAL()"},
};
// clang-format on

constexpr const char* kNoLastInsertId = "LAST_INSERT_ID() is not available for this database";
constexpr const char* kNoStatement = "Could not allocate a statement on the data source";

// Values are read in pieces of this size, the terminator included.
constexpr std::size_t kPieceSize = 256;
// A value is read in at most this many pieces, so that a driver which
// keeps reporting truncation cannot hold the loop forever.
constexpr int kMostPieces = 4096;

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

SQLRETURN endOfRows(SQLRETURN rc) {
    return rc == SQL_NO_DATA ? SQL_SUCCESS : rc;
}

const SQLCHAR* sqlText(const std::string& text) {
    return reinterpret_cast<const SQLCHAR*>(text.c_str());
}

// Column `column` of the current row as text, read in pieces so that no
// value is cut; NULL reads as an empty text.
std::string readText(Statement& statement, SQLUSMALLINT column) {
    std::string text;
    for (int piece = 0; piece < kMostPieces; ++piece) {
        char buffer[kPieceSize] = {};
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            statement.getData(column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
        const std::size_t got = strnlen(buffer, sizeof buffer - 1);
        text.append(buffer, got);
        const bool cut = rc == SQL_SUCCESS_WITH_INFO && got == sizeof buffer - 1 &&
                         (indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(got));
        if (!cut) {
            break;
        }
    }
    return text;
}

// The statement's new, empty in-memory result.
MemoryRecordset& installResult(Statement& statement) {
    auto result = std::make_unique<MemoryRecordset>(&statement);
    MemoryRecordset& rows = *result;
    statement.setRecordset(std::move(result));
    return rows;
}

// One per-row array of 8-byte entries, zeroed, in the malloc family
// because the IRD record that takes it releases it with free.
struct FreeBlock {
    void operator()(void* block) const { std::free(block); }
};
using RowArray = std::unique_ptr<void, FreeBlock>;

RowArray newRowArray(SQLULEN entries) {
    constexpr std::size_t kEntry = 8;
    static_assert(sizeof(SQLLEN) == kEntry && sizeof(const char*) == kEntry);
    if (entries > std::numeric_limits<std::size_t>::max() / kEntry) {
        throw std::bad_alloc();
    }
    RowArray array(std::calloc(static_cast<std::size_t>(entries), kEntry));
    if (!array) {
        throw std::bad_alloc();
    }
    return array;
}

// What one SQLColumns row says of a column.
struct CatalogColumn {
    std::string schema;
    std::string table;
    std::string name;
    std::string typeName;
    std::string columnDef;
    std::string isNullable;
};

CatalogColumn readCatalogColumn(Statement& catalog) {
    CatalogColumn column;
    column.schema = readText(catalog, kTableSchem);
    column.table = readText(catalog, kTableName);
    column.name = readText(catalog, kColumnName);
    column.typeName = readText(catalog, kTypeName);
    column.columnDef = readText(catalog, kColumnDef);
    column.isNullable = readText(catalog, kIsNullable);
    return column;
}

bool contains(const std::vector<std::string>& list, const std::string& entry) {
    return std::find(list.begin(), list.end(), entry) != list.end();
}

// One row of a description; `identity` gains a column whose default is a
// sequence.
void appendDescriptionRow(const Statement& statement, MemoryRecordset& rows,
                          const CatalogColumn& column, std::vector<std::string>& identity,
                          bool postgres) {
    const std::string shown = shownDefault(column.columnDef);
    // A sequence default makes the column an auto-increment one; a quoted
    // literal that merely spells "nextval(" does not.
    const bool literal = !column.columnDef.empty() && column.columnDef.front() == '\'';
    if (postgres && !literal && column.columnDef.find("nextval(") != std::string::npos) {
        identity.push_back(column.name);
    }
    const bool autoIncrement = contains(identity, column.name) ||
                               (postgres && !literal && upperCase(shown).rfind("NEXTVAL(", 0) == 0);
    const std::string extra = autoIncrement ? kAutoIncrement : "";

    rows.appendRow();
    rows.setTextCell(1, column.name);
    rows.setTextCell(2, column.typeName);
    rows.setTextCell(3, column.isNullable);
    rows.setTextCell(4, std::string());
    rows.setTextCell(5, shown);
    rows.setTextCell(6, extra);
    if (statement.isTracing()) {
        statement.writeTrace("// describeTable row: | " + column.name + " | " + column.typeName +
                             " | " + column.isNullable + " | " + " | " + column.columnDef + " | " +
                             extra + " | \n");
    }
}

std::string postgresText(const std::string& text) {
    return "E'" + postgresEscaped(text) + "'";
}

// The schema of the first relation called `name.table` among the schemas
// of a list, in the list's order: the search path, with the temporary and
// system schemas where the server looks for them, or the one schema named.
// So the server resolves the name of a SELECT; of the relations only those
// a SELECT reads (tables, views, sequences), not an index or a type.
std::string firstSchemaQuery(const DescribedName& name) {
    const std::string list = name.schema.empty() ? "pg_catalog.current_schemas(true)"
                                                 : "ARRAY[" + postgresText(name.schema) + "]";
    return "SELECT n.nspname FROM pg_catalog.pg_namespace n JOIN pg_catalog.pg_class c ON "
           "c.relnamespace = n.oid, pg_catalog.generate_series(1, pg_catalog.array_upper(" +
           list + ", 1)) AS s(k) WHERE n.nspname = (" + list +
           ")[s.k] AND c.relname = " + postgresText(name.table) +
           " AND c.relkind IN ('r', 'p', 'v', 'm', 'f', 'S') ORDER BY s.k LIMIT 1";
}

std::string shownName(const DescribedName& name) {
    return name.schema.empty() ? name.table : name.schema + "." + name.table;
}

// MySQL's answer to a statement it cannot read, pointing at `text`.
std::string syntaxErrorNear(const std::string& text) {
    return "You have an error in your SQL syntax; check the manual that corresponds to your "
           "MySQL server version for the right syntax to use near '" +
           text + "' at line 1";
}

}  // namespace

// --- Shared steps -------------------------------------------------------------

void MySQLImpersonatorStatement::prepareLocalAnswer(const std::vector<std::string>& columnNames) {
    // Set directly: the public setters refuse while a result is open and
    // would post records that have nothing to do with the answer.
    // A read-only static cursor over rows in memory: scrollable, insensitive.
    concurrency_ = SQL_CONCUR_READ_ONLY;
    cursorType_ = SQL_CURSOR_STATIC;
    cursorScrollable_ = SQL_SCROLLABLE;
    cursorSensitivity_ = SQL_INSENSITIVE;
    markBeforeStart();
    resetResultDescription();
    pendingRow_ = 0;
    for (const std::string& name : columnNames) {
        ird_->addRecord(name, SQL_VARCHAR, SQL_NULLABLE, 1);
    }
    allocateRowArrays();
}

void MySQLImpersonatorStatement::allocateRowArrays() {
    // Fetching publishes each row of a rowset through entry 0 in turn, so
    // the IRD's own array size (never below 1) covers any rowset size.
    const SQLULEN entries = std::max<SQLULEN>(ird_->getArraySize(), 1);
    const SQLSMALLINT count = ird_->getCount();
    for (SQLSMALLINT number = 1; number <= count; ++number) {
        DescriptorRecord* record = ird_->record(number);
        if (record == nullptr) {
            continue;
        }
        RowArray indicators = newRowArray(entries);
        RowArray lengths = newRowArray(entries);
        RowArray data = newRowArray(entries);
        std::free(record->getIndicatorPtr());
        ird_->setRecordIndicatorPtr(number, static_cast<SQLLEN*>(indicators.release()));
        std::free(record->getOctetLengthPtr());
        ird_->setRecordOctetLengthPtr(number, static_cast<SQLLEN*>(lengths.release()));
        std::free(record->getDataPtr());
        ird_->setRecordDataPtr(number, data.release());
    }
}

// --- SET SQL_MODE= --------------------------------------------------------------

SQLRETURN MySQLImpersonatorStatement::skipSetSqlMode(const std::string& mode) {
    if (isTracing()) {
        writeTrace("// skipping SET SQL_MODE= " + mode + "\n");
    }
    return SQL_SUCCESS;
}

// --- describe ---------------------------------------------------------------------

std::vector<std::string> MySQLImpersonatorStatement::collectIdentityColumns(std::string query,
                                                                            bool withKind) {
    std::vector<std::string> found;
    TemporaryStatement temporary = makeTemporaryStatement();
    if (!temporary || !succeeded(temporary->executeStatement(query))) {
        return found;
    }
    while (succeeded(temporary->fetch())) {
        std::string name = readText(*temporary, 1);
        if (withKind) {
            const std::string kind = readText(*temporary, 2);
            if (kind.empty() || (kind.front() != 'a' && kind.front() != 'd')) {
                continue;
            }
        }
        found.push_back(std::move(name));
    }
    return found;
}

std::vector<std::string> MySQLImpersonatorStatement::identityColumns(const DescribedName& name) {
    switch (databaseFamily()) {
        case DatabaseFamily::Db2Luw:
        case DatabaseFamily::Db2400: {
            const bool luw = impersonator()->nativeDbmsType() == "DB2 LUW";
            std::string query = (luw ? kDb2LuwIdentityQuery : kDb2400IdentityQuery) +
                                doubledQuotes(name.table) + "'";
            if (!name.schema.empty()) {
                query += (luw ? kDb2LuwSchemaCondition : kDb2400SchemaCondition) +
                         doubledQuotes(name.schema) + "'";
            }
            return collectIdentityColumns(query, false);
        }
        case DatabaseFamily::PostgreSQL:
            if (majorVersionOf(impersonator()->nativeDbmsVersion()) < kFirstPostgresWithIdentity) {
                return {};
            }
            return collectIdentityColumns(kPostgresIdentityQuery + postgresEscaped(name.table) +
                                              kPostgresIdentityTail + postgresEscaped(name.schema) +
                                              "')",
                                          true);
        case DatabaseFamily::Other:
            break;
    }
    return {};
}

SQLRETURN MySQLImpersonatorStatement::findOnSearchPath(DescribedName& name) {
    TemporaryStatement lookup = makeTemporaryStatement();
    if (!lookup) {
        postState("HY000", kNoStatement);
        return SQL_ERROR;
    }
    const std::string query = firstSchemaQuery(name);
    if (isTracing()) {
        writeTrace("// describeTable lookup: " + query + "\n");
    }
    // Run as written: the dialect rewriting would quote its words as names.
    SQLRETURN rc = lookup->executeNativeQuery(query);
    if (succeeded(rc)) {
        rc = lookup->fetch();
    }
    name.schema.clear();
    if (succeeded(rc)) {
        name.schema = readText(*lookup, 1);
    }
    return endOfAnswer(lookup.get(), rc);
}

SQLRETURN MySQLImpersonatorStatement::describeTable(const std::string& text) {
    prepareLocalAnswer(kDescribeColumns);
    std::optional<DescribedName> name = describedName(text);
    if (!name) {
        installResult(*this);
        diagnostics_.prependRecord("42000", kSyntaxErrorNative, syntaxErrorNear(text), -1, -1);
        return SQL_ERROR;
    }
    const std::string shown = shownName(*name);
    const bool postgres = databaseFamily() == DatabaseFamily::PostgreSQL;
    // PostgreSQL says which table a SELECT of the name reaches; elsewhere
    // an unqualified name is looked up as before, in any schema.
    if (postgres) {
        const SQLRETURN found = findOnSearchPath(*name);
        if (!succeeded(found) || name->schema.empty()) {
            installResult(*this);
            return succeeded(found) ? noSuchTable(shown) : found;
        }
    }
    const bool exactSchema = !name->schema.empty();
    std::string schema = exactSchema ? searchPatternFor(name->schema, kPatternEscape)
                                     : impersonator()->tableSchema(name->table);
    if (schema.empty()) {
        schema = "%";
    }
    std::vector<std::string> identity = identityColumns(*name);
    if (isTracing()) {
        writeTrace("// describeTable schema: " + schema + "\n");
    }
    const std::string table = searchPatternFor(name->table, kPatternEscape);
    TemporaryStatement catalog = makeTemporaryStatement();
    SQLRETURN rc = SQL_ERROR;
    if (catalog) {
        rc = catalog->columns(nullptr, 0, sqlText(schema), SQL_NTS, sqlText(table), SQL_NTS,
                              nullptr, 0);
        if (succeeded(rc)) {
            rc = catalog->fetch();
        }
    } else {
        postState("HY000", kNoStatement);
    }
    MemoryRecordset& rows = installResult(*this);
    bool described = false;
    while (succeeded(rc)) {
        const CatalogColumn column = readCatalogColumn(*catalog);
        // Other tables may answer too: the PostgreSQL catalog query ignores
        // letter case, an adapted driver's SQLColumns gets the name without
        // its escapes, and an unqualified name matches in every schema.
        if (column.table == name->table && (!exactSchema || column.schema == name->schema)) {
            appendDescriptionRow(*this, rows, column, identity, postgres);
            described = true;
        }
        rc = catalog->fetch();
    }
    // A table without columns exists all the same where the server said so.
    if (rc == SQL_NO_DATA && !described && !postgres) {
        return noSuchTable(shown);
    }
    return endOfAnswer(catalog.get(), rc);
}

SQLRETURN MySQLImpersonatorStatement::noSuchTable(const std::string& shown) {
    // Said as the server says it.
    diagnostics_.prependRecord("42S02", kNoSuchTableNative, "Table '" + shown + "' doesn't exist",
                               -1, -1);
    return SQL_ERROR;
}

// --- SELECT LAST_INSERT_ID() --------------------------------------------------------

SQLRETURN MySQLImpersonatorStatement::selectLastInsertId() {
    prepareLocalAnswer(kLastInsertIdColumns);
    const DatabaseFamily family = databaseFamily();
    const auto* found =
        std::find_if(std::begin(kLastInsertIdQueries), std::end(kLastInsertIdQueries),
                     [family](const LastInsertIdQuery& row) { return row.family == family; });
    if (found == std::end(kLastInsertIdQueries)) {
        installResult(*this);
        postState("HYC00", kNoLastInsertId);
        return SQL_ERROR;
    }
    TemporaryStatement temporary = makeTemporaryStatement();
    SQLRETURN rc = SQL_ERROR;
    if (temporary) {
        rc = temporary->executeQuery(found->query, 0);
        if (succeeded(rc)) {
            rc = temporary->fetch();
        }
    } else {
        postState("HY000", kNoStatement);
    }
    MemoryRecordset& rows = installResult(*this);
    while (succeeded(rc)) {
        // A NULL identity (nothing generated yet) shows as an empty text.
        const std::string value = readText(*temporary, 1);
        rows.appendRow();
        rows.setTextCell(1, value);
        rc = temporary->fetch();
    }
    return endOfAnswer(temporary.get(), rc);
}

SQLRETURN MySQLImpersonatorStatement::endOfAnswer(Statement* source, SQLRETURN rc) {
    rc = endOfRows(rc);
    // The adapted source's reason (PostgreSQL's "lastval is not yet
    // defined" before any sequence was used) goes before the application.
    return source != nullptr && !succeeded(rc) ? repostFirstRecord(*source, rc) : rc;
}
