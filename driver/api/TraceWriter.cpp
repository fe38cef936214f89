#include "driver/api/TraceWriter.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "driver/core/StringOutput.h"
#include "driver/core/TextEncoding.h"
#include "driver/core/TraceSink.h"

namespace {

const char* findName(SQLINTEGER value, TraceNameTable table) {
    const auto wanted = static_cast<std::uint32_t>(value);
    for (const TraceName& entry : table) {
        if (static_cast<std::uint32_t>(entry.value) == wanted) {
            return entry.name;
        }
    }
    return nullptr;
}

// Output pointers may point into unaligned application buffers.
template <typename T>
T readAt(const void* pointer) {
    T value{};
    std::memcpy(&value, pointer, sizeof value);
    return value;
}

template <typename T>
std::string signedOut(const void* pointer) {
    if (pointer == nullptr) {
        return "NULL";
    }
    return toString(static_cast<std::int64_t>(readAt<T>(pointer)));
}

// Wide text up to `length` characters (SQL_NTS: up to the zero), copied out
// unit by unit so that an unaligned buffer is read safely.
std::wstring collectWide(const SQLWCHAR* text, SQLINTEGER length) {
    std::wstring units;
    if (length < 0 && length != SQL_NTS) {
        return units;
    }
    for (SQLINTEGER index = 0; length == SQL_NTS || index < length; ++index) {
        const auto unit = readAt<SQLWCHAR>(text + index);
        if (unit == 0) {
            break;
        }
        units.push_back(static_cast<wchar_t>(unit));
    }
    return units;
}

std::string joinNames(const std::string& list, const char* name) {
    return list.empty() ? std::string(name) : list + " | " + name;
}

std::string odbc3Functions(const SQLUSMALLINT* bitmap) {
    std::string names;
    for (const TraceName& entry : traceNames::functionIds) {
        const auto id = static_cast<SQLUSMALLINT>(entry.value);
        if (id / 16 >= SQL_API_ODBC3_ALL_FUNCTIONS_SIZE) {
            continue;
        }
        if ((readAt<SQLUSMALLINT>(bitmap + id / 16) & (1u << (id % 16))) != 0) {
            names = joinNames(names, traceFunctionId(id).c_str());
        }
    }
    return names;
}

std::string odbc2Functions(const SQLUSMALLINT* flags) {
    constexpr SQLINTEGER kOdbc2FunctionCount = 100;
    std::string names;
    for (SQLINTEGER index = 0; index < kOdbc2FunctionCount; ++index) {
        if (readAt<SQLUSMALLINT>(flags + index) != 0) {
            names = joinNames(names, traceName(index, traceNames::functionIds).c_str());
        }
    }
    return names;
}

}  // namespace

std::string traceTimestampAt(const timespec& when) {
    tm local{};
    const time_t seconds = when.tv_sec;
    if (localtime_r(&seconds, &local) == nullptr) {
        return toString(static_cast<std::int64_t>(when.tv_sec)) + "." +
               toString(static_cast<std::int64_t>(when.tv_nsec / 1000));
    }
    return toString(local.tm_year + 1900) + "-" + toString(local.tm_mon + 1) + "-" +
           toString(local.tm_mday) + " " + toString(local.tm_hour) + ":" + toString(local.tm_min) +
           ":" + toString(local.tm_sec) + "." +
           toString(static_cast<std::int64_t>(when.tv_nsec / 1000));
}

std::string traceTimestamp() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return traceTimestampAt(now);
}

std::string traceLength(SQLINTEGER length) {
    return length == SQL_NTS ? std::string("SQL_NTS") : toString(length);
}

std::string traceBareString(const char* text, SQLINTEGER length) {
    if (text == nullptr) {
        return "NULL";
    }
    if (length < 0 && length != SQL_NTS) {
        return {};
    }
    return makeSqlString(text, length);
}

std::string traceBareWideString(const SQLWCHAR* text, SQLINTEGER length) {
    if (text == nullptr) {
        return "NULL";
    }
    const std::wstring units = collectWide(text, length);
    return wideToUtf8(units.data(), static_cast<std::int64_t>(units.size()));
}

std::string traceString(const char* text, SQLINTEGER length) {
    if (text == nullptr) {
        return "NULL";
    }
    return "\"" + traceBareString(text, length) + "\"";
}

std::string traceString(const SQLCHAR* text, SQLINTEGER length) {
    return traceString(reinterpret_cast<const char*>(text), length);
}

std::string traceWideString(const SQLWCHAR* text, SQLINTEGER length) {
    if (text == nullptr) {
        return "NULL";
    }
    return "\"" + traceBareWideString(text, length) + "\"";
}

std::string traceSmallIntOut(const SQLSMALLINT* value) {
    return signedOut<SQLSMALLINT>(value);
}

std::string traceSmallIntOut(const SQLUSMALLINT* value) {
    return signedOut<SQLSMALLINT>(value);
}

std::string traceIntegerOut(const SQLINTEGER* value) {
    return signedOut<SQLINTEGER>(value);
}

std::string traceLenOut(const SQLLEN* value) {
    return signedOut<SQLLEN>(value);
}

std::string traceLenOut(const SQLULEN* value) {
    return signedOut<SQLLEN>(value);
}

std::string tracePointer(const void* pointer) {
    char text[2 + 2 * sizeof(std::uintptr_t) + 1];
    std::snprintf(text, sizeof text, "0x%" PRIxPTR, reinterpret_cast<std::uintptr_t>(pointer));
    return text;
}

std::string traceName(SQLINTEGER value, TraceNameTable table) {
    if (const char* name = findName(value, table)) {
        return name;
    }
    return "unknown (" + toString(static_cast<std::uint32_t>(value)) + ")";
}

std::string traceFlags(SQLUINTEGER mask, TraceNameTable table) {
    std::string names;
    for (const TraceName& entry : table) {
        if ((static_cast<SQLUINTEGER>(entry.value) & mask) != 0) {
            names = joinNames(names, entry.name);
        }
    }
    return names.empty() ? toString(mask) : names;
}

std::string traceHandleType(SQLINTEGER value) {
    return traceName(value, traceNames::handleTypes);
}
std::string traceReturnCode(SQLINTEGER value) {
    return traceName(value, traceNames::returnCodes);
}
std::string traceEnvAttribute(SQLINTEGER value) {
    return traceName(value, traceNames::envAttributes);
}
std::string traceConnectAttribute(SQLINTEGER value) {
    return traceName(value, traceNames::connectAttributes);
}
std::string traceInfoType(SQLINTEGER value) {
    return traceName(value, traceNames::infoTypes);
}
std::string traceStatementAttribute(SQLINTEGER value) {
    return traceName(value, traceNames::statementAttributes);
}
std::string traceDescriptorField(SQLINTEGER value) {
    return traceName(value, traceNames::descriptorFields);
}
std::string traceSqlType(SQLINTEGER value) {
    return traceName(value, traceNames::sqlTypes);
}
std::string traceCType(SQLINTEGER value) {
    return traceName(value, traceNames::cTypes);
}
std::string traceDriverCompletion(SQLINTEGER value) {
    return traceName(value, traceNames::driverCompletions);
}
std::string traceParamType(SQLINTEGER value) {
    return traceName(value, traceNames::paramTypes);
}
std::string traceDiagIdentifier(SQLINTEGER value) {
    return traceName(value, traceNames::diagIdentifiers);
}
std::string traceFetchOrientation(SQLINTEGER value) {
    return traceName(value, traceNames::fetchOrientations);
}
std::string traceCompletionType(SQLINTEGER value) {
    return traceName(value, traceNames::completionTypes);
}
std::string traceSetPosOperation(SQLINTEGER value) {
    return traceName(value, traceNames::setPosOperations);
}
std::string traceLockType(SQLINTEGER value) {
    return traceName(value, traceNames::lockTypes);
}
std::string traceBulkOperation(SQLINTEGER value) {
    return traceName(value, traceNames::bulkOperations);
}
std::string traceIdentifierType(SQLINTEGER value) {
    return traceName(value, traceNames::identifierTypes);
}
std::string traceScope(SQLINTEGER value) {
    return traceName(value, traceNames::scopes);
}
std::string traceNullable(SQLINTEGER value) {
    return traceName(value, traceNames::nullables);
}
std::string traceUnique(SQLINTEGER value) {
    return traceName(value, traceNames::uniques);
}
std::string traceAccuracy(SQLINTEGER value) {
    return traceName(value, traceNames::accuracies);
}
std::string traceFreeStmtOption(SQLINTEGER value) {
    return traceName(value, traceNames::freeStmtOptions);
}

std::string traceValueLength(SQLINTEGER length) {
    if (const char* name = findName(length, traceNames::valueLengths)) {
        return name;
    }
    return toString(length);
}

std::string traceTypeInfoType(SQLSMALLINT dataType) {
    return dataType == SQL_ALL_TYPES ? std::string("SQL_ALL_TYPES") : traceSqlType(dataType);
}

std::string traceFunctionId(SQLUSMALLINT functionId) {
    switch (functionId) {
        case SQL_API_ALL_FUNCTIONS:
            return "SQL_API_ALL_FUNCTIONS";
        case SQL_API_ODBC3_ALL_FUNCTIONS:
            return "SQL_API_ODBC3_ALL_FUNCTIONS";
        default:
            return traceName(functionId, traceNames::functionIds);
    }
}

std::string traceSupportedFunctions(SQLUSMALLINT functionId, const SQLUSMALLINT* supported) {
    if (supported == nullptr) {
        return "NULL";
    }
    switch (functionId) {
        case SQL_API_ODBC3_ALL_FUNCTIONS:
            return odbc3Functions(supported);
        case SQL_API_ALL_FUNCTIONS:
            return odbc2Functions(supported);
        default:
            return traceName(readAt<SQLUSMALLINT>(supported), traceNames::trueFalse);
    }
}

std::string traceIndicator(const SQLLEN* value) {
    if (value == nullptr) {
        return "NULL";
    }
    const auto indicator = readAt<SQLLEN>(value);
    if (indicator >= 0) {
        return toString(static_cast<std::int64_t>(indicator));
    }
    if (indicator >= SQL_COLUMN_IGNORE) {
        if (const char* name =
                findName(static_cast<SQLINTEGER>(indicator), traceNames::indicators)) {
            return name;
        }
    }
    // The length that SQL_LEN_DATA_AT_EXEC(length) encodes.
    const std::int64_t length = SQL_LEN_DATA_AT_EXEC_OFFSET - static_cast<std::int64_t>(indicator);
    return "SQL_LEN_DATA_AT_EXEC( " + toString(length) + " )";
}

std::string traceEnterLine() {
    return "// ENTER: " + traceTimestamp();
}

std::string traceExitLine(SQLRETURN rc) {
    return "// EXIT: " + traceTimestamp() + "  rc: " + traceReturnCode(rc);
}

std::string traceReturnLine(SQLRETURN rc) {
    return "// rc: " + traceReturnCode(rc);
}

std::string traceExceptionLine(std::string_view what) {
    std::string line = "// Exception: ";
    line += what;
    return line;
}

void writeTraceLine(TraceSink& sink, std::string_view line) {
    std::string text;
    text.reserve(line.size() + 1);
    text += line;
    text += '\n';
    sink.writeTrace(text);
}
