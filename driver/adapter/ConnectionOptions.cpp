#include "driver/adapter/ConnectionOptions.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "driver/core/ConnectionText.h"

namespace {

using enum KeySource;
using connection_keys::kRows;

const ConnectionKeyRow& row(ConnectionKey key) {
    return kRows[static_cast<std::size_t>(key)];
}

KeySource sourceOn(const ConnectionKeyRow& entry, bool fromText) {
    return fromText ? entry.driverConnect : entry.connect;
}

// The names of the keys that a path reads from source `a` or `b`; null for
// the others.
std::vector<const SQLWCHAR*> keyNames(bool fromText, KeySource a, KeySource b) {
    std::vector<const SQLWCHAR*> names;
    for (const ConnectionKeyRow& entry : kRows) {
        const KeySource source = sourceOn(entry, fromText);
        names.push_back(source == a || source == b ? entry.name->wide() : nullptr);
    }
    return names;
}

}  // namespace

const SQLWCHAR* ConnectionOptions::keyName(ConnectionKey key) {
    return row(key).name->wide();
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
