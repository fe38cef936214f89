#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pemberix {

// The connection text pemberix.so hands the PostgreSQL driver. That driver
// logs (world-readable files, the password among the lines) when its
// switches are on, by default from its odbcinst.ini section: the text
// turns them off unless the caller's text or the DSN asks for them, and
// always, whatever is asked, in a process running as root. The text is
// read as the driver reads it (ConnectionItems): what is checked is what
// the driver takes.
class ForwardedConnection {
  public:
    // Whether the DSN's section, as the driver reads it, holds a key.
    using DsnProbe = std::function<bool(std::wstring_view dsn, const char* key)>;

    // `caller` is the text the driver would read: up to its first NUL.
    static std::wstring text(std::wstring_view caller, bool root, const DsnProbe& dsnHolds);
    // SQLConnect's arguments as connection text. The driver takes the data
    // source and user names as written, braces and all (the password alone
    // in braces), so nothing when one of them cannot be written so that it
    // reads back whole (a ";" outside a brace that closes it).
    static std::optional<std::wstring> fromConnect(std::wstring_view dsn, std::wstring_view user,
                                                   std::wstring_view password);
    // Narrow text, byte for byte.
    static std::wstring widenBytes(std::string_view text);
    static std::string narrowBytes(std::wstring_view text);
    // Wide text (UTF-32) as UTF-8, as the installer library reads names.
    static std::string utf8(std::wstring_view text);
};

}  // namespace pemberix
