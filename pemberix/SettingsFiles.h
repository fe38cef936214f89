#pragma once

#include "pemberix/PgDriver.h"

#include <string>

namespace pemberix {

// The files an installer library may take the PostgreSQL driver's
// odbcinst.ini settings from, as that library finds them with this
// process's environment: unixODBC's says so itself; iODBC's, which names
// none, reads the first it can of $ODBCINSTINI and ~/.odbcinst.ini, then
// of $SYSODBCINSTINI and /etc/odbcinst.ini.
class SettingsFiles {
  public:
    // Why one of them could be changed, or made, by others than root (who
    // could then swap it between a check and the driver's own reading);
    // empty when every one is root's alone.
    static std::string untrusted(ProfileReader read);
};

}  // namespace pemberix
