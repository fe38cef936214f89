#pragma once

#include <cstddef>
#include <string>

#include "authentication/src/IniPlan.h"
#include "platform/OdbcPaths.h"

// What the files hold of a plan whose writer ended without saying how it
// went (killed, crashed or stopped at its bound): each name's last word in
// the plan, read back from the files as the driver manager reads them
// (IniFile). A file that cannot be read holds none of it.
class IniPlanReadBack {
  public:
    enum class Held { All, None, Part };

    struct Found {
        size_t present = 0;  // the planned entries the files hold
        size_t planned = 0;
        size_t unreadable = 0;  // files that could not be read

        // What the change came to, against the files before it: All when
        // they hold every entry, None when no more than before.
        Held heldSince(const Found& before) const;
        // For the log: counts, never a name of the request.
        std::string describe() const;
    };

    static Found inFiles(const IniPlan& plan, const OdbcPaths& paths);
};
