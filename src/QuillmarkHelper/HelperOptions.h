#pragma once

#include <optional>
#include <string>
#include <vector>

// The command line. --inetd serves the connection on standard input,
// --listen PATH serves a socket of its own (tests), --stdin applies one raw
// request text for pkexec. Only --listen takes the file and program
// overrides that tests need; --stdin takes nothing else, since whoever runs
// it through pkexec chooses its arguments.
struct HelperOptions {
    enum class Mode { Inetd, Listen, Stdin };
    Mode mode = Mode::Inetd;
    std::string socketPath;
    std::string adminGroup = "sudo";
    std::string pkcheck = "/usr/bin/pkcheck";
    bool logToStderr = false;
    // Seconds a plan's child may run before it is killed and the request
    // answered as a failed write.
    int childTimeoutSeconds = 60;
    // Fault injection of test builds (--test-stall-child): a plan's child
    // stops before it reads anything, so the deadline must end it.
    bool stallChild = false;
    // Test files in place of the system's and the requesting user's.
    std::string systemOdbcIni, systemOdbcinstIni, userOdbcIni, userOdbcinstIni;

    // Nothing, with the reason in `problem`, for a command line we refuse.
    static std::optional<HelperOptions> parse(const std::vector<std::string>& arguments,
                                              std::string& problem);
};
