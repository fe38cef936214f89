#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

class Statement;

// The row source behind a statement's result set. The statement moves it
// (next, prior, relative, absolute, first, last) and then has it publish
// the row it stands on into entry `rowsetIndex` of the per-row arrays of
// the statement's IRD records (text pointer, octet length, indicator).
//
// Rows are numbered from 1; current row 0 means before the first row. The
// base class supports no scrolling: relative, absolute, first and last
// answer SQL_ERROR without a diagnostic.
class Recordset {
  public:
    // `owner` is the statement served; it must outlive the recordset.
    explicit Recordset(Statement* owner) : owner_(owner) {}
    virtual ~Recordset() = default;

    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    virtual void clear() {}
    virtual SQLRETURN fetchNext() { return SQL_SUCCESS; }
    // fetchRelative(-1), so that a subclass with relative moves gets prior.
    virtual SQLRETURN fetchPrior() { return fetchRelative(-1); }
    virtual SQLRETURN fetchRelative(std::int64_t) { return SQL_ERROR; }
    virtual SQLRETURN fetchAbsolute(std::int64_t) { return SQL_ERROR; }
    virtual SQLRETURN fetchFirst() { return SQL_ERROR; }
    virtual SQLRETURN fetchLast() { return SQL_ERROR; }
    virtual std::uint64_t currentRow() const { return currentRow_; }
    // `retrieveData` is the statement's SQL_ATTR_RETRIEVE_DATA.
    virtual SQLRETURN loadCurrentRow(std::uint64_t, SQLUINTEGER) { return SQL_SUCCESS; }

    Statement* owner() const { return owner_; }

  protected:
    Statement* owner_;
    std::uint64_t currentRow_ = 0;
};
