#include "platform/IniWriter.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/IniSyntax.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataSources = "ODBC Data Sources";
constexpr const char* kDrivers = "ODBC Drivers";
// A writer waits this long for another to finish with a file; a lock
// wanted against the order of paths is waited for briefly, so that two
// writers each holding what the other wants cannot wait for each other.
constexpr std::chrono::seconds kLockWait{30};
constexpr std::chrono::seconds kOutOfOrderWait{3};

bool empty(const char* text) {
    return text == nullptr || text[0] == '\0';
}

bool names(const char* file, const char* lower, const char* upper) {
    return std::strstr(file, lower) != nullptr || std::strstr(file, upper) != nullptr;
}

// A file argument is a path unless it names odbc.ini or odbcinst.ini.
bool isPath(const char* file) {
    return file != nullptr && !names(file, "odbc.ini", "ODBC.INI") &&
           !names(file, "odbcinst.ini", "ODBCINST.INI");
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

}  // namespace

IniWriter::IniWriter(UWORD mode, OdbcPaths paths) : mode_(mode), paths_(std::move(paths)) {}

bool IniWriter::fail(DWORD code, std::string message) {
    failure_ = Failure{code, std::move(message)};
    refused_ = true;
    return false;
}

bool IniWriter::edited(IniSyntax::Problem problem, std::string_view what) {
    return problem == IniSyntax::Problem::None ||
           fail(ODBC_ERROR_REQUEST_FAILED, std::string(what) + " " + IniSyntax::describe(problem));
}

std::optional<fs::path> IniWriter::pathFor(const char* file, OdbcPaths::Scope scope) const {
    if (isPath(file)) {
        return fs::path(file);
    }
    return file != nullptr && names(file, "odbcinst.ini", "ODBCINST.INI")
               ? paths_.odbcinstIni(scope)
               : paths_.odbcIni(scope);
}

std::optional<fs::path> IniWriter::resolve(const char* file) {
    if (mode_ != ODBC_USER_DSN && mode_ != ODBC_SYSTEM_DSN && mode_ != ODBC_BOTH_DSN) {
        fail(ODBC_ERROR_GENERAL_ERR, "unknown configuration mode");
        return std::nullopt;
    }
    std::optional<fs::path> path =
        pathFor(file, mode_ == ODBC_SYSTEM_DSN ? OdbcPaths::Scope::System : OdbcPaths::Scope::User);
    // A path given as the file argument is read as given, at any length.
    if (const std::string why = isPath(file) ? "" : OdbcPaths::unreadable(*path); !why.empty()) {
        fail(ODBC_ERROR_INVALID_PATH, why);
        return std::nullopt;
    }
    return path;
}

IniFile* IniWriter::target(const char* file) {
    const std::optional<fs::path> path = resolve(file);
    return path ? writable(*path) : nullptr;
}

IniFile* IniWriter::writable(const fs::path& path) {
    if (auto found = files_.find(path); found != files_.end()) {
        return &found->second->document();
    }
    const bool outOfOrder = !files_.empty() && files_.rbegin()->first > path;
    const auto deadline = descriptor_io::deadlineAfter(outOfOrder ? kOutOfOrderWait : kLockWait);
    std::string why;
    bool missing = false;
    // The driver manager would quietly write another file (or create one
    // in /etc); only a user's own default files may come into being.
    std::unique_ptr<LockedIniFile> file =
        LockedIniFile::open(path, paths_.isDefaultUserFile(path), deadline, why, missing);
    if (!file) {
        fail(missing ? ODBC_ERROR_WRITING_SYSINFO_FAILED : ODBC_ERROR_REQUEST_FAILED, why);
        return nullptr;
    }
    return &files_.emplace(path, std::move(file)).first->second->document();
}

const IniFile* IniWriter::pending(const fs::path& path) const {
    const auto found = files_.find(path);
    return found != files_.end() && found->second->document().changed() ? &found->second->document()
                                                                        : nullptr;
}

bool IniWriter::writePrivateProfileString(const char* section, const char* key, const char* value,
                                          const char* file) {
    if (empty(section)) {
        return fail(ODBC_ERROR_INVALID_REQUEST_TYPE, "no section named");
    }
    IniFile* ini = target(file);
    if (ini == nullptr) {
        return false;
    }
    if (key == nullptr) {
        ini->removeSection(section);
        return true;
    }
    if (value == nullptr) {
        ini->removeKey(section, key);
        return true;
    }
    if (!edited(IniSyntax::sectionProblem(section), "the section name " + quoted(section)) ||
        !edited(IniSyntax::keyProblem(key), "the key " + quoted(key))) {
        return false;
    }
    // The value itself stays out of the message: it may be a password.
    return edited(ini->setValue(section, key, value),
                  "the value of " + quoted(key) + " in [" + std::string(section) + "]");
}

std::optional<std::string> IniWriter::driverLibrary(const std::string& driver) {
    for (OdbcPaths::Scope scope : {OdbcPaths::Scope::User, OdbcPaths::Scope::System}) {
        if (libraryScope_ && scope != *libraryScope_) {
            continue;
        }
        const fs::path path = paths_.odbcinstIni(scope);
        IniFile loaded;
        const IniFile* ini = pending(path);
        std::string why;
        if (ini == nullptr && IniFile::load(path, loaded, why) == IniFile::LoadResult::Refused) {
            fail(ODBC_ERROR_REQUEST_FAILED, why);
            return std::nullopt;
        }
        std::optional<std::string> library =
            (ini != nullptr ? *ini : loaded).value(driver, "Driver");
        if (library && !library->empty()) {
            return library;
        }
    }
    fail(ODBC_ERROR_INVALID_NAME, "the driver " + driver + " is not installed");
    return std::nullopt;
}

bool IniWriter::writeDSNToIni(const char* dsn, const char* driver) {
    return writeDsn(dsn, driver, std::nullopt);
}

bool IniWriter::writeDSNToIni(const char* dsn, const char* driver, const std::string& library) {
    return writeDsn(dsn, driver, library);
}

bool IniWriter::writeDsn(const char* dsn, const char* driver,
                         const std::optional<std::string>& given) {
    const IniSyntax::Problem problem =
        dsn == nullptr ? IniSyntax::Problem::Empty : IniSyntax::dsnNameProblem(dsn);
    if (problem != IniSyntax::Problem::None) {
        return fail(ODBC_ERROR_INVALID_DSN, "the data source name " + quoted(dsn ? dsn : "") + " " +
                                                IniSyntax::describe(problem));
    }
    if (empty(driver)) {
        return fail(ODBC_ERROR_INVALID_NAME, "no driver named");
    }
    IniFile* ini = target("odbc.ini");
    if (ini == nullptr) {
        return false;
    }
    const std::optional<std::string> library = given ? given : driverLibrary(driver);
    if (!library || !edited(ini->setValue(kDataSources, dsn, driver), "the driver name")) {
        return false;
    }
    ini->removeSection(dsn);
    return edited(ini->setValue(dsn, "Driver", *library), "the driver's library path");
}

bool IniWriter::removeDSNFromIni(const char* dsn) {
    const IniSyntax::Problem problem =
        dsn == nullptr ? IniSyntax::Problem::Empty : IniSyntax::dsnNameProblem(dsn);
    if (problem != IniSyntax::Problem::None) {
        return fail(ODBC_ERROR_INVALID_DSN, "the data source name " + quoted(dsn ? dsn : "") + " " +
                                                IniSyntax::describe(problem));
    }
    IniFile* ini = target("odbc.ini");
    if (ini == nullptr) {
        return false;
    }
    ini->removeKey(kDataSources, dsn);
    ini->removeSection(dsn);
    return true;
}

bool IniWriter::removeDriver(const char* driver, bool removeDsns) {
    const IniSyntax::Problem problem =
        driver == nullptr ? IniSyntax::Problem::Empty : IniSyntax::driverNameProblem(driver);
    if (problem != IniSyntax::Problem::None) {
        return fail(ODBC_ERROR_INVALID_NAME, "the driver name " + quoted(driver ? driver : "") +
                                                 " " + IniSyntax::describe(problem));
    }
    const std::optional<fs::path> instPath = resolve("odbcinst.ini");
    const std::optional<fs::path> iniPath = resolve("odbc.ini");
    if (!instPath || !iniPath) {
        return false;
    }
    // Both files locked and known writable, in the order of their paths,
    // before either changes.
    std::vector<fs::path> order{*instPath};
    if (removeDsns) {
        order.push_back(*iniPath);
        std::sort(order.begin(), order.end());
    }
    for (const fs::path& path : order) {
        if (writable(path) == nullptr) {
            return false;
        }
    }
    if (removeDsns) {
        IniFile* ini = writable(*iniPath);
        std::vector<std::string> dsns;
        for (auto& [dsn, listed] : ini->entries(kDataSources)) {
            if (listed == driver) {
                dsns.push_back(std::move(dsn));
            }
        }
        ini->removeSections(dsns);
        ini->removeKeys(kDataSources, dsns);
    }
    IniFile* inst = writable(*instPath);
    inst->removeSection(driver);
    inst->removeKey(kDrivers, driver);
    return true;
}

std::optional<std::string> IniWriter::registeredDriver(const std::string& dsn) {
    const IniFile* ini = target("odbc.ini");
    std::optional<std::string> driver = ini ? ini->value(kDataSources, dsn) : std::nullopt;
    return driver && !driver->empty() ? driver : std::nullopt;
}

bool IniWriter::commit(const std::function<bool()>& beforeInstall) {
    const auto done = [this](bool result) {
        files_.clear();
        return result;
    };
    if (refused_) {
        return done(false);
    }
    std::vector<LockedIniFile*> changed;
    for (auto& [path, file] : files_) {
        if (file->document().changed()) {
            changed.push_back(file.get());
        }
    }
    std::string why;
    for (LockedIniFile* file : changed) {
        if (!file->prepare(why)) {
            return done(fail(ODBC_ERROR_REQUEST_FAILED, why));
        }
    }
    if (!changed.empty() && beforeInstall && !beforeInstall()) {
        return done(fail(ODBC_ERROR_REQUEST_FAILED, "stopped before any file was replaced"));
    }
    // Files already installed stay so: the failure says which they are.
    std::string installed;
    size_t count = 0;
    for (LockedIniFile* file : changed) {
        if (!file->install(why)) {
            if (count != 0) {
                why += "; " + installed + (count == 1 ? " was" : " were") + " already changed";
            }
            return done(fail(ODBC_ERROR_REQUEST_FAILED, why));
        }
        installed += (count++ == 0 ? "" : " and ") + file->path().string();
    }
    return done(true);
}
