#include "driver/setup/AboutWindow.h"

#include <string>

#include "driver/core/PlatformUtil.h"
#include "driver/core/StringOutput.h"
#include "driver/setup/AboutTraceSwitch.h"
#include "driver/setup/UiModule.h"
#include "platform/SystemLog.h"

namespace {

int traceLine(void*, char* out, size_t outSize) {
    const AboutTraceSwitch::TraceLine line = AboutTraceSwitch::traceLine();
    copyTerminated(out, outSize, line.text);
    return line.visible ? 1 : 0;
}

int clickLogo(void* context, uint32_t modifiers, char* title, size_t titleSize, char* message,
              size_t messageSize) {
    const AboutTraceSwitch::Outcome outcome =
        static_cast<AboutTraceSwitch*>(context)->clickLogo(modifiers);
    if (!outcome.sheetTitle) {
        return 0;
    }
    copyTerminated(title, titleSize, *outcome.sheetTitle);
    copyTerminated(message, messageSize, outcome.sheetMessage);
    return 1;
}

// The callbacks run inside the module's event loop: no exception may
// cross back into it.
template <auto Callback, typename... Args>
int guarded(Args... args) noexcept {
    try {
        return Callback(args...);
    } catch (...) {
        SystemLog::error("About window: the trace switch failed");
        return 0;
    }
}

}  // namespace

bool runAboutWindow() {
    const MorvanexUiTable* ui = UiModule::table();
    if (!MORVANEX_UI_HAS(MorvanexUiTable, ui, about)) {
        return false;
    }
    const MorvanexUiHost host = UiModule::host();
    AboutTraceSwitch traceSwitch;
    const std::string version = getBundleVersion(kDriverBundleIdentifier);
    const std::string logo = std::string(host.resourcesPath) + "/about_logo.png";
    const MorvanexAboutModel model{
        .size = sizeof(MorvanexAboutModel),
        .version = version.c_str(),
        .logoPath = logo.c_str(),
        .traceLine = &guarded<traceLine, void*, char*, size_t>,
        .clickLogo = &guarded<clickLogo, void*, uint32_t, char*, size_t, char*, size_t>,
        .context = &traceSwitch,
    };
    const int result = ui->about(&host, &model);
    if (result != 0) {
        SystemLog::notice("About window not shown: " + UiModule::resultName(result));
    }
    return result == 0;
}
