#include "authentication/src/IniPlanRunner.h"

#include <array>

#include "authentication/src/HelperStatus.h"
#include "platform/InstallerFacade.h"

namespace {

constexpr UWORD kUserMode = ODBC_USER_DSN;
constexpr UWORD kSystemMode = ODBC_SYSTEM_DSN;

// The driver a DSN is registered with, from [ODBC Data Sources].
std::string registeredDriver(InstallerFacade& installer, UWORD mode, const std::string& dsn) {
    std::array<char, 1024> buffer{};
    installer.setConfigMode(mode);
    const int length = installer.getPrivateProfileString("ODBC Data Sources", dsn.c_str(), "",
                                                         buffer.data(), buffer.size(), "odbc.ini");
    if (length <= 0) {
        return {};
    }
    return std::string(buffer.data(),
                       std::min<size_t>(static_cast<size_t>(length), buffer.size() - 1));
}

int runStep(InstallerFacade& installer, UWORD mode, const IniStep& step) {
    using helper_status::kDone;
    switch (step.kind) {
        case IniStep::Kind::RegisterDsn: {
            const std::string driver = step.driver.empty()
                                           ? registeredDriver(installer, mode, step.driverOf)
                                           : step.driver;
            if (driver.empty()) {
                return helper_status::kContentRefused;
            }
            installer.setConfigMode(mode);
            return installer.writeDSNToIni(step.section.c_str(), driver.c_str())
                       ? kDone
                       : helper_status::kWriteFailed;
        }
        case IniStep::Kind::WriteValue:
            installer.setConfigMode(mode);
            return installer.writePrivateProfileString(step.section.c_str(), step.key.c_str(),
                                                       step.value ? step.value->c_str() : nullptr,
                                                       step.file.c_str())
                       ? kDone
                       : helper_status::kWriteFailed;
        case IniStep::Kind::RemoveDsn:
            installer.setConfigMode(mode);
            return installer.removeDSNFromIni(step.section.c_str()) ? kDone
                                                                    : helper_status::kRemoveFailed;
        case IniStep::Kind::RemoveDriver: {
            DWORD usage = 0;
            installer.setConfigMode(mode);
            return installer.removeDriver(step.section.c_str(), FALSE, &usage)
                       ? kDone
                       : helper_status::kRemoveFailed;
        }
    }
    return helper_status::kWriteFailed;
}

}  // namespace

int IniPlanRunner::run(const IniPlan& plan) {
    InstallerFacade& installer = InstallerFacade::instance();
    if (!installer.available()) {
        return helper_status::kWriteFailed;
    }
    const UWORD mode = plan.scope == IniPlan::Scope::User ? kUserMode : kSystemMode;
    for (const IniStep& step : plan.steps) {
        if (const int status = runStep(installer, mode, step); status != helper_status::kDone) {
            return status;
        }
    }
    return helper_status::kDone;
}
