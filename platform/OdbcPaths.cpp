#include "platform/OdbcPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUserOdbcIniName = ".odbc.ini";
constexpr const char* kUserOdbcinstIniName = ".odbcinst.ini";
constexpr const char* kSystemOdbcIni = "/etc/odbc.ini";
constexpr const char* kSystemOdbcinstIni = "/etc/odbcinst.ini";
constexpr const char* kDriverFolder = "/usr/lib/x86_64-linux-gnu/odbc";
constexpr size_t kLongestReadablePath = 1023;

// An unset or empty variable counts as absent, as it does for iODBC.
std::optional<fs::path> variable(const char* name) {
    const char* value = ::secure_getenv(name);
    if (value == nullptr || value[0] == '\0') {
        return std::nullopt;
    }
    return fs::path(value);
}

}  // namespace

fs::path OdbcPaths::homeOf(uid_t uid) {
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int status = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (status == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0 || found == nullptr || found->pw_dir == nullptr ||
            found->pw_dir[0] == '\0') {
            return {};
        }
        return found->pw_dir;
    }
}

fs::path OdbcPaths::currentHome() {
    if (std::optional<fs::path> home = variable("HOME")) {
        return *home;
    }
    return homeOf(geteuid());
}

OdbcPaths OdbcPaths::forHome(const fs::path& home) {
    OdbcPaths paths;
    paths.userOdbcIni_ = home / kUserOdbcIniName;
    paths.userOdbcinstIni_ = home / kUserOdbcinstIniName;
    paths.systemOdbcIni_ = variable("SYSODBCINI").value_or(kSystemOdbcIni);
    paths.systemOdbcinstIni_ = variable("SYSODBCINSTINI").value_or(kSystemOdbcinstIni);
    return paths;
}

std::optional<OdbcPaths> OdbcPaths::forUser(uid_t uid) {
    const fs::path home = homeOf(uid);
    if (home.empty()) {
        return std::nullopt;
    }
    return forHome(home);
}

OdbcPaths OdbcPaths::current() {
    OdbcPaths paths = forHome(currentHome());
    if (std::optional<fs::path> ini = variable("ODBCINI")) {
        paths.nameOdbcIni(Scope::User, *ini);
    }
    if (std::optional<fs::path> ini = variable("ODBCINSTINI")) {
        paths.nameOdbcinstIni(Scope::User, *ini);
    }
    return paths;
}

void OdbcPaths::nameOdbcIni(Scope scope, const fs::path& path) {
    (scope == Scope::User ? userOdbcIni_ : systemOdbcIni_) = path;
    userOdbcIniNamed_ = userOdbcIniNamed_ || scope == Scope::User;
}

void OdbcPaths::nameOdbcinstIni(Scope scope, const fs::path& path) {
    (scope == Scope::User ? userOdbcinstIni_ : systemOdbcinstIni_) = path;
    userOdbcinstIniNamed_ = userOdbcinstIniNamed_ || scope == Scope::User;
}

fs::path OdbcPaths::odbcIni(Scope scope) const {
    return scope == Scope::User ? userOdbcIni_ : systemOdbcIni_;
}

fs::path OdbcPaths::odbcinstIni(Scope scope) const {
    return scope == Scope::User ? userOdbcinstIni_ : systemOdbcinstIni_;
}

fs::path OdbcPaths::odbcIniFolder(Scope scope) const {
    return odbcIni(scope).parent_path();
}

fs::path OdbcPaths::odbcinstIniFolder(Scope scope) const {
    return odbcinstIni(scope).parent_path();
}

bool OdbcPaths::isDefaultUserFile(const fs::path& path) const {
    return (!userOdbcIniNamed_ && path == userOdbcIni_) ||
           (!userOdbcinstIniNamed_ && path == userOdbcinstIni_);
}

std::string OdbcPaths::unreadable(const fs::path& path) {
    const size_t length = path.native().size();
    if (length <= kLongestReadablePath) {
        return {};
    }
    return "the path " + path.native().substr(0, 48) + "... is " + std::to_string(length) +
           " bytes long: the driver manager reads no ini file whose path is longer than " +
           std::to_string(kLongestReadablePath) + " bytes";
}

fs::path OdbcPaths::driverFolder() {
    return kDriverFolder;
}
