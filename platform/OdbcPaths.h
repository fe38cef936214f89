#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

// Every ODBC ini path of the system, as iODBC finds them on Linux: the
// user's odbc.ini is $ODBCINI or ~/.odbc.ini, the system's $SYSODBCINI or
// /etc/odbc.ini, and likewise $ODBCINSTINI / $SYSODBCINSTINI for
// odbcinst.ini. Nothing else in the tree spells one of these paths.
//
// A program acting for another account (the privileged helper) asks with
// that account's uid or home folder; then the user's files come from that
// home alone and none of the caller's user variables (HOME, ODBCINI,
// ODBCINSTINI) is read. The system files are those of the calling process
// either way: its driver manager writes them.
class OdbcPaths {
  public:
    enum class Scope { User, System };

    // The paths of the calling process's own user.
    static OdbcPaths current();
    // The paths of the account with this uid (home from the password
    // database); nothing when it has no entry or no home.
    static std::optional<OdbcPaths> forUser(uid_t uid);
    // The paths of an account whose home folder is known.
    static OdbcPaths forHome(const std::filesystem::path& home);
    // Names one file in place of its usual place (tests of a program that
    // acts for another account).
    void nameOdbcIni(Scope scope, const std::filesystem::path& path);
    void nameOdbcinstIni(Scope scope, const std::filesystem::path& path);

    std::filesystem::path odbcIni(Scope scope) const;
    std::filesystem::path odbcinstIni(Scope scope) const;
    // The folders holding them (a driver manager writes nothing where they
    // are missing).
    std::filesystem::path odbcIniFolder(Scope scope) const;
    std::filesystem::path odbcinstIniFolder(Scope scope) const;

    // True for the user's own odbc.ini or odbcinst.ini at its default place
    // in the home folder (no variable named it): a driver manager creates
    // those for a new user.
    bool isDefaultUserFile(const std::filesystem::path& path) const;

    // Why the driver manager would not read the ini file at `path`, given
    // by a variable or the home folder: its readers keep such a path in a
    // buffer of 1,024 bytes and, when it does not fit with its NUL, read
    // another file or none. Empty when it would read it.
    static std::string unreadable(const std::filesystem::path& path);

    // Where the distribution installs ODBC driver libraries.
    static std::filesystem::path driverFolder();

    // $HOME, else the password database's entry for the effective uid;
    // empty when neither names a folder.
    static std::filesystem::path currentHome();
    // The password database's home of a uid; empty when unknown.
    static std::filesystem::path homeOf(uid_t uid);

  private:
    OdbcPaths() = default;

    std::filesystem::path userOdbcIni_;
    std::filesystem::path userOdbcinstIni_;
    std::filesystem::path systemOdbcIni_;
    std::filesystem::path systemOdbcinstIni_;
    bool userOdbcIniNamed_ = false;
    bool userOdbcinstIniNamed_ = false;
};
