#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <string>

#include "platform/UniqueFd.h"

// The one way a path is turned into the folder that holds its file and the
// file's name there, by descriptor from "/" down, so that what was checked
// is what gets opened. Which links are followed is the caller's rule: a
// process not running as root follows them all, as the kernel would; root
// follows a link only when the link, the whole way to it and the whole way
// on from it belong to root and nobody else may write them. A link another
// user controls must not take root's writes, nor hand root a file to read.
class PathResolver {
  public:
    enum class Links {
        Follow,         // every link, as the kernel does
        FollowTrusted,  // only a link whose way, before and after, is root's alone
        Refuse,         // none, at any step
    };
    struct Rules {
        Links links = Links::Follow;
        bool lastLink = true;       // a link as the last step is followed, else it is the answer
        bool mayBeMissing = false;  // the last step may not exist
        bool trustedSteps = false;  // every step must be root's alone, as after a link
        bool suidMounts = false;    // every step on a file system mounted neither nosuid nor nodev
        uid_t alsoTrusted = 0;      // counts as root, for tests
    };
    struct Result {
        UniqueFd folder;             // O_PATH descriptor of the folder holding the file
        std::string name;            // the file's name in `folder`
        std::filesystem::path path;  // absolute, with no link, "." or ".."
        struct stat info {};         // what lies there; st_nlink 0 when missing
    };

    // The rule of this process: FollowTrusted as root, else Follow.
    static Links forThisProcess();
    // 0, or an errno value with the reason in `problem`, which never
    // repeats the path.
    static int resolve(const std::filesystem::path& path, const Rules& rules, Result& out,
                       std::string& problem);
};
