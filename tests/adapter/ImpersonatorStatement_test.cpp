// The impersonating statement on the DB2 stand-in: which side answers each
// call while the statement holds a result of its own, the diagnostics
// choice and its record limit, re-posted errors, the column and parameter
// type revisions, and what prepare hands the adapted driver.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/adapter/TarvexConnection.h"
#include "driver/adapter/TarvexStatement.h"
#include "driver/core/Descriptor.h"
#include "driver/core/MemoryRecordset.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;

namespace {

// A statement that can be given a result of its own, as a locally answered
// statement makes one: one text column "Field" with the given rows.
class ProbeStatement : public TarvexStatement {
  public:
    using TarvexStatement::TarvexStatement;

    void installOwnResult(const std::vector<std::string>& rows) {
        resetResultDescription();
        Descriptor* ird = getAttrImpRowDesc();
        ird->addRecord("Field", SQL_VARCHAR, SQL_NULLABLE, 1);
        ird->setRecordIndicatorPtr(1, static_cast<SQLLEN*>(std::calloc(1, sizeof(SQLLEN))));
        ird->setRecordOctetLengthPtr(1, static_cast<SQLLEN*>(std::calloc(1, sizeof(SQLLEN))));
        ird->setRecordDataPtr(1, std::calloc(1, sizeof(void*)));
        auto result = std::make_unique<MemoryRecordset>(this);
        for (const std::string& row : rows) {
            result->appendRow();
            result->setTextCell(1, row);
        }
        setRecordset(std::move(result));
        markBeforeStart();
        setRowCount(static_cast<SQLLEN>(rows.size()));
        state_ = StatementState::ExecutedWithResults;
    }
    bool ownResult() const { return hasOwnResult(); }
};

struct Session {
    explicit Session(const std::vector<std::string>& commands = {}) {
        for (const std::string& command : commands) {
            const auto blank = command.find(' ');
            dsns.library.control(command.substr(0, blank),
                                 blank == std::string::npos ? "" : command.substr(blank + 1));
        }
        EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
        statement = std::make_unique<ProbeStatement>(&connection);
        dsns.library.clearJournal();
    }
    bool called(const std::string& function) const { return !dsns.calls(function).empty(); }

    SevrinDsns dsns;
    RecordingEnvironment environment{true};
    TarvexConnection connection{&environment};
    std::unique_ptr<ProbeStatement> statement;
};

SQLRETURN prepareText(Statement& statement, const std::string& sql) {
    return statement.prepare(sqlText(sql), SQL_NTS);
}

// Record `n` as the application reads it: "STATE native message".
std::string diagRec(Statement& statement, SQLSMALLINT n) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[512] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = statement.getDiagRec(n, state, &native, message, sizeof message, &length);
    if (rc == SQL_NO_DATA) {
        return "<no data>";
    }
    return std::string(reinterpret_cast<char*>(state)) + " " + std::to_string(native) + " " +
           reinterpret_cast<char*>(message);
}

// The statement's own records as "STATE native message".
std::vector<std::string> ownRecordsOf(Statement& statement) {
    std::vector<std::string> out;
    DiagnosticHeader& area = statement.diagnostics();
    for (SQLSMALLINT n = 1; n <= static_cast<SQLSMALLINT>(area.recordCount()); ++n) {
        char state[6] = {};
        SQLINTEGER native = 0;
        char message[512] = {};
        area.getDiagField(n, SQL_DIAG_SQLSTATE, state, sizeof state, nullptr);
        area.getDiagField(n, SQL_DIAG_NATIVE, &native, 0, nullptr);
        area.getDiagField(n, SQL_DIAG_MESSAGE_TEXT, message, sizeof message, nullptr);
        out.push_back(std::string(state) + " " + std::to_string(native) + " " + message);
    }
    return out;
}

// A text as the journal quotes it.
std::string journalQuoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

std::string firstColumnText(Statement& statement) {
    char value[32] = {};
    SQLLEN length = 0;
    statement.getData(1, SQL_C_CHAR, value, sizeof value, &length);
    return value;
}

// --- Which side answers while the statement holds a result of its own -------------

struct ForwardingCase {
    const char* name;
    // The adapted driver's function that must (or must not) be called.
    const char* function;
    bool reachesAdapted;
    // Makes the call and tells what the application observed.
    std::function<std::string(ProbeStatement&)> call;
    const char* observed;
};

const ForwardingCase kForwardingCases[] = {
    {"Fetch", "SQLFetch", false,
     [](ProbeStatement& s) {
         const SQLRETURN rc = s.fetch();
         return std::to_string(rc) + " " + firstColumnText(s);
     },
     "0 first"},
    {"GetData", "SQLGetData", false,
     [](ProbeStatement& s) {
         s.fetch();
         s.fetch();
         return firstColumnText(s);
     },
     "second"},
    {"NumResultCols", "SQLNumResultCols", false,
     [](ProbeStatement& s) {
         SQLSMALLINT count = -1;
         s.numResultCols(&count);
         return std::to_string(count);
     },
     "1"},
    {"RowCount", "SQLRowCount", false,
     [](ProbeStatement& s) {
         SQLLEN count = -7;
         s.rowCount(&count);
         return std::to_string(count);
     },
     "2"},
    {"DescribeCol", "SQLDescribeCol", false,
     [](ProbeStatement& s) {
         SQLCHAR name[16] = {};
         SQLSMALLINT type = 0;
         s.describeCol(1, name, sizeof name, nullptr, &type, nullptr, nullptr, nullptr);
         return reinterpret_cast<char*>(name) + std::string(" ") + std::to_string(type);
     },
     "Field 12"},
    {"ColAttribute", "SQLColAttribute", false,
     [](ProbeStatement& s) {
         SQLCHAR name[16] = {};
         s.colAttribute(1, SQL_DESC_NAME, name, sizeof name, nullptr, nullptr);
         return std::string(reinterpret_cast<char*>(name));
     },
     "Field"},
    // Bindings and attributes act on the own result and reach the adapted
    // driver as well, so that its next result sees them too.
    {"BindCol", "SQLBindCol", true,
     [](ProbeStatement& s) {
         static char bound[16];
         static SQLLEN length;
         std::memset(bound, 0, sizeof bound);
         s.bindCol(1, SQL_C_CHAR, bound, sizeof bound, &length);
         s.fetch();
         return std::string(bound);
     },
     "first"},
    {"SetStmtAttr", "SQLSetStmtAttr", true,
     [](ProbeStatement& s) {
         static SQLULEN fetched;
         fetched = 99;
         s.setStmtAttr(SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
         s.fetch();
         return std::to_string(fetched);
     },
     "1"},
    {"GetStmtAttr", "SQLGetStmtAttr", true,
     [](ProbeStatement& s) {
         SQLULEN timeout = 0;
         return std::to_string(s.getStmtAttr(SQL_ATTR_QUERY_TIMEOUT, &timeout, 0, nullptr));
     },
     "0"},
    {"BindParameter", "SQLBindParameter", true,
     [](ProbeStatement& s) {
         static char value[8] = "abc";
         static SQLLEN length = SQL_NTS;
         return std::to_string(s.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 8, 0,
                                               value, sizeof value, &length));
     },
     "0"},
    {"Cancel", "SQLCancel", true, [](ProbeStatement& s) { return std::to_string(s.cancel()); },
     "0"},
    {"ParamData", "SQLParamData", true,
     [](ProbeStatement& s) {
         SQLPOINTER token = nullptr;
         // Nothing is waiting for data: the adapted driver refuses.
         return std::to_string(s.paramData(&token));
     },
     "-1"},
    {"PutData", "SQLPutData", true,
     [](ProbeStatement& s) {
         char data[] = "x";
         return std::to_string(s.putData(data, 1));
     },
     "-1"},
    {"NumParams", "SQLNumParams", true,
     [](ProbeStatement& s) {
         SQLSMALLINT count = 0;
         // Nothing was prepared: the adapted driver refuses.
         return std::to_string(s.numParams(&count));
     },
     "-1"},
};

class OwnResultForwardingTest : public ::testing::TestWithParam<ForwardingCase> {};

TEST_P(OwnResultForwardingTest, AnswersFromTheRightSide) {
    const ForwardingCase& c = GetParam();
    Session session;
    session.statement->installOwnResult({"first", "second"});
    EXPECT_EQ(c.call(*session.statement), c.observed);
    EXPECT_EQ(session.called(c.function), c.reachesAdapted) << session.dsns.library.journal();
}

INSTANTIATE_TEST_SUITE_P(Calls, OwnResultForwardingTest, ::testing::ValuesIn(kForwardingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Releasing bindings and results on both sides --------------------------------

struct ReleaseCase {
    const char* name;
    // SQLFreeStmt option given after binding, before the own result; -1 none.
    int option;
    const char* fetchedIntoBuffer;
};

const ReleaseCase kReleaseCases[] = {
    {"BoundBeforeLocalResultIsFilled", -1, "first"},
    {"UnboundBufferIsNeverWritten", SQL_UNBIND, "untouched"},
    {"ResetParamsKeepsColumnBindings", SQL_RESET_PARAMS, "first"},
};

class ReleaseTest : public ::testing::TestWithParam<ReleaseCase> {};

TEST_P(ReleaseTest, LocalResultHonoursBindingsMadeBeforeIt) {
    const ReleaseCase& c = GetParam();
    Session session;
    ProbeStatement& statement = *session.statement;
    char buffer[16] = "untouched";
    SQLLEN length = 0;
    ASSERT_EQ(statement.bindCol(1, SQL_C_CHAR, buffer, sizeof buffer, &length), SQL_SUCCESS);
    if (c.option >= 0) {
        EXPECT_EQ(statement.freeStmt(static_cast<SQLUSMALLINT>(c.option)), SQL_SUCCESS);
        const auto frees = session.dsns.calls("SQLFreeStmt");
        ASSERT_EQ(frees.size(), 1U);
        EXPECT_NE(frees[0].find("option=" + std::to_string(c.option)), std::string::npos)
            << frees[0];
    }
    statement.installOwnResult({"first"});
    EXPECT_EQ(statement.fetch(), SQL_SUCCESS);
    EXPECT_STREQ(buffer, c.fetchedIntoBuffer);
}

INSTANTIATE_TEST_SUITE_P(Options, ReleaseTest, ::testing::ValuesIn(kReleaseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ImpersonatorStatementTest, CloseEndsTheOwnResultAndReachesTheAdaptedDriver) {
    for (const bool viaCloseCursor : {false, true}) {
        Session session;
        ProbeStatement& statement = *session.statement;
        statement.installOwnResult({"first"});
        const SQLRETURN rc =
            viaCloseCursor ? statement.closeCursor() : statement.freeStmt(SQL_CLOSE);
        EXPECT_EQ(rc, SQL_SUCCESS) << viaCloseCursor;
        EXPECT_FALSE(statement.ownResult()) << viaCloseCursor;
        EXPECT_TRUE(session.called(viaCloseCursor ? "SQLCloseCursor" : "SQLFreeStmt"))
            << session.dsns.library.journal();
    }
}

TEST(ImpersonatorStatementTest, ClosingAnAdaptedResultClosesTheStatement) {
    Session session({"script result select 1\ncolumn ONE|SQL_INTEGER\nrow 1"});
    ProbeStatement& statement = *session.statement;
    ASSERT_EQ(statement.execDirect(sqlText("select 1"), SQL_NTS), SQL_SUCCESS);
    const SQLCHAR name[] = "C1";
    EXPECT_EQ(statement.setCursorName(name, SQL_NTS), SQL_ERROR);
    EXPECT_EQ(statement.closeCursor(), SQL_SUCCESS);
    EXPECT_TRUE(session.called("SQLCloseCursor"));
    EXPECT_EQ(statement.setCursorName(name, SQL_NTS), SQL_SUCCESS) << diagRec(statement, 1);
}

// --- Diagnostics -----------------------------------------------------------------

TEST(ImpersonatorStatementTest, RecordFourIsNoDataWhateverTheInnerStatementHolds) {
    Session session;
    ProbeStatement& statement = *session.statement;
    // Records of the inner statement itself, as it keeps them after a
    // failure of its own; nothing is re-posted on the outer one.
    Statement& inner = *statement.innerStatement();
    for (const char* state : {"01000", "01004", "01S02", "01S07", "42000"}) {
        inner.diagnostics().prependRecord(state, 0, "inner", -1, -1);
    }
    ASSERT_NE(diagRec(inner, 5), "<no data>");
    EXPECT_NE(diagRec(statement, 3), "<no data>");
    EXPECT_EQ(diagRec(statement, 4), "<no data>");
    EXPECT_TRUE(session.environment.traced("// getting native records"));
    EXPECT_TRUE(session.environment.traced("// getDiagRec complete"));
}

struct RepostCase {
    const char* name;
    const char* scripted;   // the adapted driver's record, "STATE|NATIVE|MESSAGE"
    const char* ownRecord;  // the re-posted record as stored
};

const RepostCase kRepostCases[] = {
    {"PrefixesFallAway", "42S02|-204|[Sevrin][CLI Driver][DB2/LINUXX8664] SQL0204N missing",
     "42S02 -204 SQL0204N missing"},
    // An empty text reads back as the SQLSTATE's own.
    {"MessageEndingInBracketIsEmpty", "42000|-1|[only][brackets]",
     "42000 -1 Syntax error or access violation"},
    {"MessageWithoutBracketIsWhole", "HY000|7|plain words", "HY000 7 plain words"},
};

class RepostTest : public ::testing::TestWithParam<RepostCase> {};

TEST_P(RepostTest, FailedExecutionIsRepostedWithoutPrefixes) {
    const RepostCase& c = GetParam();
    Session session({std::string("script result *\nerror ") + c.scripted});
    ProbeStatement& statement = *session.statement;
    ASSERT_EQ(prepareText(statement, "select 1"), SQL_SUCCESS);
    EXPECT_EQ(statement.execute(), SQL_ERROR);
    const auto own = ownRecordsOf(statement);
    ASSERT_EQ(own.size(), 1U);
    EXPECT_EQ(own[0], c.ownRecord);
    // Read back, the own record hides the inner one and carries our prefix.
    const std::string read = diagRec(statement, 1);
    EXPECT_NE(read.find("]"), std::string::npos) << read;
    EXPECT_EQ(diagRec(statement, 2), "<no data>");
    EXPECT_TRUE(session.environment.traced("// getting records that were already added"));
}

INSTANTIATE_TEST_SUITE_P(Messages, RepostTest, ::testing::ValuesIn(kRepostCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ImpersonatorStatementTest, NoDataWithoutRecordRepostsNothing) {
    Session session({"script result *\nno-data"});
    ProbeStatement& statement = *session.statement;
    ASSERT_EQ(prepareText(statement, "update t set a = 1"), SQL_SUCCESS);
    EXPECT_EQ(statement.execute(), SQL_NO_DATA);
    EXPECT_TRUE(statement.diagnostics().isEmpty());
    EXPECT_EQ(diagRec(statement, 1), "<no data>");
}

TEST(ImpersonatorStatementTest, CommunicationLinkFailureMarksTheConnectionLost) {
    Session session({"script result *\nerror 08S01|-30081|[Sevrin] link gone"});
    ProbeStatement& statement = *session.statement;
    ASSERT_EQ(prepareText(statement, "select 1"), SQL_SUCCESS);
    EXPECT_EQ(statement.execute(), SQL_ERROR);
    EXPECT_FALSE(session.connection.isConnected());
    session.dsns.library.clearJournal();
    EXPECT_EQ(statement.execute(), SQL_ERROR);
    EXPECT_EQ(ownRecordsOf(statement),
              std::vector<std::string>{"08S01 0 Communication link failure"});
    EXPECT_FALSE(session.called("SQLExecute"));
}

// --- Column and parameter type revisions ------------------------------------------

struct TypeCase {
    const char* name;
    const char* dbmsName;  // "" keeps DB2 LUW's own
    std::vector<SQLSMALLINT> reported;
};

// Columns of the scripted result, in order: -1, 92, 10, -350, -96, -95, -98,
// -99, 4.
const char* const kTypedResult =
    "result select 1\ncolumn A|-1\ncolumn B|92\ncolumn C|10\ncolumn D|-350\n"
    "column E|-96\ncolumn F|-95\ncolumn G|-98\ncolumn H|-99\ncolumn I|4";

const TypeCase kTypeCases[] = {
    {"PostgreSqlTextAndTimeAreVarchar", "PostgreSQL", {12, 12, 12, -350, -96, -95, -98, -99, 4}},
    {"Db2MapsItsOwnTypes", "", {-1, 92, 10, -1, 12, 1, -98, -1, 4}},
    {"Db2For400MapsToo", "DB2/400 SQL", {-1, 92, 10, -1, 12, 1, -98, -1, 4}},
    {"TwoLettersAreNoDb2", "DB", {-1, 92, 10, -350, -96, -95, -98, -99, 4}},
    {"PostgresInOtherCaseIsOther", "POSTGRESQL", {-1, 92, 10, -350, -96, -95, -98, -99, 4}},
};

class DescribeColTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(DescribeColTypeTest, ReportsRevisedTypes) {
    const TypeCase& c = GetParam();
    std::vector<std::string> commands;
    if (*c.dbmsName != '\0') {
        commands.push_back(std::string("info SQL_DBMS_NAME|") + c.dbmsName);
    }
    commands.push_back(std::string("script ") + kTypedResult);
    Session session(commands);
    ProbeStatement& statement = *session.statement;
    ASSERT_EQ(prepareText(statement, "select 1"), SQL_SUCCESS) << diagRec(statement, 1);
    ASSERT_EQ(statement.execute(), SQL_SUCCESS) << diagRec(statement, 1);
    std::vector<SQLSMALLINT> reported;
    for (SQLUSMALLINT column = 1; column <= c.reported.size(); ++column) {
        SQLSMALLINT type = 0;
        EXPECT_EQ(
            statement.describeCol(column, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr),
            SQL_SUCCESS);
        reported.push_back(type);
    }
    EXPECT_EQ(reported, c.reported);
}

INSTANTIATE_TEST_SUITE_P(Families, DescribeColTypeTest, ::testing::ValuesIn(kTypeCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ParamCase {
    const char* name;
    const char* dbmsName;
    const char* scripted;  // "param ..." or "param-error ..."
    SQLSMALLINT type;
    SQLULEN size;
    SQLSMALLINT digits;
    SQLSMALLINT nullable;
};

const ParamCase kParamCases[] = {
    {"FailureGivesVarchar", "", "param-error HY000|-1|cannot describe", 12, 256, 0,
     SQL_NULLABLE_UNKNOWN},
    {"PostgreSqlTimestampIsVarchar", "PostgreSQL", "param TIMESTAMP|26|6|not null", 12, 26, 6,
     SQL_NO_NULLS},
    {"PostgreSqlGuidIsVarcharWithoutDigits", "PostgreSQL", "param -11|36|3|nullable", 12, 36, 0,
     SQL_NULLABLE},
    {"Db2TimestampStays", "", "param TIMESTAMP|26|6|nullable", 93, 26, 6, SQL_NULLABLE},
    {"Db2GraphicIsMapped", "", "param -95|10|0|nullable", 1, 10, 0, SQL_NULLABLE},
};

class DescribeParamTest : public ::testing::TestWithParam<ParamCase> {};

TEST_P(DescribeParamTest, ReportsRevisedParameter) {
    const ParamCase& c = GetParam();
    std::vector<std::string> commands;
    if (*c.dbmsName != '\0') {
        commands.push_back(std::string("info SQL_DBMS_NAME|") + c.dbmsName);
    }
    commands.push_back(std::string("script result select ?\n") + c.scripted);
    Session session(commands);
    ProbeStatement& statement = *session.statement;
    ASSERT_EQ(prepareText(statement, "select ?"), SQL_SUCCESS) << diagRec(statement, 1);
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = -1;
    SQLSMALLINT nullable = -1;
    EXPECT_EQ(statement.describeParam(1, &type, &size, &digits, &nullable), SQL_SUCCESS);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(digits, c.digits);
    EXPECT_EQ(nullable, c.nullable);
    EXPECT_TRUE(session.called("SQLDescribeParam"));
}

INSTANTIATE_TEST_SUITE_P(Families, DescribeParamTest, ::testing::ValuesIn(kParamCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Prepare -----------------------------------------------------------------------

struct PrepareCase {
    const char* name;
    const char* text;
    const char* prepared;
};

const PrepareCase kPrepareCases[] = {
    {"BackquotesBecomeDoubleQuotes", "select `my col` from `t`", "select \"my col\" from \"t\""},
    {"BareIdentifiersAreQuoted", "select price from orders where qty = 1",
     "select \"price\" from \"orders\" where \"qty\" = 1"},
    {"DescribeIsNotAnsweredLocally", "describe `t`", "describe \"t\""},
};

class PrepareTest : public ::testing::TestWithParam<PrepareCase> {};

TEST_P(PrepareTest, HandsQuotedTextToTheAdaptedDriver) {
    const PrepareCase& c = GetParam();
    Session session;
    ProbeStatement& statement = *session.statement;
    statement.installOwnResult({"stale"});
    EXPECT_EQ(prepareText(statement, c.text), SQL_SUCCESS) << diagRec(statement, 1);
    EXPECT_FALSE(statement.ownResult());
    const auto prepares = session.dsns.calls("SQLPrepare");
    ASSERT_EQ(prepares.size(), 1U) << session.dsns.library.journal();
    EXPECT_NE(prepares[0].find("text=" + journalQuoted(c.prepared)), std::string::npos)
        << prepares[0];
    EXPECT_EQ(statement.execute(), SQL_SUCCESS);
    EXPECT_TRUE(session.called("SQLExecute"));
}

INSTANTIATE_TEST_SUITE_P(Texts, PrepareTest, ::testing::ValuesIn(kPrepareCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
