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
#include "src/QuillmarkHelper/HelperLock.h"

namespace status = helper_status;

namespace {

// Long enough for every request queued ahead to run out its own deadline.
constexpr auto kLockWait = std::chrono::seconds(120);

// A user who never had ODBC files gets them, made by the user's own
// process. System files are never made here: the writer refuses a missing
// one, so a request cannot create files in a system folder.
bool ensureUserFile(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (!folder.empty() && mkdir(folder.c_str(), 0775) != 0 && errno != EEXIST) {
        return false;
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        close(fd);
        return true;
    }
    return errno == EEXIST;
}

int prepareFiles(IniPlan::Scope scope, const IniLocations& locations) {
    if (scope == IniPlan::Scope::System) {
        return status::kDone;
    }
    return ensureUserFile(locations.userOdbcIni) && ensureUserFile(locations.userOdbcinstIni)
               ? status::kDone
               : status::kFolderNotCreated;
}

// Gives up root for good: afterwards neither uid nor gid can come back.
bool becomeCaller(const Caller& caller) {
    return setgroups(caller.groups.size(), caller.groups.data()) == 0 &&
           setresgid(caller.gid, caller.gid, caller.gid) == 0 &&
           setresuid(caller.uid, caller.uid, caller.uid) == 0 && geteuid() == caller.uid &&
           getegid() == caller.gid && (caller.uid == 0 || setresuid(0, 0, 0) != 0);
}

}  // namespace

int ScopedApplier::applyHere(const IniPlan& plan, const IniLocations& locations) {
    locations.exportToEnvironment();
    if (const int prepared = prepareFiles(plan.scope, locations); prepared != status::kDone) {
        return prepared;
    }
    return IniPlanRunner::run(plan);
}

int ScopedApplier::apply(const IniPlan& plan) {
    const bool userScope = plan.scope == IniPlan::Scope::User;
    const uid_t self = geteuid();
    const uid_t owner = userScope ? caller_.uid : self;
    const std::optional<IniLocations> locations = IniLocations::forUser(owner, options_);
    if (!locations) {
        return userScope ? status::kNotAsUser : status::kWriteFailed;
    }
    const bool asCaller = owner != self;
    if (asCaller && self != 0) {
        return status::kNotAsUser;
    }
    const std::optional<HelperLock> lock =
        HelperLock::acquire(options_.lockFile, descriptor_io::deadlineAfter(kLockWait));
    if (!lock) {
        return status::kWriteFailed;
    }
    return runInChild(plan, *locations, asCaller, lock->fd());
}

int ScopedApplier::runInChild(const IniPlan& plan, const IniLocations& locations, bool asCaller,
                              int lockFd) const {
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
        // The parent holds the lock; a child running as the caller keeps
        // no handle on it.
        close(lockFd);
        while (options_.stallChild) {
            pause();
        }
        const int result =
            asCaller && !becomeCaller(caller_) ? status::kNotAsUser : applyHere(plan, locations);
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

bool ScopedApplier::isSystemDriver(const std::string& name) {
    const std::optional<IniLocations> locations = IniLocations::forUser(geteuid(), options_);
    IniFile odbcinst;
    std::string why;
    return locations &&
           IniFile::load(locations->systemOdbcinstIni, odbcinst, why) ==
               IniFile::LoadResult::Loaded &&
           !IniSyntax::isReservedSection(name) && odbcinst.hasSection(name);
}
