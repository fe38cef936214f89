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
    explicit Recordset(Statement* owner);
    virtual ~Recordset();

    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    virtual void clear();
    // Stays where it is.
    virtual SQLRETURN fetchNext();
    // fetchRelative(-1), so that a subclass with relative moves gets prior.
    virtual SQLRETURN fetchPrior();
    virtual SQLRETURN fetchRelative(std::int64_t offset);
    virtual SQLRETURN fetchAbsolute(std::int64_t row);
    virtual SQLRETURN fetchFirst();
    virtual SQLRETURN fetchLast();
    virtual std::uint64_t currentRow() const;
    // `retrieveData` is the statement's SQL_ATTR_RETRIEVE_DATA.
    // The base publishes nothing.
    virtual SQLRETURN loadCurrentRow(std::uint64_t rowsetIndex, SQLUINTEGER retrieveData);

    Statement* owner() const { return owner_; }

  protected:
    Statement* owner_;
    std::uint64_t currentRow_ = 0;
};
