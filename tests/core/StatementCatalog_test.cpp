#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "driver/core/Descriptor.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/MemoryRecordset.h"
#include "driver/core/Statement.h"
#include "tests/core/StatementTestSupport.h"

using namespace stmt_test;

namespace {

const SQLCHAR* text(const char* value) {
    return reinterpret_cast<const SQLCHAR*>(value);
}

// A data source that may have no catalogs.
class CatalogConnection : public TestConnection {
  public:
    using TestConnection::TestConnection;
    std::string infoCatalogName() override { return catalogName; }
    std::string catalogName = "Y";
};

// A statement whose data source offers a few types and rows.
class TypedStatement : public Statement {
  public:
    using Statement::Statement;
    void typeInfoChar() override { addTypeInfoRow(row("CHAR", SQL_CHAR)); }
    void typeInfoTypeDate() override {
        addTypeInfoRow(row("DATE", SQL_TYPE_DATE));
        addTypeInfoRow(row("DATE2", SQL_TYPE_DATE));
    }
    void typeInfoGuid() override { addTypeInfoRow(row("UUID", SQL_GUID)); }
    void setState(StatementState state) { state_ = state; }
    bool beforeStart() const { return beforeStart_; }

  private:
    static TypeInfoRow row(const char* name, SQLSMALLINT type) {
        TypeInfoRow r;
        r.typeName = name;
        r.dataType = type;
        r.literalPrefix = "'";
        r.sqlDataType = type;
        return r;
    }
};

struct CatalogFixture : ::testing::Test {
    TestEnvironment environment;
    CatalogConnection connection{&environment};
    TypedStatement statement{&connection};

    Descriptor& ird() { return *statement.getAttrImpRowDesc(); }

    // "NAME type nullable unsigned" per IRD record, joined by "|".
    std::string columns() {
        std::string out;
        for (SQLSMALLINT i = 1; i <= ird().getCount(); ++i) {
            SQLCHAR name[64] = {};
            SQLSMALLINT nameLength = 0, type = 0, sub = 0, precision = 0, scale = 0, nullable = 0;
            SQLLEN length = 0;
            SQLSMALLINT isUnsigned = -1;
            EXPECT_EQ(ird().getDescRec(i, name, sizeof name, &nameLength, &type, &sub, &length,
                                       &precision, &scale, &nullable),
                      SQL_SUCCESS);
            ird().getDescField(i, SQL_DESC_UNSIGNED, &isUnsigned, 0, nullptr);
            out += (i > 1 ? "|" : "") + std::string(reinterpret_cast<char*>(name)) + " " +
                   std::to_string(type) + " " + std::to_string(nullable) + " " +
                   std::to_string(isUnsigned);
        }
        return out;
    }
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (SQLSMALLINT i = 1; i <= ird().getCount(); ++i) {
            SQLCHAR name[64] = {};
            ird().getDescField(i, SQL_DESC_NAME, name, sizeof name, nullptr);
            out.emplace_back(reinterpret_cast<char*>(name));
        }
        return out;
    }
    MemoryRecordset* result() { return dynamic_cast<MemoryRecordset*>(statement.recordset()); }

    // Cells 0..IRD count of row `row`, read the way a fetch reads them:
    // published into entry `index` of the IRD arrays. Records the statement
    // gave no arrays (the bookmark record, columns a test added) get some.
    std::vector<std::optional<std::string>> row(std::int64_t number, SQLULEN index = 0) {
        for (SQLSMALLINT k = 0; k <= ird().getCount(); ++k) {
            if (ird().record(k)->getDataPtr() == nullptr) {
                const SQLULEN entries = std::max<SQLULEN>(ird().getArraySize(), 1);
                ird().setRecordDataPtr(k, std::calloc(entries, 8));
                ird().setRecordIndicatorPtr(k, static_cast<SQLLEN*>(std::calloc(entries, 8)));
                ird().setRecordOctetLengthPtr(k, static_cast<SQLLEN*>(std::calloc(entries, 8)));
            }
        }
        std::vector<std::optional<std::string>> cells;
        if (result()->fetchAbsolute(number) != SQL_SUCCESS ||
            result()->loadCurrentRow(index, SQL_RD_ON) != SQL_SUCCESS) {
            return cells;
        }
        for (SQLSMALLINT k = 0; k <= ird().getCount(); ++k) {
            DescriptorRecord* record = ird().record(k);
            const auto* data = static_cast<const char* const*>(record->getDataPtr());
            if (record->getIndicatorPtr()[index] == SQL_NULL_DATA) {
                cells.emplace_back(std::nullopt);
            } else {
                cells.emplace_back(std::string(data[index], record->getOctetLengthPtr()[index]));
            }
        }
        return cells;
    }
};

using Call = std::function<SQLRETURN(Statement&)>;

struct Operation {
    const char* name;
    Call call;
    std::size_t odbc3Count;
    std::size_t odbc2Count;
};

const std::vector<Operation>& operations() {
    static const std::vector<Operation> all = {
        {"columnPrivileges",
         [](Statement& s) {
             return s.columnPrivileges(nullptr, 0, nullptr, 0, text("t"), SQL_NTS, nullptr, 0);
         },
         8, 8},
        {"columns",
         [](Statement& s) {
             return s.columns(nullptr, 0, nullptr, 0, text("t"), SQL_NTS, nullptr, 0);
         },
         18, 12},
        {"foreignKeys",
         [](Statement& s) {
             return s.foreignKeys(nullptr, 0, nullptr, 0, text("t"), SQL_NTS, nullptr, 0, nullptr,
                                  0, nullptr, 0);
         },
         14, 13},
        {"primaryKeys",
         [](Statement& s) { return s.primaryKeys(nullptr, 0, nullptr, 0, text("t"), SQL_NTS); }, 6,
         6},
        {"procedureColumns",
         [](Statement& s) {
             return s.procedureColumns(nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
         },
         19, 13},
        {"procedures",
         [](Statement& s) { return s.procedures(nullptr, 0, nullptr, 0, nullptr, 0); }, 8, 8},
        {"specialColumns",
         [](Statement& s) {
             return s.specialColumns(SQL_BEST_ROWID, nullptr, 0, nullptr, 0, text("t"), SQL_NTS,
                                     SQL_SCOPE_CURROW, SQL_NULLABLE);
         },
         8, 8},
        {"statistics",
         [](Statement& s) {
             return s.statistics(nullptr, 0, nullptr, 0, text("t"), SQL_NTS, SQL_INDEX_ALL,
                                 SQL_QUICK);
         },
         13, 13},
        {"tablePrivileges",
         [](Statement& s) { return s.tablePrivileges(nullptr, 0, nullptr, 0, text("t"), 1); }, 7,
         7},
        {"tables",
         [](Statement& s) {
             return s.tables(nullptr, 0, nullptr, 0, nullptr, 0, text("TABLE"), SQL_NTS);
         },
         5, 5},
    };
    return all;
}

TEST_F(CatalogFixture, EveryCatalogResultHasItsColumnsForOdbc3AndOdbc2) {
    // Name, SQL type, nullable and unsigned flag of each column for an
    // ODBC 3 application; an ODBC 2 one sees the names given below.
    const std::vector<std::pair<std::string, std::string>> odbc3 = {
        {"columnPrivileges",
         "TABLE_CAT 12 1 1|TABLE_SCHEM 12 1 1|TABLE_NAME 12 0 1|COLUMN_NAME 12 0 1|GRANTOR 12 1 "
         "1|GRANTEE 12 0 1|PRIVILEGE 12 0 1|IS_GRANTABLE 12 1 1"},
        {"columns",
         "TABLE_CAT 12 1 1|TABLE_SCHEM 12 1 1|TABLE_NAME 12 1 1|COLUMN_NAME 12 1 1|DATA_TYPE 5 1 "
         "1|TYPE_NAME 12 1 1|COLUMN_SIZE 4 1 1|BUFFER_LENGTH 4 1 1|DECIMAL_DIGITS 5 1 "
         "1|NUM_PREC_RADIX 5 1 1|NULLABLE 5 1 1|REMARKS 12 1 1|COLUMN_DEF 12 1 1|SQL_DATA_TYPE 5 "
         "0 1|SQL_DATETIME_SUB 5 1 1|CHAR_OCTET_LENGTH 4 1 1|ORDINAL_POSITION 4 0 1|IS_NULLABLE "
         "12 1 1"},
        {"foreignKeys",
         "PKTABLE_CAT 12 1 1|PKTABLE_SCHEM 12 1 1|PKTABLE_NAME 12 0 1|PKCOLUMN_NAME 12 0 "
         "1|FKTABLE_CAT 12 1 1|FKTABLE_SCHEM 12 1 1|FKTABLE_NAME 12 0 1|FKCOLUMN_NAME 12 0 "
         "1|KEY_SEQ 5 0 1|UPDATE_RULE 5 1 1|DELETE_RULE 5 1 1|FK_NAME 12 1 1|PK_NAME 12 1 "
         "1|DEFERRABILITY 5 1 1"},
        {"primaryKeys",
         "TABLE_CAT 12 1 1|TABLE_SCHEM 12 1 1|TABLE_NAME 12 0 1|COLUMN_NAME 12 0 1|KEY_SEQ 5 0 "
         "1|PK_NAME 12 1 1"},
        {"procedureColumns",
         "PROCEDURE_CAT 12 1 1|PROCEDURE_SCHEM 12 1 1|PROCEDURE_NAME 12 0 1|COLUMN_NAME 12 0 "
         "1|COLUMN_TYPE 5 0 1|DATA_TYPE 5 0 1|TYPE_NAME 12 0 1|COLUMN_SIZE 4 1 1|BUFFER_LENGTH 4 "
         "1 1|DECIMAL_DIGITS 5 1 1|NUM_PREC_RADIX 5 1 1|NULLABLE 5 0 1|REMARKS 12 1 "
         "1|COLUMN_DEF 12 1 1|SQL_DATA_TYPE 5 0 1|SQL_DATETIME_SUB 5 1 1|CHAR_OCTET_LENGTH 4 1 "
         "1|ORDINAL_POSITION 4 0 1|IS_NULLABLE 12 1 1"},
        {"procedures",
         "PROCEDURE_CAT 12 1 1|PROCEDURE_SCHEM 12 1 1|PROCEDURE_NAME 12 0 1|NUM_INPUT_PARAMS 5 "
         "1 1|NUM_OUTPUT_PARAMS 5 1 1|NUM_RESULT_SETS 5 1 1|REMARKS 12 1 1|PROCEDURE_TYPE 5 1 1"},
        {"specialColumns",
         "SCOPE 5 1 1|COLUMN_NAME 12 0 1|DATA_TYPE 5 0 1|TYPE_NAME 12 0 1|COLUMN_SIZE 4 1 "
         "1|BUFFER_LENGTH 4 1 1|DECIMAL_DIGITS 5 1 1|PSEUDO_COLUMN 5 1 1"},
        {"statistics",
         "TABLE_CAT 12 1 1|TABLE_SCHEM 12 1 1|TABLE_NAME 12 0 1|NON_UNIQUE 5 1 "
         "1|INDEX_QUALIFIER 12 1 1|INDEX_NAME 12 1 1|TYPE 5 0 1|ORDINAL_POSITION 5 1 "
         "1|COLUMN_NAME 12 1 1|ASC_OR_DESC 12 1 1|CARDINALITY 4 1 1|PAGES 4 1 1|FILTER_CONDITION "
         "12 1 1"},
        {"tablePrivileges",
         "TABLE_CAT 12 1 1|TABLE_SCHEM 12 1 1|TABLE_NAME 12 0 1|GRANTOR 12 1 1|GRANTEE 12 0 "
         "1|PRIVILEGE 12 0 1|IS_GRANTABLE 12 1 1"},
        {"tables",
         "TABLE_CAT 12 1 1|TABLE_SCHEM 12 1 1|TABLE_NAME 12 1 1|TABLE_TYPE 12 1 1|REMARKS 12 1 "
         "1"},
    };
    const std::vector<std::pair<std::string, std::string>> odbc2Names = {
        {"columnPrivileges",
         "TABLE_QUALIFIER TABLE_OWNER TABLE_NAME COLUMN_NAME GRANTOR GRANTEE "
         "PRIVILEGE IS_GRANTABLE"},
        {"columns",
         "TABLE_QUALIFIER TABLE_OWNER TABLE_NAME COLUMN_NAME DATA_TYPE TYPE_NAME "
         "PRECISION LENGTH SCALE RADIX NULLABLE REMARKS"},
        {"foreignKeys",
         "PKTABLE_QUALIFIER PKTABLE_OWNER PKTABLE_NAME PKCOLUMN_NAME "
         "FKTABLE_QUALIFIER FKTABLE_OWNER FKTABLE_NAME FKCOLUMN_NAME KEY_SEQ "
         "UPDATE_RULE DELETE_RULE FK_NAME PK_NAME"},
        {"primaryKeys", "TABLE_QUALIFIER TABLE_OWNER TABLE_NAME COLUMN_NAME KEY_SEQ PK_NAME"},
        {"procedureColumns",
         "PROCEDURE_QUALIFIER PROCEDURE_OWNER PROCEDURE_NAME COLUMN_NAME "
         "COLUMN_TYPE DATA_TYPE TYPE_NAME PRECISION LENGTH SCALE RADIX "
         "NULLABLE REMARKS"},
        {"procedures",
         "PROCEDURE_QUALIFIER PROCEDURE_OWNER PROCEDURE_NAME NUM_INPUT_PARAMS "
         "NUM_OUTPUT_PARAMS NUM_RESULT_SETS REMARKS PROCEDURE_TYPE"},
        {"specialColumns",
         "SCOPE COLUMN_NAME DATA_TYPE TYPE_NAME PRECISION LENGTH SCALE PSEUDO_COLUMN"},
        {"statistics",
         "TABLE_QUALIFIER TABLE_OWNER TABLE_NAME NON_UNIQUE INDEX_QUALIFIER "
         "INDEX_NAME TYPE SEQ_IN_INDEX COLUMN_NAME COLLATION CARDINALITY PAGES "
         "FILTER_CONDITION"},
        {"tablePrivileges",
         "TABLE_QUALIFIER TABLE_OWNER TABLE_NAME GRANTOR GRANTEE PRIVILEGE IS_GRANTABLE"},
        {"tables", "TABLE_QUALIFIER TABLE_OWNER TABLE_NAME TABLE_TYPE REMARKS"},
    };
    for (std::size_t i = 0; i < operations().size(); ++i) {
        const Operation& op = operations()[i];
        ASSERT_EQ(odbc3[i].first, op.name);
        ASSERT_EQ(odbc2Names[i].first, op.name);

        environment.setAttrOdbcVersion(SQL_OV_ODBC3);
        ASSERT_EQ(op.call(statement), SQL_SUCCESS) << op.name;
        EXPECT_EQ(columns(), odbc3[i].second) << op.name;
        EXPECT_EQ(ird().getCount(), static_cast<SQLSMALLINT>(op.odbc3Count)) << op.name;
        EXPECT_EQ(statement.state(), StatementState::ExecutedWithResults) << op.name;
        EXPECT_EQ(result()->rowCount(), 0U) << op.name;

        environment.setAttrOdbcVersion(SQL_OV_ODBC2);
        ASSERT_EQ(op.call(statement), SQL_SUCCESS) << op.name;
        std::string joined;
        for (const std::string& name : names()) {
            joined += (joined.empty() ? "" : " ") + name;
        }
        EXPECT_EQ(joined, odbc2Names[i].second) << op.name;
        EXPECT_EQ(ird().getCount(), static_cast<SQLSMALLINT>(op.odbc2Count)) << op.name;

        // An ODBC 3.8 application is no ODBC 2 one: it gets every column.
        environment.setAttrOdbcVersion(380);
        ASSERT_EQ(op.call(statement), SQL_SUCCESS) << op.name;
        EXPECT_EQ(ird().getCount(), static_cast<SQLSMALLINT>(op.odbc3Count)) << op.name;
    }
}

TEST_F(CatalogFixture, ACatalogResultIsAStaticReadOnlyCursorBeforeItsFirstRow) {
    statement.setAttrConcurrency(SQL_CONCUR_LOCK);
    ASSERT_NE(statement.getAttrConcurrency(), SQLUINTEGER{SQL_CONCUR_READ_ONLY});
    ASSERT_EQ(operations().back().call(statement), SQL_SUCCESS);
    EXPECT_EQ(statement.getAttrConcurrency(), SQLUINTEGER{SQL_CONCUR_READ_ONLY});
    EXPECT_EQ(statement.getAttrCursorType(), SQLUINTEGER{SQL_CURSOR_STATIC});
    EXPECT_TRUE(statement.beforeStart());
    EXPECT_EQ(result()->fetchNext(), SQL_NO_DATA);
}

TEST_F(CatalogFixture, TheCatalogNameIsCheckedOnlyWhereTheSourceHasNoCatalogs) {
    struct Case {
        const char* name;
        std::string catalogName;
        std::function<SQLRETURN(Statement&)> call;
        SQLRETURN expected;
    };
    const auto tablesIn = [](const char* catalog, SQLSMALLINT length) {
        return [=](Statement& s) {
            return s.tables(text(catalog), length, nullptr, 0, nullptr, 0, nullptr, 0);
        };
    };
    const std::vector<Case> cases = {
        {"no catalog", "N", tablesIn(nullptr, 0), SQL_SUCCESS},
        {"null catalog with a length", "N", tablesIn(nullptr, 5), SQL_SUCCESS},
        {"empty catalog", "N", tablesIn("", SQL_NTS), SQL_SUCCESS},
        {"percent", "N", tablesIn("%", SQL_NTS), SQL_SUCCESS},
        {"percent by length", "N", tablesIn("%sales", 1), SQL_SUCCESS},
        {"length 0 reads nothing", "N", tablesIn("sales", 0), SQL_SUCCESS},
        {"a name", "N", tablesIn("sales", SQL_NTS), SQL_ERROR},
        {"a name when catalogs exist", "Y", tablesIn("sales", SQL_NTS), SQL_SUCCESS},
        {"foreign keys, foreign catalog", "N",
         [](Statement& s) {
             return s.foreignKeys(text(""), SQL_NTS, nullptr, 0, text("t"), SQL_NTS, text("x"),
                                  SQL_NTS, nullptr, 0, text("u"), SQL_NTS);
         },
         SQL_ERROR},
        {"foreign keys, primary catalog", "N",
         [](Statement& s) {
             return s.foreignKeys(text("x"), 1, nullptr, 0, text("t"), SQL_NTS, nullptr, 0, nullptr,
                                  0, text("u"), SQL_NTS);
         },
         SQL_ERROR},
        {"special columns", "N",
         [](Statement& s) {
             return s.specialColumns(SQL_BEST_ROWID, text("x"), SQL_NTS, nullptr, 0, text("t"),
                                     SQL_NTS, SQL_SCOPE_CURROW, SQL_NULLABLE);
         },
         SQL_ERROR},
    };
    for (const Case& c : cases) {
        connection.catalogName = c.catalogName;
        // A type-information result stands before each call.
        ASSERT_EQ(statement.getTypeInfo(SQL_ALL_TYPES), SQL_SUCCESS);
        MemoryRecordset* before = result();
        EXPECT_EQ(c.call(statement), c.expected) << c.name;
        if (c.expected == SQL_ERROR) {
            EXPECT_EQ(StatementFixture::stateOf(statement, 1), "HYC00") << c.name;
            EXPECT_EQ(statement.diagnostics().recordCount(), 1U) << c.name;
            // The earlier result is untouched.
            EXPECT_EQ(result(), before) << c.name;
            EXPECT_EQ(ird().getCount(), 19) << c.name;
            EXPECT_EQ(result()->rowCount(), 4U) << c.name;
        } else {
            EXPECT_NE(ird().getCount(), 19) << c.name;
        }
    }
}

TEST_F(CatalogFixture, TypeInformationCallsTheHooksOfTheAskedType) {
    struct Case {
        SQLSMALLINT dataType;
        std::vector<std::string> typeNames;
    };
    const Case cases[] = {
        {SQL_ALL_TYPES, {"CHAR", "DATE", "DATE2", "UUID"}},
        {SQL_TYPE_DATE, {"DATE", "DATE2"}},
        {SQL_DATE, {"DATE", "DATE2"}},
        {SQL_CHAR, {"CHAR"}},
        {SQL_GUID, {"UUID"}},
        {SQL_VARCHAR, {}},
        {50, {}},
    };
    environment.setAttrOdbcVersion(SQL_OV_ODBC2);
    for (const Case& c : cases) {
        ASSERT_EQ(statement.getTypeInfo(c.dataType), SQL_SUCCESS) << c.dataType;
        EXPECT_EQ(statement.state(), StatementState::ExecutedWithResults);
        // ODBC 3 names whatever the application's version.
        EXPECT_EQ(columns(),
                  "TYPE_NAME 12 0 1|DATA_TYPE 5 0 0|COLUMN_SIZE 4 1 0|LITERAL_PREFIX 12 1 "
                  "1|LITERAL_SUFFIX 12 1 1|CREATE_PARAMS 12 1 1|NULLABLE 5 0 0|CASE_SENSITIVE 5 "
                  "0 0|SEARCHABLE 5 0 0|UNSIGNED_ATTRIBUTE 5 1 0|FIXED_PREC_SCALE 5 0 "
                  "0|AUTO_UNIQUE_VALUE 5 1 0|LOCAL_TYPE_NAME 12 1 1|MINIMUM_SCALE 5 1 "
                  "0|MAXIMUM_SCALE 5 1 0|SQL_DATA_TYPE 5 0 0|SQL_DATETIME_SUB 5 1 "
                  "0|NUM_PREC_RADIX 4 1 0|INTERVAL_PRECISION 5 1 0");
        std::vector<std::string> seen;
        for (std::int64_t n = 1; n <= static_cast<std::int64_t>(result()->rowCount()); ++n) {
            seen.push_back(*row(n).at(1));
        }
        EXPECT_EQ(seen, c.typeNames) << c.dataType;
    }
}

TEST_F(CatalogFixture, TypeInformationRowsCarryEveryValueInColumnOrder) {
    ASSERT_EQ(statement.getTypeInfo(SQL_ALL_TYPES), SQL_SUCCESS);
    Statement::TypeInfoRow full;
    full.typeName = "NUMERIC";
    full.dataType = SQL_NUMERIC;
    full.columnSize = 38;
    full.createParams = "precision,scale";
    full.nullable = SQL_NULLABLE;
    full.searchable = SQL_SEARCHABLE;
    full.unsignedAttribute = SQL_FALSE;
    full.minimumScale = 0;
    full.maximumScale = -5;
    full.sqlDataType = SQL_NUMERIC;
    full.numPrecRadix = 10;
    statement.addTypeInfoRow(full);
    const std::vector<std::optional<std::string>> expected = {
        "5", "NUMERIC", "2", "38",         std::nullopt, std::nullopt, "precision,scale",
        "1", "0",       "3", "0",          "0",          std::nullopt, std::nullopt,
        "0", "-5",      "2", std::nullopt, "10",         std::nullopt};
    EXPECT_EQ(row(5), expected);
}

TEST_F(CatalogFixture, RowsFillTheDeclaredCellsOnly) {
    Statement::ColumnsRow column;
    column.tableName = "orders";
    column.columnName = "id";
    column.dataType = SQL_INTEGER;
    column.remarks = "key";
    column.columnDef = "0";
    column.sqlDataType = SQL_INTEGER;
    column.ordinalPosition = 1;
    column.isNullable = "NO";

    // ODBC 2: twelve cells; the ODBC 3 values are not written even where
    // a thirteenth column exists to hold them.
    environment.setAttrOdbcVersion(SQL_OV_ODBC2);
    ASSERT_EQ(operations()[1].call(statement), SQL_SUCCESS);
    ird().addRecord("EXTRA", SQL_VARCHAR, SQL_NULLABLE, 1);
    statement.addColumnsRow(column);
    std::vector<std::optional<std::string>> cells = row(1);
    ASSERT_EQ(cells.size(), 14U);
    EXPECT_EQ(cells[0], "1");
    EXPECT_EQ(cells[1], std::nullopt);
    EXPECT_EQ(cells[3], "orders");
    EXPECT_EQ(cells[5], "4");
    EXPECT_EQ(cells[12], "key");
    EXPECT_EQ(cells[13], std::nullopt);

    // ODBC 3: all eighteen.
    environment.setAttrOdbcVersion(SQL_OV_ODBC3);
    ASSERT_EQ(operations()[1].call(statement), SQL_SUCCESS);
    statement.addColumnsRow(column);
    cells = row(1);
    ASSERT_EQ(cells.size(), 19U);
    EXPECT_EQ(cells[13], "0");
    EXPECT_EQ(cells[14], "4");
    EXPECT_EQ(cells[17], "1");
    EXPECT_EQ(cells[18], "NO");

    // A row for a wider result than the one held stops at its columns.
    ASSERT_EQ(operations().back().call(statement), SQL_SUCCESS);
    ird().addRecord("EXTRA", SQL_VARCHAR, SQL_NULLABLE, 1);
    statement.addColumnsRow(column);
    cells = row(1);
    ASSERT_EQ(cells.size(), 7U);
    EXPECT_EQ(cells[4], "id");
    EXPECT_EQ(cells[6], std::nullopt);
}

TEST_F(CatalogFixture, EachRowAddingOperationWritesItsColumns) {
    struct Case {
        const char* name;
        std::size_t operation;
        std::function<void(Statement&)> add;
        std::vector<std::optional<std::string>> cells;
    };
    const std::vector<Case> cases = {
        {"tables",
         9,
         [](Statement& s) {
             s.addTablesRow({std::nullopt, "public", "orders", "TABLE", ""});
         },
         {"1", std::nullopt, "public", "orders", "TABLE", ""}},
        {"statistics",
         7,
         [](Statement& s) {
             s.addStatisticsRow({std::nullopt, std::nullopt, "orders", SQLSMALLINT{0}, std::nullopt,
                                 "pk", SQL_INDEX_OTHER, SQLSMALLINT{1}, "id", "A", SQLINTEGER{100},
                                 std::nullopt, std::nullopt});
         },
         {"1", std::nullopt, std::nullopt, "orders", "0", std::nullopt, "pk", "3", "1", "id", "A",
          "100", std::nullopt, std::nullopt}},
        {"special columns",
         6,
         [](Statement& s) {
             s.addSpecialColumnsRow({SQLSMALLINT{SQL_SCOPE_SESSION}, "id", SQL_INTEGER, "int4",
                                     SQLINTEGER{10}, SQLINTEGER{4}, SQLSMALLINT{0},
                                     SQLSMALLINT{SQL_PC_NOT_PSEUDO}});
         },
         {"1", "2", "id", "4", "int4", "10", "4", "0", "1"}},
        {"primary keys",
         3,
         [](Statement& s) {
             s.addPrimaryKeysRow({"db", std::nullopt, "orders", "id", 1, "orders_pkey"});
         },
         {"1", "db", std::nullopt, "orders", "id", "1", "orders_pkey"}},
        {"column privileges",
         0,
         [](Statement& s) {
             s.addColumnPrivilegesRow(
                 {std::nullopt, "s", "orders", "id", std::nullopt, "joe", "SELECT", "NO"});
         },
         {"1", std::nullopt, "s", "orders", "id", std::nullopt, "joe", "SELECT", "NO"}},
        {"table privileges",
         8,
         [](Statement& s) {
             s.addTablePrivilegesRow(
                 {std::nullopt, std::nullopt, "orders", "root", "joe", "INSERT", std::nullopt});
         },
         {"1", std::nullopt, std::nullopt, "orders", "root", "joe", "INSERT", std::nullopt}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(operations()[c.operation].call(statement), SQL_SUCCESS) << c.name;
        c.add(statement);
        c.add(statement);
        EXPECT_EQ(result()->rowCount(), 2U) << c.name;
        EXPECT_EQ(row(1), c.cells) << c.name;
        EXPECT_EQ(row(2).at(0), "2") << c.name;
    }
}

TEST_F(CatalogFixture, RowsWithoutAnInMemoryResultGoNowhere) {
    statement.addTablesRow({std::nullopt, std::nullopt, "t", "TABLE", std::nullopt});
    statement.addTypeInfoRow({});
    EXPECT_EQ(statement.recordset(), nullptr);
}

TEST_F(CatalogFixture, EveryRowOfTheRowsetHasItsSlot) {
    ird().setArraySize(3);
    ASSERT_EQ(operations().back().call(statement), SQL_SUCCESS);
    statement.addTablesRow({"c", "s", "t", "VIEW", std::nullopt});
    // The last entry of a three-row rowset is there to be written.
    const std::vector<std::optional<std::string>> cells = row(1, 2);
    ASSERT_EQ(cells.size(), 6U);
    EXPECT_EQ(cells[4], "VIEW");
}

TEST_F(CatalogFixture, RunningOutOfMemoryForTheRowArraysGivesHY001) {
    environment.tracing = true;
    ird().setArraySize(std::numeric_limits<SQLULEN>::max() / 2);
    EXPECT_EQ(operations()[1].call(statement), SQL_ERROR);
    EXPECT_EQ(StatementFixture::stateOf(statement, 1), "HY001");
    EXPECT_EQ(statement.state(), StatementState::Allocated);
    EXPECT_NE(environment.trace.find("// Exception: std::bad_alloc\n"), std::string::npos)
        << environment.trace;

    EXPECT_EQ(statement.getTypeInfo(SQL_ALL_TYPES), SQL_ERROR);
    EXPECT_EQ(StatementFixture::stateOf(statement, 1), "HY001");
    EXPECT_EQ(statement.diagnostics().recordCount(), 1U);
    EXPECT_EQ(statement.state(), StatementState::Allocated);
}

TEST(StatementCatalogCursor, AnOpenServerCursorIsClosedOnceWhenACatalogResultReplacesIt) {
    TestEnvironment environment;
    TestConnection connection{&environment};
    connection.serverCursors = true;
    RecordingStatement statement{&connection};
    ASSERT_EQ(statement.setCursorName(text("c1"), SQL_NTS), SQL_SUCCESS);
    ASSERT_EQ(statement.execDirect(text("select 1"), SQL_NTS), SQL_SUCCESS);
    const auto closes = [&] {
        return std::count(connection.sent.begin(), connection.sent.end(), "close c1");
    };
    const auto opened = closes();
    ASSERT_EQ(statement.tables(nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_SUCCESS);
    EXPECT_EQ(closes(), opened + 1);
    // Closing the catalog result sends nothing to the data source.
    EXPECT_EQ(statement.closeCursor(), SQL_SUCCESS);
    EXPECT_EQ(closes(), opened + 1);
}

}  // namespace
