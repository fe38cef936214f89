#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/adapter/DialectText.h"
#include "driver/adapter/AdapterText.h"
#include "driver/adapter/MySQLImpersonatorConnection.h"
#include "driver/adapter/MySQLImpersonatorStatement.h"
#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/adapter/SqlTextScanner.h"
#include "driver/core/Connection.h"
#include "driver/core/Descriptor.h"
#include "driver/core/MemoryRecordset.h"
#include "driver/core/TextEncoding.h"

namespace {

constexpr std::string_view kSetSqlMode = "SET SQL_MODE=";
constexpr std::string_view kDescribe = "describe ";
constexpr std::string_view kLastInsertId = "SELECT LAST_INSERT_ID()";
constexpr std::string_view kForUpdate = " FOR UPDATE";
constexpr std::string_view kFrom = " FROM ";
constexpr SQLINTEGER kConnectionLostNative = 1000;

bool startsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void trace(const Statement& statement, std::string_view line) {
    if (statement.isTracing()) {
        std::string text(line);
        text += '\n';
        statement.writeTrace(text);
    }
}

bool isDb2(MySQLImpersonatorStatement::DatabaseFamily family) {
    return family == MySQLImpersonatorStatement::DatabaseFamily::Db2Luw ||
           family == MySQLImpersonatorStatement::DatabaseFamily::Db2400;
}

bool isTimestampType(SQLSMALLINT type) {
    return type == SQL_TYPE_TIMESTAMP || type == SQL_TIMESTAMP;
}

// What a select-list item naming a cached column becomes.
std::string selectItemReplacement(const std::string& item, SQLSMALLINT type, bool db2) {
    if (db2) {
        return "VARCHAR(" + item + ", 16383)";
    }
    const char* withMs = isTimestampType(type) ? "'YYYY-MM-DD HH24:MI:SS.MS'" : "'HH24:MI:SS.MS'";
    const char* withoutMs = isTimestampType(type) ? "'YYYY-MM-DD HH24:MI:SS'" : "'HH24:MI:SS'";
    return "CASE WHEN EXTRACT(MS FROM " + item + ")>0 THEN TO_CHAR(" + item + "," + withMs +
           ") ELSE TO_CHAR(" + item + "," + withoutMs + ") END";
}

// A label that names the column as the item did.
std::string columnLabel(const std::string& name) {
    std::string label = " AS \"";
    for (char c : name) {
        label += c;
        if (c == '"') {
            label += '"';
        }
    }
    return label + "\"";
}

// What each pass of the dialect rewrite looks for: a text without it passes
// unchanged. Every zero-date token begins with one of the last two.
enum DialectToken : unsigned {
    kDayOfWeekCall,
    kExtractSecondCall,
    kQuotedLike,
    kPatternSlash,
    kTimeFraction,
    kZeroDate,
    kEmptyDateList,
};
constexpr std::string_view kDialectTokens[] = {
    "DAYOFWEEK(", "EXTRACT(SECOND ", "\" LIKE '", "/\\", ".999", "='0000-00-00", "IN ({",
};
constexpr TokenTable kDialectTokenTable = makeTokenTable(kDialectTokens);

std::string columnNameOf(const std::string& expression) {
    const std::vector<std::string> parts = splitString(expression, ".");
    std::string name = parts.empty() ? std::string() : parts.back();
    trimLeadingBlanksAndQuote(name);
    return name;
}

// Runs `action` when the scope ends, however it ends.
template <typename Action>
class ScopeExit {
  public:
    explicit ScopeExit(Action action) : action_(std::move(action)) {}
    ~ScopeExit() { action_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

  private:
    Action action_;
};

}  // namespace

SQLRETURN MySQLImpersonatorStatement::executeStatement(std::string& text) {
    if (!checkConnected()) {
        return SQL_ERROR;
    }
    releaseRecordset();
    text = connection_->rewriteSql(text);
    if (text.find('`') != std::string::npos) {
        text = backquotesToDoubleQuotes(text);
    }
    const bool logged = connection_->isQueryLogOn();
    if (logged) {
        startTimer();
    }
    const SQLRETURN result = executeQuery(text, 0);
    if (logged) {
        logQueryTime(text);
    }
    return result;
}

SQLRETURN MySQLImpersonatorStatement::executeQuery(std::string text, SQLULEN /*parameterRow*/) {
    if (isTracing()) {
        trace(*this, "// finalized query: " + text);
    }
    ird_->clearRecords();
    if (startsWith(text, kSetSqlMode)) {
        releaseRecordset();
        setRecordset(std::make_unique<MemoryRecordset>(this));
        return skipSetSqlMode(text.substr(kSetSqlMode.size()));
    }
    if (startsWith(text, kDescribe)) {
        return describeTable(text.substr(kDescribe.size()));
    }
    if (startsWith(text, kLastInsertId)) {
        return selectLastInsertId();
    }
    if (!connection_->isConnected()) {
        diagnostics_.prependRecord("HY000", kConnectionLostNative, "Connection lost", -1, -1);
        return SQL_ERROR;
    }

    // The LIKE parameters bound while rewriting never outlive this call.
    const ScopeExit release([this] { releaseLikeParameters(); });
    rewriteForDatabase(text);
    if (isTracing()) {
        trace(*this, "// quoted query: " + text);
    }

    const SQLRETURN result = executeNativeQuery(text);
    releaseLikeParameters();
    if (SQL_SUCCEEDED(result) || result == SQL_NO_DATA || result == SQL_NEED_DATA) {
        // An UPDATE that matched nothing answers SQL_NO_DATA: no error to repost.
        SQLLEN count = 0;
        if (result != SQL_NEED_DATA && SQL_SUCCEEDED(inner_->rowCount(&count))) {
            setRowCount(count);
        }
        return result;
    }
    return repostInnerError(result);
}

void MySQLImpersonatorStatement::rewriteForDatabase(std::string& text) {
    const DatabaseFamily family = databaseFamily();
    rewriteDialectText(
        text, family,
        [this](std::string& rewritten) {
            trace(*this, "// on DB2/LUW");
            bindLikeParameters(rewritten);
        },
        [this, family](std::string& rewritten) { rewriteSelectList(rewritten, family); });
}

void MySQLImpersonatorStatement::rewriteDialectText(std::string& text, DatabaseFamily family,
                                                    const TextStep& likeParameters,
                                                    const TextStep& selectList) {
    text = quoteIdentifiers(text, '"', false, '\0', true);
    // A pass changes the text only where its token occurs: one scan finds
    // the tokens, and is redone after any step that changed the text.
    std::uint32_t present = tokensPresent(text, kDialectTokenTable);
    const auto rescan = [&] { present = tokensPresent(text, kDialectTokenTable); };
    // A step that seldom changes anything: a comparison is cheaper than a scan.
    const auto runStep = [&](const TextStep& action) {
        const std::string before = text;
        action(text);
        if (text != before) {
            rescan();
        }
    };
    const auto pass = [&](DialectToken token, const auto& step) {
        if ((present & (std::uint32_t{1} << token)) != 0) {
            step();
            rescan();
        }
    };
    if (isDb2(family)) {
        pass(kPatternSlash, [&] { text = replaceWithinDelimiters(text, "'%", "%'", "/\\", "\\"); });
        if (family == DatabaseFamily::Db2Luw) {
            runStep(likeParameters);
        }
        pass(kTimeFraction,
             [&] { text = replaceWithinDelimiters(text, "{t '", "'}", ".999", ""); });
        if (matchKeyword(text.c_str(), "select") != nullptr) {
            runStep(selectList);
        }
    } else if (family == DatabaseFamily::PostgreSQL) {
        // The parentheses keep DAYOFWEEK(d)*2 a product of the whole day number.
        pass(kDayOfWeekCall, [&] {
            text = rewriteCallOutsideQuotes(std::move(text), "DAYOFWEEK(", "(1+EXTRACT(DOW FROM ",
                                            ")");
        });
        pass(kExtractSecondCall, [&] {
            text = rewriteCallOutsideQuotes(std::move(text), "EXTRACT(SECOND ",
                                            "TRUNC(EXTRACT( SECOND ", ")");
        });
        pass(kQuotedLike, [&] {
            text =
                replaceAllPairsOutsideQuotes(std::move(text), "\" LIKE '", "\"::varchar ILIKE '");
        });
        if (matchKeyword(text.c_str(), "select") != nullptr) {
            runStep(selectList);
        }
    }
    if ((present & ((std::uint32_t{1} << kZeroDate) | (std::uint32_t{1} << kEmptyDateList))) != 0) {
        text = rewriteZeroDates(std::move(text));
    }
}

// --- DB2 LUW LIKE patterns ---------------------------------------------------------------

void MySQLImpersonatorStatement::bindLikeParameters(std::string& text) {
    releaseLikeParameters();
    const ODBCRepeaterConnection* native = impersonator()->nativeConnection();
    // Numbering would clash with the application's own markers, and without
    // binding nothing would put the values in place of the markers.
    if (native == nullptr || !native->usesParameterBinding() || countOutsideQuotes(text, "?") > 0) {
        return;
    }
    std::string rewritten = text;
    const std::vector<std::string> patterns = extractLikePatterns(rewritten);
    if (patterns.empty()) {
        return;
    }
    // Every buffer gets its final address before the inner statement sees it.
    likeParameters_.resize(patterns.size());
    for (std::size_t k = 0; k < patterns.size(); ++k) {
        LikeParameter& parameter = likeParameters_[k];
        parameter.value.assign(patterns[k].size() + 1, 0);
        const auto bytes = static_cast<SQLLEN>(parameter.value.size() * sizeof(SQLWCHAR));
        utf8ToWide(std::string_view(patterns[k]), parameter.value.data(), bytes);
        parameter.length =
            static_cast<SQLLEN>(wideLength(parameter.value.data()) * sizeof(SQLWCHAR));
        const auto number = static_cast<SQLUSMALLINT>(k + 1);
        trace(*this, "// parm: " + std::to_string(number) +
                         " length: " + std::to_string(parameter.length));
        inner_->bindParameter(number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                              static_cast<SQLULEN>(bytes), 0, parameter.value.data(),
                              parameter.length, &parameter.length);
    }
    text = std::move(rewritten);
}

void MySQLImpersonatorStatement::releaseLikeParameters() {
    if (likeParameters_.empty()) {
        return;
    }
    // The inner statement must not keep pointers into the buffers freed here.
    try {
        if (inner_ != nullptr) {
            inner_->freeStmt(SQL_RESET_PARAMS);
        }
    } catch (...) {
        // Runs from a destructor too: nothing may leave here.
    }
    likeParameters_.clear();
}

// --- Select-list rewriting -----------------------------------------------------------------

void MySQLImpersonatorStatement::forceColumnTypeLoad(const std::string& schema,
                                                     const std::string& table) {
    trace(*this, "// forcing load of time columns for: " + schema + "." + table);
    TemporaryStatement temporary = makeTemporaryStatement();
    if (!temporary) {
        return;
    }
    const auto* schemaText = reinterpret_cast<const SQLCHAR*>(schema.c_str());
    const auto* tableText = reinterpret_cast<const SQLCHAR*>(table.c_str());
    // Only the side effect counts: the connection's cache now knows the table.
    temporary->columns(nullptr, 0, schema.empty() ? nullptr : schemaText, SQL_NTS, tableText,
                       SQL_NTS, nullptr, 0);
}

void MySQLImpersonatorStatement::rewriteSelectList(std::string& text, DatabaseFamily family) {
    // With no column type cached there is nothing to rewrite, and without a
    // "." no schema is named whose table would be loaded: the table name
    // need not be read (unless the trace tells about it).
    if (!impersonator()->hasColumnTypes() && text.find('.') == std::string::npos &&
        !endsWith(text, kForUpdate) && !isTracing()) {
        return;
    }
    // The table follows the statement's own FROM, not one inside an
    // expression such as EXTRACT(DOW FROM ...).
    const std::size_t from = findTopLevelWord(text, "FROM");
    if (from == std::string::npos) {
        return;
    }
    const std::vector<std::string> parts =
        splitString(extractTableName("SELECT " + text.substr(from)), ".");
    if (parts.empty()) {
        return;
    }
    std::string table = parts.back();
    std::string schema = parts.size() == 3 ? parts[1] : (parts.size() == 2 ? parts[0] : "");
    trimLeadingBlanksAndQuote(table);
    trimLeadingBlanksAndQuote(schema);

    const bool db2 = isDb2(family);
    const bool redshift = !db2 && impersonator()->isRedshift();
    if (endsWith(text, kForUpdate)) {
        if (redshift) {
            text.erase(text.size() - kForUpdate.size());
        } else {
            forceColumnTypeLoad(schema, table);
        }
    } else {
        const bool tracing = isTracing();
        if (tracing) {
            trace(*this,
                  "// check whether column types have been loaded for: " + schema + "." + table);
        }
        const std::string known = impersonator()->tableSchema(table);
        if (tracing) {
            trace(*this, "// schema check: " + known);
        }
        if (known.empty() && !schema.empty()) {
            forceColumnTypeLoad(schema, table);
        }
    }

    const std::vector<MySQLImpersonatorConnection::ColumnType> entries =
        impersonator()->getColumnsForTable(schema, table, !db2, db2);
    if (entries.empty()) {
        return;
    }
    rewriteSelectItems(text, entries, db2, redshift,
                       [this](const std::string& line) { trace(*this, line); });
}

void MySQLImpersonatorStatement::rewriteSelectItems(
    std::string& text, const std::vector<MySQLImpersonatorConnection::ColumnType>& columns,
    bool db2, bool redshift, const TraceLine& trace) {
    const char* listed = matchKeyword(text.c_str(), "select");
    if (listed == nullptr) {
        return;
    }
    // The select list starts after "select" and one blank and ends at the
    // first FROM of the statement itself, not one inside an expression.
    const auto begin = static_cast<std::size_t>(listed - text.c_str()) + 7;
    const std::size_t end = findTopLevel(text, kFrom, begin);
    if (end == std::string::npos) {
        return;
    }

    std::ptrdiff_t shift = 0;
    for (const SelectListItem& item : splitSelectList(text, begin, end)) {
        trace("// column identifier: " + item.expression);
        const std::string name = columnNameOf(item.expression);
        trace("// column name: " + name);
        for (const auto& entry : columns) {
            trace(std::string(db2 ? "// clob column: " : "// time column: ") + entry.schema + "." +
                  entry.table + "." + entry.column);
            if (redshift || upperCase(entry.column) != upperCase(name)) {
                continue;
            }
            // Each item is replaced where it stands, so a column listed twice
            // is rewritten twice and never inside an earlier replacement.
            std::string replacement = selectItemReplacement(item.expression, entry.type, db2);
            if (!item.hasAlias) {
                replacement += columnLabel(name);
            }
            trace("// before replace: " + text);
            const auto at =
                static_cast<std::size_t>(static_cast<std::ptrdiff_t>(item.position) + shift);
            text.replace(at, item.expression.size(), replacement);
            shift += static_cast<std::ptrdiff_t>(replacement.size()) -
                     static_cast<std::ptrdiff_t>(item.expression.size());
            trace("// after replace: " + text);
            break;
        }
    }
}
