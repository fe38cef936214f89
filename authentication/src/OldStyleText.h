#pragma once

#include <plist/plist.h>

#include <string>
#include <string_view>

// The old-style (OpenStep) text form of a request, read into a libplist
// node the caller owns; nullptr with the reason in `error` when it is not.
plist_t parseOldStyleText(std::string_view text, std::string& error);
