#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "driver/core/Connection.h"
#include "driver/core/Environment.h"
#include "driver/core/InfoItems.h"
#include "driver/core/PlatformUtil.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/TsvTable.h"

namespace {

constexpr const char* kBundle = "com.example.info-test";

// One line of tests/core/data/info_items.tsv, taken from the written
// description of the information items.
struct ExpectedItem {
    SQLUSMALLINT code;
    std::string name;
    std::string width;  // "text", "2" or "4"
    SQLSMALLINT kind;
    std::string value;  // a number, a text, or <field> for a connection field
};

std::map<SQLUSMALLINT, ExpectedItem> expectedItems() {
    std::map<SQLUSMALLINT, ExpectedItem> items;
    for (const auto& fields : readTsv("tests/core/data/info_items.tsv")) {
        EXPECT_EQ(fields.size(), 5u);
        const auto code = static_cast<SQLUSMALLINT>(std::stoi(fields[0]));
        items[code] = {code, fields[1], fields[2], static_cast<SQLSMALLINT>(std::stoi(fields[3])),
                       fields[4]};
    }
    return items;
}

struct ExpectedFunction {
    std::string name;
    SQLUSMALLINT id;
};

std::vector<ExpectedFunction> expectedFunctions() {
    std::vector<ExpectedFunction> functions;
    for (const auto& fields : readTsv("tests/core/data/supported_functions.tsv")) {
        functions.push_back({fields[1], static_cast<SQLUSMALLINT>(std::stoi(fields[2]))});
    }
    return functions;
}

class InfoConnection : public Connection {
  public:
    explicit InfoConnection(Environment* environment) : Connection(environment) {
        userName_ = "alice";
        dataSourceName_ = "SalesDSN";
        serverName_ = "db.example.com";
        databaseName_ = "sales";
    }
    SQLRETURN connectStrings(const std::string&, const std::string&, const std::string&) override {
        return SQL_SUCCESS;
    }
    SQLRETURN driverConnect(SQLHWND, const SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                            SQLSMALLINT*, SQLUSMALLINT) override {
        return SQL_SUCCESS;
    }
    SQLRETURN disconnect() override { return SQL_SUCCESS; }
};

// A subclass with its own function table and information answers.
class OwnFunctionsConnection : public InfoConnection {
  public:
    using InfoConnection::InfoConnection;
    int supportedFunctionCount() const override { return static_cast<int>(ids.size()); }
    SQLUSMALLINT supportedFunction(int index) const override { return ids.at(index); }
    std::string infoDbmsName() override { return "OtherDB"; }
    SQLUSMALLINT infoTxnCapable() override { return SQL_TC_ALL; }

    std::vector<SQLUSMALLINT> ids = {
        SQL_API_SQLFETCH, 150, SQL_API_SQLFETCHSCROLL, 3999, 4000, 4001};
};

class ConnectionInfoTest : public ::testing::Test {
  protected:
    OdbcSandbox sandbox;
    Environment environment{kBundle, "morvanex.so", "Vorlan Tarvex", "Vorlan"};
    InfoConnection connection{&environment};

    // What a connection field or environment value of the description holds.
    std::string fieldValue(const std::string& placeholder) const {
        const std::map<std::string, std::string> values = {
            {"<dataSourceName>", "SalesDSN"},    {"<serverName>", "db.example.com"},
            {"<databaseName>", "sales"},         {"<userName>", "alice"},
            {"<driverFileName>", "morvanex.so"}, {"<bundleVersion>", getBundleVersion(kBundle)},
        };
        const auto found = values.find(placeholder);
        return found == values.end() ? placeholder : found->second;
    }
};

TEST_F(ConnectionInfoTest, TheItemListMatchesTheDescription) {
    const auto expected = expectedItems();
    ASSERT_EQ(expected.size(), 169u);
    std::size_t listed = 0;
    for (const InfoItemRow& row : kInfoItems) {
        if (row.code == SQL_CONVERT_GUID) {
            // Reachable here as the 4-byte bitmask ODBC gives it.
            EXPECT_EQ(row.shape, InfoShape::UInt);
            EXPECT_EQ(row.kind, SQL_IS_UINTEGER);
            continue;
        }
        const auto found = expected.find(row.code);
        ASSERT_NE(found, expected.end()) << row.name;
        ++listed;
        const ExpectedItem& item = found->second;
        EXPECT_EQ(row.name, item.name);
        EXPECT_EQ(row.kind, item.kind) << item.name;
        const char* width = row.shape == InfoShape::Text     ? "text"
                            : row.shape == InfoShape::UShort ? "2"
                                                             : "4";
        EXPECT_EQ(width, item.width) << item.name;
        EXPECT_EQ(row.shape == InfoShape::Signed16As32, item.name == "SQL_FETCH_DIRECTION");
        EXPECT_EQ(findInfoItem(row.code), &row);
    }
    EXPECT_EQ(listed, expected.size());
}

// Every code of both ranges, through the dispatch, against the description:
// result, length, width, value, and nothing written past the value.
TEST_F(ConnectionInfoTest, AnswersEveryCodeAsDescribed) {
    const auto expected = expectedItems();
    std::vector<SQLUSMALLINT> codes;
    for (int code = 0; code <= 200; ++code) {
        codes.push_back(static_cast<SQLUSMALLINT>(code));
    }
    for (int code = 10000; code <= 10030; ++code) {
        codes.push_back(static_cast<SQLUSMALLINT>(code));
    }
    constexpr SQLSMALLINT kBufferLength = 48;
    constexpr unsigned char kGuard = 0xA5;
    for (SQLUSMALLINT code : codes) {
        unsigned char buffer[kBufferLength + 16];
        std::memset(buffer, kGuard, sizeof buffer);
        SQLSMALLINT length = -7;
        connection.diagnostics().prependRecord("HY000", 0, "stale", -1, -1);
        const SQLRETURN rc = connection.getInfo(code, buffer, kBufferLength, &length);
        EXPECT_TRUE(connection.diagnostics().isEmpty()) << code;

        const auto found = expected.find(code);
        if (code == SQL_CONVERT_GUID) {
            EXPECT_EQ(rc, SQL_SUCCESS);
            EXPECT_EQ(length, 4);
            SQLUINTEGER value = 1;
            std::memcpy(&value, buffer, 4);
            EXPECT_EQ(value, 0u);
            EXPECT_EQ(connection.getInfoValueType(code), SQL_IS_UINTEGER);
            continue;
        }
        if (found == expected.end()) {
            EXPECT_EQ(rc, SQL_ERROR) << code;
            EXPECT_EQ(length, 0) << code;
            EXPECT_TRUE(std::all_of(buffer, buffer + sizeof buffer, [](unsigned char b) {
                return b == kGuard;
            })) << code;
            EXPECT_EQ(connection.getInfoValueType(code), SQL_IS_POINTER) << code;
            continue;
        }
        const ExpectedItem& item = found->second;
        EXPECT_EQ(rc, SQL_SUCCESS) << item.name;
        EXPECT_EQ(connection.getInfoValueType(code), item.kind) << item.name;
        std::size_t written = 0;
        if (item.width == "text") {
            const std::string text = fieldValue(item.value);
            EXPECT_EQ(length, static_cast<SQLSMALLINT>(text.size())) << item.name;
            EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), text.size() + 1),
                      std::string(text.c_str(), text.size() + 1))
                << item.name;
            written = text.size() + 1;
        } else if (item.width == "2") {
            EXPECT_EQ(length, 2) << item.name;
            SQLUSMALLINT value = 0;
            std::memcpy(&value, buffer, 2);
            EXPECT_EQ(value, std::stoul(item.value)) << item.name;
            written = 2;
        } else {
            EXPECT_EQ(length, 4) << item.name;
            SQLUINTEGER value = 0;
            std::memcpy(&value, buffer, 4);
            EXPECT_EQ(value, std::stoul(item.value)) << item.name;
            written = 4;
        }
        EXPECT_TRUE(std::all_of(buffer + written, buffer + sizeof buffer, [](unsigned char b) {
            return b == kGuard;
        })) << item.name;
    }
}

TEST_F(ConnectionInfoTest, SignExtendsTheFetchDirection) {
    class NegativeFetch : public InfoConnection {
      public:
        using InfoConnection::InfoConnection;
        SQLSMALLINT infoFetchDirection() override { return -2; }
    } negative(&environment);
    SQLINTEGER value = 0;
    SQLSMALLINT length = 0;
    EXPECT_EQ(negative.getInfo(SQL_FETCH_DIRECTION, &value, 0, &length), SQL_SUCCESS);
    EXPECT_EQ(value, -2);
    EXPECT_EQ(length, 4);
}

TEST_F(ConnectionInfoTest, ReportsNumericLengthsWithoutABuffer) {
    struct Case {
        SQLUSMALLINT code;
        SQLSMALLINT length;
    };
    const Case cases[] = {{SQL_TXN_CAPABLE, 2},
                          {SQL_SCROLL_OPTIONS, 4},
                          {SQL_FETCH_DIRECTION, 4},
                          {SQL_DBMS_NAME, 0},
                          {SQL_DRIVER_ODBC_VER, 5}};
    for (const Case& c : cases) {
        SQLSMALLINT length = -1;
        EXPECT_EQ(connection.getInfo(c.code, nullptr, 0, &length), SQL_SUCCESS) << c.code;
        EXPECT_EQ(length, c.length) << c.code;
    }
}

TEST_F(ConnectionInfoTest, CutsTextWithoutAWarning) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    SQLSMALLINT length = 0;
    EXPECT_EQ(connection.getInfo(SQL_DRIVER_ODBC_VER, buffer, 3, &length), SQL_SUCCESS);
    EXPECT_EQ(std::string(buffer, 4), std::string("03\0#", 4));
    EXPECT_EQ(length, 5);
    EXPECT_TRUE(connection.diagnostics().isEmpty());
}

TEST_F(ConnectionInfoTest, OverriddenItemsReachTheDispatch) {
    OwnFunctionsConnection own(&environment);
    char name[16] = {};
    EXPECT_EQ(own.getInfo(SQL_DBMS_NAME, name, sizeof name, nullptr), SQL_SUCCESS);
    EXPECT_STREQ(name, "OtherDB");
    EXPECT_EQ(own.dbmsName(), "OtherDB");
    SQLUSMALLINT capable = 0;
    EXPECT_EQ(own.getInfo(SQL_TXN_CAPABLE, &capable, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(capable, SQL_TC_ALL);
}

TEST_F(ConnectionInfoTest, ListsTheDescribedFunctions) {
    const auto functions = expectedFunctions();
    ASSERT_EQ(functions.size(), 71u);
    ASSERT_EQ(connection.supportedFunctionCount(), 71);
    for (int i = 0; i < 71; ++i) {
        EXPECT_EQ(connection.supportedFunction(i), functions[i].id) << functions[i].name;
    }
}

TEST_F(ConnectionInfoTest, AllFunctionsFillsTheHundredEntries) {
    std::vector<SQLUSMALLINT> supported(100, 0xFFFF);
    EXPECT_EQ(connection.getFunctions(SQL_API_ALL_FUNCTIONS, supported.data()), SQL_SUCCESS);
    std::vector<int> on;
    for (int id = 0; id < 100; ++id) {
        EXPECT_TRUE(supported[id] == SQL_TRUE || supported[id] == SQL_FALSE) << id;
        if (supported[id] == SQL_TRUE) {
            on.push_back(id);
        }
    }
    std::vector<int> expected;
    for (int id = 1; id <= 21; ++id)
        expected.push_back(id);
    expected.insert(expected.end(), {23, 24});
    for (int id = 40; id <= 54; ++id)
        expected.push_back(id);
    expected.push_back(56);
    for (int id = 58; id <= 68; ++id)
        expected.push_back(id);
    expected.insert(expected.end(), {70, 72});
    EXPECT_EQ(on, expected);
}

TEST_F(ConnectionInfoTest, OdbcThreeBitmapHasOneBitPerFunction) {
    std::vector<SQLUSMALLINT> supported(SQL_API_ODBC3_ALL_FUNCTIONS_SIZE + 4, 0xFFFF);
    EXPECT_EQ(connection.getFunctions(SQL_API_ODBC3_ALL_FUNCTIONS, supported.data()), SQL_SUCCESS);
    std::vector<SQLUSMALLINT> expected(SQL_API_ODBC3_ALL_FUNCTIONS_SIZE, 0);
    for (const ExpectedFunction& function : expectedFunctions()) {
        expected[function.id / 16] |= static_cast<SQLUSMALLINT>(1u << (function.id % 16));
    }
    EXPECT_EQ(std::vector<SQLUSMALLINT>(supported.begin(),
                                        supported.begin() + SQL_API_ODBC3_ALL_FUNCTIONS_SIZE),
              expected);
    EXPECT_TRUE(SQL_FUNC_EXISTS(supported.data(), SQL_API_SQLFETCHSCROLL));
    EXPECT_EQ(supported[63] & (1u << 13), 1u << 13);
    for (std::size_t i = SQL_API_ODBC3_ALL_FUNCTIONS_SIZE; i < supported.size(); ++i) {
        EXPECT_EQ(supported[i], 0xFFFF) << i;
    }
}

TEST_F(ConnectionInfoTest, AnswersSingleFunctions) {
    for (const ExpectedFunction& function : expectedFunctions()) {
        SQLUSMALLINT supported = 0xFFFF;
        EXPECT_EQ(connection.getFunctions(function.id, &supported), SQL_SUCCESS);
        EXPECT_EQ(supported, SQL_TRUE) << function.name;
    }
    for (SQLUSMALLINT id :
         {SQLUSMALLINT{SQL_API_SQLBROWSECONNECT}, SQLUSMALLINT{22},
          SQLUSMALLINT{SQL_API_SQLDRIVERS}, SQLUSMALLINT{4000}, SQLUSMALLINT{65535}}) {
        SQLUSMALLINT supported = 0xFFFF;
        EXPECT_EQ(connection.getFunctions(id, &supported), SQL_SUCCESS);
        EXPECT_EQ(supported, SQL_FALSE) << id;
    }
    for (SQLUSMALLINT id : {SQLUSMALLINT{0}, SQLUSMALLINT{999}, SQLUSMALLINT{SQL_API_SQLFETCH}}) {
        EXPECT_EQ(connection.getFunctions(id, nullptr), SQL_SUCCESS) << id;
    }
}

TEST_F(ConnectionInfoTest, SkipsIdentifiersOutsideEachAnswer) {
    OwnFunctionsConnection own(&environment);
    // A guard pattern that neither clearing nor setting a bit leaves alone.
    constexpr SQLUSMALLINT kGuard = 0x1234;
    std::vector<SQLUSMALLINT> all(100 + 8, kGuard);
    EXPECT_EQ(own.getFunctions(SQL_API_ALL_FUNCTIONS, all.data()), SQL_SUCCESS);
    for (int id = 0; id < 100; ++id) {
        EXPECT_EQ(all[id], id == SQL_API_SQLFETCH ? SQL_TRUE : SQL_FALSE) << id;
    }
    for (std::size_t i = 100; i < all.size(); ++i) {
        EXPECT_EQ(all[i], kGuard) << i;
    }

    std::vector<SQLUSMALLINT> bitmap(SQL_API_ODBC3_ALL_FUNCTIONS_SIZE + 8, kGuard);
    EXPECT_EQ(own.getFunctions(SQL_API_ODBC3_ALL_FUNCTIONS, bitmap.data()), SQL_SUCCESS);
    for (SQLUSMALLINT id : {SQLUSMALLINT{SQL_API_SQLFETCH}, SQLUSMALLINT{150},
                            SQLUSMALLINT{SQL_API_SQLFETCHSCROLL}, SQLUSMALLINT{3999}}) {
        EXPECT_TRUE(SQL_FUNC_EXISTS(bitmap.data(), id)) << id;
    }
    int bits = 0;
    for (std::size_t i = 0; i < SQL_API_ODBC3_ALL_FUNCTIONS_SIZE; ++i) {
        bits += __builtin_popcount(bitmap[i]);
    }
    EXPECT_EQ(bits, 4);
    for (std::size_t i = SQL_API_ODBC3_ALL_FUNCTIONS_SIZE; i < bitmap.size(); ++i) {
        EXPECT_EQ(bitmap[i], kGuard) << i;
    }

    SQLUSMALLINT single = 0;
    EXPECT_EQ(own.getFunctions(4000, &single), SQL_SUCCESS);
    EXPECT_EQ(single, SQL_TRUE);
}

}  // namespace
