#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

// Whether a file can be changed by root alone: every folder from "/" down,
// every link on the way and where each link leads belong to root (or to
// `alsoTrusted`, for tests) and are writable by nobody else; a sticky
// folder is no exception, since whoever may create entries in it may take
// the name once the file is gone. The file itself is a regular file, not
// writable by group or others.
class TrustedPath {
  public:
    enum class Need { File, Program };  // a program must also be executable

    // 0 when `path` is absolute and passes, else an errno value with the
    // reason in `problem`.
    static int check(const std::filesystem::path& path, std::string& problem,
                     Need need = Need::File, uid_t alsoTrusted = 0);
};
