#include "src/QuillmarkHelper/ScopedApplier.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "authentication/src/HelperStatus.h"
#include "authentication/src/IniPlanRunner.h"
#include "platform/DescriptorIo.h"
#include "platform/IniFile.h"
#include "platform/IniSyntax.h"
#include "platform/SystemLog.h"

namespace status = helper_status;

namespace {

// Gives up root for good: afterwards neither uid nor gid can come back.
bool becomeCaller(const Caller& caller) {
    return setgroups(caller.groups.size(), caller.groups.data()) == 0 &&
           setresgid(caller.gid, caller.gid, caller.gid) == 0 &&
           setresuid(caller.uid, caller.uid, caller.uid) == 0 && geteuid() == caller.uid &&
           getegid() == caller.gid && (caller.uid == 0 || setresuid(0, 0, 0) != 0);
}

// A user who never had ODBC files gets their folder, made by the user's
// own process; the writer makes the user's default files, whole. System
// files are never made here: the writer refuses a missing one.
int applyHere(const IniPlan& plan, const OdbcPaths& paths) {
    const std::filesystem::path folder = paths.odbcIniFolder(OdbcPaths::Scope::User);
    if (plan.scope == IniPlan::Scope::User && !folder.empty() && mkdir(folder.c_str(), 0775) != 0 &&
        errno != EEXIST) {
        return status::kFolderNotCreated;
    }
    return IniPlanRunner::run(plan, paths);
}

}  // namespace

int ScopedApplier::apply(const IniPlan& plan) {
    const bool userScope = plan.scope == IniPlan::Scope::User;
    const uid_t self = geteuid();
    const uid_t owner = userScope ? caller_.uid : self;
    const std::optional<OdbcPaths> paths = IniLocations::forUser(owner, options_);
    if (!paths) {
        return userScope ? status::kNotAsUser : status::kWriteFailed;
    }
    const bool asCaller = owner != self;
    if (asCaller && self != 0) {
        return status::kNotAsUser;
    }
    return runInChild(plan, *paths, asCaller);
}

int ScopedApplier::runInChild(const IniPlan& plan, const OdbcPaths& paths, bool asCaller) const {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return status::kWriteFailed;
    }
    const pid_t child = fork();
    if (child < 0) {
        close(ends[0]);
        close(ends[1]);
        return status::kWriteFailed;
    }
    if (child == 0) {
        close(ends[0]);
        while (options_.stallChild) {
            pause();
        }
        const int result =
            asCaller && !becomeCaller(caller_) ? status::kNotAsUser : applyHere(plan, paths);
        const ssize_t written = write(ends[1], &result, sizeof result);
        _exit(written == static_cast<ssize_t>(sizeof result) ? 0 : 1);
    }
    close(ends[1]);
    int result = status::kWriteFailed;
    const auto read = descriptor_io::readExactly(
        ends[0], reinterpret_cast<char*>(&result), sizeof result,
        descriptor_io::deadlineAfter(std::chrono::seconds(options_.childTimeoutSeconds)));
    close(ends[0]);
    if (read != descriptor_io::Result::Ok) {
        SystemLog::error("the change did not finish in time or failed; stopped");
        kill(child, SIGKILL);
        result = status::kWriteFailed;
    }
    int childStatus = 0;
    while (waitpid(child, &childStatus, 0) < 0 && errno == EINTR) {
    }
    return result;
}

std::optional<std::string> ScopedApplier::systemDriverLibrary(const std::string& name) {
    const std::optional<OdbcPaths> paths = IniLocations::forUser(geteuid(), options_);
    IniFile odbcinst;
    std::string why;
    if (!paths || IniSyntax::isReservedSection(name) ||
        IniFile::load(paths->odbcinstIni(OdbcPaths::Scope::System), odbcinst, why) !=
            IniFile::LoadResult::Loaded) {
        return std::nullopt;
    }
    std::optional<std::string> library = odbcinst.value(name, "Driver");
    return library && !library->empty() ? library : std::nullopt;
}
