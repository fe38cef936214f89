#pragma once

#include <sys/types.h>

#include <optional>

#include "platform/OdbcPaths.h"
#include "src/QuillmarkHelper/HelperOptions.h"

// The ini files one request may touch: those of the user concerned (never
// from our environment, which is cleared), or those the test command line
// names.
struct IniLocations {
    // For changes of `uid`'s own files, or of the system's (as root).
    static std::optional<OdbcPaths> forUser(uid_t uid, const HelperOptions& options);
};
