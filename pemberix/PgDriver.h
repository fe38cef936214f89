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

  private:
    PgDriver();

    PgEntryPoints entry_;
    std::string loadError_;
    bool loaded_ = false;
};

// The table of the loaded driver.
inline const PgEntryPoints& pg() {
    return PgDriver::instance().entry();
}

}  // namespace pemberix
