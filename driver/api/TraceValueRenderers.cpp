#include "driver/api/TraceValueRenderers.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "driver/api/TraceNameTables.h"
#include "driver/api/TraceWriter.h"
#include "driver/core/StringOutput.h"

namespace {

using namespace traceNames;

// How a value, carried in a pointer-sized word, is written.
enum class Shape {
    Named,              // traceName of the low 32 bits
    Named16,            // traceName of the low 16 bits, signed
    Flags,              // traceFlags of the low 32 bits
    Unsigned32,         // low 32 bits, unsigned decimal
    Signed16,           // low 16 bits, signed decimal
    Signed32,           // low 32 bits, signed decimal
    Unsigned64,         // the word, unsigned decimal
    Signed64,           // the word, signed decimal
    Pointer,            // pointer notation
    Text,               // the text the word points to, without quotes
    BindByColumn,       // "SQL_BIND_BY_COLUMN" for 0, else unsigned decimal
    ParamBindByColumn,  // "SQL_PARAM_BIND_BY_COLUMN" for 0, else unsigned decimal
    DescBindType,       // "SQL_PARAM_BIND_BY_COLUMN" for 0, else low 32 bits signed
};

// How an Out renderer gets the word from the output pointer: the pointer
// itself (text and pointer-valued items), or the value at the width the
// driver writes there.
enum class Read { OwnPointer, Signed16, Unsigned16, Signed32, Unsigned32, Word };

struct ValueRule {
    SQLINTEGER id;
    Shape shape;
    Read read;
    TraceNameTable names;
};

// clang-format off
const ValueRule kEnvRules[] = {
    {SQL_ATTR_ODBC_VERSION, Shape::Named, Read::Unsigned32, odbcVersions},
    {SQL_ATTR_OUTPUT_NTS,   Shape::Named, Read::Unsigned32, trueFalse},
};

// The connection writes every integer attribute as 32 bits.
const ValueRule kConnectRules[] = {
    {SQL_ATTR_ACCESS_MODE,        Shape::Named,      Read::Unsigned32, accessModes},
    {SQL_ATTR_ASYNC_ENABLE,       Shape::Named,      Read::Unsigned32, asyncEnables},
    {SQL_ATTR_AUTOCOMMIT,         Shape::Named,      Read::Unsigned32, autocommits},
    {SQL_ATTR_LOGIN_TIMEOUT,      Shape::Unsigned32, Read::Unsigned32, {}},
    {SQL_ATTR_TRANSLATE_OPTION,   Shape::Unsigned32, Read::Unsigned32, {}},
    {SQL_ATTR_PACKET_SIZE,        Shape::Unsigned32, Read::Unsigned32, {}},
    {SQL_ATTR_CONNECTION_TIMEOUT, Shape::Unsigned32, Read::Unsigned32, {}},
    {SQL_ATTR_TRACEFILE,          Shape::Text,       Read::OwnPointer, {}},
    {SQL_ATTR_TRANSLATE_LIB,      Shape::Text,       Read::OwnPointer, {}},
    {SQL_ATTR_CURRENT_CATALOG,    Shape::Text,       Read::OwnPointer, {}},
    {SQL_ATTR_TXN_ISOLATION,      Shape::Flags,      Read::Unsigned32, txnIsolationFlags},
    {SQL_ATTR_QUIET_MODE,         Shape::Pointer,    Read::OwnPointer, {}},
    {SQL_ATTR_AUTO_IPD,           Shape::Named,      Read::Unsigned32, trueFalse},
    {SQL_ATTR_METADATA_ID,        Shape::Named,      Read::Unsigned32, trueFalse},
    {kAttrWideApi,                Shape::Named,      Read::Unsigned32, trueFalse},
    {kCoptSsMarsEnabled,          Shape::Named,      Read::Unsigned32, marsEnabled},
};

// The statement writes its attributes as 32 or 64 bits; the buffer-pointer
// attributes show the application's buffer itself.
const ValueRule kStatementRules[] = {
    {SQL_ATTR_CURSOR_SENSITIVITY,    Shape::Named,             Read::Unsigned32, cursorSensitivities},
    {SQL_ATTR_CURSOR_SCROLLABLE,     Shape::Named,             Read::Unsigned32, cursorScrollables},
    {SQL_ATTR_QUERY_TIMEOUT,         Shape::Unsigned64,        Read::Unsigned32, {}},
    {SQL_ATTR_MAX_ROWS,              Shape::Unsigned64,        Read::Word,       {}},
    {SQL_ATTR_MAX_LENGTH,            Shape::Unsigned64,        Read::Word,       {}},
    {SQL_ATTR_KEYSET_SIZE,           Shape::Unsigned64,        Read::Word,       {}},
    {SQL_ROWSET_SIZE,                Shape::Unsigned64,        Read::Word,       {}},
    {SQL_ATTR_PARAMSET_SIZE,         Shape::Unsigned64,        Read::Word,       {}},
    {SQL_ATTR_ROW_ARRAY_SIZE,        Shape::Unsigned64,        Read::Word,       {}},
    {SQL_ATTR_NOSCAN,                Shape::Named,             Read::Unsigned32, noscans},
    {SQL_ATTR_ASYNC_ENABLE,          Shape::Named,             Read::Unsigned32, asyncEnables},
    {SQL_ATTR_ROW_BIND_TYPE,         Shape::BindByColumn,      Read::Unsigned32, {}},
    {SQL_ATTR_CURSOR_TYPE,           Shape::Named,             Read::Unsigned32, cursorTypes},
    {SQL_ATTR_CONCURRENCY,           Shape::Named,             Read::Unsigned32, concurrencies},
    {SQL_ATTR_SIMULATE_CURSOR,       Shape::Named,             Read::Unsigned32, simulateCursors},
    {SQL_ATTR_RETRIEVE_DATA,         Shape::Named,             Read::Unsigned32, retrieveData},
    {SQL_ATTR_USE_BOOKMARKS,         Shape::Named,             Read::Unsigned32, useBookmarks},
    {SQL_ATTR_ROW_NUMBER,            Shape::Pointer,           Read::OwnPointer, {}},
    {SQL_ATTR_FETCH_BOOKMARK_PTR,    Shape::Pointer,           Read::OwnPointer, {}},
    {SQL_ATTR_PARAM_BIND_OFFSET_PTR, Shape::Pointer,           Read::OwnPointer, {}},
    {SQL_ATTR_PARAM_OPERATION_PTR,   Shape::Pointer,           Read::OwnPointer, {}},
    {SQL_ATTR_PARAM_STATUS_PTR,      Shape::Pointer,           Read::OwnPointer, {}},
    {SQL_ATTR_PARAMS_PROCESSED_PTR,  Shape::Pointer,           Read::OwnPointer, {}},
    {SQL_ATTR_ROW_BIND_OFFSET_PTR,   Shape::Pointer,           Read::Word,       {}},
    {SQL_ATTR_ROW_OPERATION_PTR,     Shape::Pointer,           Read::OwnPointer, {}},
    {SQL_ATTR_ROW_STATUS_PTR,        Shape::Pointer,           Read::OwnPointer, {}},
    {SQL_ATTR_ROWS_FETCHED_PTR,      Shape::Pointer,           Read::OwnPointer, {}},
    {SQL_ATTR_APP_ROW_DESC,          Shape::Pointer,           Read::Word,       {}},
    {SQL_ATTR_APP_PARAM_DESC,        Shape::Pointer,           Read::Word,       {}},
    {SQL_ATTR_IMP_ROW_DESC,          Shape::Pointer,           Read::Word,       {}},
    {SQL_ATTR_IMP_PARAM_DESC,        Shape::Pointer,           Read::Word,       {}},
    {SQL_ATTR_ENABLE_AUTO_IPD,       Shape::Named,             Read::Unsigned32, trueFalse},
    {SQL_ATTR_METADATA_ID,           Shape::Named,             Read::Unsigned32, trueFalse},
    {SQL_ATTR_PARAM_BIND_TYPE,       Shape::ParamBindByColumn, Read::Unsigned32, {}},
};

// Descriptor fields and column attributes, read at the width the descriptor
// writes them; the ODBC 2 column attributes it does not write are read at
// the width their value is shown with.
const ValueRule kDescriptorRules[] = {
    {SQL_COLUMN_NAME,                      Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_TYPE_NAME,                   Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_TABLE_NAME,                  Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_SCHEMA_NAME,                 Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_CATALOG_NAME,                Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_LABEL,                       Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_BASE_COLUMN_NAME,            Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_BASE_TABLE_NAME,             Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_LITERAL_PREFIX,              Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_LITERAL_SUFFIX,              Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_LOCAL_TYPE_NAME,             Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_NAME,                        Shape::Text,         Read::OwnPointer, {}},
    {SQL_DESC_CONCISE_TYPE,                Shape::Named16,      Read::Signed16,   sqlTypes},
    {SQL_DESC_TYPE,                        Shape::Named16,      Read::Signed16,   sqlTypes},
    {SQL_COLUMN_LENGTH,                    Shape::Unsigned32,   Read::Unsigned32, {}},
    {SQL_DESC_LENGTH,                      Shape::Unsigned32,   Read::Word,       {}},
    {SQL_COLUMN_PRECISION,                 Shape::Signed16,     Read::Signed16,   {}},
    {SQL_COLUMN_SCALE,                     Shape::Signed16,     Read::Signed16,   {}},
    {SQL_DESC_COUNT,                       Shape::Signed16,     Read::Signed16,   {}},
    {SQL_DESC_PRECISION,                   Shape::Signed16,     Read::Signed16,   {}},
    {SQL_DESC_SCALE,                       Shape::Signed16,     Read::Signed16,   {}},
    {SQL_DESC_DISPLAY_SIZE,                Shape::Signed64,     Read::Word,       {}},
    {SQL_DESC_FIXED_PREC_SCALE,            Shape::Signed64,     Read::Signed16,   {}},
    {SQL_DESC_ARRAY_SIZE,                  Shape::Signed64,     Read::Word,       {}},
    {SQL_DESC_DATETIME_INTERVAL_PRECISION, Shape::Signed64,     Read::Signed32,   {}},
    {SQL_COLUMN_NULLABLE,                  Shape::Named16,      Read::Signed16,   nullables},
    {SQL_DESC_NULLABLE,                    Shape::Named16,      Read::Signed16,   nullables},
    {SQL_DESC_UNSIGNED,                    Shape::Named16,      Read::Signed16,   trueFalse},
    {SQL_DESC_UPDATABLE,                   Shape::Named,        Read::Signed16,   updatables},
    {SQL_DESC_AUTO_UNIQUE_VALUE,           Shape::Named,        Read::Signed32,   trueFalse},
    {SQL_DESC_CASE_SENSITIVE,              Shape::Named,        Read::Signed32,   trueFalse},
    {SQL_DESC_ROWVER,                      Shape::Named,        Read::Signed16,   trueFalse},
    {SQL_DESC_SEARCHABLE,                  Shape::Named,        Read::Signed16,   searchables},
    {SQL_DESC_ARRAY_STATUS_PTR,            Shape::Pointer,      Read::OwnPointer, {}},
    {SQL_DESC_BIND_OFFSET_PTR,             Shape::Pointer,      Read::OwnPointer, {}},
    {SQL_DESC_ROWS_PROCESSED_PTR,          Shape::Pointer,      Read::OwnPointer, {}},
    {SQL_DESC_OCTET_LENGTH_PTR,            Shape::Pointer,      Read::OwnPointer, {}},
    {SQL_DESC_INDICATOR_PTR,               Shape::Pointer,      Read::OwnPointer, {}},
    {SQL_DESC_DATA_PTR,                    Shape::Pointer,      Read::OwnPointer, {}},
    {SQL_DESC_BIND_TYPE,                   Shape::DescBindType, Read::Signed32,   {}},
    {SQL_DESC_NUM_PREC_RADIX,              Shape::Signed32,     Read::Signed32,   {}},
    {SQL_DESC_OCTET_LENGTH,                Shape::Signed32,     Read::Word,       {}},
    {SQL_DESC_PARAMETER_TYPE,              Shape::Named16,      Read::Signed16,   paramTypes},
    {SQL_DESC_DATETIME_INTERVAL_CODE,      Shape::Named16,      Read::Signed16,   intervalCodes},
    {SQL_DESC_UNNAMED,                     Shape::Named,        Read::Signed16,   unnamed},
    {SQL_DESC_ALLOC_TYPE,                  Shape::Named,        Read::Signed16,   allocTypes},
};

const ValueRule kDiagRules[] = {
    {SQL_DIAG_SQLSTATE,              Shape::Text,     Read::OwnPointer, {}},
    {SQL_DIAG_MESSAGE_TEXT,          Shape::Text,     Read::OwnPointer, {}},
    {SQL_DIAG_DYNAMIC_FUNCTION,      Shape::Text,     Read::OwnPointer, {}},
    {SQL_DIAG_CLASS_ORIGIN,          Shape::Text,     Read::OwnPointer, {}},
    {SQL_DIAG_SUBCLASS_ORIGIN,       Shape::Text,     Read::OwnPointer, {}},
    {SQL_DIAG_CONNECTION_NAME,       Shape::Text,     Read::OwnPointer, {}},
    {SQL_DIAG_SERVER_NAME,           Shape::Text,     Read::OwnPointer, {}},
    {SQL_DIAG_RETURNCODE,            Shape::Signed64, Read::Signed16,   {}},
    {SQL_DIAG_NUMBER,                Shape::Signed64, Read::Signed32,   {}},
    {SQL_DIAG_NATIVE,                Shape::Signed64, Read::Signed32,   {}},
    {SQL_DIAG_DYNAMIC_FUNCTION_CODE, Shape::Signed64, Read::Signed32,   {}},
    {SQL_DIAG_COLUMN_NUMBER,         Shape::Signed64, Read::Signed32,   {}},
    {SQL_DIAG_ROW_COUNT,             Shape::Signed64, Read::Word,       {}},
    {SQL_DIAG_CURSOR_ROW_COUNT,      Shape::Signed64, Read::Word,       {}},
    {SQL_DIAG_ROW_NUMBER,            Shape::Signed64, Read::Word,       {}},
};
// clang-format on

using Word = std::uintptr_t;

template <typename T>
T readAt(const void* pointer) {
    T value{};
    std::memcpy(&value, pointer, sizeof value);
    return value;
}

const ValueRule* findRule(std::span<const ValueRule> rules, SQLINTEGER id) {
    const auto found = std::find_if(rules.begin(), rules.end(),
                                    [id](const ValueRule& rule) { return rule.id == id; });
    return found == rules.end() ? nullptr : &*found;
}

// Wide text lengths are bytes, as the W functions pass them.
std::string wideText(const void* text, SQLINTEGER byteLength) {
    const SQLINTEGER units =
        byteLength >= 0 ? byteLength / static_cast<SQLINTEGER>(sizeof(SQLWCHAR)) : byteLength;
    return traceBareWideString(static_cast<const SQLWCHAR*>(text), units);
}

std::string renderWord(const ValueRule& rule, Word word, SQLINTEGER length, bool wide) {
    const auto low32 = static_cast<std::uint32_t>(word);
    switch (rule.shape) {
        case Shape::Named:
            return traceName(static_cast<SQLINTEGER>(low32), rule.names);
        case Shape::Named16:
            return traceName(static_cast<SQLSMALLINT>(word), rule.names);
        case Shape::Flags:
            return traceFlags(low32, rule.names);
        case Shape::Unsigned32:
            return toString(low32);
        case Shape::Signed16:
            return toString(static_cast<SQLSMALLINT>(word));
        case Shape::Signed32:
            return toString(static_cast<std::int32_t>(low32));
        case Shape::Unsigned64:
            return toString(static_cast<std::uint64_t>(word));
        case Shape::Signed64:
            return toString(static_cast<std::int64_t>(word));
        case Shape::Pointer:
            return tracePointer(reinterpret_cast<const void*>(word));
        case Shape::Text: {
            const auto* text = reinterpret_cast<const void*>(word);
            return wide && text != nullptr
                       ? wideText(text, length)
                       : traceBareString(static_cast<const char*>(text), length);
        }
        case Shape::BindByColumn:
            return word == SQL_BIND_BY_COLUMN ? std::string("SQL_BIND_BY_COLUMN")
                                              : toString(static_cast<std::uint64_t>(word));
        case Shape::ParamBindByColumn:
            return word == SQL_PARAM_BIND_BY_COLUMN ? std::string("SQL_PARAM_BIND_BY_COLUMN")
                                                    : toString(static_cast<std::uint64_t>(word));
        case Shape::DescBindType:
            return word == SQL_PARAM_BIND_BY_COLUMN ? std::string("SQL_PARAM_BIND_BY_COLUMN")
                                                    : toString(static_cast<std::int32_t>(low32));
    }
    return {};
}

// Reads the value at the rule's width, extended to a word by its sign.
Word readWord(Read read, const void* pointer) {
    switch (read) {
        case Read::OwnPointer:
            return reinterpret_cast<Word>(pointer);
        case Read::Signed16:
            return static_cast<Word>(static_cast<std::intptr_t>(readAt<std::int16_t>(pointer)));
        case Read::Unsigned16:
            return readAt<std::uint16_t>(pointer);
        case Read::Signed32:
            return static_cast<Word>(static_cast<std::intptr_t>(readAt<std::int32_t>(pointer)));
        case Read::Unsigned32:
            return readAt<std::uint32_t>(pointer);
        case Read::Word:
            return readAt<Word>(pointer);
    }
    return 0;
}

struct Renderer {
    std::span<const ValueRule> rules;
    const char* unknown;

    std::string set(SQLINTEGER id, SQLPOINTER value, SQLINTEGER length, bool wide) const {
        const ValueRule* rule = findRule(rules, id);
        if (rule == nullptr) {
            return unknown;
        }
        return renderWord(*rule, reinterpret_cast<Word>(value), length, wide);
    }

    std::string out(SQLINTEGER id, const void* valuePtr, SQLINTEGER length, bool wide) const {
        const ValueRule* rule = findRule(rules, id);
        if (rule == nullptr) {
            return unknown;
        }
        if (rule->read != Read::OwnPointer && valuePtr == nullptr) {
            return "NULL";
        }
        return renderWord(*rule, readWord(rule->read, valuePtr), length, wide);
    }
};

const Renderer kEnv{kEnvRules, "unknown env attribute"};
const Renderer kConnect{kConnectRules, "unknown connect attribute"};
const Renderer kStatement{kStatementRules, "unknown statement attribute"};
const Renderer kDescriptor{kDescriptorRules, "unknown descriptor field"};
const Renderer kDiag{kDiagRules, "unknown diag info"};

// SQL_COLUMN_NAME stays narrow in the wide descriptor renderers.
bool isWideDescriptorText(SQLSMALLINT field) {
    return field != SQL_COLUMN_NAME;
}

ValueRule infoRule(const TraceInfoItem& item) {
    switch (item.kind) {
        case TraceInfoKind::Text:
            return {item.infoType, Shape::Text, Read::OwnPointer, {}};
        case TraceInfoKind::Number16:
            return {item.infoType, Shape::Unsigned64, Read::Unsigned16, {}};
        case TraceInfoKind::Number32:
            return {item.infoType, Shape::Unsigned64, Read::Unsigned32, {}};
        case TraceInfoKind::Named16:
            return {item.infoType, Shape::Named, Read::Unsigned16, item.names};
        case TraceInfoKind::Named32:
            return {item.infoType, Shape::Named, Read::Unsigned32, item.names};
        case TraceInfoKind::Flags32:
            return {item.infoType, Shape::Flags, Read::Unsigned32, item.names};
    }
    return {item.infoType, Shape::Text, Read::OwnPointer, {}};
}

std::string renderInfoValue(SQLUSMALLINT infoType, const void* infoValue, SQLINTEGER bufferLength,
                            bool wide) {
    const TraceInfoItem* item = findInfoItem(infoType);
    if (item == nullptr) {
        return "unknown getinfo type";
    }
    const ValueRule rule = infoRule(*item);
    return Renderer{std::span(&rule, 1), ""}.out(infoType, infoValue, bufferLength, wide);
}

}  // namespace

std::string traceEnvAttributeValue(SQLINTEGER attribute, SQLPOINTER value) {
    return kEnv.set(attribute, value, SQL_NTS, false);
}

std::string traceEnvAttributeValueOut(SQLINTEGER attribute, const void* valuePtr) {
    return kEnv.out(attribute, valuePtr, SQL_NTS, false);
}

std::string traceConnectAttributeValue(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
    return kConnect.set(attribute, value, length, false);
}

std::string traceConnectAttributeValueW(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
    return kConnect.set(attribute, value, length, true);
}

std::string traceConnectAttributeValueOut(SQLINTEGER attribute, SQLPOINTER valuePtr,
                                          SQLINTEGER bufferLength) {
    return kConnect.out(attribute, valuePtr, bufferLength, false);
}

std::string traceConnectAttributeValueOutW(SQLINTEGER attribute, SQLPOINTER valuePtr,
                                           SQLINTEGER bufferLength) {
    return kConnect.out(attribute, valuePtr, bufferLength, true);
}

std::string traceInfoValue(SQLUSMALLINT infoType, const void* infoValue, SQLINTEGER bufferLength) {
    return renderInfoValue(infoType, infoValue, bufferLength, false);
}

std::string traceInfoValueW(SQLUSMALLINT infoType, const void* infoValue, SQLINTEGER bufferLength) {
    return renderInfoValue(infoType, infoValue, bufferLength, true);
}

std::string traceStatementAttributeValue(SQLINTEGER attribute, SQLPOINTER value) {
    return kStatement.set(attribute, value, SQL_NTS, false);
}

std::string traceStatementAttributeValueOut(SQLINTEGER attribute, SQLPOINTER valuePtr) {
    return kStatement.out(attribute, valuePtr, SQL_NTS, false);
}

std::string traceDescriptorFieldValue(SQLSMALLINT field, SQLPOINTER value, SQLINTEGER length) {
    return kDescriptor.set(field, value, length, false);
}

std::string traceDescriptorFieldValueW(SQLSMALLINT field, SQLPOINTER value, SQLINTEGER length) {
    return kDescriptor.set(field, value, length, isWideDescriptorText(field));
}

std::string traceDescriptorFieldValueOut(SQLSMALLINT field, SQLPOINTER valuePtr,
                                         SQLINTEGER bufferLength) {
    return kDescriptor.out(field, valuePtr, bufferLength, false);
}

std::string traceDescriptorFieldValueOutW(SQLSMALLINT field, SQLPOINTER valuePtr,
                                          SQLINTEGER bufferLength) {
    return kDescriptor.out(field, valuePtr, bufferLength, isWideDescriptorText(field));
}

std::string traceDiagFieldValue(SQLSMALLINT identifier, const void* diagInfo,
                                SQLINTEGER bufferLength) {
    return kDiag.out(identifier, diagInfo, bufferLength, false);
}
