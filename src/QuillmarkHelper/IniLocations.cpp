#include "src/QuillmarkHelper/IniLocations.h"

#include <stdlib.h>

#include "platform/OdbcPaths.h"

namespace {

void overrideWith(std::string& target, const std::string& replacement) {
    if (!replacement.empty()) {
        target = replacement;
    }
}

}  // namespace

std::optional<IniLocations> IniLocations::forUser(uid_t uid, const HelperOptions& options) {
    const std::optional<OdbcPaths> paths = OdbcPaths::forUser(uid);
    if (!paths) {
        return std::nullopt;
    }
    using Scope = OdbcPaths::Scope;
    IniLocations locations;
    locations.home = OdbcPaths::homeOf(uid).string();
    locations.userOdbcIni = paths->odbcIni(Scope::User).string();
    locations.userOdbcinstIni = paths->odbcinstIni(Scope::User).string();
    locations.systemOdbcIni = paths->odbcIni(Scope::System).string();
    locations.systemOdbcinstIni = paths->odbcinstIni(Scope::System).string();
    overrideWith(locations.userOdbcIni, options.userOdbcIni);
    overrideWith(locations.userOdbcinstIni, options.userOdbcinstIni);
    overrideWith(locations.systemOdbcIni, options.systemOdbcIni);
    overrideWith(locations.systemOdbcinstIni, options.systemOdbcinstIni);
    return locations;
}

void IniLocations::exportToEnvironment() const {
    setenv("HOME", home.c_str(), 1);
    setenv("ODBCINI", userOdbcIni.c_str(), 1);
    setenv("ODBCINSTINI", userOdbcinstIni.c_str(), 1);
    setenv("SYSODBCINI", systemOdbcIni.c_str(), 1);
    setenv("SYSODBCINSTINI", systemOdbcinstIni.c_str(), 1);
}
