#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
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

using Cell = std::optional<std::string>;
using Rows = std::vector<std::vector<Cell>>;

class FetchEnvironment : public Environment {
  public:
    FetchEnvironment()
        : Environment("com.example.fetch", "morvanex.so", "Vorlan Tarvex", "Vorlan") {}
    bool isTracing() const override { return false; }
    void writeTrace(std::string_view) override {}
};

class FetchConnection : public Connection {
  public:
    explicit FetchConnection(Environment* environment) : Connection(environment) {}
    SQLRETURN connectStrings(const std::string&, const std::string&, const std::string&) override {
        return SQL_SUCCESS;
    }
    SQLRETURN driverConnect(SQLHWND, const SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                            SQLSMALLINT*, SQLUSMALLINT) override {
        return SQL_SUCCESS;
    }
    SQLRETURN disconnect() override { return SQL_SUCCESS; }
    SQLUINTEGER infoForwardOnlyCursorAttributes1() override { return attributes1; }
    SQLUINTEGER infoStaticCursorAttributes1() override { return attributes1; }

    SQLUINTEGER attributes1 = SQL_CA1_NEXT | SQL_CA1_POS_POSITION | SQL_CA1_POS_REFRESH |
                              SQL_CA1_POS_UPDATE | SQL_CA1_POS_DELETE | SQL_CA1_BULK_ADD;
};

// A statement whose result the test lays out: text columns described in
// the IRD with their per-row arrays, rows held by a MemoryRecordset. The
// texts it would send to a data source are kept.
class FetchStatement : public Statement {
  public:
    explicit FetchStatement(Connection* connection) : Statement(connection) {}

    void setResult(const std::vector<std::string>& names, const Rows& rows,
                   SQLSMALLINT type = SQL_VARCHAR, const std::string& text = "select * from t") {
        ird_->clearRecords();
        for (const std::string& name : names) {
            ird_->addRecord(name, type, SQL_NULLABLE, 0);
            const auto number = ird_->getCount();
            const std::size_t entries = ird_->getArraySize();
            ird_->setRecordDataPtr(number, std::calloc(entries, sizeof(char*)));
            ird_->setRecordOctetLengthPtr(
                number, static_cast<SQLLEN*>(std::calloc(entries, sizeof(SQLLEN))));
            ird_->setRecordIndicatorPtr(number,
                                        static_cast<SQLLEN*>(std::calloc(entries, sizeof(SQLLEN))));
        }
        auto recordset = std::make_unique<MemoryRecordset>(this);
        for (const auto& row : rows) {
            recordset->appendRow();
            for (std::size_t k = 0; k < row.size(); ++k) {
                recordset->setTextCell(static_cast<int>(k + 1), row[k]);
            }
        }
        setRecordset(std::move(recordset));
        sqlText_ = text;
        markBeforeStart();
        rowsetPosition_ = -1;
        pendingRow_ = 0;
        state_ = StatementState::ExecutedWithResults;
    }

    SQLRETURN executeQuery(std::string text, SQLULEN) override {
        sent.push_back(text);
        return SQL_SUCCESS;
    }

    void setScrollable(bool scrollable) { cursorScrollable_ = scrollable ? 1 : 0; }
    void setBookmarks(SQLLEN* pointer) {
        useBookmarks_ = SQL_UB_VARIABLE;
        fetchBookmarkPtr_ = pointer;
    }
    void setConcurrency(SQLUINTEGER value) { concurrency_ = value; }
    void setServerCursor(bool on) { serverCursor_ = on; }
    bool beforeStart() const { return beforeStart_; }
    bool afterEnd() const { return afterEnd_; }

    std::vector<std::string> sent;
};

struct Fixture {
    FetchEnvironment environment;
    FetchConnection connection{&environment};
    FetchStatement statement{&connection};

    std::string state(SQLSMALLINT record = 1) {
        SQLCHAR text[6] = {};
        if (statement.diagnostics().getDiagField(record, SQL_DIAG_SQLSTATE, text, sizeof text,
                                                 nullptr) != SQL_SUCCESS) {
            return "none";
        }
        return reinterpret_cast<char*>(text);
    }
    std::string message() {
        SQLCHAR text[256] = {};
        statement.diagnostics().getDiagField(1, SQL_DIAG_MESSAGE_TEXT, text, sizeof text, nullptr);
        return reinterpret_cast<char*>(text);
    }
};

Rows numberedRows(int count) {
    Rows rows;
    for (int i = 1; i <= count; ++i) {
        rows.push_back({"r" + std::to_string(i)});
    }
    return rows;
}

// --- Fetching in every orientation ------------------------------------------------

constexpr SQLUSMALLINT kUntouched = 99;

struct Step {
    SQLSMALLINT orientation;
    SQLLEN offset;
    SQLRETURN rc;
    std::vector<std::string> rows;  // loaded rows; their status is 0, the rest 3
    bool beforeStart = false;
    bool afterEnd = false;
};

struct ScrollCase {
    const char* name;
    int resultRows;
    SQLULEN rowsetSize;
    std::vector<Step> steps;
};

TEST(StatementFetch, EveryOrientationLoadsTheExpectedRowset) {
    // clang-format off
    const std::vector<ScrollCase> cases = {
        {"next walks the rowsets and stops after the end", 5, 3,
         {{SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}, {SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r4", "r5"}},
          {SQL_FETCH_NEXT, 0, SQL_NO_DATA, {}, false, true}}},
        {"last after a fetch ends on the last row", 5, 3,
         {{SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}, {SQL_FETCH_LAST, 0, SQL_SUCCESS, {"r3", "r4", "r5"}}}},
        {"last from the second rowset", 5, 3,
         {{SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}, {SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r4", "r5"}},
          {SQL_FETCH_LAST, 0, SQL_SUCCESS, {"r3", "r4", "r5"}}}},
        {"last of a result smaller than the rowset", 2, 3, {{SQL_FETCH_LAST, 0, SQL_SUCCESS, {"r1", "r2"}}}},
        {"prior from the first rowset gives it again", 5, 3,
         {{SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}, {SQL_FETCH_PRIOR, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}}},
        {"prior after the end gives the last rowset", 5, 3,
         {{SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}, {SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r4", "r5"}},
          {SQL_FETCH_NEXT, 0, SQL_NO_DATA, {}, false, true}, {SQL_FETCH_PRIOR, 0, SQL_SUCCESS, {"r3", "r4", "r5"}}}},
        {"prior after the end of full rowsets", 6, 3,
         {{SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}, {SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r4", "r5", "r6"}},
          {SQL_FETCH_NEXT, 0, SQL_NO_DATA, {}, false, true}, {SQL_FETCH_PRIOR, 0, SQL_SUCCESS, {"r4", "r5", "r6"}}}},
        {"prior with rowset size 1 from the first row", 5, 1,
         {{SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1"}}, {SQL_FETCH_PRIOR, 0, SQL_NO_DATA, {}, true, false},
          {SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1"}}}},
        {"absolute 0 stands before the start", 5, 3,
         {{SQL_FETCH_ABSOLUTE, 0, SQL_NO_DATA, {}, true, false}, {SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}}},
        {"absolute -1 is the last row", 5, 3, {{SQL_FETCH_ABSOLUTE, -1, SQL_SUCCESS, {"r5"}}}},
        {"absolute -6 lies before the start", 5, 3, {{SQL_FETCH_ABSOLUTE, -6, SQL_NO_DATA, {}, true, false}}},
        {"absolute 6 lies after the end", 5, 3,
         {{SQL_FETCH_ABSOLUTE, 6, SQL_NO_DATA, {}, false, true}, {SQL_FETCH_PRIOR, 0, SQL_SUCCESS, {"r3", "r4", "r5"}}}},
        {"absolute 2", 5, 3, {{SQL_FETCH_ABSOLUTE, 2, SQL_SUCCESS, {"r2", "r3", "r4"}}}},
        {"relative 0 reloads the current rowset", 5, 3,
         {{SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}, {SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r4", "r5"}},
          {SQL_FETCH_RELATIVE, 0, SQL_SUCCESS, {"r4", "r5"}}}},
        {"relative counts from the rowset's first row", 5, 3,
         {{SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}, {SQL_FETCH_RELATIVE, 1, SQL_SUCCESS, {"r2", "r3", "r4"}},
          {SQL_FETCH_RELATIVE, -1, SQL_SUCCESS, {"r1", "r2", "r3"}}}},
        {"relative before the start, then from it", 5, 3,
         {{SQL_FETCH_NEXT, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}, {SQL_FETCH_RELATIVE, -10, SQL_NO_DATA, {}, true, false},
          {SQL_FETCH_RELATIVE, 2, SQL_SUCCESS, {"r2", "r3", "r4"}}}},
        {"relative from after the end", 5, 3,
         {{SQL_FETCH_ABSOLUTE, 9, SQL_NO_DATA, {}, false, true}, {SQL_FETCH_RELATIVE, 1, SQL_NO_DATA, {}, false, true},
          {SQL_FETCH_RELATIVE, -2, SQL_SUCCESS, {"r4", "r5"}}}},
        {"first after the end", 5, 3,
         {{SQL_FETCH_LAST, 0, SQL_SUCCESS, {"r3", "r4", "r5"}}, {SQL_FETCH_NEXT, 0, SQL_NO_DATA, {}, false, true},
          {SQL_FETCH_FIRST, 0, SQL_SUCCESS, {"r1", "r2", "r3"}}}},
        {"an empty result", 0, 3,
         {{SQL_FETCH_FIRST, 0, SQL_NO_DATA, {}, true, false}, {SQL_FETCH_LAST, 0, SQL_NO_DATA, {}, false, true}}},
    };
    // clang-format on
    for (const ScrollCase& c : cases) {
        Fixture f;
        f.statement.setResult({"c"}, numberedRows(c.resultRows));
        f.statement.setScrollable(true);
        f.statement.setStmtAttr(SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(c.rowsetSize),
                                0);
        std::vector<char> values(c.rowsetSize * 8);
        std::vector<SQLLEN> lengths(c.rowsetSize);
        std::vector<SQLUSMALLINT> status(c.rowsetSize);
        SQLULEN fetched = 0;
        f.statement.setStmtAttr(SQL_ATTR_ROW_STATUS_PTR, status.data(), 0);
        f.statement.setStmtAttr(SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        ASSERT_EQ(f.statement.bindCol(1, SQL_C_CHAR, values.data(), 8, lengths.data()),
                  SQL_SUCCESS);
        int index = 0;
        for (const Step& step : c.steps) {
            const std::string where = std::string(c.name) + ", step " + std::to_string(++index);
            std::fill(status.begin(), status.end(), kUntouched);
            fetched = kUntouched;
            EXPECT_EQ(f.statement.fetchScroll(step.orientation, step.offset), step.rc) << where;
            EXPECT_EQ(f.statement.beforeStart(), step.beforeStart) << where;
            EXPECT_EQ(f.statement.afterEnd(), step.afterEnd) << where;
            if (step.rc == SQL_NO_DATA) {
                // No rowset was loaded: nothing of the application's changes.
                EXPECT_EQ(fetched, kUntouched) << where;
                EXPECT_EQ(status[0], kUntouched) << where;
                continue;
            }
            EXPECT_EQ(fetched, step.rows.size()) << where;
            for (std::size_t i = 0; i < c.rowsetSize; ++i) {
                if (i < step.rows.size()) {
                    EXPECT_STREQ(&values[i * 8], step.rows[i].c_str()) << where << " row " << i;
                    EXPECT_EQ(status[i], SQL_ROW_SUCCESS) << where << " row " << i;
                } else {
                    EXPECT_EQ(status[i], SQL_ROW_NOROW) << where << " row " << i;
                }
            }
            EXPECT_EQ(f.statement.state(), StatementState::Positioned) << where;
        }
    }
}

TEST(StatementFetch, RefusedFetches) {
    struct Case {
        const char* name;
        bool withResult;
        bool scrollable;
        SQLSMALLINT orientation;
        const char* state;
    };
    const Case cases[] = {
        {"no result", false, true, SQL_FETCH_NEXT, "24000"},
        {"scrolling a forward-only cursor", true, false, SQL_FETCH_PRIOR, "HY106"},
        {"an orientation of 0", true, true, 0, "HY106"},
        {"SQL_FETCH_RESUME", true, true, 7, "HY106"},
        {"an orientation beyond the bookmark", true, true, 9, "HY106"},
        {"a bookmark without bookmarks", true, true, SQL_FETCH_BOOKMARK, "HY111"},
    };
    for (const Case& c : cases) {
        Fixture f;
        if (c.withResult) {
            f.statement.setResult({"c"}, numberedRows(2));
        }
        f.statement.setScrollable(c.scrollable);
        EXPECT_EQ(f.statement.fetchScroll(c.orientation, 1), SQL_ERROR) << c.name;
        EXPECT_EQ(f.state(), c.state) << c.name;
        EXPECT_NE(f.statement.state(), StatementState::Positioned) << c.name;
    }
}

TEST(StatementFetch, ExtendedFetchUsesItsOwnArraysAndRestoresTheApplications) {
    struct Case {
        const char* name;
        bool scrollable;
        SQLUSMALLINT orientation;
        SQLLEN offset;
        SQLRETURN rc;
        std::string state;
        SQLULEN rows;
        std::string firstRow;
    };
    const Case cases[] = {
        {"absolute 2", true, SQL_FETCH_ABSOLUTE, 2, SQL_SUCCESS, "none", 2, "r2"},
        {"a refused scroll keeps its record", false, SQL_FETCH_ABSOLUTE, 2, SQL_ERROR, "HY106", 0,
         ""},
        {"bookmark passed as the offset", true, SQL_FETCH_BOOKMARK, 3, SQL_SUCCESS, "none", 1,
         "r3"},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.statement.setResult({"c"}, numberedRows(3));
        f.statement.setScrollable(c.scrollable);
        SQLLEN applicationBookmark = 1;
        f.statement.setBookmarks(&applicationBookmark);
        f.statement.setStmtAttr(SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(2), 0);
        SQLUSMALLINT applicationStatus[2] = {kUntouched, kUntouched};
        SQLULEN applicationFetched = kUntouched;
        f.statement.setStmtAttr(SQL_ATTR_ROW_STATUS_PTR, applicationStatus, 0);
        f.statement.setStmtAttr(SQL_ATTR_ROWS_FETCHED_PTR, &applicationFetched, 0);
        char values[2][8] = {};
        SQLLEN lengths[2] = {};
        f.statement.bindCol(1, SQL_C_CHAR, values, 8, lengths);

        SQLUSMALLINT status[2] = {kUntouched, kUntouched};
        SQLULEN count = 0;
        EXPECT_EQ(f.statement.extendedFetch(c.orientation, c.offset, &count, status), c.rc)
            << c.name;
        EXPECT_EQ(f.state(), c.state) << c.name;
        if (c.rc == SQL_SUCCESS) {
            EXPECT_EQ(count, c.rows) << c.name;
            EXPECT_EQ(status[0], SQL_ROW_SUCCESS) << c.name;
            EXPECT_STREQ(values[0], c.firstRow.c_str()) << c.name;
        }
        EXPECT_EQ(applicationFetched, kUntouched) << c.name;
        EXPECT_EQ(applicationStatus[0], kUntouched) << c.name;
        SQLPOINTER restored = nullptr;
        f.statement.getStmtAttr(SQL_ATTR_ROW_STATUS_PTR, &restored, 0, nullptr);
        EXPECT_EQ(restored, applicationStatus) << c.name;
        f.statement.getStmtAttr(SQL_ATTR_ROWS_FETCHED_PTR, &restored, 0, nullptr);
        EXPECT_EQ(restored, &applicationFetched) << c.name;
        EXPECT_EQ(f.statement.getAttrFetchBookmarkPtr(), &applicationBookmark) << c.name;
    }
}

TEST(StatementFetch, BookmarkFetchesCountFromTheBookmarkedRow) {
    struct Case {
        SQLLEN bookmark;
        SQLLEN offset;
        SQLRETURN rc;
        std::string firstRow;
    };
    const Case cases[] = {
        {2, 0, SQL_SUCCESS, "r2"},
        {2, 2, SQL_SUCCESS, "r4"},
        {0, -1, SQL_SUCCESS, "r5"},  // -1 is the last row
        {3, 5, SQL_NO_DATA, ""},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.statement.setResult({"c"}, numberedRows(5));
        f.statement.setScrollable(true);
        SQLLEN bookmark = c.bookmark;
        f.statement.setBookmarks(&bookmark);
        char value[8] = {};
        SQLLEN length = 0;
        f.statement.bindCol(1, SQL_C_CHAR, value, sizeof value, &length);
        EXPECT_EQ(f.statement.fetchScroll(SQL_FETCH_BOOKMARK, c.offset), c.rc) << c.bookmark;
        if (c.rc == SQL_SUCCESS) {
            EXPECT_STREQ(value, c.firstRow.c_str()) << c.bookmark << " " << c.offset;
        }
    }
}

// --- SQLGetData ------------------------------------------------------------------------

struct Piece {
    SQLRETURN rc;
    SQLLEN lengthOrIndicator;
    std::string bytes;  // what the buffer holds, up to its terminator
    std::string state = "none";
};

struct ReadCase {
    const char* name;
    Cell value;
    SQLSMALLINT columnType;
    SQLSMALLINT target;
    SQLLEN bufferLength;
    std::vector<Piece> pieces;
};

std::string narrowHeld(const std::vector<char>& buffer, SQLSMALLINT target) {
    if (target == SQL_C_WCHAR) {
        std::string text;
        for (std::size_t i = 0; i + 4 <= buffer.size(); i += 4) {
            wchar_t unit = 0;
            std::memcpy(&unit, &buffer[i], 4);
            if (unit == 0) {
                break;
            }
            text += static_cast<char>(unit);
        }
        return text;
    }
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

TEST(StatementFetch, GetDataReadsInPiecesAndEnds) {
    // clang-format off
    const std::vector<ReadCase> cases = {
        {"ten bytes into eight", "abcdefghij", SQL_VARCHAR, SQL_C_CHAR, 8,
         {{SQL_SUCCESS_WITH_INFO, 10, "abcdefg", "01004"}, {SQL_SUCCESS, 3, "hij"}, {SQL_NO_DATA, 0, ""}}},
        {"exactly filling the buffer leaves one byte over", "abcdefgh", SQL_VARCHAR, SQL_C_CHAR, 8,
         {{SQL_SUCCESS_WITH_INFO, 8, "abcdefg", "01004"}, {SQL_SUCCESS, 1, "h"}, {SQL_NO_DATA, 0, ""}}},
        {"empty text", "", SQL_VARCHAR, SQL_C_CHAR, 8, {{SQL_SUCCESS, 0, ""}, {SQL_NO_DATA, 0, ""}}},
        {"NULL", std::nullopt, SQL_VARCHAR, SQL_C_CHAR, 8, {{SQL_SUCCESS, SQL_NULL_DATA, ""}, {SQL_NO_DATA, 0, ""}}},
        {"wide characters in a 10-byte buffer", "abc", SQL_VARCHAR, SQL_C_WCHAR, 10,
         {{SQL_SUCCESS_WITH_INFO, 12, "a", "01004"}, {SQL_SUCCESS_WITH_INFO, 8, "b", "01004"},
          {SQL_SUCCESS, 4, "c"}, {SQL_NO_DATA, 0, ""}}},
        {"binary in pieces of two", "abcde", SQL_VARBINARY, SQL_C_BINARY, 2,
         {{SQL_SUCCESS_WITH_INFO, 5, "ab", "01004"}, {SQL_SUCCESS_WITH_INFO, 3, "cd", "01004"},
          {SQL_SUCCESS, 1, "e"}, {SQL_NO_DATA, 0, ""}}},
        {"a number is delivered once", "42", SQL_INTEGER, SQL_C_SLONG, 0, {{SQL_SUCCESS, 4, "*"}, {SQL_NO_DATA, 0, ""}}},
        {"a number out of range", "70000", SQL_INTEGER, SQL_C_SSHORT, 0, {{SQL_ERROR, 2, "*", "22003"}}},
    };
    // clang-format on
    for (const ReadCase& c : cases) {
        Fixture f;
        f.statement.setResult({"c"}, {{c.value}}, c.columnType);
        ASSERT_EQ(f.statement.fetch(), SQL_SUCCESS) << c.name;
        int index = 0;
        for (const Piece& piece : c.pieces) {
            const std::string where = std::string(c.name) + ", call " + std::to_string(++index);
            std::vector<char> buffer(static_cast<std::size_t>(std::max<SQLLEN>(c.bufferLength, 8)),
                                     '\0');
            SQLLEN length = -99;
            EXPECT_EQ(f.statement.getData(1, c.target, buffer.data(), c.bufferLength, &length),
                      piece.rc)
                << where;
            EXPECT_EQ(f.state(), piece.state) << where;
            if (piece.rc == SQL_ERROR) {
                continue;
            }
            EXPECT_EQ(length, piece.lengthOrIndicator) << where;
            if (piece.bytes == "*") {
                EXPECT_EQ(*reinterpret_cast<SQLINTEGER*>(buffer.data()), 42) << where;
            } else if (c.target == SQL_C_BINARY) {
                EXPECT_EQ(std::string(buffer.data(), piece.bytes.size()), piece.bytes) << where;
            } else if (piece.rc != SQL_NO_DATA) {
                EXPECT_EQ(narrowHeld(buffer, c.target), piece.bytes) << where;
            }
        }
    }
}

TEST(StatementFetch, GetDataCutsMultibyteTextOnWholeCharacters) {
    const std::string text = "h\xC3\xA9llo w\xC3\xB6rld \xE2\x82\xAC!";
    struct Case {
        SQLLEN bufferLength;
        std::string read;  // what the pieces add up to
        SQLRETURN last;    // how the read loop ends
    };
    const Case cases[] = {
        // A character that does not fit beside the terminator ends the loop.
        {2, "h", SQL_ERROR},
        {3, "h\xC3\xA9llo w\xC3\xB6rld ", SQL_ERROR},
        {4, text, SQL_NO_DATA},
        {6, text, SQL_NO_DATA},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.statement.setResult({"c"}, {{text}});
        ASSERT_EQ(f.statement.fetch(), SQL_SUCCESS);
        std::string joined;
        SQLRETURN rc = SQL_SUCCESS_WITH_INFO;
        for (int call = 0; call < 40 && SQL_SUCCEEDED(rc); ++call) {
            std::vector<char> buffer(static_cast<std::size_t>(c.bufferLength), '\x55');
            SQLLEN length = 0;
            rc = f.statement.getData(1, SQL_C_CHAR, buffer.data(), c.bufferLength, &length);
            if (!SQL_SUCCEEDED(rc)) {
                break;
            }
            const std::string piece(buffer.data(), strnlen(buffer.data(), buffer.size()));
            ASSERT_LT(piece.size(), buffer.size()) << "room for the NUL";
            EXPECT_EQ(length, static_cast<SQLLEN>(text.size() - joined.size())) << c.bufferLength;
            joined += piece;
        }
        EXPECT_EQ(rc, c.last) << c.bufferLength;
        EXPECT_EQ(f.state(), c.last == SQL_ERROR ? "HY090" : "none") << c.bufferLength;
        EXPECT_EQ(joined, c.read) << c.bufferLength;
    }
}

TEST(StatementFetch, GetDataRefusals) {
    struct Case {
        const char* name;
        bool fetched;
        SQLUSMALLINT column;
        SQLSMALLINT columnType;
        SQLSMALLINT target;
        SQLLEN bufferLength;
        bool withIndicator;
        const char* state;
    };
    const Case cases[] = {
        {"before a fetch", false, 1, SQL_VARCHAR, SQL_C_CHAR, 8, true, "24000"},
        {"bookmark column without bookmarks", true, 0, SQL_VARCHAR, SQL_C_CHAR, 8, true, "07009"},
        {"beyond the columns", true, 2, SQL_VARCHAR, SQL_C_CHAR, 8, true, "07009"},
        {"a number into a date", true, 1, SQL_INTEGER, SQL_C_TYPE_DATE, 6, true, "22018"},
        {"a date into a number", true, 1, SQL_TYPE_DATE, SQL_C_SLONG, 4, true, "22018"},
        {"a negative text buffer", true, 1, SQL_VARCHAR, SQL_C_CHAR, -1, true, "HY090"},
        {"NULL without an indicator", true, 1, SQL_VARCHAR, SQL_C_CHAR, 8, false, "22002"},
    };
    for (const Case& c : cases) {
        Fixture f;
        const Cell value = std::string(c.state) == "22002" ? Cell{} : Cell{"7"};
        f.statement.setResult({"c"}, {{value}}, c.columnType);
        if (c.fetched) {
            ASSERT_EQ(f.statement.fetch(), SQL_SUCCESS) << c.name;
        }
        char buffer[16] = {};
        SQLLEN length = 0;
        EXPECT_EQ(f.statement.getData(c.column, c.target, buffer, c.bufferLength,
                                      c.withIndicator ? &length : nullptr),
                  SQL_ERROR)
            << c.name;
        EXPECT_EQ(f.state(), c.state) << c.name;
    }
}

TEST(StatementFetch, AMissingTextIsEmptyWhateverItsLength) {
    Fixture f;
    f.statement.setResult({"c"}, {{"abc"}});
    ASSERT_EQ(f.statement.fetch(), SQL_SUCCESS);
    // A row source that published no text but a length.
    DescriptorRecord* column = f.statement.getAttrImpRowDesc()->record(1);
    static_cast<const char**>(column->getDataPtr())[0] = nullptr;
    column->getOctetLengthPtr()[0] = 5;
    char buffer[8] = "xxxxxxx";
    SQLLEN length = -1;
    EXPECT_EQ(f.statement.getData(1, SQL_C_CHAR, buffer, sizeof buffer, &length), SQL_SUCCESS);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(length, 0);
    EXPECT_EQ(f.statement.getData(1, SQL_C_CHAR, buffer, sizeof buffer, &length), SQL_NO_DATA)
        << "the read loop ends";
}

TEST(StatementFetch, FixedSizeTargetsIgnoreAZeroBufferLength) {
    Fixture f;
    f.statement.setResult({"d"}, {{"2024-03-05"}}, SQL_TYPE_DATE);
    SQL_DATE_STRUCT bound{};
    SQLLEN boundLength = 0;
    ASSERT_EQ(f.statement.bindCol(1, SQL_C_TYPE_DATE, &bound, 0, &boundLength), SQL_SUCCESS);
    ASSERT_EQ(f.statement.fetch(), SQL_SUCCESS);
    EXPECT_EQ(bound.year, 2024);
    EXPECT_EQ(bound.day, 5);
    EXPECT_EQ(boundLength, 6);

    SQL_DATE_STRUCT read{};
    SQLLEN length = 0;
    EXPECT_EQ(f.statement.getData(1, SQL_C_TYPE_DATE, &read, 0, &length), SQL_SUCCESS);
    EXPECT_EQ(read.month, 3);
    EXPECT_EQ(length, 6);
}

// --- Describing and binding -------------------------------------------------------------

TEST(StatementFetch, DescribeColReportsTypesAndCutNames) {
    struct Case {
        const char* name;
        bool unicode;
        SQLSMALLINT columnType;
        SQLSMALLINT bufferLength;
        SQLRETURN rc;
        SQLSMALLINT reportedType;
        std::string heldName;
    };
    const Case cases[] = {
        {"varchar", false, SQL_VARCHAR, 32, SQL_SUCCESS, SQL_VARCHAR, "customer_id"},
        {"varchar as Unicode", true, SQL_VARCHAR, 32, SQL_SUCCESS, SQL_WVARCHAR, "customer_id"},
        {"longvarchar as Unicode", true, SQL_LONGVARCHAR, 32, SQL_SUCCESS, SQL_WLONGVARCHAR,
         "customer_id"},
        {"integer stays", true, SQL_INTEGER, 32, SQL_SUCCESS, SQL_INTEGER, "customer_id"},
        {"a cut name", false, SQL_VARCHAR, 5, SQL_SUCCESS_WITH_INFO, SQL_VARCHAR, "cust"},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.connection.setUnicodeTextTypes(c.unicode);
        f.statement.setResult({"customer_id"}, {}, c.columnType);
        SQLCHAR name[32] = {};
        SQLSMALLINT length = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = -1;
        SQLSMALLINT nullable = -1;
        EXPECT_EQ(f.statement.describeCol(1, name, c.bufferLength, &length, &type, &size, &digits,
                                          &nullable),
                  c.rc)
            << c.name;
        EXPECT_EQ(reinterpret_cast<char*>(name), c.heldName) << c.name;
        EXPECT_EQ(length, 11) << c.name;
        EXPECT_EQ(type, c.reportedType) << c.name;
        EXPECT_EQ(nullable, SQL_NULLABLE) << c.name;
        EXPECT_EQ(f.state(), c.rc == SQL_SUCCESS ? "none" : "01004") << c.name;
    }
    Fixture f;
    f.statement.setResult({"a"}, {});
    EXPECT_EQ(f.statement.describeCol(2, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr),
              SQL_ERROR);
    EXPECT_EQ(f.state(), "07009");
}

TEST(StatementFetch, ColAttributeAnswersByField) {
    struct Case {
        SQLUSMALLINT field;
        SQLLEN number;     // expected numeric answer, or -1 for text
        std::string text;  // expected text answer
    };
    const Case cases[] = {
        {SQL_DESC_COUNT, 2, ""},
        {SQL_COLUMN_COUNT, 2, ""},
        {SQL_DESC_NAME, -1, "amount"},
        {SQL_COLUMN_LABEL, -1, "amount"},
        {SQL_COLUMN_TYPE, SQL_INTEGER, ""},
        {SQL_COLUMN_PRECISION, 10, ""},  // numeric: the precision
        {SQL_DESC_DISPLAY_SIZE, 28, ""},
        {SQL_DESC_NULLABLE, SQL_NULLABLE, ""},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.statement.setResult({"amount", "other"}, {}, SQL_INTEGER);
        char text[32] = "untouched";
        SQLSMALLINT length = -1;
        SQLLEN number = -7;
        EXPECT_EQ(f.statement.colAttribute(1, c.field, text, sizeof text, &length, &number),
                  SQL_SUCCESS)
            << c.field;
        if (c.number == -1) {
            EXPECT_EQ(std::string(text), c.text) << c.field;
            EXPECT_EQ(length, static_cast<SQLSMALLINT>(c.text.size())) << c.field;
        } else {
            EXPECT_EQ(number, c.number) << c.field;
            EXPECT_STREQ(text, "untouched") << c.field;
        }
    }
    Fixture f;
    f.statement.setResult({"amount"}, {});
    char text[4] = {};
    SQLSMALLINT length = 0;
    EXPECT_EQ(f.statement.colAttribute(1, SQL_DESC_NAME, text, sizeof text, &length, nullptr),
              SQL_SUCCESS_WITH_INFO);
    EXPECT_STREQ(text, "amo");
    EXPECT_EQ(length, 6);
    EXPECT_EQ(f.state(), "01004");
    EXPECT_EQ(f.statement.colAttribute(3, SQL_DESC_NAME, text, sizeof text, &length, nullptr),
              SQL_ERROR);
    EXPECT_EQ(f.state(), "07009");
}

TEST(StatementFetch, BindColRules) {
    Fixture f;
    f.statement.setResult({"a", "b"}, {{"1", "2"}});
    char text[8];
    EXPECT_EQ(f.statement.bindCol(1, SQL_C_CHAR, text, -1, nullptr), SQL_ERROR);
    EXPECT_EQ(f.state(), "HY090");
    SQLINTEGER number = 0;
    EXPECT_EQ(f.statement.bindCol(4, SQL_C_SLONG, &number, 0, nullptr), SQL_SUCCESS);
    Descriptor* ard = f.statement.getAttrAppRowDesc();
    EXPECT_EQ(ard->getCount(), 4);
    EXPECT_EQ(ard->record(4)->getLength(), 4u) << "the type's own size";
    EXPECT_EQ(ard->record(4)->getDataPtr(), &number);
    EXPECT_EQ(f.statement.bindCol(4, SQL_C_SLONG, nullptr, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(ard->record(4)->getDataPtr(), nullptr) << "a null buffer unbinds";
}

// --- Positioned operations ------------------------------------------------------------------

TEST(StatementFetch, ExtractTableNameTakesTheWordAfterFrom) {
    struct Case {
        const char* text;
        const char* table;
    };
    const Case cases[] = {
        {"select * from t", "t"},
        {"select *  from    t where x = 1", "t"},
        {"  SELECT a FROM sales.orders\tWHERE 1", "sales.orders"},
        {"select fromage from t", "t"},
        {"select datefrom, b from t", "t"},
        {"select 'from x' from t", "t"},
        {"select a from", ""},
        {"update t set a = 1", ""},
        {"select 1", ""},
        {"selection from t", ""},
    };
    Fixture f;
    for (const Case& c : cases) {
        EXPECT_EQ(f.statement.extractTableName(c.text), c.table) << c.text;
    }
}

TEST(StatementFetch, SetPosRefusals) {
    struct Case {
        const char* name;
        SQLUINTEGER concurrency;
        SQLUINTEGER attributes;
        SQLULEN row;
        SQLUSMALLINT operation;
        std::string state;
        std::string message;
    };
    const SQLUINTEGER all = SQL_CA1_POS_POSITION | SQL_CA1_POS_REFRESH | SQL_CA1_POS_UPDATE |
                            SQL_CA1_POS_DELETE | SQL_CA1_BULK_ADD;
    const Case cases[] = {
        {"update on a read-only cursor", SQL_CONCUR_READ_ONLY, all, 1, SQL_UPDATE, "HY092", ""},
        {"unknown operation", SQL_CONCUR_LOCK, all, 1, 9, "HY092", ""},
        {"refresh not supported", SQL_CONCUR_LOCK, SQL_CA1_POS_POSITION, 1, SQL_REFRESH, "HYC00",
         "Cursor does not support refreshing rows"},
        {"row beyond the rowset", SQL_CONCUR_LOCK, all, 3, SQL_POSITION, "HY107", ""},
        {"position on row 0", SQL_CONCUR_LOCK, all, 0, SQL_POSITION, "HY109", ""},
        {"update without a server cursor", SQL_CONCUR_LOCK, all, 1, SQL_UPDATE, "HYC00", ""},
        {"delete without a server cursor", SQL_CONCUR_LOCK, all, 1, SQL_DELETE, "HYC00", ""},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.connection.attributes1 = c.attributes;
        f.statement.setResult({"a"}, numberedRows(3));
        f.statement.setConcurrency(c.concurrency);
        f.statement.setStmtAttr(SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(2), 0);
        ASSERT_EQ(f.statement.fetch(), SQL_SUCCESS) << c.name;
        EXPECT_EQ(f.statement.setPos(c.row, c.operation, SQL_LOCK_NO_CHANGE), SQL_ERROR) << c.name;
        EXPECT_EQ(f.state(), c.state) << c.name;
        if (!c.message.empty()) {
            EXPECT_NE(f.message().find(c.message), std::string::npos) << c.name;
        }
        EXPECT_TRUE(f.statement.sent.empty()) << c.name;
    }
    Fixture f;
    f.statement.setResult({"a"}, numberedRows(3));
    EXPECT_EQ(f.statement.bulkOperations(SQL_ADD), SQL_ERROR);
    EXPECT_EQ(f.state(), "HY092") << "adding rows to a read-only cursor";
    EXPECT_EQ(f.statement.bulkOperations(SQL_UPDATE_BY_BOOKMARK), SQL_ERROR);
    EXPECT_EQ(f.state(), "HYC00");
}

TEST(StatementFetch, RefreshReloadsTheCurrentRowset) {
    Fixture f;
    f.statement.setResult({"a"}, numberedRows(5));
    f.statement.setConcurrency(SQL_CONCUR_LOCK);
    f.statement.setStmtAttr(SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(2), 0);
    char values[2][4] = {};
    SQLLEN lengths[2] = {};
    f.statement.bindCol(1, SQL_C_CHAR, values, 4, lengths);
    ASSERT_EQ(f.statement.fetch(), SQL_SUCCESS);
    ASSERT_EQ(f.statement.fetch(), SQL_SUCCESS);
    std::strcpy(values[0], "x");
    EXPECT_EQ(f.statement.setPos(1, SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_SUCCESS);
    EXPECT_EQ(f.statement.setPos(0, SQL_REFRESH, SQL_LOCK_NO_CHANGE), SQL_SUCCESS);
    EXPECT_STREQ(values[0], "r3");
    EXPECT_STREQ(values[1], "r4");
}

TEST(StatementFetch, PositionedInsertSplicesEachBoundColumnInOrder) {
    struct Case {
        const char* name;
        std::vector<SQLUSMALLINT> bound;  // columns bound, of a, b, c
        SQLULEN row;
        SQLRETURN rc;
        std::vector<std::string> sent;
        std::string state;
    };
    const std::vector<Case> cases = {
        {"all rows, two columns",
         {1, 2},
         0,
         SQL_SUCCESS,
         {"insert into t (a, b) values ('a1', 'b1')", "insert into t (a, b) values ('a2', 'b2')"},
         "none"},
        {"a gap between bound columns",
         {1, 3},
         2,
         SQL_SUCCESS,
         {"insert into t (a, c) values ('a2', 'c2')"},
         "none"},
        {"a bound column the result lacks", {1, 4}, 1, SQL_ERROR, {}, "HY000"},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.statement.setResult({"a", "b", "c"}, {{"a1", "b1", "c1"}, {"a2", "b2", "c2"}},
                              SQL_VARCHAR, "select a, b, c from t");
        f.statement.setConcurrency(SQL_CONCUR_LOCK);
        f.statement.setStmtAttr(SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(2), 0);
        SQLUSMALLINT status[2] = {kUntouched, kUntouched};
        f.statement.setStmtAttr(SQL_ATTR_ROW_STATUS_PTR, status, 0);
        char values[4][2][4] = {};
        SQLLEN lengths[4][2] = {};
        for (const SQLUSMALLINT column : c.bound) {
            f.statement.bindCol(column, SQL_C_CHAR, values[column - 1], 4, lengths[column - 1]);
        }
        ASSERT_EQ(f.statement.fetch(), SQL_SUCCESS) << c.name;
        EXPECT_EQ(f.statement.setPos(c.row, SQL_ADD, SQL_LOCK_NO_CHANGE), c.rc) << c.name;
        EXPECT_EQ(f.statement.sent, c.sent) << c.name;
        EXPECT_EQ(f.state(), c.state) << c.name;
        if (c.rc == SQL_SUCCESS) {
            EXPECT_EQ(status[c.row == 0 ? 0 : c.row - 1], SQL_ROW_ADDED) << c.name;
        }
    }
}

TEST(StatementFetch, PositionedInsertNeverReadsPastACutValue) {
    Fixture f;
    f.statement.setResult({"a"}, {{"abcdefgh"}}, SQL_VARCHAR, "select a from t");
    f.statement.setConcurrency(SQL_CONCUR_LOCK);
    char value[4] = {};
    SQLLEN length = 0;
    f.statement.bindCol(1, SQL_C_CHAR, value, sizeof value, &length);
    ASSERT_EQ(f.statement.fetch(), SQL_SUCCESS);
    ASSERT_EQ(length, 8) << "the whole length, longer than the buffer";
    EXPECT_EQ(f.statement.setPos(1, SQL_ADD, SQL_LOCK_NO_CHANGE), SQL_ERROR);
    EXPECT_EQ(f.state(), "22001");
    EXPECT_TRUE(f.statement.sent.empty());
}

TEST(StatementFetch, PositionedUpdateAndDeleteThroughAServerCursor) {
    struct Case {
        SQLUSMALLINT operation;
        std::vector<std::string> sent;
        SQLUSMALLINT firstStatus;
    };
    const Case cases[] = {
        {SQL_UPDATE, {"update t set a='r2' where current of SQL_CURX"}, SQL_ROW_UPDATED},
        {SQL_DELETE, {"delete from t where current of SQL_CURX"}, SQL_ROW_DELETED},
    };
    for (const Case& c : cases) {
        Fixture f;
        ASSERT_EQ(f.statement.setCursorName(reinterpret_cast<const SQLCHAR*>("SQL_CURX"), SQL_NTS),
                  SQL_SUCCESS);
        f.statement.setResult({"a"}, numberedRows(3), SQL_VARCHAR, "select a from t");
        f.statement.setConcurrency(SQL_CONCUR_LOCK);
        f.statement.setServerCursor(true);
        f.statement.setStmtAttr(SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(2), 0);
        SQLUSMALLINT status[2] = {};
        SQLUSMALLINT operations[2] = {SQL_ROW_IGNORE, SQL_ROW_PROCEED};
        f.statement.setStmtAttr(SQL_ATTR_ROW_STATUS_PTR, status, 0);
        f.statement.setStmtAttr(SQL_ATTR_ROW_OPERATION_PTR, operations, 0);
        char values[2][4] = {};
        SQLLEN lengths[2] = {};
        f.statement.bindCol(1, SQL_C_CHAR, values, 4, lengths);
        ASSERT_EQ(f.statement.fetch(), SQL_SUCCESS);
        EXPECT_EQ(f.statement.setPos(0, c.operation, SQL_LOCK_NO_CHANGE), SQL_SUCCESS);
        EXPECT_EQ(f.statement.sent, c.sent) << "the ignored first row is skipped";
        EXPECT_EQ(status[1], c.firstStatus);
        // The cursor was stepped over both rows, the ignored one too.
        EXPECT_EQ(f.statement.recordset()->currentRow(), 3u);
    }
}

}  // namespace
