// pelnard: registers one driver of its table in the system odbcinst.ini.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/IniFile.h"
#include "platform/InstallerFacade.h"
#include "platform/OdbcPaths.h"
#include "platform/TrustedPath.h"
#include "utilities/pelnard/DriverTable.h"

namespace {

constexpr UWORD kSystemMode = ODBC_SYSTEM_DSN;

// The failure's line with the installer's own code, then the writer's
// reason (the file and what went wrong) when there is one.
void reportFailure(InstallerFacade& installer, const char* failure) {
    DWORD code = 0;
    char message[SQL_MAX_MESSAGE_LENGTH] = {};
    WORD length = 0;
    installer.installerError(1, &code, message, sizeof message, &length);
    std::printf("%s  error code: %d\n", failure, static_cast<int>(code));
    if (message[0] != '\0') {
        std::printf("%s\n", message);
    }
}

// Sets system mode, then writes one value; false when the write failed.
bool writeSystemValue(InstallerFacade& installer, const char* section, const char* key,
                      const char* value, const char* failure) {
    if (!installer.setConfigMode(kSystemMode)) {
        reportFailure(installer, "Problem setting config mode to ODBC_SYSTEM_DSN");
    }
    if (installer.writePrivateProfileString(section, key, value, "odbcinst.ini")) {
        return true;
    }
    reportFailure(installer, failure);
    return false;
}

// The file must be there already: nothing creates a system file here.
bool fileUsable(const std::filesystem::path& path) {
    IniFile file;
    std::string why;
    switch (IniFile::load(path, file, why)) {
        case IniFile::LoadResult::Loaded:
            return true;
        case IniFile::LoadResult::Missing:
            std::printf("Cannot install the driver: %s does not exist.\n", path.c_str());
            return false;
        case IniFile::LoadResult::Refused:
            std::printf("Cannot install the driver: %s.\n", why.c_str());
            return false;
    }
    return false;
}

// Where the drivers were installed; test builds may name another place.
std::string installPrefix() {
#ifdef MORVANEX_TEST_HOOKS
    if (const char* prefix = std::getenv("MORVANEX_TEST_PELNARD_PREFIX");
        prefix != nullptr && *prefix != '\0') {
        return prefix;
    }
#endif
    return PELNARD_INSTALL_PREFIX;
}

// A library that is not there would only fail at the first connection,
// far from this cause. Root's programs load what the system file names, so
// root registers, as the helper does, only a library root alone can change.
bool libraryInstalled(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        std::printf("Cannot install the driver: %s does not exist.\n", path.c_str());
        return false;
    }
    std::string problem;
    if (TrustedPath::keepsRootRules() && TrustedPath::check(path, problem) != 0) {
        std::printf(
            "Cannot install the driver: root's programs would load %s, which others than "
            "root could change: %s.\n",
            path.c_str(), problem.c_str());
        return false;
    }
    return true;
}

// The refusal's text, then how the tool is called; status 1.
int refuse(const char* text, const std::filesystem::path& inst) {
    std::printf("%s\nUsage: pelnard NAME registers the driver NAME (%s) in %s\n", text,
                driverShortNames().c_str(), inst.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path inst = OdbcPaths::current().odbcinstIni(OdbcPaths::Scope::System);
    if (argc != 2) {
        return refuse("Incorrect usage.", inst);
    }
    const std::optional<DriverTableRow> row = findDriver(argv[1]);
    if (!row) {
        return refuse("Incorrect driver name.", inst);
    }
    const std::string driverPath = driverLibraryPath(installPrefix(), *row);
    if (!fileUsable(inst) || !libraryInstalled(driverPath)) {
        return 2;
    }
    std::printf("Installing the driver in %s...\n", inst.c_str());

    InstallerFacade& installer = InstallerFacade::instance();
    // The three keys reach the file together, in one replacement, or not at all.
    InstallerFacade::Transaction action;
    constexpr const char* kInstalledFailure = "Problem adding Installed keyword to odbcinst.ini";
    bool written = writeSystemValue(installer, "ODBC Drivers", row->displayName, "Installed",
                                    kInstalledFailure);
    written = writeSystemValue(installer, row->displayName, "Driver", driverPath.c_str(),
                               "Problem adding Driver keyword to odbcinst.ini") &&
              written;
    // iODBC opens a driver's setup entry from the Setup file, which for our
    // drivers is the driver itself; left empty, no DSN dialog could open.
    written = writeSystemValue(installer, row->displayName, "Setup", driverPath.c_str(),
                               "Problem adding Setup keyword to odbcinst.ini") &&
              written;
    if (written && !action.commit()) {
        reportFailure(installer, kInstalledFailure);
        written = false;
    }
    // A failed write must show in the status, not only on the screen.
    return written ? 0 : 2;
}
