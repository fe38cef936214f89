#include <signal.h>
#include <sys/stat.h>
#include <syslog.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "src/QuillmarkHelper/HelperOptions.h"
#include "src/QuillmarkHelper/ServiceLoop.h"

int main(int argc, char** argv) {
    // pkexec names its caller here; nothing else of the environment is
    // trusted or kept.
    const char* pkexecUid = std::getenv("PKEXEC_UID");
    const std::optional<std::string> requester =
        pkexecUid ? std::optional<std::string>(pkexecUid) : std::nullopt;
    std::string problem;
    std::optional<HelperOptions> options = HelperOptions::parse(
        std::vector<std::string>(argv + 1, argv + argc), pkexecUid != nullptr, problem);
    if (!options) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    // systemd names the unit's runtime folder.
    if (const char* runtime = secure_getenv("RUNTIME_DIRECTORY"); runtime && *runtime == '/') {
        options->runtimeFolder = runtime;
    }
    clearenv();
    // What the helper makes is its owner's alone (the unit says the same);
    // the files it replaces keep their own modes.
    umask(077);
    signal(SIGPIPE, SIG_IGN);
    openlog("QuillmarkHelper", LOG_PID | (options->logToStderr ? LOG_PERROR : 0), LOG_AUTHPRIV);

    switch (options->mode) {
        case HelperOptions::Mode::Inetd:
            return service_loop::serveInetd(*options);
        case HelperOptions::Mode::Listen:
            return service_loop::serveListen(*options);
        case HelperOptions::Mode::Stdin:
            return service_loop::serveStdin(*options, requester);
    }
    return 1;
}
