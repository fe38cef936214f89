#include "driver/core/MemoryRecordset.h"

#include "driver/core/Descriptor.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/Statement.h"
#include "driver/core/StringOutput.h"

namespace {

// Where one published value goes in an IRD record's per-row arrays.
void publish(DescriptorRecord& record, std::uint64_t index, const std::string* text) {
    auto* data = static_cast<const char**>(record.getDataPtr());
    SQLLEN* lengths = record.getOctetLengthPtr();
    SQLLEN* indicators = record.getIndicatorPtr();
    if (data != nullptr) {
        data[index] = text != nullptr ? text->c_str() : nullptr;
    }
    if (lengths != nullptr) {
        lengths[index] = text != nullptr ? static_cast<SQLLEN>(text->size()) : 0;
    }
    if (indicators != nullptr) {
        indicators[index] = text != nullptr ? 0 : SQL_NULL_DATA;
    }
}

Descriptor* implementationRowDescriptor(Statement* owner) {
    return owner != nullptr ? owner->getAttrImpRowDesc() : nullptr;
}

}  // namespace

MemoryRecordset::MemoryRecordset(Statement* owner) : Recordset(owner) {}

MemoryRecordset::~MemoryRecordset() {
    MemoryRecordset::clear();
}

void MemoryRecordset::clear() {
    rows_.clear();
    currentRow_ = 0;
}

// --- Navigation ---------------------------------------------------------------

SQLRETURN MemoryRecordset::fetchNext() {
    const std::uint64_t count = rows_.size();
    if (currentRow_ > count) {
        return SQL_NO_DATA;
    }
    ++currentRow_;
    return currentRow_ > count ? SQL_NO_DATA : SQL_SUCCESS;
}

SQLRETURN MemoryRecordset::fetchRelative(std::int64_t offset) {
    const auto count = static_cast<std::int64_t>(rows_.size());
    const auto current = static_cast<std::int64_t>(currentRow_);
    // Compare before adding so that an extreme offset cannot overflow.
    if (offset <= -current) {
        currentRow_ = 0;
        return SQL_NO_DATA;
    }
    if (offset > count - current) {
        currentRow_ = static_cast<std::uint64_t>(count);
        return SQL_NO_DATA;
    }
    currentRow_ = static_cast<std::uint64_t>(current + offset);
    return SQL_SUCCESS;
}

SQLRETURN MemoryRecordset::fetchAbsolute(std::int64_t row) {
    const auto count = static_cast<std::int64_t>(rows_.size());
    if (row < 1) {
        currentRow_ = 0;
        return SQL_NO_DATA;
    }
    if (row > count) {
        currentRow_ = static_cast<std::uint64_t>(count);
        return SQL_NO_DATA;
    }
    currentRow_ = static_cast<std::uint64_t>(row);
    return SQL_SUCCESS;
}

SQLRETURN MemoryRecordset::fetchFirst() {
    currentRow_ = 1;
    return rows_.empty() ? SQL_NO_DATA : SQL_SUCCESS;
}

SQLRETURN MemoryRecordset::fetchLast() {
    currentRow_ = rows_.size();
    return rows_.empty() ? SQL_NO_DATA : SQL_SUCCESS;
}

// --- Publishing -------------------------------------------------------------

SQLRETURN MemoryRecordset::loadCurrentRow(std::uint64_t rowsetIndex, SQLUINTEGER retrieveData) {
    Descriptor* ird = implementationRowDescriptor(owner_);
    if (ird == nullptr || rows_.empty() || rowsetIndex >= ird->getArraySize()) {
        return SQL_SUCCESS;
    }
    // Only a row the recordset stands on is published.
    if (currentRow_ < 1 || currentRow_ > rows_.size() || retrieveData != SQL_RD_ON) {
        return SQL_SUCCESS;
    }
    const Row& row = rows_[currentRow_ - 1];
    const SQLSMALLINT count = ird->getCount();
    for (SQLSMALLINT number = 0; number <= count; ++number) {
        DescriptorRecord* record = ird->record(number);
        if (record == nullptr) {
            continue;
        }
        const auto cell = static_cast<std::size_t>(number);
        publish(*record, rowsetIndex, cell < row.size() ? row[cell].get() : nullptr);
    }
    return SQL_SUCCESS;
}

// --- Building -----------------------------------------------------------------

SQLRETURN MemoryRecordset::appendRow() {
    Descriptor* ird = implementationRowDescriptor(owner_);
    const std::size_t columns = ird != nullptr ? static_cast<std::size_t>(ird->getCount()) : 0;
    Row row(columns + 1);
    row[0] = std::make_unique<const std::string>(toString(std::uint64_t{rows_.size() + 1}));
    rows_.push_back(std::move(row));
    return SQL_SUCCESS;
}

void MemoryRecordset::setTextCell(int column, const std::optional<std::string>& value) {
    if (rows_.empty() || column < 0) {
        return;
    }
    Row& row = rows_.back();
    const auto cell = static_cast<std::size_t>(column);
    if (cell >= row.size()) {
        row.resize(cell + 1);
    }
    row[cell] = value ? std::make_unique<const std::string>(*value) : nullptr;
}

void MemoryRecordset::setIntCell(SQLSMALLINT column, std::optional<SQLINTEGER> value) {
    setTextCell(column, value ? std::optional<std::string>(toString(*value)) : std::nullopt);
}

void MemoryRecordset::setShortCell(SQLSMALLINT column, std::optional<SQLSMALLINT> value) {
    setTextCell(column, value ? std::optional<std::string>(toString(*value)) : std::nullopt);
}

void MemoryRecordset::setDoubleCell(SQLSMALLINT column, std::optional<double> value) {
    setTextCell(column, value ? std::optional<std::string>(toString(*value)) : std::nullopt);
}

void MemoryRecordset::setCharCell(SQLSMALLINT column, std::optional<char> value) {
    setTextCell(column, value ? std::optional<std::string>(toString(*value)) : std::nullopt);
}
