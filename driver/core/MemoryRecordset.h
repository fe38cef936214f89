#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/core/Recordset.h"

// Rows made by the driver itself (catalog answers, type information,
// locally answered statements), held as rows of optional text cells: an
// absent cell is SQL NULL. Cell 0 of every row is the bookmark cell (the
// row's 1-based number), cell k result column k.
//
// A builder describes the IRD columns first, then appends rows and sets
// their cells. Published text pointers point into the cells themselves and
// stay valid until the recordset is cleared or destroyed, whatever is
// appended in between.
class MemoryRecordset : public Recordset {
  public:
    explicit MemoryRecordset(Statement* owner);
    ~MemoryRecordset() override;

    void clear() override;
    SQLRETURN fetchNext() override;
    SQLRETURN fetchRelative(std::int64_t offset) override;
    SQLRETURN fetchAbsolute(std::int64_t row) override;
    SQLRETURN fetchFirst() override;
    SQLRETURN fetchLast() override;
    std::uint64_t currentRow() const override { return currentRow_; }
    // With SQL_RD_ON writes cell k of the current row into entry
    // `rowsetIndex` of IRD record k's arrays; a missing cell reads as NULL.
    // Writes nothing off the rows or past the IRD's array size.
    SQLRETURN loadCurrentRow(std::uint64_t rowsetIndex, SQLUINTEGER retrieveData) override;

    // Adds a row of (IRD count + 1) cells: cell 0 its number, the others NULL.
    virtual SQLRETURN appendRow();
    // Sets a cell of the last row; an absent value makes it NULL. A column
    // beyond the row's cells extends the row; a negative column, or a call
    // before any row, is ignored.
    virtual void setTextCell(int column, const std::optional<std::string>& value);
    // Numbers in plain decimal, whatever the process locale.
    virtual void setIntCell(SQLSMALLINT column, std::optional<SQLINTEGER> value);
    virtual void setShortCell(SQLSMALLINT column, std::optional<SQLSMALLINT> value);
    // Six significant digits, fixed or scientific as the stream default.
    virtual void setDoubleCell(SQLSMALLINT column, std::optional<double> value);
    virtual void setCharCell(SQLSMALLINT column, std::optional<char> value);

    std::size_t rowCount() const { return rows_.size(); }

  private:
    // Each text sits in a block of its own, so growing the rows never
    // moves a text that was published.
    using Cell = std::unique_ptr<const std::string>;
    using Row = std::vector<Cell>;

    std::vector<Row> rows_;
};
