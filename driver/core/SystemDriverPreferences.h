#pragma once

#include <string>

#include "driver/core/DriverPreferences.h"

// The preferences object an environment owns for its lifetime; it reads
// from the default preferences folders.
class SystemDriverPreferences : public DriverPreferences {
  public:
    SystemDriverPreferences(std::string bundleIdentifier, std::string productName,
                            std::string teamIdentifier, std::string furtherText);
    ~SystemDriverPreferences() override;

    const std::string& furtherText() const { return furtherText_; }

  private:
    std::string furtherText_;
};
