#include "src/QuillmarkHelper/ScopedApplier.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "authentication/src/HelperStatus.h"
#include "authentication/src/IniPlanReadBack.h"
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
// replace the first file, with what the files hold of the plan then
// (answered kGo); then its result.
constexpr char kInstalling = 'I';
constexpr char kGo = 'G';
constexpr char kResult = 'R';
constexpr auto kMessageTimeout = std::chrono::seconds(10);
// Reading the files back after a child ended unreported.
constexpr auto kReadBackTimeout = std::chrono::seconds(10);

bool sendByte(int channel, char byte) {
    return descriptor_io::writeAll(channel, std::string_view(&byte, 1),
                                   descriptor_io::deadlineAfter(kMessageTimeout)) == Result::Ok;
}

template <typename Data>
std::string_view bytesOf(const Data& data) {
    return std::string_view(reinterpret_cast<const char*>(&data), sizeof data);
}

// The child replaces no file unless its parent, still waiting for it,
// agreed.
bool mayInstall(int channel, const IniPlanReadBack::Found& before) {
    char answer = 0;
    return descriptor_io::writeAll(channel, std::string(1, kInstalling).append(bytesOf(before)),
                                   descriptor_io::deadlineAfter(kMessageTimeout)) == Result::Ok &&
           descriptor_io::readExactly(channel, &answer, 1, Clock::time_point::max()) ==
               Result::Ok &&
           answer == kGo;
}

// Counts from a child: only those that can be.
bool plausible(const IniPlanReadBack::Found& found) {
    return found.present <= found.planned && found.unreadable <= found.planned;
}

// Leaves the child its channel alone (moved above the standard three,
// which become /dev/null): not the client's socket, the slot file, the
// log's socket or anything else root opened. The channel, or -1.
int keepOnlyChannel(int channel) {
    closelog();  // so that no later log line goes to a reused number
    const int kept = fcntl(channel, F_DUPFD_CLOEXEC, 3);
    UniqueFd null(open("/dev/null", O_RDWR | O_CLOEXEC));
    if (kept < 0 || !null.valid()) {
        return -1;
    }
    for (int standard : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (dup2(null.get(), standard) < 0) {
            return -1;
        }
    }
    null.reset();
    const bool closed =
        (kept == 3 || close_range(3, kept - 1, 0) == 0) && close_range(kept + 1, ~0U, 0) == 0;
    return closed ? kept : -1;
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

// Runs `body` in a child that keeps only its channel; the body's answer is
// the child's exit status.
std::optional<ScopedApplier::Child> ScopedApplier::startChild(
    const std::function<int(int channel)>& body) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return std::nullopt;
    }
    Child child{UniqueFd(ends[0]), fork()};
    UniqueFd childEnd(ends[1]);
    if (child.pid < 0) {
        return std::nullopt;
    }
    if (child.pid == 0) {
        const int channel = keepOnlyChannel(childEnd.get());
        _exit(channel < 0 ? 1 : body(channel));
    }
    return child;
}

// Dead before anything is read from the files: nothing of it can change
// them after.
void ScopedApplier::endChild(const Child& child) {
    kill(child.pid, SIGKILL);
    int childStatus = 0;
    while (waitpid(child.pid, &childStatus, 0) < 0 && errno == EINTR) {
    }
}

int ScopedApplier::runInChild(const IniPlan& plan, const OdbcPaths& paths, bool asCaller) const {
    const std::optional<Child> child = startChild([&](int channel) {
        while (options_.stallChild) {
            pause();
        }
        // The files as they are before any is replaced, under the writer's
        // locks.
        const auto beforeInstall = [&plan, &paths, channel] {
            return mayInstall(channel, IniPlanReadBack::inFiles(plan, paths));
        };
        const int result = asCaller && !becomeCaller(caller_)
                               ? status::kNotAsUser
                               : applyHere(plan, paths, beforeInstall);
        if (options_.stopInstalled && result == status::kDone) {
            raise(SIGSTOP);
        }
        return descriptor_io::writeAll(channel, std::string(1, kResult).append(bytesOf(result)),
                                       descriptor_io::deadlineAfter(kMessageTimeout)) == Result::Ok
                   ? 0
                   : 1;
    });
    if (!child) {
        return status::kWriteFailed;
    }
    int result = status::kWriteFailed;
    IniPlanReadBack::Found before;
    const Ending ending = awaitChild(child->channel.get(), result, before);
    endChild(*child);
    if (ending == Ending::NothingReplaced) {
        SystemLog::error("the change did not finish in time or failed; stopped");
    }
    if (ending != Ending::Unreported) {
        return result;
    }
    const std::optional<IniPlanReadBack::Found> found = readBack(plan, paths, asCaller);
    const auto held = found ? found->heldSince(before) : IniPlanReadBack::Held::None;
    const std::string counts = found ? found->describe() : "the files could not be read back";
    if (held == IniPlanReadBack::Held::All) {
        SystemLog::notice("the change ended unreported; the files hold it (" + counts + ")");
        return status::kDone;
    }
    SystemLog::error(
        held == IniPlanReadBack::Held::Part
            ? "the change ended unreported; the files hold only part of it (" + counts + ")"
            : "the change ended unreported; the files do not hold it (" + counts + ")");
    return status::kWriteFailed;
}

// Read by a child as the writer was (the caller, for a user's files: as
// its own processes resolve them), within a bound: a user's file system
// could stall a reader. Only counts come back, checked.
std::optional<IniPlanReadBack::Found> ScopedApplier::readBack(const IniPlan& plan,
                                                              const OdbcPaths& paths,
                                                              bool asCaller) const {
    using Found = IniPlanReadBack::Found;
    const std::optional<Child> child = startChild([&](int channel) {
        if (asCaller && !becomeCaller(caller_)) {
            return 1;
        }
        const Found found = IniPlanReadBack::inFiles(plan, paths);
        return descriptor_io::writeAll(channel, bytesOf(found),
                                       descriptor_io::deadlineAfter(kMessageTimeout)) == Result::Ok
                   ? 0
                   : 1;
    });
    if (!child) {
        return std::nullopt;
    }
    Found found;
    const Result read =
        descriptor_io::readExactly(child->channel.get(), reinterpret_cast<char*>(&found),
                                   sizeof found, descriptor_io::deadlineAfter(kReadBackTimeout));
    endChild(*child);
    if (read != Result::Ok || !plausible(found)) {
        return std::nullopt;
    }
    return found;
}

// A child's deadline from now: never so late that the files could not be
// read back before the connection's end.
descriptor_io::Clock::time_point ScopedApplier::deadline() const {
    return std::min(
        descriptor_io::deadlineAfter(std::chrono::seconds(options_.childTimeoutSeconds)),
        bound_ - kReadBackTimeout);
}

// Until the child asks to install, the deadline holds and a child that
// overruns it has replaced nothing. One that was let install gets the
// deadline again; any ending of it without its report leaves the files
// to say what was done.
ScopedApplier::Ending ScopedApplier::awaitChild(int channel, int& result,
                                                IniPlanReadBack::Found& before) const {
    auto until = deadline();
    char tag = 0;
    const bool installing = descriptor_io::readExactly(channel, &tag, 1, until) == Result::Ok &&
                            tag == kInstalling &&
                            descriptor_io::readExactly(channel, reinterpret_cast<char*>(&before),
                                                       sizeof before, until) == Result::Ok &&
                            plausible(before);
    if (installing) {
        if (!sendByte(channel, kGo)) {
            return Ending::Unreported;  // the go may have reached it all the same
        }
        until = deadline();
        if (descriptor_io::readExactly(channel, &tag, 1, until) != Result::Ok) {
            tag = 0;
        }
    }
    if (tag == kResult && descriptor_io::readExactly(channel, reinterpret_cast<char*>(&result),
                                                     sizeof result, until) == Result::Ok) {
        return Ending::Reported;
    }
    return installing ? Ending::Unreported : Ending::NothingReplaced;
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
