#include "src/QuillmarkHelper/IniLocations.h"

std::optional<OdbcPaths> IniLocations::forUser(uid_t uid, const HelperOptions& options) {
    std::optional<OdbcPaths> paths = OdbcPaths::forUser(uid);
    if (!paths) {
        return std::nullopt;
    }
    using Scope = OdbcPaths::Scope;
    const struct {
        const std::string& path;
        Scope scope;
        bool inst;
    } overrides[] = {{options.userOdbcIni, Scope::User, false},
                     {options.userOdbcinstIni, Scope::User, true},
                     {options.systemOdbcIni, Scope::System, false},
                     {options.systemOdbcinstIni, Scope::System, true}};
    for (const auto& named : overrides) {
        if (!named.path.empty()) {
            named.inst ? paths->nameOdbcinstIni(named.scope, named.path)
                       : paths->nameOdbcIni(named.scope, named.path);
        }
    }
    return paths;
}
