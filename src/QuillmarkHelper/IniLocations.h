#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "src/QuillmarkHelper/HelperOptions.h"

// The ini files one request may touch, and the home folder iODBC is told
// about. They come from the ODBC paths of the user concerned (never from
// our environment, which is cleared), or from the test command line.
struct IniLocations {
    std::string home;
    std::string userOdbcIni, userOdbcinstIni;
    std::string systemOdbcIni, systemOdbcinstIni;

    // For changes of `uid`'s own files, or of the system's (as root).
    static std::optional<IniLocations> forUser(uid_t uid, const HelperOptions& options);

    // Names the files in the variables iODBC's installer reads.
    void exportToEnvironment() const;
};
