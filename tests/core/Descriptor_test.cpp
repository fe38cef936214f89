#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/core/Connection.h"
#include "driver/core/Descriptor.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/Environment.h"
#include "driver/core/MemoryRecordset.h"
#include "driver/core/Statement.h"

namespace {

// An environment whose call trace is captured in memory.
class CapturingEnvironment : public Environment {
  public:
    explicit CapturingEnvironment(bool tracing = false)
        : Environment("com.example.desc-test", "morvanex.so", "Vorlan Tarvex", "Vorlan"),
          tracing_(tracing) {}
    bool isTracing() const override { return tracing_; }
    void writeTrace(std::string_view text) override { trace.append(text); }

    std::string trace;

  private:
    bool tracing_;
};

class TestConnection : public Connection {
  public:
    explicit TestConnection(Environment* environment) : Connection(environment) {}
    SQLRETURN connectStrings(const std::string&, const std::string&, const std::string&) override {
        return SQL_SUCCESS;
    }
    SQLRETURN driverConnect(SQLHWND, const SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                            SQLSMALLINT*, SQLUSMALLINT) override {
        return SQL_SUCCESS;
    }
    SQLRETURN disconnect() override { return SQL_SUCCESS; }
};

struct Handles {
    explicit Handles(bool tracing = false) : environment(tracing), connection(&environment) {}
    CapturingEnvironment environment;
    TestConnection connection;
};

std::string firstState(Descriptor& descriptor) {
    SQLCHAR state[6] = {};
    if (descriptor.getDiagRec(1, state, nullptr, nullptr, 0, nullptr) != SQL_SUCCESS) {
        return "";
    }
    return reinterpret_cast<const char*>(state);
}

SQLPOINTER word(SQLLEN value) {
    return reinterpret_cast<SQLPOINTER>(value);
}

constexpr SQLINTEGER kAllKinds[] = {Descriptor::Explicit, Descriptor::Apd, Descriptor::Ard,
                                    Descriptor::Ipd, Descriptor::Ird};

// --- Header fields ------------------------------------------------------------

TEST(DescriptorHeader, NewDescriptorDefaults) {
    Handles handles;
    for (const SQLINTEGER kind : kAllKinds) {
        SCOPED_TRACE(kind);
        Descriptor descriptor(&handles.connection, kind);
        // A 16-bit field writes 16 bits only.
        SQLSMALLINT count[2] = {-1, 0x5A5A};
        SQLSMALLINT allocType = -1;
        EXPECT_EQ(descriptor.getDescField(0, SQL_DESC_COUNT, count, 0, nullptr), SQL_SUCCESS);
        EXPECT_EQ(count[0], 0);
        EXPECT_EQ(count[1], 0x5A5A);
        EXPECT_EQ(descriptor.getDescField(0, SQL_DESC_ALLOC_TYPE, &allocType, 0, nullptr),
                  SQL_SUCCESS);
        EXPECT_EQ(allocType,
                  kind == Descriptor::Explicit ? SQL_DESC_ALLOC_USER : SQL_DESC_ALLOC_AUTO);
        EXPECT_EQ(descriptor.getArraySize(), 1u);
        EXPECT_EQ(descriptor.getBindType(), SQL_BIND_BY_COLUMN);
        ASSERT_NE(descriptor.record(0), nullptr);
        EXPECT_EQ(descriptor.record(1), nullptr);
    }
}

struct HeaderRuleCase {
    SQLINTEGER kind;
    SQLSMALLINT field;
    SQLLEN value;
    bool setAllowed;
    bool getAllowed;
};

TEST(DescriptorHeader, FieldsRefusedByKind) {
    const HeaderRuleCase cases[] = {
        {Descriptor::Ird, SQL_DESC_ARRAY_SIZE, 4, false, false},
        {Descriptor::Ipd, SQL_DESC_ARRAY_SIZE, 4, false, false},
        {Descriptor::Ard, SQL_DESC_ARRAY_SIZE, 4, true, true},
        {Descriptor::Explicit, SQL_DESC_ARRAY_SIZE, 4, true, true},
        {Descriptor::Ird, SQL_DESC_BIND_TYPE, 32, false, false},
        {Descriptor::Apd, SQL_DESC_BIND_TYPE, 32, true, true},
        {Descriptor::Ipd, SQL_DESC_BIND_OFFSET_PTR, 0, false, false},
        {Descriptor::Ard, SQL_DESC_ROWS_PROCESSED_PTR, 0, false, false},
        {Descriptor::Apd, SQL_DESC_ROWS_PROCESSED_PTR, 0, false, false},
        {Descriptor::Ird, SQL_DESC_ROWS_PROCESSED_PTR, 0, true, true},
        {Descriptor::Explicit, SQL_DESC_ROWS_PROCESSED_PTR, 0, true, true},
        {Descriptor::Ird, SQL_DESC_COUNT, 2, false, true},
        {Descriptor::Ipd, SQL_DESC_COUNT, 2, true, true},
        {Descriptor::Explicit, SQL_DESC_ALLOC_TYPE, SQL_DESC_ALLOC_AUTO, false, true},
        {Descriptor::Ird, SQL_DESC_ALLOC_TYPE, SQL_DESC_ALLOC_USER, false, true},
    };
    Handles handles;
    for (const HeaderRuleCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " field " << c.field);
        Descriptor descriptor(&handles.connection, c.kind);
        EXPECT_EQ(descriptor.setDescField(0, c.field, word(c.value), 0),
                  c.setAllowed ? SQL_SUCCESS : SQL_ERROR);
        EXPECT_EQ(firstState(descriptor), c.setAllowed ? "" : "HY091");
        SQLLEN out = 0;
        EXPECT_EQ(descriptor.getDescField(0, c.field, &out, sizeof out, nullptr),
                  c.getAllowed ? SQL_SUCCESS : SQL_ERROR);
        EXPECT_EQ(firstState(descriptor), c.getAllowed ? "" : "HY091");
    }
}

// --- Records ------------------------------------------------------------------

TEST(DescriptorRecords, SettingAFieldBeyondTheCountGrowsTheDescriptor) {
    Handles handles(true);
    Descriptor descriptor(&handles.connection, Descriptor::Explicit);
    char name[] = "total";
    ASSERT_EQ(descriptor.setDescField(3, SQL_DESC_NAME, name, SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(descriptor.getCount(), 3);
    for (SQLSMALLINT number = 1; number <= 3; ++number) {
        SCOPED_TRACE(number);
        const DescriptorRecord* record = descriptor.record(number);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->getConciseType(), SQL_VARCHAR);
        EXPECT_EQ(record->getNullable(), SQL_NULLABLE_UNKNOWN);
        EXPECT_EQ(record->getName(), number == 3 ? "total" : "");
    }
    EXPECT_NE(handles.environment.trace.find("// changing size from 1 to 4\n"), std::string::npos);
}

struct ShrinkCase {
    const char* name;
    SQLSMALLINT count;
    SQLSMALLINT expectedCount;
    bool bookmarkRemains;
};

TEST(DescriptorRecords, SetCountShrinksAndGrows) {
    const ShrinkCase cases[] = {
        {"grow", 6, 6, true},
        {"shrink", 2, 2, true},
        {"to zero", 0, 0, true},
        {"negative", -1, 0, false},
        {"very negative", -200, 0, false},
    };
    Handles handles;
    for (const ShrinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        Descriptor descriptor(&handles.connection, Descriptor::Ard);
        ASSERT_EQ(descriptor.setCount(4), SQL_SUCCESS);
        EXPECT_EQ(descriptor.setCount(c.count), SQL_SUCCESS);
        EXPECT_EQ(descriptor.getCount(), c.expectedCount);
        EXPECT_EQ(descriptor.record(0) != nullptr, c.bookmarkRemains);
        EXPECT_EQ(descriptor.record(c.expectedCount + 1), nullptr);
    }
}

// After a negative count removed the bookmark record, nothing may reach a
// record that is gone; record numbers outside the records touch none.
TEST(DescriptorRecords, MissingRecordAnswers07009) {
    Handles handles;
    Descriptor descriptor(&handles.connection, Descriptor::Ird);
    ASSERT_EQ(descriptor.setCount(-1), SQL_SUCCESS);
    ASSERT_EQ(descriptor.record(0), nullptr);

    SQLSMALLINT type = 0;
    char name[16] = {};
    SQLLEN value = 0;
    const std::vector<std::pair<const char*, std::function<SQLRETURN()>>> calls = {
        {"getDescField record field",
         [&] { return descriptor.getDescField(0, SQL_DESC_TYPE, &type, 0, nullptr); }},
        {"setDescField record field",
         [&] { return descriptor.setDescField(0, SQL_DESC_NAME, name, SQL_NTS); }},
        {"setDescRec",
         [&] {
             return descriptor.setDescRec(0, SQL_INTEGER, 0, 4, 0, 0, &value, nullptr, nullptr);
         }},
        {"getDescRec",
         [&] {
             return descriptor.getDescRec(0, reinterpret_cast<SQLCHAR*>(name), sizeof name, nullptr,
                                          &type, nullptr, nullptr, nullptr, nullptr, nullptr);
         }},
        {"setRecordDataPtr", [&] { return descriptor.setRecordDataPtr(0, nullptr); }},
        {"header field beyond the count",
         [&] { return descriptor.getDescField(5, SQL_DESC_COUNT, &type, 0, nullptr); }},
        {"negative record, header field",
         [&] { return descriptor.getDescField(-1, SQL_DESC_COUNT, &type, 0, nullptr); }},
        {"negative record, record field",
         [&] { return descriptor.setDescField(-1, SQL_DESC_PRECISION, word(3), 0); }},
        {"setDescRec on a negative record",
         [&] {
             return descriptor.setDescRec(-2, SQL_INTEGER, 0, 4, 0, 0, nullptr, nullptr, nullptr);
         }},
    };
    for (const auto& [label, call] : calls) {
        SCOPED_TRACE(label);
        EXPECT_EQ(call(), SQL_ERROR);
        EXPECT_EQ(firstState(descriptor), "07009");
        EXPECT_EQ(descriptor.record(0), nullptr);
    }
    // A header field still works, and a record added now becomes record 0.
    SQLSMALLINT count = -1;
    EXPECT_EQ(descriptor.getDescField(0, SQL_DESC_COUNT, &count, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(descriptor.addRecord("id", SQL_INTEGER, SQL_NO_NULLS, 0), SQL_SUCCESS);
    ASSERT_NE(descriptor.record(0), nullptr);
    EXPECT_EQ(descriptor.record(0)->getName(), "id");
}

TEST(DescriptorRecords, CopyDescCopiesTypesAndApplicationBindings) {
    Handles handles;
    Descriptor source(&handles.connection, Descriptor::Ard);
    SQLINTEGER value = 0;
    SQLLEN indicator = 0;
    ASSERT_EQ(source.setCount(2), SQL_SUCCESS);
    ASSERT_EQ(source.setDescRec(2, SQL_INTEGER, 0, 4, 0, 0, &value, &indicator, &indicator),
              SQL_SUCCESS);
    source.setArraySize(7);

    Descriptor target(&handles.connection, Descriptor::Explicit);
    ASSERT_EQ(target.copyDesc(&source), SQL_SUCCESS);
    EXPECT_EQ(target.getCount(), 2);
    EXPECT_EQ(target.getArraySize(), 7u);
    ASSERT_NE(target.record(2), nullptr);
    EXPECT_EQ(target.record(2)->getConciseType(), SQL_INTEGER);
    EXPECT_EQ(target.record(2)->getDataPtr(), &value);

    // An implementation descriptor never takes the application's pointers.
    Descriptor ipd(&handles.connection, Descriptor::Ipd);
    ASSERT_EQ(ipd.copyDesc(&source), SQL_SUCCESS);
    EXPECT_EQ(ipd.record(2)->getDataPtr(), nullptr);

    Descriptor ird(&handles.connection, Descriptor::Ird);
    EXPECT_EQ(ird.copyDesc(&source), SQL_ERROR);
    EXPECT_EQ(firstState(ird), "HY016");
}

// --- Row binding --------------------------------------------------------------

struct StrideCase {
    SQLINTEGER bindType;
    SQLSMALLINT cType;
    SQLLEN bufferLength;
    SQLULEN row;
    std::ptrdiff_t offset;
};

TEST(DescriptorBinding, ElementAddressStrides) {
    const StrideCase cases[] = {
        {0, SQL_C_SBIGINT, 0, 3, 24},   {0, SQL_C_FLOAT, 0, 2, 8},
        {0, SQL_C_SLONG, 8, 2, 8},      {0, SQL_C_BIT, 0, 4, 4},
        {0, SQL_C_TYPE_DATE, 0, 2, 12}, {0, SQL_C_TIMESTAMP, 0, 2, 32},
        {0, SQL_C_CHAR, 21, 2, 42},     {0, SQL_C_WCHAR, 40, 3, 120},
        {0, SQL_C_CHAR, -4, 3, 0},      {0, SQL_C_NUMERIC, 19, 3, 3},
        {48, SQL_C_SLONG, 0, 2, 96},    {48, SQL_C_CHAR, 200, 1, 48},
    };
    Handles handles;
    Descriptor ard(&handles.connection, Descriptor::Ard);
    char base[256] = {};
    for (const StrideCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "bind type " << c.bindType << " type " << c.cType << " row " << c.row);
        ard.setBindType(c.bindType);
        const auto* address =
            static_cast<const char*>(ard.elementAddress(base, c.cType, c.row, c.bufferLength));
        EXPECT_EQ(address - base, c.offset);
    }
    EXPECT_EQ(ard.elementAddress(nullptr, SQL_C_SLONG, 3, 0), nullptr);
}

// Five rows of text with NULLs, behind an in-memory result.
struct FiveRows {
    explicit FiveRows(Handles& handles) : statement(&handles.connection), recordset(&statement) {
        Descriptor& ird = *statement.getAttrImpRowDesc();
        ird.clearRecords();
        ird.addRecord("id", SQL_INTEGER, SQL_NULLABLE, 0);
        ird.addRecord("name", SQL_VARCHAR, SQL_NULLABLE, 0);
        ird.addRecord("amount", SQL_DOUBLE, SQL_NULLABLE, 0);
        ird.addRecord("stamp", SQL_TYPE_TIMESTAMP, SQL_NULLABLE, 0);
        for (SQLSMALLINT number = 0; number <= ird.getCount(); ++number) {
            ird.setRecordIndicatorPtr(number, static_cast<SQLLEN*>(std::calloc(1, 8)));
            ird.setRecordOctetLengthPtr(number, static_cast<SQLLEN*>(std::calloc(1, 8)));
            ird.setRecordDataPtr(number, std::calloc(1, 8));
        }
        using Text = std::optional<std::string>;
        const Text rows[5][4] = {
            {"1", "alpha", "1.5", "2020-03-04 05:06:07.5"},
            {"-2", "be", std::nullopt, "2021-01-02 03:04:05"},
            {"30000", std::nullopt, "2.25", std::nullopt},
            {"1,234", "delta42xyz", "0", "1999-12-31 23:59:59.123"},
            {std::nullopt, "", "-3", "2000-01-01 00:00:00"},
        };
        for (const auto& row : rows) {
            recordset.appendRow();
            for (int column = 0; column < 4; ++column) {
                recordset.setTextCell(column + 1, row[column]);
            }
        }
    }

    // Walks the result as a fetch does, converting row i into rowset row i.
    void fetchInto(Descriptor& ard, SQLUINTEGER retrieveData = SQL_RD_ON) {
        Descriptor* ird = statement.getAttrImpRowDesc();
        for (SQLULEN row = 0; recordset.fetchNext() == SQL_SUCCESS; ++row) {
            recordset.loadCurrentRow(0, SQL_RD_ON);
            ard.convertImpColumns(row, ird, 0, retrieveData);
        }
    }

    Statement statement;
    MemoryRecordset recordset;
};

void bind(Descriptor& ard, SQLSMALLINT column, SQLSMALLINT cType, SQLPOINTER data,
          SQLLEN bufferLength, SQLLEN* lengthOrIndicator) {
    ASSERT_EQ(ard.setDescField(column, SQL_DESC_CONCISE_TYPE, word(cType), 0), SQL_SUCCESS);
    ASSERT_EQ(ard.setDescField(column, SQL_DESC_LENGTH, word(bufferLength), 0), SQL_SUCCESS);
    ASSERT_EQ(ard.setDescField(column, SQL_DESC_INDICATOR_PTR, lengthOrIndicator, 0), SQL_SUCCESS);
    ASSERT_EQ(ard.setDescField(column, SQL_DESC_OCTET_LENGTH_PTR, lengthOrIndicator, 0),
              SQL_SUCCESS);
    ASSERT_EQ(ard.setDescField(column, SQL_DESC_DATA_PTR, data, 0), SQL_SUCCESS);
}

constexpr SQLINTEGER kIds[5] = {1, -2, 30000, 1234, 0};
constexpr const char* kNames[5] = {"alpha", "be", nullptr, "delta42", ""};
constexpr SQLLEN kNameLengths[5] = {5, 2, SQL_NULL_DATA, 10, 0};
constexpr double kAmounts[5] = {1.5, 0, 2.25, 0, -3};

// Column-wise arrays sized exactly to the rows they take: the sanitizer
// build catches any write past them. The integer column is bound with a
// buffer length of 8 and the timestamps with 0, as applications do for
// fixed-size types.
TEST(DescriptorBinding, ColumnWiseArrays) {
    Handles handles;
    FiveRows result(handles);
    Descriptor ard(&handles.connection, Descriptor::Ard);
    auto ids = std::make_unique<SQLINTEGER[]>(5);
    auto idIndicators = std::make_unique<SQLLEN[]>(5);
    auto names = std::make_unique<char[]>(5 * 8);
    auto nameLengths = std::make_unique<SQLLEN[]>(5);
    auto amounts = std::make_unique<double[]>(5);
    auto amountIndicators = std::make_unique<SQLLEN[]>(5);
    auto stamps = std::make_unique<SQL_TIMESTAMP_STRUCT[]>(5);
    auto stampIndicators = std::make_unique<SQLLEN[]>(5);
    bind(ard, 1, SQL_C_SLONG, ids.get(), 8, idIndicators.get());
    bind(ard, 2, SQL_C_CHAR, names.get(), 8, nameLengths.get());
    bind(ard, 3, SQL_C_DOUBLE, amounts.get(), 0, amountIndicators.get());
    bind(ard, 4, SQL_C_TYPE_TIMESTAMP, stamps.get(), 0, stampIndicators.get());
    result.fetchInto(ard);
    for (std::size_t row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        if (row == 4) {
            EXPECT_EQ(idIndicators[row], SQL_NULL_DATA);
        } else {
            EXPECT_EQ(ids[row], kIds[row]);
            EXPECT_EQ(idIndicators[row], 4);
        }
        EXPECT_EQ(nameLengths[row], kNameLengths[row]);
        if (kNames[row] != nullptr) {
            EXPECT_STREQ(&names[row * 8], kNames[row]);
        }
        if (row == 1) {
            EXPECT_EQ(amountIndicators[row], SQL_NULL_DATA);
        } else {
            EXPECT_DOUBLE_EQ(amounts[row], kAmounts[row]);
        }
    }
    EXPECT_EQ(stamps[0].year, 2020);
    EXPECT_EQ(stamps[0].fraction, 500000000u);
    EXPECT_EQ(stampIndicators[0], 16);
    EXPECT_EQ(stampIndicators[2], SQL_NULL_DATA);
    EXPECT_EQ(stamps[3].second, 59);
    EXPECT_EQ(stamps[3].fraction, 123000000u);
}

// The offset is read at each conversion and added to the data, length and
// indicator addresses alike.
// Column-wise with a bind offset: 8-byte elements and 8-byte indicators,
// so an offset of 8 bytes moves data and indicators by one row.
TEST(DescriptorBinding, ColumnWiseBindOffset) {
    Handles handles;
    FiveRows result(handles);
    Descriptor ard(&handles.connection, Descriptor::Ard);
    auto ids = std::make_unique<SQLBIGINT[]>(6);
    auto indicators = std::make_unique<SQLLEN[]>(6);
    ids[0] = 77;
    bind(ard, 1, SQL_C_SBIGINT, ids.get(), 0, indicators.get());
    SQLLEN offset = 8;
    ard.setBindOffsetPtr(&offset);
    result.fetchInto(ard);
    EXPECT_EQ(ids[0], 77);
    EXPECT_EQ(indicators[0], 0);
    for (std::size_t row = 0; row < 4; ++row) {
        EXPECT_EQ(ids[row + 1], kIds[row]);
        EXPECT_EQ(indicators[row + 1], 8);
    }
    EXPECT_EQ(indicators[5], SQL_NULL_DATA);
}

// Row-wise binding into the second half of ten rows through a bind offset:
// every field lands in its own row, and a fixed-size field bound with a
// longer buffer length leaves its neighbour alone.
TEST(DescriptorBinding, RowWiseRowsWithBindOffset) {
    struct Row {
        SQLINTEGER id;
        SQLINTEGER neighbour;
        SQLLEN idIndicator;
        char name[8];
        SQLLEN nameLength;
        double amount;
        SQLLEN amountIndicator;
    };
    Handles handles;
    FiveRows result(handles);
    Descriptor ard(&handles.connection, Descriptor::Ard);
    auto rows = std::make_unique<Row[]>(10);
    for (std::size_t row = 0; row < 10; ++row) {
        rows[row].neighbour = 0x5A5A5A5A;
    }
    ard.setBindType(sizeof(Row));
    SQLLEN offset = 5 * static_cast<SQLLEN>(sizeof(Row));
    ard.setBindOffsetPtr(&offset);
    bind(ard, 1, SQL_C_SLONG, &rows[0].id, 8, &rows[0].idIndicator);
    bind(ard, 2, SQL_C_CHAR, rows[0].name, sizeof rows[0].name, &rows[0].nameLength);
    bind(ard, 3, SQL_C_DOUBLE, &rows[0].amount, 0, &rows[0].amountIndicator);
    result.fetchInto(ard);
    for (std::size_t row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(rows[row].idIndicator, 0);
        EXPECT_EQ(rows[row].nameLength, 0);
        const Row& filled = rows[row + 5];
        EXPECT_EQ(filled.neighbour, 0x5A5A5A5A);
        EXPECT_EQ(filled.idIndicator, row == 4 ? SQL_NULL_DATA : 4);
        if (row < 4) {
            EXPECT_EQ(filled.id, kIds[row]);
        }
        EXPECT_EQ(filled.nameLength, kNameLengths[row]);
        if (kNames[row] != nullptr) {
            EXPECT_STREQ(filled.name, kNames[row]);
        }
        EXPECT_EQ(filled.amountIndicator, row == 1 ? SQL_NULL_DATA : 8);
    }
}

TEST(DescriptorBinding, RetrieveDataOffConvertsOnlyTheBookmark) {
    Handles handles(true);
    FiveRows result(handles);
    Descriptor ard(&handles.connection, Descriptor::Ard);
    auto bookmarks = std::make_unique<SQLINTEGER[]>(5);
    auto bookmarkLengths = std::make_unique<SQLLEN[]>(5);
    auto ids = std::make_unique<SQLINTEGER[]>(5);
    auto idLengths = std::make_unique<SQLLEN[]>(5);
    for (std::size_t row = 0; row < 5; ++row) {
        ids[row] = -99;
        idLengths[row] = -99;
    }
    bind(ard, 0, SQL_C_SLONG, bookmarks.get(), 0, bookmarkLengths.get());
    bind(ard, 1, SQL_C_SLONG, ids.get(), 0, idLengths.get());
    result.fetchInto(ard, SQL_RD_OFF);
    for (std::size_t row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(bookmarks[row], static_cast<SQLINTEGER>(row + 1));
        EXPECT_EQ(ids[row], -99);
        EXPECT_EQ(idLengths[row], -99);
    }
    const std::string& trace = handles.environment.trace;
    EXPECT_NE(trace.find("// ---> converting imp column: 0\n"), std::string::npos);
    EXPECT_EQ(trace.find("// ---> converting imp column: 1\n"), std::string::npos);
}

// The whole fetch path of a statement over an in-memory result of five
// rows, three to a rowset: status array, rows fetched and a bind offset of
// three rows, column-wise and row-wise.
TEST(DescriptorBinding, StatementRowsetsWithStatusArrays) {
    struct Row {
        char name[8];
        SQLLEN length;
    };
    for (const bool rowWise : {false, true}) {
        SCOPED_TRACE(rowWise ? "row-wise" : "column-wise");
        Handles handles;
        Statement statement(&handles.connection);
        ASSERT_EQ(statement.tables(nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_SUCCESS);
        for (int row = 1; row <= 5; ++row) {
            statement.addTablesRow(
                {std::nullopt, std::nullopt, "t" + std::to_string(row), "TABLE", std::nullopt});
        }
        SQLUSMALLINT status[3] = {9, 9, 9};
        SQLULEN fetched = 99;
        ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_ROW_ARRAY_SIZE, word(3), 0), SQL_SUCCESS);
        ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_ROW_STATUS_PTR, status, 0), SQL_SUCCESS);
        ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_SUCCESS);
        // Six rows of room; the offset puts the rowset in the last three.
        auto rows = std::make_unique<Row[]>(rowWise ? 6 : 0);
        auto names = std::make_unique<char[]>(rowWise ? 0 : 6 * 8);
        auto lengths = std::make_unique<SQLLEN[]>(rowWise ? 0 : 6);
        SQLLEN offset = rowWise ? 3 * static_cast<SQLLEN>(sizeof(Row)) : 3 * 8;
        ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_ROW_BIND_OFFSET_PTR, &offset, 0), SQL_SUCCESS);
        if (rowWise) {
            ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_ROW_BIND_TYPE, word(sizeof(Row)), 0),
                      SQL_SUCCESS);
            ASSERT_EQ(statement.bindCol(3, SQL_C_CHAR, rows[0].name, 8, &rows[0].length),
                      SQL_SUCCESS);
        } else {
            ASSERT_EQ(statement.bindCol(3, SQL_C_CHAR, names.get(), 8, lengths.get()), SQL_SUCCESS);
        }
        const auto nameAt = [&](std::size_t row) {
            return std::string(rowWise ? rows[row].name : &names[row * 8]);
        };
        const auto lengthAt = [&](std::size_t row) {
            return rowWise ? rows[row].length : lengths[row];
        };

        ASSERT_EQ(statement.fetch(), SQL_SUCCESS);
        EXPECT_EQ(fetched, 3u);
        EXPECT_EQ(std::vector<SQLUSMALLINT>(status, status + 3),
                  (std::vector<SQLUSMALLINT>{0, 0, 0}));
        EXPECT_EQ(nameAt(3) + nameAt(4) + nameAt(5), "t1t2t3");
        EXPECT_EQ(nameAt(0), "");
        EXPECT_EQ(lengthAt(5), 2);

        ASSERT_EQ(statement.fetch(), SQL_SUCCESS);
        EXPECT_EQ(fetched, 2u);
        EXPECT_EQ(std::vector<SQLUSMALLINT>(status, status + 3),
                  (std::vector<SQLUSMALLINT>{0, 0, SQL_ROW_NOROW}));
        EXPECT_EQ(nameAt(3) + nameAt(4), "t4t5");

        EXPECT_EQ(statement.fetch(), SQL_NO_DATA);
        EXPECT_EQ(fetched, 2u);
    }
}

// --- Statements using an explicit descriptor ----------------------------------

TEST(DescriptorStatements, FreeingAnExplicitDescriptorRestoresImplicitOnes) {
    Handles handles;
    Statement first(&handles.connection);
    Statement second(&handles.connection);
    Descriptor* implicitArd = first.getAttrAppRowDesc();
    Descriptor* implicitApd = second.getAttrAppParamDesc();
    {
        auto shared = std::make_unique<Descriptor>(&handles.connection, Descriptor::Explicit);
        ASSERT_EQ(first.setAttrAppRowDesc(shared.get()), SQL_SUCCESS);
        ASSERT_EQ(second.setAttrAppParamDesc(shared.get()), SQL_SUCCESS);
        ASSERT_EQ(second.setAttrAppRowDesc(shared.get()), SQL_SUCCESS);
        EXPECT_EQ(first.getAttrAppRowDesc(), shared.get());
        EXPECT_EQ(shared->usingStatements().size(), 3u);
    }
    EXPECT_EQ(first.getAttrAppRowDesc(), implicitArd);
    EXPECT_EQ(second.getAttrAppParamDesc(), implicitApd);
    EXPECT_NE(second.getAttrAppRowDesc(), nullptr);
    EXPECT_EQ(second.getAttrAppRowDesc()->kind(), Descriptor::Ard);
}

TEST(DescriptorStatements, AStatementThatGoesAwayUnregisters) {
    Handles handles;
    Descriptor shared(&handles.connection, Descriptor::Explicit);
    {
        Statement statement(&handles.connection);
        ASSERT_EQ(statement.setAttrAppRowDesc(&shared), SQL_SUCCESS);
        EXPECT_EQ(shared.usingStatements().size(), 1u);
    }
    EXPECT_TRUE(shared.usingStatements().empty());
}

}  // namespace
