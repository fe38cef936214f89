#pragma once

#include <optional>
#include <string>

#include "src/QuillmarkHelper/HelperOptions.h"

// The helper's three ways in. Each answers the exit status of the process.
// For every request the order is fixed: the caller is authorised, then the
// request is parsed and validated into a plan, then the plan is applied;
// a refusal at any step is answered without anything being written.
namespace service_loop {

// One connection on standard input and output (systemd, Accept=yes).
int serveInetd(const HelperOptions& options);
// A socket of our own, a child per connection, until SIGTERM or SIGINT.
int serveListen(const HelperOptions& options);
// One raw request text on standard input, from pkexec, which authorised
// the user it names in `pkexecUid` (nothing: the real user). A uid that is
// not plain decimal digits within the uid range is refused.
int serveStdin(const HelperOptions& options, const std::optional<std::string>& pkexecUid);

}  // namespace service_loop
