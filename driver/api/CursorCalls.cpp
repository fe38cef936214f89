#include "driver/api/CursorCalls.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "driver/api/HandleCalls.h"
#include "driver/api/TraceFrames.h"
#include "driver/api/TraceWriter.h"
#include "driver/api/WideArguments.h"
#include "driver/core/Statement.h"
#include "driver/core/TextEncoding.h"

namespace {

constexpr std::int64_t kMostNarrowBytes = std::numeric_limits<SQLSMALLINT>::max();

std::string callLine(const char* function, SQLHSTMT statement, const std::string& arguments) {
    std::string text;
    appendTraceLine(text, std::string("rc = ") + function + "(" + traceVariable("stmt", statement) +
                              arguments + ");");
    return text;
}

std::string noLines() {
    return {};
}

// The narrow buffer behind SQLGetCursorNameW: room for what a wide buffer
// of `characters` holds (four bytes each, and the terminator), or for any
// name when the caller only asks for its length.
std::vector<char> narrowBufferFor(std::int64_t characters) {
    const std::int64_t size =
        characters > 0 ? characters * kMostUtf8CharBytes + 1 : kMostNarrowBytes;
    return std::vector<char>(static_cast<std::size_t>(std::min(size, kMostNarrowBytes)), '\0');
}

}  // namespace

namespace calls {

SQLRETURN closeCursor(SQLHSTMT statement) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return stampedTraceCall(
        *stmt, [&] { return callLine("SQLCloseCursor", statement, ""); },
        [&] { return stmt->closeCursor(); });
}

SQLRETURN getCursorName(SQLHSTMT statement, SQLCHAR* name, SQLSMALLINT bufferLength,
                        SQLSMALLINT* nameLength) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return plainTraceCall(
        *stmt,
        [&] {
            return callLine("SQLGetCursorName", statement,
                            ", " + traceVariable("name", name) + ", " +
                                std::to_string(bufferLength) + ", " +
                                traceVariable("len", nameLength));
        },
        [&] { return stmt->getCursorName(name, bufferLength, nameLength); },
        [&] {
            std::string text;
            appendTraceLine(text,
                            "// name: " + traceString(name, std::max<SQLINTEGER>(bufferLength, 0)));
            appendTraceLine(text, "// len: " + traceSmallIntOut(nameLength));
            return text;
        });
}

SQLRETURN getCursorNameW(SQLHSTMT statement, SQLWCHAR* name, SQLSMALLINT bufferLength,
                         SQLSMALLINT* nameLength) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    const std::int64_t capacity = std::max<SQLSMALLINT>(bufferLength, 0);
    std::vector<char> narrow = narrowBufferFor(capacity);
    // The byte length of the narrow name, as the statement reports it.
    SQLSMALLINT bytes = 0;
    const auto readName = [&] {
        return stmt->getCursorName(reinterpret_cast<SQLCHAR*>(narrow.data()),
                                   static_cast<SQLSMALLINT>(narrow.size()), &bytes);
    };
    const auto operation = [&]() -> SQLRETURN {
        SQLRETURN rc = readName();
        if (SQL_SUCCEEDED(rc) && bytes >= static_cast<SQLSMALLINT>(narrow.size())) {
            // Read the whole name, so that its characters can be counted.
            narrow.assign(
                static_cast<std::size_t>(std::min<std::int64_t>(bytes + 1, kMostNarrowBytes)),
                '\0');
            rc = readName();
        }
        if (rc == SQL_ERROR) {
            return rc;
        }
        const auto held = static_cast<std::size_t>(
            std::clamp<std::int64_t>(bytes, 0, static_cast<std::int64_t>(narrow.size()) - 1));
        const std::string_view text(narrow.data(), held);
        const std::int64_t characters = copyToWide(
            text.substr(0, wholeUtf8Length(text)), name,
            name != nullptr ? capacity * static_cast<std::int64_t>(sizeof(SQLWCHAR)) : 0);
        // A name longer than any narrow buffer is reported by its bytes,
        // which is at least its length in characters.
        const std::int64_t length = bytes > static_cast<SQLSMALLINT>(held) ? bytes : characters;
        if (rc == SQL_SUCCESS && name != nullptr && length >= capacity) {
            stmt->diagnostics().prependRecord("01004", 0, "", -1, -1);
            rc = SQL_SUCCESS_WITH_INFO;
        }
        if (nameLength != nullptr) {
            *nameLength = wideCharacterLength<SQLSMALLINT>(length);
        }
        return rc;
    };
    return plainTraceCall(
        *stmt,
        [&] {
            return callLine("SQLGetCursorName", statement,
                            ", " + traceVariable("name", narrow.data()) + ", " +
                                std::to_string(bufferLength) + ", " + traceVariable("len", &bytes));
        },
        operation,
        [&] {
            std::string text;
            appendTraceLine(
                text,
                "// name: " + traceString(narrow.data(), static_cast<SQLINTEGER>(narrow.size())));
            appendTraceLine(text, "// len: " + traceSmallIntOut(&bytes));
            return text;
        });
}

SQLRETURN setCursorName(SQLHSTMT statement, SQLCHAR* name, SQLSMALLINT nameLength) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return plainTraceCall(
        *stmt,
        [&] {
            return callLine("SQLSetCursorName", statement,
                            ", " + traceString(name, nameLength) + ", " + traceLength(nameLength));
        },
        [&] { return stmt->setCursorName(name, nameLength); }, noLines);
}

SQLRETURN setCursorNameW(SQLHSTMT statement, SQLWCHAR* name, SQLSMALLINT nameLength) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    // A positive length counts bytes, four to a character.
    const SQLINTEGER units = wideInputLength(
        name, nameLength > 0 ? nameLength / static_cast<SQLINTEGER>(sizeof(SQLWCHAR))
                             : SQLINTEGER{nameLength});
    SQLSMALLINT bytes = 0;
    const std::string text = wideToUtf8(name, units, &bytes);
    return plainTraceCall(
        *stmt,
        [&] {
            return callLine("SQLSetCursorNameW", statement,
                            ", " + traceString(text.c_str()) + ", " + traceLength(bytes));
        },
        [&] { return stmt->setCursorName(reinterpret_cast<const SQLCHAR*>(text.c_str()), bytes); },
        noLines);
}

SQLRETURN setPos(SQLHSTMT statement, SQLSETPOSIROW row, SQLUSMALLINT operation,
                 SQLUSMALLINT lockType) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return stampedTraceCall(
        *stmt,
        [&] {
            return callLine("SQLSetPos", statement,
                            ", " + std::to_string(row) + ", " + traceSetPosOperation(operation) +
                                ", " + traceLockType(lockType));
        },
        [&] { return stmt->setPos(row, operation, lockType); });
}

SQLRETURN bulkOperations(SQLHSTMT statement, SQLUSMALLINT operation) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return stampedTraceCall(
        *stmt,
        [&] {
            return callLine("SQLBulkOperations", statement, ", " + traceBulkOperation(operation));
        },
        [&] { return stmt->bulkOperations(operation); });
}

}  // namespace calls
