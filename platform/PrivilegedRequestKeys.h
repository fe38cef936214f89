#pragma once

// The key of a privileged request dictionary that names its command: written
// by the driver's setup code and the administrator, never read by the helper.
inline constexpr const char* kPrivilegedCommandKey =
    "com.apple.dts.BetterAuthorizationSample.command";
