#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <memory>
#include <string>

#include "driver/core/Recordset.h"

// Scrolls a server-side cursor that the owning statement declared. It owns
// a second statement of the same connection, the fetch statement, through
// which it sends "open ", "fetch ... from " and "close " texts naming the
// owner's cursor; the server holds the position, so currentRow stays 0.
// Fetches return the fetch statement's result codes, whose diagnostics stay
// on the fetch statement. The name goes into the texts unquoted, so a name
// that is not a plain identifier is never sent: moves then fail with "34000".
class CursorRecordset : public Recordset {
  public:
    // The owner must already have a cursor name and a declared cursor.
    // Opens the cursor, reads the row count and describes the columns into
    // the owner's IRD, then reopens the cursor so that the first fetch
    // starts at the first row.
    explicit CursorRecordset(Statement* owner);
    // Drops and deletes the fetch statement.
    ~CursorRecordset() override;

    void clear() override {}
    SQLRETURN fetchNext() override;
    SQLRETURN fetchPrior() override;
    SQLRETURN fetchRelative(std::int64_t offset) override;
    SQLRETURN fetchAbsolute(std::int64_t row) override;
    SQLRETURN fetchFirst() override;
    SQLRETURN fetchLast() override;
    std::uint64_t currentRow() const override { return currentRow_; }
    // Publishes the fetch statement's last fetched row into entry
    // `rowsetIndex` of the owner's IRD arrays, whatever `retrieveData` says.
    SQLRETURN loadCurrentRow(std::uint64_t rowsetIndex, SQLUINTEGER retrieveData) override;

    // Copies the fetch statement's columns into the owner's IRD, once per
    // result, each with its own per-row arrays. SQL_ERROR with "HY001" on
    // the owner when memory runs out.
    virtual SQLRETURN describeColumns();

  private:
    SQLRETURN fetchWith(const std::string& text);

    std::unique_ptr<Statement> fetchStatement_;
};
