#include "platform/TrustedPath.h"

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// As the kernel, give up after this many links.
constexpr int kMaxLinks = 40;
// Folders of "/" whose entries differ from one process to the next.
constexpr std::string_view kKernelFolders[] = {"proc", "dev", "sys"};

enum class Links { Follow, Refuse };
enum class Last { MustExist, MayBeMissing };

std::deque<std::string> partsOf(const fs::path& path) {
    std::deque<std::string> parts;
    for (const auto& part : path.relative_path()) {
        if (!part.empty() && part != ".") {
            parts.push_back(part.string());
        }
    }
    return parts;
}

// Where the link at `path` leads, as it was written.
bool readLink(const fs::path& path, std::string& target) {
    std::array<char, 4096> buffer{};
    const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0 || static_cast<size_t>(length) >= buffer.size()) {
        return false;
    }
    target.assign(buffer.data(), static_cast<size_t>(length));
    return true;
}

bool isKernelFolder(const fs::path& current, std::string_view part, const fs::path& next) {
    if (current == "/" && std::find(std::begin(kKernelFolders), std::end(kKernelFolders), part) !=
                              std::end(kKernelFolders)) {
        return true;
    }
    struct statfs system {};
    return statfs(next.c_str(), &system) == 0 && system.f_type == PROC_SUPER_MAGIC;
}

// One walk from "/" down `path`, as the kernel resolves it; `current` ends
// as the resolved path and `info` as what lies there (st_nlink 0 when the
// last step is missing and may be).
struct Walk {
    std::string& problem;
    uid_t alsoTrusted;
    Links links;
    Last last;
    fs::path current = "/";
    struct stat info {};

    int refuse(std::string_view reason, int error) {
        problem = reason;
        return error;
    }

    int stepProblem() {
        if (info.st_uid != 0 && info.st_uid != alsoTrusted) {
            return refuse("a step of the path is not owned by root", EPERM);
        }
        if (!S_ISLNK(info.st_mode) && (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            return refuse("a step of the path is writable by group or others", EPERM);
        }
        return 0;
    }

    int run(const fs::path& path) {
        if (!path.is_absolute()) {
            return refuse("not an absolute path", EINVAL);
        }
        if (lstat("/", &info) != 0) {
            return refuse(std::strerror(errno), errno);
        }
        if (const int error = stepProblem()) {
            return error;
        }
        // The parts still to walk; a link puts the parts of its target first.
        std::deque<std::string> pending = partsOf(path);
        int followed = 0;
        while (!pending.empty()) {
            const std::string part = std::move(pending.front());
            pending.pop_front();
            if (part == "..") {
                current = current.parent_path();  // `current` holds no link
                continue;
            }
            const fs::path next = current / part;
            if (lstat(next.c_str(), &info) != 0) {
                const int error = errno;
                if (error == ENOENT && pending.empty() && last == Last::MayBeMissing) {
                    current = next;
                    info = {};
                    return 0;
                }
                return refuse(std::strerror(error), error);
            }
            if (const int error = stepProblem()) {
                return error;
            }
            if (S_ISLNK(info.st_mode)) {
                std::string target;
                if (links == Links::Refuse) {
                    return refuse("a step of the path is a symbolic link", ELOOP);
                }
                if (++followed > kMaxLinks || !readLink(next, target)) {
                    return refuse("a link on the way leads nowhere that can be checked", ELOOP);
                }
                std::deque<std::string> targetParts = partsOf(target);
                pending.insert(pending.begin(), targetParts.begin(), targetParts.end());
                if (fs::path(target).is_absolute()) {
                    current = "/";
                }
                continue;
            }
            if (S_ISDIR(info.st_mode) && isKernelFolder(current, part, next)) {
                return refuse("passes through /proc, /dev or /sys", EPERM);
            }
            if (!S_ISDIR(info.st_mode) && !pending.empty()) {
                return refuse("a file stands where a folder should be", ENOTDIR);
            }
            current = next;
        }
        return 0;
    }
};

}  // namespace

int TrustedPath::check(const fs::path& path, std::string& problem, Need need, uid_t alsoTrusted) {
    fs::path resolved;
    return resolve(path, resolved, problem, need, alsoTrusted);
}

int TrustedPath::resolve(const fs::path& path, fs::path& resolved, std::string& problem, Need need,
                         uid_t alsoTrusted) {
    Walk walk{problem, alsoTrusted, Links::Follow, Last::MustExist};
    if (const int error = walk.run(path)) {
        return error;
    }
    if (!S_ISREG(walk.info.st_mode)) {
        return walk.refuse("not a regular file", EINVAL);
    }
    if (need == Need::Program && (walk.info.st_mode & S_IXUSR) == 0) {
        return walk.refuse("not an executable file", EACCES);
    }
    resolved = walk.current;
    return 0;
}

int TrustedPath::resolveLogFile(const fs::path& path, const fs::path& folder, fs::path& resolved,
                                std::string& problem, uid_t alsoTrusted) {
    Walk walk{problem, alsoTrusted, Links::Refuse, Last::MayBeMissing};
    if (const int error = walk.run(path)) {
        return error;
    }
    const fs::path below = walk.current.lexically_relative(folder);
    if (below.empty() || below == "." || *below.begin() == "..") {
        return walk.refuse("not below " + folder.string(), EPERM);
    }
    if (walk.info.st_nlink != 0 && !S_ISREG(walk.info.st_mode)) {
        return walk.refuse("not a regular file", EINVAL);
    }
    resolved = walk.current;
    return 0;
}
