#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ConnectionItems.h"

// Connection text as the login prompt gets it from a driver manager: wide
// (UTF-32) text in a buffer of a known number of characters, either in the
// ";" form or as NUL-separated items ended by an empty item. It is read
// without the process locale, so that non-ASCII names survive any host,
// and never past the buffer. Values in braces may hold ";" ("}}" stands
// for "}").
class LoginConnectionText {
  public:
    static LoginConnectionText fromWide(const wchar_t* text, std::size_t capacity);
    // UTF-8 text in the ";" form.
    static LoginConnectionText fromUtf8(std::string_view text);

    // The value of the first item whose key equals `key` ignoring case,
    // braces removed; empty when there is none.
    std::string value(std::string_view key) const;
    // Every item but those with the given keys, each followed by ";".
    std::string normalised(const std::vector<std::string_view>& leaveOut) const;

  private:
    void addItem(std::string_view text);
    void addSemicolonItems(std::string_view text);

    std::vector<ConnectionItems::Item> items_;
};
