#include "driver/adapter/SqlTextScanner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <optional>

namespace {

bool isSpaceChar(char c) {
    return isAsciiSpace(static_cast<unsigned char>(c));
}

bool isOneOf(char c, std::string_view set) {
    return set.find(c) != std::string_view::npos;
}

// A set of bytes as a table: the scanners test every character against one.
class ByteSet {
  public:
    constexpr explicit ByteSet(std::string_view members) {
        for (char c : members) {
            members_[static_cast<unsigned char>(c)] = true;
        }
    }
    constexpr bool contains(char c) const { return members_[static_cast<unsigned char>(c)]; }

  private:
    std::array<bool, 256> members_{};
};

char charOrNul(std::string_view text, std::size_t at) {
    return at < text.size() ? text[at] : '\0';
}

// `token` at `text`, without case, reading no further than the text's NUL.
bool startsWithNoCase(const char* text, std::string_view token) {
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (text[i] == '\0' || sql_text::compareCharsNoCase(text[i], token[i]) != 0) {
            return false;
        }
    }
    return true;
}

bool containsNoCase(std::string_view text, std::string_view token) {
    for (std::size_t i = 0; i + token.size() <= text.size(); ++i) {
        if (compareNoCaseAt(text, i, token.size(), token) == 0) {
            return true;
        }
    }
    return false;
}

// The number pattern ^[-+]?[0-9]*\.?[0-9]*([eE][-+]?[0-9]+)?$, matched by
// hand: a regular-expression engine recurses per character and could exhaust
// the stack on a long literal. It also matches "", a lone sign and ".".
bool isNumberWord(std::string_view word) {
    std::size_t i = 0;
    auto digits = [&] {
        const std::size_t start = i;
        while (i < word.size() && word[i] >= '0' && word[i] <= '9') {
            ++i;
        }
        return i - start;
    };
    auto optional = [&](std::string_view set) {
        if (i < word.size() && isOneOf(word[i], set)) {
            ++i;
        }
    };
    optional("+-");
    digits();
    optional(".");
    digits();
    if (i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
        ++i;
        optional("+-");
        if (digits() == 0) {
            return false;
        }
    }
    return i == word.size();
}

// --- stripNameQualifiers ---------------------------------------------------

constexpr ByteSet kStripWordEnd{" \t\n\v\f\r(),;<=>"};
constexpr ByteSet kStripSeparator{" \t\n\v\f\r(),<=>"};

// Clause keywords that open or close the position of a table name. Each must
// be followed by white space; `parenFollows` also accepts "(".
struct ClauseKeyword {
    std::string_view word;
    bool opensNamePosition;
    bool parenFollows;
};

constexpr ClauseKeyword kClauseKeywords[] = {
    {"FROM", true, false},       {"INTO", true, false},   {"UPDATE", true, false},
    {"SELECT", false, false},    {"WHERE", false, true},  {"JOIN", false, false},
    {"LEFT", false, false},      {"ORDER", false, false}, {"GROUP", false, false},
    {"HAVING", false, false},    {"UNION", false, false}, {"MINUS", false, false},
    {"INTERSECT", false, false}, {"SET", false, false},   {"ON", false, true},
};

bool clauseKeywordAt(std::string_view text, std::size_t at, const ClauseKeyword& keyword) {
    if (compareNoCaseAt(text, at, keyword.word.size(), keyword.word) != 0) {
        return false;
    }
    const char next = charOrNul(text, at + keyword.word.size());
    return isSpaceChar(next) || (keyword.parenFollows && next == '(');
}

class QualifierStripper {
  public:
    QualifierStripper(std::string_view text, int depth, bool backquotes, char escape)
        : text_(text), depth_(depth), backquotes_(backquotes), escape_(escape) {}

    std::string run() {
        out_.reserve(text_.size());
        std::size_t i = 0;
        while (i < text_.size()) {
            i = step(i);
        }
        if (inWord_) {
            finishWord(text_.size());
        }
        return std::move(out_);
    }

  private:
    bool opensRun(char c) const { return c == '\'' || c == '"' || (backquotes_ && c == '`'); }

    std::size_t step(std::size_t i) {
        const char c = text_[i];
        if (escape_ != '\0' && c == escape_) {
            // The escape and its character are not examined; outside a word
            // they are copied as they stand, inside one they go with it.
            const std::size_t length = std::min<std::size_t>(2, text_.size() - i);
            if (!inWord_) {
                out_.append(text_.substr(i, length));
            }
            return i + length;
        }
        if (inRun_) {
            inRun_ = c != runOpener_;
        } else if (inWord_) {
            stepInWord(i, c);
        } else if (opensRun(c)) {
            inRun_ = true;
            runOpener_ = c;
            startWord(i, false);
        } else if (kStripSeparator.contains(c)) {
            out_.push_back(c);
        } else {
            startWord(i, true);
        }
        return i + 1;
    }

    void stepInWord(std::size_t i, char c) {
        if (runOpener_ != '\0' && c == runOpener_) {
            inRun_ = true;
        } else if (c == '.') {
            if (++dots_ == 1) {
                afterFirstDot_ = i + 1;
            }
            if (trigger_ > 0 && dots_ == trigger_) {
                copyPos_ = afterFirstDot_;
            }
        } else if (kStripWordEnd.contains(c)) {
            finishWord(i);
            out_.push_back(c);
        }
    }

    // A word that begins with a quote runs no keyword test and keeps the
    // trigger of the word before it.
    void startWord(std::size_t i, bool testKeywords) {
        inWord_ = true;
        wordStart_ = copyPos_ = i;
        dots_ = 0;
        if (!testKeywords) {
            return;
        }
        for (const ClauseKeyword& keyword : kClauseKeywords) {
            if (keyword.opensNamePosition != inNamePosition_ &&
                clauseKeywordAt(text_, i, keyword)) {
                inNamePosition_ = keyword.opensNamePosition;
                break;
            }
        }
        trigger_ = inNamePosition_ ? depth_ : depth_ + 1;
    }

    void finishWord(std::size_t end) {
        // A number such as 1.5 keeps its first part.
        if (dots_ == 1 && copyPos_ != wordStart_ &&
            isNumberWord(text_.substr(wordStart_, end - wordStart_))) {
            copyPos_ = wordStart_;
        }
        out_.append(text_.substr(copyPos_, end - copyPos_));
        inWord_ = false;
    }

    std::string_view text_;
    int depth_;
    bool backquotes_;
    char escape_;
    std::string out_;
    bool inWord_ = false;
    bool inRun_ = false;
    char runOpener_ = '\0';
    bool inNamePosition_ = false;
    int dots_ = 0;
    int trigger_ = -1;  // none until the first unquoted word
    std::size_t copyPos_ = 0;
    std::size_t wordStart_ = 0;
    std::size_t afterFirstDot_ = 0;
};

// --- quoteIdentifiers -------------------------------------------------------

// The operators + - * / % ! | & ^ ~ end a word and are copied bare: glued to
// a word they would otherwise be quoted into it ("*10" read as an alias).
constexpr ByteSet kQuoteWordEnd{" \t\n\v\f\r(),.;<=>+-*/%!|&^~"};
// ";" separates as well: a word made of it alone would otherwise be quoted
// into an identifier and break the statement.
constexpr ByteSet kQuoteSeparator{std::string_view{" \t\n\v\f\r(),.<=>;\0+-*/%!|&^~", 25}};
// What a sign follows when it belongs to the number behind it (-3 in x*-3).
constexpr std::string_view kBeforeSignedNumber = "+-*/%!|&^~(<=>";

// Words left bare, after "SELECT"; a word that is the beginning of one of
// them (T for TABLE) stays bare as well.
constexpr std::string_view kBareWords[] = {
    "FROM",    "WHERE",     "ORDER",     "GROUP",   "BY",      "DISTINCT", "HAVING",     "UNION",
    "MINUS",   "INTERSECT", "JOIN",      "LEFT",    "ON",      "IN",       "IS",         "AS",
    "BETWEEN", "EXISTS",    "LIMIT",     "LIKE",    "AND",     "OR",       "COUNT",      "NULL",
    "*",       "?",         "NOT",       "FOR",     "INSERT",  "INTO",     "VALUES",     "UPDATE",
    "SET",     "DELETE",    "DESCRIBE",  "NEXTVAL", "LASTVAL", "CURRVAL",  "::REGCLASS", "CREATE",
    "TABLE",   "VIEW",      "INDEX",     "PRIMARY", "KEY",     "DEFAULT",  "DROP",       "TRUNCATE",
    "ESCAPE",  "EXTRACT",   "DAYOFWEEK", "LENGTH",  "DOW",     "YEAR",     "MONTH",      "DAY",
    "HOUR",    "MINUTE",    "SECOND",
};
static_assert(std::size(kBareWords) == 59);

// The bare words with "SELECT", grouped by first character: a word is
// compared only with those that begin as it does.
class BareWordIndex {
  public:
    consteval BareWordIndex() {
        std::array<std::string_view, kCount> all{};
        std::copy(std::begin(kBareWords), std::end(kBareWords), all.begin());
        all.back() = "SELECT";
        for (std::string_view word : all) {
            ++first_[static_cast<unsigned char>(word.front()) + 1];
        }
        for (std::size_t c = 1; c < first_.size(); ++c) {
            first_[c] += first_[c - 1];
        }
        std::array<std::uint8_t, 256> filled{};
        for (std::string_view word : all) {
            const auto c = static_cast<unsigned char>(word.front());
            words_[first_[c] + filled[c]++] = word;
        }
    }

    // Whether the word begins a keyword, case-blind (an empty word does).
    bool contains(std::string_view word) const {
        if (word.empty()) {
            return true;
        }
        const auto c = static_cast<unsigned char>(upperAscii(word.front()));
        return std::any_of(words_.begin() + first_[c], words_.begin() + first_[c + 1],
                           [word](std::string_view bare) {
                               // Past the keyword's end only NULs compare equal.
                               return (word.size() <= bare.size() || word[bare.size()] == '\0') &&
                                      compareNoCase(word, bare) == 0;
                           });
    }

  private:
    static constexpr std::size_t kCount = std::size(kBareWords) + 1;
    std::array<std::uint8_t, 257> first_{};
    std::array<std::string_view, kCount> words_{};
};

constexpr BareWordIndex kBareWordIndex;

bool isBareKeyword(std::string_view word) {
    return kBareWordIndex.contains(word);
}

class IdentifierQuoter {
  public:
    IdentifierQuoter(std::string_view text, char quote, bool backquotes, char escape, bool doubled)
        : text_(text), quote_(quote), backquotes_(backquotes), escape_(escape), doubled_(doubled) {}

    std::string run() {
        out_.reserve(text_.size() + text_.size() / 4);
        std::size_t i = 0;
        while (i < text_.size()) {
            if (inWord_ && !inRun_) {
                i = wordBodyEnd(i);
                if (i == text_.size()) {
                    break;
                }
            }
            i = step(i);
        }
        if (inWord_) {
            writeWord(text_.size(), true);
        }
        return std::move(out_);
    }

  private:
    bool opensRun(char c) const {
        return c == '"' || c == '\'' || c == '{' || (backquotes_ && c == '`');
    }

    // The first character from `i` on that step must look at inside a word:
    // the others only lengthen it.
    std::size_t wordBodyEnd(std::size_t i) const {
        while (i < text_.size()) {
            const char c = text_[i];
            if ((escape_ != '\0' && c == escape_) || opensRun(c) || kQuoteWordEnd.contains(c)) {
                break;
            }
            ++i;
        }
        return i;
    }

    std::size_t step(std::size_t i) {
        const char c = text_[i];
        if (escape_ != '\0' && c == escape_) {
            const std::size_t length = std::min<std::size_t>(2, text_.size() - i);
            if (!inWord_) {
                out_.append(text_.substr(i, length));
            }
            return i + length;
        }
        if (inRun_) {
            return stepInRun(i, c);
        }
        if (opensRun(c)) {
            if (inWord_) {
                // A prefix glued to a literal (N'abc', E'\n') stays as written.
                out_.append(text_.substr(wordStart_, i - wordStart_));
                inWord_ = false;
            }
            inRun_ = true;
            closing_ = c == '{' ? '}' : c;
            out_.push_back(c);
        } else if (inWord_) {
            if (kQuoteWordEnd.contains(c) && !isExponentSign(i)) {
                writeWord(i, false);
                out_.push_back(c);
            }
        } else if (kQuoteSeparator.contains(c) && !isLeadingSign(i)) {
            out_.push_back(c);
        } else {
            inWord_ = true;
            wordStart_ = i;
        }
        return i + 1;
    }

    // The sign of an exponent inside a number word (1e-5).
    bool isExponentSign(std::size_t i) const {
        if (text_[i] != '+' && text_[i] != '-') {
            return false;
        }
        const std::string_view word = text_.substr(wordStart_, i - wordStart_);
        if (word.size() < 2 || (word.back() != 'e' && word.back() != 'E')) {
            return false;
        }
        const std::string_view mantissa = word.substr(0, word.size() - 1);
        return mantissa.find_first_of("0123456789") != std::string_view::npos &&
               isNumberWord(mantissa);
    }

    // A sign that begins a number: right before its digits, at the start of
    // the text or after an operator or an opening parenthesis.
    bool isLeadingSign(std::size_t i) const {
        if (text_[i] != '+' && text_[i] != '-') {
            return false;
        }
        const char next = charOrNul(text_, i + 1);
        const bool digitFollows =
            (next >= '0' && next <= '9') ||
            (next == '.' && charOrNul(text_, i + 2) >= '0' && charOrNul(text_, i + 2) <= '9');
        if (!digitFollows) {
            return false;
        }
        std::size_t before = i;
        while (before > 0 && isSpaceChar(text_[before - 1])) {
            --before;
        }
        return before == 0 || isOneOf(text_[before - 1], kBeforeSignedNumber);
    }

    std::size_t stepInRun(std::size_t i, char c) {
        if (doubled_ && closing_ == '\'' && c == '\'' && charOrNul(text_, i + 1) == '\'') {
            out_.append("''");
            return i + 2;
        }
        out_.push_back(c);
        inRun_ = c != closing_;
        return i + 1;
    }

    // At the end of the text a word beginning with E or e is not taken for
    // a number.
    bool isBare(std::string_view word, bool atEnd) const {
        if (isBareKeyword(word)) {
            return true;
        }
        const char first = word.front();
        const bool couldBeNumber = (first >= '0' && first <= '9') || first == '+' || first == '-' ||
                                   first == '.' || (!atEnd && (first == 'E' || first == 'e'));
        return couldBeNumber && isNumberWord(word);
    }

    void writeWord(std::size_t end, bool atEnd) {
        const std::string_view word = text_.substr(wordStart_, end - wordStart_);
        if (isBare(word, atEnd)) {
            out_.append(word);
        } else {
            out_.push_back(quote_);
            out_.append(word);
            out_.push_back(quote_);
        }
        inWord_ = false;
    }

    std::string_view text_;
    char quote_;
    bool backquotes_;
    char escape_;
    bool doubled_;
    std::string out_;
    bool inRun_ = false;
    char closing_ = '\0';
    bool inWord_ = false;
    std::size_t wordStart_ = 0;
};

// --- pair replacement -------------------------------------------------------

struct Replaced {
    std::size_t end;  // just past the last text inserted
};

// Position of the first `token` outside quoted runs at or after `from`
// (quotes are tracked from the start of the text). Inside a run the escape
// character makes a following single quote ordinary; a closing quote is
// compared with the token and does not open a new run.
std::optional<std::size_t> findTokenOutsideRuns(std::string_view text, std::string_view token,
                                                char escape, std::size_t from) {
    if (token.empty()) {
        return std::nullopt;
    }
    bool inRun = false;
    bool escaped = false;
    char opener = '\0';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool closes = inRun && c == opener && !(escaped && c == '\'');
        if (inRun && !closes) {
            escaped = !escaped && escape != '\0' && c == escape;
            continue;
        }
        // A match lies wholly inside the text: compareNoCaseAt would read its
        // end as NUL, and a token ending in NUL would match there forever.
        if (i >= from && token.size() <= text.size() - i &&
            compareNoCaseAt(text, i, token.size(), token) == 0) {
            return i;
        }
        if (closes) {
            inRun = false;
        } else if (c == '\'' || c == '"' || c == '`') {
            inRun = true;
            opener = c;
            escaped = false;
        }
    }
    return std::nullopt;
}

std::optional<Replaced> replacePairFrom(std::string& text, std::string_view token,
                                        std::string_view replacement, std::string_view closingToken,
                                        std::string_view closingReplacement, char escape,
                                        std::size_t from) {
    const std::optional<std::size_t> at = findTokenOutsideRuns(text, token, escape, from);
    if (!at) {
        return std::nullopt;
    }
    text.replace(*at, token.size(), replacement);
    Replaced done{*at + replacement.size()};
    if (closingToken.empty()) {
        return done;
    }
    for (std::size_t i = done.end; i + closingToken.size() <= text.size(); ++i) {
        if (compareNoCaseAt(text, i, closingToken.size(), closingToken) == 0) {
            text.replace(i, closingToken.size(), closingReplacement);
            done.end = i + closingReplacement.size();
            break;
        }
    }
    return done;
}

}  // namespace

const char* skipSpaces(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    while (isSpaceChar(*text)) {
        ++text;
    }
    return text;
}

const char* matchKeyword(const char* text, const char* keyword) {
    if (text == nullptr || keyword == nullptr) {
        return nullptr;
    }
    const char* start = skipSpaces(text);
    const std::size_t length = std::strlen(keyword);
    if (*start == '\0' || !startsWithNoCase(start, keyword)) {
        return nullptr;
    }
    const char after = start[length];
    return after == '\0' || isSpaceChar(after) ? start : nullptr;
}

const char* findOutsideQuotes(const char* text, const char* token, bool honourSingleQuotes,
                              bool honourDoubleQuotes) {
    if (text == nullptr) {
        return nullptr;
    }
    const std::string_view wanted = token == nullptr ? std::string_view() : token;
    bool inRun = false;
    char opener = '\0';
    std::size_t i = 0;
    while (text[i] != '\0') {
        const char c = text[i];
        if (inRun) {
            if (c == '\\') {
                // The escaped character is passed over, but never the NUL.
                i += text[i + 1] == '\0' ? 1 : 2;
                continue;
            }
            if (c == opener) {
                inRun = false;
                if (startsWithNoCase(text + i, wanted)) {
                    return text + i;
                }
            }
            ++i;
            continue;
        }
        if (startsWithNoCase(text + i, wanted)) {
            return text + i;
        }
        const bool quote = (c == '\'' && honourSingleQuotes) || (c == '"' && honourDoubleQuotes);
        if (quote && !(i > 0 && text[i - 1] == '\\')) {
            inRun = true;
            opener = c;
        }
        ++i;
    }
    return text + i;
}

std::int32_t countOutsideQuotes(std::string_view text, std::string_view token) {
    if (token.empty()) {
        return 0;
    }
    std::int32_t count = 0;
    bool inRun = false;
    char opener = '\0';
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const bool escapedQuote = c == '\'' && i > 0 && text[i - 1] == '\\';
        const bool closes = inRun && c == opener && !escapedQuote;
        if (inRun && !closes) {
            ++i;
            continue;
        }
        if (text.substr(i, token.size()) == token) {
            ++count;
            i += token.size();
            inRun = false;
            continue;
        }
        if (closes) {
            inRun = false;
        } else if (c == '"' || c == '`' || (c == '\'' && !escapedQuote)) {
            inRun = true;
            opener = c;
        }
        ++i;
    }
    return count;
}

int replacePairOutsideQuotes(std::string& text, std::string_view token,
                             std::string_view replacement, std::string_view closingToken,
                             std::string_view closingReplacement, char escapeChar) {
    return replacePairFrom(text, token, replacement, closingToken, closingReplacement, escapeChar,
                           0)
               ? 1
               : 0;
}

std::string replaceAllPairsOutsideQuotes(std::string text, std::string_view token,
                                         std::string_view replacement,
                                         std::string_view closingToken,
                                         std::string_view closingReplacement) {
    // Rescanning from the start would find a token inside its own replacement
    // forever; such a replacement is stepped over instead.
    const bool feedsItself = containsNoCase(replacement, token) ||
                             (!closingToken.empty() && containsNoCase(closingReplacement, token));
    std::size_t from = 0;
    while (const auto done = replacePairFrom(text, token, replacement, closingToken,
                                             closingReplacement, '\\', from)) {
        from = feedsItself ? done->end : 0;
    }
    return text;
}

std::string stripNameQualifiers(std::string_view text, int qualifierDepth, bool honourBackquotes,
                                char escapeChar) {
    // Only a dotted name loses anything; the clause tests are not needed.
    if (text.find('.') == std::string_view::npos) {
        return std::string(text);
    }
    return QualifierStripper(text, qualifierDepth, honourBackquotes, escapeChar).run();
}

std::string quoteIdentifiers(std::string_view text, char quoteChar, bool honourBackquotes,
                             char escapeChar, bool doubledSingleQuotes) {
    return IdentifierQuoter(text, quoteChar, honourBackquotes, escapeChar, doubledSingleQuotes)
        .run();
}

std::vector<std::string> splitString(std::string_view text, std::string_view delimiters) {
    std::vector<std::string> pieces;
    std::size_t start = text.find_first_not_of(delimiters);
    while (start != std::string_view::npos) {
        const std::size_t end = text.find_first_of(delimiters, start);
        pieces.emplace_back(text.substr(start, end - start));
        start = text.find_first_not_of(delimiters, end);
    }
    return pieces;
}

const char* findCharBounded(const char* text, char c, int maximum) {
    if (text == nullptr) {
        return nullptr;
    }
    for (int i = 0; (maximum < 0 || i < maximum) && text[i] != '\0'; ++i) {
        if (text[i] == c) {
            return text + i;
        }
    }
    return nullptr;
}

std::size_t wideLength(const SQLWCHAR* units) {
    std::size_t length = 0;
    if (units != nullptr) {
        while (units[length] != 0) {
            ++length;
        }
    }
    return length;
}

std::int64_t wideLengthBounded(const SQLWCHAR* units, std::int64_t maximum) {
    std::int64_t length = 0;
    if (units != nullptr) {
        while (length < maximum && units[length] != 0) {
            ++length;
        }
    }
    return length;
}
