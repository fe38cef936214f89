#include "driver/core/SystemDriverPreferences.h"

#include <utility>

SystemDriverPreferences::SystemDriverPreferences(std::string bundleIdentifier,
                                                 std::string productName,
                                                 std::string teamIdentifier,
                                                 std::string furtherText)
    : DriverPreferences(std::move(bundleIdentifier), std::move(productName),
                        std::move(teamIdentifier)),
      furtherText_(std::move(furtherText)) {}

SystemDriverPreferences::~SystemDriverPreferences() = default;
