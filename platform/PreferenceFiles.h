#pragma once

#include <filesystem>
#include <optional>

// Where preference property lists live: the system folder is the first
// entry of $XDG_CONFIG_DIRS (default /etc/xdg), the user's $XDG_CONFIG_HOME
// (default ~/.config).
namespace preference_files {

std::filesystem::path systemDirectory();
// Nothing when neither XDG_CONFIG_HOME nor HOME names a folder.
std::optional<std::filesystem::path> userDirectory();

}  // namespace preference_files
