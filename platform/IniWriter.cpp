#include "platform/IniWriter.h"

#include <cstring>
#include <utility>

#include "platform/IniSyntax.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataSources = "ODBC Data Sources";
constexpr const char* kDrivers = "ODBC Drivers";
// The default data source has a section but no [ODBC Data Sources] line.
constexpr const char* kDefaultDsn = "Default";

// What the driver manager refuses in a data source name.
constexpr std::string_view kDsnForbidden = "[]{}(),;?*=!@\\";

bool validDsn(const char* dsn) {
    return dsn != nullptr && IniSyntax::sectionProblem(dsn) == IniSyntax::Problem::None &&
           std::string_view(dsn).find_first_of(kDsnForbidden) == std::string_view::npos;
}

bool empty(const char* text) {
    return text == nullptr || text[0] == '\0';
}

bool names(const char* file, const char* lower, const char* upper) {
    return std::strstr(file, lower) != nullptr || std::strstr(file, upper) != nullptr;
}

}  // namespace

IniWriter::IniWriter(UWORD mode, OdbcPaths paths) : mode_(mode), paths_(std::move(paths)) {}

bool IniWriter::fail(DWORD code, std::string message) {
    failure_ = Failure{code, std::move(message)};
    return false;
}

bool IniWriter::edited(bool accepted, std::string_view what) {
    return accepted || fail(ODBC_ERROR_REQUEST_FAILED,
                            std::string(what) + " cannot be written to an ini file as given");
}

fs::path IniWriter::fileOf(File file) const {
    const OdbcPaths::Scope scope =
        mode_ == ODBC_SYSTEM_DSN ? OdbcPaths::Scope::System : OdbcPaths::Scope::User;
    return file == File::OdbcIni ? paths_.odbcIni(scope) : paths_.odbcinstIni(scope);
}

std::optional<fs::path> IniWriter::resolve(const char* file) {
    if (mode_ != ODBC_USER_DSN && mode_ != ODBC_SYSTEM_DSN && mode_ != ODBC_BOTH_DSN) {
        fail(ODBC_ERROR_GENERAL_ERR, "unknown configuration mode");
        return std::nullopt;
    }
    if (file == nullptr || names(file, "odbc.ini", "ODBC.INI")) {
        return fileOf(File::OdbcIni);
    }
    if (names(file, "odbcinst.ini", "ODBCINST.INI")) {
        return fileOf(File::OdbcinstIni);
    }
    return fs::path(file);
}

IniFile* IniWriter::target(const char* file) {
    const std::optional<fs::path> path = resolve(file);
    return path ? writable(*path) : nullptr;
}

IniWriter::Document* IniWriter::open(const fs::path& path) {
    if (auto found = documents_.find(path); found != documents_.end()) {
        return &found->second;
    }
    Document document;
    std::string why;
    const IniFile::LoadResult result = IniFile::load(path, document.ini, why);
    if (result == IniFile::LoadResult::Refused) {
        fail(ODBC_ERROR_REQUEST_FAILED, why);
        return nullptr;
    }
    document.missing = result == IniFile::LoadResult::Missing;
    return &documents_.emplace(path, std::move(document)).first->second;
}

IniFile* IniWriter::writable(const fs::path& path) {
    Document* document = open(path);
    if (document == nullptr) {
        return nullptr;
    }
    // The driver manager would quietly write another file (or create one
    // in /etc); only a user's own default files may come into being.
    if (document->missing && !paths_.isDefaultUserFile(path)) {
        fail(ODBC_ERROR_WRITING_SYSINFO_FAILED, path.string() + " does not exist");
        return nullptr;
    }
    return &document->ini;
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
    return edited(ini->setValue(section, key, value), "the section, key or value");
}

std::optional<std::string> IniWriter::driverLibrary(const std::string& driver) {
    for (OdbcPaths::Scope scope : {OdbcPaths::Scope::User, OdbcPaths::Scope::System}) {
        const Document* document = open(paths_.odbcinstIni(scope));
        if (document == nullptr) {
            return std::nullopt;
        }
        std::optional<std::string> library = document->ini.value(driver, "Driver");
        if (library && !library->empty()) {
            return library;
        }
    }
    fail(ODBC_ERROR_INVALID_NAME, "the driver " + driver + " is not installed");
    return std::nullopt;
}

bool IniWriter::writeDSNToIni(const char* dsn, const char* driver) {
    if (!validDsn(dsn)) {
        return fail(ODBC_ERROR_INVALID_DSN, "the data source name is not valid");
    }
    if (empty(driver)) {
        return fail(ODBC_ERROR_INVALID_NAME, "no driver named");
    }
    IniFile* ini = target("odbc.ini");
    if (ini == nullptr) {
        return false;
    }
    const std::optional<std::string> library = driverLibrary(driver);
    if (!library) {
        return false;
    }
    if (std::strcmp(dsn, kDefaultDsn) != 0 &&
        !edited(ini->setValue(kDataSources, dsn, driver), "the driver name")) {
        return false;
    }
    ini->removeSection(dsn);
    return edited(ini->setValue(dsn, "Driver", *library), "the driver's library path");
}

bool IniWriter::removeDSNFromIni(const char* dsn) {
    if (!validDsn(dsn)) {
        return fail(ODBC_ERROR_INVALID_DSN, "the data source name is not valid");
    }
    IniFile* ini = target("odbc.ini");
    if (ini == nullptr) {
        return false;
    }
    if (std::strcmp(dsn, kDefaultDsn) != 0) {
        ini->removeKey(kDataSources, dsn);
    }
    ini->removeSection(dsn);
    return true;
}

bool IniWriter::removeDriver(const char* driver, bool removeDsns) {
    if (empty(driver)) {
        return fail(ODBC_ERROR_INVALID_NAME, "no driver named");
    }
    IniFile* inst = target("odbcinst.ini");
    if (inst == nullptr) {
        return false;
    }
    if (removeDsns) {
        IniFile* ini = writable(fileOf(File::OdbcIni));
        if (ini == nullptr) {
            return false;
        }
        for (const std::string& dsn : ini->keys(kDataSources)) {
            if (ini->value(kDataSources, dsn) == std::optional<std::string>(driver)) {
                ini->removeSection(dsn);
                ini->removeKey(kDataSources, dsn);
            }
        }
    }
    inst->removeSection(driver);
    inst->removeKey(kDrivers, driver);
    return true;
}

std::optional<std::string> IniWriter::registeredDriver(const std::string& dsn) {
    const std::optional<fs::path> path = resolve("odbc.ini");
    const Document* document = path ? open(*path) : nullptr;
    if (document == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> driver = document->ini.value(kDataSources, dsn);
    return driver && !driver->empty() ? driver : std::nullopt;
}

bool IniWriter::commit() {
    for (auto& [path, document] : documents_) {
        std::string why;
        if (document.ini.changed() && !document.ini.save(path, why)) {
            return fail(ODBC_ERROR_REQUEST_FAILED, why);
        }
    }
    return true;
}
