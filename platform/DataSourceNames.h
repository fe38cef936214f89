#pragma once

#include <odbcinst.h>

#include <string>
#include <string_view>
#include <vector>

// The data sources one scope's odbc.ini holds, as every question "is this
// already a data source name?" and Quillmark's lists see them: a key of
// [ODBC Data Sources] (what the driver manager lists), or a section of that
// name holding keys (the driver manager connects to it all the same, and
// a new DSN written there would take its keys on). Names compare ignoring
// ASCII case, as the ini reader matches them. `mode` is ODBC_USER_DSN or
// ODBC_SYSTEM_DSN.
class DataSourceNames {
  public:
    static bool holds(std::string_view name, UWORD mode);
    // The sections holding keys that [ODBC Data Sources] does not name, in
    // file order; the driver manager's own sections are never among them.
    static std::vector<std::string> unlisted(UWORD mode);
};
