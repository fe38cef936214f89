#include "platform/TrustedPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <string_view>

namespace {

// As the kernel, give up after this many links.
constexpr int kMaxLinks = 40;

struct Walk {
    std::string& problem;
    uid_t alsoTrusted;

    int refuse(const std::filesystem::path& path, std::string_view reason, int error) {
        problem = path.string();
        problem += reason;
        return error;
    }

    int stepProblem(const std::filesystem::path& path, const struct stat& info) {
        if (info.st_uid != 0 && info.st_uid != alsoTrusted) {
            return refuse(path, " is not owned by root", EPERM);
        }
        if (!S_ISLNK(info.st_mode) && (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            return refuse(path, " is writable by group or others", EPERM);
        }
        return 0;
    }
};

std::deque<std::string> partsOf(const std::filesystem::path& path) {
    std::deque<std::string> parts;
    for (const auto& part : path.relative_path()) {
        if (!part.empty() && part != ".") {
            parts.push_back(part.string());
        }
    }
    return parts;
}

// Where the link at `path` leads, as it was written.
bool readLink(const std::filesystem::path& path, std::string& target) {
    std::array<char, 4096> buffer{};
    const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0 || static_cast<size_t>(length) >= buffer.size()) {
        return false;
    }
    target.assign(buffer.data(), static_cast<size_t>(length));
    return true;
}

}  // namespace

int TrustedPath::check(const std::filesystem::path& path, std::string& problem, Need need,
                       uid_t alsoTrusted) {
    Walk walk{problem, alsoTrusted};
    if (!path.is_absolute()) {
        return walk.refuse(path, " is not an absolute path", EINVAL);
    }
    std::filesystem::path current = "/";
    struct stat info {};
    if (lstat("/", &info) != 0) {
        const int error = errno;
        return walk.refuse(current, ": cannot be examined", error);
    }
    if (const int error = walk.stepProblem(current, info)) {
        return error;
    }
    // The parts still to walk; a link puts the parts of its target first.
    std::deque<std::string> pending = partsOf(path);
    int links = 0;
    while (!pending.empty()) {
        const std::string part = std::move(pending.front());
        pending.pop_front();
        if (part == "..") {
            current = current.parent_path();  // `current` holds no link
            continue;
        }
        const std::filesystem::path next = current / part;
        if (lstat(next.c_str(), &info) != 0) {
            const int error = errno;
            return walk.refuse(next, std::string(": ") + std::strerror(error), error);
        }
        if (const int error = walk.stepProblem(next, info)) {
            return error;
        }
        if (S_ISLNK(info.st_mode)) {
            std::string target;
            if (++links > kMaxLinks || !readLink(next, target)) {
                return walk.refuse(next, " leads nowhere that can be checked", ELOOP);
            }
            std::deque<std::string> targetParts = partsOf(target);
            pending.insert(pending.begin(), targetParts.begin(), targetParts.end());
            if (std::filesystem::path(target).is_absolute()) {
                current = "/";
            }
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            current = next;
            continue;
        }
        if (!pending.empty()) {
            return walk.refuse(next, " is not a folder", ENOTDIR);
        }
        current = next;
    }
    if (!S_ISREG(info.st_mode)) {
        return walk.refuse(current, " is not a regular file", EINVAL);
    }
    if (need == Need::Program && (info.st_mode & S_IXUSR) == 0) {
        return walk.refuse(current, " is not an executable file", EACCES);
    }
    return 0;
}
