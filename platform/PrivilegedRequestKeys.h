#pragma once

// The key of a privileged request dictionary that names its command, written
// by the driver's setup code and the administrator. The helper reads it only
// to tell a driver registration ("ConfigureDriver") apart; DSN and preference
// requests it tells by their "Request" key.
inline constexpr const char* kPrivilegedCommandKey =
    "com.apple.dts.BetterAuthorizationSample.command";
