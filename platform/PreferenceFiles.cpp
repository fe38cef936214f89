#include "platform/PreferenceFiles.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/DescriptorIo.h"
#include "platform/PathResolver.h"

namespace {

// Far beyond any preference list.
constexpr size_t kMaxFileBytes = 1u << 20;

bool rootsAlone(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && info.st_uid == 0 && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string environmentValue(const char* name) {
    const char* value = ::secure_getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

namespace preference_files {

std::filesystem::path systemDirectory() {
    const std::string dirs = environmentValue("XDG_CONFIG_DIRS");
    const std::string first = dirs.substr(0, dirs.find(':'));
    // Relative entries are invalid by the XDG rules and are ignored.
    if (!first.empty() && first.front() == '/') {
        return first;
    }
    return "/etc/xdg";
}

std::optional<std::filesystem::path> userDirectory() {
    const std::string configHome = environmentValue("XDG_CONFIG_HOME");
    if (!configHome.empty() && configHome.front() == '/') {
        return std::filesystem::path(configHome);
    }
    const std::string home = environmentValue("HOME");
    if (home.empty()) {
        return std::nullopt;
    }
    return std::filesystem::path(home) / ".config";
}

std::optional<std::string> read(const std::filesystem::path& file) {
    PathResolver::Rules rules;
    rules.links = PathResolver::forThisProcess();
    PathResolver::Result place;
    std::string problem;
    if (PathResolver::resolve(file, rules, place, problem) != 0 || !S_ISREG(place.info.st_mode)) {
        return std::nullopt;
    }
    const UniqueFd fd(::openat(place.folder.get(), place.name.c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid() ||
        (::geteuid() == 0 && (!rootsAlone(fd.get()) || !rootsAlone(place.folder.get())))) {
        return std::nullopt;
    }
    std::string bytes;
    const auto deadline = descriptor_io::deadlineAfter(std::chrono::seconds(5));
    if (descriptor_io::readToEnd(fd.get(), kMaxFileBytes, deadline, bytes) !=
        descriptor_io::Result::Ok) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace preference_files
