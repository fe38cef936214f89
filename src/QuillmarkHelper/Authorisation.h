#pragma once

#include <string>

#include "platform/DescriptorIo.h"
#include "src/QuillmarkHelper/Caller.h"

// Whether a caller may change the ODBC files: root, or whom polkit
// authorises for the helper's action with user interaction allowed (an
// administrator who authenticates; group membership alone is not enough).
// pkcheck runs with posix_spawn, no shell, an empty environment, and is
// killed at its bound.
class Authorisation {
  public:
    static constexpr const char* kAction = "com.vorlanworks.quillmark.helper.write";

    // pkcheck's exit statuses (pkcheck(1)); Failed also when it gave none.
    enum class Answer {
        Authorised = 0,
        NotAuthorised = 1,
        Challenge = 2,
        Dismissed = 3,
        Failed = 4
    };

    explicit Authorisation(std::string pkcheck) : pkcheck_(std::move(pkcheck)) {}

    // Asks polkit for every caller but root; waits until `deadline` at most
    // (a user typing a password is waited for, a silent one is not).
    Answer ask(const Caller& caller, descriptor_io::Clock::time_point deadline) const;
    // For the log.
    static const char* describe(Answer answer);

  private:
    std::string pkcheck_;
};
