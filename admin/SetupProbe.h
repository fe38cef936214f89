#pragma once

#include <sql.h>

#include <string>

// Whether a driver brings its own DSN setup entry ("ConfigDSNW"): in its
// "Driver" library, else in its "Setup" library. Each library is opened
// only for the look-up.
bool hasSetupEntry(SQLHENV henv, const std::string& driver);
