#pragma once

#include <sql.h>

#include <string>
#include <vector>

#include "admin/PaneDialogs.h"
#include "admin/PrivilegedRequest.h"

// The drivers pane's rows: each installed driver and its "Driver" value;
// and its Remove.
class DriverSource {
  public:
    using Rows = std::vector<std::vector<std::string>>;  // name, library

    DriverSource(const SQLHENV& henv, PaneDialogs& dialogs, PrivilegedRequest::Sender sender);
    const Rows& load();
    const Rows& rows() const { return rows_; }

    // Asks first; answers whether the pane should be listed again.
    bool removeDriver(size_t row);

  private:
    const SQLHENV& henv_;
    PaneDialogs& dialogs_;
    PrivilegedRequest::Sender sender_;
    Rows rows_;
};
