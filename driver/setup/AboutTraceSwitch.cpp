#include "driver/setup/AboutTraceSwitch.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "driver/core/PlatformUtil.h"
#include "driver/core/SystemDriverPreferences.h"
#include "driver/setup/UiModule.h"
#include "driver/setup/UiModuleTable.h"
#include "platform/OwnAppendFile.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/UserLogFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTraceLineLimit = 4095;
constexpr const char* kNetworkLevel = "NETWORK";

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

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = write(fd, text.data(), text.size());
        if (n <= 0) {
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
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

fs::path AboutTraceSwitch::traceFileFor(std::uint32_t modifiers) {
    const char* home = std::getenv("HOME");
    if (held(modifiers, MORVANEX_UI_SHIFT) || home == nullptr || home[0] == '\0') {
        return fs::path("/tmp") / fileName();
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

std::string AboutTraceSwitch::switchOn(std::uint32_t modifiers) {
    const fs::path path = traceFileFor(modifiers);
    const int fd = openTraceFile(path);
    if (fd >= 0) {
        const bool fresh = held(modifiers, MORVANEX_UI_SHIFT);
        if (!fresh) {
            std::string os;
            getOsVersionString(os);
            writeAll(fd, "// OS: " + os + "\n");
            writeAll(fd, "// Driver: " + getBundleVersion(kDriverBundleIdentifier) + "\n");
        }
        close(fd);
        if (fresh) {
            unlink(path.c_str());
        }
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
    std::string file;
    std::string level;
    if (preferences.getTraceFile().empty()) {
        if (holdsHiddenCombination(modifiers)) {
            outcome.sheetTitle = hiddenCombinationTitle();
            outcome.sheetMessage = "You sneaky thing!";
        }
        file = switchOn(modifiers);
        level = held(modifiers, MORVANEX_UI_ALT) ? kNetworkLevel : "";
    }
    preferences.setTraceFile(file);
    preferences.set("TraceLevel", level);
    preferences.save(true);
    return outcome;
}
