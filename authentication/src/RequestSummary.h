#pragma once

#include <string>
#include <string_view>

#include "authentication/src/HelperRequest.h"

// What a privileged request asks for, as the helper and the relay log it:
// the command, the scope, the DSN or driver it names and the one it
// replaces. Never a value: a connection string may hold a password.
namespace request_summary {

std::string describe(const HelperRequest::Parsed& parsed);
// Parses the text first (the relay, which holds only the text).
std::string describe(std::string_view requestText);

// A name of a request as a log line may show it: cut to a fixed length
// ("..." marks a cut), every byte outside printable ASCII and every quote
// and backslash written as \xNN, so no text can end or fake a line.
std::string loggableName(std::string_view name);

}  // namespace request_summary
