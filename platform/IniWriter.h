#pragma once

#include <sql.h>
#include <sqlext.h>
#include <odbcinst.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/IniFile.h"
#include "platform/LockedIniFile.h"
#include "platform/OdbcPaths.h"

// The installer's write operations, done on our own ini documents rather
// than by the installer library, whose writer corrupts its heap on large
// files. Files resolve as the library resolves them for a configuration
// mode: user mode and "both" write the user's files, system mode the
// system's; a file argument naming "odbc.ini" or "odbcinst.ini" means that
// file of the mode, any other text is a path.
//
// One writer is one transaction: a file is locked and read when an
// operation first edits it and stays locked; edits collect in memory, and
// commit() replaces each changed file once, after every one of them was
// written aside (one after another, not as one atomic step). A file that
// does not exist is refused, except the user's own files at their default
// place, which are created. After a refused operation the writer commits
// nothing.
class IniWriter {
  public:
    struct Failure {
        DWORD code = 0;  // an ODBC_ERROR_* installer code
        std::string message;
    };

    IniWriter(UWORD mode, OdbcPaths paths);

    // The configuration mode of the operations that follow.
    void setMode(UWORD mode) { mode_ = mode; }

    // A null key removes the section, a null value the key.
    bool writePrivateProfileString(const char* section, const char* key, const char* value,
                                   const char* file);
    // Lists the DSN under [ODBC Data Sources] and gives it a fresh section
    // whose Driver is the driver's library, from the user's odbcinst.ini,
    // else the system's (or only the scope of takeLibrariesFrom()); or
    // `library` as given, checked by the caller.
    bool writeDSNToIni(const char* dsn, const char* driver);
    bool writeDSNToIni(const char* dsn, const char* driver, const std::string& library);
    // Drivers' libraries come from this scope's odbcinst.ini only.
    void takeLibrariesFrom(OdbcPaths::Scope scope) { libraryScope_ = scope; }
    bool removeDSNFromIni(const char* dsn);
    // The driver's section and [ODBC Drivers] line; with removeDsns also
    // every DSN of odbc.ini listed with that driver, in one pass.
    bool removeDriver(const char* driver, bool removeDsns);

    // The driver a DSN is listed with in the mode's odbc.ini, as edited so
    // far; nothing when it is not listed.
    std::optional<std::string> registeredDriver(const std::string& dsn);

    // The file a file argument names in a scope; nothing for a mode that
    // does not exist.
    std::optional<std::filesystem::path> pathFor(const char* file, OdbcPaths::Scope scope) const;
    // The edited document of a file, when this writer changed it.
    const IniFile* pending(const std::filesystem::path& path) const;

    // Prepares every changed file (its new text written aside and synced),
    // then installs them one after another; then lets go of every file. A
    // file that cannot be prepared fails the commit before any file
    // changes; a failure while installing leaves the files installed
    // before it changed (its reason names them) and the others as they
    // were. `beforeInstall` runs once every copy is ready, before the
    // first file is replaced; false replaces none.
    bool commit(const std::function<bool()>& beforeInstall = {});

    const Failure& failure() const { return failure_; }

  private:
    std::optional<std::filesystem::path> resolve(const char* file);
    IniFile* writable(const std::filesystem::path& path);
    // The file argument's document, ready to edit.
    IniFile* target(const char* file);
    std::optional<std::string> driverLibrary(const std::string& driver);
    bool writeDsn(const char* dsn, const char* driver, const std::optional<std::string>& library);
    bool edited(IniSyntax::Problem problem, std::string_view what);
    bool fail(DWORD code, std::string message);

    UWORD mode_;
    OdbcPaths paths_;
    std::map<std::filesystem::path, std::unique_ptr<LockedIniFile>> files_;
    std::optional<OdbcPaths::Scope> libraryScope_;
    Failure failure_;
    bool refused_ = false;
};
