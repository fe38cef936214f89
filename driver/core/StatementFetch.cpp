// The result side of a statement: describing and binding columns, fetching
// rowsets in every orientation, piecewise SQLGetData, and the positioned
// operations of SQLSetPos and SQLBulkOperations.
#include <sqlucode.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "driver/adapter/SqlTextScanner.h"
#include "driver/core/Connection.h"
#include "driver/core/Descriptor.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/Environment.h"
#include "driver/core/OdbcTypes.h"
#include "driver/core/Recordset.h"
#include "driver/core/Statement.h"
#include "driver/core/StringOutput.h"
#include "driver/core/ValueConversion.h"

namespace {

constexpr const char* kNoTableToDelete = "Could not determine table from query";
constexpr const char* kNoBoundColumn = "At least one bound column must be associated with a table";
constexpr const char* kCalculatedColumn = "All columns must be from a table (not calculations)";
// The positioned statements report their own failures under this state.
constexpr const char* kPositionedState = "HY000";
// Column names of positioned statements are read as into a 256-byte buffer.
constexpr std::size_t kMostNameBytes = 255;

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

SQLPOINTER pointerValue(std::intptr_t value) {
    return reinterpret_cast<SQLPOINTER>(value);
}

SQLLEN saturatedAdd(SQLLEN a, SQLLEN b) {
    SQLLEN sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<SQLLEN>::max() : std::numeric_limits<SQLLEN>::min();
    }
    return sum;
}

SQLLEN asSigned(SQLULEN value) {
    return static_cast<SQLLEN>(
        std::min<SQLULEN>(value, static_cast<SQLULEN>(std::numeric_limits<SQLLEN>::max())));
}

// Bytes of a fixed-size application type; 0 for the types whose buffer
// length the application states (text, binary, and what no conversion serves).
SQLLEN fixedSize(SQLSMALLINT cType) {
    if (const NumericTarget* number = findNumericTarget(cType); number != nullptr) {
        return number->size;
    }
    if (const DateTarget* date = findDateTarget(cType); date != nullptr) {
        return date->size;
    }
    return 0;
}

bool isPiecewiseTarget(SQLSMALLINT cType) {
    return cType == SQL_C_CHAR || cType == SQL_C_WCHAR || cType == SQL_C_BINARY;
}

// The smallest buffer that holds a character of data besides the
// terminator. Smaller buffers only ask for the length.
SQLLEN roomForOneCharacter(SQLSMALLINT cType) {
    switch (cType) {
        case SQL_C_CHAR:
            return 2;
        case SQL_C_WCHAR:
            return 2 * static_cast<SQLLEN>(sizeof(SQLWCHAR));
        default:
            return 1;
    }
}

// The IRD record of a result column, null for a number outside 0..count.
DescriptorRecord* resultColumn(const Descriptor& ird, SQLUSMALLINT column) {
    const auto count = static_cast<SQLUSMALLINT>(std::max<SQLSMALLINT>(ird.getCount(), 0));
    if (column > count) {
        return nullptr;
    }
    return ird.record(static_cast<SQLSMALLINT>(column));
}

// Bytes of the value published in row 0 of an IRD record: 0 for NULL and
// for a missing text, whatever length came with it.
SQLLEN publishedLength(const DescriptorRecord& record) {
    if (const SQLLEN* indicators = record.getIndicatorPtr();
        indicators != nullptr && indicators[0] == SQL_NULL_DATA) {
        return 0;
    }
    const auto* texts = static_cast<const char* const*>(record.getDataPtr());
    const char* text = texts != nullptr ? texts[0] : nullptr;
    if (text == nullptr) {
        return 0;
    }
    if (const SQLLEN* lengths = record.getOctetLengthPtr(); lengths != nullptr) {
        return std::max<SQLLEN>(lengths[0], 0);
    }
    return static_cast<SQLLEN>(std::strlen(text));
}

// A value published without its text, yet not NULL, is an empty text: its
// length is never read as bytes behind a null pointer.
void emptyMissingText(DescriptorRecord& record) {
    auto* texts = static_cast<const char**>(record.getDataPtr());
    if (texts == nullptr || texts[0] != nullptr) {
        return;
    }
    if (const SQLLEN* indicators = record.getIndicatorPtr();
        indicators != nullptr && indicators[0] == SQL_NULL_DATA) {
        return;
    }
    texts[0] = "";
    if (SQLLEN* lengths = record.getOctetLengthPtr(); lengths != nullptr) {
        lengths[0] = 0;
    }
}

void emptyMissingTexts(const Descriptor& ird) {
    const SQLSMALLINT count = ird.getCount();
    for (SQLSMALLINT number = 0; number <= count; ++number) {
        if (DescriptorRecord* record = ird.record(number); record != nullptr) {
            emptyMissingText(*record);
        }
    }
}

// A column whose last piece (or whole value) was delivered keeps its
// next-byte offset at the value's length, and at least 1, so that an empty
// or NULL value also ends a read loop.
SQLLEN deliveredMark(SQLLEN total) {
    return std::max<SQLLEN>(total, 1);
}

bool columnExhausted(const DescriptorRecord& record, SQLLEN total) {
    const SQLLEN next = record.getNextByte();
    return next > 0 && next >= deliveredMark(total);
}

// With text columns reported as Unicode, the narrow SQL types become wide.
SQLSMALLINT reportedSqlType(SQLSMALLINT type, bool unicodeText) {
    struct Row {
        SQLSMALLINT narrow;
        SQLSMALLINT wide;
    };
    static constexpr Row kWide[] = {
        {SQL_CHAR, SQL_WCHAR},
        {SQL_VARCHAR, SQL_WVARCHAR},
        {SQL_LONGVARCHAR, SQL_WLONGVARCHAR},
    };
    if (unicodeText) {
        for (const Row& row : kWide) {
            if (row.narrow == type) {
                return row.wide;
            }
        }
    }
    return type;
}

// SQLColAttribute: one row per field identifier; a row answers with text
// or with a number.
struct ColumnAttribute {
    SQLUSMALLINT field;
    std::string (*text)(const DescriptorRecord&);
    SQLLEN (*number)(const DescriptorRecord&);
};

// clang-format off
const ColumnAttribute kColumnAttributes[] = {
    {SQL_COLUMN_NAME,            [](const DescriptorRecord& r) { return r.getName(); }, nullptr},
    {SQL_DESC_NAME,              [](const DescriptorRecord& r) { return r.getName(); }, nullptr},
    {SQL_COLUMN_TYPE,            nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getConciseType(); }},
    {SQL_DESC_TYPE,              nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getType(); }},
    {SQL_COLUMN_LENGTH,          nullptr, [](const DescriptorRecord& r) { return asSigned(r.getLength()); }},
    {SQL_DESC_LENGTH,            nullptr, [](const DescriptorRecord& r) { return asSigned(r.getLength()); }},
    {SQL_COLUMN_PRECISION,       nullptr, [](const DescriptorRecord& r) {
         return isNumericSqlType(r.getType()) ? SQLLEN{r.getPrecision()} : asSigned(r.getLength()); }},
    {SQL_DESC_PRECISION,         nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getPrecision(); }},
    {SQL_COLUMN_SCALE,           nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getScale(); }},
    {SQL_DESC_SCALE,             nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getScale(); }},
    {SQL_COLUMN_DISPLAY_SIZE,    nullptr, [](const DescriptorRecord& r) { return r.getDisplaySize(); }},
    {SQL_COLUMN_NULLABLE,        nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getNullable(); }},
    {SQL_DESC_NULLABLE,          nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getNullable(); }},
    {SQL_COLUMN_UNSIGNED,        nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getUnsigned(); }},
    {SQL_COLUMN_MONEY,           nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getFixedPrecScale(); }},
    {SQL_COLUMN_UPDATABLE,       nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getUpdatable(); }},
    {SQL_COLUMN_AUTO_INCREMENT,  nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getAutoUniqueValue(); }},
    {SQL_COLUMN_CASE_SENSITIVE,  nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getCaseSensitive(); }},
    {SQL_COLUMN_SEARCHABLE,      nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getSearchable(); }},
    {SQL_COLUMN_TYPE_NAME,       [](const DescriptorRecord& r) { return r.getTypeName(); }, nullptr},
    {SQL_COLUMN_TABLE_NAME,      [](const DescriptorRecord& r) { return r.getTableName(); }, nullptr},
    {SQL_COLUMN_OWNER_NAME,      [](const DescriptorRecord& r) { return r.getSchemaName(); }, nullptr},
    {SQL_COLUMN_QUALIFIER_NAME,  [](const DescriptorRecord& r) { return r.getCatalogName(); }, nullptr},
    {SQL_COLUMN_LABEL,           [](const DescriptorRecord& r) { return r.getLabel(); }, nullptr},
    {SQL_DESC_BASE_COLUMN_NAME,  [](const DescriptorRecord& r) { return r.getBaseColumnName(); }, nullptr},
    {SQL_DESC_BASE_TABLE_NAME,   [](const DescriptorRecord& r) { return r.getBaseTableName(); }, nullptr},
    {SQL_DESC_LITERAL_PREFIX,    [](const DescriptorRecord& r) { return r.getLiteralPrefix(); }, nullptr},
    {SQL_DESC_LITERAL_SUFFIX,    [](const DescriptorRecord& r) { return r.getLiteralSuffix(); }, nullptr},
    {SQL_DESC_LOCAL_TYPE_NAME,   [](const DescriptorRecord& r) { return r.getLocalTypeName(); }, nullptr},
    {SQL_DESC_NUM_PREC_RADIX,    nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getNumPrecRadix(); }},
    {SQL_DESC_UNNAMED,           nullptr, [](const DescriptorRecord& r) -> SQLLEN { return r.getUnnamed(); }},
    {SQL_DESC_OCTET_LENGTH,      nullptr, [](const DescriptorRecord& r) { return r.getOctetLength(); }},
};
// clang-format on

const ColumnAttribute* findColumnAttribute(SQLUSMALLINT field) {
    for (const ColumnAttribute& row : kColumnAttributes) {
        if (row.field == field) {
            return &row;
        }
    }
    return nullptr;
}

// Which flag a fetch that found no rows leaves set. The two exclude each
// other: a cursor stands before the start or after the end, never both.
enum class Edge { BeforeStart, AfterEnd };

struct CursorFlags {
    bool& beforeStart;
    bool& afterEnd;
    SQLLEN& rowsetPosition;

    SQLRETURN settle(SQLRETURN rc, Edge edge) const {
        if (rc == SQL_NO_DATA) {
            beforeStart = edge == Edge::BeforeStart;
            afterEnd = edge == Edge::AfterEnd;
            if (beforeStart) {
                rowsetPosition = -1;
            }
            return rc;
        }
        beforeStart = false;
        afterEnd = false;
        return rc;
    }

    // The tail of every fetch: load the rowset the move reached, then settle.
    SQLRETURN loadAfter(Statement& statement, SQLRETURN moveResult, Edge edge) const {
        if (succeeded(moveResult)) {
            moveResult = statement.fetchRowset();
        }
        return settle(moveResult, edge);
    }
};

// SQLSetPos operations: what the cursor must support, and the message of
// the refusal.
struct PositionOperation {
    SQLUSMALLINT operation;
    SQLUINTEGER needs;
    const char* refusal;
};

const PositionOperation kPositionOperations[] = {
    {SQL_POSITION, SQL_CA1_POS_POSITION, "Cursor does not support row positioning"},
    {SQL_REFRESH, SQL_CA1_POS_REFRESH, "Cursor does not support refreshing rows"},
    {SQL_UPDATE, SQL_CA1_POS_UPDATE, "Cursor does not support updating rows"},
    {SQL_DELETE, SQL_CA1_POS_DELETE, "Cursor does not support deleting rows"},
    {SQL_ADD, SQL_CA1_BULK_ADD, "Cursor does not support adding rows"},
};

const PositionOperation* findPositionOperation(SQLUSMALLINT operation) {
    for (const PositionOperation& row : kPositionOperations) {
        if (row.operation == operation) {
            return &row;
        }
    }
    return nullptr;
}

bool isWordByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '_' || byte >= 0x80;
}

// The bound columns of a positioned statement: their numbers and the names
// their IRD records give.
struct BoundColumns {
    std::vector<SQLSMALLINT> numbers;
    std::vector<std::string> names;
};

enum class BoundResult { Ok, Calculated, NoneBound };

BoundResult collectBoundColumns(const Descriptor& ard, const Descriptor& ird, BoundColumns& out) {
    const SQLSMALLINT count = ard.getCount();
    for (SQLSMALLINT number = 1; number <= count; ++number) {
        const DescriptorRecord* application = ard.record(number);
        if (application == nullptr || application->getDataPtr() == nullptr) {
            continue;
        }
        // A bound column the result does not describe has no name.
        const DescriptorRecord* implementation = ird.record(number);
        std::string name = implementation != nullptr ? implementation->getName() : std::string();
        if (name.size() > kMostNameBytes) {
            name.resize(kMostNameBytes);
        }
        if (name.empty()) {
            return BoundResult::Calculated;
        }
        out.numbers.push_back(number);
        out.names.push_back(std::move(name));
    }
    return out.numbers.empty() ? BoundResult::NoneBound : BoundResult::Ok;
}

std::string joined(const std::vector<std::string>& pieces, const std::string& suffix) {
    std::string text;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += pieces[i] + suffix;
    }
    return text;
}

// Rows [first, last) of the rowset that a positioned operation acts on.
struct RowRange {
    SQLULEN first;
    SQLULEN last;
};

RowRange rowsFor(SQLULEN row, SQLULEN allRows) {
    return row == 0 ? RowRange{0, allRows} : RowRange{row - 1, row};
}

// Whether the value bound for row `row` of an application record lies
// within its buffer: a fetched value that was cut reports its whole
// length, which must never be read from the shorter buffer.
bool fitsItsBuffer(const Descriptor& ard, const DescriptorRecord& record, SQLULEN row) {
    const SQLLEN* lengths = record.getOctetLengthPtr();
    const SQLSMALLINT cType = record.getConciseType();
    if (lengths == nullptr || fixedSize(cType) != 0) {
        return true;
    }
    const SQLLEN offset = ard.getBindOffsetPtr() != nullptr ? *ard.getBindOffsetPtr() : 0;
    const SQLINTEGER bindType = ard.getBindType();
    const auto stride = static_cast<SQLULEN>(bindType > 0 ? bindType : sizeof(SQLLEN));
    SQLLEN length = 0;
    std::memcpy(&length, reinterpret_cast<const char*>(lengths) + offset + row * stride,
                sizeof length);
    return length <= record.getOctetLength();
}

// Tally of the rows a positioned operation ran: its return code follows
// ODBC's rule for row operations.
struct RowTally {
    SQLULEN attempted = 0;
    SQLULEN failed = 0;

    void count(bool ok) {
        ++attempted;
        if (!ok) {
            ++failed;
        }
    }
    SQLRETURN result(DiagnosticHeader& diagnostics) const {
        if (failed == 0) {
            return SQL_SUCCESS;
        }
        const bool all = failed == attempted;
        if (diagnostics.isEmpty()) {
            diagnostics.prependRecord(all ? "HY000" : "01S01", 0, "", -1, -1);
        }
        return all ? SQL_ERROR : SQL_SUCCESS_WITH_INFO;
    }
};

void setStatus(SQLUSMALLINT* status, SQLULEN row, SQLUSMALLINT value) {
    if (status != nullptr) {
        status[row] = value;
    }
}

}  // namespace

// --- Describing columns ------------------------------------------------------------

SQLRETURN Statement::numResultCols(SQLSMALLINT* count) {
    diagnostics_.clear();
    if (count != nullptr) {
        *count = ird_->getCount();
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::describeCol(SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT bufferLength,
                                 SQLSMALLINT* nameLength, SQLSMALLINT* dataType,
                                 SQLULEN* columnSize, SQLSMALLINT* decimalDigits,
                                 SQLSMALLINT* nullable) {
    diagnostics_.clear();
    const DescriptorRecord* record = resultColumn(*ird_, column);
    if (record == nullptr) {
        postState("07009");
        return SQL_ERROR;
    }
    const bool cut =
        copyStringOutShort(name, nameLength, record->getName(), bufferLength, true) != 0;
    if (dataType != nullptr) {
        *dataType = reportedSqlType(record->getConciseType(), connection_->isUnicodeTextTypes());
    }
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    record->getColumnSizeAndDigits(&size, &digits);
    if (columnSize != nullptr) {
        *columnSize = size;
    }
    if (decimalDigits != nullptr) {
        *decimalDigits = digits;
    }
    if (nullable != nullptr) {
        *nullable = record->getNullable();
    }
    // A cut name is never passed off as the whole one.
    if (cut && name != nullptr) {
        postState("01004");
        return SQL_SUCCESS_WITH_INFO;
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::colAttribute(SQLUSMALLINT column, SQLUSMALLINT field,
                                  SQLPOINTER characterAttribute, SQLSMALLINT bufferLength,
                                  SQLSMALLINT* stringLength, SQLLEN* numericAttribute) {
    diagnostics_.clear();
    const DescriptorRecord* record = resultColumn(*ird_, column);
    if (record == nullptr) {
        postState("07009");
        return SQL_ERROR;
    }
    if (field == SQL_COLUMN_COUNT || field == SQL_DESC_COUNT) {
        if (numericAttribute != nullptr) {
            *numericAttribute = ird_->getCount();
        }
        return SQL_SUCCESS;
    }
    const ColumnAttribute* attribute = findColumnAttribute(field);
    if (attribute == nullptr) {
        return SQL_SUCCESS;
    }
    if (attribute->number != nullptr) {
        if (numericAttribute != nullptr) {
            *numericAttribute = attribute->number(*record);
        }
        return SQL_SUCCESS;
    }
    const bool terminate = environment()->getAttrOutputNts() != SQL_FALSE;
    const bool cut = copyStringOutShort(characterAttribute, stringLength, attribute->text(*record),
                                        bufferLength, terminate) != 0;
    if (cut && characterAttribute != nullptr) {
        postState("01004");
        return SQL_SUCCESS_WITH_INFO;
    }
    return SQL_SUCCESS;
}

// --- Binding -------------------------------------------------------------------------

SQLRETURN Statement::bindCol(SQLUSMALLINT column, SQLSMALLINT valueType, SQLPOINTER value,
                             SQLLEN bufferLength, SQLLEN* lengthOrIndicator) {
    diagnostics_.clear();
    if (column > static_cast<SQLUSMALLINT>(std::numeric_limits<SQLSMALLINT>::max())) {
        postState("07009");
        return SQL_ERROR;
    }
    const SQLLEN fixed = fixedSize(valueType);
    if (fixed == 0 && bufferLength < 0) {
        // The length is also the stride of column-wise arrays.
        postState("HY090");
        return SQL_ERROR;
    }
    // A fixed-size type's buffer is the type's own size when none is given.
    const SQLLEN length = fixed != 0 && bufferLength <= 0 ? fixed : bufferLength;
    const auto record = static_cast<SQLSMALLINT>(column);
    if (record > currentArd_->getCount()) {
        if (const SQLRETURN grown = currentArd_->setCount(record); !succeeded(grown)) {
            diagnostics_.assign(currentArd_->diagnostics());
            return grown;
        }
    }

    struct Field {
        SQLSMALLINT identifier;
        SQLPOINTER value;
        bool isLength;
    };
    // The data pointer goes last: every other field set unbinds the record.
    const Field fields[] = {
        {SQL_DESC_CONCISE_TYPE, pointerValue(valueType), false},
        {SQL_DESC_LENGTH, pointerValue(length), true},
        {SQL_DESC_OCTET_LENGTH, pointerValue(length), true},
        {SQL_DESC_INDICATOR_PTR, lengthOrIndicator, false},
        {SQL_DESC_OCTET_LENGTH_PTR, lengthOrIndicator, false},
        {SQL_DESC_DATA_PTR, value, false},
    };
    const bool lengthMatters = valueType == SQL_C_CHAR || valueType == SQL_C_WCHAR ||
                               valueType == SQL_C_BINARY || valueType == SQL_C_DEFAULT;
    bool withInfo = false;
    DescriptorRecord* target = currentArd_->record(record);
    for (const Field& field : fields) {
        const SQLRETURN rc =
            target != nullptr ? currentArd_->setRecordField(*target, field.identifier, field.value)
                              : currentArd_->setDescField(record, field.identifier, field.value, 0);
        if (rc == SQL_SUCCESS_WITH_INFO) {
            withInfo = withInfo || !field.isLength || lengthMatters;
        } else if (rc != SQL_SUCCESS) {
            diagnostics_.assign(currentArd_->diagnostics());
            return rc;
        }
    }
    if (withInfo) {
        diagnostics_.assign(currentArd_->diagnostics());
        return SQL_SUCCESS_WITH_INFO;
    }
    return SQL_SUCCESS;
}

// --- Fetching ------------------------------------------------------------------------

SQLRETURN Statement::fetch() {
    return fetchScroll(SQL_FETCH_NEXT, 0);
}

SQLRETURN Statement::fetchScroll(SQLSMALLINT orientation, SQLLEN offset) {
    diagnostics_.clear();
    if (recordset_ == nullptr) {
        postState("24000");
        return SQL_ERROR;
    }
    if (orientation != SQL_FETCH_NEXT && cursorScrollable_ == SQL_NONSCROLLABLE) {
        postState("HY106");
        return SQL_ERROR;
    }
    SQLRETURN rc = SQL_ERROR;
    switch (orientation) {
        case SQL_FETCH_NEXT:
            rc = fetchNext();
            break;
        case SQL_FETCH_FIRST:
            rc = fetchFirst();
            break;
        case SQL_FETCH_LAST:
            rc = fetchLast();
            break;
        case SQL_FETCH_PRIOR:
            rc = fetchPrior();
            break;
        case SQL_FETCH_ABSOLUTE:
            rc = fetchAbsolute(offset);
            break;
        case SQL_FETCH_RELATIVE:
            rc = fetchRelative(offset);
            break;
        case SQL_FETCH_BOOKMARK:
            rc = fetchBookmark(offset);
            break;
        default:
            // An orientation we do not know fetches nothing: say so.
            postState("HY106");
            return SQL_ERROR;
    }
    if (succeeded(rc)) {
        state_ = StatementState::Positioned;
    } else if (rc == SQL_ERROR && diagnostics_.isEmpty()) {
        // A row source failure whose records stayed with the row source.
        postState("HY000");
    }
    return rc;
}

SQLRETURN Statement::extendedFetch(SQLUSMALLINT orientation, SQLLEN offset, SQLULEN* rowCount,
                                   SQLUSMALLINT* rowStatus) {
    // The application's pointers are swapped directly and put back on every
    // path: the attribute setters would clear the fetch's diagnostics.
    struct Swap {
        Descriptor& ird;
        SQLLEN*& bookmark;
        SQLULEN* savedFetched;
        SQLUSMALLINT* savedStatus;
        SQLLEN* savedBookmark;
        ~Swap() {
            ird.setRowsProcessedPtr(savedFetched);
            ird.setArrayStatusPtr(savedStatus);
            bookmark = savedBookmark;
        }
    } swap{*ird_, fetchBookmarkPtr_, ird_->getRowsProcessedPtr(), ird_->getArrayStatusPtr(),
           fetchBookmarkPtr_};
    ird_->setRowsProcessedPtr(rowCount);
    ird_->setArrayStatusPtr(rowStatus);
    SQLLEN bookmark = offset;
    if (orientation == SQL_FETCH_BOOKMARK) {
        // ODBC 2 passes the bookmark itself as the offset.
        fetchBookmarkPtr_ = &bookmark;
        offset = 0;
    }
    return fetchScroll(static_cast<SQLSMALLINT>(orientation), offset);
}

SQLRETURN Statement::fetchNext() {
    const CursorFlags flags{beforeStart_, afterEnd_, rowsetPosition_};
    return flags.loadAfter(*this, moveNext(), Edge::AfterEnd);
}

SQLRETURN Statement::fetchPrior() {
    const CursorFlags flags{beforeStart_, afterEnd_, rowsetPosition_};
    return flags.loadAfter(*this, movePrior(), Edge::BeforeStart);
}

SQLRETURN Statement::fetchFirst() {
    const CursorFlags flags{beforeStart_, afterEnd_, rowsetPosition_};
    return flags.loadAfter(*this, moveFirst(), Edge::BeforeStart);
}

SQLRETURN Statement::fetchLast() {
    const CursorFlags flags{beforeStart_, afterEnd_, rowsetPosition_};
    return flags.loadAfter(*this, moveLast(), Edge::AfterEnd);
}

SQLRETURN Statement::fetchRelative(SQLLEN offset) {
    const CursorFlags flags{beforeStart_, afterEnd_, rowsetPosition_};
    return flags.loadAfter(*this, moveRelative(offset),
                           offset < 0 ? Edge::BeforeStart : Edge::AfterEnd);
}

SQLRETURN Statement::fetchAbsolute(SQLLEN row) {
    const CursorFlags flags{beforeStart_, afterEnd_, rowsetPosition_};
    SQLRETURN rc = SQL_ERROR;
    if (row < 0 && recordset_ != nullptr) {
        // Negative rows count from the end: -1 is the last row.
        rc = recordset_->fetchLast();
        if (succeeded(rc)) {
            rc = recordset_->fetchRelative(row + 1);
        }
        pendingRow_ = 0;
    } else {
        rc = moveAbsolute(row);
    }
    return flags.loadAfter(*this, rc, row < 1 ? Edge::BeforeStart : Edge::AfterEnd);
}

SQLRETURN Statement::fetchBookmark(SQLLEN offset) {
    if (useBookmarks_ == SQL_UB_OFF || fetchBookmarkPtr_ == nullptr) {
        postState("HY111");
        return SQL_ERROR;
    }
    const SQLLEN start = *fetchBookmarkPtr_;
    if (isTracing()) {
        writeTrace("// bookmark start: " + toString(std::int64_t{start}) +
                   "  offset: " + toString(std::int64_t{offset}) + "\n");
    }
    SQLLEN row = 0;
    if (__builtin_add_overflow(start, offset, &row)) {
        postState("HY107");
        return SQL_ERROR;
    }
    if (row == -1) {
        if (isTracing()) {
            writeTrace("// fetching last row\n");
        }
        return fetchLast();
    }
    const CursorFlags flags{beforeStart_, afterEnd_, rowsetPosition_};
    return flags.loadAfter(*this, moveAbsolute(row), row < 1 ? Edge::BeforeStart : Edge::AfterEnd);
}

// --- Moving the row source -------------------------------------------------------------
// After a move the row source stands on the first row of the new rowset, so
// nothing is pending. Between moves it stands on the last row loaded, which
// is rowset position - 1 rows past the rowset's first row.

SQLRETURN Statement::moveNext() {
    if (recordset_ == nullptr) {
        return SQL_ERROR;
    }
    const SQLRETURN rc = recordset_->fetchNext();
    pendingRow_ = 0;
    return rc;
}

SQLRETURN Statement::movePrior() {
    if (recordset_ == nullptr) {
        return SQL_ERROR;
    }
    const SQLULEN size = currentArd_->getArraySize();
    if (size == 1 && !afterEnd_) {
        const SQLRETURN rc = recordset_->fetchPrior();
        pendingRow_ = 0;
        if (rc == SQL_NO_DATA) {
            rowsetPosition_ = -1;
        }
        return rc;
    }
    const SQLRETURN rc = moveRelative(-asSigned(size));
    if (rc != SQL_NO_DATA) {
        return rc;
    }
    if (size >= 2) {
        // A prior rowset that would start before the first row is the first.
        rowsetPosition_ = 0;
        return moveFirst();
    }
    rowsetPosition_ = -1;
    return SQL_NO_DATA;
}

SQLRETURN Statement::moveRelative(SQLLEN offset) {
    if (recordset_ == nullptr) {
        return SQL_ERROR;
    }
    SQLLEN step = 0;
    if (afterEnd_) {
        // After the end, offsets count from just past the last row.
        pendingRow_ = 0;
        if (offset >= 0) {
            return SQL_NO_DATA;
        }
        if (const SQLRETURN rc = recordset_->fetchLast(); !succeeded(rc)) {
            return rc;
        }
        step = offset + 1;
    } else if (rowsetPosition_ != -1) {
        step = saturatedAdd(offset, 1 - rowsetPosition_);
    } else {
        step = offset;
    }
    const SQLRETURN rc = recordset_->fetchRelative(step);
    pendingRow_ = 0;
    if (step < 0 && rc == SQL_NO_DATA) {
        rowsetPosition_ = -1;
    }
    return rc;
}

SQLRETURN Statement::moveAbsolute(SQLLEN row) {
    if (recordset_ == nullptr) {
        return SQL_ERROR;
    }
    const SQLRETURN rc = recordset_->fetchAbsolute(row);
    pendingRow_ = 0;
    return rc;
}

SQLRETURN Statement::moveFirst() {
    if (recordset_ == nullptr) {
        return SQL_ERROR;
    }
    const SQLRETURN rc = recordset_->fetchFirst();
    pendingRow_ = 0;
    return rc;
}

SQLRETURN Statement::moveLast() {
    if (recordset_ == nullptr) {
        return SQL_ERROR;
    }
    // The last rowset ends on the last row wherever the cursor stood:
    // it starts n - 1 rows before it, or on the first row.
    SQLRETURN rc = recordset_->fetchLast();
    const SQLULEN size = currentArd_->getArraySize();
    if (succeeded(rc) && size >= 2) {
        const SQLRETURN back = recordset_->fetchRelative(saturatedAdd(1, -asSigned(size)));
        rc = back == SQL_NO_DATA ? recordset_->fetchFirst() : back;
    }
    pendingRow_ = 0;
    return rc;
}

// --- Loading a rowset ----------------------------------------------------------------

SQLRETURN Statement::loadNextRow() {
    if (recordset_ == nullptr) {
        return SQL_ERROR;
    }
    if (pendingRow_ != 0) {
        pendingRow_ = 0;
        const SQLRETURN rc = recordset_->fetchNext();
        if (!succeeded(rc)) {
            // The end of the data, or a row source failure passed on as such.
            return rc;
        }
    }
    recordset_->loadCurrentRow(0, retrieveData_);
    return SQL_SUCCESS;
}

SQLRETURN Statement::fetchRowset() {
    rowsetPosition_ = 0;
    SQLUSMALLINT* status = ird_->getArrayStatusPtr();
    const SQLULEN size = currentArd_->getArraySize();
    SQLRETURN rc = SQL_SUCCESS;
    SQLULEN loaded = 0;
    while (loaded < size) {
        ird_->resetNextBytes();
        rc = loadNextRow();
        if (!succeeded(rc)) {
            break;
        }
        emptyMissingTexts(*ird_);
        currentArd_->convertImpColumns(loaded, ird_.get(), 0, retrieveData_);
        setStatus(status, loaded, SQL_ROW_SUCCESS);
        ++loaded;
        ++rowsetPosition_;
        ++pendingRow_;
        ++rowsLoaded_;
    }
    if (SQLULEN* fetched = ird_->getRowsProcessedPtr(); fetched != nullptr) {
        *fetched = loaded;
    }
    if (rc == SQL_NO_DATA) {
        rc = loaded > 0 ? SQL_SUCCESS : SQL_NO_DATA;
        ++rowsetPosition_;
    } else if (rc == SQL_ERROR && loaded < size) {
        setStatus(status, loaded++, SQL_ROW_ERROR);
    }
    for (SQLULEN row = loaded; status != nullptr && row < size; ++row) {
        status[row] = SQL_ROW_NOROW;
    }
    return rc;
}

// --- SQLGetData ------------------------------------------------------------------------

SQLRETURN Statement::validateConversion(SQLSMALLINT valueType, DescriptorRecord* record) {
    if (record == nullptr) {
        return SQL_ERROR;
    }
    const SQLSMALLINT target =
        valueType == SQL_C_DEFAULT ? record->defaultCType(record->getType()) : valueType;
    const SQLSMALLINT sqlType = record->getConciseType();
    if (isNumericSqlType(sqlType) && isDateOrTimeType(target)) {
        return SQL_ERROR;
    }
    if (isDateOrTimeType(sqlType) && isNumericCType(target)) {
        return SQL_ERROR;
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::getData(SQLUSMALLINT column, SQLSMALLINT valueType, SQLPOINTER value,
                             SQLLEN bufferLength, SQLLEN* lengthOrIndicator) {
    diagnostics_.clear();
    DescriptorRecord* record =
        column == 0 && useBookmarks_ == SQL_UB_OFF ? nullptr : resultColumn(*ird_, column);
    if (record == nullptr) {
        postState("07009");
        return SQL_ERROR;
    }
    if (beforeStart_ || afterEnd_) {
        postState("24000");
        return SQL_ERROR;
    }
    if (validateConversion(valueType, record) != SQL_SUCCESS) {
        postState("22018");
        return SQL_ERROR;
    }
    const SQLSMALLINT target =
        valueType == SQL_C_DEFAULT ? record->defaultCType(record->getType()) : valueType;
    const SQLLEN fixed = fixedSize(target);
    if (fixed == 0 && bufferLength < 0) {
        postState("HY090");
        return SQL_ERROR;
    }
    emptyMissingText(*record);
    const SQLLEN total = publishedLength(*record);
    if (columnExhausted(*record, total)) {
        if (isTracing()) {
            writeTrace("// next byte > impOctetLength (len: 0)\n");
        }
        if (lengthOrIndicator != nullptr) {
            *lengthOrIndicator = 0;
        }
        return SQL_NO_DATA;
    }

    const SQLLEN startByte = record->getNextByte();
    SQLLEN nextByte = startByte;
    SQLLEN length = 0;
    SQLLEN indicator = 0;
    ConversionStatus status;
    const SQLRETURN rc =
        record->convertImpToAppValue(0, target, value, 0, fixed != 0 ? fixed : bufferLength,
                                     &length, &indicator, &nextByte, &status);
    if (!succeeded(rc)) {
        return rc;
    }
    const bool isNull = indicator == SQL_NULL_DATA;
    const bool piecewise = isPiecewiseTarget(target);
    if (piecewise && !isNull && status.truncated && nextByte == startByte && value != nullptr &&
        bufferLength >= roomForOneCharacter(target)) {
        // The next character is larger than the buffer: asking again with
        // the same buffer would never get further.
        postState("HY090");
        return SQL_ERROR;
    }
    // Whatever was not cut is delivered whole: the next call says so.
    record->setNextByte(!isNull && piecewise && status.truncated ? nextByte : deliveredMark(total));

    if (lengthOrIndicator != nullptr) {
        *lengthOrIndicator =
            indicator == SQL_NULL_DATA || indicator == SQL_NO_TOTAL ? indicator : length;
    } else if (isNull) {
        postState("22002");
        return SQL_ERROR;
    }
    if (isTracing()) {
        std::string text = "// isTextType 2: " +
                           std::string(target == SQL_C_CHAR || target == SQL_C_WCHAR ? "1" : "0") +
                           "  isBinaryType: " + (target == SQL_C_BINARY ? "1" : "0") + "\n";
        if (piecewise) {
            text += "// octetLength: " + toString(std::int64_t{length}) +
                    "  bufferLength: " + toString(std::int64_t{bufferLength}) + "\n";
        }
        writeTrace(text);
    }
    if (status.outOfRange) {
        postState("22003");
        return SQL_ERROR;
    }
    if (status.truncated) {
        postState("01004");
        return SQL_SUCCESS_WITH_INFO;
    }
    return rc;
}

// --- Positioned operations -------------------------------------------------------------

std::string Statement::extractTableName(const std::string& text) {
    const char* afterSelect = matchKeyword(text.c_str(), "select");
    if (afterSelect == nullptr) {
        return {};
    }
    const char* from = nullptr;
    for (const char* search = afterSelect; from == nullptr;) {
        const char* found = findOutsideQuotes(search, "from", true, true);
        if (*found == '\0') {
            return {};
        }
        // "from" as a word of its own, not inside "fromage" or "datefrom".
        if (!isWordByte(found[-1]) && !isWordByte(found[4])) {
            from = found + 4;
        }
        search = found + 1;
    }
    const char* start = from;
    while (*start != '\0' && isAsciiSpace(static_cast<unsigned char>(*start))) {
        ++start;
    }
    const char* end = start;
    while (*end != '\0' && !isAsciiSpace(static_cast<unsigned char>(*end))) {
        ++end;
    }
    return std::string(start, end);
}

SQLRETURN Statement::setPos(SQLULEN row, SQLUSMALLINT operation, SQLUSMALLINT /*lockType*/) {
    diagnostics_.clear();
    const bool changesData =
        operation == SQL_UPDATE || operation == SQL_DELETE || operation == SQL_ADD;
    if (concurrency_ == SQL_CONCUR_READ_ONLY && changesData) {
        postState("HY092");
        return SQL_ERROR;
    }
    const PositionOperation* known = findPositionOperation(operation);
    if (known == nullptr) {
        postState("HY092");
        return SQL_ERROR;
    }
    if ((cursorAttributes1() & known->needs) == 0) {
        postState("HYC00", known->refusal);
        return SQL_ERROR;
    }
    if (row > currentArd_->getArraySize()) {
        postState("HY107");
        return SQL_ERROR;
    }
    switch (operation) {
        case SQL_POSITION:
            // The rowset stays as loaded: relative moves count from it.
            if (recordset_ != nullptr && row == 0) {
                postState("HY109");
                return SQL_ERROR;
            }
            return SQL_SUCCESS;
        case SQL_REFRESH:
            // Our rows are reread whole: the current rowset is loaded again.
            return recordset_ != nullptr ? fetchRelative(0) : SQL_SUCCESS;
        case SQL_UPDATE:
            return positionedUpdate(row);
        case SQL_DELETE:
            return positionedDelete(row);
        default:
            return positionedInsert(row);
    }
}

SQLRETURN Statement::bulkOperations(SQLUSMALLINT operation) {
    diagnostics_.clear();
    if (operation != SQL_ADD) {
        postState("HYC00");
        return SQL_ERROR;
    }
    if (concurrency_ == SQL_CONCUR_READ_ONLY) {
        postState("HY092");
        return SQL_ERROR;
    }
    return positionedInsert(0);
}

namespace {

// What the positioned statements share: splicing a row's bound values into
// a text, running it with the recordset left as it was, and stepping the
// server cursor.
class PositionedRun {
  public:
    PositionedRun(Statement& statement, std::unique_ptr<Recordset>& recordset)
        : statement_(statement), recordset_(recordset) {}

    // Replaces the markers by the values bound for `row`; false when a value
    // cannot be used (cut at fetch, no literal, data at execution).
    bool splice(std::string& text, const BoundColumns& columns, SQLULEN row) {
        Descriptor* ard = statement_.getAttrAppRowDesc();
        Descriptor* ird = statement_.getAttrImpRowDesc();
        for (const SQLSMALLINT number : columns.numbers) {
            const DescriptorRecord* bound = ard->record(number);
            if (bound == nullptr || !fitsItsBuffer(*ard, *bound, row)) {
                statement_.diagnostics().prependRecord("22001", 0, "", -1,
                                                       static_cast<SQLLEN>(row + 1));
                return false;
            }
            std::string literal;
            bool isNull = false;
            const auto parameter = static_cast<SQLUSMALLINT>(number);
            if (statement_.formatParameter(parameter, ard, ird, row, literal, isNull) !=
                SQL_SUCCESS) {
                return false;
            }
            if (isNull) {
                literal = "NULL";
            }
            if (statement_.isTracing()) {
                statement_.writeTrace("// parm " + toString(std::int64_t{number}) + ": " + literal +
                                      "\n");
            }
            replacePairOutsideQuotes(text, "?", literal, "", "", '\\');
        }
        return true;
    }

    // Runs a text; a result it leaves behind is dropped and the recordset
    // that was there before comes back.
    bool execute(const std::string& text, SQLULEN parameterRow) {
        std::unique_ptr<Recordset> kept = std::move(recordset_);
        const SQLRETURN rc = statement_.executeQuery(text, parameterRow);
        recordset_ = std::move(kept);
        return succeeded(rc);
    }

  private:
    Statement& statement_;
    std::unique_ptr<Recordset>& recordset_;
};

}  // namespace

SQLRETURN Statement::positionedInsert(SQLULEN row) {
    const std::string table = extractTableName(sqlText_);
    if (table.empty()) {
        postState(kPositionedState, kNoBoundColumn);
        return SQL_ERROR;
    }
    BoundColumns columns;
    switch (collectBoundColumns(*currentArd_, *ird_, columns)) {
        case BoundResult::Calculated:
            postState(kPositionedState, kCalculatedColumn);
            return SQL_ERROR;
        case BoundResult::NoneBound:
            postState(kPositionedState, kNoBoundColumn);
            return SQL_ERROR;
        case BoundResult::Ok:
            break;
    }
    const std::vector<std::string> markers(columns.names.size(), "?");
    const std::string text = "insert into " + table + " (" + joined(columns.names, "") +
                             ") values (" + joined(markers, "") + ")";
    SQLUSMALLINT* status = ird_->getArrayStatusPtr();
    PositionedRun run(*this, recordset_);
    RowTally tally;
    const RowRange range = rowsFor(row, currentArd_->getArraySize());
    for (SQLULEN i = range.first; i < range.last; ++i) {
        std::string statementText = text;
        const bool ok = run.splice(statementText, columns, i) && run.execute(statementText, i);
        setStatus(status, i, ok ? SQL_ROW_ADDED : SQL_ROW_ERROR);
        tally.count(ok);
    }
    return tally.result(diagnostics_);
}

SQLRETURN Statement::positionedUpdate(SQLULEN row) {
    if (!serverCursor_ || recordset_ == nullptr) {
        // Without a server cursor there is no "current of" to update.
        postState("HYC00");
        return SQL_ERROR;
    }
    const std::string table = extractTableName(sqlText_);
    if (table.empty()) {
        postState(kPositionedState, kNoBoundColumn);
        return SQL_ERROR;
    }
    BoundColumns columns;
    switch (collectBoundColumns(*currentArd_, *ird_, columns)) {
        case BoundResult::Calculated:
            postState(kPositionedState, kCalculatedColumn);
            return SQL_ERROR;
        case BoundResult::NoneBound:
            postState(kPositionedState, kNoBoundColumn);
            return SQL_ERROR;
        case BoundResult::Ok:
            break;
    }
    const std::string text = "update " + table + " set " + joined(columns.names, "=?") +
                             " where current of " + cursorName();
    const SQLULEN loaded = static_cast<SQLULEN>(std::max<SQLLEN>(rowsetPosition_, 0));
    const RowRange range = rowsFor(row, std::min(loaded, currentArd_->getArraySize()));
    // The cursor stands on the last row loaded; step back to the first one.
    if (const SQLLEN back = rowsetPosition_ - static_cast<SQLLEN>(range.first) - 1; back > 0) {
        recordset_->fetchRelative(-back);
    }
    SQLUSMALLINT* status = ird_->getArrayStatusPtr();
    const SQLUSMALLINT* operations = currentArd_->getArrayStatusPtr();
    PositionedRun run(*this, recordset_);
    RowTally tally;
    for (SQLULEN i = range.first; i < range.last; ++i) {
        rowsetPosition_ = static_cast<SQLLEN>(i);
        if (operations == nullptr || operations[i] != SQL_ROW_IGNORE) {
            std::string statementText = text;
            const bool ok = run.splice(statementText, columns, i) && run.execute(statementText, 0);
            setStatus(status, i, ok ? SQL_ROW_UPDATED : SQL_ROW_ERROR);
            tally.count(ok);
        }
        // Ignored rows are stepped over too, so the cursor stays in line.
        recordset_->fetchNext();
    }
    return tally.result(diagnostics_);
}

SQLRETURN Statement::positionedDelete(SQLULEN row) {
    if (!serverCursor_ || recordset_ == nullptr) {
        postState("HYC00");
        return SQL_ERROR;
    }
    const std::string table = extractTableName(sqlText_);
    if (table.empty()) {
        postState(kPositionedState, kNoTableToDelete);
        return SQL_ERROR;
    }
    const std::string text = "delete from " + table + " where current of " + cursorName();
    const SQLULEN size = currentArd_->getArraySize();
    const SQLULEN loaded = static_cast<SQLULEN>(std::max<SQLLEN>(rowsetPosition_, 0));
    const RowRange range = rowsFor(row, std::min(loaded, size));
    if (const SQLLEN back = rowsetPosition_ - static_cast<SQLLEN>(range.first) - 1; back > 0) {
        recordset_->fetchRelative(-back);
    }
    ird_->clearRecords();
    rowsLoaded_ = 0;
    SQLUSMALLINT* status = ird_->getArrayStatusPtr();
    for (SQLULEN i = 0; status != nullptr && i < size; ++i) {
        status[i] = SQL_ROW_SUCCESS;
    }
    const SQLUSMALLINT* operations = currentArd_->getArrayStatusPtr();
    PositionedRun run(*this, recordset_);
    RowTally tally;
    for (SQLULEN i = range.first; i < range.last; ++i) {
        rowsetPosition_ = static_cast<SQLLEN>(i);
        if (operations == nullptr || operations[i] != SQL_ROW_IGNORE) {
            const bool ok = run.execute(text, 0);
            setStatus(status, i, ok ? SQL_ROW_DELETED : SQL_ROW_ERROR);
            tally.count(ok);
        }
        recordset_->fetchNext();
    }
    return tally.result(diagnostics_);
}
