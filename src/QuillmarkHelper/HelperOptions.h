#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/PrivilegedRequestContract.h"

// The command line. --inetd serves the connection on standard input (the
// socket unit), --stdin applies one raw request text for pkexec; neither
// takes anything else. Builds with the test seams also take --listen PATH,
// a socket of their own, and with it the overrides of files, programs and
// limits that tests need; a shipped helper knows none of them, since
// whoever starts it through pkexec would choose what root runs and writes.
struct HelperOptions {
    enum class Mode { Inetd, Listen, Stdin };
    Mode mode = Mode::Inetd;
    std::string socketPath;
    std::string pkcheck = "/usr/bin/pkcheck";
    bool logToStderr = false;
    // Where --inetd keeps its per-user slot locks: the unit's runtime
    // folder (systemd names it in RUNTIME_DIRECTORY).
    std::string runtimeFolder = "/run/quillmark-helper";
    // Seconds a plan's child may run before it asks to replace the files,
    // and again after: killed at either bound, it is answered as a failed
    // write or from what the files hold.
    int childTimeoutSeconds = static_cast<int>(privileged_request::kRequestChildLimit.count());
    // Fault injection of test builds (--test-stall-child): a plan's child
    // stops before it reads anything, so the deadline must end it.
    bool stallChild = false;
    // --test-stop-installed: a plan's child stops itself (as its caller
    // could stop it) once it has replaced the files, before its report.
    bool stopInstalled = false;
    // Test files in place of the system's and the requesting user's.
    std::string systemOdbcIni, systemOdbcinstIni, userOdbcIni, userOdbcinstIni;

    // Nothing, with the reason in `problem`, for a command line we refuse.
    // Under pkexec (`underPkexec`: PKEXEC_UID set) only "--stdin" alone is
    // accepted, whatever the build.
    static std::optional<HelperOptions> parse(const std::vector<std::string>& arguments,
                                              bool underPkexec, std::string& problem);
};
