#pragma once

#include <sql.h>

// Private SQLGetInfo types: what really stands behind the MySQL face.
inline constexpr SQLUSMALLINT INFO_ADAPTED_DRIVER_NAME = 566;
inline constexpr SQLUSMALLINT INFO_ADAPTED_DRIVER_VERSION = 567;
inline constexpr SQLUSMALLINT INFO_ADAPTED_DBMS_NAME = 568;
inline constexpr SQLUSMALLINT INFO_ADAPTED_DBMS_VERSION = 569;
