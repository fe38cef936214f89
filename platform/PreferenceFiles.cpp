#include "platform/PreferenceFiles.h"

#include <cstdlib>
#include <string>

namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
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

}  // namespace preference_files
