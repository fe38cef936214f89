// The MySQL face's execution path on a scripted connection: what text
// reaches the inner statement for each database family, the DB2 LUW
// pattern parameters, the select-list rewriting with its column-type load,
// the locally answered texts, and the text routines on their own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/adapter/DialectText.h"
#include "driver/adapter/MySQLImpersonatorConnection.h"
#include "driver/adapter/MySQLImpersonatorStatement.h"
#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/adapter/TarvexConnection.h"
#include "driver/core/Recordset.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;

namespace {

constexpr const char* kPostgres = "PostgreSQL";
constexpr const char* kDb2Luw = "DB2/LINUXX8664";
constexpr const char* kDb2400 = "DB2/400 SQL";
constexpr const char* kOther = "Ingres";

// A pattern parameter as the inner statement found it when it executed.
struct SeenParameter {
    SQLUSMALLINT number = 0;
    SQLSMALLINT valueType = 0;
    SQLSMALLINT sqlType = 0;
    SQLULEN columnSize = 0;
    SQLLEN bufferLength = 0;
    SQLLEN length = 0;
    std::wstring value;
};

// What the scripted connection answers and what reached its statements.
struct Script {
    std::string dbms = kPostgres;
    bool redshift = false;
    bool connected = true;
    bool binding = true;
    std::map<std::string, std::string> schemas;
    // Columns the cache holds from the start, and those a load adds.
    std::vector<MySQLImpersonatorConnection::ColumnType> cached;
    std::vector<MySQLImpersonatorConnection::ColumnType> loadable;
    SQLRETURN executeResult = SQL_SUCCESS;
    std::string failure;  // "STATE|message" posted by a failing execution
    SQLLEN rowCount = 0;

    std::vector<std::string> executed;
    std::vector<std::vector<SeenParameter>> parameters;
    std::vector<SQLUSMALLINT> frees;
    std::size_t liveBindings = 0;
    std::vector<std::string> loads;
    std::vector<std::string> local;
};

class RecordingRepeater : public ODBCRepeaterConnection {
  public:
    RecordingRepeater(Environment* environment, Script& script)
        : ODBCRepeaterConnection(environment), script_(script) {}
    bool usesParameterBinding() const override { return script_.binding; }

  private:
    Script& script_;
};

// Stands for the adapted driver's statement.
class RecordingInner : public Statement {
  public:
    RecordingInner(Connection* connection, Script& script)
        : Statement(connection), script_(script) {}

    SQLRETURN bindParameter(SQLUSMALLINT number, SQLSMALLINT, SQLSMALLINT valueType,
                            SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT, SQLPOINTER value,
                            SQLLEN bufferLength, SQLLEN* length) override {
        bound_[number] = {number, valueType, sqlType, columnSize, bufferLength, value, length};
        script_.liveBindings = bound_.size();
        return SQL_SUCCESS;
    }
    SQLRETURN freeStmt(SQLUSMALLINT option) override {
        script_.frees.push_back(option);
        if (option == SQL_RESET_PARAMS || option == SQL_DROP) {
            bound_.clear();
        }
        script_.liveBindings = bound_.size();
        return SQL_SUCCESS;
    }
    SQLRETURN executeQuery(std::string text, SQLULEN) override {
        script_.executed.push_back(text);
        // The bound buffers are read now, as the adapted driver would.
        std::vector<SeenParameter> seen;
        for (const auto& [number, binding] : bound_) {
            SeenParameter parameter{number,
                                    binding.valueType,
                                    binding.sqlType,
                                    binding.columnSize,
                                    binding.bufferLength,
                                    *binding.length,
                                    {}};
            const auto* units = static_cast<const SQLWCHAR*>(binding.value);
            parameter.value.assign(units, units + *binding.length / sizeof(SQLWCHAR));
            seen.push_back(parameter);
        }
        script_.parameters.push_back(seen);
        if (!script_.failure.empty()) {
            const auto bar = script_.failure.find('|');
            diagnostics_.prependRecord(script_.failure.substr(0, bar), 7,
                                       script_.failure.substr(bar + 1), -1, -1);
        }
        return script_.executeResult;
    }
    SQLRETURN rowCount(SQLLEN* count) override {
        *count = script_.rowCount;
        return SQL_SUCCESS;
    }

  private:
    struct Binding {
        SQLUSMALLINT number;
        SQLSMALLINT valueType;
        SQLSMALLINT sqlType;
        SQLULEN columnSize;
        SQLLEN bufferLength;
        SQLPOINTER value;
        SQLLEN* length;
    };
    Script& script_;
    std::map<SQLUSMALLINT, Binding> bound_;
};

class ScriptedConnection;

class RecordingStatement : public MySQLImpersonatorStatement {
  public:
    RecordingStatement(ScriptedConnection* connection, Script& script);

    SQLRETURN columns(const SQLCHAR*, SQLSMALLINT, const SQLCHAR* schema, SQLSMALLINT,
                      const SQLCHAR* table, SQLSMALLINT, const SQLCHAR*, SQLSMALLINT) override;
    SQLRETURN describeTable(const std::string& table) override {
        script_.local.push_back("describe:" + table);
        return SQL_SUCCESS;
    }
    SQLRETURN skipSetSqlMode(const std::string& mode) override {
        script_.local.push_back("sqlmode:" + mode);
        return SQL_SUCCESS;
    }
    SQLRETURN selectLastInsertId() override {
        script_.local.push_back("lastid");
        return SQL_SUCCESS;
    }
    SQLLEN storedRowCount() const { return rowCount_; }

  private:
    Script& script_;
};

class ScriptedConnection : public MySQLImpersonatorConnection {
  public:
    ScriptedConnection(Environment* environment, Script& script)
        : MySQLImpersonatorConnection(environment), script_(script) {
        inner_ = std::make_unique<RecordingRepeater>(environment, script);
    }

    Statement* createStatement() override { return new RecordingStatement(this, script_); }
    ODBCRepeaterConnection* nativeConnection() const override { return inner_.get(); }
    std::string dbmsName() override { return script_.dbms; }
    bool isRedshift() const override { return script_.redshift; }
    bool isConnected() const override { return script_.connected; }
    void setConnected(bool connected) override { script_.connected = connected; }
    std::string tableSchema(const std::string& table) const override {
        const auto found = script_.schemas.find(table);
        return found == script_.schemas.end() ? "" : found->second;
    }
    std::vector<ColumnType> getColumnsForTable(const std::string&, const std::string& table, bool,
                                               bool) const override {
        std::vector<ColumnType> out;
        for (const ColumnType& entry : script_.cached) {
            if (entry.table == table) {
                out.push_back(entry);
            }
        }
        return out;
    }
    void load(const std::string& schema, const std::string& table) {
        script_.loads.push_back(schema + "." + table);
        for (const ColumnType& entry : script_.loadable) {
            if (entry.table == table) {
                script_.cached.push_back(entry);
            }
        }
        script_.schemas[table] = schema;
    }

  private:
    Script& script_;
};

RecordingStatement::RecordingStatement(ScriptedConnection* connection, Script& script)
    : MySQLImpersonatorStatement(connection), script_(script) {
    inner_ = std::make_unique<RecordingInner>(connection, script);
}

SQLRETURN RecordingStatement::columns(const SQLCHAR*, SQLSMALLINT, const SQLCHAR* schema,
                                      SQLSMALLINT, const SQLCHAR* table, SQLSMALLINT,
                                      const SQLCHAR*, SQLSMALLINT) {
    static_cast<ScriptedConnection*>(connection_)
        ->load(schema != nullptr ? reinterpret_cast<const char*>(schema) : "",
               reinterpret_cast<const char*>(table));
    return SQL_SUCCESS;
}

// One scripted connection and a statement on it.
struct Rig {
    explicit Rig(Script initial = {}, bool tracing = false)
        : script(std::move(initial)),
          environment(tracing),
          connection(&environment, script),
          statement(std::unique_ptr<Statement>(connection.createStatement())) {}
    RecordingStatement& stmt() { return static_cast<RecordingStatement&>(*statement); }
    SQLRETURN run(const std::string& text) { return statement->execDirect(sqlText(text), SQL_NTS); }
    std::string sent() const {
        return script.executed.empty() ? "<nothing>" : script.executed.back();
    }
    std::vector<std::string> ownRecords() {
        std::vector<std::string> out;
        DiagnosticHeader& area = statement->diagnostics();
        for (SQLSMALLINT n = 1; n <= static_cast<SQLSMALLINT>(area.recordCount()); ++n) {
            char state[6] = {};
            char message[512] = {};
            SQLINTEGER native = 0;
            area.getDiagField(n, SQL_DIAG_SQLSTATE, state, sizeof state, nullptr);
            area.getDiagField(n, SQL_DIAG_NATIVE, &native, 0, nullptr);
            area.getDiagField(n, SQL_DIAG_MESSAGE_TEXT, message, sizeof message, nullptr);
            out.push_back(std::string(state) + " " + std::to_string(native) + " " + message);
        }
        return out;
    }

    Script script;
    RecordingEnvironment environment;
    ScriptedConnection connection;
    std::unique_ptr<Statement> statement;
};

MySQLImpersonatorConnection::ColumnType column(const std::string& table, const std::string& name,
                                               SQLSMALLINT type) {
    return {"public", table, name, type};
}

// --- The rules, one text each ----------------------------------------------------------

struct RuleCase {
    const char* name;
    const char* dbms;
    const char* input;
    const char* expected;
};

// Short names such as t, a or s are prefixes of keywords and stay bare, so
// the texts use longer ones.
const RuleCase kRules[] = {
    {"bare words quoted", kPostgres, "select name from people where id = 5",
     R"(select "name" from "people" where "id" = 5)"},
    {"backquotes outside literals only", kPostgres, "SELECT `name` FROM `items` WHERE note = 'x`y'",
     R"(SELECT "name" FROM "items" WHERE "note" = 'x`y')"},
    {"dayofweek keeps precedence", kPostgres, "SELECT DAYOFWEEK(born) * 2 FROM items",
     R"(SELECT (1+EXTRACT(DOW FROM "born")) * 2 FROM "items")"},
    {"dayofweek any case, not in literals", kPostgres,
     "select dayofweek(born) from items where note = 'DAYOFWEEK(born)'",
     R"(select (1+EXTRACT(DOW FROM "born")) from "items" where "note" = 'DAYOFWEEK(born)')"},
    {"dayofweek nested", kPostgres, "SELECT DAYOFWEEK(DAYOFWEEK(born)) FROM items",
     R"(SELECT (1+EXTRACT(DOW FROM (1+EXTRACT(DOW FROM "born")))) FROM "items")"},
    {"second truncated at its own parenthesis", kPostgres,
     "SELECT EXTRACT(SECOND FROM (ts) + qty) FROM items",
     R"(SELECT TRUNC(EXTRACT( SECOND FROM ("ts") + "qty")) FROM "items")"},
    {"quoted column compared case-blind", kPostgres, "SELECT id FROM items WHERE name LIKE 'ab%'",
     R"(SELECT "id" FROM "items" WHERE "name"::varchar ILIKE 'ab%')"},
    {"zero date comparison", kPostgres, "SELECT id FROM items WHERE born='0000-00-00'",
     R"(SELECT "id" FROM "items" WHERE "born" IS NULL)"},
    {"zero timestamp comparison", kOther, "SELECT id FROM items WHERE ts='0000-00-00 00:00:00'",
     R"(SELECT "id" FROM "items" WHERE "ts" IS NULL)"},
    {"empty date escape lists", kDb2400,
     "SELECT id FROM items WHERE born IN ({d ''}) OR ts IN ({ts ''}) OR tm IN ({t ''})",
     R"(SELECT "id" FROM "items" WHERE "born"  IS NULL OR "ts"  IS NULL OR "tm"  IS NULL)"},
    {"zero date assigned in SET stores NULL", kPostgres,
     "UPDATE items SET born='0000-00-00', note='x', ts='0000-00-00 00:00:00' "
     "WHERE born='0000-00-00'",
     R"(UPDATE "items" SET "born"=NULL, "note"='x', "ts"=NULL WHERE "born" IS NULL)"},
    {"subquery in SET keeps its comparison", kPostgres,
     "UPDATE items SET born=(SELECT born FROM people WHERE born='0000-00-00')",
     R"(UPDATE "items" SET "born"=(SELECT "born" FROM "people" WHERE "born" IS NULL))"},
    {"time escape keeps .999 on PostgreSQL", kPostgres,
     "SELECT id FROM items WHERE tm = {t '10:00:00.999'}",
     R"(SELECT "id" FROM "items" WHERE "tm" = {t '10:00:00.999'})"},
    {"time escape loses .999 on DB2", kDb2Luw, "SELECT id FROM items WHERE tm = {t '10:00:00.999'}",
     R"(SELECT "id" FROM "items" WHERE "tm" = {t '10:00:00'})"},
    {"slash-backslash inside DB2 patterns only", kDb2400,
     R"(SELECT id FROM items WHERE name LIKE '%a/\b%' OR note = 'x/\y')",
     R"(SELECT "id" FROM "items" WHERE "name" LIKE '%a\b%' OR "note" = 'x/\y')"},
    {"DB2/400 keeps pattern literals", kDb2400, "SELECT id FROM items WHERE name LIKE '%x%'",
     R"(SELECT "id" FROM "items" WHERE "name" LIKE '%x%')"},
    {"DB2 has no PostgreSQL rules", kDb2Luw, "SELECT DAYOFWEEK(born) FROM items WHERE id = 1",
     R"(SELECT DAYOFWEEK("born") FROM "items" WHERE "id" = 1)"},
    {"application markers keep DB2 LUW patterns", kDb2Luw,
     "SELECT id FROM items WHERE qty = ? AND name LIKE '%x%'",
     R"(SELECT "id" FROM "items" WHERE "qty" = ? AND "name" LIKE '%x%')"},
    {"a pattern that is not a whole literal stays", kDb2Luw,
     "SELECT id FROM items WHERE name LIKE '%a%b' AND note = ' LIKE ''%q%'''",
     R"(SELECT "id" FROM "items" WHERE "name" LIKE '%a%b' AND "note" = ' LIKE ''%q%''')"},
    {"lower-case set sql_mode reaches the database", kPostgres, "set sql_mode=''",
     R"(set "sql_mode"='')"},
    {"DESCRIBE in capitals reaches the database", kPostgres, "DESCRIBE people",
     R"(DESCRIBE "people")"},
    {"Redshift drops FOR UPDATE", kPostgres, "SELECT id FROM items FOR UPDATE",
     R"(SELECT "id" FROM "items")"},
    {"PostgreSQL keeps FOR UPDATE", kPostgres, "SELECT id FROM items FOR UPDATE",
     R"(SELECT "id" FROM "items" FOR UPDATE)"},
};

std::string testName(const char* text) {
    std::string name = text;
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

class Rules : public testing::TestWithParam<RuleCase> {};

TEST_P(Rules, TextSentToTheInnerStatement) {
    const RuleCase& rule = GetParam();
    Script script;
    script.dbms = rule.dbms;
    script.redshift = std::string(rule.name).rfind("Redshift", 0) == 0;
    Rig rig(script);
    ASSERT_EQ(rig.run(rule.input), SQL_SUCCESS);
    EXPECT_EQ(rig.sent(), rule.expected);
    EXPECT_TRUE(rig.script.local.empty());
}

INSTANTIATE_TEST_SUITE_P(DialectRewriting, Rules, testing::ValuesIn(kRules),
                         [](const testing::TestParamInfo<RuleCase>& info) {
                             return testName(info.param.name);
                         });

// --- Select-list rewriting ----------------------------------------------------------------

struct SelectCase {
    const char* name;
    const char* dbms;
    bool known;  // the table's schema and columns are cached already
    const char* input;
    const char* expected;
    const char* load;  // "" when no load may happen
};

const SelectCase kSelects[] = {
    {"timestamp labelled", kPostgres, true, "SELECT ts FROM items",
     R"(SELECT CASE WHEN EXTRACT(MS FROM "ts")>0 THEN TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS.MS') )"
     R"(ELSE TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS') END AS "ts" FROM "items")",
     ""},
    {"column named twice rewritten twice", kPostgres, true, "SELECT ts,ts FROM items",
     R"(SELECT CASE WHEN EXTRACT(MS FROM "ts")>0 THEN TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS.MS') )"
     R"(ELSE TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS') END AS "ts",)"
     R"(CASE WHEN EXTRACT(MS FROM "ts")>0 THEN TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS.MS') )"
     R"(ELSE TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS') END AS "ts" FROM "items")",
     ""},
    {"own alias kept", kPostgres, true, "SELECT it.ts AS stamp FROM items it",
     R"(SELECT CASE WHEN EXTRACT(MS FROM "it"."ts")>0 THEN )"
     R"(TO_CHAR("it"."ts",'YYYY-MM-DD HH24:MI:SS.MS') )"
     R"(ELSE TO_CHAR("it"."ts",'YYYY-MM-DD HH24:MI:SS') END AS "stamp" FROM "items" "it")",
     ""},
    {"time column, leading blank kept in the item", kPostgres, true, "SELECT id, tm FROM items",
     R"(SELECT "id",CASE WHEN EXTRACT(MS FROM  "tm")>0 THEN TO_CHAR( "tm",'HH24:MI:SS.MS') )"
     R"(ELSE TO_CHAR( "tm",'HH24:MI:SS') END AS "tm" FROM "items")",
     ""},
    {"list ends at the statement's own FROM", kPostgres, true,
     "SELECT DAYOFWEEK(born),ts FROM items",
     R"(SELECT (1+EXTRACT(DOW FROM "born")),CASE WHEN EXTRACT(MS FROM "ts")>0 THEN )"
     R"(TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS.MS') ELSE TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS') )"
     R"(END AS "ts" FROM "items")",
     ""},
    {"lower-case from is not rewritten", kPostgres, true, "select ts from items",
     R"(select "ts" from "items")", ""},
    {"unqualified unknown table is not loaded", kPostgres, false, "SELECT ts FROM items",
     R"(SELECT "ts" FROM "items")", ""},
    {"schema-qualified table forces a load", kPostgres, false, "SELECT ts FROM sales.items",
     R"(SELECT CASE WHEN EXTRACT(MS FROM "ts")>0 THEN TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS.MS') )"
     R"(ELSE TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS') END AS "ts" FROM "sales"."items")",
     "sales.items"},
    {"FOR UPDATE forces a load", kPostgres, false, "SELECT ts FROM items FOR UPDATE",
     R"(SELECT CASE WHEN EXTRACT(MS FROM "ts")>0 THEN TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS.MS') )"
     R"(ELSE TO_CHAR("ts",'YYYY-MM-DD HH24:MI:SS') END AS "ts" FROM "items" FOR UPDATE)",
     ".items"},
    {"DB2 clob as varchar", kDb2Luw, true, "SELECT doc,name FROM items",
     R"(SELECT VARCHAR("doc", 16383) AS "doc","name" FROM "items")", ""},
    {"DB2 clob qualified with a blank", kDb2400, true, "SELECT name, items.doc FROM items",
     R"(SELECT "name",VARCHAR( "items"."doc", 16383) AS "doc" FROM "items")", ""},
};

class Selects : public testing::TestWithParam<SelectCase> {};

TEST_P(Selects, ItemsRewrittenInPlace) {
    const SelectCase& c = GetParam();
    Script script;
    script.dbms = c.dbms;
    const bool db2 = std::string(c.dbms) != kPostgres;
    const std::vector<MySQLImpersonatorConnection::ColumnType> columns =
        db2 ? std::vector{column("items", "DOC", -350)}
            : std::vector{column("items", "ts", SQL_TYPE_TIMESTAMP),
                          column("items", "TM", SQL_TYPE_TIME)};
    if (c.known) {
        script.cached = columns;
        script.schemas["items"] = "public";
    } else {
        script.loadable = columns;
    }
    Rig rig(script);
    ASSERT_EQ(rig.run(c.input), SQL_SUCCESS);
    EXPECT_EQ(rig.sent(), c.expected);
    const std::vector<std::string> loads =
        *c.load == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.load};
    EXPECT_EQ(rig.script.loads, loads);
    // The temporary statement of a load is dropped again.
    EXPECT_EQ(std::count(rig.script.frees.begin(), rig.script.frees.end(), SQL_DROP),
              static_cast<long>(loads.size()));
}

INSTANTIATE_TEST_SUITE_P(DialectRewriting, Selects, testing::ValuesIn(kSelects),
                         [](const testing::TestParamInfo<SelectCase>& info) {
                             return testName(info.param.name);
                         });

TEST(DialectRewriting, RedshiftRewritesNoTimeColumn) {
    Script script;
    script.redshift = true;
    script.cached = {column("items", "ts", SQL_TYPE_TIMESTAMP)};
    script.schemas["items"] = "public";
    Rig rig(script);
    ASSERT_EQ(rig.run("SELECT ts FROM items FOR UPDATE"), SQL_SUCCESS);
    EXPECT_EQ(rig.sent(), R"(SELECT "ts" FROM "items")");
    EXPECT_TRUE(rig.script.loads.empty());
}

TEST(DialectRewriting, ForcedLoadIsTraced) {
    Script script;
    script.loadable = {column("items", "ts", SQL_TYPE_TIMESTAMP)};
    Rig rig(script, true);
    ASSERT_EQ(rig.run("SELECT ts FROM sales.items"), SQL_SUCCESS);
    for (const char* line :
         {"// check whether column types have been loaded for: sales.items",
          "// schema check: ", "// forcing load of time columns for: sales.items",
          "// column name: ts", "// time column: public.items.ts"}) {
        EXPECT_TRUE(rig.environment.traced(line)) << line;
    }
}

// --- DB2 LUW pattern parameters ----------------------------------------------------------

TEST(DialectRewriting, Db2LuwPatternsBecomeWideParametersForOneExecution) {
    Script script;
    script.dbms = kDb2Luw;
    Rig rig(script, true);
    ASSERT_EQ(rig.run("SELECT id FROM items WHERE name LIKE '%x%' AND note LIKE '%y''\xc3\xa9%'"),
              SQL_SUCCESS);
    EXPECT_EQ(rig.sent(), R"(SELECT "id" FROM "items" WHERE "name" LIKE ? AND "note" LIKE ?)");
    ASSERT_EQ(rig.script.parameters.size(), 1u);
    const std::vector<SeenParameter>& seen = rig.script.parameters[0];
    ASSERT_EQ(seen.size(), 2u);
    const struct {
        std::wstring value;
        SQLULEN columnSize;  // four bytes per byte of the pattern, and four
    } expected[] = {{L"%x%", 16}, {L"%y'\u00e9%", 28}};
    for (std::size_t k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(seen[k].number, k + 1);
        EXPECT_EQ(seen[k].valueType, SQL_C_WCHAR);
        EXPECT_EQ(seen[k].sqlType, SQL_WVARCHAR);
        EXPECT_EQ(seen[k].value, expected[k].value);
        EXPECT_EQ(seen[k].length, static_cast<SQLLEN>(expected[k].value.size() * sizeof(SQLWCHAR)));
        EXPECT_EQ(seen[k].bufferLength, seen[k].length);
        EXPECT_EQ(seen[k].columnSize, expected[k].columnSize);
    }
    // Nothing stays bound to the freed buffers.
    EXPECT_EQ(rig.script.frees, std::vector<SQLUSMALLINT>{SQL_RESET_PARAMS});
    EXPECT_EQ(rig.script.liveBindings, 0u);
    EXPECT_TRUE(rig.environment.traced("// on DB2/LUW"));
    EXPECT_TRUE(rig.environment.traced("// parm: 2 length: 20"));
}

TEST(DialectRewriting, Db2LuwPatternsReleasedAfterAFailedExecution) {
    Script script;
    script.dbms = kDb2Luw;
    script.executeResult = SQL_ERROR;
    script.failure = "42S02|[Sevrin][CLI Driver][DB2] no such table";
    Rig rig(script);
    EXPECT_EQ(rig.run("SELECT id FROM items WHERE name LIKE '%x%'"), SQL_ERROR);
    EXPECT_EQ(rig.script.liveBindings, 0u);
    EXPECT_EQ(rig.ownRecords(), std::vector<std::string>{"42S02 7  no such table"});
}

TEST(DialectRewriting, Db2LuwPatternsStayLiteralWithoutParameterBinding) {
    Script script;
    script.dbms = kDb2Luw;
    script.binding = false;
    Rig rig(script);
    ASSERT_EQ(rig.run("SELECT id FROM items WHERE name LIKE '%x%'"), SQL_SUCCESS);
    EXPECT_EQ(rig.sent(), R"(SELECT "id" FROM "items" WHERE "name" LIKE '%x%')");
    EXPECT_TRUE(rig.script.frees.empty());
}

// --- Dispatch, connection and results ------------------------------------------------------

TEST(DialectRewriting, LocallyAnsweredTextsNeverReachTheDatabase) {
    const struct {
        const char* input;
        const char* answer;
    } cases[] = {
        {"SET SQL_MODE='ANSI'", "sqlmode:'ANSI'"},
        {"describe `people`", "describe:people"},
        {"describe \"people\"", "describe:people"},
        {"describe people", "describe:eopl"},
        {"describe ", "describe:"},
        {"describe x", "describe:"},
        {"describe xy", "describe:"},
        {"SELECT LAST_INSERT_ID() AS id", "lastid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        Rig rig;
        EXPECT_EQ(rig.run(c.input), SQL_SUCCESS);
        EXPECT_EQ(rig.script.local, std::vector<std::string>{c.answer});
        EXPECT_TRUE(rig.script.executed.empty());
    }
}

TEST(DialectRewriting, SetSqlModeLeavesAnEmptyResult) {
    Rig rig;
    ASSERT_EQ(rig.run("SET SQL_MODE=''"), SQL_SUCCESS);
    EXPECT_NE(rig.statement->recordset(), nullptr);
    EXPECT_EQ(rig.statement->state(), 4);
}

TEST(DialectRewriting, LostConnectionRefusesBeforeRewriting) {
    Script script;
    script.connected = false;
    Rig rig(script);
    EXPECT_EQ(rig.run("SELECT 1"), SQL_ERROR);
    EXPECT_EQ(rig.ownRecords(), std::vector<std::string>{"08S01 0 Communication link failure"});
    // Reached directly, a text for the database is refused; a local one is not.
    EXPECT_EQ(rig.stmt().executeQuery("SELECT 1", 0), SQL_ERROR);
    EXPECT_EQ(rig.ownRecords().front(), "HY000 1000 Connection lost");
    EXPECT_EQ(rig.stmt().executeQuery("SELECT LAST_INSERT_ID()", 0), SQL_SUCCESS);
    EXPECT_TRUE(rig.script.executed.empty());
}

TEST(DialectRewriting, OutcomeOfTheNativeExecution) {
    const struct {
        SQLRETURN result;
        const char* failure;
        std::vector<std::string> records;
        SQLLEN storedCount;
        bool connectedAfter;
    } cases[] = {
        {SQL_SUCCESS, "", {}, 7, true},
        {SQL_SUCCESS_WITH_INFO, "", {}, 7, true},
        // An UPDATE that matched no row: no error record, a row count of its own.
        {SQL_NO_DATA, "", {}, 7, true},
        {SQL_ERROR, "42601|[vendor][driver]syntax error", {"42601 7 syntax error"}, -1, true},
        {SQL_ERROR, "08S01|[a]gone", {"08S01 7 gone"}, -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        Script script;
        script.executeResult = c.result;
        script.failure = c.failure;
        script.rowCount = 7;
        Rig rig(script);
        EXPECT_EQ(rig.stmt().executeQuery("UPDATE items SET qty = 1", 0), c.result);
        EXPECT_EQ(rig.ownRecords(), c.records);
        EXPECT_EQ(rig.stmt().storedRowCount(), c.storedCount);
        EXPECT_EQ(rig.script.connected, c.connectedAfter);
    }
}

TEST(DialectRewriting, TraceShowsTheFinishedText) {
    Rig rig(Script{}, true);
    ASSERT_EQ(rig.run("SELECT `id` FROM items"), SQL_SUCCESS);
    EXPECT_TRUE(rig.environment.traced(R"(// finalized query: SELECT "id" FROM items)"));
    EXPECT_TRUE(rig.environment.traced(R"(// quoted query: SELECT "id" FROM "items")"));
}

// --- The DB2 rules through the stand-in ---------------------------------------------------

// A connection of the MySQL face on the DB2 stand-in, answering as `identity`.
struct Db2Face {
    explicit Db2Face(const char* identity, const std::vector<std::string>& commands = {}) {
        dsns.library.control("identity", identity);
        for (const std::string& command : commands) {
            const auto blank = command.find(' ');
            dsns.library.control(command.substr(0, blank), command.substr(blank + 1));
        }
        EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS)
            << describe(records(connection));
        dsns.library.clearJournal();
    }
    SQLRETURN run(const std::string& text, SQLINTEGER* parameter = nullptr) {
        std::unique_ptr<Statement> statement(connection.createStatement());
        if (parameter != nullptr) {
            statement->bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, parameter,
                                     0, nullptr);
        }
        const SQLRETURN rc = statement->execDirect(sqlText(text), SQL_NTS);
        statement->freeStmt(SQL_DROP);
        return rc;
    }
    // The journal from the execution of `text` (written as the journal
    // quotes it) to the end.
    std::vector<std::string> fromExecution(const std::string& text) const {
        std::string quoted = "text=\"";
        for (char c : text) {
            quoted += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
        }
        quoted += "\" -> ";
        std::vector<std::string> lines = dsns.library.journalLines();
        const auto found = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind("SQLExecDirect", 0) == 0 && line.find(quoted) != std::string::npos;
        });
        return std::vector<std::string>(found, lines.end());
    }

    SevrinDsns dsns;
    RecordingEnvironment environment;
    TarvexConnection connection{&environment};
};

bool hasLine(const std::vector<std::string>& lines, const std::string& start,
             const std::string& part = "") {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.rfind(start, 0) == 0 && line.find(part) != std::string::npos;
    });
}

TEST(DialectOnDb2, LuwPatternsBoundAsWideTextAndResetAfterwards) {
    Db2Face db2("luw");
    ASSERT_EQ(db2.run("SELECT ID FROM ITEMS WHERE NAME LIKE '%x%' AND NOTE LIKE '%yz%'"),
              SQL_SUCCESS);
    const auto lines =
        db2.fromExecution(R"(SELECT "ID" FROM "ITEMS" WHERE "NAME" LIKE ? AND "NOTE" LIKE ?)");
    ASSERT_FALSE(lines.empty()) << db2.dsns.library.journal();
    // Each pattern as UTF-32 text with its length; four bytes per byte and four more as size.
    EXPECT_TRUE(hasLine(lines, "  param 1 io=1 ctype=SQL_C_WCHAR sqltype=SQL_WVARCHAR size=16",
                        "ind=12 data=250000007800000025000000"))
        << db2.dsns.library.journal();
    EXPECT_TRUE(hasLine(lines, "  param 2 io=1 ctype=SQL_C_WCHAR sqltype=SQL_WVARCHAR size=20",
                        "ind=16 data=25000000790000007a00000025000000"))
        << db2.dsns.library.journal();
    EXPECT_TRUE(hasLine(lines, "SQLFreeStmt ", "option=3")) << db2.dsns.library.journal();
}

TEST(DialectOnDb2, ApplicationMarkersKeepThePatternLiteral) {
    Db2Face db2("luw");
    SQLINTEGER id = 4;
    db2.run("SELECT ID FROM ITEMS WHERE ID = ? AND NAME LIKE '%x%'", &id);
    const auto lines =
        db2.fromExecution(R"(SELECT "ID" FROM "ITEMS" WHERE "ID" = ? AND "NAME" LIKE '%x%')");
    ASSERT_FALSE(lines.empty()) << db2.dsns.library.journal();
    EXPECT_TRUE(hasLine(lines, "  param 1 ", "ctype=SQL_C_LONG"));
    EXPECT_FALSE(hasLine(lines, "  param 2 "));
    EXPECT_FALSE(hasLine(db2.dsns.library.journalLines(), "SQLBindParameter", "ctype=SQL_C_WCHAR"));
}

TEST(DialectOnDb2, TimeEscapesAndPatternsPerForm) {
    const struct {
        const char* identity;
        const char* input;
        const char* sent;
    } cases[] = {
        {"luw", "SELECT ID FROM ITEMS WHERE TM = {t '10:00:00.999'}",
         R"(SELECT "ID" FROM "ITEMS" WHERE "TM" = {t '10:00:00'})"},
        {"400", "SELECT ID FROM ITEMS WHERE TM = {t '10:00:00.999'}",
         R"(SELECT "ID" FROM "ITEMS" WHERE "TM" = {t '10:00:00'})"},
        {"400", "SELECT ID FROM ITEMS WHERE NAME LIKE '%a/\\b%'",
         R"(SELECT "ID" FROM "ITEMS" WHERE "NAME" LIKE '%a\b%')"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        Db2Face db2(c.identity);
        EXPECT_EQ(db2.run(c.input), SQL_SUCCESS);
        EXPECT_FALSE(db2.fromExecution(c.sent).empty()) << db2.dsns.library.journal();
    }
}

TEST(DialectOnDb2, ClobItemsReadAsVarchar) {
    Db2Face db2("luw", {"catalog SQLColumns|ITEMS",
                        "row \\N|APP|ITEMS|DOC|-350|CLOB|1048576|1048576|\\N|\\N|1",
                        "row \\N|APP|ITEMS|NAME|12|VARCHAR|20|20|\\N|\\N|1"});
    ASSERT_EQ(db2.run("SELECT DOC, NAME FROM APP.ITEMS"), SQL_SUCCESS);
    const auto journal = db2.dsns.library.journalLines();
    EXPECT_TRUE(hasLine(journal, "SQLColumns", "ITEMS")) << db2.dsns.library.journal();
    EXPECT_FALSE(
        db2.fromExecution(R"(SELECT VARCHAR("DOC", 16383) AS "DOC", "NAME" FROM "APP"."ITEMS")")
            .empty())
        << db2.dsns.library.journal();
}

// --- Text routines --------------------------------------------------------------------------

TEST(DialectText, ReplaceWithinDelimiters) {
    const struct {
        const char* text;
        const char* open;
        const char* close;
        const char* token;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {R"(a LIKE '%x/\y%' AND b = '/\')", "'%", "%'", "/\\", "\\",
         R"(a LIKE '%x\y%' AND b = '/\')"},
        {R"('%a%' /\)", "'%", "%'", "/\\", "\\", R"('%a%' /\)"},
        {R"('%/\/\%')", "'%", "%'", "/\\", "\\", R"('%\\%')"},
        {"{t '10:00:00.999'} .999", "{t '", "'}", ".999", "", "{t '10:00:00'} .999"},
        {"{t '1.999.999'}", "{t '", "'}", ".999", "", "{t '1'}"},
        {"unclosed {t '1.999", "{t '", "'}", ".999", "", "unclosed {t '1"},
        {"", "'%", "%'", "x", "y", ""},
        {"case {T '1.999'}", "{t '", "'}", ".999", "", "case {T '1.999'}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replaceWithinDelimiters(c.text, c.open, c.close, c.token, c.replacement),
                  c.expected)
            << c.text;
    }
}

TEST(DialectText, TrimLeadingBlanksAndQuote) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"  \"name\"", "name"}, {" ", " "},   {"", ""},         {"\"", ""},   {"\"a", "a"},
        {"a\"", "a"},           {"  x", "x"}, {"\t\"b\"", "b"}, {"\"\"", ""}, {"a b", "a b"},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        trimLeadingBlanksAndQuote(text);
        EXPECT_EQ(text, c.expected) << "[" << c.text << "]";
    }
}

TEST(DialectText, BackquotesToDoubleQuotes) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"SELECT `a` FROM `b`", R"(SELECT "a" FROM "b")"},
        {"WHERE x = 'it''s `q`' AND `y` = 1", R"(WHERE x = 'it''s `q`' AND "y" = 1)"},
        {R"(WHERE x = 'a\'`' AND `z`)", R"(WHERE x = 'a\'`' AND "z")"},
        {"`it's` = 1", R"("it's" = 1)"},
        {R"("a`b" `c`)", R"("a`b" "c")"},
        {"'unclosed `", "'unclosed `"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(backquotesToDoubleQuotes(c.text), c.expected) << c.text;
    }
}

TEST(DialectText, LikePatternsTakeOnlyWholeLiterals) {
    const struct {
        const char* text;
        const char* rewritten;
        std::vector<std::string> patterns;
    } cases[] = {
        {"a LIKE '%x%' b LIKE '%y%'", "a LIKE ? b LIKE ?", {"%x%", "%y%"}},
        {"a LIKE '%'", "a LIKE ?", {"%"}},
        {"a LIKE '%it''s%'", "a LIKE ?", {"%it's%"}},
        {"a LIKE '%x' OR b LIKE '%z%'", "a LIKE '%x' OR b LIKE ?", {"%z%"}},
        {"a LIKE '%x%", "a LIKE '%x%", {}},
        {"a like '%x%'", "a like '%x%'", {}},
        {"'a LIKE ''%x%''' LIKE '%v%'", "'a LIKE ''%x%''' LIKE ?", {"%v%"}},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(extractLikePatterns(text), c.patterns) << c.text;
        EXPECT_EQ(text, c.rewritten);
    }
}

}  // namespace
