#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Text routines of the MySQL face's statement rewriting. Quoted runs are
// those of single quotes, double quotes and backquotes; inside a single
// quoted run a backslash makes the next character ordinary.

// Copy of `text` in which each `token` lying between an `open` delimiter and
// the next `close` delimiter becomes `replacement`; delimiters are kept and
// every comparison is case-sensitive.
std::string replaceWithinDelimiters(const std::string& text, const char* open, const char* close,
                                    const char* token, const char* replacement);

// Up to 32 tokens to look for in one pass over a text: the tokens that can
// begin at each byte and those that can go on with each next byte, so that
// most characters are passed over after two table reads.
struct TokenTable {
    std::span<const std::string_view> tokens;
    std::array<std::uint32_t, 256> byFirstByte{};
    std::array<std::uint32_t, 256> bySecondByte{};
    std::uint32_t singleBytes = 0;
};

// The table of `tokens`, none of them empty, at most 32.
constexpr TokenTable makeTokenTable(std::span<const std::string_view> tokens) {
    TokenTable table{tokens};
    const auto mark = [](std::array<std::uint32_t, 256>& byByte, char c, std::uint32_t bit) {
        byByte[static_cast<unsigned char>(c)] |= bit;
        if (c >= 'A' && c <= 'Z') {
            byByte[static_cast<unsigned char>(c - 'A' + 'a')] |= bit;
        } else if (c >= 'a' && c <= 'z') {
            byByte[static_cast<unsigned char>(c - 'a' + 'A')] |= bit;
        }
    };
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const auto bit = std::uint32_t{1} << k;
        mark(table.byFirstByte, tokens[k].front(), bit);
        if (tokens[k].size() > 1) {
            mark(table.bySecondByte, tokens[k][1], bit);
            continue;
        }
        table.singleBytes |= bit;
        for (std::uint32_t& entry : table.bySecondByte) {
            entry |= bit;
        }
    }
    return table;
}

// Bit k set when the table's token k occurs anywhere in `text` (quoted runs
// included), compared without case.
std::uint32_t tokensPresent(std::string_view text, const TokenTable& table);

// Drops leading blanks (keeping at least one character), then one double
// quote at the start and one at the end.
void trimLeadingBlanksAndQuote(std::string& text);

// Every backquote outside single-quoted literals becomes a double quote;
// literal data is never changed.
std::string backquotesToDoubleQuotes(const std::string& text);

// Every call that `opening` begins outside quoted runs (compared without
// case; `opening` ends with its "(") becomes `replacement`, and
// `closingSuffix` is inserted after the parenthesis that closes the call,
// so "DAYOFWEEK(d)*2" can become "(1+EXTRACT(DOW FROM d))*2". A call
// without its closing parenthesis gets no suffix.
std::string rewriteCallOutsideQuotes(std::string text, std::string_view opening,
                                     std::string_view replacement, std::string_view closingSuffix);

// Comparisons with MySQL's zero dates become " IS NULL"; in the SET list of
// an UPDATE a zero-date assignment stores NULL instead.
std::string rewriteZeroDates(std::string text);

// Each whole pattern literal " LIKE '%...%'" outside quoted runs becomes
// " LIKE ?". Returns the patterns in order, percent signs kept, doubled
// quotes made single.
std::vector<std::string> extractLikePatterns(std::string& text);

// Position of the first `word` outside quoted runs and brackets, at or
// after `from`, compared case-sensitively; std::string::npos when none (an
// empty word is never found).
std::size_t findTopLevel(std::string_view text, std::string_view word, std::size_t from = 0);

// The same for a whole word compared without case ("from" but not
// "fromage").
std::size_t findTopLevelWord(std::string_view text, std::string_view word, std::size_t from = 0);

// One item of a select list, as written (leading blanks included).
struct SelectListItem {
    std::size_t position = 0;
    // The expression, without an alias that follows it.
    std::string expression;
    bool hasAlias = false;
};

// The items of the select list text[begin, end): split at commas outside
// quoted runs and brackets; blank items are dropped.
std::vector<SelectListItem> splitSelectList(std::string_view text, std::size_t begin,
                                            std::size_t end);

// A column default as MySQL shows it: a quoted literal (with a cast behind
// it, say) gives its characters, a doubled quote inside it one quote; an
// unterminated literal gives everything after its opening quote.
std::string shownDefault(const std::string& columnDef);

// The table a "describe " statement names, its schema empty when the name
// has no qualifier.
struct DescribedName {
    std::string schema;
    std::string table;
};

// The name in the text after "describe ": blanks around it and one closing
// ";" dropped, as the statement's end; "table", "schema.table" or
// "catalog.schema.table" (the catalog dropped, as a SELECT's is), each part
// bare or in backquotes, double quotes, single quotes or brackets, a
// doubled closing quote inside standing for one. Nothing when no name is
// there or the text does not read as one.
std::optional<DescribedName> describedName(std::string_view text);
