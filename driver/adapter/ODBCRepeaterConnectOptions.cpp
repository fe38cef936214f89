// The repeater connection's two connect entries: the options of a DSN or a
// connection string turned into connection state, the choice of wide or
// narrow mode with its text encodings and process locale (from the options,
// else from a table of known host applications), and the query log.

#include <clocale>
#include <cctype>
#include <cinttypes>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/core/ConnectionText.h"
#include "driver/core/Environment.h"
#include "driver/core/StringOutput.h"
#include "driver/core/TextCase.h"

namespace {

constexpr const char* kUtf8Locale = "en_US.UTF-8";
constexpr const char* kLatin1Locale = "en_US.ISO8859-1";

// What a known host application needs when the settings leave the text
// encoding open. Rows are tried in order; the first match wins.
struct HostApplicationRow {
    const char* prefix;
    std::int32_t minimumMajorVersion;
    std::uint8_t wideApi;
    std::uint8_t unicodeTextTypes;
    const char* sendEncoding;
    const char* receiveEncoding;
};

constexpr HostApplicationRow kHostApplications[] = {
    {"fmserverd", 0, 1, 1, "", ""},       {"FileMaker Pro", 9, 1, 1, "", ""},
    {"FileMaker Pro", 7, 1, 0, "", ""},   {"Microsoft Query", 0, 0, 0, "Latin-1", ""},
    {"httpd", 0, 0, 0, "UTF-8", "UTF-8"}, {"FMPro Migrator", 0, 0, 0, "UTF-8", "UTF-8"},
    {"Tableau", 0, 1, 1, "", ""},         {"XXXX", 0, 0, 0, "", ""},
};

bool isYes(std::string_view value) {
    return upperCase(value) == "YES";
}

bool isNo(std::string_view value) {
    return upperCase(value) == "NO";
}

// The leading decimal number of a text, as atol reads it, kept in range.
long leadingNumber(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > LONG_MAX) {
        return LONG_MAX;
    }
    return value < LONG_MIN ? LONG_MIN : static_cast<long>(value);
}

const HostApplicationRow* findHostApplication(const std::string& name, const std::string& version) {
    const long major = leadingNumber(version);
    for (const HostApplicationRow& row : kHostApplications) {
        if (startsWithNoCase(name, row.prefix) && major >= row.minimumMajorVersion) {
            return &row;
        }
    }
    return nullptr;
}

// setlocale's answer for a trace line; it is null when the locale is missing.
std::string localeText(const char* locale) {
    return locale != nullptr ? locale : "(null)";
}

SQLINTEGER queryLogThreshold(const std::string& text) {
    const long value = leadingNumber(text);
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    return value < INT32_MIN ? INT32_MIN : static_cast<SQLINTEGER>(value);
}

}  // namespace

// The option values as read, before they are applied.
struct ODBCRepeaterConnection::ConnectOptions {
    std::string useKeychain;
    std::string includeViews;
    std::string readOnly;
    std::string autoDetectEncoding;
    std::string multiByteEncoding;
    std::string wideApi;
    std::string unicodeTextTypes;
    std::string sendSystemEncoding;
    std::string receiveSystemEncoding;
    std::string returnUnicode;
    std::string setAppLocale;
    std::string databaseEncoding;
    std::string queryLogOn;
    std::string queryLogTime;
    std::string queryLogFile;
    // The send and receive encoding names the steps arrive at.
    std::string sendEncoding;
    std::string receiveEncoding;

    void read(const ConnectionOptions& from);
};

SQLRETURN ODBCRepeaterConnection::connectStrings(const std::string& server, const std::string& user,
                                                 const std::string& authentication) {
    return connectOptions(server, ConnectionOptions::fromDsn(server), user, authentication);
}

SQLRETURN ODBCRepeaterConnection::driverConnect(SQLHWND window, const SQLCHAR* connectionText,
                                                SQLSMALLINT connectionTextLength, SQLCHAR* outText,
                                                SQLSMALLINT outBufferLength, SQLSMALLINT* outLength,
                                                SQLUSMALLINT completion) {
    return driverConnectOptions(
        window,
        ConnectionOptions::fromText(makeConnectionString(connectionText, connectionTextLength)),
        outText, outBufferLength, outLength, completion);
}

// The values both paths read alike.
void ODBCRepeaterConnection::ConnectOptions::read(const ConnectionOptions& from) {
    using enum ConnectionKey;
    useKeychain = from.value(UseKeychain);
    includeViews = from.value(IncludeViews);
    readOnly = from.value(ReadOnly);
    autoDetectEncoding = from.value(AutoDetectEncoding);
    wideApi = from.value(WideApi);
    unicodeTextTypes = from.value(UnicodeTextTypes);
    sendSystemEncoding = from.value(SendSystemEncoding);
    receiveSystemEncoding = from.value(ReceiveSystemEncoding);
    returnUnicode = from.value(ReturnUnicode);
    setAppLocale = from.value(SetAppLocale);
    databaseEncoding = from.value(DatabaseEncoding);
    queryLogOn = from.value(QueryLogOn);
    queryLogTime = from.value(QueryLogTime);
    queryLogFile = from.value(QueryLogFile);
}

SQLRETURN ODBCRepeaterConnection::connectOptions(const std::string& server,
                                                 const ConnectionOptions& from,
                                                 const std::string& user,
                                                 const std::string& authentication) {
    using enum ConnectionKey;
    diagnostics_.clear();
    dataSourceName_ = server;
    userName_ = user;
    keychainUserId_.clear();

    ConnectOptions options;
    options.read(from);
    adaptedDsn_ = from.value(DriverDsn);
    if (isYes(options.useKeychain)) {
        keychainUserId_ = from.value(UserId);
    }
    if (isYes(options.includeViews)) {
        includeViews_ = true;
    }
    if (isYes(options.readOnly)) {
        setAttrAccessMode(SQL_MODE_READ_ONLY);
    }
    if (isNo(from.value(ParameterBinding))) {
        usesParameterBinding_ = false;
    }
    options.multiByteEncoding = from.value(MultiByteEncoding);
    applyEncodingNames(options);
    applyDatabaseEncoding(options);
    decideEncoding(options, ConnectPath::Connect);
    applyQueryLog(options);
    return open(authentication);
}

SQLRETURN ODBCRepeaterConnection::driverConnectOptions(
    SQLHWND window, const ConnectionOptions& from, SQLCHAR* outText, SQLSMALLINT outBufferLength,
    SQLSMALLINT* outLength, SQLUSMALLINT completion) {
    using enum ConnectionKey;
    keychainUserId_.clear();
    diagnostics_.clear();
    const std::string& text = from.text();

    ConnectOptions options;
    options.read(from);
    adaptedDsn_ = from.value(DriverDsn);
    // The text's UserID counts only beside the text's own UseKeychain.
    if (isYes(from.textValue(UseKeychain))) {
        keychainUserId_ = from.textValue(UserId);
    }
    if (isYes(options.useKeychain) && keychainUserId_.empty()) {
        keychainUserId_ = from.dsnValue(UserId);
    }
    // The text's names come first; a data source's MultiByteEncoding then
    // replaces both, also a "UTF-8" that the system-encoding keys put there.
    options.multiByteEncoding = from.textValue(MultiByteEncoding);
    applyEncodingNames(options);
    if (options.multiByteEncoding.empty() && !from.dsnValue(MultiByteEncoding).empty()) {
        options.multiByteEncoding = from.dsnValue(MultiByteEncoding);
        options.sendEncoding = options.multiByteEncoding;
        options.receiveEncoding = options.multiByteEncoding;
    }
    dataSourceName_ = from.value(Dsn);
    if (databaseName_.empty()) {
        databaseName_ = from.value(Database);
    }

    decideEncoding(options, ConnectPath::DriverConnect);
    applyDatabaseEncoding(options);
    applyQueryLog(options);

    const auto handle = reinterpret_cast<std::intptr_t>(window);
    const bool realWindow = window != nullptr && handle != -1;
    bool declined = false;
    if (completion == SQL_DRIVER_COMPLETE || completion == SQL_DRIVER_COMPLETE_REQUIRED) {
        declined = adaptedDsn_.empty() && realWindow;
    } else if (completion == SQL_DRIVER_PROMPT) {
        declined = realWindow;
    }

    userName_ = from.value(Uid);
    const std::string& password = from.value(Pwd);
    traceSalt(password, text);
    if (isYes(options.includeViews)) {
        includeViews_ = true;
    }
    if (isYes(options.readOnly)) {
        setAttrAccessMode(SQL_MODE_READ_ONLY);
    }

    SQLRETURN result = declined ? SQL_NO_DATA : open(password);
    const bool cut =
        copyStringOutShort(outText, outLength, text, outBufferLength, outputNts()) != 0;
    // The application learns that its buffer was too small.
    if (cut && outText != nullptr && result == SQL_SUCCESS) {
        diagnostics_.prependRecord("01004", 0, "", -1, -1);
        result = SQL_SUCCESS_WITH_INFO;
    }
    return result;
}

void ODBCRepeaterConnection::applyEncodingNames(ConnectOptions& options) const {
    options.sendEncoding = options.multiByteEncoding;
    options.receiveEncoding = options.multiByteEncoding;
    if (isNo(options.sendSystemEncoding)) {
        options.sendEncoding = "UTF-8";
    }
    if (isNo(options.receiveSystemEncoding)) {
        options.receiveEncoding = "UTF-8";
    }
    if (isYes(options.returnUnicode)) {
        options.unicodeTextTypes = "Yes";
    }
    if (isYes(options.setAppLocale)) {
        options.wideApi = "Yes";
    }
}

void ODBCRepeaterConnection::decideEncoding(ConnectOptions& options, ConnectPath path) {
    bool wide = isYes(options.wideApi) || isWideApi();
    bool unicode = isYes(options.unicodeTextTypes) || isUnicodeTextTypes();

    enum class Mode { AutoDetect, Wide, Narrow };
    Mode mode = Mode::AutoDetect;
    if (isYes(options.autoDetectEncoding)) {
        mode = Mode::AutoDetect;
    } else if (wide) {
        mode = Mode::Wide;
    } else if (unicode || !options.sendEncoding.empty() || !options.receiveEncoding.empty() ||
               !options.autoDetectEncoding.empty()) {
        mode = Mode::Narrow;
    }

    if (mode == Mode::AutoDetect) {
        const std::string& name = environment_->hostAppName();
        trace(path == ConnectPath::Connect ? std::string("// Auto-detect encoding")
                                           : "// Looking up encoding for application " + name);
        if (const HostApplicationRow* row =
                findHostApplication(name, environment_->hostAppVersion())) {
            if (path == ConnectPath::DriverConnect) {
                trace(std::string("// application encoding found ") + row->prefix);
            }
            wide = row->wideApi != 0;
            unicode = row->unicodeTextTypes != 0;
            options.sendEncoding = row->sendEncoding;
            options.receiveEncoding = row->receiveEncoding;
        }
        mode = wide ? Mode::Wide : Mode::Narrow;
    }

    if (mode == Mode::Wide) {
        setWideApi(true);
        trace("// Previous locale (wide): " + localeText(std::setlocale(LC_CTYPE, nullptr)));
        trace("// Connection locale: " + localeText(std::setlocale(LC_CTYPE, kUtf8Locale)));
    } else {
        trace("// Previous locale (narrow): " + localeText(std::setlocale(LC_CTYPE, nullptr)));
        const std::string& tested =
            path == ConnectPath::Connect ? options.multiByteEncoding : options.sendEncoding;
        const char* locale = upperCase(tested) == "UTF-8" ? kUtf8Locale : kLatin1Locale;
        trace("// Connection locale: " + localeText(std::setlocale(LC_CTYPE, locale)));
    }

    if (unicode) {
        setUnicodeTextTypes(true);
        if (path == ConnectPath::Connect) {
            trace("// Uses unicode text types");
        }
    }
    trace(std::string("// wideAPI: ") + (mode == Mode::Wide ? "1" : "0") +
          " unicodeTextTypes: " + (unicode ? "1" : "0") + " sendEncoding: " + options.sendEncoding +
          " receiveEncoding: " + options.receiveEncoding);
    setSendEncoding(options.sendEncoding);
    setReceiveEncoding(options.receiveEncoding);
}

void ODBCRepeaterConnection::applyDatabaseEncoding(const ConnectOptions& options) {
    const std::string value = upperCase(options.databaseEncoding);
    setDatabaseEncoding(value == "LATIN1" ? "Latin-1" : "UTF-8");
}

void ODBCRepeaterConnection::applyQueryLog(const ConnectOptions& options) {
    if (isYes(options.queryLogOn) && !options.queryLogFile.empty()) {
        setQueryLog(queryLogThreshold(options.queryLogTime), options.queryLogFile);
    }
}

// A scrambled but recoverable form of the credentials for support cases;
// written only while the (owner-only) call trace is on.
void ODBCRepeaterConnection::traceSalt(const std::string& password,
                                       const std::string& connectionText) const {
    if (!isTracing()) {
        return;
    }
    const auto salted = [](const std::string& text, const char* format) {
        std::string line = "// salt: ";
        const auto length = static_cast<std::int64_t>(text.size());
        for (char byte : text) {
            const auto sum = static_cast<std::uint32_t>(length + static_cast<signed char>(byte));
            char digits[16] = {};
            std::snprintf(digits, sizeof digits, format, sum);
            line += digits;
        }
        return line;
    };
    trace(salted(password, "%02" PRIX32));
    trace(salted(connectionText, "%03" PRIX32));
}
