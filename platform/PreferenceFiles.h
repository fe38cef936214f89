#pragma once

#include <filesystem>
#include <optional>
#include <string>

// Where preference property lists live: the system folder is the first
// entry of $XDG_CONFIG_DIRS (default /etc/xdg), the user's $XDG_CONFIG_HOME
// (default ~/.config).
namespace preference_files {

std::filesystem::path systemDirectory();
// Nothing when neither XDG_CONFIG_HOME nor HOME names a folder.
std::optional<std::filesystem::path> userDirectory();
// The bytes of a preference file; nothing when it cannot be read or, in a
// process running as root, when root does not own it or anybody else may
// write it or its folder: a user's environment must not steer root.
std::optional<std::string> read(const std::filesystem::path& file);

}  // namespace preference_files
