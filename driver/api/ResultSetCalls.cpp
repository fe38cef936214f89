#include "driver/api/ResultSetCalls.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "driver/api/HandleCalls.h"
#include "driver/api/TraceFrames.h"
#include "driver/api/TraceValueRenderers.h"
#include "driver/api/TraceWriter.h"
#include "driver/api/WideArguments.h"
#include "driver/core/Connection.h"
#include "driver/core/OdbcTypes.h"
#include "driver/core/Statement.h"
#include "driver/core/TextEncoding.h"

namespace {

constexpr std::int64_t kMostNarrowBytes = std::numeric_limits<SQLSMALLINT>::max();

std::string number(std::int64_t value) {
    return std::to_string(value);
}

std::string handleArgument(SQLHSTMT statement) {
    return traceVariable("stmt", statement);
}

// "SQLCHAR name0x...[64];": an output buffer declared by its address.
std::string arrayDeclaration(std::string_view type, const void* buffer, std::int64_t size) {
    return traceVariable(type, buffer) + "[" + number(size) + "];";
}

std::string scalarDeclaration(std::string_view type, const void* variable) {
    return traceVariable(type, variable) + " = 0;";
}

void declareIfGiven(std::string& text, const void* pointer, const std::string& declaration) {
    if (pointer != nullptr) {
        appendTraceLine(text, declaration);
    }
}

// How far the trace may read a text the driver wrote into a caller's
// buffer: never past the buffer, nothing when it has no room.
SQLINTEGER readableBytes(SQLSMALLINT bufferLength) {
    return std::max<SQLINTEGER>(bufferLength, 0);
}

// The text attributes of SQLColAttribute, which the W form converts.
bool isTextAttribute(SQLUSMALLINT field) {
    static constexpr SQLUSMALLINT kText[] = {
        SQL_COLUMN_NAME,           SQL_DESC_TYPE_NAME,       SQL_DESC_TABLE_NAME,
        SQL_DESC_SCHEMA_NAME,      SQL_DESC_CATALOG_NAME,    SQL_DESC_LABEL,
        SQL_DESC_BASE_COLUMN_NAME, SQL_DESC_BASE_TABLE_NAME, SQL_DESC_LITERAL_PREFIX,
        SQL_DESC_LITERAL_SUFFIX,   SQL_DESC_LOCAL_TYPE_NAME, SQL_DESC_NAME,
    };
    return std::find(std::begin(kText), std::end(kText), field) != std::end(kText);
}

// A narrow buffer that holds what a caller's wide buffer of `characters`
// can: four bytes a character and the terminator, within a 16-bit length.
SQLSMALLINT narrowCapacity(std::int64_t characters) {
    return static_cast<SQLSMALLINT>(
        std::clamp<std::int64_t>(characters * kMostUtf8CharBytes + 1, 1, kMostNarrowBytes));
}

// A cut text is never passed off as the whole one.
SQLRETURN reportCut(Statement& statement, SQLRETURN rc) {
    statement.diagnostics().prependRecord("01004", 0, "", -1, -1);
    return rc == SQL_SUCCESS ? SQL_SUCCESS_WITH_INFO : rc;
}

std::string convertedText(std::string_view text, StringEncoding from, StringEncoding to) {
    const auto size = static_cast<std::int64_t>(text.size()) * 4 + 4;
    std::string out(static_cast<std::size_t>(size), '\0');
    const std::int64_t written =
        convertEncoding(out.data(), size, nullptr, nullptr, nullptr, to, text.data(),
                        static_cast<std::int64_t>(text.size()), from);
    out.resize(static_cast<std::size_t>(std::clamp<std::int64_t>(written, 0, size - 1)));
    return out;
}

// Hosts that neither use the wide API nor receive UTF-8 expect column names
// as the Latin-1 reading of their Mac OS Roman bytes.
std::string macRomanReading(std::string_view name) {
    const std::string latin1 = convertedText(name, kEncodingUtf8, kEncodingIsoLatin1);
    const std::string roman = convertedText(latin1, kEncodingIsoLatin1, kEncodingMacRoman);
    return convertedText(roman, kEncodingIsoLatin1, kEncodingUtf8);
}

// The call lines of the three SQLColAttribute forms differ only in the
// name and in the prefix of the character buffer.
struct AttributeCall {
    const char* function;
    const char* bufferPrefix;
    const char* bufferType;
};

std::string attributeEntry(const AttributeCall& form, SQLHSTMT statement, SQLUSMALLINT column,
                           SQLUSMALLINT field, SQLPOINTER characterAttribute,
                           SQLSMALLINT bufferLength, SQLSMALLINT* stringLength,
                           SQLLEN* numericAttribute) {
    std::string text;
    declareIfGiven(text, characterAttribute,
                   arrayDeclaration(form.bufferType, characterAttribute, bufferLength));
    declareIfGiven(text, stringLength, scalarDeclaration("SQLSMALLINT len", stringLength));
    declareIfGiven(text, numericAttribute, scalarDeclaration("SQLLEN num", numericAttribute));
    appendTraceLine(text, std::string("rc = ") + form.function + "(" + handleArgument(statement) +
                              ", " + number(column) + ", " + traceDescriptorField(field) + ", " +
                              traceOutputArgument(form.bufferPrefix, characterAttribute) + ", " +
                              number(bufferLength) + ", " +
                              traceOutputArgument("&len", stringLength) + ", " +
                              traceOutputArgument("&num", numericAttribute) + ");");
    return text;
}

template <typename ValueRenderer>
std::string attributeResults(ValueRenderer renderValue, SQLUSMALLINT field,
                             SQLPOINTER characterAttribute, SQLSMALLINT bufferLength,
                             const SQLSMALLINT* stringLength, const SQLLEN* numberShown,
                             bool numberGiven) {
    std::string text;
    if (characterAttribute != nullptr) {
        appendTraceLine(
            text, "// value: " + renderValue(static_cast<SQLSMALLINT>(field), characterAttribute,
                                             readableBytes(bufferLength)));
    }
    if (stringLength != nullptr) {
        appendTraceLine(text, "// len: " + traceSmallIntOut(stringLength));
    }
    if (numberGiven) {
        appendTraceLine(text, "// num: " + traceLenOut(numberShown));
    }
    return text;
}

std::string describeResults(const std::string& name, bool showLength, const SQLSMALLINT* nameLength,
                            const SQLSMALLINT* dataType, const SQLULEN* columnSize,
                            const SQLSMALLINT* decimalDigits, const std::string& nullable) {
    std::string text;
    appendTraceLine(text, "// name: " + name);
    if (showLength) {
        appendTraceLine(text, "// *len: " + traceSmallIntOut(nameLength));
    }
    if (dataType != nullptr) {
        appendTraceLine(text, "// *type: " + traceSqlType(*dataType));
    }
    if (columnSize != nullptr) {
        appendTraceLine(text, "// *size: " + traceLenOut(columnSize));
    }
    if (decimalDigits != nullptr) {
        appendTraceLine(text, "// *dig: " + traceSmallIntOut(decimalDigits));
    }
    if (!nullable.empty()) {
        appendTraceLine(text, "// *null: " + nullable);
    }
    return text;
}

void declareDescribeOutputs(std::string& text, const SQLSMALLINT* dataType,
                            const SQLULEN* columnSize, const SQLSMALLINT* decimalDigits,
                            const SQLSMALLINT* nullable) {
    declareIfGiven(text, dataType, scalarDeclaration("SQLSMALLINT type", dataType));
    declareIfGiven(text, columnSize, scalarDeclaration("SQLULEN size", columnSize));
    declareIfGiven(text, decimalDigits, scalarDeclaration("SQLSMALLINT dig", decimalDigits));
    declareIfGiven(text, nullable, scalarDeclaration("SQLSMALLINT null", nullable));
}

std::string plainCall(const char* function, SQLHSTMT statement, const std::string& arguments) {
    std::string text;
    appendTraceLine(
        text, std::string("rc = ") + function + "(" + handleArgument(statement) + arguments + ");");
    return text;
}

std::string noLines() {
    return {};
}

}  // namespace

namespace calls {

SQLRETURN colAttribute(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field,
                       SQLPOINTER characterAttribute, SQLSMALLINT bufferLength,
                       SQLSMALLINT* stringLength, SQLLEN* numericAttribute) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    static constexpr AttributeCall kForm{"SQLColAttribute", "char", "SQLCHAR char"};
    SQLLEN local = 0;
    const SQLRETURN rc = plainTraceCall(
        *stmt,
        [&] {
            return attributeEntry(kForm, statement, column, field, characterAttribute, bufferLength,
                                  stringLength, numericAttribute);
        },
        [&] {
            return stmt->colAttribute(column, field, characterAttribute, bufferLength, stringLength,
                                      &local);
        },
        [&] {
            return attributeResults([](SQLSMALLINT f, SQLPOINTER v,
                                       SQLINTEGER l) { return traceDescriptorFieldValue(f, v, l); },
                                    field, characterAttribute, bufferLength, stringLength, &local,
                                    numericAttribute != nullptr);
        });
    if (numericAttribute != nullptr) {
        *numericAttribute = local;
    }
    return rc;
}

SQLRETURN colAttributes(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field,
                        SQLPOINTER characterAttribute, SQLSMALLINT bufferLength,
                        SQLSMALLINT* stringLength, SQLLEN* numericAttribute) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    static constexpr AttributeCall kForm{"SQLColAttributes", "value", "char value"};
    return plainTraceCall(
        *stmt,
        [&] {
            return attributeEntry(kForm, statement, column, field, characterAttribute, bufferLength,
                                  stringLength, numericAttribute);
        },
        [&] {
            return stmt->colAttribute(column, field, characterAttribute, bufferLength, stringLength,
                                      numericAttribute);
        },
        [&] {
            return attributeResults([](SQLSMALLINT f, SQLPOINTER v,
                                       SQLINTEGER l) { return traceDescriptorFieldValue(f, v, l); },
                                    field, characterAttribute, bufferLength, stringLength,
                                    numericAttribute, numericAttribute != nullptr);
        });
}

SQLRETURN colAttributesW(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field,
                         SQLPOINTER characterAttribute, SQLSMALLINT bufferLength,
                         SQLSMALLINT* stringLength, SQLLEN* numericAttribute) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    static constexpr AttributeCall kForm{"SQLColAttributesW", "value", "char value"};
    const auto operation = [&]() -> SQLRETURN {
        if (!isTextAttribute(field)) {
            // The value travels through NumericAttribute alone.
            SQLSMALLINT unused = 0;
            return stmt->colAttribute(column, field, nullptr, 0, &unused, numericAttribute);
        }
        const std::int64_t capacity = std::max<std::int64_t>(bufferLength, 0) / kWideCharBytes;
        const NarrowAnswer answer = readNarrowAnswer<SQLSMALLINT>(
            narrowCapacity(capacity), [&](SQLCHAR* buffer, SQLSMALLINT size, SQLSMALLINT* length) {
                return stmt->colAttribute(column, field, buffer, size, length, numericAttribute);
            });
        if (!SQL_SUCCEEDED(answer.rc)) {
            return answer.rc;
        }
        const std::int64_t characters =
            copyToWide(answer.text, characterAttribute,
                       characterAttribute != nullptr ? std::max<SQLSMALLINT>(bufferLength, 0) : 0);
        if (stringLength != nullptr) {
            *stringLength = wideByteLength<SQLSMALLINT>(characters);
        }
        const bool cut = answer.length > static_cast<std::int64_t>(answer.text.size()) ||
                         (characterAttribute != nullptr && characters >= capacity);
        return cut ? reportCut(*stmt, answer.rc) : answer.rc;
    };
    return plainTraceCall(
        *stmt,
        [&] {
            return attributeEntry(kForm, statement, column, field, characterAttribute, bufferLength,
                                  stringLength, numericAttribute);
        },
        operation,
        [&] {
            return attributeResults(
                [](SQLSMALLINT f, SQLPOINTER v, SQLINTEGER l) {
                    return traceDescriptorFieldValueW(f, v, l);
                },
                field, characterAttribute, bufferLength, stringLength, numericAttribute,
                numericAttribute != nullptr);
        });
}

SQLRETURN describeCol(SQLHSTMT statement, SQLUSMALLINT column, SQLCHAR* name,
                      SQLSMALLINT bufferLength, SQLSMALLINT* nameLength, SQLSMALLINT* dataType,
                      SQLULEN* columnSize, SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return plainTraceCall(
        *stmt,
        [&] {
            std::string text;
            declareIfGiven(text, name, arrayDeclaration("SQLCHAR name", name, bufferLength));
            declareIfGiven(text, nameLength, scalarDeclaration("SQLSMALLINT len", nameLength));
            declareDescribeOutputs(text, dataType, columnSize, decimalDigits, nullable);
            text += plainCall("SQLDescribeCol", statement,
                              ", " + number(column) + ", " + traceOutputArgument("name", name) +
                                  ", " + number(bufferLength) + ", " +
                                  traceOutputArgument("&len", nameLength) + ", " +
                                  traceOutputArgument("&type", dataType) + ", " +
                                  traceOutputArgument("&size", columnSize) + ", " +
                                  traceOutputArgument("&dig", decimalDigits) + ", " +
                                  traceOutputArgument("&null", nullable));
            return text;
        },
        [&] {
            return stmt->describeCol(column, name, bufferLength, nameLength, dataType, columnSize,
                                     decimalDigits, nullable);
        },
        [&] {
            return describeResults(traceString(name, readableBytes(bufferLength)),
                                   nameLength != nullptr, nameLength, dataType, columnSize,
                                   decimalDigits,
                                   nullable != nullptr ? traceNullable(*nullable) : "");
        });
}

SQLRETURN describeColW(SQLHSTMT statement, SQLUSMALLINT column, SQLWCHAR* name,
                       SQLSMALLINT bufferLength, SQLSMALLINT* nameLength, SQLSMALLINT* dataType,
                       SQLULEN* columnSize, SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    // The length the trace names; it receives what NameLength receives.
    SQLSMALLINT ownLength = 0;
    const bool lengthUsed = bufferLength > 0 || nameLength != nullptr;
    const SQLSMALLINT* lengthShown = lengthUsed ? &ownLength : nullptr;
    const std::int64_t capacity = std::max<SQLSMALLINT>(bufferLength, 0);
    const auto operation = [&]() -> SQLRETURN {
        const NarrowAnswer answer = readNarrowAnswer<SQLSMALLINT>(
            narrowCapacity(capacity), [&](SQLCHAR* buffer, SQLSMALLINT size, SQLSMALLINT* length) {
                return stmt->describeCol(column, buffer, size, length, dataType, columnSize,
                                         decimalDigits, nullable);
            });
        if (!SQL_SUCCEEDED(answer.rc)) {
            return answer.rc;
        }
        Connection* connection = stmt->connection();
        const bool redecode = !connection->isWideApi() &&
                              connection->receiveEncoding() == connection->languageEncoding();
        const std::string text = redecode ? macRomanReading(answer.text) : answer.text;
        const std::int64_t characters =
            copyToWide(text, name, name != nullptr ? capacity * kWideCharBytes : 0);
        ownLength = wideCharacterLength<SQLSMALLINT>(characters);
        if (nameLength != nullptr) {
            *nameLength = ownLength;
        }
        const bool cut = answer.length > static_cast<std::int64_t>(answer.text.size()) ||
                         (name != nullptr && characters >= capacity);
        return cut ? reportCut(*stmt, answer.rc) : answer.rc;
    };
    return plainTraceCall(
        *stmt,
        [&] {
            std::string text;
            declareIfGiven(text, name, arrayDeclaration("SQLTCHAR name", name, bufferLength));
            declareIfGiven(text, lengthShown, scalarDeclaration("SQLSMALLINT len", lengthShown));
            declareDescribeOutputs(text, dataType, columnSize, decimalDigits, nullable);
            text += plainCall("SQLDescribeColW", statement,
                              ", " + number(column) + ", " + traceVariable("name", name) + ", " +
                                  number(bufferLength) + ", " + traceVariable("&len", lengthShown) +
                                  ", " + traceVariable("&type", dataType) + ", " +
                                  traceVariable("&size", columnSize) + ", " +
                                  traceVariable("&dig", decimalDigits) + ", " +
                                  traceVariable("&null", nullable));
            return text;
        },
        operation,
        [&] {
            return describeResults(traceWideString(name, static_cast<SQLINTEGER>(capacity)),
                                   lengthUsed, nameLength, dataType, columnSize, decimalDigits,
                                   nullable != nullptr ? traceSmallIntOut(nullable) : "");
        });
}

SQLRETURN bindCol(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT targetType,
                  SQLPOINTER targetValue, SQLLEN bufferLength, SQLLEN* lengthOrIndicator) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    const bool characterTarget = isCharacterSqlType(targetType);
    const bool showLength = characterTarget && lengthOrIndicator != nullptr;
    return plainTraceCall(
        *stmt,
        [&] {
            std::string text;
            declareIfGiven(text, targetValue,
                           arrayDeclaration("char value", targetValue, bufferLength));
            if (showLength) {
                appendTraceLine(text, traceVariable("SQLLEN len", lengthOrIndicator) + " = " +
                                          traceIndicator(lengthOrIndicator) + ";");
            }
            text += plainCall("SQLBindCol", statement,
                              ", " + number(column) + ", " + traceCType(targetType) + ", " +
                                  traceOutputArgument("value", targetValue) + ", " +
                                  number(bufferLength) + ", " +
                                  (characterTarget ? traceOutputArgument("&len", lengthOrIndicator)
                                                   : tracePointer(lengthOrIndicator)));
            if (showLength) {
                appendTraceLine(text, "// len: " + traceIndicator(lengthOrIndicator));
            }
            return text;
        },
        [&] {
            return stmt->bindCol(column, targetType, targetValue, bufferLength, lengthOrIndicator);
        },
        noLines);
}

// Hot: see SQLFetch.
[[gnu::hot]] SQLRETURN fetch(SQLHSTMT statement) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return plainTraceCall(
        *stmt, [&] { return plainCall("SQLFetch", statement, ""); }, [&] { return stmt->fetch(); },
        noLines);
}

SQLRETURN fetchScroll(SQLHSTMT statement, SQLSMALLINT orientation, SQLLEN offset) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return plainTraceCall(
        *stmt,
        [&] {
            return plainCall("SQLFetchScroll", statement,
                             ", " + traceFetchOrientation(orientation) + ", " + number(offset));
        },
        [&] { return stmt->fetchScroll(orientation, offset); }, noLines);
}

SQLRETURN extendedFetch(SQLHSTMT statement, SQLUSMALLINT orientation, SQLLEN offset,
                        SQLULEN* rowCount, SQLUSMALLINT* rowStatus) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return plainTraceCall(
        *stmt,
        [&] {
            return plainCall("SQLExtendedFetch", statement,
                             ", " + traceFetchOrientation(orientation) + ", " + number(offset) +
                                 ", " + traceVariable("count", rowCount) + ", " +
                                 traceVariable("status", rowStatus));
        },
        [&] { return stmt->extendedFetch(orientation, offset, rowCount, rowStatus); },
        [&] {
            std::string text;
            appendTraceLine(text, "// count: " + traceLenOut(rowCount));
            appendTraceLine(text, "// status: " + traceSmallIntOut(rowStatus));
            return text;
        });
}

SQLRETURN numResultCols(SQLHSTMT statement, SQLSMALLINT* columnCount) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return plainTraceCall(
        *stmt,
        [&] {
            std::string text;
            appendTraceLine(text, traceVariable("SQLSMALLINT cols", columnCount) + " = " +
                                      traceSmallIntOut(columnCount) + ";");
            text += plainCall("SQLNumResultCols", statement,
                              ", " + traceVariable("&cols", columnCount));
            return text;
        },
        [&] { return stmt->numResultCols(columnCount); },
        [&] {
            std::string text;
            appendTraceLine(text, "// cols: " + traceSmallIntOut(columnCount));
            return text;
        });
}

SQLRETURN rowCount(SQLHSTMT statement, SQLLEN* rowCount) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return plainTraceCall(
        *stmt,
        [&] {
            std::string text;
            appendTraceLine(
                text, traceVariable("SQLLEN rows", rowCount) + " = " + traceLenOut(rowCount) + ";");
            text += plainCall("SQLRowCount", statement, ", " + traceVariable("&rows", rowCount));
            return text;
        },
        [&] { return stmt->rowCount(rowCount); },
        [&] {
            std::string text;
            appendTraceLine(text, "// rows: " + traceLenOut(rowCount));
            return text;
        });
}

SQLRETURN getData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT targetType,
                  SQLPOINTER targetValue, SQLLEN bufferLength, SQLLEN* lengthOrIndicator) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    // Asked here as well: several calls a row, and the trace lines' closures
    // would otherwise be built before the frame asks.
    if (!stmt->isTracing()) {
        return stmt->getData(column, targetType, targetValue, bufferLength, lengthOrIndicator);
    }
    return plainTraceCall(
        *stmt,
        [&] {
            std::string text;
            declareIfGiven(text, targetValue,
                           arrayDeclaration("SQLCHAR value", targetValue, bufferLength));
            declareIfGiven(text, lengthOrIndicator,
                           traceVariable("SQLLEN len", lengthOrIndicator) + " = " +
                               traceLenOut(lengthOrIndicator) + ";");
            text += plainCall("SQLGetData", statement,
                              ", " + number(column) + ", " + traceCType(targetType) + ", " +
                                  traceOutputArgument("value", targetValue) + ", " +
                                  number(bufferLength) + ", " +
                                  traceOutputArgument("&len", lengthOrIndicator));
            declareIfGiven(text, lengthOrIndicator, "// len: " + traceLenOut(lengthOrIndicator));
            return text;
        },
        [&] {
            return stmt->getData(column, targetType, targetValue, bufferLength, lengthOrIndicator);
        },
        [&] {
            std::string text;
            declareIfGiven(text, lengthOrIndicator, "// len: " + traceIndicator(lengthOrIndicator));
            return text;
        });
}

SQLRETURN moreResults(SQLHSTMT statement) {
    Statement* stmt = statementOf(statement);
    if (stmt == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    return plainTraceCall(
        *stmt, [&] { return plainCall("SQLMoreResults", statement, ""); },
        [&] { return stmt->moreResults(); }, noLines);
}

}  // namespace calls
