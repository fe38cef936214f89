#include "pemberix/PgDriver.h"

#include "pemberix/RefusedDriver.h"
#include "pemberix/SettingsFiles.h"
#include "platform/TrustedPath.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <type_traits>

#ifndef PEMBERIX_PG_DRIVER_PATH
#define PEMBERIX_PG_DRIVER_PATH "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so"
#endif

namespace pemberix {
namespace {

struct EntryRow {
    const char* name;
    void (*store)(PgEntryPoints& table, void* symbol);
};

template <auto Member>
void storeSymbol(PgEntryPoints& table, void* symbol) {
    using Pointer = std::remove_reference_t<decltype(table.*Member)>;
    table.*Member = reinterpret_cast<Pointer>(symbol);
}

#define PEMBERIX_PG_ROW(name) EntryRow{#name, &storeSymbol<&PgEntryPoints::name>},
const EntryRow kEntryRows[] = {
    PEMBERIX_PG_ENTRY_POINTS(PEMBERIX_PG_ROW)  //
    EntryRow{"SQLSetPos", &storeSymbol<&PgEntryPoints::SQLSetPos>},
};
#undef PEMBERIX_PG_ROW

// The installer library the driver links, and the section of odbcinst.ini
// it reads its driver-wide settings from when it is loaded.
constexpr const char* kDriverInstaller = "libodbcinst.so.2";
constexpr const char* kDriverSection = "PostgreSQL Unicode";

// The reader the driver's own calls will reach: the process's global scope
// comes first (a host that linked an installer library), then the
// driver's dependencies. Opened here, the installer stays for the driver.
ProfileReader driversProfileReader() {
    if (void* global = dlsym(RTLD_DEFAULT, "SQLGetPrivateProfileString")) {
        return reinterpret_cast<ProfileReader>(global);
    }
    void* installer = dlopen(kDriverInstaller, RTLD_LAZY | RTLD_LOCAL);
    return installer != nullptr
               ? reinterpret_cast<ProfileReader>(dlsym(installer, "SQLGetPrivateProfileString"))
               : nullptr;
}

std::string driverSetting(ProfileReader read, const char* key) {
    char value[512] = {};
    const int length = read(kDriverSection, key, "", value, sizeof value, "odbcinst.ini");
    return length > 0 ? std::string(value, strnlen(value, sizeof value)) : std::string();
}

// Why a process running as root must not load the driver; empty when it
// may. The driver reads Debug as a number; any but zero counts as on.
std::string rootRefusal() {
    const ProfileReader read = driversProfileReader();
    const std::string prefix =
        "pemberix.so does not load the PostgreSQL driver in a process running as root ";
    if (read == nullptr) {
        return prefix + "when it cannot read that driver's settings (" + kDriverInstaller + ")";
    }
    if (TrustedPath::keepsRootRules()) {
        if (const std::string file = SettingsFiles::untrusted(read); !file.empty()) {
            return prefix + "while others than root could change its odbcinst.ini settings ([" +
                   kDriverSection +
                   "], which it reads as it is loaded, as its installer library finds them "
                   "with this process's environment): " +
                   file + ". Run the program with root's own environment (sudo without -E).";
        }
    }
    const std::string where = prefix + "while its odbcinst.ini section [" + kDriverSection +
                              "] (as that driver reads it, with this process's environment) ";
    if (std::strtol(driverSetting(read, "Debug").c_str(), nullptr, 10) != 0) {
        return where +
               "turns Debug on: the driver would write its log, the password among the lines, "
               "as soon as it is loaded. Turn Debug off there (Debug = 0).";
    }
    if (!driverSetting(read, "Logdir").empty()) {
        return where +
               "sets Logdir: the driver would write its logs where Logdir points. "
               "Remove Logdir there.";
    }
    return {};
}

}  // namespace

const PgDriver& PgDriver::instance() {
    static const PgDriver driver;
    return driver;
}

std::string PgDriver::libraryPath() {
#ifdef MORVANEX_TEST_HOOKS
    const char* configured = ::secure_getenv("PEMBERIX_POSTGRES_DRIVER");
    if (configured != nullptr && *configured != '\0') {
        return configured;
    }
#endif
    return PEMBERIX_PG_DRIVER_PATH;
}

std::string PgDriver::refusal() const {
    if (!refusal_.empty() || checkedForRoot_ || geteuid() != 0) {
        return refusal_;
    }
    return "pemberix.so loaded the PostgreSQL driver while this process ran as another user "
           "than root, with the settings that user's environment named, unchecked: it does not "
           "connect through it as root. Connect first as root.";
}

PgDriver::PgDriver() {
    if (geteuid() == 0) {
        checkedForRoot_ = true;
        refusal_ = rootRefusal();
        if (!refusal_.empty()) {
            entry_ = refusedDriverEntryPoints();
            loaded_ = true;
            return;
        }
    }
    const std::string path = libraryPath();
    void* library = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        loadError_ = reason != nullptr ? reason : "cannot open " + path;
        return;
    }
    for (const EntryRow& row : kEntryRows) {
        row.store(entry_, dlsym(library, row.name));
    }
    readProfile_ = driversProfileReader();
    loaded_ = entry_.SQLAllocHandle != nullptr;
    if (!loaded_) {
        loadError_ = path + " is not an ODBC 3 driver";
    }
}

bool PgDriver::dsnHolds(const std::string& dsn, const char* key) const {
    char value[256] = {};
    return readProfile_ != nullptr &&
           readProfile_(dsn.c_str(), key, "", value, sizeof value, "odbc.ini") > 0;
}

}  // namespace pemberix
