// Writes ini files through the installer facade, as every program of the
// project does, for tests that need another user or several processes.
//   ini_write_client user|system SECTION KEY VALUE
//     sets one value of odbc.ini; prints "OK" or the writer's reason.
//   ini_write_client user|system --dsns PREFIX COUNT DRIVER
//     adds COUNT DSNs, each with its Server key in one transaction.
//   ini_write_client --hold user|system SECTION KEY VALUE
//     sets the value, prints its process id once it holds the file's lock,
//     and commits on SIGUSR1; then prints "OK" or the writer's reason.
//   ini_write_client --hold-read FILE
//     holds a read lock on FILE, as any reader may, until killed; prints
//     its process id once it holds it.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/InstallerFacade.h"

namespace {

bool addDsn(InstallerFacade& installer, UWORD mode, const std::string& name, const char* driver) {
    InstallerFacade::Transaction action;
    installer.setConfigMode(mode);
    const bool listed = installer.writeDSNToIni(name.c_str(), driver);
    installer.setConfigMode(mode);
    return listed &&
           installer.writePrivateProfileString(name.c_str(), "Server", ("host-" + name).c_str(),
                                               "odbc.ini") &&
           action.commit();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold-read") == 0) {
        struct flock lock {};
        lock.l_type = F_RDLCK;
        const int fd = open(argv[2], O_RDONLY | O_CLOEXEC);
        if (fd < 0 || fcntl(fd, F_OFD_SETLK, &lock) != 0) {
            return 1;
        }
        std::printf("%d\n", static_cast<int>(getpid()));
        std::fflush(stdout);
        pause();
        return 0;
    }
    const bool hold = argc == 6 && std::strcmp(argv[1], "--hold") == 0;
    if (hold) {
        ++argv;
        --argc;
    }
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: ini_write_client user|system SECTION KEY VALUE\n");
        return 2;
    }
    const UWORD mode = std::strcmp(argv[1], "system") == 0 ? ODBC_SYSTEM_DSN : ODBC_USER_DSN;
    InstallerFacade& installer = InstallerFacade::instance();
    if (argc == 6) {
        for (int i = 0; i < std::atoi(argv[4]); ++i) {
            if (!addDsn(installer, mode, argv[3] + std::to_string(i), argv[5])) {
                DWORD code = 0;
                char reason[1024] = {};
                WORD length = 0;
                installer.installerError(1, &code, reason, sizeof reason, &length);
                std::printf("failed at %d: %s\n", i, reason);
                return 1;
            }
        }
        return 0;
    }
    InstallerFacade::Transaction action;
    installer.setConfigMode(mode);
    sigset_t go{};
    sigemptyset(&go);
    sigaddset(&go, SIGUSR1);
    sigprocmask(SIG_BLOCK, &go, nullptr);
    const bool written = installer.writePrivateProfileString(argv[2], argv[3], argv[4], "odbc.ini");
    if (written && hold) {
        std::printf("%d\n", static_cast<int>(getpid()));
        std::fflush(stdout);
        int signal = 0;
        sigwait(&go, &signal);
    }
    if (written && action.commit()) {
        std::printf("OK\n");
        return 0;
    }
    std::printf("%s\n", action.failure().c_str());
    return 1;
}
