#include "driver/adapter/DialectText.h"

#include <algorithm>
#include <bit>

#include "driver/adapter/SqlTextScanner.h"

namespace {

constexpr std::string_view kZeroDateComparisons[] = {
    "='0000-00-00 00:00:00'", "='0000-00-00'", "IN ({ts ''})", "IN ({d ''})", "IN ({t ''})",
};
constexpr std::string_view kZeroDateAssignments[] = {"='0000-00-00 00:00:00'", "='0000-00-00'"};
constexpr std::string_view kNullAssignment = "=NULL";
constexpr std::string_view kLikePattern = " LIKE '";
constexpr std::string_view kLikeMarker = " LIKE ?";

bool isQuote(char c) {
    return c == '\'' || c == '"' || c == '`';
}

bool isWordChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || c == '_' ||
           c == '$' || u >= 0x80;
}

bool startsAt(std::string_view text, std::size_t position, std::string_view prefix) {
    return position <= text.size() && text.substr(position, prefix.size()) == prefix;
}

// Visits every position of `text` in order with its bracket depth outside
// quoted runs, -1 inside a run (its quote characters included); a closing
// bracket has the outer depth. Returns the first position for which
// `visit` answers true, npos when none does.
template <typename Visit>
std::size_t walkDepths(std::string_view text, Visit visit) {
    char quote = 0;
    int level = 0;
    bool escaped = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        int depth = -1;
        if (escaped) {
            escaped = false;
        } else if (quote != 0) {
            if (quote == '\'' && c == '\\') {
                escaped = true;
            } else if (c == quote) {
                quote = 0;
            }
        } else if (isQuote(c)) {
            quote = c;
        } else {
            if (c == ')' && level > 0) {
                --level;
            }
            depth = level;
            if (c == '(') {
                ++level;
            }
        }
        if (visit(i, depth)) {
            return i;
        }
    }
    return std::string::npos;
}

// The depth of every character, as walkDepths gives it.
std::vector<int> depthMap(std::string_view text) {
    std::vector<int> depth(text.size(), -1);
    walkDepths(text, [&depth](std::size_t i, int level) {
        depth[i] = level;
        return false;
    });
    return depth;
}

// For each "(" outside quoted runs, the position of its ")" (npos when it
// has none); other entries npos.
std::vector<std::size_t> matchingBrackets(std::string_view text, const std::vector<int>& depth) {
    std::vector<std::size_t> closing(text.size(), std::string::npos);
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (depth[i] < 0) {
            continue;
        }
        if (text[i] == '(') {
            open.push_back(i);
        } else if (text[i] == ')' && !open.empty()) {
            closing[open.back()] = i;
            open.pop_back();
        }
    }
    return closing;
}

// The closing quote of the single-quoted literal opened at `open`.
std::size_t literalEnd(std::string_view text, std::size_t open) {
    for (std::size_t i = open + 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '\'') {
            if (i + 1 < text.size() && text[i + 1] == '\'') {
                ++i;
            } else {
                return i;
            }
        }
    }
    return std::string::npos;
}

std::string undoubleQuotes(std::string_view body) {
    std::string out;
    out.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        out += body[i];
        if (body[i] == '\'' && i + 1 < body.size() && body[i + 1] == '\'') {
            ++i;
        }
    }
    return out;
}

// In the SET list of an UPDATE, zero dates assigned at the top level.
std::string nullZeroDateAssignments(std::string text) {
    const std::size_t set = findTopLevelWord(text, "SET", 0);
    if (set == std::string::npos) {
        return text;
    }
    std::size_t end = findTopLevelWord(text, "WHERE", set + 3);
    if (end == std::string::npos) {
        end = text.size();
    }
    // One pass per token over one depth map: "=NULL" holds no quote or
    // bracket, so the text after a replacement keeps its depths.
    for (std::string_view token : kZeroDateAssignments) {
        const std::vector<int> depth = depthMap(text);
        std::string out;
        out.reserve(text.size());
        std::size_t copied = 0;
        std::size_t at = set + 3;
        while (at + token.size() <= end) {
            if (depth[at] != 0 || !startsAt(text, at, token)) {
                ++at;
                continue;
            }
            out.append(text, copied, at - copied);
            out += kNullAssignment;
            at += token.size();
            copied = at;
        }
        out.append(text, copied, std::string::npos);
        end -= text.size() - out.size();
        text = std::move(out);
    }
    return text;
}

bool isSpace(char c) {
    return isAsciiSpace(static_cast<unsigned char>(c));
}

// The whole of `text` is one name: bare, or double-quoted with inner
// quotes doubled.
bool isName(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    if (text.front() == '"') {
        for (std::size_t i = 1; i < text.size(); ++i) {
            if (text[i] != '"') {
                continue;
            }
            if (i + 1 < text.size() && text[i + 1] == '"') {
                ++i;
                continue;
            }
            return i + 1 == text.size();
        }
        return false;
    }
    const auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    return letter(text.front()) && std::all_of(text.begin() + 1, text.end(), [&](char c) {
               return letter(c) || (c >= '0' && c <= '9') || c == '$';
           });
}

// " AS name", "name" or a quoted name after an expression. Scanned by hand:
// a regular expression recurses once per character and overflows the stack
// on a long run of blanks or a long quoted name.
bool isAlias(std::string_view rest) {
    std::size_t begin = 0;
    while (begin < rest.size() && isSpace(rest[begin])) {
        ++begin;
    }
    std::size_t end = rest.size();
    while (end > begin && isSpace(rest[end - 1])) {
        --end;
    }
    if (begin == 0) {
        return false;
    }
    const std::string_view body = rest.substr(begin, end - begin);
    if (isName(body)) {
        return true;
    }
    if (body.size() < 3 || compareNoCaseAt(body, 0, 2, "AS") != 0 || !isSpace(body[2])) {
        return false;
    }
    std::size_t name = 2;
    while (name < body.size() && isSpace(body[name])) {
        ++name;
    }
    return isName(body.substr(name));
}

}  // namespace

std::uint32_t tokensPresent(std::string_view text, const TokenTable& table) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::uint32_t found = 0;
    for (std::size_t i = 0; i < size; ++i) {
        std::uint32_t candidates = table.byFirstByte[bytes[i]];
        if (candidates == 0) {
            continue;
        }
        candidates &=
            (i + 1 < size ? table.bySecondByte[bytes[i + 1]] : table.singleBytes) & ~found;
        while (candidates != 0) {
            const int k = std::countr_zero(candidates);
            candidates &= candidates - 1;
            const std::string_view token = table.tokens[static_cast<std::size_t>(k)];
            if (token.size() <= size - i && compareNoCaseAt(text, i, token.size(), token) == 0) {
                found |= std::uint32_t{1} << k;
            }
        }
    }
    return found;
}

std::string replaceWithinDelimiters(const std::string& text, const char* open, const char* close,
                                    const char* token, const char* replacement) {
    const std::string_view opening = open != nullptr ? open : "";
    const std::string_view closing = close != nullptr ? close : "";
    const std::string_view sought = token != nullptr ? token : "";
    const std::string_view replaced = replacement != nullptr ? replacement : "";
    std::string out;
    out.reserve(text.size());
    bool inside = false;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!inside && startsAt(text, i, opening)) {
            inside = true;
        }
        if (inside) {
            if (startsAt(text, i, closing)) {
                inside = false;
            } else if (!sought.empty() && startsAt(text, i, sought)) {
                out += replaced;
                i += sought.size();
                continue;
            }
        }
        out += text[i];
        ++i;
    }
    return out;
}

void trimLeadingBlanksAndQuote(std::string& text) {
    if (text.empty()) {
        return;
    }
    std::size_t blanks = 0;
    while (text.size() - blanks >= 2 && isAsciiSpace(static_cast<unsigned char>(text[blanks]))) {
        ++blanks;
    }
    text.erase(0, blanks);
    if (!text.empty() && text.front() == '"') {
        text.erase(0, 1);
    }
    if (!text.empty() && text.back() == '"') {
        text.pop_back();
    }
}

std::string backquotesToDoubleQuotes(const std::string& text) {
    std::string out = text;
    char quote = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const char c = out[i];
        if (quote == 0) {
            if (isQuote(c)) {
                quote = c;
            }
        } else if (quote == '\'' && c == '\\') {
            ++i;
            continue;
        } else if (c == quote) {
            quote = 0;
        } else {
            continue;
        }
        // Only the backquotes that open or close an identifier change.
        if (c == '`') {
            out[i] = '"';
        }
    }
    return out;
}

std::string rewriteCallOutsideQuotes(std::string text, std::string_view opening,
                                     std::string_view replacement, std::string_view closingSuffix) {
    if (opening.empty() || opening.size() > text.size()) {
        return text;
    }
    // One depth map and one bracket match of the text as given: the
    // replacement and the suffix hold no quote, so every later character
    // stays in or out of its quoted run, and a call ends at the bracket that
    // matches the last "(" of its opening.
    const std::size_t paren = opening.rfind('(');
    const std::vector<int> depth = depthMap(text);
    const std::vector<std::size_t> closing = matchingBrackets(text, depth);
    std::vector<std::size_t> calls;
    std::vector<std::size_t> suffixes;  // just past each call's closing bracket
    for (std::size_t at = 0; at + opening.size() <= text.size();) {
        if (depth[at] < 0 || compareNoCaseAt(text, at, opening.size(), opening) != 0) {
            ++at;
            continue;
        }
        calls.push_back(at);
        if (paren != std::string_view::npos && closing[at + paren] != std::string::npos) {
            suffixes.push_back(closing[at + paren] + 1);
        }
        at += opening.size();
    }
    std::sort(suffixes.begin(), suffixes.end());

    std::string out;
    out.reserve(text.size() + calls.size() * (replacement.size() + closingSuffix.size()));
    std::size_t copied = 0;
    std::size_t call = 0;
    std::size_t suffix = 0;
    while (call < calls.size() || suffix < suffixes.size()) {
        // A suffix goes before a call that starts where it is inserted.
        if (suffix < suffixes.size() && (call == calls.size() || suffixes[suffix] <= calls[call])) {
            const std::size_t at = std::max(suffixes[suffix++], copied);
            out.append(text, copied, at - copied);
            out += closingSuffix;
            copied = at;
        } else {
            const std::size_t at = calls[call++];
            out.append(text, copied, at - copied);
            out += replacement;
            copied = at + opening.size();
        }
    }
    out.append(text, copied, std::string::npos);
    return out;
}

std::string rewriteZeroDates(std::string text) {
    if (matchKeyword(text.c_str(), "update") != nullptr) {
        text = nullZeroDateAssignments(std::move(text));
    }
    for (std::string_view token : kZeroDateComparisons) {
        text = replaceAllPairsOutsideQuotes(std::move(text), token, " IS NULL");
    }
    return text;
}

std::vector<std::string> extractLikePatterns(std::string& text) {
    std::vector<std::string> patterns;
    // " LIKE ?" holds no quote and a literal's quotes pair up, so the text
    // after a replacement keeps the depths of one map of the whole text.
    const std::vector<int> depth = depthMap(text);
    std::string out;
    std::size_t copied = 0;
    std::size_t at = 0;
    while (at + kLikePattern.size() <= text.size()) {
        if (depth[at] < 0 || !startsAt(text, at, kLikePattern)) {
            ++at;
            continue;
        }
        const std::size_t open = at + kLikePattern.size() - 1;
        const std::size_t close = literalEnd(text, open);
        if (close == std::string::npos) {
            break;
        }
        const std::string_view body(text.data() + open + 1, close - open - 1);
        if (!body.empty() && body.front() == '%' && body.back() == '%') {
            patterns.push_back(undoubleQuotes(body));
            out.append(text, copied, at - copied);
            out += kLikeMarker;
            copied = close + 1;
        }
        at = close + 1;
    }
    if (!patterns.empty()) {
        out.append(text, copied, std::string::npos);
        text = std::move(out);
    }
    return patterns;
}

std::size_t findTopLevelWord(std::string_view text, std::string_view word, std::size_t from) {
    if (word.empty() || word.size() > text.size()) {
        return std::string::npos;
    }
    const std::size_t last = text.size() - word.size();
    return walkDepths(text, [&](std::size_t i, int depth) {
        if (i < from || i > last || depth != 0 ||
            compareNoCaseAt(text, i, word.size(), word) != 0) {
            return false;
        }
        const bool before = i == 0 || !isWordChar(text[i - 1]);
        const bool after = i + word.size() == text.size() || !isWordChar(text[i + word.size()]);
        return before && after;
    });
}

std::size_t findTopLevel(std::string_view text, std::string_view word, std::size_t from) {
    if (word.empty() || word.size() > text.size()) {
        return std::string::npos;
    }
    const std::size_t last = text.size() - word.size();
    return walkDepths(text, [&](std::size_t i, int depth) {
        return i >= from && i <= last && depth == 0 && startsAt(text, i, word);
    });
}

std::vector<SelectListItem> splitSelectList(std::string_view text, std::size_t begin,
                                            std::size_t end) {
    std::vector<SelectListItem> items;
    end = std::min(end, text.size());
    if (begin >= end) {
        return items;
    }
    const std::vector<int> depth = depthMap(text);
    const auto addItem = [&](std::size_t start, std::size_t stop) {
        std::size_t first = start;
        while (first < stop && isAsciiSpace(static_cast<unsigned char>(text[first]))) {
            ++first;
        }
        if (first == stop) {
            return;
        }
        std::size_t blank = first;
        while (blank < stop &&
               !(depth[blank] == 0 && isAsciiSpace(static_cast<unsigned char>(text[blank])))) {
            ++blank;
        }
        SelectListItem item;
        item.position = start;
        const std::string_view rest = text.substr(blank, stop - blank);
        const bool restBlank = rest.find_first_not_of(" \t\r\n\f\v") == std::string::npos;
        item.hasAlias = !restBlank && isAlias(rest);
        const std::size_t expressionEnd = restBlank || item.hasAlias ? blank : stop;
        item.expression = std::string(text.substr(start, expressionEnd - start));
        items.push_back(std::move(item));
    };
    std::size_t start = begin;
    for (std::size_t i = begin; i < end; ++i) {
        if (text[i] == ',' && depth[i] == 0) {
            addItem(start, i);
            start = i + 1;
        }
    }
    addItem(start, end);
    return items;
}

std::string shownDefault(const std::string& columnDef) {
    if (columnDef.empty() || columnDef.front() != '\'') {
        return columnDef;
    }
    std::string value;
    for (std::size_t i = 1; i < columnDef.size(); ++i) {
        if (columnDef[i] != '\'') {
            value += columnDef[i];
        } else if (i + 1 < columnDef.size() && columnDef[i + 1] == '\'') {
            value += '\'';
            ++i;
        } else {
            break;
        }
    }
    return value;
}

namespace {

std::string_view withoutBlanksAround(std::string_view text) {
    while (!text.empty() && isAsciiSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isAsciiSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The closing character of a quoted name part opened by `c`; '\0' for none.
char closingQuoteOf(char c) {
    constexpr std::pair<char, char> kQuotes[] = {{'`', '`'}, {'"', '"'}, {'\'', '\''}, {'[', ']'}};
    for (const auto& [open, close] : kQuotes) {
        if (c == open) {
            return close;
        }
    }
    return '\0';
}

// The quoted part that opens at `i`, which moves past its closing quote;
// nothing when the quote is not closed.
std::optional<std::string> quotedPart(std::string_view text, std::size_t& i) {
    const char close = closingQuoteOf(text[i]);
    std::string part;
    for (++i; i < text.size(); ++i) {
        if (text[i] != close) {
            part += text[i];
        } else if (close != ']' && i + 1 < text.size() && text[i + 1] == close) {
            part += close;
            ++i;
        } else {
            ++i;
            return part;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<DescribedName> describedName(std::string_view text) {
    text = withoutBlanksAround(text);
    if (!text.empty() && text.back() == ';') {
        text = withoutBlanksAround(text.substr(0, text.size() - 1));
    }
    constexpr std::size_t kMostParts = 3;
    std::vector<std::string> parts;
    std::size_t i = 0;
    for (;;) {
        std::optional<std::string> part;
        if (i < text.size() && closingQuoteOf(text[i]) != '\0') {
            part = quotedPart(text, i);
            while (i < text.size() && isAsciiSpace(text[i])) {
                ++i;
            }
        } else {
            const std::size_t end = std::min(text.find('.', i), text.size());
            part = std::string(withoutBlanksAround(text.substr(i, end - i)));
            i = end;
        }
        if (!part || part->empty() || parts.size() == kMostParts) {
            return std::nullopt;
        }
        parts.push_back(std::move(*part));
        if (i == text.size()) {
            break;
        }
        if (text[i] != '.') {
            return std::nullopt;
        }
        ++i;
        while (i < text.size() && isAsciiSpace(text[i])) {
            ++i;
        }
    }
    DescribedName name;
    name.table = parts.back();
    if (parts.size() > 1) {
        name.schema = parts[parts.size() - 2];
    }
    return name;
}
