#pragma once

#include <filesystem>
#include <string>

#include "driver/setup/LocalizedStrings.h"
#include "driver/setup/UiModuleTable.h"

// The driver's side of the dialog module: finds morvanex-ui.so beside the
// driver module in its bundle, opens it (RTLD_NOW | RTLD_LOCAL |
// RTLD_NODELETE) the first time a dialog is needed, and lends it the host
// table. The driver itself never links a GUI toolkit.
class UiModule {
  public:
    // The module's table, or null (logged) when it cannot be opened or
    // speaks another ABI version.
    static const MorvanexUiTable* table();
    // The host table for one call: the bundle's Resources folder, the log,
    // localised strings and help pages.
    static MorvanexUiHost host();
    // Where the module is looked for. Test builds honour
    // $MORVANEX_TEST_UI_MODULE, so that tests can put a scripted module in
    // its place.
    static std::filesystem::path modulePath();

    // The text of a UI answer for the log ("not shown" and the like).
    static std::string resultName(int result);
};

// The driver's short name: its keychain service and log file name.
inline constexpr const char* kDriverShortName = "morvanex";
