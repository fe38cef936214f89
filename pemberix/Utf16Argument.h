#pragma once

#include "pemberix/PgEntryPoints.h"

#include <optional>
#include <string>

namespace pemberix {

// A text argument of a wide function, converted for the PostgreSQL driver.
// The length keeps its meaning: SQL_NTS stays SQL_NTS (the copy is
// terminated), a count of characters becomes a count of UTF-16 units, and
// any other negative value is passed on for the driver to refuse.
class Utf16Argument {
  public:
    Utf16Argument(const SQLWCHAR* text, SQLLEN length);

    PgWideChar* data() { return isNull_ ? nullptr : text_.data(); }
    SQLLEN length() const { return length_; }

    // The length in a narrower argument type; nothing when it does not fit
    // (a text that doubled in UTF-16 beyond 32767 units).
    std::optional<SQLSMALLINT> smallLength() const;
    std::optional<SQLINTEGER> integerLength() const;
    // The length in bytes, for arguments counted in bytes.
    SQLLEN byteLength() const;

  private:
    std::u16string text_;
    SQLLEN length_ = SQL_NTS;
    bool isNull_ = false;
};

}  // namespace pemberix
