#include "driver/adapter/ConnectionOptions.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "driver/adapter/DsnKey.h"
#include "driver/core/ConnectionText.h"

namespace {

// Where a connect path takes a key's value from.
enum class KeySource : std::uint8_t {
    NotRead,      // an argument of the call, or not used on this path
    DsnOnly,      // the data source's section only
    TextOnly,     // the connection text only
    TextElseDsn,  // the text; when it gives none, the data source it names
};

struct ConnectionKeyRow {
    ConnectionKey key;
    const SQLWCHAR* name;
    KeySource connect;        // SQLConnect
    KeySource driverConnect;  // SQLDriverConnect
    const char* sets;
};

namespace keys = dsn_keys;
using enum KeySource;
using enum ConnectionKey;

// In ConnectionKey order.
constexpr ConnectionKeyRow kConnectionKeys[] = {
    {Dsn, keys::Dsn.wide(), NotRead, TextOnly, "the data source name"},
    {DriverDsn, keys::DriverDsn.wide(), DsnOnly, TextElseDsn, "the adapted DSN"},
    {UseKeychain, keys::UseKeychain.wide(), DsnOnly, TextElseDsn, "whether UserID is read"},
    {UserId, keys::UserId.wide(), DsnOnly, TextElseDsn, "the keychain user ID"},
    {IncludeViews, keys::IncludeViews.wide(), DsnOnly, TextElseDsn, "the include-views flag"},
    {ReadOnly, keys::ReadOnly.wide(), DsnOnly, TextElseDsn, "read-only access mode"},
    {ParameterBinding, keys::ParameterBinding.wide(), DsnOnly, NotRead, "parameter binding off"},
    {AutoDetectEncoding, keys::AutoDetectEncoding.wide(), DsnOnly, TextOnly,
     "the encoding decision"},
    {MultiByteEncoding, keys::MultiByteEncoding.wide(), DsnOnly, TextElseDsn, "send/receive names"},
    {WideApi, keys::WideApi.wide(), DsnOnly, TextElseDsn, "wide mode"},
    {UnicodeTextTypes, keys::UnicodeTextTypes.wide(), DsnOnly, TextElseDsn, "Unicode text types"},
    {SendSystemEncoding, keys::SendSystemEncoding.wide(), DsnOnly, TextOnly, "send name UTF-8"},
    {ReceiveSystemEncoding, keys::ReceiveSystemEncoding.wide(), DsnOnly, TextOnly,
     "receive name UTF-8"},
    {ReturnUnicode, keys::ReturnUnicode.wide(), DsnOnly, TextOnly, "Unicode text types"},
    {SetAppLocale, keys::SetAppLocale.wide(), DsnOnly, TextOnly, "wide mode"},
    {DatabaseEncoding, keys::DatabaseEncoding.wide(), DsnOnly, TextElseDsn, "database encoding"},
    {QueryLogOn, keys::QueryLogOn.wide(), DsnOnly, TextElseDsn, "the query log"},
    {QueryLogTime, keys::QueryLogTime.wide(), DsnOnly, TextElseDsn, "the query-log threshold"},
    {QueryLogFile, keys::QueryLogFile.wide(), DsnOnly, TextElseDsn, "the query-log file"},
    {Database, keys::Database.wide(), NotRead, DsnOnly, "the database name, when none is set"},
    {Uid, keys::Uid.wide(), NotRead, TextOnly, "the user name"},
    {Pwd, keys::Pwd.wide(), NotRead, TextOnly, "the password"},
    {Redshift, keys::Redshift.wide(), DsnOnly, TextElseDsn, "the MySQL face's Redshift flag"},
};
static_assert(std::size(kConnectionKeys) == kConnectionKeyCount);

constexpr bool inOrder() {
    for (std::size_t i = 0; i < kConnectionKeyCount; ++i) {
        if (static_cast<std::size_t>(kConnectionKeys[i].key) != i) {
            return false;
        }
    }
    return true;
}
static_assert(inOrder());

const ConnectionKeyRow& row(ConnectionKey key) {
    return kConnectionKeys[static_cast<std::size_t>(key)];
}

KeySource sourceOn(const ConnectionKeyRow& entry, bool fromText) {
    return fromText ? entry.driverConnect : entry.connect;
}

// The names of the keys that a path reads from source `a` or `b`; null for
// the others.
std::vector<const SQLWCHAR*> keyNames(bool fromText, KeySource a, KeySource b) {
    std::vector<const SQLWCHAR*> names;
    for (const ConnectionKeyRow& entry : kConnectionKeys) {
        const KeySource source = sourceOn(entry, fromText);
        names.push_back(source == a || source == b ? entry.name : nullptr);
    }
    return names;
}

}  // namespace

const SQLWCHAR* ConnectionOptions::keyName(ConnectionKey key) {
    return row(key).name;
}

ConnectionOptions ConnectionOptions::fromDsn(const std::string& dsn) {
    ConnectionOptions options;
    options.readDsn(dsn);
    return options;
}

ConnectionOptions ConnectionOptions::fromText(const std::string& text) {
    ConnectionOptions options;
    options.fromText_ = true;
    options.text_ = text;
    const std::vector<const SQLWCHAR*> names = keyNames(true, TextOnly, TextElseDsn);
    const std::vector<std::string> values = getAttributeValues(text, names);
    std::copy(values.begin(), values.end(), options.textValues_.begin());
    const std::string& dsn = options.textValues_[index(ConnectionKey::Dsn)];
    if (!dsn.empty()) {
        options.readDsn(dsn);
    }
    return options;
}

void ConnectionOptions::readDsn(const std::string& dsn) {
    // Every key the path may take from the data source, also those the text
    // gives: the keychain's UserID can come from the data source either way.
    const std::vector<const SQLWCHAR*> names = keyNames(fromText_, DsnOnly, TextElseDsn);
    const std::vector<std::string> values = getDsnValues(dsn, names);
    std::copy(values.begin(), values.end(), dsnValues_.begin());
}

const std::string& ConnectionOptions::value(ConnectionKey key) const {
    switch (sourceOn(row(key), fromText_)) {
        case TextOnly:
            return textValue(key);
        case TextElseDsn:
            return textValue(key).empty() ? dsnValue(key) : textValue(key);
        case DsnOnly:
            return dsnValue(key);
        case NotRead:
            break;
    }
    static const std::string kNone;
    return kNone;
}
