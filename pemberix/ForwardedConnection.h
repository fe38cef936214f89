#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pemberix {

// The connection text pemberix.so hands the PostgreSQL driver. That driver
// logs (world-readable files, the password among the lines) when its
// switches are on, by default from its odbcinst.ini section: the text
// turns them off unless the caller's text or the DSN asks for them, and
// always, whatever is asked, in a process running as root.
class ForwardedConnection {
  public:
    // Whether the DSN's section, as the driver reads it, holds a key.
    using DsnProbe = std::function<bool(std::wstring_view dsn, const char* key)>;

    static std::wstring text(std::wstring_view caller, bool root, const DsnProbe& dsnHolds);
    // SQLConnect's arguments as connection text (values in braces).
    static std::wstring fromConnect(std::wstring_view dsn, std::wstring_view user,
                                    std::wstring_view password);
    // Narrow text, byte for byte.
    static std::wstring widenBytes(std::string_view text);
    static std::string narrowBytes(std::wstring_view text);
    // Wide text (UTF-32) as UTF-8, as the installer library reads names.
    static std::string utf8(std::wstring_view text);
};

}  // namespace pemberix
