#include "driver/core/EnvironmentFactory.h"

#include "driver/core/VorlanEnvironment.h"

namespace {

struct DriverIdentity {
    const char* bundleIdentifier;
    const char* driverFileName;
    const char* productName;
    const char* vendorName;
    const char* teamIdentifier;
    const char* furtherText;
};

constexpr DriverIdentity kIdentity = {
    "com.vorlanworks.odbcdriver.morvanex",
    "morvanex.so",
    "Vorlan Tarvex",
    "Vorlan",
    "7HQ2XV4KPD",
    "",
};

}  // namespace

std::unique_ptr<VorlanEnvironment> createEnvironment() {
    return std::make_unique<VorlanEnvironment>(kIdentity.bundleIdentifier, kIdentity.driverFileName,
                                               kIdentity.productName, kIdentity.vendorName,
                                               kIdentity.teamIdentifier, kIdentity.furtherText);
}

const char* driverOdbcVersion() {
    return "03.00";
}
