#include "pemberix/PgDriver.h"

#include <dlfcn.h>

#include <cstdlib>
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

PgDriver::PgDriver() {
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
    readProfile_ = reinterpret_cast<ProfileReader>(dlsym(library, "SQLGetPrivateProfileString"));
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
