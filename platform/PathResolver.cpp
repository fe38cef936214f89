#include "platform/PathResolver.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

// As the kernel, give up after this many links.
constexpr int kMaxLinks = 40;
// Folders of "/" whose entries differ from one process to the next.
constexpr std::string_view kKernelFolders[] = {"proc", "dev", "sys"};
constexpr int kStepFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;

std::deque<std::string> partsOf(const fs::path& path) {
    std::deque<std::string> parts;
    for (const auto& part : path.relative_path()) {
        if (!part.empty() && part != ".") {
            parts.push_back(part.string());
        }
    }
    return parts;
}

// Where the link open on `fd` leads, as it was written.
bool readLink(int fd, std::string& target) {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlinkat(fd, "", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) {
        return false;
    }
    target.assign(buffer.data(), static_cast<size_t>(length));
    return true;
}

bool isKernelFolder(int fd, const fs::path& current, std::string_view part) {
    if (current == "/" && std::find(std::begin(kKernelFolders), std::end(kKernelFolders), part) !=
                              std::end(kKernelFolders)) {
        return true;
    }
    struct statfs system {};
    return ::fstatfs(fd, &system) == 0 && system.f_type == PROC_SUPER_MAGIC;
}

// A user's media carries nosuid and nodev: root loads nothing from there.
bool onUsersMount(int fd) {
    struct statvfs system {};
    return ::fstatvfs(fd, &system) != 0 || (system.f_flag & (ST_NOSUID | ST_NODEV)) != 0;
}

// `folder` opened by the kernel without following any link, or -1 with
// errno: ENOSYS or EPERM where openat2 is missing or filtered.
int openFolderWithoutLinks(const fs::path& folder) {
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(syscall(SYS_openat2, AT_FDCWD, folder.c_str(), &how, sizeof how));
}

// One walk from "/" down the path, one step at a time, each by the
// descriptor of the folder before it.
class Walk {
  public:
    Walk(const PathResolver::Rules& rules, std::string& problem)
        : rules_(rules), problem_(problem), mustTrust_(rules.trustedSteps) {}

    int run(const fs::path& path, PathResolver::Result& out) {
        folders_.emplace_back(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!folders_.back().valid() || ::fstat(folders_.back().get(), &info_) != 0) {
            return refuse(std::strerror(errno), errno);
        }
        if (const int error = step(folders_.back().get(), "")) {
            return error;
        }
        std::deque<std::string> pending = partsOf(path);
        while (!pending.empty()) {
            std::string part = std::move(pending.front());
            pending.pop_front();
            if (part == "..") {
                if (folders_.size() > 1) {
                    folders_.pop_back();
                    current_ = current_.parent_path();
                }
                continue;
            }
            const bool last = pending.empty();
            UniqueFd fd(::openat(folders_.back().get(), part.c_str(), kStepFlags));
            if (!fd.valid()) {
                return missing(part, last, out);
            }
            if (::fstat(fd.get(), &info_) != 0) {
                return refuse(std::strerror(errno), errno);
            }
            if (const int error = step(fd.get(), part)) {
                return error;
            }
            if (S_ISLNK(info_.st_mode) && (!last || rules_.lastLink)) {
                if (const int error = follow(fd.get(), pending)) {
                    return error;
                }
                continue;
            }
            if (last) {
                return finish(std::move(part), out);
            }
            if (!S_ISDIR(info_.st_mode)) {
                return refuse("a file stands where a folder should be", ENOTDIR);
            }
            folders_.push_back(std::move(fd));
            current_ /= part;
        }
        return refuse("names a folder, not a file", EISDIR);
    }

    int refuse(std::string_view reason, int error) {
        problem_ = reason;
        return error;
    }

  private:
    // Whether root alone may change this step; once a link was followed
    // every later step must be so.
    int step(int fd, std::string_view part) {
        std::string_view doubt;
        if (info_.st_uid != 0 && info_.st_uid != rules_.alsoTrusted) {
            doubt = "a step of the path is not owned by root";
        } else if (!S_ISLNK(info_.st_mode) && (info_.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            doubt = "a step of the path is writable by group or others";
        } else if (S_ISDIR(info_.st_mode) && isKernelFolder(fd, current_, part)) {
            doubt = "passes through /proc, /dev or /sys";
        }
        if (!doubt.empty() && mustTrust_) {
            return refuse(doubt, EPERM);
        }
        if (doubt_.empty()) {
            doubt_ = doubt;
        }
        if (rules_.suidMounts && !S_ISLNK(info_.st_mode) && onUsersMount(fd)) {
            return refuse("lies on a file system mounted nosuid or nodev", EPERM);
        }
        return 0;
    }

    int follow(int fd, std::deque<std::string>& pending) {
        if (rules_.links == PathResolver::Links::Refuse) {
            return refuse("a step of the path is a symbolic link", ELOOP);
        }
        if (rules_.links == PathResolver::Links::FollowTrusted) {
            if (!doubt_.empty()) {
                return refuse("a symbolic link that root does not follow: " + std::string(doubt_),
                              EPERM);
            }
            mustTrust_ = true;
        }
        std::string target;
        if (++followed_ > kMaxLinks || !readLink(fd, target)) {
            return refuse("a link on the way leads nowhere that can be checked", ELOOP);
        }
        std::deque<std::string> targetParts = partsOf(target);
        pending.insert(pending.begin(), targetParts.begin(), targetParts.end());
        if (fs::path(target).is_absolute()) {
            folders_.resize(1);
            current_ = "/";
        }
        return 0;
    }

    int missing(std::string& part, bool last, PathResolver::Result& out) {
        const int error = errno;
        if (error == ENOENT && last && rules_.mayBeMissing) {
            info_ = {};
            return finish(std::move(part), out);
        }
        return refuse(std::strerror(error), error);
    }

    int finish(std::string name, PathResolver::Result& out) {
        out.folder = std::move(folders_.back());
        out.path = current_ / name;
        out.name = std::move(name);
        out.info = info_;
        return 0;
    }

    const PathResolver::Rules& rules_;
    std::string& problem_;
    bool mustTrust_;
    std::string_view doubt_;  // why the way so far is not root's alone
    std::vector<UniqueFd> folders_;
    fs::path current_ = "/";
    struct stat info_ {};
    int followed_ = 0;
};

// Without per-step checks a path with no link at all needs no walk: the
// kernel opens its folder, refusing any link on the way.
enum class Quick { Done, Walk, Refused };

Quick withoutLinks(const fs::path& path, const PathResolver::Rules& rules,
                   PathResolver::Result& out, int& error, std::string& problem) {
    // ".." after a link means where the link leads: only the walk knows.
    const std::deque<std::string> parts = partsOf(path);
    const fs::path normal = path.lexically_normal();
    if (!normal.has_filename() || std::find(parts.begin(), parts.end(), "..") != parts.end()) {
        return Quick::Walk;
    }
    UniqueFd folder(openFolderWithoutLinks(normal.parent_path()));
    if (!folder.valid()) {
        error = errno;
        if (error == ENOSYS || error == EPERM ||
            (error == ELOOP && rules.links == PathResolver::Links::FollowTrusted)) {
            return Quick::Walk;
        }
        problem = error == ELOOP ? "a step of the path is a symbolic link" : std::strerror(error);
        return Quick::Refused;
    }
    struct stat info {};
    const std::string name = normal.filename().string();
    if (::fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        error = errno;
        if (error != ENOENT || !rules.mayBeMissing) {
            problem = std::strerror(error);
            return Quick::Refused;
        }
        info = {};
    } else if (S_ISLNK(info.st_mode) && rules.lastLink) {
        return Quick::Walk;
    }
    out.folder = std::move(folder);
    out.name = name;
    out.path = normal;
    out.info = info;
    return Quick::Done;
}

}  // namespace

PathResolver::Links PathResolver::forThisProcess() {
    return ::geteuid() == 0 ? Links::FollowTrusted : Links::Follow;
}

int PathResolver::resolve(const fs::path& path, const Rules& rules, Result& out,
                          std::string& problem) {
    out = Result();
    std::error_code failed;
    const fs::path absolute = fs::absolute(path, failed);
    if (failed || path.empty()) {
        problem = "not a path";
        return EINVAL;
    }
    if (rules.links != Links::Follow && !rules.trustedSteps && !rules.suidMounts) {
        int error = 0;
        switch (withoutLinks(absolute, rules, out, error, problem)) {
            case Quick::Done:
                return 0;
            case Quick::Refused:
                return error;
            case Quick::Walk:
                break;
        }
        out = Result();
    }
    Walk walk(rules, problem);
    return walk.run(absolute, out);
}
