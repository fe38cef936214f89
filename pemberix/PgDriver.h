#pragma once

#include "pemberix/PgEntryPoints.h"

#include <string>

namespace pemberix {

// The system's PostgreSQL ODBC driver, opened once per process and never
// closed; its entry points are resolved once into a typed table.
class PgDriver {
  public:
    static const PgDriver& instance();

    bool isLoaded() const { return loaded_; }
    const std::string& loadError() const { return loadError_; }
    const PgEntryPoints& entry() const { return entry_; }

    // The library opened: $PEMBERIX_POSTGRES_DRIVER when set in a test
    // build, else the path found at build time.
    static std::string libraryPath();

    // Whether a DSN's odbc.ini section holds a key, read as the driver reads
    // it (through the installer library the driver links); false when that
    // library cannot be reached.
    bool dsnHolds(const std::string& dsn, const char* key) const;

  private:
    using ProfileReader = int (*)(const char*, const char*, const char*, char*, int, const char*);

    PgDriver();

    ProfileReader readProfile_ = nullptr;

    PgEntryPoints entry_;
    std::string loadError_;
    bool loaded_ = false;
};

// The table of the loaded driver.
inline const PgEntryPoints& pg() {
    return PgDriver::instance().entry();
}

}  // namespace pemberix
