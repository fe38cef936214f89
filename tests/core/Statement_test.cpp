#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/core/Descriptor.h"
#include "driver/core/MemoryRecordset.h"
#include "driver/core/Statement.h"
#include "tests/core/StatementTestSupport.h"

using namespace stmt_test;

namespace {

class StatementTest : public ::testing::Test, public StatementFixture {};

SQLPOINTER asValue(SQLULEN value) {
    return reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(value));
}

TEST_F(StatementTest, NewStatementStartsWithTheDefaults) {
    EXPECT_EQ(statement.getAttrConcurrency(), SQLUINTEGER{SQL_CONCUR_READ_ONLY});
    EXPECT_EQ(statement.getAttrCursorType(), SQLUINTEGER{SQL_CURSOR_FORWARD_ONLY});
    EXPECT_EQ(statement.getAttrRetrieveData(), SQLUINTEGER{SQL_RD_ON});
    EXPECT_EQ(statement.storedRowCount(), -1);
    EXPECT_EQ(statement.storedCursorName(), "");
    EXPECT_EQ(statement.state(), StatementState::Allocated);
    EXPECT_EQ(statement.getAttrAppRowDesc(), statement.implicitArd());
    EXPECT_EQ(statement.getAttrImpRowDesc()->kind(), Descriptor::Ird);
    EXPECT_EQ(statement.getAttrImpParamDesc()->kind(), Descriptor::Ipd);
}

// Each attribute set through SQLSetStmtAttr reads back through
// SQLGetStmtAttr with its own width: the bytes past it stay as they were.
struct RoundTrip {
    SQLINTEGER attribute;
    SQLULEN value;
    std::size_t width;
};

TEST_F(StatementTest, AttributesRoundTripWithTheirWidths) {
    SQLLEN offset = 0;
    SQLUSMALLINT statuses[2] = {};
    SQLULEN processed = 0;
    const auto address = [](const void* pointer) {
        return static_cast<SQLULEN>(reinterpret_cast<std::uintptr_t>(pointer));
    };
    const RoundTrip cases[] = {
        {SQL_ATTR_CURSOR_SENSITIVITY, SQL_INSENSITIVE, 4},
        {SQL_ATTR_QUERY_TIMEOUT, 30, 4},
        {SQL_ATTR_MAX_ROWS, 0x1'0000'0005ULL, 8},
        {SQL_ATTR_NOSCAN, SQL_NOSCAN_ON, 4},
        {SQL_ATTR_MAX_LENGTH, 4096, 8},
        {SQL_ATTR_ASYNC_ENABLE, SQL_ASYNC_ENABLE_OFF, 4},
        {SQL_ATTR_ROW_BIND_TYPE, 48, 4},
        {SQL_ATTR_KEYSET_SIZE, 0x2'0000'0000ULL, 8},
        {SQL_ROWSET_SIZE, 20, 8},
        {SQL_ATTR_ROW_ARRAY_SIZE, 7, 8},
        {SQL_ATTR_SIMULATE_CURSOR, SQL_SC_UNIQUE, 4},
        {SQL_ATTR_RETRIEVE_DATA, SQL_RD_OFF, 4},
        {SQL_ATTR_USE_BOOKMARKS, SQL_UB_VARIABLE, 4},
        {SQL_ATTR_ENABLE_AUTO_IPD, SQL_TRUE, 4},
        {SQL_ATTR_FETCH_BOOKMARK_PTR, address(&offset), 8},
        {SQL_ATTR_PARAM_BIND_OFFSET_PTR, address(&offset), 8},
        {SQL_ATTR_PARAM_BIND_TYPE, 24, 4},
        {SQL_ATTR_PARAM_OPERATION_PTR, address(statuses), 8},
        {SQL_ATTR_PARAM_STATUS_PTR, address(statuses + 1), 8},
        {SQL_ATTR_PARAMS_PROCESSED_PTR, address(&processed), 8},
        {SQL_ATTR_PARAMSET_SIZE, 3, 8},
        {SQL_ATTR_ROW_BIND_OFFSET_PTR, address(&offset), 8},
        {SQL_ATTR_ROW_OPERATION_PTR, address(statuses), 8},
        {SQL_ATTR_ROW_STATUS_PTR, address(statuses + 1), 8},
        {SQL_ATTR_ROWS_FETCHED_PTR, address(&processed), 8},
        {SQL_ATTR_METADATA_ID, SQL_TRUE, 4},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.attribute);
        ASSERT_EQ(statement.setStmtAttr(c.attribute, asValue(c.value), 0), SQL_SUCCESS);
        unsigned char buffer[16];
        std::memset(buffer, 0xAB, sizeof buffer);
        SQLINTEGER length = 99;
        ASSERT_EQ(statement.getStmtAttr(c.attribute, buffer, sizeof buffer, &length), SQL_SUCCESS);
        EXPECT_EQ(length, 0);
        SQLULEN read = 0;
        std::memcpy(&read, buffer, c.width);
        EXPECT_EQ(read, c.value);
        for (std::size_t i = c.width; i < sizeof buffer; ++i) {
            EXPECT_EQ(buffer[i], 0xAB) << "byte " << i;
        }
    }
}

TEST_F(StatementTest, RowsetSizeSetsAndReadsTheRowArraySize) {
    ASSERT_EQ(statement.setStmtAttr(SQL_ROWSET_SIZE, asValue(20), SQL_NTS), SQL_SUCCESS);
    SQLULEN size = 0;
    statement.getStmtAttr(SQL_ATTR_ROW_ARRAY_SIZE, &size, 0, nullptr);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(statement.getAttrAppRowDesc()->getArraySize(), 20u);
}

TEST_F(StatementTest, ReadOnlyAndUnknownAttributes) {
    struct Case {
        SQLINTEGER attribute;
        SQLRETURN setResult;
        const char* state;
        bool written;
    };
    const Case cases[] = {
        {SQL_ATTR_ROW_NUMBER, SQL_ERROR, "HY017", true},
        {SQL_ATTR_IMP_ROW_DESC, SQL_ERROR, "HY017", true},
        {SQL_ATTR_IMP_PARAM_DESC, SQL_ERROR, "HY017", true},
        {SQL_GET_BOOKMARK, SQL_SUCCESS, "", false},
        {4242, SQL_SUCCESS, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attribute);
        EXPECT_EQ(statement.setStmtAttr(c.attribute, asValue(1), 0), c.setResult);
        EXPECT_EQ(firstState(), c.state);
        unsigned char buffer[8];
        std::memset(buffer, 0xCD, sizeof buffer);
        EXPECT_EQ(statement.getStmtAttr(c.attribute, buffer, 8, nullptr), SQL_SUCCESS);
        const bool untouched =
            std::all_of(std::begin(buffer), std::end(buffer), [](auto b) { return b == 0xCD; });
        EXPECT_EQ(!untouched, c.written);
    }
    SQLULEN rowNumber = 7;
    statement.getStmtAttr(SQL_ATTR_ROW_NUMBER, &rowNumber, 0, nullptr);
    EXPECT_EQ(rowNumber, 0u);
}

struct ClipCase {
    SQLINTEGER attribute;
    SQLULEN value;
    SQLRETURN result;
    SQLULEN stored;
};

TEST_F(StatementTest, LimitedAttributesAreClippedWithAWarning) {
    connection.maxLengthLow = 10;
    connection.maxLengthHigh = 100;
    connection.keysetMax = 20;
    connection.timeoutLow = 5;
    connection.timeoutHigh = 60;
    const ClipCase cases[] = {
        {SQL_ATTR_MAX_LENGTH, 5, SQL_SUCCESS_WITH_INFO, 10},
        {SQL_ATTR_MAX_LENGTH, 500, SQL_SUCCESS_WITH_INFO, 100},
        {SQL_ATTR_MAX_LENGTH, 0, SQL_SUCCESS, 0},
        {SQL_ATTR_MAX_LENGTH, 50, SQL_SUCCESS, 50},
        {SQL_ATTR_KEYSET_SIZE, 30, SQL_SUCCESS_WITH_INFO, 20},
        {SQL_ATTR_KEYSET_SIZE, 20, SQL_SUCCESS, 20},
        {SQL_ATTR_KEYSET_SIZE, 0, SQL_SUCCESS, 0},
        {SQL_ATTR_QUERY_TIMEOUT, 1, SQL_SUCCESS_WITH_INFO, 5},
        {SQL_ATTR_QUERY_TIMEOUT, 61, SQL_SUCCESS_WITH_INFO, 60},
        {SQL_ATTR_QUERY_TIMEOUT, 0, SQL_SUCCESS, 0},
    };
    for (const ClipCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.attribute) + " " + std::to_string(c.value));
        EXPECT_EQ(statement.setStmtAttr(c.attribute, asValue(c.value), 0), c.result);
        EXPECT_EQ(firstState(), c.result == SQL_SUCCESS ? "" : "01S02");
        SQLULEN stored = 0;
        statement.getStmtAttr(c.attribute, &stored, 0, nullptr);
        EXPECT_EQ(stored, c.stored);
    }
}

// Only state 0 accepts the four state-ruled attributes; a refusal keeps
// the stored value.
TEST_F(StatementTest, StateRuleInEveryState) {
    struct Attribute {
        SQLINTEGER attribute;
        SQLULEN value;
    };
    const Attribute attributes[] = {
        {SQL_ATTR_CONCURRENCY, SQL_CONCUR_LOCK},
        {SQL_ATTR_CURSOR_TYPE, SQL_CURSOR_STATIC},
        {SQL_ATTR_SIMULATE_CURSOR, SQL_SC_UNIQUE},
        {SQL_ATTR_USE_BOOKMARKS, SQL_UB_VARIABLE},
    };
    const struct {
        StatementState state;
        const char* sqlstate;
    } states[] = {{StatementState::Allocated, ""},
                  {StatementState::Prepared, "HY011"},
                  {StatementState::Executed, "HY011"},
                  {StatementState::ExecutedWithResults, "HY011"},
                  {StatementState::Positioned, "24000"}};
    for (const auto& s : states) {
        for (const Attribute& a : attributes) {
            SCOPED_TRACE(std::to_string(static_cast<int>(s.state)) + " / " +
                         std::to_string(a.attribute));
            StatementFixture fresh;
            fresh.connection.cursorSensitivity = SQL_INSENSITIVE;
            fresh.statement.setState(s.state);
            SQLULEN before = 0;
            fresh.statement.getStmtAttr(a.attribute, &before, 0, nullptr);
            const SQLRETURN rc = fresh.statement.setStmtAttr(a.attribute, asValue(a.value), 0);
            const std::string sqlstate = fresh.firstState();
            SQLULEN after = 0;
            fresh.statement.getStmtAttr(a.attribute, &after, 0, nullptr);
            if (s.state == StatementState::Allocated) {
                EXPECT_TRUE(rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO);
                EXPECT_EQ(after, a.value);
            } else {
                EXPECT_EQ(rc, SQL_ERROR);
                EXPECT_EQ(sqlstate, s.sqlstate);
                EXPECT_EQ(after, before);
            }
        }
    }
}

// A statement that counts how deep the cursor setters call each other.
class CountingStatement : public RecordingStatement {
  public:
    using RecordingStatement::RecordingStatement;

    SQLRETURN setAttrConcurrency(SQLUINTEGER v) override {
        return nested([&] { return Statement::setAttrConcurrency(v); });
    }
    SQLRETURN setAttrCursorType(SQLUINTEGER v) override {
        return nested([&] { return Statement::setAttrCursorType(v); });
    }
    SQLRETURN setAttrCursorScrollable(SQLUINTEGER v) override {
        return nested([&] { return Statement::setAttrCursorScrollable(v); });
    }
    SQLRETURN setAttrCursorSensitivity(SQLUINTEGER v) override {
        return nested([&] { return Statement::setAttrCursorSensitivity(v); });
    }

    int depth = 0;
    int deepest = 0;

  private:
    template <typename Call>
    SQLRETURN nested(Call call) {
        ++depth;
        deepest = std::max(deepest, depth);
        // A cycle would recurse without end; cut it here so the test fails.
        const SQLRETURN rc = depth > 16 ? SQL_ERROR : call();
        --depth;
        return rc;
    }
};

// Every combination of the scroll options and the sensitivity information
// values, with rich and poor concurrency support, for every value of the
// four interlocked attributes: the setters always finish, and a refused
// value leaves the attribute as it was.
TEST(StatementCursorInterlock, SweepTerminatesAndRefusalsKeepValues) {
    struct Target {
        SQLINTEGER attribute;
        SQLUINTEGER (Statement::*get)() const;
        std::vector<SQLUINTEGER> values;
    };
    const Target targets[] = {
        {SQL_ATTR_CONCURRENCY, &Statement::getAttrConcurrency, {1, 2, 3, 4}},
        {SQL_ATTR_CURSOR_TYPE, &Statement::getAttrCursorType, {0, 1, 2, 3}},
        {SQL_ATTR_CURSOR_SCROLLABLE, &Statement::getAttrCursorScrollable, {0, 1}},
        {SQL_ATTR_CURSOR_SENSITIVITY, &Statement::getAttrCursorSensitivity, {0, 1, 2}},
    };
    // Concurrency support per cursor type (forward-only, keyset, dynamic,
    // static): the same everywhere, or differing from type to type.
    using Support = std::array<SQLUINTEGER, 4>;
    const Support concurrencySupport[] = {
        {0x0, 0x0, 0x0, 0x0}, {0x1, 0x1, 0x1, 0x1}, {0x9, 0x9, 0x9, 0x9},
        {0xF, 0xF, 0xF, 0xF}, {0x1, 0x8, 0x4, 0x1}, {0xF, 0x1, 0x9, 0x4},
    };
    int runs = 0;
    for (SQLUINTEGER options = 0; options < 32; ++options) {
        for (SQLUINTEGER sensitivity = 0; sensitivity < 4; ++sensitivity) {
            for (const Support& support : concurrencySupport) {
                for (const Target& target : targets) {
                    for (const SQLUINTEGER value : target.values) {
                        for (const SQLUINTEGER start : {0u, 3u}) {
                            TestEnvironment environment;
                            TestConnection connection(&environment);
                            connection.scrollOptions = options;
                            connection.cursorSensitivity = sensitivity;
                            std::copy(support.begin(), support.end(),
                                      std::begin(connection.attributes2));
                            connection.attributes2[0] |= SQL_CA2_READ_ONLY_CONCURRENCY;
                            CountingStatement statement(&connection);
                            statement.setAttrCursorType(start);
                            statement.depth = 0;
                            statement.deepest = 0;
                            const SQLUINTEGER before = (statement.*target.get)();
                            const SQLRETURN rc =
                                statement.setStmtAttr(target.attribute, asValue(value), 0);
                            SCOPED_TRACE("options " + std::to_string(options) + " sensitivity " +
                                         std::to_string(sensitivity) + " support " +
                                         std::to_string(support[1]) + " attribute " +
                                         std::to_string(target.attribute) + " value " +
                                         std::to_string(value));
                            EXPECT_LE(statement.deepest, 8);
                            if (rc == SQL_ERROR) {
                                EXPECT_EQ((statement.*target.get)(), before);
                            }
                            ++runs;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(runs, 32 * 4 * 6 * 13 * 2);
}

struct InterlockCase {
    const char* name;
    SQLUINTEGER options;
    SQLUINTEGER sensitivity;
    SQLUINTEGER support;
    SQLINTEGER attribute;
    SQLUINTEGER value;
    SQLRETURN result;
    const char* state;
    const char* message;
    SQLUINTEGER concurrency;
    SQLUINTEGER type;
};

TEST(StatementCursorInterlock, Rules) {
    const InterlockCase cases[] = {
        {"lock becomes row version", 31, 1, 0x5, SQL_ATTR_CONCURRENCY, SQL_CONCUR_LOCK,
         SQL_SUCCESS_WITH_INFO, "01S02", "", SQL_CONCUR_ROWVER, 0},
        {"read-only refused", 31, 3, 0xE, SQL_ATTR_CONCURRENCY, SQL_CONCUR_READ_ONLY, SQL_ERROR,
         "HYC00", "Read-only concurrency not supported for cursor", 1, 0},
        {"row version refused", 31, 3, 0x1, SQL_ATTR_CONCURRENCY, SQL_CONCUR_ROWVER, SQL_ERROR,
         "HYC00", "Row version concurrency not supported for cursor", 1, 0},
        {"values goes static", 31, 2, 0xF, SQL_ATTR_CONCURRENCY, SQL_CONCUR_VALUES, SQL_SUCCESS, "",
         "", SQL_CONCUR_VALUES, SQL_CURSOR_STATIC},
        {"dynamic falls back to keyset", 3, 1, 0xF, SQL_ATTR_CURSOR_TYPE, SQL_CURSOR_DYNAMIC,
         SQL_SUCCESS_WITH_INFO, "01S02", "", 1, SQL_CURSOR_KEYSET_DRIVEN},
        {"static without support is forward-only", 1, 1, 0xF, SQL_ATTR_CURSOR_TYPE,
         SQL_CURSOR_STATIC, SQL_SUCCESS_WITH_INFO, "01S02", "", 1, 0},
        {"scrollable needs a scrolling cursor", 1, 1, 0xF, SQL_ATTR_CURSOR_SCROLLABLE, 1, SQL_ERROR,
         "HYC00", "Can't make cursor scrollable because only forward-only cursors are supported", 1,
         0},
        {"scrollable picks static", 31, 1, 0xF, SQL_ATTR_CURSOR_SCROLLABLE, 1, SQL_SUCCESS, "", "",
         1, SQL_CURSOR_STATIC},
        {"sensitive refused", 31, 1, 0xF, SQL_ATTR_CURSOR_SENSITIVITY, SQL_SENSITIVE, SQL_ERROR,
         "HYC00", "Sensitive cursors not supported", 1, 0},
        {"insensitive refused", 31, 2, 0xF, SQL_ATTR_CURSOR_SENSITIVITY, SQL_INSENSITIVE, SQL_ERROR,
         "HYC00", "Insensitive cursors not supported", 1, 0},
        {"insensitive without static", 3, 1, 0xF, SQL_ATTR_CURSOR_SENSITIVITY, SQL_INSENSITIVE,
         SQL_SUCCESS_WITH_INFO, "01000",
         "Static cursors not supported, required for insensitive cursors", 1, 0},
        {"sensitive without values concurrency", 31, 2, 0x1, SQL_ATTR_CURSOR_SENSITIVITY,
         SQL_SENSITIVE, SQL_SUCCESS_WITH_INFO, "01000",
         "Values concurrency not supported, required for sensitive cursors", 1, 0},
        {"sensitive takes values concurrency", 31, 2, 0xF, SQL_ATTR_CURSOR_SENSITIVITY,
         SQL_SENSITIVE, SQL_SUCCESS, "", "", SQL_CONCUR_VALUES, SQL_CURSOR_STATIC},
    };
    for (const InterlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        StatementFixture f;
        f.connection.scrollOptions = c.options;
        f.connection.cursorSensitivity = c.sensitivity;
        std::fill(std::begin(f.connection.attributes2), std::end(f.connection.attributes2),
                  c.support);
        EXPECT_EQ(f.statement.setStmtAttr(c.attribute, asValue(c.value), 0), c.result);
        EXPECT_EQ(f.firstState(), c.state);
        if (*c.message != '\0') {
            EXPECT_NE(f.firstMessage().find(c.message), std::string::npos) << f.firstMessage();
        }
        EXPECT_EQ(f.statement.getAttrConcurrency(), c.concurrency);
        EXPECT_EQ(f.statement.getAttrCursorType(), c.type);
    }
}

TEST_F(StatementTest, AsyncEnableFollowsTheAsyncMode) {
    const struct {
        SQLUINTEGER mode;
        SQLULEN value;
        SQLRETURN result;
        SQLUINTEGER stored;
    } cases[] = {
        {SQL_AM_NONE, SQL_ASYNC_ENABLE_ON, SQL_ERROR, 0},
        {SQL_AM_CONNECTION, SQL_ASYNC_ENABLE_ON, SQL_ERROR, 0},
        {SQL_AM_STATEMENT, SQL_ASYNC_ENABLE_ON, SQL_SUCCESS, 1},
        {SQL_AM_STATEMENT, 7, SQL_SUCCESS, 0},
    };
    for (const auto& c : cases) {
        StatementFixture f;
        f.connection.asyncMode = c.mode;
        EXPECT_EQ(f.statement.setStmtAttr(SQL_ATTR_ASYNC_ENABLE, asValue(c.value), 0), c.result);
        EXPECT_EQ(f.statement.getAttrAsyncEnable(), c.stored);
    }
}

TEST_F(StatementTest, BookmarkRuleRefusesASecondPointerWithoutPersistence) {
    SQLLEN bookmark = 0;
    ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_FETCH_BOOKMARK_PTR, &bookmark, 0), SQL_SUCCESS);
    EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_USE_BOOKMARKS, asValue(SQL_UB_VARIABLE), 0),
              SQL_ERROR);
    EXPECT_EQ(firstState(), "HYC00");
    EXPECT_EQ(statement.getAttrUseBookmarks(), SQLUINTEGER{SQL_UB_OFF});
    connection.bookmarkPersistence = SQL_BP_SCROLL;
    EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_USE_BOOKMARKS, asValue(SQL_UB_VARIABLE), 0),
              SQL_SUCCESS);
}

TEST_F(StatementTest, CursorNamesDefaultAndChange) {
    const std::string first = statement.cursorName();
    EXPECT_EQ(first.rfind("SQL_CUR", 0), 0u);
    EXPECT_EQ(statement.cursorName(), first);
    statement.closeResults();
    const std::string second = statement.cursorName();
    EXPECT_EQ(std::stoull(second.substr(7)), std::stoull(first.substr(7)) + 1);
}

TEST_F(StatementTest, SetCursorNameRules) {
    connection.maxCursorNameLen = 8;
    const struct {
        StatementState state;
        const char* name;
        SQLRETURN result;
        const char* sqlstate;
    } cases[] = {
        {StatementState::Allocated, "orders", SQL_SUCCESS, ""},
        {StatementState::Prepared, "orders", SQL_SUCCESS, ""},
        {StatementState::Executed, "orders", SQL_ERROR, "24000"},
        {StatementState::ExecutedWithResults, "orders", SQL_ERROR, "24000"},
        {StatementState::Positioned, "orders", SQL_ERROR, "24000"},
        {StatementState::Allocated, "a_very_long_name", SQL_ERROR, "34000"},
        {StatementState::Allocated, "x; drop", SQL_ERROR, "34000"},
        {StatementState::Allocated, "1abc", SQL_ERROR, "34000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StatementFixture f;
        f.connection.maxCursorNameLen = 8;
        f.statement.setState(c.state);
        EXPECT_EQ(f.statement.setCursorName(reinterpret_cast<const SQLCHAR*>(c.name), SQL_NTS),
                  c.result);
        EXPECT_EQ(f.firstState(), c.sqlstate);
        if (c.result == SQL_SUCCESS) {
            EXPECT_EQ(f.statement.cursorName(), c.name);
        } else {
            EXPECT_NE(f.statement.cursorName(), c.name);
        }
    }
}

TEST_F(StatementTest, GetCursorNameReportsACut) {
    statement.setCursorName(reinterpret_cast<const SQLCHAR*>("orders"), 6);
    SQLCHAR buffer[4];
    SQLSMALLINT length = 0;
    EXPECT_EQ(statement.getCursorName(buffer, sizeof buffer, &length), SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(firstState(), "01004");
    EXPECT_EQ(length, 6);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "ord");
    SQLCHAR whole[16];
    EXPECT_EQ(statement.getCursorName(whole, sizeof whole, &length), SQL_SUCCESS);
    EXPECT_EQ(recordCount(), 0u);
}

TEST_F(StatementTest, CloseCursorWithoutAResult) {
    const struct {
        SQLUINTEGER version;
        bool tolerate;
        SQLRETURN result;
    } cases[] = {
        {SQL_OV_ODBC2, false, SQL_SUCCESS},
        {SQL_OV_ODBC3, false, SQL_ERROR},
        {SQL_OV_ODBC3, true, SQL_SUCCESS},
    };
    for (const auto& c : cases) {
        StatementFixture f;
        f.environment.setAttrOdbcVersion(c.version);
        f.connection.tolerateClose = c.tolerate;
        EXPECT_EQ(f.statement.closeCursor(), c.result);
        EXPECT_EQ(f.firstState(), c.result == SQL_ERROR ? "24000" : "");
    }
}

TEST_F(StatementTest, CloseCursorReleasesTheResult) {
    statement.setRecordset(std::make_unique<MemoryRecordset>(&statement));
    statement.setState(StatementState::ExecutedWithResults);
    statement.cursorName();
    EXPECT_EQ(statement.closeCursor(), SQL_SUCCESS);
    EXPECT_EQ(statement.recordset(), nullptr);
    EXPECT_EQ(statement.state(), StatementState::Allocated);
    EXPECT_EQ(statement.storedCursorName(), "");
    EXPECT_TRUE(statement.beforeStart());
}

TEST_F(StatementTest, FreeStmtOptions) {
    const struct {
        SQLUSMALLINT option;
        SQLRETURN result;
        SQLSMALLINT ardCount;
        SQLSMALLINT apdCount;
        SQLSMALLINT ipdCount;
        bool resultKept;
    } cases[] = {
        {SQL_CLOSE, SQL_SUCCESS, 2, 2, 2, false},
        {SQL_DROP, SQL_SUCCESS, 0, 0, 0, false},
        {SQL_UNBIND, SQL_SUCCESS, 0, 2, 2, true},
        {SQL_RESET_PARAMS, SQL_SUCCESS, 2, 0, 0, true},
        {4, SQL_ERROR, 2, 2, 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        StatementFixture f;
        f.statement.getAttrAppRowDesc()->setCount(2);
        f.statement.getAttrAppParamDesc()->setCount(2);
        f.statement.getAttrImpParamDesc()->setCount(2);
        f.statement.setRecordset(std::make_unique<MemoryRecordset>(&f.statement));
        EXPECT_EQ(f.statement.freeStmt(c.option), c.result);
        EXPECT_EQ(f.firstState(), c.result == SQL_ERROR ? "HY092" : "");
        EXPECT_EQ(f.statement.getAttrAppRowDesc()->getCount(), c.ardCount);
        EXPECT_EQ(f.statement.getAttrAppParamDesc()->getCount(), c.apdCount);
        EXPECT_EQ(f.statement.getAttrImpParamDesc()->getCount(), c.ipdCount);
        EXPECT_EQ(f.statement.recordset() != nullptr, c.resultKept);
    }
}

TEST_F(StatementTest, DropLeavesASharedExplicitDescriptorAlone) {
    Descriptor shared(&connection, Descriptor::Explicit);
    RecordingStatement other(&connection);
    ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_APP_ROW_DESC, &shared, 0), SQL_SUCCESS);
    ASSERT_EQ(other.setStmtAttr(SQL_ATTR_APP_ROW_DESC, &shared, 0), SQL_SUCCESS);
    shared.setCount(3);
    statement.implicitArd()->setCount(2);
    EXPECT_EQ(statement.freeStmt(SQL_DROP), SQL_SUCCESS);
    EXPECT_EQ(shared.getCount(), 3);
    EXPECT_EQ(statement.implicitArd()->getCount(), 0);
}

TEST_F(StatementTest, FreeingAnExplicitDescriptorRestoresTheImplicitOnes) {
    auto explicitDescriptor = std::make_unique<Descriptor>(&connection, Descriptor::Explicit);
    ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_APP_PARAM_DESC, explicitDescriptor.get(), 0),
              SQL_SUCCESS);
    ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_APP_ROW_DESC, explicitDescriptor.get(), 0),
              SQL_SUCCESS);
    EXPECT_EQ(statement.getAttrAppParamDesc(), explicitDescriptor.get());
    explicitDescriptor.reset();
    EXPECT_EQ(statement.getAttrAppParamDesc(), statement.implicitApd());
    EXPECT_EQ(statement.getAttrAppRowDesc(), statement.implicitArd());
}

TEST_F(StatementTest, ADestroyedStatementLeavesNoTraceInTheDescriptor) {
    Descriptor explicitDescriptor(&connection, Descriptor::Explicit);
    {
        RecordingStatement transient(&connection);
        transient.setStmtAttr(SQL_ATTR_APP_ROW_DESC, &explicitDescriptor, 0);
        EXPECT_EQ(explicitDescriptor.usingStatements().size(), 1u);
    }
    EXPECT_TRUE(explicitDescriptor.usingStatements().empty());
    statement.setStmtAttr(SQL_ATTR_APP_ROW_DESC, &explicitDescriptor, 0);
    statement.setStmtAttr(SQL_ATTR_APP_ROW_DESC, nullptr, 0);
    EXPECT_TRUE(explicitDescriptor.usingStatements().empty());
    EXPECT_EQ(statement.getAttrAppRowDesc(), statement.implicitArd());
}

TEST_F(StatementTest, AnotherStatementsImplicitDescriptorIsRefused) {
    RecordingStatement other(&connection);
    EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_APP_ROW_DESC, other.implicitArd(), 0), SQL_ERROR);
    EXPECT_EQ(firstState(), "HY017");
    EXPECT_EQ(statement.getAttrAppRowDesc(), statement.implicitArd());
    EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_APP_ROW_DESC, statement.implicitArd(), 0),
              SQL_SUCCESS);
}

TEST_F(StatementTest, ErrorRemovesOnlyTheRecordItReturned) {
    statement.diagnostics().prependRecord("01S02", 0, "second", -1, -1);
    statement.diagnostics().prependRecord("HY011", 0, "first", -1, -1);
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[256];
    SQLSMALLINT length = 0;
    ASSERT_EQ(statement.error(state, &native, message, sizeof message, &length), SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(state), "HY011");
    EXPECT_EQ(recordCount(), 1u);
    ASSERT_EQ(statement.error(state, &native, message, sizeof message, &length), SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(state), "01S02");
    EXPECT_NE(std::string(reinterpret_cast<char*>(message)).find("second"), std::string::npos);
    EXPECT_EQ(statement.error(state, &native, message, sizeof message, &length), SQL_NO_DATA);
}

TEST_F(StatementTest, DiagnosticsCarryTheDbmsNameAndTheDataSource) {
    statement.setStmtAttr(SQL_ATTR_ROW_NUMBER, asValue(1), 0);
    EXPECT_NE(firstMessage().find("[TestDB]"), std::string::npos) << firstMessage();
    char name[32] = {};
    SQLSMALLINT length = 0;
    EXPECT_EQ(statement.getDiagField(1, SQL_DIAG_CONNECTION_NAME, name, sizeof name, &length),
              SQL_SUCCESS);
    EXPECT_STREQ(name, "TestDsn");
    EXPECT_EQ(length, 7);
}

TEST_F(StatementTest, CursorAttributesFollowTheCursorType) {
    const SQLUINTEGER types[] = {SQL_CURSOR_FORWARD_ONLY, SQL_CURSOR_KEYSET_DRIVEN,
                                 SQL_CURSOR_DYNAMIC, SQL_CURSOR_STATIC};
    for (std::size_t i = 0; i < 4; ++i) {
        StatementFixture f;
        f.connection.cursorSensitivity = 0;
        f.statement.setAttrCursorType(types[i]);
        EXPECT_EQ(f.statement.getAttrCursorType(), types[i]);
        EXPECT_EQ(f.statement.cursorAttributes1(), f.connection.attributes1[i]);
    }
}

TEST_F(StatementTest, RowCountIsWrittenThroughTheRowsFetchedPointer) {
    SQLULEN fetched = 0;
    statement.setStmtAttr(SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    statement.setRowCount(12);
    EXPECT_EQ(fetched, 12u);
    SQLLEN count = 0;
    EXPECT_EQ(statement.rowCount(&count), SQL_SUCCESS);
    EXPECT_EQ(count, 12);
}

TEST_F(StatementTest, QueryLogGetsOnlyCallsThatReachTheThreshold) {
    connection.queryLogThreshold = 60000;
    statement.startTimer();
    statement.logQueryTime("select quick");
    EXPECT_TRUE(connection.queryLog.empty());
    connection.queryLogThreshold = 0;
    statement.logQueryTime("select slow");
    ASSERT_EQ(connection.queryLog.size(), 1u);
    EXPECT_EQ(connection.queryLog[0].substr(connection.queryLog[0].find(' ')), " select slow");
}

}  // namespace
