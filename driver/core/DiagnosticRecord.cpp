#include "driver/core/DiagnosticRecord.h"

#include <utility>

#include "driver/core/SqlStateTable.h"

namespace {
constexpr const char* kOdbcOrigin = "ODBC 3.0";
constexpr const char* kIsoOrigin = "ISO 9075";
}  // namespace

DiagnosticRecord::DiagnosticRecord(std::string sqlstate, SQLINTEGER native, std::string messageText,
                                   SQLINTEGER columnNumber, SQLLEN rowNumber)
    : sqlstate_(std::move(sqlstate)),
      native_(native),
      messageText_(std::move(messageText)),
      columnNumber_(columnNumber),
      rowNumber_(rowNumber) {}

std::string DiagnosticRecord::getClassOrigin() const {
    return sqlstate_.starts_with("IM") ? kOdbcOrigin : kIsoOrigin;
}

std::string DiagnosticRecord::getSubclassOrigin() const {
    return isOdbcDefinedState(sqlstate_) ? kOdbcOrigin : kIsoOrigin;
}
