#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "driver/adapter/DsnKey.h"

// The keys a connect reads, from the connection text or from the data
// source's odbc.ini section.
enum class ConnectionKey : std::uint8_t {
    Dsn,
    DriverDsn,
    UseKeychain,
    UserId,
    IncludeViews,
    ReadOnly,
    ParameterBinding,
    AutoDetectEncoding,
    MultiByteEncoding,
    WideApi,
    UnicodeTextTypes,
    SendSystemEncoding,
    ReceiveSystemEncoding,
    ReturnUnicode,
    SetAppLocale,
    DatabaseEncoding,
    QueryLogOn,
    QueryLogTime,
    QueryLogFile,
    Database,
    Uid,
    Pwd,
    Redshift,
};
inline constexpr std::size_t kConnectionKeyCount = 23;

// Where a connect path takes a key's value from.
enum class KeySource : std::uint8_t {
    NotRead,      // an argument of the call, or not used on this path
    DsnOnly,      // the data source's section only
    TextOnly,     // the connection text only
    TextElseDsn,  // the text; when it gives none, the data source it names
};

// What the value is to whoever writes it into an odbc.ini: a setting, or a
// file the driver creates and appends to, as root too when the section is
// a system DSN's. The privileged helper reads this table (data alone, no
// code of the driver) to know which values to hold to the rule of log files.
enum class KeyValue : std::uint8_t { Setting, WrittenFile };

struct ConnectionKeyRow {
    ConnectionKey key;
    const DsnKey* name;
    KeySource connect;        // SQLConnect
    KeySource driverConnect;  // SQLDriverConnect
    KeyValue value;
    const char* sets;
};

namespace connection_keys {

namespace keys = dsn_keys;
using enum KeySource;
using enum ConnectionKey;
using enum KeyValue;

// In ConnectionKey order.
inline constexpr ConnectionKeyRow kRows[] = {
    {Dsn, &keys::Dsn, NotRead, TextOnly, Setting, "the data source name"},
    {DriverDsn, &keys::DriverDsn, DsnOnly, TextElseDsn, Setting, "the adapted DSN"},
    {UseKeychain, &keys::UseKeychain, DsnOnly, TextElseDsn, Setting, "whether UserID is read"},
    {UserId, &keys::UserId, DsnOnly, TextElseDsn, Setting, "the keychain user ID"},
    {IncludeViews, &keys::IncludeViews, DsnOnly, TextElseDsn, Setting, "the include-views flag"},
    {ReadOnly, &keys::ReadOnly, DsnOnly, TextElseDsn, Setting, "read-only access mode"},
    {ParameterBinding, &keys::ParameterBinding, DsnOnly, NotRead, Setting, "parameter binding off"},
    {AutoDetectEncoding, &keys::AutoDetectEncoding, DsnOnly, TextOnly, Setting,
     "the encoding decision"},
    {MultiByteEncoding, &keys::MultiByteEncoding, DsnOnly, TextElseDsn, Setting,
     "send/receive names"},
    {WideApi, &keys::WideApi, DsnOnly, TextElseDsn, Setting, "wide mode"},
    {UnicodeTextTypes, &keys::UnicodeTextTypes, DsnOnly, TextElseDsn, Setting,
     "Unicode text types"},
    {SendSystemEncoding, &keys::SendSystemEncoding, DsnOnly, TextOnly, Setting, "send name UTF-8"},
    {ReceiveSystemEncoding, &keys::ReceiveSystemEncoding, DsnOnly, TextOnly, Setting,
     "receive name UTF-8"},
    {ReturnUnicode, &keys::ReturnUnicode, DsnOnly, TextOnly, Setting, "Unicode text types"},
    {SetAppLocale, &keys::SetAppLocale, DsnOnly, TextOnly, Setting, "wide mode"},
    {DatabaseEncoding, &keys::DatabaseEncoding, DsnOnly, TextElseDsn, Setting, "database encoding"},
    {QueryLogOn, &keys::QueryLogOn, DsnOnly, TextElseDsn, Setting, "the query log"},
    {QueryLogTime, &keys::QueryLogTime, DsnOnly, TextElseDsn, Setting, "the query-log threshold"},
    {QueryLogFile, &keys::QueryLogFile, DsnOnly, TextElseDsn, WrittenFile, "the query-log file"},
    {Database, &keys::Database, NotRead, DsnOnly, Setting, "the database name, when none is set"},
    {Uid, &keys::Uid, NotRead, TextOnly, Setting, "the user name"},
    {Pwd, &keys::Pwd, NotRead, TextOnly, Setting, "the password"},
    {Redshift, &keys::Redshift, DsnOnly, TextElseDsn, Setting, "the MySQL face's Redshift flag"},
};
static_assert(std::size(kRows) == kConnectionKeyCount);

constexpr bool inOrder() {
    for (std::size_t i = 0; i < kConnectionKeyCount; ++i) {
        if (static_cast<std::size_t>(kRows[i].key) != i) {
            return false;
        }
    }
    return true;
}
static_assert(inOrder());

}  // namespace connection_keys
