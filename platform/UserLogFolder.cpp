#include "platform/UserLogFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "platform/TrustedPath.h"

namespace fs = std::filesystem;

std::optional<fs::path> userLogFolder() {
    // Root's files lie below /var/log alone; a folder made along a path of
    // its environment would be made where another user's links lead.
    if (TrustedPath::keepsRootRules()) {
        return std::nullopt;
    }
    fs::path state;
    if (const char* xdg = ::secure_getenv("XDG_STATE_HOME"); xdg != nullptr && xdg[0] == '/') {
        state = xdg;
    } else if (const char* home = ::secure_getenv("HOME"); home != nullptr && home[0] == '/') {
        state = fs::path(home) / ".local" / "state";
    } else {
        return std::nullopt;
    }
    std::error_code error;
    fs::create_directories(state, error);
    const fs::path folder = state / "morvanex";
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return std::nullopt;
    }
    struct stat info {};
    // A link or a file in its place is not our folder.
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) {
        return std::nullopt;
    }
    return folder;
}
