#include "driver/setup/UiModule.h"

#include <dlfcn.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <set>

#include "driver/core/StringOutput.h"
#include "driver/setup/AlertPanel.h"
#include "platform/Bundle.h"
#include "platform/SystemLog.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kModuleFileName = "morvanex-ui.so";

// An address inside the driver module.
void moduleAnchor() {}

std::optional<fs::path> thisModuleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&moduleAnchor), &info) == 0 ||
        info.dli_fname == nullptr) {
        return std::nullopt;
    }
    return fs::path(info.dli_fname).parent_path();
}

std::optional<Bundle> driverBundle() {
    if (auto own = Bundle::ofThisModule()) {
        if (own->identifier() == kDriverBundleIdentifier) {
            return own;
        }
    }
    return Bundle::withIdentifier(kDriverBundleIdentifier);
}

const MorvanexUiTable* openTable(const fs::path& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* why = dlerror();
        SystemLog::error("Cannot open the dialog module " + path.string() + ": " +
                         (why != nullptr ? why : "unknown error"));
        return nullptr;
    }
    auto entry = reinterpret_cast<MorvanexUiEntry>(dlsym(handle, MORVANEX_UI_ENTRY_NAME));
    const MorvanexUiTable* table = entry != nullptr ? entry(MORVANEX_UI_ABI_VERSION) : nullptr;
    if (table == nullptr || table->abiVersion != MORVANEX_UI_ABI_VERSION) {
        SystemLog::error("The dialog module " + path.string() + " speaks another interface");
        return nullptr;
    }
    return table;
}

void logLine(void*, const char* message) {
    SystemLog::notice(message != nullptr ? message : "");
}

size_t localize(void*, const char* key, char* out, size_t outSize) {
    return copyTerminated(out, outSize, copyDefaultLocalizedString(key != nullptr ? key : ""));
}

// Runs inside the module's dialog: nothing may escape, and a Help button
// that does nothing must say why.
void openHelp(void*, const char* page) noexcept {
    try {
        if (page == nullptr || openHelpPage(getDialogLanguage(), page) == 0) {
            return;
        }
        SystemLog::notice(std::string("Help page not opened: ") + page);
        showAlert(copyLocalizedString("The help page could not be opened.").c_str(),
                  copyLocalizedString(
                      "Make sure a web browser and xdg-open (package xdg-utils) are installed.")
                      .c_str(),
                  nullptr);
    } catch (...) {
        SystemLog::error("Help page not opened");
    }
}

// Texts lent to the module for the life of the process: a nested dialog
// (an alert over the wizard) makes a new host table while the outer one is
// still in use, so a text handed out must never move or change.
const char* lastingText(const std::string& text) {
    static std::mutex mutex;
    static std::set<std::string> texts;
    std::lock_guard lock(mutex);
    return texts.insert(text).first->c_str();
}

}  // namespace

fs::path UiModule::modulePath() {
#ifdef MORVANEX_TEST_HOOKS
    if (const char* test = ::secure_getenv("MORVANEX_TEST_UI_MODULE"); test != nullptr && *test) {
        return test;
    }
#endif
    if (auto bundle = driverBundle()) {
        const fs::path inBundle = bundle->contentsPath() / "MacOS" / kModuleFileName;
        std::error_code error;
        if (fs::exists(inBundle, error)) {
            return inBundle;
        }
    }
    return thisModuleFolder().value_or(fs::path()) / kModuleFileName;
}

const MorvanexUiTable* UiModule::table() {
    static std::mutex mutex;
    static std::map<fs::path, const MorvanexUiTable*> opened;
    const fs::path path = modulePath();
    std::lock_guard lock(mutex);
    auto found = opened.find(path);
    if (found != opened.end()) {
        return found->second;
    }
    const MorvanexUiTable* table = openTable(path);
    if (table != nullptr) {
        opened.emplace(path, table);
    }
    return table;
}

MorvanexUiHost UiModule::host() {
    auto bundle = driverBundle();
    MorvanexUiHost host{};
    host.abiVersion = MORVANEX_UI_ABI_VERSION;
    host.size = sizeof(MorvanexUiHost);
    host.resourcesPath = lastingText(bundle ? bundle->resourcesPath().string() : std::string());
    host.log = &logLine;
    host.localize = &localize;
    host.openHelp = &openHelp;
    return host;
}

std::string UiModule::resultName(int result) {
    return result == MORVANEX_UI_NOT_SHOWN ? "not shown" : std::to_string(result);
}
