// The MySQL face's execution path on the DB2 stand-in, which also answers
// as PostgreSQL when told to: the text that reaches the adapted driver for
// each database family, the DB2 LUW pattern parameters, the select-list
// rewriting with its column-type load, the local answers, and the text
// routines on their own.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "driver/adapter/DialectText.h"
#include "driver/adapter/TarvexConnection.h"
#include "driver/core/Statement.h"
#include "tests/adapter/RepeaterTestSupport.h"
#include "tests/support/SevrinJournalText.h"

using namespace repeater_test;

namespace {

// A connection of the MySQL face on the stand-in: "luw" and "400" are DB2
// identities, any other text the DBMS name it reports.
struct Face {
    explicit Face(const std::string& dbms, const std::vector<std::string>& commands = {},
                  OdbcSandbox::Keys keys = {})
        : dsns("", std::move(keys)) {
        if (dbms == "luw" || dbms == "400") {
            dsns.library.control("identity", dbms);
        } else {
            dsns.library.control("info", "SQL_DBMS_NAME|" + dbms);
        }
        for (const std::string& command : commands) {
            const auto blank = command.find(' ');
            dsns.library.control(command.substr(0, blank), command.substr(blank + 1));
        }
        EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS)
            << describe(records(connection));
        dsns.library.clearJournal();
    }
    // Runs a text on a new statement: its result and its first record.
    std::pair<SQLRETURN, std::string> run(const std::string& text,
                                          SQLINTEGER* parameter = nullptr) {
        std::unique_ptr<Statement> statement(connection.createStatement());
        if (parameter != nullptr) {
            statement->bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, parameter,
                                     0, nullptr);
        }
        const SQLRETURN rc = statement->execDirect(sqlText(text), SQL_NTS);
        SQLCHAR state[6] = {};
        SQLCHAR message[512] = {};
        SQLINTEGER native = 0;
        std::string record;
        if (statement->getDiagRec(1, state, &native, message, sizeof message, nullptr) ==
            SQL_SUCCESS) {
            record = std::string(reinterpret_cast<char*>(state)) + " " +
                     reinterpret_cast<char*>(message);
        }
        statement->freeStmt(SQL_DROP);
        return {rc, record};
    }
    // The texts the stand-in executed, unquoted.
    std::vector<std::string> executed() const { return journalTexts(dsns.calls("SQLExecDirect")); }
    std::string sent() const {
        const auto texts = executed();
        return texts.empty() ? "<nothing>" : texts.back();
    }
    bool journaled(const std::string& start, const std::string& part = "") const {
        const auto lines = dsns.library.journalLines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind(start, 0) == 0 && line.find(part) != std::string::npos;
        });
    }

    SevrinDsns dsns;
    RecordingEnvironment environment{true};
    TarvexConnection connection{&environment};
};

std::string testName(const char* text) {
    std::string name = text;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

// --- The rules, one text each ----------------------------------------------------------

struct RuleCase {
    const char* name;
    const char* dbms;
    const char* input;
    const char* expected;
};

// Short names such as t, a or s begin keywords and stay bare: the texts use
// longer ones.
const RuleCase kRules[] = {
    {"bare words quoted", "PostgreSQL", "select name from people where id = 5",
     R"(select "name" from "people" where "id" = 5)"},
    {"backquotes outside literals only", "PostgreSQL",
     "SELECT `name` FROM `items` WHERE note = 'x`y'",
     R"(SELECT "name" FROM "items" WHERE "note" = 'x`y')"},
    {"dayofweek keeps precedence", "PostgreSQL", "SELECT DAYOFWEEK(born) * 2 FROM items",
     R"(SELECT (1+EXTRACT(DOW FROM "born")) * 2 FROM "items")"},
    {"dayofweek any case, nested, not in literals", "PostgreSQL",
     "select dayofweek(DAYOFWEEK(born)) from items where note = 'DAYOFWEEK(born)'",
     R"(select (1+EXTRACT(DOW FROM (1+EXTRACT(DOW FROM "born")))) from "items" where "note" = 'DAYOFWEEK(born)')"},
    {"second truncated at its own parenthesis", "PostgreSQL",
     "SELECT EXTRACT(SECOND FROM (ts) + qty) FROM items",
     R"(SELECT TRUNC(EXTRACT( SECOND FROM ("ts") + "qty")) FROM "items")"},
    {"quoted column compared case-blind", "PostgreSQL",
     "SELECT id FROM items WHERE name LIKE 'ab%'",
     R"(SELECT "id" FROM "items" WHERE "name"::varchar ILIKE 'ab%')"},
    {"zero dates compared", "PostgreSQL",
     "SELECT id FROM items WHERE born='0000-00-00' OR ts='0000-00-00 00:00:00'",
     R"(SELECT "id" FROM "items" WHERE "born" IS NULL OR "ts" IS NULL)"},
    {"empty date escape lists", "400",
     "SELECT id FROM items WHERE born IN ({d ''}) OR ts IN ({ts ''}) OR tm IN ({t ''})",
     R"(SELECT "id" FROM "items" WHERE "born"  IS NULL OR "ts"  IS NULL OR "tm"  IS NULL)"},
    {"zero date assigned in SET stores NULL", "PostgreSQL",
     "UPDATE items SET born='0000-00-00', note='x', ts='0000-00-00 00:00:00' WHERE "
     "born='0000-00-00'",
     R"(UPDATE "items" SET "born"=NULL, "note"='x', "ts"=NULL WHERE "born" IS NULL)"},
    {"subquery in SET keeps its comparison", "luw",
     "UPDATE items SET born=(SELECT born FROM people WHERE born='0000-00-00')",
     R"(UPDATE "items" SET "born"=(SELECT "born" FROM "people" WHERE "born" IS NULL))"},
    {"time escape keeps .999 on PostgreSQL", "PostgreSQL",
     "SELECT id FROM items WHERE tm = {t '10:00:00.999'}",
     R"(SELECT "id" FROM "items" WHERE "tm" = {t '10:00:00.999'})"},
    {"time escape loses .999 on DB2 LUW", "luw",
     "SELECT id FROM items WHERE tm = {t '10:00:00.999'}",
     R"(SELECT "id" FROM "items" WHERE "tm" = {t '10:00:00'})"},
    {"time escape loses .999 on DB2 400", "400",
     "SELECT id FROM items WHERE tm = {t '10:00:00.999'}",
     R"(SELECT "id" FROM "items" WHERE "tm" = {t '10:00:00'})"},
    {"slash-backslash inside DB2 patterns only", "400",
     R"(SELECT id FROM items WHERE name LIKE '%a/\b%' OR note = 'x/\y')",
     R"(SELECT "id" FROM "items" WHERE "name" LIKE '%a\b%' OR "note" = 'x/\y')"},
    {"DB2 400 keeps pattern literals", "400", "SELECT id FROM items WHERE name LIKE '%x%'",
     R"(SELECT "id" FROM "items" WHERE "name" LIKE '%x%')"},
    {"DB2 has no PostgreSQL rules", "luw", "SELECT DAYOFWEEK(born) FROM items WHERE id = 1",
     R"(SELECT DAYOFWEEK("born") FROM "items" WHERE "id" = 1)"},
    {"a pattern that is not a whole literal stays", "luw",
     "SELECT id FROM items WHERE name LIKE '%a%b' AND note = ' LIKE ''%q%'''",
     R"(SELECT "id" FROM "items" WHERE "name" LIKE '%a%b' AND "note" = ' LIKE ''%q%''')"},
    {"another database gets only the common rules", "Ingres",
     "SELECT DAYOFWEEK(born) FROM items WHERE born='0000-00-00'",
     R"(SELECT DAYOFWEEK("born") FROM "items" WHERE "born" IS NULL)"},
    {"lower-case set sql_mode reaches the database", "PostgreSQL", "set sql_mode=''",
     R"(set "sql_mode"='')"},
    {"lower-case empty date list", "PostgreSQL", "SELECT id FROM items WHERE born in ({d ''})",
     R"(SELECT "id" FROM "items" WHERE "born"  IS NULL)"},
    {"PostgreSQL keeps FOR UPDATE", "PostgreSQL", "SELECT id FROM items FOR UPDATE",
     R"(SELECT "id" FROM "items" FOR UPDATE)"},
};

class Rules : public testing::TestWithParam<RuleCase> {};

TEST_P(Rules, TextSentToTheAdaptedDriver) {
    Face face(GetParam().dbms);
    EXPECT_EQ(face.run(GetParam().input).first, SQL_SUCCESS);
    EXPECT_EQ(face.sent(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(DialectRewriting, Rules, testing::ValuesIn(kRules),
                         [](const auto& info) { return testName(info.param.name); });

// --- Select-list rewriting ----------------------------------------------------------------

#define TS_OF(item)                                            \
    "CASE WHEN EXTRACT(MS FROM " item ")>0 THEN TO_CHAR(" item \
    ",'YYYY-MM-DD HH24:MI:SS.MS') ELSE TO_CHAR(" item ",'YYYY-MM-DD HH24:MI:SS') END"

struct SelectCase {
    const char* name;
    const char* dbms;
    bool loaded;  // SQLColumns ran for the table first
    const char* input;
    const char* expected;
};

const SelectCase kSelects[] = {
    {"timestamp labelled", "PostgreSQL", true, "SELECT ts FROM ITEMS",
     "SELECT " TS_OF(R"("ts")") R"( AS "ts" FROM "ITEMS")"},
    {"column named twice rewritten twice", "PostgreSQL", true, "SELECT ts,ts FROM ITEMS",
     "SELECT " TS_OF(R"("ts")") R"( AS "ts",)" TS_OF(R"("ts")") R"( AS "ts" FROM "ITEMS")"},
    {"own alias kept", "PostgreSQL", true, "SELECT it.ts AS stamp FROM ITEMS it",
     "SELECT " TS_OF(R"("it"."ts")") R"( AS "stamp" FROM "ITEMS" "it")"},
    {"time column with its leading blank", "PostgreSQL", true, "SELECT id, tm FROM ITEMS",
     R"(SELECT "id",CASE WHEN EXTRACT(MS FROM  "tm")>0 THEN TO_CHAR( "tm",'HH24:MI:SS.MS') )"
     R"(ELSE TO_CHAR( "tm",'HH24:MI:SS') END AS "tm" FROM "ITEMS")"},
    {"list ends at the statement's own FROM", "PostgreSQL", true,
     "SELECT DAYOFWEEK(born),ts FROM ITEMS",
     R"(SELECT (1+EXTRACT(DOW FROM "born")),)" TS_OF(R"("ts")") R"( AS "ts" FROM "ITEMS")"},
    {"lower-case from is not rewritten", "PostgreSQL", true, "select ts from ITEMS",
     R"(select "ts" from "ITEMS")"},
    {"unknown unqualified table is not loaded", "PostgreSQL", false, "SELECT ts FROM ITEMS",
     R"(SELECT "ts" FROM "ITEMS")"},
    {"schema-qualified table forces a load", "PostgreSQL", false, "SELECT ts FROM APP.ITEMS",
     "SELECT " TS_OF(R"("ts")") R"( AS "ts" FROM "APP"."ITEMS")"},
    {"FOR UPDATE forces a load", "PostgreSQL", false, "SELECT ts FROM ITEMS FOR UPDATE",
     "SELECT " TS_OF(R"("ts")") R"( AS "ts" FROM "ITEMS" FOR UPDATE)"},
    {"Redshift drops FOR UPDATE and rewrites nothing", "Redshift", true,
     "SELECT ts FROM ITEMS FOR UPDATE", R"(SELECT "ts" FROM "ITEMS")"},
    {"DB2 clob as varchar", "luw", false, "SELECT DOC, NAME FROM APP.ITEMS",
     R"(SELECT VARCHAR("DOC", 16383) AS "DOC", "NAME" FROM "APP"."ITEMS")"},
};

class Selects : public testing::TestWithParam<SelectCase> {};

TEST_P(Selects, ItemsRewrittenInPlace) {
    const SelectCase& c = GetParam();
    const bool redshift = std::string(c.dbms) == "Redshift";
    // Untraced statements take shortcuts that must not change the outcome.
    for (const bool tracing : {true, false}) {
        SCOPED_TRACE(tracing ? "traced" : "untraced");
        Face face(redshift ? "PostgreSQL" : c.dbms,
                  {"catalog SQLColumns|ITEMS", "row \\N|APP|ITEMS|TS|93|timestamp",
                   "row \\N|APP|ITEMS|TM|92|time", "row \\N|APP|ITEMS|DOC|-350|CLOB",
                   "row \\N|APP|ITEMS|NAME|12|VARCHAR"},
                  redshift ? OdbcSandbox::Keys{{"Redshift", "YES"}} : OdbcSandbox::Keys{});
        face.environment.setTracing(tracing);
        if (c.loaded) {
            std::unique_ptr<Statement> catalog(face.connection.createStatement());
            ASSERT_EQ(
                catalog->columns(nullptr, 0, nullptr, 0, sqlText("ITEMS"), SQL_NTS, nullptr, 0),
                SQL_SUCCESS);
            catalog->freeStmt(SQL_DROP);
            face.dsns.library.clearJournal();
        }
        EXPECT_EQ(face.run(c.input).first, SQL_SUCCESS);
        EXPECT_EQ(face.sent(), c.expected);
        const bool loads = !c.loaded && std::string(c.expected).find("CASE") != std::string::npos;
        EXPECT_EQ(face.journaled("SQLColumns"), loads || std::string(c.dbms) == "luw");
    }
}

INSTANTIATE_TEST_SUITE_P(DialectRewriting, Selects, testing::ValuesIn(kSelects),
                         [](const auto& info) { return testName(info.param.name); });

// --- DB2 LUW pattern parameters ----------------------------------------------------------

TEST(DialectRewriting, LuwPatternsBoundAsWideTextForOneExecution) {
    Face face("luw");
    ASSERT_EQ(
        face.run("SELECT ID FROM ITEMS WHERE NAME LIKE '%x%' AND NOTE LIKE '%y\xc3\xa9%'").first,
        SQL_SUCCESS);
    EXPECT_EQ(face.sent(), R"(SELECT "ID" FROM "ITEMS" WHERE "NAME" LIKE ? AND "NOTE" LIKE ?)");
    // UTF-32 text with its length; the size is four bytes per byte of the
    // pattern and four more.
    EXPECT_TRUE(face.journaled("  param 1 io=1 ctype=SQL_C_WCHAR sqltype=SQL_WVARCHAR size=16",
                               "ind=12 data=250000007800000025000000"))
        << face.dsns.library.journal();
    EXPECT_TRUE(face.journaled("  param 2 io=1 ctype=SQL_C_WCHAR sqltype=SQL_WVARCHAR size=24",
                               "ind=16 data=2500000079000000e900000025000000"))
        << face.dsns.library.journal();
    // Nothing stays bound to the freed buffers.
    EXPECT_TRUE(face.journaled("SQLFreeStmt", "option=3"));
    EXPECT_TRUE(face.environment.traced("// parm: 2 length: 16"));
}

TEST(DialectRewriting, LuwPatternsStayLiteralBesideMarkersOrWithoutBinding) {
    Face marked("luw");
    SQLINTEGER id = 4;
    marked.run("SELECT ID FROM ITEMS WHERE ID = ? AND NAME LIKE '%x%'", &id);
    EXPECT_EQ(marked.sent(), R"(SELECT "ID" FROM "ITEMS" WHERE "ID" = ? AND "NAME" LIKE '%x%')");
    EXPECT_FALSE(marked.journaled("SQLBindParameter", "SQL_C_WCHAR"));

    Face unbound("luw", {}, {{"ParameterBinding", "No"}});
    unbound.run("SELECT ID FROM ITEMS WHERE NAME LIKE '%x%'");
    EXPECT_EQ(unbound.sent(), R"(SELECT "ID" FROM "ITEMS" WHERE "NAME" LIKE '%x%')");
    EXPECT_FALSE(unbound.journaled("SQLBindParameter"));
}

// --- Dispatch and outcome -------------------------------------------------------------------

TEST(DialectRewriting, LocalTextsNeverReachTheAdaptedDriverAsWritten) {
    const struct {
        const char* input;
        const char* call;  // what the local answer asks of the adapted driver
        const char* part;
    } cases[] = {
        {"SET SQL_MODE='ANSI'", "", ""},
        {"describe `people`", "SQLColumns", "table=\"people\""},
        {"describe people", "SQLColumns", "table=\"people\""},
        {"describe \"people\" ", "SQLColumns", "table=\"people\""},
        {"describe  people ;", "SQLColumns", "table=\"people\""},
        {"describe ", "", ""},
        {"describe x", "SQLColumns", "table=\"x\""},
        {"SELECT LAST_INSERT_ID() AS id", "SQLExecDirect", "IDENTITY_VAL_LOCAL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        Face face("luw", {"result *", "column VAL|INTEGER", "row 5"});
        // The stand-in's catalog has no tables: a described one is not
        // found, and a describe without a name is an error too.
        const bool fails = std::string(c.input).starts_with("describe");
        EXPECT_EQ(face.run(c.input).first, fails ? SQL_ERROR : SQL_SUCCESS);
        EXPECT_EQ(face.journaled("SQLExecDirect", "describe"), false);
        EXPECT_EQ(face.journaled("SQLExecDirect", "SQL_MODE"), false);
        if (*c.call != '\0') {
            EXPECT_TRUE(face.journaled(c.call, c.part)) << face.dsns.library.journal();
        } else {
            EXPECT_FALSE(face.journaled("SQLColumns"));
            EXPECT_TRUE(face.executed().empty());
        }
    }
}

TEST(DialectRewriting, OutcomeOfTheAdaptedExecution) {
    const struct {
        const char* script;
        SQLRETURN result;
        const char* record;
        const char* next;  // the record of the next execution
    } cases[] = {
        {"rowcount 3", SQL_SUCCESS, "", ""},
        // An UPDATE that matched no row is no error.
        {"no-data", SQL_NO_DATA, "", ""},
        {"error 42601|-104|[IBM][CLI Driver][DB2/LINUXX8664] bad token", SQL_ERROR, " bad token",
         ""},
        // A lost link refuses the next execution before it starts.
        {"error 08S01|-30081|[x]link gone", SQL_ERROR, "link gone", "08S01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        Face face("luw", {R"(result UPDATE "items" SET "qty" = 1)", c.script});
        const auto [rc, record] = face.run("UPDATE items SET qty = 1");
        EXPECT_EQ(rc, c.result);
        EXPECT_EQ(record.empty(), *c.record == '\0') << record;
        EXPECT_NE(record.find(c.record), std::string::npos) << record;
        EXPECT_EQ(record.find("CLI Driver"), std::string::npos)
            << "adapted prefix kept: " << record;
        EXPECT_EQ(face.run("SELECT 1 FROM items").second.substr(0, 5), c.next);
    }
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
        {"{t '1.999.999'} .999", "{t '", "'}", ".999", "", "{t '1'} .999"},
        {"unclosed {t '1.999", "{t '", "'}", ".999", "", "unclosed {t '1"},
        {"case {T '1.999'}", "{t '", "'}", ".999", "", "case {T '1.999'}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replaceWithinDelimiters(c.text, c.open, c.close, c.token, c.replacement),
                  c.expected)
            << c.text;
    }
}

TEST(DialectText, TrimLeadingBlanksAndQuote) {
    const std::pair<std::string, std::string> cases[] = {
        {"  \"name\"", "name"}, {" ", " "},   {"", ""},         {"\"", ""},
        {"\"a", "a"},           {"a\"", "a"}, {"\t\"b\"", "b"}, {"a b", "a b"},
    };
    for (const auto& [text, expected] : cases) {
        std::string trimmed = text;
        trimLeadingBlanksAndQuote(trimmed);
        EXPECT_EQ(trimmed, expected) << "[" << text << "]";
    }
}

TEST(DialectText, BackquotesToDoubleQuotes) {
    const std::pair<std::string, std::string> cases[] = {
        {"WHERE x = 'it''s `q`' AND `y` = 1", R"(WHERE x = 'it''s `q`' AND "y" = 1)"},
        {R"(WHERE x = 'a\'`' AND `z`)", R"(WHERE x = 'a\'`' AND "z")"},
        {"`it's` = 1", R"("it's" = 1)"},
        {R"("a`b" `c`)", R"("a`b" "c")"},
        {"'unclosed `", "'unclosed `"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(backquotesToDoubleQuotes(text), expected) << text;
    }
}

// The name of a "describe " text as "schema|table"; "-" for none. The
// plain forms are described on the server (LocalAnswersPostgres).
TEST(DialectText, DescribedNames) {
    const std::pair<std::string, std::string> cases[] = {
        {"c . \"s\".`t`;", "s|t"},
        {"\"a.b\"", "|a.b"},
        {"\"say \"\"hi\"\"\"", "|say \"hi\""},
        {"people id", "|people id"},
        {"\"\"", "-"},
        {"s.", "-"},
        {"\"open", "-"},
        {"\"t\" x", "-"},
        {"a.b.c.d", "-"},
    };
    for (const auto& [text, expected] : cases) {
        const std::optional<DescribedName> name = describedName(text);
        EXPECT_EQ(name ? name->schema + "|" + name->table : "-", expected) << "[" << text << "]";
    }
}

TEST(DialectText, SelectListItemsAndTheirAliases) {
    const std::string blanks(200000, ' ');
    const std::string longName(200000, 'x');
    const struct {
        std::string list;
        std::string expression;
        bool hasAlias;
    } cases[] = {
        {" ts AS stamp", " ts", true},
        {" ts \"my \"\"stamp\"\"\"", " ts", true},
        {" a + b", " a + b", false},
        {" f(a, b) AS", " f(a, b)", true},
        {" ts \"open\"ended\"", " ts \"open\"ended\"", false},
        {" ts AS 1", " ts AS 1", false},
        // Long runs must not exhaust the stack.
        {" ts" + blanks + "stamp" + blanks, " ts", true},
        {" ts AS \"" + longName + "\"", " ts", true},
        {" ts" + blanks + "+ 1", " ts" + blanks + "+ 1", false},
    };
    for (const auto& c : cases) {
        const std::vector<SelectListItem> items = splitSelectList(c.list, 0, c.list.size());
        ASSERT_EQ(items.size(), 1U) << c.list.substr(0, 40);
        EXPECT_EQ(items[0].expression, c.expression) << c.list.substr(0, 40);
        EXPECT_EQ(items[0].hasAlias, c.hasAlias) << c.list.substr(0, 40);
    }
}

TEST(DialectText, LikePatternsTakeOnlyWholeLiterals) {
    const struct {
        const char* text;
        const char* rewritten;
        std::vector<std::string> patterns;
    } cases[] = {
        {"a LIKE '%'", "a LIKE ?", {"%"}},
        {"a LIKE '%it''s%'", "a LIKE ?", {"%it's%"}},
        {"a LIKE '%x' OR b LIKE '%z%'", "a LIKE '%x' OR b LIKE ?", {"%z%"}},
        {"a LIKE '%x%", "a LIKE '%x%", {}},
        {"a like '%x%'", "a like '%x%'", {}},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(extractLikePatterns(text), c.patterns) << c.text;
        EXPECT_EQ(text, c.rewritten);
    }
}

}  // namespace

namespace {

TEST(DialectText, TopLevelSearchesAreSafeForAnyWord) {
    for (const std::string text : {"", "a", "SELECT x FROM t", "(", "'"}) {
        EXPECT_EQ(findTopLevel(text, ""), std::string::npos) << text;
        EXPECT_EQ(findTopLevelWord(text, ""), std::string::npos) << text;
        EXPECT_EQ(findTopLevel(text, "x", text.size() + 5), std::string::npos) << text;
        EXPECT_EQ(findTopLevelWord(text, "a long word than the text"), std::string::npos);
    }
    EXPECT_EQ(findTopLevelWord("select f(from) FROM t", "from"), 15U);
    EXPECT_EQ(findTopLevel("x' FROM ' FROM t", " FROM "), 9U);
    EXPECT_EQ(findTopLevel("'it\\' FROM ' FROM t", " FROM "), 12U);
    EXPECT_EQ(findTopLevelWord("f('a\\')from') from t", "FROM"), 14U);
}

TEST(DialectText, TokensFoundInOneScan) {
    static constexpr std::string_view tokens[] = {"IN ({", "=", "Ab"};
    constexpr TokenTable table = makeTokenTable(tokens);
    const struct {
        const char* text;
        std::uint32_t expected;
    } cases[] = {
        {"", 0},  {"x in ({d ''})", 1}, {"'in ({'", 1},  {"in (", 0}, {"a=b", 2},
        {"=", 2}, {"xaB", 4},           {"IN ({ab=", 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tokensPresent(c.text, table), c.expected) << c.text;
    }
}

TEST(DialectText, CallRewritesKeepTheirOutput) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"DAYOFWEEK(d)*2", "(1+EXTRACT(DOW FROM d))*2"},
        {"dayofweek(DAYOFWEEK(d))", "(1+EXTRACT(DOW FROM (1+EXTRACT(DOW FROM d))))"},
        {"DAYOFWEEK(a)DAYOFWEEK(b)", "(1+EXTRACT(DOW FROM a))(1+EXTRACT(DOW FROM b))"},
        {"DAYOFWEEK(f(')', x)) 'DAYOFWEEK(' DAYOFWEEK(",
         "(1+EXTRACT(DOW FROM f(')', x))) 'DAYOFWEEK(' (1+EXTRACT(DOW FROM "},
        {"DAYOFWEEK(DAYOFWEEK(d)", "(1+EXTRACT(DOW FROM (1+EXTRACT(DOW FROM d))"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rewriteCallOutsideQuotes(c.text, "DAYOFWEEK(", "(1+EXTRACT(DOW FROM ", ")"),
                  c.expected)
            << c.text;
    }
    EXPECT_EQ(rewriteCallOutsideQuotes("EXTRACT(SECOND (t)) + 1", "EXTRACT(SECOND ",
                                       "TRUNC(EXTRACT( SECOND ", ")"),
              "TRUNC(EXTRACT( SECOND (t))) + 1");
    EXPECT_EQ(rewriteZeroDates("UPDATE t SET a='0000-00-00', b=f('0000-00-00', c='0000-00-00') "
                               "WHERE d='0000-00-00'"),
              "UPDATE t SET a=NULL, b=f('0000-00-00', c IS NULL) WHERE d IS NULL");
}

// Each pass over a statement is linear: doubling the text may not much more
// than double the time (a quadratic pass quadruples it).
TEST(DialectText, RewritesGrowLinearlyWithTheText) {
    const auto timeOf = [](const std::string& unit, std::size_t copies, auto rewrite) {
        std::string text;
        for (std::size_t i = 0; i < copies; ++i) {
            text += unit;
        }
        // The quickest of a few runs, so a loaded machine does not decide.
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            std::string copy = text;
            const auto start = std::chrono::steady_clock::now();
            rewrite(copy);
            best = std::min(
                best,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        return best;
    };
    const std::function<void(std::string&)> rewrites[] = {
        [](std::string& t) {
            t = rewriteCallOutsideQuotes(t, "DAYOFWEEK(", "(1+EXTRACT(DOW FROM ", ")");
        },
        [](std::string& t) { t = rewriteZeroDates("UPDATE t SET " + t + " WHERE 1=1"); },
        [](std::string& t) { extractLikePatterns(t); },
    };
    const std::string units[] = {"DAYOFWEEK(d),", "a='0000-00-00',", " x LIKE '%p%' OR"};
    for (std::size_t k = 0; k < std::size(rewrites); ++k) {
        const double small = timeOf(units[k], 4000, rewrites[k]);
        const double large = timeOf(units[k], 16000, rewrites[k]);
        // Quadratic growth takes seconds at the larger size; linear stays near 4x.
        EXPECT_LT(large, 10 * small + 0.25) << units[k];
    }
}

}  // namespace
