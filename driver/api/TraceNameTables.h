#pragma once

#include <sql.h>
#include <sqlext.h>

#include <span>

// One entry of a trace name table: an ODBC value and the header's macro name
// for it. Lookups take the first entry whose value matches, so where two
// names share a value the earlier entry wins; bit masks list their names in
// table order.
struct TraceName {
    SQLINTEGER value;
    const char* name;
};

using TraceNameTable = std::span<const TraceName>;

// A table with its own name, for walking every table at once.
struct TraceNamedTable {
    const char* key;
    TraceNameTable entries;
};

// How the call trace reads and writes one SQLGetInfo value. The width is the
// one the connection writes for that item.
enum class TraceInfoKind {
    Text,      // the buffer's text, without quotes
    Number16,  // unsigned 16-bit number
    Number32,  // unsigned 32-bit number
    Named16,   // 16-bit value looked up in `names`
    Named32,   // 32-bit value looked up in `names`
    Flags32,   // 32-bit mask written with the names of `names`
};

struct TraceInfoItem {
    SQLUSMALLINT infoType;
    TraceInfoKind kind;
    TraceNameTable names;
};

// Connection attributes and values that the ODBC headers do not define: the
// driver's own switch for wide text, an attribute it accepts and ignores, and
// the multiple-active-result-sets attribute with its two values.
inline constexpr SQLINTEGER kAttrWideApi = 1057;
inline constexpr SQLINTEGER kAttrIgnored = 30002;
inline constexpr SQLINTEGER kCoptSsMarsEnabled = 1224;
inline constexpr SQLINTEGER kMarsEnabledNo = 0;
inline constexpr SQLINTEGER kMarsEnabledYes = 1;

namespace traceNames {

// Call arguments and results, one table per renderer.
extern const TraceNameTable handleTypes;
extern const TraceNameTable returnCodes;
extern const TraceNameTable envAttributes;
extern const TraceNameTable connectAttributes;
extern const TraceNameTable infoTypes;
extern const TraceNameTable statementAttributes;
extern const TraceNameTable descriptorFields;
extern const TraceNameTable sqlTypes;
extern const TraceNameTable cTypes;
extern const TraceNameTable driverCompletions;
extern const TraceNameTable paramTypes;
extern const TraceNameTable diagIdentifiers;
extern const TraceNameTable functionIds;
extern const TraceNameTable fetchOrientations;
extern const TraceNameTable completionTypes;
extern const TraceNameTable setPosOperations;
extern const TraceNameTable lockTypes;
extern const TraceNameTable bulkOperations;
extern const TraceNameTable identifierTypes;
extern const TraceNameTable scopes;
extern const TraceNameTable nullables;
extern const TraceNameTable uniques;
extern const TraceNameTable accuracies;
extern const TraceNameTable freeStmtOptions;
extern const TraceNameTable intervalCodes;

// Lengths and indicators that have a name.
extern const TraceNameTable valueLengths;
extern const TraceNameTable indicators;

// Attribute and field values.
extern const TraceNameTable trueFalse;
extern const TraceNameTable odbcVersions;
extern const TraceNameTable accessModes;
extern const TraceNameTable asyncEnables;
extern const TraceNameTable autocommits;
extern const TraceNameTable marsEnabled;
extern const TraceNameTable cursorSensitivities;
extern const TraceNameTable cursorScrollables;
extern const TraceNameTable noscans;
extern const TraceNameTable cursorTypes;
extern const TraceNameTable concurrencies;
extern const TraceNameTable simulateCursors;
extern const TraceNameTable retrieveData;
extern const TraceNameTable useBookmarks;
extern const TraceNameTable updatables;
extern const TraceNameTable searchables;
extern const TraceNameTable unnamed;
extern const TraceNameTable allocTypes;
extern const TraceNameTable txnIsolationFlags;

// Every name table, value and flag tables included, keyed by its name.
std::span<const TraceNamedTable> allTables();

// The SQLGetInfo items the trace knows, in ascending info type order.
std::span<const TraceInfoItem> infoItems();

// The item for an info type, or null when the trace does not know it.
const TraceInfoItem* findInfoItem(SQLUSMALLINT infoType);

}  // namespace traceNames
