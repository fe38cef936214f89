// The repeater connection's side of the adapted driver: finding and loading
// its library, resolving its entry points, its environment and connection
// handles, and the native calls with their fallback from the narrow to the
// wide form.

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <vector>

#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/api/TraceWriter.h"
#include "driver/core/ConnectionText.h"
#include "driver/core/TextEncoding.h"
#include "platform/TrustedPath.h"

namespace {

constexpr std::size_t kWideTextCapacity = 4096;
constexpr SQLSMALLINT kWideMessageCapacity = 512;

// Information types whose answer is text; every other answer is copied as
// the bytes the driver reported.
constexpr SQLUSMALLINT kTextInfoTypes[] = {
    SQL_DATA_SOURCE_NAME,
    SQL_DRIVER_NAME,
    SQL_DRIVER_VER,
    SQL_ROW_UPDATES,
    SQL_SERVER_NAME,
    SQL_SEARCH_PATTERN_ESCAPE,
    SQL_DATABASE_NAME,
    SQL_DBMS_NAME,
    SQL_DBMS_VER,
    SQL_ACCESSIBLE_TABLES,
    SQL_ACCESSIBLE_PROCEDURES,
    SQL_PROCEDURES,
    SQL_DATA_SOURCE_READ_ONLY,
    SQL_EXPRESSIONS_IN_ORDERBY,
    SQL_IDENTIFIER_QUOTE_CHAR,
    SQL_MULT_RESULT_SETS,
    SQL_MULTIPLE_ACTIVE_TXN,
    SQL_OUTER_JOINS,
    SQL_SCHEMA_TERM,
    SQL_PROCEDURE_TERM,
    SQL_CATALOG_NAME_SEPARATOR,
    SQL_CATALOG_TERM,
    SQL_TABLE_TERM,
    SQL_USER_NAME,
    SQL_INTEGRITY,
    SQL_DRIVER_ODBC_VER,
    SQL_COLUMN_ALIAS,
    SQL_KEYWORDS,
    SQL_ORDER_BY_COLUMNS_IN_SELECT,
    SQL_SPECIAL_CHARACTERS,
    SQL_MAX_ROW_SIZE_INCLUDES_LONG,
    SQL_NEED_LONG_DATA_LEN,
    SQL_LIKE_ESCAPE_CLAUSE,
    SQL_CATALOG_NAME,
    SQL_COLLATION_SEQ,
    SQL_DESCRIBE_PARAMETER,
};
static_assert(std::size(kTextInfoTypes) == 36);

bool isTextInfoType(SQLUSMALLINT infoType) {
    return std::find(std::begin(kTextInfoTypes), std::end(kTextInfoTypes), infoType) !=
           std::end(kTextInfoTypes);
}

// Wide units before the terminator, looking no further than `capacity`.
std::size_t boundedWideLength(const SQLWCHAR* text, std::size_t capacity) {
    std::size_t length = 0;
    while (length < capacity && text[length] != 0) {
        ++length;
    }
    return length;
}

// Copies UTF-8 text into a buffer of `size` bytes, cut before a character
// that does not fit whole and always terminated. True when it was cut.
bool copyUtf8Bounded(void* destination, std::size_t size, const std::string& text) {
    if (destination == nullptr || size == 0) {
        return !text.empty();
    }
    std::size_t count = std::min(text.size(), size - 1);
    if (count < text.size()) {
        while (count > 0 && (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80) {
            --count;
        }
    }
    auto* out = static_cast<char*>(destination);
    std::memcpy(out, text.data(), count);
    out[count] = '\0';
    return count < text.size();
}

SQLSMALLINT clampToShort(std::size_t value) {
    return static_cast<SQLSMALLINT>(
        std::min<std::size_t>(value, std::numeric_limits<SQLSMALLINT>::max()));
}

const char* flag(bool value) {
    return value ? "1" : "0";
}

// The native environment of each loaded library. It is never freed, so it
// is made once per library and shared by every connection of the process
// rather than made again, and lost, at every connect.
struct SharedEnvironments {
    std::mutex mutex;
    std::map<void*, SQLHENV> byLibrary;
};

// Never destroyed, like the environments it lists.
SharedEnvironments& sharedEnvironments() {
    static auto* const shared = new SharedEnvironments;
    return *shared;
}

}  // namespace

bool ODBCRepeaterConnection::loadDriver(std::string& reason) {
    if (adaptedDsn_.empty()) {
        reason = "driver path not specified";
        return false;
    }
    const std::string path = getDsnValue(adaptedDsn_, L"Driver");
    trace("// --> library path: " + path);
    if (path.empty()) {
        return false;
    }
    return loadLibrary(path, reason);
}

bool ODBCRepeaterConnection::loadLibrary(const std::string& path, std::string& reason) {
    // Entries of a library loaded before must not survive into this one.
    entryPoints_ = AdaptedDriverEntryPoints{};
    library_ = nullptr;
    // Root's code is root's alone, whatever user's DSN names the library:
    // loaded is the file that was checked.
    std::filesystem::path trusted = path;
    if (TrustedPath::keepsRootRules()) {
        std::string problem;
        if (TrustedPath::resolve(path, trusted, problem) != 0) {
            reason = "a process running as root loads only a library that root alone can change: " +
                     problem;
            trace("// --> refused: " + reason);
            return false;
        }
    }
    // Never closed: the driver's code must stay mapped for the process.
    library_ = dlopen(trusted.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (library_ == nullptr) {
        const char* error = dlerror();
        reason = error != nullptr ? error : "";
        trace("// --> dlerror: " + reason);
        return false;
    }
    trace("// --> handle: " + tracePointer(library_));

    const auto rows = adaptedEntryPointRows();
    for (const AdaptedEntryPointRow& row : rows) {
        if (row.group == EntryPointGroup::Connection) {
            resolveAdaptedEntryPoint(library_, row, entryPoints_);
        }
    }
    trace(std::string("// --> SQLConnect: ") + flag(entryPoints_.SQLConnect != nullptr));
    trace(std::string("// --> SQLConnectW: ") + flag(entryPoints_.SQLConnectW != nullptr));
    if (entryPoints_.SQLConnect == nullptr && entryPoints_.SQLConnectW == nullptr) {
        reason = "not a valid ODBC driver";
        trace("// --> not a valid ODBC driver");
        return false;
    }
    for (const AdaptedEntryPointRow& row : rows) {
        if (row.group == EntryPointGroup::Connection) {
            continue;
        }
        const bool found = resolveAdaptedEntryPoint(library_, row, entryPoints_);
        if (std::strcmp(row.name, "SQLAllocEnv") == 0) {
            trace(std::string("// --> SQLAllocEnv: ") + flag(found));
        }
    }
    return true;
}

void ODBCRepeaterConnection::allocateNativeHandles() {
    nativeConnection_ = SQL_NULL_HDBC;
    {
        SharedEnvironments& shared = sharedEnvironments();
        std::lock_guard guard(shared.mutex);
        const auto known = shared.byLibrary.find(library_);
        if (known != shared.byLibrary.end()) {
            nativeEnvironment_ = known->second;
        } else {
            SQLHENV environment = SQL_NULL_HENV;
            SQLRETURN rc = SQL_ERROR;
            if (entryPoints_.SQLAllocHandle != nullptr) {
                rc = entryPoints_.SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment);
            } else if (entryPoints_.SQLAllocEnv != nullptr) {
                rc = entryPoints_.SQLAllocEnv(&environment);
            }
            // A failed allocation leaves no handle that could be used later.
            nativeEnvironment_ = SQL_SUCCEEDED(rc) ? environment : SQL_NULL_HENV;
            if (nativeEnvironment_ != SQL_NULL_HENV) {
                shared.byLibrary.emplace(library_, nativeEnvironment_);
            }
        }
    }
    if (nativeEnvironment_ == SQL_NULL_HENV) {
        return;
    }
    SQLHDBC connection = SQL_NULL_HDBC;
    SQLRETURN rc = SQL_ERROR;
    if (entryPoints_.SQLAllocHandle != nullptr) {
        rc = entryPoints_.SQLAllocHandle(SQL_HANDLE_DBC, nativeEnvironment_, &connection);
    } else if (entryPoints_.SQLAllocConnect != nullptr) {
        rc = entryPoints_.SQLAllocConnect(nativeEnvironment_, &connection);
    }
    nativeConnection_ = SQL_SUCCEEDED(rc) ? connection : SQL_NULL_HDBC;
}

void ODBCRepeaterConnection::releaseNativeConnection() {
    if (nativeConnection_ == SQL_NULL_HDBC) {
        return;
    }
    trace("// freeing connection handle");
    if (entryPoints_.SQLFreeHandle != nullptr) {
        entryPoints_.SQLFreeHandle(SQL_HANDLE_DBC, nativeConnection_);
    } else if (entryPoints_.SQLFreeConnect != nullptr) {
        entryPoints_.SQLFreeConnect(nativeConnection_);
    } else {
        trace("// driver does not have free handle/connection function");
    }
    nativeConnection_ = SQL_NULL_HDBC;
}

SQLRETURN ODBCRepeaterConnection::nativeDriverConnect(SQLHDBC hdbc, SQLHWND window,
                                                      const SQLCHAR* text, SQLSMALLINT textLength,
                                                      SQLCHAR* outText, SQLSMALLINT outMax,
                                                      SQLSMALLINT* outLength) {
    if (entryPoints_.SQLDriverConnect != nullptr) {
        return entryPoints_.SQLDriverConnect(hdbc, window, const_cast<SQLCHAR*>(text), textLength,
                                             outText, outMax, outLength, SQL_DRIVER_NOPROMPT);
    }
    if (entryPoints_.SQLDriverConnectW != nullptr) {
        std::vector<SQLWCHAR> wideText(kWideTextCapacity, 0);
        utf8ToWide(reinterpret_cast<const char*>(text), textLength, wideText.data(),
                   static_cast<std::int64_t>(wideText.size() * sizeof(SQLWCHAR)));
        std::vector<SQLWCHAR> wideOut(kWideTextCapacity + 1, 0);
        SQLSMALLINT wideLength = 0;
        const SQLRETURN rc = entryPoints_.SQLDriverConnectW(
            hdbc, window, wideText.data(), SQL_NTS, wideOut.data(),
            static_cast<SQLSMALLINT>(kWideTextCapacity), &wideLength, SQL_DRIVER_NOPROMPT);
        const std::size_t units = std::min<std::size_t>(
            static_cast<std::size_t>(std::max<SQLSMALLINT>(wideLength, 0)), kWideTextCapacity);
        const std::string completed = wideToUtf8(wideOut.data(), static_cast<std::int64_t>(units));
        if (outText != nullptr && outMax > 0) {
            copyUtf8Bounded(outText, static_cast<std::size_t>(outMax), completed);
        }
        if (outLength != nullptr) {
            *outLength = clampToShort(completed.size());
        }
        return rc;
    }
    diagnostics_.prependRecord("08001", 100, "Driver configuration error", -1, -1);
    writeErrorLog("Driver configuration error");
    return SQL_ERROR;
}

SQLRETURN ODBCRepeaterConnection::nativeError(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                              SQLSMALLINT messageSize, SQLSMALLINT* length) {
    return readNativeRecord(SQL_HANDLE_DBC, nativeConnection_, state, native, message, messageSize,
                            length);
}

SQLRETURN ODBCRepeaterConnection::readNativeRecord(SQLSMALLINT handleType, SQLHANDLE handle,
                                                   SQLCHAR* state, SQLINTEGER* native,
                                                   SQLCHAR* message, SQLSMALLINT messageSize,
                                                   SQLSMALLINT* length) {
    // Some drivers crash when asked about a null handle.
    if (handle == SQL_NULL_HANDLE) {
        return SQL_ERROR;
    }
    if (entryPoints_.SQLGetDiagRec != nullptr) {
        return entryPoints_.SQLGetDiagRec(handleType, handle, 1, state, native, message,
                                          messageSize, length);
    }
    if (entryPoints_.SQLGetDiagRecW != nullptr) {
        SQLWCHAR wideState[6] = {};
        std::vector<SQLWCHAR> wideMessage(static_cast<std::size_t>(kWideMessageCapacity) + 1, 0);
        SQLSMALLINT wideLength = 0;
        SQLRETURN rc =
            entryPoints_.SQLGetDiagRecW(handleType, handle, 1, wideState, native,
                                        wideMessage.data(), kWideMessageCapacity, &wideLength);
        if (!SQL_SUCCEEDED(rc)) {
            return rc;
        }
        if (state != nullptr) {
            copyUtf8Bounded(state, 6, wideToUtf8(wideState, 5));
        }
        const std::size_t units =
            std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(wideLength, 0)),
                     boundedWideLength(wideMessage.data(), kWideMessageCapacity));
        const std::string text = wideToUtf8(wideMessage.data(), static_cast<std::int64_t>(units));
        // 512 wide characters can take four times as many bytes.
        const bool cut = copyUtf8Bounded(
            message, static_cast<std::size_t>(std::max<SQLSMALLINT>(messageSize, 0)), text);
        if (length != nullptr) {
            *length = clampToShort(text.size());
        }
        if (cut && message != nullptr && rc == SQL_SUCCESS) {
            rc = SQL_SUCCESS_WITH_INFO;
        }
        return rc;
    }
    trace("// could not call error function");
    return SQL_ERROR;
}

SQLRETURN ODBCRepeaterConnection::nativeGetInfo(SQLHDBC hdbc, SQLUSMALLINT infoType,
                                                SQLPOINTER value, SQLSMALLINT bufferLength,
                                                SQLSMALLINT* outLength) {
    if (hdbc == SQL_NULL_HDBC) {
        return SQL_ERROR;
    }
    if (entryPoints_.SQLGetInfo != nullptr) {
        return entryPoints_.SQLGetInfo(hdbc, infoType, value, bufferLength, outLength);
    }
    if (entryPoints_.SQLGetInfoW == nullptr) {
        trace("// could not call get info function");
        return SQL_ERROR;
    }
    const std::size_t usable = static_cast<std::size_t>(std::max<SQLSMALLINT>(bufferLength, 0));
    // Room for the wide form of any text that fits the caller's buffer, and
    // for a number, which a driver writes whatever length it is told.
    std::vector<SQLWCHAR> wide;
    if (value != nullptr) {
        wide.assign(std::max<std::size_t>(usable, 4) + 1, 0);
    }
    // The driver is told the wide buffer's real size, so that text which
    // fits the caller's buffer once converted is not cut on the way.
    const auto wideBytes = static_cast<SQLSMALLINT>(
        std::min<std::size_t>(usable * sizeof(SQLWCHAR), std::numeric_limits<SQLSMALLINT>::max()));
    SQLSMALLINT reported = 0;
    SQLRETURN rc = entryPoints_.SQLGetInfoW(
        hdbc, infoType, value != nullptr ? wide.data() : nullptr, wideBytes, &reported);
    if (!SQL_SUCCEEDED(rc)) {
        return rc;
    }
    const std::size_t reportedBytes = static_cast<std::size_t>(std::max<SQLSMALLINT>(reported, 0));
    if (isTextInfoType(infoType)) {
        if (value == nullptr) {
            if (outLength != nullptr) {
                *outLength = clampToShort(reportedBytes * kWideCharBytes);
            }
            return rc;
        }
        const std::string text =
            wideToUtf8(wide.data(),
                       static_cast<std::int64_t>(boundedWideLength(wide.data(), wide.size() - 1)));
        if (copyUtf8Bounded(value, usable, text) && rc == SQL_SUCCESS) {
            rc = SQL_SUCCESS_WITH_INFO;
        }
        if (outLength != nullptr) {
            *outLength = clampToShort(text.size());
        }
        return rc;
    }
    if (value != nullptr) {
        // A number's buffer need not carry a length; it holds at least the
        // widest item, four bytes.
        const std::size_t limit = usable > 0 ? usable : sizeof(SQLUINTEGER);
        const std::size_t count = std::min({reportedBytes, limit, wide.size() * sizeof(SQLWCHAR)});
        std::memcpy(value, wide.data(), count);
    }
    if (outLength != nullptr) {
        *outLength = reported;
    }
    return rc;
}

SQLRETURN ODBCRepeaterConnection::nativeSetConnectAttr(SQLHDBC hdbc, SQLINTEGER attribute,
                                                       SQLPOINTER value, SQLINTEGER stringLength) {
    if (entryPoints_.SQLSetConnectAttr != nullptr) {
        return entryPoints_.SQLSetConnectAttr(hdbc, attribute, value, stringLength);
    }
    if (entryPoints_.SQLSetConnectAttrW != nullptr) {
        return entryPoints_.SQLSetConnectAttrW(hdbc, attribute, value, stringLength);
    }
    diagnostics_.prependRecord("HY000", 100, "Driver configuration error", -1, -1);
    writeErrorLog("Driver configuration error");
    return SQL_ERROR;
}
