#pragma once

#include <filesystem>
#include <optional>
#include <string>

// Facts about the machine and the running program.
namespace host_info {

// The kernel release as uname(2) reports it, e.g. "6.1.0-18-amd64".
std::string kernelRelease();
// gethostname(2); empty on failure.
std::string hostName();
// The processor architecture the code was built for.
std::string architecture();
// The program that runs us (/proc/self/exe). Tests replace it with
// setExecutableOverride, or across a dlopen with $MORVANEX_HOST_EXECUTABLE.
std::filesystem::path executablePath();
void setExecutableOverride(std::optional<std::filesystem::path> path);
// The decimal separator of the user's locale (LC_ALL, LC_NUMERIC, LANG),
// read without changing the process's own locale; "." when it cannot be
// loaded.
std::string userDecimalSeparator();

}  // namespace host_info
