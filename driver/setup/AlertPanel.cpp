#include "driver/setup/AlertPanel.h"

#include <string>

#include "driver/setup/UiModule.h"
#include "platform/SystemLog.h"

int showAlert(const char* title, const char* message, const char* secondButton) {
    const bool twoButtons = secondButton != nullptr && secondButton[0] != '\0';
    const MorvanexUiTable* ui = UiModule::table();
    int response = MORVANEX_UI_NOT_SHOWN;
    if (MORVANEX_UI_HAS(MorvanexUiTable, ui, alert)) {
        const MorvanexUiHost host = UiModule::host();
        response =
            ui->alert(&host, title != nullptr ? title : "", message != nullptr ? message : "",
                      twoButtons ? secondButton : nullptr);
    }
    if (response == 0 || (response == 1 && twoButtons)) {
        return response;
    }
    SystemLog::notice(std::string("Alert not shown: ") + (title != nullptr ? title : ""));
    return twoButtons ? 1 : 0;
}
