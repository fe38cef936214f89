#pragma once

#include <sql.h>
#include <sqlext.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pemberix {

// One diagnostic record as an application reads it.
struct OverlayRecord {
    std::string sqlState;
    SQLINTEGER nativeError = 0;
    std::string text;       // as the narrow functions give it
    std::wstring wideText;  // as the wide functions give it
    SQLLEN rowNumber = SQL_NO_ROW_NUMBER;
    SQLINTEGER columnNumber = SQL_NO_COLUMN_NUMBER;
    std::string classOrigin;
    std::string subclassOrigin;
    std::string connectionName;
    std::string serverName;
};

// The diagnostics of one handle when this layer made calls of its own or
// has records to add: while active, the application reads these records in
// place of the PostgreSQL driver's (which then belong to calls it did not
// make). Each new call on the handle clears it.
class DiagnosticOverlay {
  public:
    bool isActive() const;
    void clear();
    // Starts answering from `records` (the driver's, copied) unless active.
    void activate(std::vector<OverlayRecord> records);
    void append(OverlayRecord record);

    SQLINTEGER count() const;
    std::optional<OverlayRecord> record(SQLSMALLINT number) const;
    // What the call that produced these records returned, as far as the
    // records tell: an error state means SQL_ERROR, warnings alone
    // SQL_SUCCESS_WITH_INFO.
    SQLRETURN returnCode() const;

  private:
    mutable std::mutex mutex_;
    bool active_ = false;
    std::vector<OverlayRecord> records_;
};

}  // namespace pemberix
