#include "driver/core/EnvironmentFactory.h"

#include "driver/core/VorlanEnvironment.h"
#include "platform/PrivilegedRequestContract.h"

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
    privileged_request::kDriverBundleIdentifier, "morvanex.so",
    privileged_request::kDriverProductName,      "Vorlan",
    privileged_request::kDriverTeamIdentifier,   "",
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
