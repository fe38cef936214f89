#pragma once

#include <sql.h>

#include <string>
#include <vector>

// The drivers pane's rows: each installed driver and its "Driver" value.
class DriverSource {
  public:
    using Rows = std::vector<std::vector<std::string>>;  // name, library

    explicit DriverSource(const SQLHENV& henv) : henv_(henv) {}
    const Rows& load();
    const Rows& rows() const { return rows_; }

  private:
    const SQLHENV& henv_;
    Rows rows_;
};
