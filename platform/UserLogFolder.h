#pragma once

#include <filesystem>
#include <optional>

// The per-user folder for the driver's own log files:
// $XDG_STATE_HOME/morvanex, else ~/.local/state/morvanex. It is created with
// mode 0700 (its parents as needed); nothing when neither variable names a
// home or the folder cannot be made, and always in a process that keeps
// root's rules (TrustedPath::keepsRootRules), which makes no folder there.
std::optional<std::filesystem::path> userLogFolder();
