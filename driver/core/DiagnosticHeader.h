#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <string_view>
#include <vector>

#include "driver/core/DiagnosticRecord.h"

class TraceSink;

// The diagnostics area of one handle. Records are kept in diagnostic order
// (index 0 is record 1); posting writes a "// diagnostic: " trace line
// through the owner when its trace is on. The owner is the handle's
// environment, not owned; it may be null, which means no trace and no
// vendor or product name.
class DiagnosticHeader {
  public:
    explicit DiagnosticHeader(TraceSink* owner);
    virtual ~DiagnosticHeader();

    DiagnosticHeader(const DiagnosticHeader&) = default;
    DiagnosticHeader& operator=(const DiagnosticHeader&) = default;

    // Inserts a record in front, so it becomes record 1.
    virtual void prependRecord(std::string_view state, SQLINTEGER native, std::string_view message,
                               SQLINTEGER column, SQLLEN row);
    // The same with C strings; a null pointer counts as "".
    void prependRecord(const char* state, SQLINTEGER native, const char* message, SQLINTEGER column,
                       SQLLEN row);
    virtual void appendRecord(std::string_view state, SQLINTEGER native, std::string_view message,
                              SQLINTEGER column, SQLLEN row);
    void appendRecord(const char* state, SQLINTEGER native, const char* message, SQLINTEGER column,
                      SQLLEN row);

    virtual void clear();
    virtual bool isEmpty() const;
    std::size_t recordCount() const { return records_.size(); }

    // SQLGetDiagRec with the owner's product name as component.
    virtual SQLRETURN getDiagRec(SQLINTEGER recNumber, SQLCHAR* stateOut, SQLINTEGER* nativeOut,
                                 SQLCHAR* messageOut, SQLSMALLINT bufferLength,
                                 SQLSMALLINT* textLengthOut) const;
    // SQLGetDiagRec: "[vendor][component] text"; SQL_NO_DATA for a record
    // number outside 1..count. A cut message still gives SQL_SUCCESS.
    virtual SQLRETURN getDiagRecWithComponent(std::string_view component, SQLINTEGER recNumber,
                                              SQLCHAR* stateOut, SQLINTEGER* nativeOut,
                                              SQLCHAR* messageOut, SQLSMALLINT bufferLength,
                                              SQLSMALLINT* textLengthOut) const;
    // SQLGetDiagField for record fields (recNumber >= 1) and header fields
    // (recNumber 0). Unknown identifiers write nothing.
    virtual SQLRETURN getDiagField(SQLSMALLINT recNumber, SQLSMALLINT diagIdentifier,
                                   SQLPOINTER diagInfo, SQLSMALLINT bufferLength,
                                   SQLSMALLINT* stringLengthOut) const;

    virtual SQLLEN getCursorRowCount() const;
    virtual SQLINTEGER getDynamicFunctionCode() const;
    virtual std::string getDynamicFunction() const;
    virtual SQLLEN getRowCount() const;

    // Takes a copy of other's records; the counters stay as they are.
    virtual void assign(const DiagnosticHeader& other);
    // Removes record recNumber (1-based); the others keep their order.
    // SQLError uses it to drop only the record it returned.
    void removeRecord(SQLINTEGER recNumber);
    // Appends copies of other's records from firstRecord on, without
    // tracing them again (they were traced when first posted).
    void appendRecordsFrom(const DiagnosticHeader& other, SQLINTEGER firstRecord = 1);

    TraceSink* owner() const { return owner_; }

  private:
    const DiagnosticRecord* recordAt(SQLINTEGER recNumber) const;
    void traceRecord(std::string_view state, SQLINTEGER native, std::string_view message) const;
    SQLRETURN getRecordField(const DiagnosticRecord& record, SQLSMALLINT diagIdentifier,
                             SQLPOINTER diagInfo, SQLSMALLINT bufferLength,
                             SQLSMALLINT* stringLengthOut) const;
    SQLRETURN getHeaderField(SQLSMALLINT diagIdentifier, SQLPOINTER diagInfo,
                             SQLSMALLINT bufferLength, SQLSMALLINT* stringLengthOut) const;

    TraceSink* owner_;
    std::vector<DiagnosticRecord> records_;
    SQLLEN cursorRowCount_ = 0;
    SQLINTEGER dynamicFunctionCode_ = 0;
    SQLLEN rowCount_ = 0;
};
