#include "admin/TracingSettings.h"

#include <sys/stat.h>

#include <filesystem>

#include "admin/IniAccess.h"
#include "platform/AsciiCase.h"
#include "platform/InstallerFacade.h"
#include "platform/OdbcPaths.h"

namespace {
constexpr const char* kSection = "ODBC";
constexpr const char* kFile = "odbc.ini";
}  // namespace

bool TracingSettings::isOn(const std::string& value) {
    return (!value.empty() && value[0] == '1') || equalsIgnoringAsciiCase(value, "ON");
}

TracingSettings TracingSettings::load() {
    const IniAccess user(IniAccess::User);
    TracingSettings settings;
    settings.enabled = isOn(user.valueOr(kSection, "Trace", kFile));
    settings.traceFile = user.valueOr(kSection, "TraceFile", kFile);
    settings.traceLibrary = user.valueOr(kSection, "TraceLibrary", kFile);
    return settings;
}

void TracingSettings::apply() const {
    const IniAccess user(IniAccess::User);
    // The three keys in one replacement of the file.
    InstallerFacade::Transaction action;
    const std::filesystem::path folder = OdbcPaths::current().odbcIniFolder(OdbcPaths::Scope::User);
    std::error_code error;
    if (std::filesystem::is_directory(folder, error) || mkdir(folder.c_str(), 0775) == 0) {
        user.write(kSection, "Trace", enabled ? "1" : "", kFile);
    }
    user.write(kSection, "TraceFile", traceFile, kFile);
    user.write(kSection, "TraceLibrary", traceLibrary, kFile);
    action.commit();
}
