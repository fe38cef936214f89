#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>

// One diagnostic record of a handle: what SQLGetDiagRec and SQLGetDiagField
// read back. Held by value in its DiagnosticHeader.
class DiagnosticRecord {
  public:
    DiagnosticRecord(std::string sqlstate, SQLINTEGER native, std::string messageText,
                     SQLINTEGER columnNumber, SQLLEN rowNumber);

    const std::string& getSqlstate() const { return sqlstate_; }
    SQLINTEGER getNative() const { return native_; }
    // The record's own message, which may be empty.
    const std::string& getMessageText() const { return messageText_; }
    SQLINTEGER getColumnNumber() const { return columnNumber_; }
    SQLLEN getRowNumber() const { return rowNumber_; }

    // "ODBC 3.0" for IM states, otherwise "ISO 9075".
    std::string getClassOrigin() const;
    // "ODBC 3.0" for the ODBC-defined states, otherwise "ISO 9075".
    std::string getSubclassOrigin() const;

  private:
    std::string sqlstate_;
    SQLINTEGER native_;
    std::string messageText_;
    SQLINTEGER columnNumber_;
    SQLLEN rowNumber_;
};
