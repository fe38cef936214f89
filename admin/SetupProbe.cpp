#include "admin/SetupProbe.h"

#include <dlfcn.h>

#include <algorithm>

#include "admin/IniAccess.h"
#include "admin/OdbcListing.h"

namespace {

bool exportsConfigDsn(const std::string& library) {
    if (library.empty()) {
        return false;
    }
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        return false;
    }
    const bool found = dlsym(handle, "ConfigDSNW") != nullptr;
    dlclose(handle);
    return found;
}

}  // namespace

bool hasSetupEntry(SQLHENV henv, const std::string& driver) {
    const IniAccess both(IniAccess::Both);
    const auto listed = odbc_listing::drivers(henv);
    if (std::find(listed.begin(), listed.end(), driver) != listed.end() &&
        exportsConfigDsn(both.valueOr(driver, "Driver", "odbcinst.ini"))) {
        return true;
    }
    return exportsConfigDsn(both.valueOr(driver, "Setup", "odbcinst.ini"));
}
