#include "driver/setup/AboutTraceSwitch.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "driver/core/PlatformUtil.h"
#include "driver/core/SystemDriverPreferences.h"
#include "driver/setup/UiModule.h"
#include "driver/setup/UiModuleTable.h"
#include "platform/DescriptorIo.h"
#include "platform/OwnAppendFile.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/UserLogFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTraceLineLimit = 4095;
constexpr const char* kNetworkLevel = "NETWORK";
// Where the system-wide trace goes: the helper accepts no other folder.
constexpr const char* kSystemLogFolder = "/var/log";

// The hidden combination, named in the sheet's title in this order.
struct ModifierName {
    std::uint32_t bit;
    const char* name;
};
constexpr ModifierName kHiddenCombination[] = {
    {MORVANEX_UI_CONTROL, "Control"},
    {MORVANEX_UI_ALT, "Alt"},
    {MORVANEX_UI_SHIFT, "Shift"},
};

SystemDriverPreferences driverPreferences() {
    return SystemDriverPreferences(kDriverBundleIdentifier, privileged_request::kDriverProductName,
                                   privileged_request::kDriverTeamIdentifier, "");
}

bool held(std::uint32_t modifiers, std::uint32_t bit) {
    return (modifiers & bit) != 0;
}

bool holdsHiddenCombination(std::uint32_t modifiers) {
    for (const ModifierName& key : kHiddenCombination) {
        if (!held(modifiers, key.bit)) {
            return false;
        }
    }
    return true;
}

std::string hiddenCombinationTitle() {
    std::string title = "Modifier keys";
    for (const ModifierName& key : kHiddenCombination) {
        title.append(" ").append(key.name);
    }
    return title + " detected";
}

std::string fileName() {
    return std::string(kDriverShortName) + ".log";
}

}  // namespace

AboutTraceSwitch::TraceLine AboutTraceSwitch::traceLine() {
    SystemDriverPreferences preferences = driverPreferences();
    const std::string file = preferences.getTraceFile();
    if (file.empty()) {
        return {};
    }
    const std::string level = preferences.get("TraceLevel");
    std::string text = level.empty() ? file : "(" + level + ") " + file;
    if (text.size() > kTraceLineLimit) {
        text.resize(kTraceLineLimit);
    }
    return {true, text};
}

bool AboutTraceSwitch::isSystemWide(std::uint32_t modifiers) {
    const char* home = ::secure_getenv("HOME");
    return held(modifiers, MORVANEX_UI_SHIFT) || home == nullptr || home[0] == '\0';
}

fs::path AboutTraceSwitch::traceFileFor(std::uint32_t modifiers) {
    const char* home = ::secure_getenv("HOME");
    if (isSystemWide(modifiers)) {
        return fs::path(kSystemLogFolder) / fileName();
    }
    if (held(modifiers, MORVANEX_UI_CONTROL)) {
        return fs::path(home) / "Documents" / "ODBC Documents" / "Excel" / fileName();
    }
    // Without a usable log folder the file cannot be opened and only the
    // setting is stored.
    return userLogFolder().value_or(fs::path(home) / ".local" / "state" / kDriverShortName) /
           fileName();
}

int AboutTraceSwitch::openTraceFile(const fs::path& path) {
    return OwnAppendFile::open(path).release();
}

// A user's own trace file starts with a header; where root's programs
// write, the window writes nothing.
std::string AboutTraceSwitch::switchOn(std::uint32_t modifiers) {
    const fs::path path = traceFileFor(modifiers);
    const int fd = isSystemWide(modifiers) ? -1 : openTraceFile(path);
    if (fd >= 0) {
        std::string os;
        getOsVersionString(os);
        descriptor_io::writeToFile(fd, "// OS: " + os + "\n");
        descriptor_io::writeToFile(
            fd, "// Driver: " + getBundleVersion(kDriverBundleIdentifier) + "\n");
        close(fd);
    }
    return path.string();
}

AboutTraceSwitch::Outcome AboutTraceSwitch::clickLogo(std::uint32_t modifiers) {
    Outcome outcome;
    if (++clicks_ < kClicksToSwitch) {
        return outcome;
    }
    clicks_ = 0;
    outcome.switched = true;
    SystemDriverPreferences preferences = driverPreferences();
    if (preferences.getTraceFile().empty()) {
        if (holdsHiddenCombination(modifiers)) {
            outcome.sheetTitle = hiddenCombinationTitle();
            outcome.sheetMessage = "You sneaky thing!";
        }
        preferences.setTraceFile(switchOn(modifiers));
        preferences.set("TraceLevel", held(modifiers, MORVANEX_UI_ALT) ? kNetworkLevel : "");
        if (isSystemWide(modifiers)) {
            saveSystemWide(preferences, "on", outcome);
        } else {
            preferences.saveForUser();
        }
        return outcome;
    }
    // Off: the user's own trace, then the system-wide one if it is still on.
    preferences.setTraceFile("");
    preferences.set("TraceLevel", "");
    preferences.saveForUser();
    if (!driverPreferences().getTraceFile().empty()) {
        saveSystemWide(preferences, "off", outcome);
    }
    return outcome;
}

// The system's settings need the privileged helper; when neither this
// process nor the helper saved them, the sheet says so and why.
void AboutTraceSwitch::saveSystemWide(SystemDriverPreferences& preferences, const char* state,
                                      Outcome& outcome) {
    if (preferences.save(true)) {
        return;
    }
    outcome.sheetTitle = std::string("The system-wide trace was not switched ") + state;
    outcome.sheetMessage =
        "The setting could not be saved, and the privileged helper did not save it either.";
    if (!preferences.failure().empty()) {
        outcome.sheetMessage += "\n" + preferences.failure();
    }
}
