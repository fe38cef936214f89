#pragma once

#include <memory>

class VorlanEnvironment;

// A new environment with the driver's identity (bundle identifier, library
// file name, product and vendor names, signing team). Allocation failures
// propagate.
std::unique_ptr<VorlanEnvironment> createEnvironment();

// The SQL_DRIVER_ODBC_VER the driver reports: "03.00".
const char* driverOdbcVersion();
