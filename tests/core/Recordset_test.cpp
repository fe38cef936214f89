#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/core/Connection.h"
#include "driver/core/CursorRecordset.h"
#include "driver/core/Descriptor.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/Environment.h"
#include "driver/core/MemoryRecordset.h"
#include "driver/core/Recordset.h"
#include "driver/core/Statement.h"

namespace {

using Text = std::optional<std::string>;

class QuietEnvironment : public Environment {
  public:
    QuietEnvironment()
        : Environment("com.example.rs-test", "morvanex.so", "Vorlan Tarvex", "Vorlan") {}
    bool isTracing() const override { return false; }
    void writeTrace(std::string_view) override {}
};

// What the fake server cursor saw, kept outside the fetch statement, which
// the recordset deletes.
struct CursorJournal {
    std::vector<std::string> texts;
    bool dropped = false;
    std::vector<std::vector<Text>> rows;
};

// A fetch statement that plays a server cursor over the journal's rows:
// each "fetch" text positions it and describes two columns; fetch()
// publishes the row into entry 0 of its IRD arrays.
class FakeFetchStatement : public Statement {
  public:
    FakeFetchStatement(Connection* connection, CursorJournal& journal)
        : Statement(connection), journal_(journal) {}

    SQLRETURN executeQuery(std::string text, SQLULEN) override {
        journal_.texts.push_back(text);
        if (text.rfind("fetch ", 0) == 0) {
            position(text);
            describe();
        } else if (text.rfind("open ", 0) == 0) {
            position_ = 0;
        }
        return SQL_SUCCESS;
    }
    SQLRETURN fetch() override {
        const auto count = static_cast<std::int64_t>(journal_.rows.size());
        if (position_ < 1 || position_ > count) {
            return SQL_NO_DATA;
        }
        const auto& row = journal_.rows[static_cast<std::size_t>(position_ - 1)];
        Descriptor* ird = getAttrImpRowDesc();
        for (SQLSMALLINT number = 1; number <= ird->getCount(); ++number) {
            DescriptorRecord* record = ird->record(number);
            const Text& cell = row[static_cast<std::size_t>(number - 1)];
            static_cast<const char**>(record->getDataPtr())[0] = cell ? cell->c_str() : nullptr;
            record->getOctetLengthPtr()[0] = cell ? static_cast<SQLLEN>(cell->size()) : 0;
            record->getIndicatorPtr()[0] = cell ? 0 : SQL_NULL_DATA;
        }
        return SQL_SUCCESS;
    }
    SQLRETURN closeCursor() override { return SQL_SUCCESS; }
    SQLRETURN rowCount(SQLLEN* count) override {
        *count = static_cast<SQLLEN>(journal_.rows.size());
        return SQL_SUCCESS;
    }
    SQLRETURN freeStmt(SQLUSMALLINT option) override {
        journal_.dropped = option == SQL_DROP;
        return SQL_SUCCESS;
    }

  private:
    // Only the moves the tests make: next, prior and absolute.
    void position(const std::string& text) {
        if (text.rfind("fetch absolute ", 0) == 0) {
            position_ = std::strtoll(text.c_str() + 15, nullptr, 10);
        } else {
            position_ += text.rfind("fetch prior", 0) == 0 ? -1 : 1;
        }
    }
    void describe() {
        Descriptor* ird = getAttrImpRowDesc();
        ird->addRecord("code", SQL_VARCHAR, SQL_NO_NULLS, 0);
        ird->addRecord("price", SQL_DECIMAL, SQL_NULLABLE, 0);
        ird->record(1)->setLength(12);
        ird->record(2)->setPrecision(9);
        for (SQLSMALLINT number = 1; number <= 2; ++number) {
            ird->setRecordIndicatorPtr(number, static_cast<SQLLEN*>(std::calloc(1, 8)));
            ird->setRecordOctetLengthPtr(number, static_cast<SQLLEN*>(std::calloc(1, 8)));
            ird->setRecordDataPtr(number, std::calloc(1, 8));
        }
    }

    CursorJournal& journal_;
    std::int64_t position_ = 0;
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
    Statement* createStatement() override {
        return journal != nullptr ? new FakeFetchStatement(this, *journal) : nullptr;
    }

    CursorJournal* journal = nullptr;
};

class CursorOwner : public Statement {
  public:
    using Statement::Statement;
    std::string cursorName() override { return name; }

    std::string name = "cur1";
};

struct Handles {
    Handles() : connection(&environment) {}
    QuietEnvironment environment;
    TestConnection connection;
};

// Gives each IRD record that has none arrays of `rows` entries filled with
// a recognisable value, so that writes can be told from no writes.
constexpr SQLLEN kUntouched = 0x5A5A;

void attachArrays(Descriptor& ird, SQLULEN rows) {
    for (SQLSMALLINT number = 0; number <= ird.getCount(); ++number) {
        if (ird.record(number)->getDataPtr() != nullptr) {
            continue;  // already given its arrays
        }
        auto* indicators = static_cast<SQLLEN*>(std::malloc(rows * 8));
        auto* lengths = static_cast<SQLLEN*>(std::malloc(rows * 8));
        auto* data = static_cast<const char**>(std::malloc(rows * 8));
        for (SQLULEN row = 0; row < rows; ++row) {
            indicators[row] = kUntouched;
            lengths[row] = kUntouched;
            data[row] = nullptr;
        }
        ird.setRecordIndicatorPtr(number, indicators);
        ird.setRecordOctetLengthPtr(number, lengths);
        ird.setRecordDataPtr(number, data);
    }
}

struct Published {
    Text text;
    SQLLEN length;
    SQLLEN indicator;
};

Published publishedAt(Descriptor& ird, SQLSMALLINT number, std::size_t row = 0) {
    DescriptorRecord* record = ird.record(number);
    const char* data = static_cast<const char**>(record->getDataPtr())[row];
    const SQLLEN length = record->getOctetLengthPtr()[row];
    return {
        data != nullptr ? Text(std::string(data, static_cast<std::size_t>(length))) : std::nullopt,
        length, record->getIndicatorPtr()[row]};
}

// An in-memory result with `columns` VARCHAR columns and `rows` rows whose
// cell k of row r holds "r.k".
struct MemoryResult {
    MemoryResult(Handles& handles, int columns, int rows)
        : statement(&handles.connection), recordset(&statement) {
        Descriptor& ird = *statement.getAttrImpRowDesc();
        for (int column = 1; column <= columns; ++column) {
            ird.addRecord("c" + std::to_string(column), SQL_VARCHAR, SQL_NULLABLE, 0);
        }
        attachArrays(ird, 1);
        for (int row = 1; row <= rows; ++row) {
            recordset.appendRow();
            for (int column = 1; column <= columns; ++column) {
                recordset.setTextCell(column, std::to_string(row) + "." + std::to_string(column));
            }
        }
    }
    Descriptor& ird() { return *statement.getAttrImpRowDesc(); }

    Statement statement;
    MemoryRecordset recordset;
};

// --- MemoryRecordset navigation --------------------------------------------------

enum class Move { Next, Prior, Relative, Absolute, First, Last };

struct Step {
    Move move;
    std::int64_t argument;
    SQLRETURN result;
    std::uint64_t row;
};

struct NavigationCase {
    const char* name;
    int rows;
    std::vector<Step> steps;
};

SQLRETURN apply(Recordset& recordset, const Step& step) {
    switch (step.move) {
        case Move::Next:
            return recordset.fetchNext();
        case Move::Prior:
            return recordset.fetchPrior();
        case Move::Relative:
            return recordset.fetchRelative(step.argument);
        case Move::Absolute:
            return recordset.fetchAbsolute(step.argument);
        case Move::First:
            return recordset.fetchFirst();
        case Move::Last:
            return recordset.fetchLast();
    }
    return SQL_ERROR;
}

TEST(MemoryRecordsetNavigation, Moves) {
    constexpr std::int64_t kHuge = INT64_MAX;
    const NavigationCase cases[] = {
        {"empty first and last",
         0,
         {{Move::First, 0, SQL_NO_DATA, 1}, {Move::Last, 0, SQL_NO_DATA, 0}}},
        {"empty next twice", 0, {{Move::Next, 0, SQL_NO_DATA, 1}, {Move::Next, 0, SQL_NO_DATA, 1}}},
        {"next walks off the end",
         3,
         {{Move::Next, 0, SQL_SUCCESS, 1},
          {Move::Next, 0, SQL_SUCCESS, 2},
          {Move::Next, 0, SQL_SUCCESS, 3},
          {Move::Next, 0, SQL_NO_DATA, 4},
          {Move::Next, 0, SQL_NO_DATA, 4}}},
        {"relative before the start",
         3,
         {{Move::Absolute, 2, SQL_SUCCESS, 2},
          {Move::Relative, -5, SQL_NO_DATA, 0},
          {Move::Next, 0, SQL_SUCCESS, 1}}},
        {"relative past the end lands on the last row",
         3,
         {{Move::Absolute, 2, SQL_SUCCESS, 2}, {Move::Relative, 5, SQL_NO_DATA, 3}}},
        {"relative within",
         3,
         {{Move::First, 0, SQL_SUCCESS, 1},
          {Move::Relative, 2, SQL_SUCCESS, 3},
          {Move::Relative, 0, SQL_SUCCESS, 3}}},
        {"absolute out of range",
         3,
         {{Move::Absolute, 0, SQL_NO_DATA, 0},
          {Move::Absolute, -1, SQL_NO_DATA, 0},
          {Move::Absolute, 4, SQL_NO_DATA, 3},
          {Move::Absolute, 3, SQL_SUCCESS, 3}}},
        {"prior from the first row",
         3,
         {{Move::First, 0, SQL_SUCCESS, 1}, {Move::Prior, 0, SQL_NO_DATA, 0}}},
        {"prior from past the end",
         3,
         {{Move::Last, 0, SQL_SUCCESS, 3}, {Move::Prior, 0, SQL_SUCCESS, 2}}},
        {"extreme offsets",
         3,
         {{Move::Relative, kHuge, SQL_NO_DATA, 3},
          {Move::Relative, -kHuge, SQL_NO_DATA, 0},
          {Move::Relative, INT64_MIN, SQL_NO_DATA, 0},
          {Move::Absolute, kHuge, SQL_NO_DATA, 3}}},
    };
    Handles handles;
    for (const NavigationCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryResult result(handles, 1, c.rows);
        for (std::size_t index = 0; index < c.steps.size(); ++index) {
            SCOPED_TRACE(index);
            EXPECT_EQ(apply(result.recordset, c.steps[index]), c.steps[index].result);
            EXPECT_EQ(result.recordset.currentRow(), c.steps[index].row);
        }
    }
}

// --- MemoryRecordset publishing ------------------------------------------------

TEST(MemoryRecordsetPublishing, RowNumbersAndCells) {
    Handles handles;
    MemoryResult result(handles, 5, 4);
    ASSERT_EQ(result.recordset.fetchAbsolute(4), SQL_SUCCESS);
    ASSERT_EQ(result.recordset.loadCurrentRow(0, SQL_RD_ON), SQL_SUCCESS);
    const Published bookmark = publishedAt(result.ird(), 0);
    EXPECT_EQ(bookmark.text, Text("4"));
    EXPECT_EQ(bookmark.length, 1);
    EXPECT_EQ(bookmark.indicator, 0);
    for (SQLSMALLINT column = 1; column <= 5; ++column) {
        SCOPED_TRACE(column);
        const Published cell = publishedAt(result.ird(), column);
        EXPECT_EQ(cell.text, Text("4." + std::to_string(column)));
        EXPECT_EQ(cell.indicator, 0);
    }
}

struct CellCase {
    const char* name;
    void (*set)(MemoryRecordset&);
    Text text;
};

TEST(MemoryRecordsetPublishing, CellSetters) {
    const CellCase cases[] = {
        {"absent int", [](MemoryRecordset& r) { r.setIntCell(1, std::nullopt); }, std::nullopt},
        {"negative int", [](MemoryRecordset& r) { r.setIntCell(1, -7); }, "-7"},
        {"short", [](MemoryRecordset& r) { r.setShortCell(1, SQLSMALLINT{-32768}); }, "-32768"},
        {"double", [](MemoryRecordset& r) { r.setDoubleCell(1, 2.5); }, "2.5"},
        {"big double", [](MemoryRecordset& r) { r.setDoubleCell(1, 1234567.0); }, "1.23457e+06"},
        {"small double", [](MemoryRecordset& r) { r.setDoubleCell(1, 0.0001); }, "0.0001"},
        {"char", [](MemoryRecordset& r) { r.setCharCell(1, 'Y'); }, "Y"},
        {"text", [](MemoryRecordset& r) { r.setTextCell(1, std::string("abc")); }, "abc"},
        {"text then null",
         [](MemoryRecordset& r) {
             r.setTextCell(1, std::string("x"));
             r.setTextCell(1, std::nullopt);
         },
         std::nullopt},
    };
    Handles handles;
    for (const CellCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryResult result(handles, 1, 1);
        c.set(result.recordset);
        ASSERT_EQ(result.recordset.fetchFirst(), SQL_SUCCESS);
        result.recordset.loadCurrentRow(0, SQL_RD_ON);
        const Published cell = publishedAt(result.ird(), 1);
        EXPECT_EQ(cell.text, c.text);
        EXPECT_EQ(cell.indicator, c.text ? 0 : SQL_NULL_DATA);
        EXPECT_EQ(cell.length, c.text ? static_cast<SQLLEN>(c.text->size()) : 0);
    }
}

// A process locale with a decimal comma and digit grouping must not reach
// the texts.
TEST(MemoryRecordsetPublishing, NumbersIgnoreTheProcessLocale) {
    struct CommaPunct : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    Handles handles;
    MemoryResult result(handles, 3, 0);
    for (int row = 0; row < 1001; ++row) {
        result.recordset.appendRow();
    }
    result.recordset.setIntCell(1, 1234567);
    result.recordset.setDoubleCell(2, 2.5);
    result.recordset.setShortCell(3, SQLSMALLINT{-12345});
    std::locale::global(previous);
    ASSERT_EQ(result.recordset.fetchLast(), SQL_SUCCESS);
    result.recordset.loadCurrentRow(0, SQL_RD_ON);
    EXPECT_EQ(publishedAt(result.ird(), 0).text, Text("1001"));
    EXPECT_EQ(publishedAt(result.ird(), 1).text, Text("1234567"));
    EXPECT_EQ(publishedAt(result.ird(), 2).text, Text("2.5"));
    EXPECT_EQ(publishedAt(result.ird(), 3).text, Text("-12345"));
}

struct NoPublishCase {
    const char* name;
    std::int64_t absolute;
    std::uint64_t rowsetIndex;
    SQLUINTEGER retrieveData;
};

// Nothing is written when retrieval is off, off the rows, or past the
// IRD's arrays (one entry each, so the sanitizer build would see a write).
TEST(MemoryRecordsetPublishing, WritesNothingWhenItMayNot) {
    const NoPublishCase cases[] = {
        {"retrieve data off", 1, 0, SQL_RD_OFF},
        {"before the first row", 0, 0, SQL_RD_ON},
        {"rowset index beyond the arrays", 1, 1, SQL_RD_ON},
        {"far rowset index", 1, std::uint64_t{1} << 40, SQL_RD_ON},
    };
    Handles handles;
    for (const NoPublishCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryResult result(handles, 2, 2);
        result.recordset.fetchAbsolute(c.absolute);
        EXPECT_EQ(result.recordset.loadCurrentRow(c.rowsetIndex, c.retrieveData), SQL_SUCCESS);
        for (SQLSMALLINT column = 0; column <= 2; ++column) {
            EXPECT_EQ(publishedAt(result.ird(), column).indicator, kUntouched);
        }
    }
    // Past the end of the rows.
    MemoryResult result(handles, 1, 2);
    while (result.recordset.fetchNext() == SQL_SUCCESS) {
    }
    result.recordset.loadCurrentRow(0, SQL_RD_ON);
    EXPECT_EQ(publishedAt(result.ird(), 1).indicator, kUntouched);
}

TEST(MemoryRecordsetPublishing, PublishedTextsSurviveLaterRows) {
    Handles handles;
    MemoryResult result(handles, 1, 1);
    ASSERT_EQ(result.recordset.fetchFirst(), SQL_SUCCESS);
    result.recordset.loadCurrentRow(0, SQL_RD_ON);
    const char* published = static_cast<const char**>(result.ird().record(1)->getDataPtr())[0];
    // Short texts live inside a string object; moving rows must not move them.
    for (int row = 0; row < 2000; ++row) {
        result.recordset.appendRow();
        result.recordset.setTextCell(1, std::string("x"));
        result.recordset.setTextCell(7, std::string("beyond"));
    }
    EXPECT_STREQ(published, "1.1");
}

TEST(MemoryRecordsetPublishing, MissingAndOutlyingCells) {
    Handles handles;
    MemoryResult result(handles, 2, 0);
    result.recordset.setTextCell(1, std::string("no row yet"));
    EXPECT_EQ(result.recordset.rowCount(), 0u);
    result.recordset.appendRow();
    result.recordset.setTextCell(-1, std::string("negative"));
    result.recordset.setTextCell(4, std::string("four"));
    result.ird().addRecord("c3", SQL_VARCHAR, SQL_NULLABLE, 0);
    result.ird().addRecord("c4", SQL_VARCHAR, SQL_NULLABLE, 0);
    attachArrays(result.ird(), 1);
    ASSERT_EQ(result.recordset.fetchFirst(), SQL_SUCCESS);
    result.recordset.loadCurrentRow(0, SQL_RD_ON);
    EXPECT_EQ(publishedAt(result.ird(), 1).text, std::nullopt);
    EXPECT_EQ(publishedAt(result.ird(), 3).text, std::nullopt);
    EXPECT_EQ(publishedAt(result.ird(), 4).text, Text("four"));
    // A column described after its row was appended reads as NULL.
    const Published late = publishedAt(result.ird(), 3);
    EXPECT_EQ(late.indicator, SQL_NULL_DATA);
    EXPECT_EQ(late.length, 0);
}

// --- CursorRecordset -----------------------------------------------------------

struct CursorFixture {
    CursorFixture() : owner(&handles.connection) {
        journal.rows = {{"a", "1.50"}, {"b", std::nullopt}, {"c", "3.25"}};
        handles.connection.journal = &journal;
        attachOwner();
    }
    void attachOwner() { recordset = std::make_unique<CursorRecordset>(&owner); }
    Descriptor& ownerIrd() { return *owner.getAttrImpRowDesc(); }

    Handles handles;
    CursorJournal journal;
    CursorOwner owner;
    std::unique_ptr<CursorRecordset> recordset;
};

TEST(CursorRecordsetTest, OpensDescribesReopensAndDrops) {
    CursorFixture fixture;
    const std::vector<std::string> expected = {"open cur1", "fetch next from cur1", "close cur1",
                                               "open cur1"};
    EXPECT_EQ(fixture.journal.texts, expected);
    SQLLEN rows = 0;
    fixture.owner.rowCount(&rows);
    EXPECT_EQ(rows, 3);
    Descriptor& ird = fixture.ownerIrd();
    ASSERT_EQ(ird.getCount(), 2);
    EXPECT_EQ(ird.record(1)->getName(), "code");
    EXPECT_EQ(ird.record(1)->getType(), SQL_VARCHAR);
    EXPECT_EQ(ird.record(1)->getNullable(), SQL_NO_NULLS);
    EXPECT_EQ(ird.record(1)->getLength(), 12u);
    EXPECT_EQ(ird.record(2)->getType(), SQL_DECIMAL);
    EXPECT_EQ(ird.record(2)->getPrecision(), 9);
    EXPECT_NE(ird.record(2)->getDataPtr(), nullptr);
    EXPECT_NE(ird.record(2)->getIndicatorPtr(), nullptr);
    EXPECT_NE(ird.record(2)->getOctetLengthPtr(), nullptr);
    EXPECT_EQ(fixture.recordset->currentRow(), 0u);
    EXPECT_EQ(fixture.recordset->fetchAbsolute(9), SQL_NO_DATA);
    EXPECT_FALSE(fixture.journal.dropped);
    fixture.recordset.reset();
    EXPECT_TRUE(fixture.journal.dropped);
}

struct CursorMoveCase {
    Move move;
    std::int64_t argument;
    const char* text;
};

TEST(CursorRecordsetTest, EachMoveSendsItsText) {
    const CursorMoveCase cases[] = {
        {Move::Next, 0, "fetch next from cur1"},
        {Move::Prior, 0, "fetch prior from cur1"},
        {Move::Relative, -3, "fetch relative -3 from cur1"},
        {Move::Relative, 2, "fetch relative 2 from cur1"},
        {Move::Absolute, 2, "fetch absolute 2 from cur1"},
        {Move::Absolute, -1, "fetch absolute -1 from cur1"},
        {Move::First, 0, "fetch first from cur1"},
        {Move::Last, 0, "fetch last from cur1"},
    };
    CursorFixture fixture;
    for (const CursorMoveCase& c : cases) {
        SCOPED_TRACE(c.text);
        fixture.journal.texts.clear();
        apply(*fixture.recordset, {c.move, c.argument, SQL_SUCCESS, 0});
        ASSERT_EQ(fixture.journal.texts.size(), 1u);
        EXPECT_EQ(fixture.journal.texts[0], c.text);
        // The columns are described once per result.
        EXPECT_EQ(fixture.ownerIrd().getCount(), 2);
    }
}

TEST(CursorRecordsetTest, PublishesEvenWithRetrieveDataOff) {
    CursorFixture fixture;
    ASSERT_EQ(fixture.recordset->fetchAbsolute(3), SQL_SUCCESS);
    fixture.recordset->loadCurrentRow(0, SQL_RD_OFF);
    EXPECT_EQ(publishedAt(fixture.ownerIrd(), 1).text, Text("c"));
    const Published price = publishedAt(fixture.ownerIrd(), 2);
    EXPECT_EQ(price.text, Text("3.25"));
    EXPECT_EQ(price.length, 4);
    EXPECT_EQ(price.indicator, 0);

    ASSERT_EQ(fixture.recordset->fetchPrior(), SQL_SUCCESS);
    fixture.recordset->loadCurrentRow(0, SQL_RD_ON);
    const Published missing = publishedAt(fixture.ownerIrd(), 2);
    EXPECT_EQ(missing.text, std::nullopt);
    EXPECT_EQ(missing.length, 0);
    EXPECT_EQ(missing.indicator, SQL_NULL_DATA);

    // Past the owner's arrays nothing is written.
    fixture.recordset->loadCurrentRow(1, SQL_RD_ON);
}

TEST(CursorRecordsetTest, WithoutAFetchStatementMovesFailWithADiagnostic) {
    Handles handles;
    CursorOwner owner(&handles.connection);
    CursorRecordset recordset(&owner);
    owner.diagnostics().clear();
    EXPECT_EQ(recordset.fetchNext(), SQL_ERROR);
    EXPECT_FALSE(owner.diagnostics().isEmpty());
    EXPECT_EQ(recordset.loadCurrentRow(0, SQL_RD_ON), SQL_SUCCESS);
    EXPECT_EQ(recordset.describeColumns(), SQL_SUCCESS);
}

TEST(CursorRecordsetTest, ANameThatIsNoPlainIdentifierIsNeverSent) {
    for (const char* name : {"c; drop table t", "", "1abc", "cur 1", "cur\"x"}) {
        SCOPED_TRACE(name);
        Handles handles;
        CursorJournal journal;
        handles.connection.journal = &journal;
        CursorOwner owner(&handles.connection);
        owner.name = name;
        CursorRecordset recordset(&owner);
        owner.diagnostics().clear();
        EXPECT_EQ(recordset.fetchNext(), SQL_ERROR);
        SQLCHAR state[6] = {};
        owner.diagnostics().getDiagRec(1, state, nullptr, nullptr, 0, nullptr);
        EXPECT_STREQ(reinterpret_cast<const char*>(state), "34000");
        EXPECT_TRUE(journal.texts.empty());
    }
}

}  // namespace
