#pragma once

#include <sql.h>

#include <array>
#include <cstddef>
#include <string>

#include "driver/adapter/ConnectionKeys.h"

// The options of one connect, read once and shared by the MySQL face and the
// repeater connection beneath it: the connection text is split once and the
// data source's section read in one pass.
class ConnectionOptions {
  public:
    // The key's name as written in connection text and odbc.ini.
    static const SQLWCHAR* keyName(ConnectionKey key);

    // SQLConnect: every key from the data source `dsn`.
    static ConnectionOptions fromDsn(const std::string& dsn);
    // SQLDriverConnect: keys from the normalised connection text, gaps filled
    // from the data source the text names.
    static ConnectionOptions fromText(const std::string& text);

    // The normalised connection text; empty for SQLConnect.
    const std::string& text() const { return text_; }
    // The value as this connect's path takes it (see connection_keys::kRows).
    const std::string& value(ConnectionKey key) const;
    // The value the text gave, and the one the data source gave.
    const std::string& textValue(ConnectionKey key) const { return textValues_[index(key)]; }
    const std::string& dsnValue(ConnectionKey key) const { return dsnValues_[index(key)]; }

  private:
    using Values = std::array<std::string, kConnectionKeyCount>;

    static std::size_t index(ConnectionKey key) { return static_cast<std::size_t>(key); }
    void readDsn(const std::string& dsn);

    bool fromText_ = false;
    std::string text_;
    Values textValues_;
    Values dsnValues_;
};
