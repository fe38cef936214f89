#pragma once

#include <string>
#include <string_view>

// What a privileged request asks for, as the helper and the relay log it:
// the command, the scope and the DSN or driver it names. Never a value: a
// connection string may hold a password.
namespace request_summary {

std::string describe(std::string_view requestText);

}  // namespace request_summary
