#include "driver/setup/SetupDialogs.h"

#include <cstdlib>

#include "driver/setup/LocalizedStrings.h"
#include "driver/setup/ScriptedSetupDialogs.h"

namespace {

// Until the dialog module serves the wizard, a host has no dialog to show.
class ModuleDialogs final : public SetupDialogs {
  public:
    explicit ModuleDialogs(const DriverCalls& calls) : calls_(calls) {}
    Outcome runWizard(SetupModel&) override { return Outcome::NotShown; }
    int alert(const std::string&, const std::string&, const std::string& secondButton) override {
        return secondButton.empty() ? 0 : 1;
    }

  private:
    [[maybe_unused]] const DriverCalls& calls_;
};

}  // namespace

std::unique_ptr<SetupDialogs> SetupDialogs::forHost(const DriverCalls& calls) {
#ifdef MORVANEX_TEST_HOOKS
    if (const char* script = std::getenv("MORVANEX_UI_SCRIPT"); script != nullptr && *script) {
        return std::make_unique<ScriptedSetupDialogs>(script);
    }
#endif
    return std::make_unique<ModuleDialogs>(calls);
}

SetupDialogResult runSetupDialog(SetupDialogs& dialogs, std::optional<std::string> dsn,
                                 const std::string& attributeText) {
    SetupModel model(std::move(dsn), attributeText);
    SetupDialogResult result;
    result.outcome = dialogs.runWizard(model);
    if (result.outcome != SetupDialogs::Outcome::Accepted) {
        return result;
    }
    std::optional<std::string> list = model.attributeList();
    if (!list) {
        // Cut settings would be saved as something the user did not enter.
        dialogs.alert(copyDefaultLocalizedString("The DSN settings are too long to be saved."), "",
                      "");
        result.outcome = SetupDialogs::Outcome::Cancelled;
        return result;
    }
    if (model.changed()) {
        result.attributes = std::move(list);
    }
    return result;
}
