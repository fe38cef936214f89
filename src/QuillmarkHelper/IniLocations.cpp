#include "src/QuillmarkHelper/IniLocations.h"

#include <pwd.h>
#include <stdlib.h>

#include <vector>

namespace {

void overrideWith(std::string& target, const std::string& replacement) {
    if (!replacement.empty()) {
        target = replacement;
    }
}

}  // namespace

std::optional<IniLocations> IniLocations::forUser(uid_t uid, const HelperOptions& options) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr || found->pw_dir[0] != '/') {
        return std::nullopt;
    }
    IniLocations locations;
    locations.home = found->pw_dir;
    // FIXME(paths): from OdbcPaths once it lands.
    locations.userOdbcIni = locations.home + "/.odbc.ini";
    locations.userOdbcinstIni = locations.home + "/.odbcinst.ini";
    locations.systemOdbcIni = "/etc/odbc.ini";
    locations.systemOdbcinstIni = "/etc/odbcinst.ini";
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
