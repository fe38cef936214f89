#pragma once

#include <functional>

#include "driver/setup/UiModuleTable.h"

// Where the module's dialogs run. A QApplication is made only when none
// exists and a display is available (DISPLAY or WAYLAND_DISPLAY reachable,
// or QT_QPA_PLATFORM set), with the process locale kept as it was. A
// dialog runs on the application's thread: directly when called there,
// else handed over (blocking) when that thread runs an event loop; other
// callers are refused.
class GuiThread {
  public:
    // The dialog's result, or MORVANEX_UI_NOT_SHOWN (logged) when it cannot
    // run.
    static int run(const MorvanexUiHost* host, const std::function<int()>& dialog);

    // Whether a display can be reached, and why not.
    static bool displayAvailable(const char** reason);

    // How long a caller on another thread waits for the application's
    // event loop to take the dialog before giving up.
    static constexpr int kHandOverWaitMs = 3000;
};

// A line for the host's log.
void logToHost(const MorvanexUiHost* host, const char* message);
