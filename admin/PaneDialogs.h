#pragma once

#include <optional>
#include <string>

#include "admin/IniAccess.h"

// What the pane controllers ask of the windows: answers, alerts and the
// modal forms. The windows implement it; tests answer from a script.
class PaneDialogs {
  public:
    virtual ~PaneDialogs() = default;
    // True when the user chose "OK".
    virtual bool confirm(const std::string& title, const std::string& message) = 0;
    virtual void alert(const std::string& title, const std::string& message) = 0;
    // The driver picked in the driver list; nothing when cancelled.
    virtual std::optional<std::string> pickDriver() = 0;
    virtual void runDsnForm(const std::string& dsn, const std::string& driver,
                            IniAccess::Mode mode) = 0;
    // The main window, handed to the driver manager as the parent handle.
    virtual void* windowHandle() = 0;
};
