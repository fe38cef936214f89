#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/core/DiagnosticHeader.h"
#include "driver/core/DiagnosticRecord.h"
#include "driver/core/SqlStateTable.h"
#include "driver/core/TraceSink.h"
#include "tests/support/TsvTable.h"

namespace {

class RecordingSink : public TraceSink {
  public:
    bool isTracing() const override { return tracing; }
    void writeTrace(std::string_view text) override { writes.emplace_back(text); }
    std::string productName() const override { return "Vorlan Tarvex"; }
    std::string vendorName() const override { return "Vorlan"; }

    bool tracing = false;
    std::vector<std::string> writes;
};

using Rows = std::vector<std::vector<std::string>>;

std::string text(const SQLCHAR* bytes) {
    return reinterpret_cast<const char*>(bytes);
}

// --- the fixed tables, row by row and in order, against the extracted data ---

TEST(SqlStateTable, TextsMatchData) {
    const Rows expected = readTsv("tests/core/data/sqlstates.tsv");
    const auto table = sqlStateTexts();
    ASSERT_EQ(expected.size(), 117u);
    ASSERT_EQ(table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        ASSERT_EQ(expected[i].size(), 2u) << "data row " << i;
        EXPECT_EQ(table[i].state, expected[i][0]) << "row " << i;
        EXPECT_EQ(table[i].text, expected[i][1]) << "row " << i;
        EXPECT_EQ(defaultMessage(expected[i][0]), expected[i][1]);
    }
}

TEST(SqlStateTable, OdbcDefinedStatesMatchData) {
    const Rows expected = readTsv("tests/core/data/odbc_states.tsv");
    const auto table = odbcDefinedStates();
    ASSERT_EQ(expected.size(), 42u);
    ASSERT_EQ(table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i], expected[i].at(0)) << "row " << i;
    }
}

TEST(SqlStateTable, DynamicFunctionsMatchData) {
    const Rows expected = readTsv("tests/core/data/dynamic_functions.tsv");
    const auto table = dynamicFunctionTexts();
    ASSERT_EQ(expected.size(), 29u);
    ASSERT_EQ(table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        ASSERT_EQ(expected[i].size(), 2u) << "data row " << i;
        EXPECT_EQ(table[i].code, std::stoi(expected[i][0])) << "row " << i;
        EXPECT_EQ(table[i].text, expected[i][1]) << "row " << i;
        EXPECT_EQ(dynamicFunctionName(table[i].code), expected[i][1]);
    }
    EXPECT_EQ(dynamicFunctionName(SQL_DIAG_UNKNOWN_STATEMENT), "");
}

TEST(DiagnosticRecord, DefaultTextAndOrigins) {
    struct Row {
        const char* state;
        const char* message;
        const char* classOrigin;
        const char* subclassOrigin;
    };
    const Row rows[] = {
        {"IM002", "Data source name not found and no default driver specified", "ODBC 3.0",
         "ODBC 3.0"},
        {"HY000", "General error", "ISO 9075", "ISO 9075"},
        {"HYT00", "Timeout expired", "ISO 9075", "ODBC 3.0"},
        {"IM009", "Unable to load translation DLL", "ODBC 3.0", "ISO 9075"},
        {"HY00", "", "ISO 9075", "ISO 9075"},
        {"01S000", "", "ISO 9075", "ISO 9075"},
        {"hy000", "", "ISO 9075", "ISO 9075"},
        {"I", "", "ISO 9075", "ISO 9075"},
        {"", "", "ISO 9075", "ISO 9075"},
    };
    for (const Row& row : rows) {
        DiagnosticRecord record(row.state, 0, "", -1, -1);
        EXPECT_EQ(defaultMessage(row.state), row.message) << row.state;
        EXPECT_EQ(record.getClassOrigin(), row.classOrigin) << row.state;
        EXPECT_EQ(record.getSubclassOrigin(), row.subclassOrigin) << row.state;
    }
}

// --- posting and tracing ---

TEST(DiagnosticHeader, PrependPutsNewestFirstAppendPutsItLast) {
    RecordingSink sink;
    DiagnosticHeader header(&sink);
    header.prependRecord("HY000", 1, "first", -1, -1);
    header.prependRecord("HY001", 2, "second", -1, -1);
    header.appendRecord("01004", 3, "third", -1, -1);
    header.prependRecord("08S01", 4, "fourth", -1, -1);
    const std::vector<std::pair<std::string, SQLINTEGER>> expected = {
        {"08S01", 4}, {"HY001", 2}, {"HY000", 1}, {"01004", 3}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        ASSERT_EQ(
            header.getDiagRec(static_cast<SQLINTEGER>(i + 1), state, &native, nullptr, 0, nullptr),
            SQL_SUCCESS);
        EXPECT_EQ(text(state), expected[i].first) << i;
        EXPECT_EQ(native, expected[i].second) << i;
    }
    EXPECT_FALSE(header.isEmpty());
    header.clear();
    EXPECT_TRUE(header.isEmpty());
}

std::vector<SQLINTEGER> natives(const DiagnosticHeader& header) {
    std::vector<SQLINTEGER> result;
    for (SQLINTEGER rec = 1;; ++rec) {
        SQLINTEGER native = 0;
        if (header.getDiagRec(rec, nullptr, &native, nullptr, 0, nullptr) != SQL_SUCCESS) {
            return result;
        }
        result.push_back(native);
    }
}

TEST(DiagnosticHeader, RemovesOneRecordAndCopiesRecordsWithoutTracing) {
    struct Case {
        SQLINTEGER remove;
        std::vector<SQLINTEGER> left;
    };
    for (const Case& c : {Case{1, {2, 3}}, Case{2, {1, 3}}, Case{3, {1, 2}}, Case{0, {1, 2, 3}},
                          Case{4, {1, 2, 3}}, Case{-1, {1, 2, 3}}}) {
        RecordingSink sink;
        DiagnosticHeader header(&sink);
        for (SQLINTEGER n : {1, 2, 3}) {
            header.appendRecord("HY000", n, "", -1, -1);
        }
        header.removeRecord(c.remove);
        EXPECT_EQ(natives(header), c.left) << c.remove;
    }

    RecordingSink sink;
    sink.tracing = true;
    DiagnosticHeader from(&sink);
    from.appendRecord("01004", 7, "cut", -1, -1);
    from.appendRecord("HY000", 8, "", -1, -1);
    DiagnosticHeader to(&sink);
    to.appendRecord("01S02", 9, "", -1, -1);
    const std::size_t linesBefore = sink.writes.size();
    to.appendRecordsFrom(from, 2);
    to.appendRecordsFrom(to);
    EXPECT_EQ(natives(to), (std::vector<SQLINTEGER>{9, 8, 9, 8}));
    EXPECT_EQ(sink.writes.size(), linesBefore);
}

TEST(DiagnosticHeader, EachPostWritesOneTraceLineOnlyWhenTracing) {
    RecordingSink sink;
    DiagnosticHeader header(&sink);
    header.prependRecord("HY000", 0, "quiet", -1, -1);
    EXPECT_TRUE(sink.writes.empty());
    sink.tracing = true;
    header.prependRecord("HY000", -7, "bad thing", -1, -1);
    header.appendRecord("01004", 0, "", -1, -1);
    header.prependRecord(std::string("42S02"), 42, std::string("no table"), 3, 9);
    header.prependRecord(nullptr, 5, nullptr, -1, -1);
    const std::vector<std::string> expected = {
        "// diagnostic: state: HY000  code: -7  msg: bad thing\n",
        "// diagnostic: state: 01004  code: 0  msg: \n",
        "// diagnostic: state: 42S02  code: 42  msg: no table\n",
        "// diagnostic: state:   code: 5  msg: \n",
    };
    EXPECT_EQ(sink.writes, expected);
}

// --- SQLGetDiagRec ---

TEST(DiagnosticHeader, ComposesBracketedMessage) {
    struct Row {
        const char* state;
        const char* message;
        const char* component;  // null: the owner's product name
        std::string expected;
    };
    const Row rows[] = {
        {"HY000", "", nullptr, "[Vorlan][Vorlan Tarvex] General error"},
        {"HY000", "disk full", nullptr, "[Vorlan][Vorlan Tarvex] disk full"},
        {"ZZ123", "", nullptr, "[Vorlan][Vorlan Tarvex] "},
        {"42S02", "", "PostgreSQL", "[Vorlan][PostgreSQL] Base table or view not found"},
        {"01004", "", "", "[Vorlan][] String data, right-truncated"},
    };
    RecordingSink sink;
    for (const Row& row : rows) {
        DiagnosticHeader header(&sink);
        header.prependRecord(row.state, 17, row.message, -1, -1);
        SQLCHAR state[6];
        SQLINTEGER native = 0;
        SQLCHAR message[256];
        SQLSMALLINT length = -1;
        EXPECT_EQ(row.component == nullptr
                      ? header.getDiagRec(1, state, &native, message, sizeof message, &length)
                      : header.getDiagRecWithComponent(row.component, 1, state, &native, message,
                                                       sizeof message, &length),
                  SQL_SUCCESS);
        EXPECT_EQ(text(state), row.state);
        EXPECT_EQ(native, 17);
        EXPECT_EQ(text(message), row.expected);
        EXPECT_EQ(length, static_cast<SQLSMALLINT>(row.expected.size()));
    }
    DiagnosticHeader orphan(nullptr);
    orphan.prependRecord("HY000", 0, "", -1, -1);
    SQLCHAR message[32];
    EXPECT_EQ(orphan.getDiagRec(1, nullptr, nullptr, message, sizeof message, nullptr),
              SQL_SUCCESS);
    EXPECT_EQ(text(message), "[][] General error");
}

// Exact-size heap buffers: the sanitizer build sees any byte written past them.
TEST(DiagnosticHeader, CutMessageReportsFullLength) {
    RecordingSink sink;
    DiagnosticHeader header(&sink);
    header.prependRecord("HY000", 0, std::string(40000, 'm'), -1, -1);
    header.prependRecord("HY000-and-more", 0, "", -1, -1);
    const std::string full = "[Vorlan][Vorlan Tarvex] ";
    for (SQLSMALLINT size : {SQLSMALLINT{1}, SQLSMALLINT{10}, SQLSMALLINT(full.size() + 1)}) {
        auto buffer = std::make_unique<SQLCHAR[]>(static_cast<std::size_t>(size));
        auto state = std::make_unique<SQLCHAR[]>(6);
        SQLSMALLINT length = 0;
        EXPECT_EQ(header.getDiagRec(1, state.get(), nullptr, buffer.get(), size, &length),
                  SQL_SUCCESS);
        EXPECT_EQ(length, static_cast<SQLSMALLINT>(full.size()));
        EXPECT_EQ(text(buffer.get()), full.substr(0, size - 1u)) << size;
        EXPECT_EQ(text(state.get()), "HY000");
    }
    // 40,000 bytes: the 16-bit length stops at 32,767, the copy at the buffer.
    auto buffer = std::make_unique<SQLCHAR[]>(50);
    SQLSMALLINT length = 0;
    EXPECT_EQ(header.getDiagRec(2, nullptr, nullptr, buffer.get(), 50, &length), SQL_SUCCESS);
    EXPECT_EQ(length, 32767);
    EXPECT_EQ(header.getDiagField(2, SQL_DIAG_MESSAGE_TEXT, buffer.get(), 50, &length),
              SQL_SUCCESS);
    EXPECT_EQ(length, 32767);
    EXPECT_EQ(text(buffer.get()), std::string(49, 'm'));
}

TEST(DiagnosticHeader, RecordNumbersOutsideTheListGiveNoDataAndWriteNothing) {
    RecordingSink sink;
    DiagnosticHeader header(&sink);
    header.prependRecord("HY000", 9, "a", -1, -1);
    header.prependRecord("HY001", 9, "b", -1, -1);
    for (SQLINTEGER recNumber : {0, 3, -1, -32768, 2147483647}) {
        SQLCHAR state[6] = {'#'};
        SQLINTEGER native = 12345;
        SQLCHAR message[8] = {'#'};
        SQLSMALLINT length = 777;
        EXPECT_EQ(header.getDiagRec(recNumber, state, &native, message, sizeof message, &length),
                  SQL_NO_DATA)
            << recNumber;
        EXPECT_EQ(state[0], '#');
        EXPECT_EQ(native, 12345);
        EXPECT_EQ(message[0], '#');
        EXPECT_EQ(length, 777);
        if (recNumber != 0 && recNumber >= -32768 && recNumber <= 32767) {
            const auto shortNumber = static_cast<SQLSMALLINT>(recNumber);
            EXPECT_EQ(header.getDiagField(shortNumber, SQL_DIAG_NATIVE, &native, 0, &length),
                      SQL_NO_DATA);
            EXPECT_EQ(header.getDiagField(shortNumber, SQL_DIAG_SQLSTATE, message, 8, &length),
                      SQL_NO_DATA);
            EXPECT_EQ(native, 12345);
            EXPECT_EQ(length, 777);
        }
    }
}

// --- SQLGetDiagField: every identifier at its width, against the extracted list ---

struct FieldRow {
    SQLSMALLINT recNumber;  // 0 for header fields
    std::string name;
    SQLSMALLINT identifier;
    std::string kind;
};

std::vector<FieldRow> fieldRows() {
    std::vector<FieldRow> rows;
    for (const auto& cells : readTsv("tests/core/data/diag_fields.tsv")) {
        if (cells.size() == 4) {
            rows.push_back({SQLSMALLINT(cells[0] == "header" ? 0 : 1), cells[1],
                            static_cast<SQLSMALLINT>(std::stoi(cells[2])), cells[3]});
        }
    }
    return rows;
}

// Answers for the header that postedHeader makes: one record, counters 0.
const std::map<std::string, std::string> kExpectedText = {
    {"SQL_DIAG_SQLSTATE", "IM002"},
    {"SQL_DIAG_MESSAGE_TEXT", "Data source name not found and no default driver specified"},
    {"SQL_DIAG_CLASS_ORIGIN", "ODBC 3.0"},
    {"SQL_DIAG_SUBCLASS_ORIGIN", "ODBC 3.0"},
    {"SQL_DIAG_DYNAMIC_FUNCTION", ""},
};
const std::map<std::string, std::int64_t> kExpectedNumber = {
    {"SQL_DIAG_NATIVE", -5},          {"SQL_DIAG_ROW_NUMBER", 0x123456789LL},
    {"SQL_DIAG_COLUMN_NUMBER", 7},    {"SQL_DIAG_NUMBER", 1},
    {"SQL_DIAG_ROW_COUNT", 0},        {"SQL_DIAG_DYNAMIC_FUNCTION_CODE", 0},
    {"SQL_DIAG_CURSOR_ROW_COUNT", 0},
};

constexpr unsigned char kFill = 0xAB;
constexpr std::size_t kFieldBuffer = 80;

std::vector<unsigned char> askField(const DiagnosticHeader& header, SQLSMALLINT recNumber,
                                    SQLSMALLINT identifier, SQLSMALLINT* length) {
    std::vector<unsigned char> bytes(kFieldBuffer, kFill);
    EXPECT_EQ(header.getDiagField(recNumber, identifier, bytes.data(), kFieldBuffer, length),
              SQL_SUCCESS);
    return bytes;
}

DiagnosticHeader postedHeader(RecordingSink& sink) {
    DiagnosticHeader header(&sink);
    header.prependRecord("IM002", -5, "", 7, 0x123456789LL);
    return header;
}

TEST(DiagnosticHeaderFields, EachIdentifierAtItsWidth) {
    RecordingSink sink;
    const DiagnosticHeader header = postedHeader(sink);
    const auto rows = fieldRows();
    ASSERT_EQ(rows.size(), 12u);
    for (const FieldRow& row : rows) {
        SCOPED_TRACE(row.name);
        SQLSMALLINT length = -99;
        const auto bytes = askField(header, row.recNumber, row.identifier, &length);
        // A null target receives nothing and must not crash.
        SQLSMALLINT nullLength = -99;
        EXPECT_EQ(header.getDiagField(row.recNumber, row.identifier, nullptr, 64, &nullLength),
                  SQL_SUCCESS);
        if (row.kind == "string") {
            const std::string& expected = kExpectedText.at(row.name);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), expected);
            EXPECT_EQ(length, static_cast<SQLSMALLINT>(expected.size()));
            EXPECT_EQ(nullLength, length);
            EXPECT_EQ(bytes[expected.size() + 1], kFill);
            continue;
        }
        const std::size_t width = row.kind == "int64" ? 8 : 4;
        std::int64_t value = 0;
        std::int32_t narrow = 0;
        std::memcpy(width == 8 ? static_cast<void*>(&value) : &narrow, bytes.data(), width);
        EXPECT_EQ(width == 8 ? value : narrow, kExpectedNumber.at(row.name));
        EXPECT_EQ(bytes[width], kFill) << "wrote past " << width << " bytes";
    }
}

TEST(DiagnosticHeaderFields, OtherIdentifiersWriteNothing) {
    RecordingSink sink;
    const DiagnosticHeader header = postedHeader(sink);
    std::set<std::pair<SQLSMALLINT, SQLSMALLINT>> answered;
    for (const FieldRow& row : fieldRows()) {
        answered.insert({row.recNumber, row.identifier});
    }
    const std::vector<unsigned char> untouched(kFieldBuffer, kFill);
    for (SQLSMALLINT recNumber : {SQLSMALLINT{0}, SQLSMALLINT{1}}) {
        for (int id = -1300; id <= 40; ++id) {
            const auto identifier = static_cast<SQLSMALLINT>(id);
            SQLSMALLINT length = -99;
            if (!answered.count({recNumber, identifier})) {
                EXPECT_EQ(askField(header, recNumber, identifier, &length), untouched)
                    << recNumber << "/" << id;
            }
        }
    }
}

TEST(DiagnosticHeaderFields, EmptyHeaderAndAssign) {
    RecordingSink sink;
    DiagnosticHeader header(&sink);
    SQLINTEGER number = -1;
    SQLLEN rowCount = -1;
    char function[8] = "xxxxxxx";
    SQLSMALLINT length = -1;
    header.getDiagField(0, SQL_DIAG_NUMBER, &number, 0, nullptr);
    header.getDiagField(0, SQL_DIAG_ROW_COUNT, &rowCount, 0, nullptr);
    header.getDiagField(0, SQL_DIAG_DYNAMIC_FUNCTION, function, sizeof function, &length);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(rowCount, 0);
    EXPECT_STREQ(function, "");
    EXPECT_EQ(length, 0);

    const DiagnosticHeader source = postedHeader(sink);
    header.prependRecord("01004", 3, "old", -1, -1);
    header.assign(source);
    header.assign(header);
    header.getDiagField(0, SQL_DIAG_NUMBER, &number, 0, nullptr);
    EXPECT_EQ(number, 1);
    SQLCHAR state[6];
    ASSERT_EQ(header.getDiagRec(1, state, nullptr, nullptr, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(text(state), "IM002");
}

}  // namespace
