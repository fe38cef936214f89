#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "platform/PathResolver.h"

// Whether a file can be changed by root alone: every folder from "/" down,
// every link on the way and where each link leads belong to root (or to
// `alsoTrusted`, for tests) and are writable by nobody else; a sticky
// folder is no exception, since whoever may create entries in it may take
// the name once the file is gone. The file itself is a regular file (one
// of settings may be missing, where only root could make it), not
// writable by group or others, on a file system mounted neither nosuid nor
// nodev (every mount a user can make carries them). Nothing below /proc,
// /dev or /sys (or on a proc file system) passes: what a link there means
// depends on the process that follows it.
//
// Each check answers 0, or an errno value with the reason in `problem`;
// the reason never repeats the path, which may hold anything.
//
// These are the rules of root's programs, for the helper that writes their
// configuration and for the driver in any process whose effective user is
// root, whatever environment (and so whatever user's ODBC files) it runs
// with.
class TrustedPath {
  public:
    enum class Need {
        Library,
        Program,  // also executable
        Setting,  // a file of settings root's program reads
    };

    // The folder below which root's programs write their own files.
    static constexpr const char* kRootLogFolder = "/var/log";

    // Whether this process loads only trusted libraries and writes its own
    // files only as resolveLogFile allows below kRootLogFolder: whether its
    // effective user is root. Test builds run their suite as root from
    // anywhere: there $MORVANEX_TEST_ROOT_ANYWHERE (not in a set-user-ID
    // process) leaves the rules to the tests that check them.
    static bool keepsRootRules();

    static int check(const std::filesystem::path& path, std::string& problem,
                     Need need = Need::Library, uid_t alsoTrusted = 0);
    // Makes the missing folders on the way to `file`, a settings file of
    // root's own (mode 0700), only below an existing folder root alone can
    // change; 0 once `file` passes check as a setting.
    static int makeFoldersFor(const std::filesystem::path& file, std::string& problem);
    // As check; `resolved` becomes the file every process opens by `path`:
    // absolute, with no link, "." or "..".
    static int resolve(const std::filesystem::path& path, std::filesystem::path& resolved,
                       std::string& problem, Need need = Need::Library, uid_t alsoTrusted = 0);
    // A file that root's programs will create or append to: strictly below
    // `folder`, reached without any link, every folder on the way as in
    // check; the file may be missing, else it is a regular file nobody else
    // may read (no group or other permission bits, no ACL).
    // `resolved` is `path` with "." and ".." resolved.
    static int resolveLogFile(const std::filesystem::path& path,
                              const std::filesystem::path& folder, std::filesystem::path& resolved,
                              std::string& problem, uid_t alsoTrusted = 0);
    // The same but for an existing file's mode, which whoever opens the
    // file checks on what it opened: `place` holds the folder, open, in
    // which the file is then created or opened.
    static int placeLogFile(const std::filesystem::path& path, const std::filesystem::path& folder,
                            PathResolver::Result& place, std::string& problem,
                            uid_t alsoTrusted = 0);
};
