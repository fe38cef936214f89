#include "driver/core/CursorRecordset.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "driver/core/Connection.h"
#include "driver/core/Descriptor.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/Statement.h"
#include "driver/core/StringOutput.h"

namespace {

// A per-row array in the allocation scheme the IRD record releases with.
struct FreeBlock {
    void operator()(void* block) const { std::free(block); }
};
using RowArray = std::unique_ptr<void, FreeBlock>;

RowArray allocateRowArray(SQLULEN rows) {
    RowArray block(std::calloc(static_cast<std::size_t>(rows), 8));
    if (!block) {
        throw std::bad_alloc();
    }
    return block;
}

// The cursor name goes into SQL text unquoted; only a plain identifier may.
bool isPlainIdentifier(const std::string& name) {
    const auto isAsciiLetter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    };
    const auto isAsciiDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (name.empty() || !(isAsciiLetter(name[0]) || name[0] == '_')) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [&](char c) {
        return isAsciiLetter(c) || isAsciiDigit(c) || c == '_' || c == '$';
    });
}

}  // namespace

CursorRecordset::CursorRecordset(Statement* owner) : Recordset(owner) {
    Connection* connection = owner_->connection();
    fetchStatement_.reset(connection != nullptr ? connection->createStatement() : nullptr);
    const std::string name = owner_->cursorName();
    if (!fetchStatement_ || !isPlainIdentifier(name)) {
        return;
    }
    const std::string openText = "open " + name;
    fetchStatement_->getAttrImpRowDesc()->clearRecords();
    fetchStatement_->executeQuery(openText, 0);

    SQLLEN rows = 0;
    fetchStatement_->rowCount(&rows);
    owner_->setRowCount(rows);

    // Reading the first row describes the columns; reopening puts the
    // cursor back before it for the application's first fetch.
    CursorRecordset::fetchNext();
    fetchStatement_->executeQuery("close " + name, 0);
    fetchStatement_->executeQuery(openText, 0);
}

CursorRecordset::~CursorRecordset() {
    if (fetchStatement_) {
        fetchStatement_->freeStmt(SQL_DROP);
    }
}

SQLRETURN CursorRecordset::fetchNext() {
    return fetchWith("fetch next from " + owner_->cursorName());
}

SQLRETURN CursorRecordset::fetchPrior() {
    return fetchWith("fetch prior from " + owner_->cursorName());
}

SQLRETURN CursorRecordset::fetchRelative(std::int64_t offset) {
    return fetchWith("fetch relative " + toString(offset) + " from " + owner_->cursorName());
}

SQLRETURN CursorRecordset::fetchAbsolute(std::int64_t row) {
    return fetchWith("fetch absolute " + toString(row) + " from " + owner_->cursorName());
}

SQLRETURN CursorRecordset::fetchFirst() {
    return fetchWith("fetch first from " + owner_->cursorName());
}

SQLRETURN CursorRecordset::fetchLast() {
    return fetchWith("fetch last from " + owner_->cursorName());
}

SQLRETURN CursorRecordset::fetchWith(const std::string& text) {
    if (!fetchStatement_) {
        owner_->diagnostics().prependRecord("HY000", 0, "No statement to read the cursor with", -1,
                                            -1);
        return SQL_ERROR;
    }
    if (!isPlainIdentifier(owner_->cursorName())) {
        owner_->diagnostics().prependRecord("34000", 0, "", -1, -1);
        return SQL_ERROR;
    }
    fetchStatement_->getAttrImpRowDesc()->clearRecords();
    fetchStatement_->closeCursor();
    SQLRETURN rc = fetchStatement_->executeQuery(text, 0);
    if (SQL_SUCCEEDED(rc)) {
        describeColumns();
        rc = fetchStatement_->fetch();
    }
    return rc;
}

SQLRETURN CursorRecordset::loadCurrentRow(std::uint64_t rowsetIndex, SQLUINTEGER) {
    if (!fetchStatement_) {
        return SQL_SUCCESS;
    }
    Descriptor* ownerIrd = owner_->getAttrImpRowDesc();
    Descriptor* fetchIrd = fetchStatement_->getAttrImpRowDesc();
    if (rowsetIndex >= ownerIrd->getArraySize()) {
        return SQL_SUCCESS;
    }
    // The fetch statement fetches one row at a time, into entry 0.
    constexpr std::size_t source = 0;
    const SQLSMALLINT count = fetchIrd->getCount();
    for (SQLSMALLINT number = 1; number <= count; ++number) {
        const DescriptorRecord* from = fetchIrd->record(number);
        DescriptorRecord* to = ownerIrd->record(number);
        if (from == nullptr || to == nullptr) {
            continue;
        }
        const SQLLEN* fromIndicators = from->getIndicatorPtr();
        const auto* fromData = static_cast<const char* const*>(from->getDataPtr());
        const SQLLEN* fromLengths = from->getOctetLengthPtr();
        const bool isNull = fromIndicators != nullptr && fromIndicators[source] == SQL_NULL_DATA;

        auto* toData = static_cast<const char**>(to->getDataPtr());
        SQLLEN* toLengths = to->getOctetLengthPtr();
        SQLLEN* toIndicators = to->getIndicatorPtr();
        if (toData != nullptr) {
            toData[rowsetIndex] = isNull || fromData == nullptr ? nullptr : fromData[source];
        }
        if (toLengths != nullptr) {
            SQLLEN length = 0;
            if (!isNull && fromLengths != nullptr) {
                length = fromLengths[source];
            } else if (!isNull && fromData != nullptr && fromData[source] != nullptr) {
                length = static_cast<SQLLEN>(std::strlen(fromData[source]));
            }
            toLengths[rowsetIndex] = length;
        }
        if (toIndicators != nullptr) {
            toIndicators[rowsetIndex] = isNull ? SQL_NULL_DATA : 0;
        }
    }
    return SQL_SUCCESS;
}

SQLRETURN CursorRecordset::describeColumns() {
    if (!fetchStatement_) {
        return SQL_SUCCESS;
    }
    Descriptor* ownerIrd = owner_->getAttrImpRowDesc();
    Descriptor* fetchIrd = fetchStatement_->getAttrImpRowDesc();
    if (ownerIrd->getCount() != 0) {
        return SQL_SUCCESS;
    }
    const SQLSMALLINT count = fetchIrd->getCount();
    try {
        for (SQLSMALLINT number = 1; number <= count; ++number) {
            const DescriptorRecord* from = fetchIrd->record(number);
            if (from == nullptr) {
                ownerIrd->addRecord("", SQL_VARCHAR, SQL_NULLABLE_UNKNOWN, 0);
            } else {
                ownerIrd->addRecord(from->getName(), from->getType(), from->getNullable(),
                                    from->getUnsigned());
            }
            DescriptorRecord* to = ownerIrd->record(ownerIrd->getCount());
            if (to == nullptr) {
                break;
            }
            if (from != nullptr) {
                to->setLength(from->getLength());
                to->setPrecision(from->getPrecision());
            }
            // Each record gets room for at least the row the statement publishes.
            const SQLULEN rows = std::max<SQLULEN>(ownerIrd->getArraySize(), 1);
            RowArray indicators = allocateRowArray(rows);
            RowArray lengths = allocateRowArray(rows);
            RowArray data = allocateRowArray(rows);
            to->setIndicatorPtr(static_cast<SQLLEN*>(indicators.release()));
            to->setOctetLengthPtr(static_cast<SQLLEN*>(lengths.release()));
            to->setDataPtr(data.release());
        }
    } catch (const std::bad_alloc& error) {
        if (owner_->isTracing()) {
            owner_->writeTrace(std::string("// Exception: ") + error.what() + "\n");
        }
        owner_->diagnostics().prependRecord("HY001", 0, "", -1, -1);
        return SQL_ERROR;
    }
    return SQL_SUCCESS;
}
