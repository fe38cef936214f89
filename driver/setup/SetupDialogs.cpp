#include "driver/setup/SetupDialogs.h"

#include "driver/setup/AlertPanel.h"
#include "driver/setup/LocalizedStrings.h"
#include "driver/setup/WizardModelBridge.h"
#include "driver/setup/UiModule.h"
#include "platform/SystemLog.h"

namespace {

// The dialogs of the module morvanex-ui.so (a test build may name another
// module with $MORVANEX_TEST_UI_MODULE).
class ModuleDialogs final : public SetupDialogs {
  public:
    explicit ModuleDialogs(const DriverCalls& calls) : calls_(calls) {}

    Outcome runWizard(SetupModel& model) override {
        const MorvanexUiTable* ui = UiModule::table();
        if (!MORVANEX_UI_HAS(MorvanexUiTable, ui, wizard)) {
            SystemLog::notice("DSN wizard not shown: no dialog module");
            return Outcome::NotShown;
        }
        const MorvanexUiHost host = UiModule::host();
        WizardModelBridge wizard(model, calls_);
        const int result = ui->wizard(&host, &wizard.table());
        if (result == 1) {
            return Outcome::Accepted;
        }
        if (result == 0) {
            return Outcome::Cancelled;
        }
        SystemLog::notice("DSN wizard not shown: " + UiModule::resultName(result));
        return Outcome::NotShown;
    }

    int alert(const std::string& title, const std::string& message,
              const std::string& secondButton) override {
        return showAlert(title.c_str(), message.c_str(), secondButton.c_str());
    }

  private:
    DriverCalls calls_;
};

}  // namespace

std::unique_ptr<SetupDialogs> SetupDialogs::forHost(const DriverCalls& calls) {
    return std::make_unique<ModuleDialogs>(calls);
}

SetupDialogResult runSetupDialog(SetupDialogs& dialogs, std::optional<std::string> dsn,
                                 const std::string& attributeText) {
    SetupModel model(std::move(dsn), attributeText);
    return runSetupDialog(dialogs, model);
}

SetupDialogResult runSetupDialog(SetupDialogs& dialogs, SetupModel& model) {
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
