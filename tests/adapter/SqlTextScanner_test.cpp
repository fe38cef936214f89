#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/adapter/SqlTextScanner.h"

namespace {

// A text in a heap block of exactly its bytes (plus its NUL only when asked),
// so that the sanitizer build reports any read beyond the end.
class ExactText {
  public:
    ExactText(std::string_view text, bool terminated)
        : length_(text.size()), data_(new char[text.size() + (terminated ? 1 : 0)]) {
        std::memcpy(data_.get(), text.data(), text.size());
        if (terminated) {
            data_[text.size()] = '\0';
        }
    }
    const char* get() const { return data_.get(); }
    std::string_view view() const { return {data_.get(), length_}; }

  private:
    std::size_t length_;
    std::unique_ptr<char[]> data_;
};

// Offset of a result in its text, -1 for null.
long offsetIn(const ExactText& text, const char* result) {
    return result == nullptr ? -1 : static_cast<long>(result - text.get());
}

TEST(SqlTextScanner, IsAsciiSpaceKnowsOnlyTheSixAsciiSpaces) {
    struct Case {
        int c;
        bool space;
    };
    const Case cases[] = {{' ', true},  {'\t', true},      {'\n', true},  {'\v', true},
                          {'\f', true}, {'\r', true},      {'a', false},  {0, false},
                          {-1, false},  {-32, false},      {0x85, false}, {0xA0, false},
                          {255, false}, {256 + ' ', false}};
    for (const Case& c : cases) {
        EXPECT_EQ(isAsciiSpace(c.c), c.space) << c.c;
    }
}

TEST(SqlTextScanner, SkipSpacesStopsAtTheFirstOtherCharacter) {
    struct Case {
        const char* text;
        long offset;
    };
    const Case cases[] = {{"  \t\nx y", 4}, {"   ", 3}, {"", 0}, {"\xA0x", 0}, {"x ", 0}};
    for (const Case& c : cases) {
        const ExactText text(c.text, true);
        EXPECT_EQ(offsetIn(text, skipSpaces(text.get())), c.offset) << c.text;
    }
}

TEST(SqlTextScanner, MatchKeywordNeedsTheWholeWord) {
    struct Case {
        const char* text;
        const char* keyword;
        long offset;
    };
    const Case cases[] = {
        {"  select* from t", "select", -1},  // no white space after the keyword
        {"select", "select", 0},
        {"  SELECT x", "select", 2},
        {"\tselect\n", "select", 1},
        {"selec", "select", -1},  // text ends inside the keyword
        {"selectx", "select", -1},
        {"", "select", -1},
        {"   ", "select", -1},
        {"\xA0select", "select", -1},
        {"insert into t", "select", -1},
    };
    for (const Case& c : cases) {
        const ExactText text(c.text, true);
        EXPECT_EQ(offsetIn(text, matchKeyword(text.get(), c.keyword)), c.offset) << c.text;
    }
    EXPECT_EQ(matchKeyword(nullptr, "select"), nullptr);
}

TEST(SqlTextScanner, FindOutsideQuotesSkipsQuotedRuns) {
    struct Case {
        const char* text;
        bool singles;
        bool doubles;
        long offset;  // -2: the terminating NUL
    };
    const Case cases[] = {
        {"select * from t", true, true, 9},
        {"SELECT * FROM t", true, true, 9},
        {"select 'from' from t", true, true, 14},
        {"select \"from\" from t", true, true, 14},
        {"select \"from\" from t", true, false, 8},
        {"select 'a\\'from' from t", true, true, 17},  // escaped quote inside the run
        {"select \\'from", true, true, 9},             // a quote after a backslash opens nothing
        {"select x", true, true, -2},
        {"select 'from", true, true, -2},   // unterminated run lasts to the end
        {"select 'abc\\", true, true, -2},  // backslash right before the NUL
        {"", true, true, -2},
    };
    for (const Case& c : cases) {
        const ExactText text(c.text, true);
        const long expected = c.offset == -2 ? static_cast<long>(std::strlen(c.text)) : c.offset;
        EXPECT_EQ(offsetIn(text, findOutsideQuotes(text.get(), "from", c.singles, c.doubles)),
                  expected)
            << c.text;
    }
}

TEST(SqlTextScanner, CountOutsideQuotesCountsMarkers) {
    struct Case {
        const char* text;
        const char* token;
        int count;
    };
    const Case cases[] = {
        {"a = ? and b = '?'", "?", 1},
        {"??", "?", 2},
        {"", "?", 0},
        {"a = \"?\" and `?` and ?", "?", 1},
        {"'it\\'s ?' ?", "?", 1},  // the escaped quote does not end the run
        {"\"a\\\" ?", "?", 1},     // a double quote ignores the backslash: the run ends
        {"abab", "ab", 2},
        {"aaa", "aa", 1},  // scanning goes on after the match
        {"a ? b", "", 0},
        {"A ?", "a", 0},  // case matters
    };
    for (const Case& c : cases) {
        EXPECT_EQ(countOutsideQuotes(c.text, c.token), c.count) << c.text << " / " << c.token;
    }
}

struct PairCase {
    const char* text;
    std::string_view token;
    const char* replacement;
    const char* closing;
    const char* closingReplacement;
    char escape;
    int result;
    const char* expected;
};

TEST(SqlTextScanner, ReplacePairOutsideQuotesReplacesTheFirstMatch) {
    const PairCase cases[] = {
        {"{d '2001-01-01'}", "{d '", "'", "'}", "'", '\\', 1, "'2001-01-01'"},
        {"SELECT '?'", "?", "1", "", "", '\\', 0, "SELECT '?'"},
        {"a = ? and b = ?", "?", "1", "", "", '\\', 1, "a = 1 and b = ?"},
        {"select dayofweek(x)", "DAYOFWEEK(", "1+EXTRACT(DOW FROM ", "", "", '\\', 1,
         "select 1+EXTRACT(DOW FROM x)"},
        {"'it\\'s ?' ?", "?", "X", "", "", '\\', 1, "'it\\'s ?' X"},
        {"'it\\'s ?' ?", "?", "X", "", "", '\0', 1, "'it\\'s X' ?"},
        {"EXTRACT(SECOND x", "EXTRACT(SECOND ", "TRUNC(EXTRACT( SECOND ", ")", "))", '\\', 1,
         "TRUNC(EXTRACT( SECOND x"},
        {"\"col\" LIKE 'a'", "\" LIKE '", "\"::varchar ILIKE '", "", "", '\\', 1,
         "\"col\"::varchar ILIKE 'a'"},
        {"x ?", "", "y", "", "", '\\', 0, "x ?"},
        {"?", "?", "", "", "", '\\', 1, ""},
        {"a ?", "?", "b", "?", "c", '\\', 1, "a b"},
    };
    for (const PairCase& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(replacePairOutsideQuotes(text, c.token, c.replacement, c.closing,
                                           c.closingReplacement, c.escape),
                  c.result)
            << c.text;
        EXPECT_EQ(text, c.expected) << c.text;
    }
}

TEST(SqlTextScanner, ReplaceAllPairsRepeatsUntilNoTokenIsLeft) {
    const PairCase cases[] = {
        {"DAYOFWEEK(a) + dayofweek(b) + 'DAYOFWEEK('", "DAYOFWEEK(", "1+EXTRACT(DOW FROM ", "", "",
         '\\', 0, "1+EXTRACT(DOW FROM a) + 1+EXTRACT(DOW FROM b) + 'DAYOFWEEK('"},
        {"EXTRACT(SECOND a) + EXTRACT(SECOND b)", "EXTRACT(SECOND ", "TRUNC(EXTRACT( SECOND ", ")",
         "))", '\\', 0, "TRUNC(EXTRACT( SECOND a)) + TRUNC(EXTRACT( SECOND b))"},
        {"WHERE d IN ({d ''})", "IN ({d ''})", " IS NULL", "", "", '\\', 0, "WHERE d  IS NULL"},
        {"x ='0000-00-00' and y='0000-00-00'", "='0000-00-00'", " IS NULL", "", "", '\\', 0,
         "x  IS NULL and y IS NULL"},
        // Replacements holding their own token end instead of looping.
        {"a ? b ?", "?", "'?'", "", "", '\\', 0, "a '?' b '?'"},
        {"axb", "x", "xx", "", "", '\\', 0, "axxb"},
        {"(a) (b)", "(", "[", ")", "(", '\\', 0, "[a( [b("},
        // A token ending in NUL once matched across the text's end forever.
        {"a", std::string_view("a\0", 2), "a", "", "", '\\', 0, "a"},
        {"xa", std::string_view("a\0", 2), "b", "", "", '\\', 0, "xa"},
    };
    for (const PairCase& c : cases) {
        EXPECT_EQ(replaceAllPairsOutsideQuotes(c.text, c.token, c.replacement, c.closing,
                                               c.closingReplacement),
                  c.expected)
            << c.text;
    }
}

TEST(SqlTextScanner, StripNameQualifiersDropsTheFirstPartOfLongNames) {
    struct Case {
        const char* text;
        int depth;
        bool backquotes;
        const char* expected;
    };
    const Case cases[] = {
        {"SELECT a.b.c.d FROM w.x.y WHERE p.q.r.s = 1", 2, true,
         "SELECT b.c.d FROM x.y WHERE q.r.s = 1"},
        {"UPDATE db.sch.t SET x=1", 2, true, "UPDATE sch.t SET x=1"},
        {"SELECT * FROM `a.b.c`", 2, true, "SELECT * FROM `a.b.c`"},
        {"", 2, true, ""},
        {"  select   x  from  t  ", 2, true, "  select   x  from  t  "},
        {"SELECT cat.sch.tbl.col FROM cat.sch.tbl", 2, false, "SELECT sch.tbl.col FROM sch.tbl"},
        {"SELECT t.col FROM sch.tbl", 2, false, "SELECT t.col FROM sch.tbl"},
        {"SELECT 'a.b.c.d' FROM t", 2, false, "SELECT 'a.b.c.d' FROM t"},
        {"SELECT x FROM a JOIN c.s.t ON 1=1", 2, false, "SELECT x FROM a JOIN c.s.t ON 1=1"},
        {"INSERT INTO c.s.t VALUES (1)", 2, false, "INSERT INTO s.t VALUES (1)"},
        {"SELECT * FROM \"c\".\"s\".\"t\"", 2, false, "SELECT * FROM \"s\".\"t\""},
        {"SELECT x FROM a.b.c WHERE(x.y.z = 1)", 2, false, "SELECT x FROM b.c WHERE(x.y.z = 1)"},
        {"SELECT a FROM c.s.t;", 2, false, "SELECT a FROM s.t;"},
        {"SELECT a\\.b.c.d FROM t", 2, false, "SELECT a\\.b.c.d FROM t"},  // escaped dot
        {"SELECT 'abc.d.e.f", 2, false, "SELECT 'abc.d.e.f"},
        {"\"q\".a.b.c FROM t", 2, false, "\"q\".a.b.c FROM t"},        // first word never shortened
        {"SELECT a.b, 1.5 FROM t", 0, false, "SELECT b, 1.5 FROM t"},  // numbers keep both parts
        {"SELECT 2.5", 0, false, "SELECT 2.5"},                        // also at the end
    };
    for (const Case& c : cases) {
        EXPECT_EQ(stripNameQualifiers(c.text, c.depth, c.backquotes, '\\'), c.expected) << c.text;
    }
}

TEST(SqlTextScanner, QuoteIdentifiersQuotesBareWordsOnly) {
    struct Case {
        const char* text;
        bool backquotes;
        char escape;
        const char* expected;
    };
    const Case cases[] = {
        {"select name from people where id = 5", false, '\\',
         "select \"name\" from \"people\" where \"id\" = 5"},
        {"SELECT t.x FROM tab t", false, '\\', "SELECT t.\"x\" FROM tab t"},
        {"1.5e3", false, '\\', "1.5e3"},
        {"{fn NOW()}", false, '\\', "{fn NOW()}"},
        {"'it''s'", false, '\\', "'it''s'"},
        {"SELECT * FROM orders WHERE qty = ?", false, '\\',
         "SELECT * FROM \"orders\" WHERE \"qty\" = ?"},
        {"SELECT sch.tbl FROM x", false, '\\', "SELECT \"sch\".\"tbl\" FROM \"x\""},
        {"SELECT 'a\\' , nm FROM x", false, '\\', "SELECT 'a\\' , nm FROM x"},
        {"SELECT 'a\\' , nm FROM x", false, '\0', "SELECT 'a\\' , \"nm\" FROM \"x\""},
        {"SELECT N'abc' FROM x", false, '\\', "SELECT N'abc' FROM \"x\""},
        {"SELECT `my col` FROM x", true, '\\', "SELECT `my col` FROM \"x\""},
        {"SELECT nm FROM x ;", false, '\\', "SELECT \"nm\" FROM \"x\" ;"},
        {"SELECT e5", false, '\\', "SELECT \"e5\""},
        {"SELECT e5 FROM x", false, '\\', "SELECT e5 FROM \"x\""},
        {"SELECT 'x'::regclass", false, '\\', "SELECT 'x'::regclass"},
        {"SELECT count(*) FROM x", false, '\\', "SELECT count(*) FROM \"x\""},
        {"WHERE qty > -5 AND n < +2", false, '\\', "WHERE \"qty\" > -5 AND n < +2"},
        {"SELECT 12abc", false, '\\', "SELECT \"12abc\""},
        {"SELECT 1e", false, '\\', "SELECT \"1e\""},
        {"select \"Mixed Case\" from t", false, '\\', "select \"Mixed Case\" from t"},
        // Operators end words and stay bare; signs inside numbers stay.
        {"SELECT DAYOFWEEK(born)*10 FROM t", false, '\\', "SELECT DAYOFWEEK(\"born\")*10 FROM t"},
        {"SELECT COUNT(*)*2", false, '\\', "SELECT COUNT(*)*2"},
        {"SELECT id*2, x-1>0, qty!=1", false, '\\', "SELECT \"id\"*2, \"x\"-1>0, \"qty\"!=1"},
        {"SELECT nm||'x', ~bits, qty%num/2&3|4^5", false, '\\',
         "SELECT \"nm\"||'x', ~\"bits\", \"qty\"%\"num\"/2&3|4^5"},
        {"SELECT 1e-5*-3, 2.5E+3-+.5, (-7), x1e-5", false, '\\',
         "SELECT 1e-5*-3, 2.5E+3-+.5, (-7), \"x1e\"-5"},
        {"SELECT `id`*2", true, '\\', "SELECT `id`*2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(quoteIdentifiers(c.text, '"', c.backquotes, c.escape, true), c.expected)
            << c.text;
    }
}

TEST(SqlTextScanner, QuoteIdentifiersLeavesAVeryLongNumberBare) {
    const std::string number(200000, '7');
    EXPECT_EQ(quoteIdentifiers("SELECT " + number + " FROM x", '"', false, '\\', true),
              "SELECT " + number + " FROM \"x\"");
}

TEST(SqlTextScanner, SplitStringDropsEmptyPieces) {
    struct Case {
        const char* text;
        const char* delimiters;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {",a,,b,", ",", {"a", "b"}},
        {"", ",", {}},
        {",,,", ",", {}},
        {"a.b.c", ".", {"a", "b", "c"}},
        {"a b\tc", " \t", {"a", "b", "c"}},
        {"abc", "", {"abc"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitString(c.text, c.delimiters), c.pieces) << c.text;
    }
}

TEST(SqlTextScanner, CompareNoCaseComparesOverTheFirstTextsLength) {
    struct Case {
        std::string_view a;
        std::string_view b;
        int result;
    };
    const Case cases[] = {
        {"UTF", "UTF-8", 0},     {"utf-8", "UTF-8", 0}, {"", "x", 0},
        {"UTF8", "UTF-8", -1},                      // '8' is greater than '-'
        {"UTF-8X", "UTF-8", -1},                    // b's end takes part as a NUL
        {"A", "b", 1},           {"\xE9", "e", 1},  // compared as signed bytes
    };
    for (const Case& c : cases) {
        const ExactText a(c.a, false);
        const ExactText b(c.b, false);
        EXPECT_EQ(compareNoCase(a.view(), b.view()), c.result) << c.a << " / " << c.b;
    }
}

TEST(SqlTextScanner, CompareNoCaseAtNeverReadsPastEitherText) {
    struct Case {
        std::size_t position;
        std::size_t length;
        std::string_view other;
        bool equal;
    };
    const Case cases[] = {
        {2, 3, "CDE", true},  {4, 3, "efg", false}, {10, 0, "x", true},
        {0, 6, "abc", false}, {6, 1, "x", false},   {0, 6, "ABCDEF", true},
    };
    const ExactText text("abcdef", false);
    for (const Case& c : cases) {
        const ExactText other(c.other, false);
        EXPECT_EQ(compareNoCaseAt(text.view(), c.position, c.length, other.view()) == 0, c.equal)
            << c.position << " " << c.length << " " << c.other;
    }
}

TEST(SqlTextScanner, FindCharBoundedLooksOnlyWithinItsMaximum) {
    struct Case {
        std::string_view text;
        bool terminated;
        int maximum;
        long offset;
    };
    const Case cases[] = {
        {"a;b", false, 3, 1},
        {"ab", false, 2, -1},  // would have to read index 2 to go wrong
        {"a;b", false, 1, -1},
        {"a;b", false, 0, -1},
        {"ab;", true, -1, 2},
        {"ab", true, -1, -1},
        {std::string_view("a\0;", 3), false, 3, -1},  // never passes the NUL
        {"", true, 5, -1},
    };
    for (const Case& c : cases) {
        const ExactText text(c.text, c.terminated);
        EXPECT_EQ(offsetIn(text, findCharBounded(text.get(), ';', c.maximum)), c.offset)
            << c.text << " max " << c.maximum;
    }
    EXPECT_EQ(findCharBounded(nullptr, ';', 4), nullptr);
}

TEST(SqlTextScanner, WideLengthsStopAtZeroAndAtTheBound) {
    struct Case {
        std::vector<SQLWCHAR> units;  // allocated exactly, no terminator
        std::int64_t maximum;
        std::int64_t length;
    };
    const Case cases[] = {
        {{L'a', L'b', L'c'}, 3, 3},
        {{L'a', 0, L'c'}, 3, 1},
        {{L'a', L'b', L'c'}, 2, 2},
        {{L'a'}, 0, 0},
        {{L'a'}, -5, 0},
        {{0, L'b'}, 2, 0},
    };
    for (const Case& c : cases) {
        std::unique_ptr<SQLWCHAR[]> units(new SQLWCHAR[c.units.size()]);
        std::copy(c.units.begin(), c.units.end(), units.get());
        EXPECT_EQ(wideLengthBounded(units.get(), c.maximum), c.length) << c.maximum;
    }
    EXPECT_EQ(wideLengthBounded(nullptr, 4), 0);

    const SQLWCHAR terminated[] = {L'x', 0x1F600, L'y', 0};
    EXPECT_EQ(wideLength(terminated), 3u);
    EXPECT_EQ(wideLength(nullptr), 0u);
}

}  // namespace
