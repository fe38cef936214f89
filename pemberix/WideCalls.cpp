#include "pemberix/WideCalls.h"

#include "pemberix/Diagnostics.h"
#include "pemberix/ForwardedConnection.h"
#include "pemberix/PgDriver.h"
#include "pemberix/StringFields.h"
#include "pemberix/Utf16Argument.h"
#include "pemberix/WideText.h"
#include "pemberix/WideTextOutput.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <optional>
#include <variant>
#include <vector>

namespace pemberix {
namespace {

constexpr SQLLEN kCharBytes = sizeof(SQLWCHAR);
constexpr SQLLEN kUnitBytes = sizeof(PgWideChar);

// Readers for functions that count their text in bytes: the driver's
// lengths are UTF-16 bytes, the caller's 32-bit ones.
template <class Call>
Utf16Reader byteCountedReader(Call call) {
    return [call](PgWideChar* buffer, SQLLEN units, SQLLEN* reported) {
        SQLLEN bytes = 0;
        const SQLRETURN rc = call(buffer, units * kUnitBytes, &bytes);
        *reported = bytes >= 0 ? bytes / kUnitBytes : bytes;
        return rc;
    };
}

WideTextRequest byteCountedRequest(SQLPOINTER buffer, SQLLEN capacityBytes, SQLLEN maxUnits) {
    WideTextRequest request;
    request.buffer = static_cast<SQLWCHAR*>(buffer);
    request.capacity = capacityBytes / kCharBytes;
    request.maxUnits = maxUnits;
    return request;
}

WideTextRequest charCountedRequest(SQLWCHAR* buffer, SQLLEN capacity, SQLLEN maxUnits) {
    WideTextRequest request;
    request.buffer = buffer;
    request.capacity = capacity;
    request.maxUnits = maxUnits;
    return request;
}

// The connection text handed on, its log switches settled. Narrow text
// carries bytes, wide text UTF-32; the DSN is looked up in UTF-8.
std::wstring forwarded(std::wstring_view caller, bool wide) {
    const auto dsnHolds = [wide](std::wstring_view dsn, const char* key) {
        return PgDriver::instance().dsnHolds(
            wide ? ForwardedConnection::utf8(dsn) : ForwardedConnection::narrowBytes(dsn), key);
    };
    return ForwardedConnection::text(caller, geteuid() == 0, dsnHolds);
}

// A caller's text argument as the driver would read it: up to its first
// NUL, whatever length is given (a zero-padded buffer's size is a common
// length); nothing for a length no driver takes. A null text is empty.
template <class Char>
std::optional<std::wstring> textArgument(const Char* text, SQLSMALLINT length) {
    if (length < 0 && length != SQL_NTS) {
        return std::nullopt;
    }
    std::wstring out;
    for (std::size_t i = 0;
         text != nullptr && (length == SQL_NTS || i < static_cast<std::size_t>(length)) &&
         text[i] != 0;
         ++i) {
        out += static_cast<wchar_t>(text[i]);
    }
    return out;
}

SQLRETURN nullText(SQLHDBC dbc) {
    postRecord(SQL_HANDLE_DBC, dbc, ownRecord("HY009", 0, "Invalid use of null pointer"));
    return SQL_ERROR;
}

SQLRETURN uncarriedValue(SQLHDBC dbc) {
    postRecord(SQL_HANDLE_DBC, dbc,
               ownRecord("HY000", 0,
                         "The PostgreSQL driver cannot be handed a data source or user name with "
                         "a \";\" outside braces that enclose it whole"));
    return SQL_ERROR;
}

// Checks every connect runs first: a driver refused as root says why.
std::optional<SQLRETURN> refusedOrNull(SQLHDBC dbc, const void* text) {
    const std::string refusal = PgDriver::instance().refusal();
    if (!refusal.empty()) {
        postRecord(SQL_HANDLE_DBC, dbc, ownRecord("HY000", 0, refusal));
        return SQL_ERROR;
    }
    if (text == nullptr) {
        return nullText(dbc);
    }
    return std::nullopt;
}

// SQLConnect's arguments as connection text, or the answer to the call.
template <class Char>
std::variant<std::wstring, SQLRETURN> connectText(SQLHDBC dbc, const Char* dsn,
                                                  SQLSMALLINT dsnLength, const Char* user,
                                                  SQLSMALLINT userLength, const Char* password,
                                                  SQLSMALLINT passwordLength) {
    if (const auto answer = refusedOrNull(dbc, dsn)) {
        return *answer;
    }
    const auto dsnText = textArgument(dsn, dsnLength);
    const auto userText = textArgument(user, userLength);
    const auto passwordText = textArgument(password, passwordLength);
    if (!dsnText || !userText || !passwordText) {
        return textTooLong(SQL_HANDLE_DBC, dbc);
    }
    auto text = ForwardedConnection::fromConnect(*dsnText, *userText, *passwordText);
    if (!text) {
        return uncarriedValue(dbc);
    }
    return std::move(*text);
}

}  // namespace

SQLRETURN textTooLong(SQLSMALLINT type, SQLHANDLE handle) {
    postRecord(type, handle, ownRecord("HY090", 0, "Invalid string or buffer length"));
    return SQL_ERROR;
}

// SQLConnect becomes SQLDriverConnect: only connection text can hold the
// log switches back.
SQLRETURN connectA(SQLHDBC dbc, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR* user,
                   SQLSMALLINT userLength, SQLCHAR* password, SQLSMALLINT passwordLength) {
    auto text = connectText(dbc, dsn, dsnLength, user, userLength, password, passwordLength);
    if (const SQLRETURN* answer = std::get_if<SQLRETURN>(&text)) {
        return *answer;
    }
    std::string narrow = ForwardedConnection::narrowBytes(std::get<std::wstring>(text));
    return driverConnectA(dbc, nullptr, reinterpret_cast<SQLCHAR*>(narrow.data()), SQL_NTS, nullptr,
                          0, nullptr, SQL_DRIVER_NOPROMPT);
}

SQLRETURN connectW(SQLHDBC dbc, SQLWCHAR* dsn, SQLSMALLINT dsnLength, SQLWCHAR* user,
                   SQLSMALLINT userLength, SQLWCHAR* password, SQLSMALLINT passwordLength) {
    auto text = connectText(dbc, dsn, dsnLength, user, userLength, password, passwordLength);
    if (const SQLRETURN* answer = std::get_if<SQLRETURN>(&text)) {
        return *answer;
    }
    return driverConnectW(dbc, nullptr, std::get<std::wstring>(text).data(), SQL_NTS, nullptr, 0,
                          nullptr, SQL_DRIVER_NOPROMPT);
}

SQLRETURN driverConnectA(SQLHDBC dbc, SQLHWND window, SQLCHAR* in, SQLSMALLINT inLength,
                         SQLCHAR* out, SQLSMALLINT outCapacity, SQLSMALLINT* outLength,
                         SQLUSMALLINT completion) {
    if (const auto answer = refusedOrNull(dbc, in)) {
        return *answer;
    }
    if (pg().SQLDriverConnect == nullptr) {
        return missingEntryPoint(SQL_HANDLE_DBC, dbc);
    }
    const auto caller = textArgument(in, inLength);
    // A text of a length no driver takes is refused here, not handed on
    // with its log switches unsettled.
    if (!caller) {
        return textTooLong(SQL_HANDLE_DBC, dbc);
    }
    std::string text = ForwardedConnection::narrowBytes(forwarded(*caller, false));
    if (text.size() > SHRT_MAX) {
        return textTooLong(SQL_HANDLE_DBC, dbc);
    }
    return pg().SQLDriverConnect(dbc, window, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, out,
                                 outCapacity, outLength, completion);
}

SQLRETURN driverConnectW(SQLHDBC dbc, SQLHWND window, SQLWCHAR* in, SQLSMALLINT inLength,
                         SQLWCHAR* out, SQLSMALLINT outCapacity, SQLSMALLINT* outLength,
                         SQLUSMALLINT completion) {
    if (const auto answer = refusedOrNull(dbc, in)) {
        return *answer;
    }
    if (pg().SQLDriverConnectW == nullptr) {
        return missingEntryPoint(SQL_HANDLE_DBC, dbc);
    }
    const auto caller = textArgument(in, inLength);
    if (!caller) {
        return textTooLong(SQL_HANDLE_DBC, dbc);
    }
    const std::wstring given = forwarded(*caller, true);
    Utf16Argument input(given.c_str(), static_cast<SQLLEN>(given.size()));
    const auto length = input.smallLength();
    if (!length) {
        return textTooLong(SQL_HANDLE_DBC, dbc);
    }
    if (outCapacity < 0) {
        return pg().SQLDriverConnectW(dbc, window, input.data(), *length, nullptr, outCapacity,
                                      nullptr, completion);
    }
    // Connecting cannot be repeated: one buffer, large enough for any
    // completed connection string the caller's buffer could take.
    const SQLLEN units =
        std::clamp<SQLLEN>(2 * static_cast<SQLLEN>(outCapacity) + 2, 1024, kSmallCharUnits);
    std::vector<PgWideChar> buffer(static_cast<std::size_t>(units), 0);
    SQLSMALLINT reported = 0;
    SQLRETURN rc = pg().SQLDriverConnectW(dbc, window, input.data(), *length, buffer.data(),
                                          static_cast<SQLSMALLINT>(units), &reported, completion);
    if (!SQL_SUCCEEDED(rc)) {
        return rc;
    }
    const std::size_t limit = static_cast<std::size_t>(units - 1);
    const std::size_t count = reported >= 0 ? std::min(static_cast<std::size_t>(reported), limit)
                                            : boundedUtf16Length(buffer.data(), limit);
    const std::wstring text = toUtf32(std::u16string_view(buffer.data(), count));
    const SQLLEN unread = reported >= 0 ? reported - static_cast<SQLLEN>(count) : 0;
    const bool truncated = copyWideOut(text, out, outCapacity);
    if (outLength != nullptr) {
        *outLength = clampToSmall(static_cast<SQLLEN>(text.size()) + unread);
    }
    if (truncated && unread == 0) {
        postRecord(SQL_HANDLE_DBC, dbc,
                   ownRecord("01004", -2, "The buffer was too small for the ConnStrOut."));
        rc = SQL_SUCCESS_WITH_INFO;
    }
    return rc;
}

SQLRETURN nativeSqlW(SQLHDBC dbc, SQLWCHAR* in, SQLINTEGER inLength, SQLWCHAR* out,
                     SQLINTEGER outCapacity, SQLINTEGER* outLength) {
    if (pg().SQLNativeSqlW == nullptr) {
        return missingEntryPoint(SQL_HANDLE_DBC, dbc);
    }
    Utf16Argument input(in, inLength);
    const auto length = input.integerLength();
    if (!length) {
        return textTooLong(SQL_HANDLE_DBC, dbc);
    }
    if (outCapacity < 0) {
        return pg().SQLNativeSqlW(dbc, input.data(), *length, nullptr, outCapacity, nullptr);
    }
    const auto read = [&](PgWideChar* buffer, SQLLEN units, SQLLEN* reported) {
        SQLINTEGER count = 0;
        const SQLRETURN rc =
            pg().SQLNativeSqlW(dbc, input.data(), *length, buffer, clampToInteger(units), &count);
        *reported = count;
        return rc;
    };
    SQLLEN total = 0;
    const SQLRETURN rc =
        deliverWideText(read, charCountedRequest(out, outCapacity, kLargeUnits), &total);
    if (SQL_SUCCEEDED(rc) && outLength != nullptr) {
        *outLength = clampToInteger(total);
    }
    return rc;
}

SQLRETURN getInfo(SQLHDBC dbc, SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT capacity,
                  SQLSMALLINT* length) {
    if (pg().SQLGetInfo == nullptr) {
        return missingEntryPoint(SQL_HANDLE_DBC, dbc);
    }
    if (infoType != SQL_DRIVER_NAME || capacity < 0) {
        return pg().SQLGetInfo(dbc, infoType, value, capacity, length);
    }
    // The driver is still asked, so that its checks and diagnostics stand.
    char scratch[256] = {};
    SQLSMALLINT ignored = 0;
    SQLRETURN rc = pg().SQLGetInfo(dbc, infoType, scratch, sizeof scratch, &ignored);
    if (!SQL_SUCCEEDED(rc)) {
        return rc;
    }
    const bool truncated = copyNarrowOut(kDriverName, static_cast<SQLCHAR*>(value), capacity);
    if (length != nullptr) {
        *length = static_cast<SQLSMALLINT>(std::strlen(kDriverName));
    }
    if (truncated) {
        char tiny[2] = {};
        rc = pg().SQLGetInfo(dbc, infoType, tiny, std::min<SQLSMALLINT>(capacity, 1), &ignored);
    }
    return rc;
}

SQLRETURN getInfoW(SQLHDBC dbc, SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT capacity,
                   SQLSMALLINT* length) {
    if (pg().SQLGetInfoW == nullptr) {
        return missingEntryPoint(SQL_HANDLE_DBC, dbc);
    }
    if (!isTextInfoType(infoType) || capacity < 0) {
        return pg().SQLGetInfoW(dbc, infoType, value, capacity, length);
    }
    const auto read = byteCountedReader([&](PgWideChar* buffer, SQLLEN bytes, SQLLEN* reported) {
        SQLSMALLINT count = 0;
        const SQLRETURN rc = pg().SQLGetInfoW(dbc, infoType, buffer, clampToSmall(bytes), &count);
        *reported = count;
        return rc;
    });
    WideTextRequest request = byteCountedRequest(value, capacity, kSmallByteUnits);
    if (infoType == SQL_DRIVER_NAME) {
        request.adjust = [](std::wstring& text) { text = widenAscii(kDriverName); };
    }
    SQLLEN total = 0;
    const SQLRETURN rc = deliverWideText(read, request, &total);
    if (SQL_SUCCEEDED(rc) && length != nullptr) {
        *length = clampToSmall(total * kCharBytes);
    }
    return rc;
}

SQLRETURN getConnectAttrW(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER capacity,
                          SQLINTEGER* length) {
    if (pg().SQLGetConnectAttrW == nullptr) {
        return missingEntryPoint(SQL_HANDLE_DBC, dbc);
    }
    if (!isTextConnectAttribute(attribute) || capacity < 0) {
        return pg().SQLGetConnectAttrW(dbc, attribute, value, capacity, length);
    }
    const auto read = byteCountedReader([&](PgWideChar* buffer, SQLLEN bytes, SQLLEN* reported) {
        SQLINTEGER count = 0;
        const SQLRETURN rc =
            pg().SQLGetConnectAttrW(dbc, attribute, buffer, clampToInteger(bytes), &count);
        *reported = count;
        return rc;
    });
    SQLLEN total = 0;
    const SQLRETURN rc =
        deliverWideText(read, byteCountedRequest(value, capacity, kLargeUnits), &total);
    if (SQL_SUCCEEDED(rc) && length != nullptr) {
        *length = clampToInteger(total * kCharBytes);
    }
    return rc;
}

SQLRETURN setConnectAttrW(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
    if (pg().SQLSetConnectAttrW == nullptr) {
        return missingEntryPoint(SQL_HANDLE_DBC, dbc);
    }
    if (!isTextConnectAttribute(attribute) || value == nullptr) {
        return pg().SQLSetConnectAttrW(dbc, attribute, value, length);
    }
    // The length of a text attribute counts bytes.
    const SQLLEN characters = length >= 0 ? length / kCharBytes : length;
    Utf16Argument text(static_cast<SQLWCHAR*>(value), characters);
    return pg().SQLSetConnectAttrW(dbc, attribute, text.data(), clampToInteger(text.byteLength()));
}

SQLRETURN setConnectOptionW(SQLHDBC dbc, SQLUSMALLINT option, SQLULEN value) {
    if (!isTextConnectAttribute(option)) {
        if (pg().SQLSetConnectAttr == nullptr) {
            return missingEntryPoint(SQL_HANDLE_DBC, dbc);
        }
        return pg().SQLSetConnectAttr(dbc, option, reinterpret_cast<SQLPOINTER>(value), 0);
    }
    if (pg().SQLSetConnectAttrW == nullptr) {
        return missingEntryPoint(SQL_HANDLE_DBC, dbc);
    }
    Utf16Argument text(reinterpret_cast<SQLWCHAR*>(value), SQL_NTS);
    return pg().SQLSetConnectAttrW(dbc, option, text.data(), SQL_NTS);
}

SQLRETURN getDescFieldW(SQLHDESC desc, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                        SQLINTEGER capacity, SQLINTEGER* length) {
    if (pg().SQLGetDescFieldW == nullptr) {
        return missingEntryPoint(SQL_HANDLE_DESC, desc);
    }
    if (!isTextDescriptorField(field) || capacity < 0) {
        return pg().SQLGetDescFieldW(desc, record, field, value, capacity, length);
    }
    const auto read = byteCountedReader([&](PgWideChar* buffer, SQLLEN bytes, SQLLEN* reported) {
        SQLINTEGER count = 0;
        const SQLRETURN rc =
            pg().SQLGetDescFieldW(desc, record, field, buffer, clampToInteger(bytes), &count);
        *reported = count;
        return rc;
    });
    SQLLEN total = 0;
    const SQLRETURN rc =
        deliverWideText(read, byteCountedRequest(value, capacity, kLargeUnits), &total);
    if (SQL_SUCCEEDED(rc) && length != nullptr) {
        *length = clampToInteger(total * kCharBytes);
    }
    return rc;
}

SQLRETURN getDescRecW(SQLHDESC desc, SQLSMALLINT record, SQLWCHAR* name, SQLSMALLINT capacity,
                      SQLSMALLINT* length, SQLSMALLINT* type, SQLSMALLINT* subType,
                      SQLLEN* octetLength, SQLSMALLINT* precision, SQLSMALLINT* scale,
                      SQLSMALLINT* nullable) {
    if (pg().SQLGetDescRecW == nullptr) {
        return missingEntryPoint(SQL_HANDLE_DESC, desc);
    }
    if (capacity < 0) {
        return pg().SQLGetDescRecW(desc, record, nullptr, capacity, length, type, subType,
                                   octetLength, precision, scale, nullable);
    }
    const auto read = [&](PgWideChar* buffer, SQLLEN units, SQLLEN* reported) {
        SQLSMALLINT count = 0;
        const SQLRETURN rc =
            pg().SQLGetDescRecW(desc, record, buffer, clampToSmall(units), &count, type, subType,
                                octetLength, precision, scale, nullable);
        *reported = count;
        return rc;
    };
    SQLLEN total = 0;
    const SQLRETURN rc =
        deliverWideText(read, charCountedRequest(name, capacity, kSmallCharUnits), &total);
    if (SQL_SUCCEEDED(rc) && length != nullptr) {
        *length = clampToSmall(total);
    }
    return rc;
}

SQLRETURN colAttributeW(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                        SQLSMALLINT capacity, SQLSMALLINT* length, SQLLEN* number) {
    if (pg().SQLColAttributeW == nullptr) {
        return missingEntryPoint(SQL_HANDLE_STMT, stmt);
    }
    if (!isTextColumnField(field) || capacity < 0) {
        return pg().SQLColAttributeW(stmt, column, field, text, capacity, length, number);
    }
    const auto read = byteCountedReader([&](PgWideChar* buffer, SQLLEN bytes, SQLLEN* reported) {
        SQLSMALLINT count = 0;
        const SQLRETURN rc =
            pg().SQLColAttributeW(stmt, column, field, buffer, clampToSmall(bytes), &count, number);
        *reported = count;
        return rc;
    });
    SQLLEN total = 0;
    const SQLRETURN rc =
        deliverWideText(read, byteCountedRequest(text, capacity, kSmallByteUnits), &total);
    if (SQL_SUCCEEDED(rc) && length != nullptr) {
        *length = clampToSmall(total * kCharBytes);
    }
    return rc;
}

SQLRETURN describeColW(SQLHSTMT stmt, SQLUSMALLINT column, SQLWCHAR* name, SQLSMALLINT capacity,
                       SQLSMALLINT* length, SQLSMALLINT* sqlType, SQLULEN* size,
                       SQLSMALLINT* digits, SQLSMALLINT* nullable) {
    if (pg().SQLDescribeColW == nullptr) {
        return missingEntryPoint(SQL_HANDLE_STMT, stmt);
    }
    if (capacity < 0) {
        return pg().SQLDescribeColW(stmt, column, nullptr, capacity, length, sqlType, size, digits,
                                    nullable);
    }
    const auto read = [&](PgWideChar* buffer, SQLLEN units, SQLLEN* reported) {
        SQLSMALLINT count = 0;
        const SQLRETURN rc = pg().SQLDescribeColW(stmt, column, buffer, clampToSmall(units), &count,
                                                  sqlType, size, digits, nullable);
        *reported = count;
        return rc;
    };
    SQLLEN total = 0;
    const SQLRETURN rc =
        deliverWideText(read, charCountedRequest(name, capacity, kSmallCharUnits), &total);
    if (SQL_SUCCEEDED(rc) && length != nullptr) {
        *length = clampToSmall(total);
    }
    return rc;
}

SQLRETURN getCursorNameW(SQLHSTMT stmt, SQLWCHAR* name, SQLSMALLINT capacity, SQLSMALLINT* length) {
    if (pg().SQLGetCursorNameW == nullptr) {
        return missingEntryPoint(SQL_HANDLE_STMT, stmt);
    }
    if (capacity < 0) {
        return pg().SQLGetCursorNameW(stmt, nullptr, capacity, length);
    }
    const auto read = [&](PgWideChar* buffer, SQLLEN units, SQLLEN* reported) {
        SQLSMALLINT count = 0;
        const SQLRETURN rc = pg().SQLGetCursorNameW(stmt, buffer, clampToSmall(units), &count);
        *reported = count;
        return rc;
    };
    SQLLEN total = 0;
    const SQLRETURN rc =
        deliverWideText(read, charCountedRequest(name, capacity, kSmallCharUnits), &total);
    if (SQL_SUCCEEDED(rc) && length != nullptr) {
        *length = clampToSmall(total);
    }
    return rc;
}

}  // namespace pemberix
