#pragma once

#include <memory>
#include <optional>
#include <string>

#include "driver/setup/ConnectionTest.h"
#include "driver/setup/SetupModel.h"

// The dialogs the setup entry needs, behind one interface: the dialog
// module serves them (tests name a scripted module in its place).
class SetupDialogs {
  public:
    enum class Outcome { NotShown, Cancelled, Accepted };

    virtual ~SetupDialogs() = default;
    // Runs the wizard modally over `model`, which holds the controls'
    // values afterwards.
    virtual Outcome runWizard(SetupModel& model) = 0;
    // 0 OK, 1 the second button; when nothing can be shown, the second
    // button (every second button of the driver declines), else 0.
    virtual int alert(const std::string& title, const std::string& message,
                      const std::string& secondButton) = 0;

    // The dialog module's dialogs. The wizard's connection test calls
    // `calls`.
    static std::unique_ptr<SetupDialogs> forHost(const DriverCalls& calls);
};

// What the wizard hands back to the setup entry.
struct SetupDialogResult {
    SetupDialogs::Outcome outcome = SetupDialogs::Outcome::Cancelled;
    // The attribute list (items ended by NUL, then an empty item) when the
    // wizard was accepted and something changed.
    std::optional<std::string> attributes;
};

// Opens the wizard for the DSN `dsn` (configuring) or for a new one (no
// name) with the settings of `attributeText`.
SetupDialogResult runSetupDialog(SetupDialogs& dialogs, std::optional<std::string> dsn,
                                 const std::string& attributeText);
// The same over a model of the caller's, which may open the wizard again.
SetupDialogResult runSetupDialog(SetupDialogs& dialogs, SetupModel& model);
