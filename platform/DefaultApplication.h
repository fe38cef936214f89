#pragma once

#include <filesystem>

// Opens a file with the desktop's default application for it: xdg-open,
// started directly (no shell) and reaped in the background. Returns 0 when
// it was started, else an errno value; a missing xdg-open is logged.
int openWithDefaultApplication(const std::filesystem::path& file);
