#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "driver/adapter/MySQLBaseConnection.h"
#include "driver/core/Environment.h"
#include "driver/core/InfoItems.h"
#include "driver/core/Statement.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/TsvTable.h"

namespace {

// One row of mysql_info.tsv: the answer below 5.0, below 5.1 and from 5.1
// on; a text answer is written between double quotes, a number bare.
struct ExpectedAnswer {
    SQLUSMALLINT code;
    std::string name;
    std::string byGeneration[3];
};

std::vector<ExpectedAnswer> expectedAnswers() {
    std::vector<ExpectedAnswer> answers;
    for (const auto& fields : readTsv("tests/adapter/data/mysql_info.tsv")) {
        EXPECT_EQ(fields.size(), 5u);
        if (fields.size() != 5) {
            continue;
        }
        answers.push_back({static_cast<SQLUSMALLINT>(std::stoi(fields[0])),
                           fields[1],
                           {fields[2], fields[3], fields[4]}});
    }
    return answers;
}

struct ExpectedFunction {
    std::string name;
    SQLUSMALLINT id;
};

std::vector<ExpectedFunction> expectedFunctions() {
    std::vector<ExpectedFunction> functions;
    for (const auto& fields : readTsv("tests/adapter/data/mysql_functions.tsv")) {
        functions.push_back({fields[1], static_cast<SQLUSMALLINT>(std::stoi(fields[2]))});
    }
    return functions;
}

// The MySQL face with the connect operations filled in and, when asked,
// another server version.
class FaceConnection : public MySQLBaseConnection {
  public:
    explicit FaceConnection(Environment* environment,
                            std::optional<std::uint64_t> version = std::nullopt)
        : MySQLBaseConnection(environment), version_(version) {}

    SQLRETURN connectStrings(const std::string&, const std::string&, const std::string&) override {
        return SQL_SUCCESS;
    }
    SQLRETURN driverConnect(SQLHWND, const SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                            SQLSMALLINT*, SQLUSMALLINT) override {
        return SQL_SUCCESS;
    }
    SQLRETURN disconnect() override { return SQL_SUCCESS; }
    std::uint64_t serverVersion() const override {
        return version_ ? *version_ : MySQLBaseConnection::serverVersion();
    }
    bool isInTransaction() const override { return inTransaction; }

    void setStoredIsolation(SQLUINTEGER value) { txnIsolation_ = value; }
    void setVersionNumbers(std::int32_t major, std::int32_t minor, std::int32_t patch) {
        versionMajor_ = major;
        versionMinor_ = minor;
        versionPatch_ = patch;
    }

    bool inTransaction = false;

  private:
    std::optional<std::uint64_t> version_;
};

// The connection base with nothing of the MySQL face, for comparison.
class PlainConnection : public Connection {
  public:
    using Connection::Connection;
    SQLRETURN connectStrings(const std::string&, const std::string&, const std::string&) override {
        return SQL_SUCCESS;
    }
    SQLRETURN driverConnect(SQLHWND, const SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                            SQLSMALLINT*, SQLUSMALLINT) override {
        return SQL_SUCCESS;
    }
    SQLRETURN disconnect() override { return SQL_SUCCESS; }
};

std::size_t widthOf(InfoShape shape) {
    switch (shape) {
        case InfoShape::UShort:
            return 2;
        case InfoShape::UInt:
        case InfoShape::Signed16As32:
            return 4;
        case InfoShape::Text:
            break;
    }
    return 0;
}

// What one SQLGetInfo call wrote: the result, the length and the bytes of a
// buffer with guard bytes on both sides.
struct InfoCall {
    static constexpr std::size_t kGuard = 16;
    static constexpr SQLSMALLINT kBufferLength = 2048;
    static constexpr unsigned char kGuardByte = 0xA5;

    SQLRETURN rc = SQL_ERROR;
    SQLSMALLINT length = -99;
    std::vector<unsigned char> bytes;

    InfoCall(Connection& connection, SQLUSMALLINT code, SQLSMALLINT bufferLength = kBufferLength)
        : bytes(kGuard + kBufferLength + kGuard, kGuardByte) {
        rc = connection.getInfo(code, bytes.data() + kGuard, bufferLength, &length);
    }

    const unsigned char* value() const { return bytes.data() + kGuard; }
    // True when nothing before the buffer nor from `written` on was touched.
    bool untouchedOutside(std::size_t written) const {
        const auto guard = [](unsigned char b) { return b == kGuardByte; };
        return std::all_of(bytes.begin(), bytes.begin() + kGuard, guard) &&
               std::all_of(bytes.begin() + kGuard + written, bytes.end(), guard);
    }
};

class MySQLBaseConnectionTest : public ::testing::Test {
  protected:
    OdbcSandbox sandbox;
    Environment environment{"com.example.mysql-face-test", "morvanex.so", "Vorlan Tarvex",
                            "Vorlan"};
};

TEST_F(MySQLBaseConnectionTest, AnswersTheTableForEachServerGeneration) {
    const auto expected = expectedAnswers();
    ASSERT_EQ(expected.size(), 127u);
    struct Case {
        std::optional<std::uint64_t> version;
        int generation;
    };
    const Case cases[] = {
        {0, 0},     {49999, 0}, {50000, 1},        {50099, 1},
        {50100, 2}, {80034, 2}, {std::nullopt, 2},  // the default stands for 5.6
    };
    for (const Case& c : cases) {
        FaceConnection face(&environment, c.version);
        PlainConnection plain(&environment);
        for (const ExpectedAnswer& answer : expected) {
            SCOPED_TRACE(answer.name + " at " +
                         (c.version ? std::to_string(*c.version) : "default"));
            const InfoItemRow* row = findInfoItem(answer.code);
            ASSERT_NE(row, nullptr);
            EXPECT_EQ(row->name, answer.name);
            face.diagnostics().prependRecord("HY000", 0, "stale", -1, -1);
            const InfoCall call(face, answer.code);
            EXPECT_EQ(call.rc, SQL_SUCCESS);
            EXPECT_TRUE(face.diagnostics().isEmpty());
            EXPECT_EQ(face.getInfoValueType(answer.code), plain.getInfoValueType(answer.code));

            const std::string& want = answer.byGeneration[c.generation];
            const bool isText = want.size() >= 2 && want.front() == '"' && want.back() == '"';
            ASSERT_EQ(isText, row->shape == InfoShape::Text);
            if (isText) {
                const std::string text = want.substr(1, want.size() - 2);
                EXPECT_EQ(call.length, static_cast<SQLSMALLINT>(text.size()));
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(call.value()), text.size() + 1),
                          std::string(text.c_str(), text.size() + 1));
                EXPECT_TRUE(call.untouchedOutside(text.size() + 1));
                continue;
            }
            const std::size_t width = widthOf(row->shape);
            EXPECT_EQ(call.length, static_cast<SQLSMALLINT>(width));
            std::uint64_t got = 0;
            if (width == 2) {
                SQLUSMALLINT value = 0;
                std::memcpy(&value, call.value(), 2);
                got = value;
            } else {
                SQLUINTEGER value = 0;
                std::memcpy(&value, call.value(), 4);
                got = value;
            }
            EXPECT_EQ(got, std::stoull(want));
            EXPECT_TRUE(call.untouchedOutside(width));
        }
    }
}

TEST_F(MySQLBaseConnectionTest, KeepsTheBaseAnswersOfEveryOtherItem) {
    std::set<SQLUSMALLINT> listed;
    for (const ExpectedAnswer& answer : expectedAnswers()) {
        listed.insert(answer.code);
    }
    FaceConnection face(&environment);
    PlainConnection plain(&environment);
    std::size_t compared = 0;
    for (const InfoItemRow& row : kInfoItems) {
        if (listed.count(row.code) != 0) {
            continue;
        }
        SCOPED_TRACE(row.name);
        const InfoCall fromFace(face, row.code);
        const InfoCall fromPlain(plain, row.code);
        EXPECT_EQ(fromFace.rc, fromPlain.rc);
        EXPECT_EQ(fromFace.length, fromPlain.length);
        EXPECT_EQ(fromFace.bytes, fromPlain.bytes);
        ++compared;
    }
    EXPECT_EQ(compared + listed.size(), std::size(kInfoItems));
}

TEST_F(MySQLBaseConnectionTest, ReportsTheVersionNumbersAsDbmsVersion) {
    struct Case {
        std::int32_t major, minor, patch;
        const char* text;
    };
    const Case cases[] = {
        {5, 1, 73, "5.1.73"}, {10, 11, 6, "10.11.6"}, {-1, 0, 2147483647, "-1.0.2147483647"}};
    for (const Case& c : cases) {
        FaceConnection face(&environment);
        face.setVersionNumbers(c.major, c.minor, c.patch);
        const InfoCall call(face, SQL_DBMS_VER);
        EXPECT_EQ(call.rc, SQL_SUCCESS);
        EXPECT_STREQ(reinterpret_cast<const char*>(call.value()), c.text);
    }
}

TEST_F(MySQLBaseConnectionTest, ListsTheFunctionsOfTheFace) {
    const auto functions = expectedFunctions();
    ASSERT_EQ(functions.size(), 68u);
    FaceConnection face(&environment);
    ASSERT_EQ(face.supportedFunctionCount(), 68);
    for (int i = 0; i < 68; ++i) {
        EXPECT_EQ(face.supportedFunction(i), functions[i].id) << i << " " << functions[i].name;
    }
    EXPECT_EQ(face.supportedFunction(-1), 0);
    EXPECT_EQ(face.supportedFunction(68), 0);
}

TEST_F(MySQLBaseConnectionTest, AnswersSingleFunctions) {
    struct Case {
        SQLUSMALLINT id;
        SQLUSMALLINT supported;
    };
    const Case cases[] = {
        {SQL_API_SQLFOREIGNKEYS, SQL_FALSE},
        {SQL_API_SQLPROCEDURES, SQL_FALSE},
        {SQL_API_SQLPROCEDURECOLUMNS, SQL_FALSE},
        {SQL_API_SQLBROWSECONNECT, SQL_FALSE},
        {SQL_API_SQLTABLES, SQL_TRUE},
        {SQL_API_SQLCOLATTRIBUTE, SQL_TRUE},
        {SQL_API_SQLNATIVESQL, SQL_TRUE},
        {SQL_API_SQLSETPOS, SQL_TRUE},
    };
    FaceConnection face(&environment);
    for (const Case& c : cases) {
        SQLUSMALLINT supported = 0xFFFF;
        EXPECT_EQ(face.getFunctions(c.id, &supported), SQL_SUCCESS);
        EXPECT_EQ(supported, c.supported) << c.id;
    }
}

TEST_F(MySQLBaseConnectionTest, OdbcThreeBitmapHoldsExactlyTheFaceFunctions) {
    std::vector<SQLUSMALLINT> expected(SQL_API_ODBC3_ALL_FUNCTIONS_SIZE, 0);
    for (const ExpectedFunction& function : expectedFunctions()) {
        expected[function.id / 16] |= static_cast<SQLUSMALLINT>(1u << (function.id % 16));
    }
    FaceConnection face(&environment);
    std::vector<SQLUSMALLINT> supported(SQL_API_ODBC3_ALL_FUNCTIONS_SIZE, 0xFFFF);
    EXPECT_EQ(face.getFunctions(SQL_API_ODBC3_ALL_FUNCTIONS, supported.data()), SQL_SUCCESS);
    EXPECT_EQ(supported, expected);
    EXPECT_FALSE(SQL_FUNC_EXISTS(supported.data(), SQL_API_SQLFOREIGNKEYS));
}

TEST_F(MySQLBaseConnectionTest, AcceptsOnlyReadCommittedIsolation) {
    struct Case {
        SQLUINTEGER value;
        SQLRETURN rc;
        SQLUINTEGER stored;  // starting from SQL_TXN_SERIALIZABLE
    };
    const Case cases[] = {
        {SQL_TXN_READ_COMMITTED, SQL_SUCCESS, SQL_TXN_READ_COMMITTED},
        {SQL_TXN_READ_UNCOMMITTED, SQL_ERROR, SQL_TXN_SERIALIZABLE},
        {SQL_TXN_REPEATABLE_READ, SQL_ERROR, SQL_TXN_SERIALIZABLE},
        {SQL_TXN_SERIALIZABLE, SQL_ERROR, SQL_TXN_SERIALIZABLE},
        {0, SQL_ERROR, SQL_TXN_SERIALIZABLE},
        {0x10, SQL_ERROR, SQL_TXN_SERIALIZABLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        FaceConnection face(&environment);
        face.setStoredIsolation(SQL_TXN_SERIALIZABLE);
        const SQLRETURN rc = face.setConnectAttr(
            SQL_ATTR_TXN_ISOLATION, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(c.value)), 0);
        EXPECT_EQ(rc, c.rc);
        EXPECT_EQ(face.getAttrTxnIsolation(), c.stored);
        if (c.rc == SQL_SUCCESS) {
            EXPECT_TRUE(face.diagnostics().isEmpty());
            continue;
        }
        ASSERT_EQ(face.diagnostics().recordCount(), 1u);
        SQLCHAR state[6] = {};
        SQLINTEGER native = -1;
        SQLSMALLINT textLength = 0;
        EXPECT_EQ(face.getDiagRec(1, state, &native, nullptr, 0, &textLength), SQL_SUCCESS);
        EXPECT_STREQ(reinterpret_cast<char*>(state), "HYC00");
        EXPECT_EQ(native, 0);
        SQLINTEGER column = 0;
        EXPECT_EQ(face.getDiagField(1, SQL_DIAG_COLUMN_NUMBER, &column, 0, nullptr), SQL_SUCCESS);
        EXPECT_EQ(column, -1);
        SQLLEN rowNumber = 0;
        EXPECT_EQ(face.getDiagField(1, SQL_DIAG_ROW_NUMBER, &rowNumber, 0, nullptr), SQL_SUCCESS);
        EXPECT_EQ(rowNumber, -1);
    }
}

// Inside a transaction the base refuses any change, and that refusal must
// not be reported as success.
TEST_F(MySQLBaseConnectionTest, ReportsTheRefusalInsideATransaction) {
    FaceConnection face(&environment);
    face.setStoredIsolation(SQL_TXN_SERIALIZABLE);
    face.inTransaction = true;
    EXPECT_EQ(face.setAttrTxnIsolation(SQL_TXN_READ_COMMITTED), SQL_ERROR);
    EXPECT_EQ(face.getAttrTxnIsolation(), SQLUINTEGER{SQL_TXN_SERIALIZABLE});
    SQLCHAR state[6] = {};
    EXPECT_EQ(face.getDiagRec(1, state, nullptr, nullptr, 0, nullptr), SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(state), "HY011");
}

TEST_F(MySQLBaseConnectionTest, ClosingWithoutACursorSucceeds) {
    FaceConnection face(&environment);
    PlainConnection plain(&environment);
    EXPECT_TRUE(face.avoidServerCursors());
    EXPECT_TRUE(face.tolerateCloseWithoutCursor());
    ASSERT_EQ(environment.getAttrOdbcVersion(), SQLUINTEGER{SQL_OV_ODBC3});
    struct Case {
        Connection* connection;
        SQLRETURN rc;
    };
    const Case cases[] = {{&face, SQL_SUCCESS}, {&plain, SQL_ERROR}};
    for (const Case& c : cases) {
        Statement statement(c.connection);
        EXPECT_EQ(statement.closeCursor(), c.rc);
        EXPECT_EQ(statement.diagnostics().isEmpty(), c.rc == SQL_SUCCESS);
    }
}

TEST_F(MySQLBaseConnectionTest, NativeSqlDropsOverlongQualifiers) {
    struct Case {
        const char* text;
        const char* rewritten;
    };
    const Case cases[] = {
        {"SELECT * FROM cat.sch.tbl", "SELECT * FROM sch.tbl"},
        {"SELECT a.b.c.d FROM w.x.y WHERE p.q.r.s = 1", "SELECT b.c.d FROM x.y WHERE q.r.s = 1"},
        {"INSERT INTO db.sch.t VALUES (1)", "INSERT INTO sch.t VALUES (1)"},
        {"UPDATE db.sch.t SET x=1", "UPDATE sch.t SET x=1"},
        {"SELECT t.col FROM sch.tbl t", "SELECT t.col FROM sch.tbl t"},
        {"SELECT * FROM `a.b.c`", "SELECT * FROM `a.b.c`"},
        {"SELECT * FROM x WHERE s = 'a.b.c.d'", "SELECT * FROM x WHERE s = 'a.b.c.d'"},
        {"SELECT 1.5 FROM t", "SELECT 1.5 FROM t"},
        {"", ""},
    };
    FaceConnection face(&environment);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(face.rewriteSql(c.text), c.rewritten);
        char out[128];
        std::memset(out, '#', sizeof out);
        SQLINTEGER length = -1;
        EXPECT_EQ(face.nativeSql(reinterpret_cast<const SQLCHAR*>(c.text), SQL_NTS,
                                 reinterpret_cast<SQLCHAR*>(out), sizeof out, &length),
                  SQL_SUCCESS);
        EXPECT_STREQ(out, c.rewritten);
        EXPECT_EQ(length, static_cast<SQLINTEGER>(std::strlen(c.rewritten)));
    }
}

}  // namespace
