#pragma once

#include "pemberix/PgEntryPoints.h"

#include <string>

namespace pemberix {

// SQLGetPrivateProfileString of an installer library.
using ProfileReader = int (*)(const char*, const char*, const char*, char*, int, const char*);

// The system's PostgreSQL ODBC driver, opened once per process and never
// closed; its entry points are resolved once into a typed table.
//
// The driver reads its driver-wide Debug and Logdir settings from its
// odbcinst.ini section when it is loaded, before any connection text can
// reach it, through the installer library it links, which follows the
// process's environment (ODBCSYSINI, ODBCINSTINI, HOME). In a process
// running as root those settings are read first, the same way, and the
// driver is not loaded while Debug is on or Logdir is set, nor while a
// file that holds them, or could, is not root's alone (read, then swapped
// before the driver reads it): `refusal` says why, and this layer answers
// with handles of its own (RefusedDriver) so that the connect calls can
// say it.
class PgDriver {
  public:
    static const PgDriver& instance();

    bool isLoaded() const { return loaded_; }
    // Why the driver was not loaded as root, or, in a process running as
    // root now, why it was loaded unchecked (while another user ran it):
    // it read its settings then, as that user found them. Empty when it
    // may connect.
    std::string refusal() const;
    const std::string& loadError() const { return loadError_; }
    const PgEntryPoints& entry() const { return entry_; }

    // The library opened: $PEMBERIX_POSTGRES_DRIVER when set in a test
    // build, else the path found at build time.
    static std::string libraryPath();

    // Whether a DSN's odbc.ini section holds a key, read as the driver reads
    // it (through the installer library its own calls reach); false when
    // that library cannot be reached.
    bool dsnHolds(const std::string& dsn, const char* key) const;

  private:
    PgDriver();

    ProfileReader readProfile_ = nullptr;

    PgEntryPoints entry_;
    std::string loadError_;
    std::string refusal_;
    bool checkedForRoot_ = false;
    bool loaded_ = false;
};

// The table of the loaded driver.
inline const PgEntryPoints& pg() {
    return PgDriver::instance().entry();
}

}  // namespace pemberix
