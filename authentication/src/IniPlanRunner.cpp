#include "authentication/src/IniPlanRunner.h"

#include "authentication/src/HelperStatus.h"
#include "platform/IniWriter.h"

namespace {

int runStep(IniWriter& writer, const IniStep& step) {
    using helper_status::kDone;
    switch (step.kind) {
        case IniStep::Kind::RegisterDsn: {
            const std::string driver = step.driver.empty()
                                           ? writer.registeredDriver(step.driverOf).value_or("")
                                           : step.driver;
            if (driver.empty()) {
                // Not listed, or the file could not be had at all.
                return writer.failure().code != 0 ? helper_status::kWriteFailed
                                                  : helper_status::kContentRefused;
            }
            const bool written =
                step.library.empty()
                    ? writer.writeDSNToIni(step.section.c_str(), driver.c_str())
                    : writer.writeDSNToIni(step.section.c_str(), driver.c_str(), step.library);
            return written ? kDone : helper_status::kWriteFailed;
        }
        case IniStep::Kind::WriteValue:
            return writer.writePrivateProfileString(step.section.c_str(), step.key.c_str(),
                                                    step.value ? step.value->c_str() : nullptr,
                                                    step.file.c_str())
                       ? kDone
                       : helper_status::kWriteFailed;
        case IniStep::Kind::RemoveDsn:
            return writer.removeDSNFromIni(step.section.c_str()) ? kDone
                                                                 : helper_status::kRemoveFailed;
        case IniStep::Kind::RemoveDriver:
            return writer.removeDriver(step.section.c_str(), false) ? kDone
                                                                    : helper_status::kRemoveFailed;
    }
    return helper_status::kWriteFailed;
}

}  // namespace

int IniPlanRunner::run(const IniPlan& plan, const OdbcPaths& paths,
                       const std::function<bool()>& beforeInstall) {
    IniWriter writer(plan.scope == IniPlan::Scope::User ? ODBC_USER_DSN : ODBC_SYSTEM_DSN, paths);
    if (plan.scope == IniPlan::Scope::System) {
        // Never a library from root's own odbcinst.ini in a system file.
        writer.takeLibrariesFrom(OdbcPaths::Scope::System);
    }
    for (const IniStep& step : plan.steps) {
        if (const int status = runStep(writer, step); status != helper_status::kDone) {
            return status;
        }
    }
    return writer.commit(beforeInstall) ? helper_status::kDone : helper_status::kWriteFailed;
}
