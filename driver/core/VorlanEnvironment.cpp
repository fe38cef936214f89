#include "driver/core/VorlanEnvironment.h"

#include <utility>

#include "driver/core/SystemDriverPreferences.h"

VorlanEnvironment::VorlanEnvironment(std::string bundleIdentifier, std::string driverFileName,
                                     std::string productName, std::string vendorName,
                                     const std::string& teamIdentifier,
                                     const std::string& furtherText)
    : MutexEnvironment(bundleIdentifier, std::move(driverFileName), productName,
                       std::move(vendorName),
                       std::make_unique<SystemDriverPreferences>(bundleIdentifier, productName,
                                                                 teamIdentifier, furtherText)) {}

VorlanEnvironment::~VorlanEnvironment() = default;
