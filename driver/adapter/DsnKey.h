#pragma once

#include <cstddef>

// A key of a data source's odbc.ini section or of a connection text, spelled
// once for the two forms its readers take: UTF-8 for attribute lists and
// connection texts, wide for the installer and the key tables (iODBC's
// SQLWCHAR is wchar_t).
class DsnKey {
  public:
    static constexpr std::size_t kCapacity = 24;

    template <std::size_t N>
    // Implicit: keys are written as string literals.
    consteval DsnKey(const char (&text)[N]) {
        static_assert(N <= kCapacity, "a longer key needs a larger DsnKey");
        for (std::size_t i = 0; i < N; ++i) {
            narrow_[i] = text[i];
            wide_[i] = static_cast<unsigned char>(text[i]);
        }
    }

    constexpr const char* narrow() const { return narrow_; }
    constexpr const wchar_t* wide() const { return wide_; }

  private:
    char narrow_[kCapacity]{};
    wchar_t wide_[kCapacity]{};
};

// The driver's keys, shared by the connect path and the DSN wizard.
namespace dsn_keys {
inline constexpr DsnKey Dsn{"DSN"};
inline constexpr DsnKey Description{"Description"};
inline constexpr DsnKey DriverDsn{"DriverDSN"};
inline constexpr DsnKey UseKeychain{"UseKeychain"};
inline constexpr DsnKey UserId{"UserID"};
inline constexpr DsnKey IncludeViews{"IncludeViews"};
inline constexpr DsnKey ReadOnly{"ReadOnly"};
inline constexpr DsnKey ParameterBinding{"ParameterBinding"};
inline constexpr DsnKey AutoDetectEncoding{"AutoDetectEncoding"};
inline constexpr DsnKey MultiByteEncoding{"MultiByteEncoding"};
inline constexpr DsnKey WideApi{"WideAPI"};
inline constexpr DsnKey UnicodeTextTypes{"UnicodeTextTypes"};
inline constexpr DsnKey SendSystemEncoding{"SendSystemEncoding"};
inline constexpr DsnKey ReceiveSystemEncoding{"ReceiveSystemEncoding"};
inline constexpr DsnKey ReturnUnicode{"ReturnUnicode"};
inline constexpr DsnKey SetAppLocale{"SetAppLocale"};
inline constexpr DsnKey DatabaseEncoding{"DatabaseEncoding"};
inline constexpr DsnKey QueryLogOn{"QueryLog_On"};
inline constexpr DsnKey QueryLogTime{"QueryLogTime"};
inline constexpr DsnKey QueryLogFile{"QueryLogFile"};
inline constexpr DsnKey Database{"DATABASE"};
inline constexpr DsnKey Uid{"UID"};
inline constexpr DsnKey Pwd{"PWD"};
inline constexpr DsnKey Redshift{"Redshift"};
}  // namespace dsn_keys
