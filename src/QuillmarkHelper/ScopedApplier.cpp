#include "src/QuillmarkHelper/ScopedApplier.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "authentication/src/HelperStatus.h"
#include "authentication/src/IniPlanRunner.h"
#include "platform/DescriptorIo.h"
#include "platform/IniFile.h"
#include "platform/IniSyntax.h"
#include "platform/SystemLog.h"
#include "platform/UniqueFd.h"

namespace status = helper_status;

namespace {

using descriptor_io::Clock;
using descriptor_io::Result;

// What the child tells its parent on their socket pair: that it is about to
// replace the first file (answered kGo), then its result.
constexpr char kInstalling = 'I';
constexpr char kGo = 'G';
constexpr char kResult = 'R';
constexpr auto kMessageTimeout = std::chrono::seconds(10);
// --test-slow-install: how long the child dwells between the go and the
// first file, longer than the test's deadline.
constexpr unsigned kSlowInstallSeconds = 3;

bool sendByte(int channel, char byte) {
    return descriptor_io::writeAll(channel, std::string_view(&byte, 1),
                                   descriptor_io::deadlineAfter(kMessageTimeout)) == Result::Ok;
}

// The child replaces no file unless its parent, still waiting for it,
// agreed; after that the parent waits however long the install takes.
bool mayInstall(int channel, bool slow) {
    char answer = 0;
    const bool agreed =
        sendByte(channel, kInstalling) &&
        descriptor_io::readExactly(channel, &answer, 1, Clock::time_point::max()) == Result::Ok &&
        answer == kGo;
    if (agreed && slow) {
        sleep(kSlowInstallSeconds);
    }
    return agreed;
}

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
int applyHere(const IniPlan& plan, const OdbcPaths& paths,
              const std::function<bool()>& beforeInstall) {
    const std::filesystem::path folder = paths.odbcIniFolder(OdbcPaths::Scope::User);
    if (plan.scope == IniPlan::Scope::User && !folder.empty() && mkdir(folder.c_str(), 0775) != 0 &&
        errno != EEXIST) {
        return status::kFolderNotCreated;
    }
    return IniPlanRunner::run(plan, paths, beforeInstall);
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
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return status::kWriteFailed;
    }
    UniqueFd parentEnd(ends[0]);
    UniqueFd childEnd(ends[1]);
    const pid_t child = fork();
    if (child < 0) {
        return status::kWriteFailed;
    }
    if (child == 0) {
        parentEnd.reset();
        while (options_.stallChild) {
            pause();
        }
        const int channel = childEnd.get();
        const auto beforeInstall = [this, channel] {
            return mayInstall(channel, options_.slowInstall);
        };
        const int result = asCaller && !becomeCaller(caller_)
                               ? status::kNotAsUser
                               : applyHere(plan, paths, beforeInstall);
        std::string message(1, kResult);
        message.append(reinterpret_cast<const char*>(&result), sizeof result);
        _exit(descriptor_io::writeAll(channel, message,
                                      descriptor_io::deadlineAfter(kMessageTimeout)) == Result::Ok
                  ? 0
                  : 1);
    }
    childEnd.reset();
    const int result = awaitChild(parentEnd.get(), child);
    int childStatus = 0;
    while (waitpid(child, &childStatus, 0) < 0 && errno == EINTR) {
    }
    return result;
}

// The deadline holds until the child asks to install; a child that overruns
// it is killed, having replaced nothing. One that was let install is waited
// for, so the answer says what the files hold.
int ScopedApplier::awaitChild(int channel, pid_t child) const {
    auto deadline =
        descriptor_io::deadlineAfter(std::chrono::seconds(options_.childTimeoutSeconds));
    char tag = 0;
    Result read = descriptor_io::readExactly(channel, &tag, 1, deadline);
    const bool installing = read == Result::Ok && tag == kInstalling;
    if (installing) {
        deadline = Clock::time_point::max();
        read = sendByte(channel, kGo) ? descriptor_io::readExactly(channel, &tag, 1, deadline)
                                      : Result::Failed;
    }
    int result = status::kWriteFailed;
    if (read == Result::Ok && tag == kResult &&
        descriptor_io::readExactly(channel, reinterpret_cast<char*>(&result), sizeof result,
                                   deadline) == Result::Ok) {
        return result;
    }
    SystemLog::error(installing ? "the change failed while replacing the files"
                                : "the change did not finish in time or failed; stopped");
    kill(child, SIGKILL);
    return status::kWriteFailed;
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
