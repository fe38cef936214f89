#pragma once

#include <string>

#include "driver/core/MutexEnvironment.h"

// The environment the driver creates for every environment handle: it
// builds its own SystemDriverPreferences.
class VorlanEnvironment : public MutexEnvironment {
  public:
    VorlanEnvironment(std::string bundleIdentifier, std::string driverFileName,
                      std::string productName, std::string vendorName,
                      const std::string& teamIdentifier, const std::string& furtherText);
    ~VorlanEnvironment() override;
};
