#pragma once

#include <string>

#include "src/QuillmarkHelper/Caller.h"

// Whether a caller may change the ODBC files: root, a member of the
// administrators group, or whom polkit authorises for the helper's action
// (pkcheck run with posix_spawn, no shell, an empty environment).
class Authorisation {
  public:
    static constexpr const char* kAction = "com.vorlanworks.quillmark.helper.write";

    Authorisation(std::string adminGroup, std::string pkcheck)
        : adminGroup_(std::move(adminGroup)), pkcheck_(std::move(pkcheck)) {}

    bool allows(const Caller& caller) const;

  private:
    bool polkitAllows(const Caller& caller) const;

    std::string adminGroup_;
    std::string pkcheck_;
};
