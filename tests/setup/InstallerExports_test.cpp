#include <gtest/gtest.h>

#include <string>

#include "tests/support/DriverLibrary.h"
#include "tests/support/OdbcSandbox.h"

namespace {

struct Entry {
    const char* name;
    int result;
};

constexpr Entry kEntries[] = {
    {"CreateDataSource", 1},
    {"GetAvailableDrivers", 1},
    {"GetTranslator", 1},
    {"InstallDriverPath", 1},
    {"InstallDriverPathLength", 1},
    {"InstallODBC", 0},
    {"ManageDataSources", 1},
    {"RemoveDSNFromIni", 1},
    {"RemoveDefaultDataSource", 1},
    {"SQLConfigDataSource_Internal", 1},
    {"SQLConfigDriver_Internal", 1},
    {"SQLCreateDataSource_Internal", 1},
    {"SQLGetInstalledDrivers_Internal", 1},
    {"SQLWriteDSNToIni_Internal", 1},
    {"WriteDSNToIni", 1},
};

// Called the way a host that guessed an installer signature would call them.
using AnyArguments = int (*)(void*, void*, void*, void*, void*);

TEST(InstallerExports, EachAnswersItsConstantWithNullArgumentsAndWritesNoIniFile) {
    OdbcSandbox sandbox;
    sandbox.addDsn("Sales", "morvanex", {{"Description", "Orders"}});
    const auto userIni = sandbox.odbcIni(OdbcSandbox::Scope::User);
    const auto systemIni = sandbox.odbcIni(OdbcSandbox::Scope::System);
    const std::string userBefore = OdbcSandbox::readFile(userIni);
    const std::string systemBefore = OdbcSandbox::readFile(systemIni);

    for (const char* path : {MORVANEX_DRIVER_PATH, MORVANEX_DRIVER_A_PATH}) {
        DriverLibrary driver(path);
        for (const Entry& entry : kEntries) {
            auto function = driver.function<AnyArguments>(entry.name);
            EXPECT_EQ(function(nullptr, nullptr, nullptr, nullptr, nullptr), entry.result)
                << path << ": " << entry.name;
        }
    }

    EXPECT_EQ(OdbcSandbox::readFile(userIni), userBefore);
    EXPECT_EQ(OdbcSandbox::readFile(systemIni), systemBefore);
}

}  // namespace
