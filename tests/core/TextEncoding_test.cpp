#include <gtest/gtest.h>

#include <sql.h>

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver/core/TextEncoding.h"
#include "platform/PreferredLanguages.h"
#include "tests/support/ScopedEnv.h"

namespace {

// Sets the preferred languages for one test and clears them afterwards.
class LanguagesOverride {
  public:
    explicit LanguagesOverride(std::vector<std::string> languages) {
        setPreferredLanguagesOverride(std::move(languages));
    }
    ~LanguagesOverride() { setPreferredLanguagesOverride(std::nullopt); }
};

class ScopedCtypeLocale {
  public:
    explicit ScopedCtypeLocale(const char* name) : old_(std::setlocale(LC_CTYPE, nullptr)) {
        active_ = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~ScopedCtypeLocale() { std::setlocale(LC_CTYPE, old_.c_str()); }
    bool active() const { return active_; }

  private:
    std::string old_;
    bool active_ = false;
};

// A heap block of exactly `size` bytes, filled with a marker first so that
// zero-filling is visible.
std::unique_ptr<unsigned char[]> exactBlock(std::size_t size) {
    std::unique_ptr<unsigned char[]> block(new unsigned char[size == 0 ? 1 : size]);
    std::memset(block.get(), 0xAB, size);
    return block;
}

// Text in a heap block of exactly its bytes, without a terminator.
class ExactBytes {
  public:
    explicit ExactBytes(const std::string& text) : data_(new char[text.size()]) {
        std::memcpy(data_.get(), text.data(), text.size());
    }
    const char* data() const { return data_.get(); }

  private:
    std::unique_ptr<char[]> data_;
};

std::string bytesOf(const unsigned char* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

TEST(TextEncoding, LanguageTableIsWalkedInOrder) {
    struct Case {
        const char* language;
        StringEncoding encoding;
    };
    const Case cases[] = {
        {"ja", 1},  {"JA-jp", 1},  {"ko-KR", 3},      {"el", 6},      {"ar-EG", 4},
        {"he", 5},  {"is", 37},    {"zh-Hant-TW", 2}, {"ZH-HANT", 2}, {"zh-Hans", 25},
        {"zh", 25}, {"zh-HK", 25}, {"ru", 7},         {"uk-UA", 7},   {"bs", 7},
        {"be", 7},  {"bg", 7},     {"sr", 7},         {"hr", 7},      {"mk", 7},
        {"fr", 0},  {"en-US", 0},  {"", 0},           {"z", 0},       {"j", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(languageEncoding(c.language), c.encoding) << c.language;
    }
}

TEST(TextEncoding, PreferredLanguageEncodingUsesTheFirstLanguage) {
    struct Case {
        std::vector<std::string> languages;
        StringEncoding encoding;
    };
    const Case cases[] = {
        {{"zh-Hant-TW", "en"}, kEncodingMacChineseTrad},
        {{"zh-Hans"}, kEncodingMacChineseSimp},
        {{"fr", "ja"}, kEncodingMacRoman},
        {{}, kEncodingMacRoman},
        {{std::string(300, 'x')}, kEncodingMacRoman},
    };
    for (const Case& c : cases) {
        LanguagesOverride languages(c.languages);
        EXPECT_EQ(getPreferredLanguageEncoding(), c.encoding);
    }
}

TEST(TextEncoding, EncodingFromNameComparesOverTheNamesLength) {
    LanguagesOverride languages({"ja-JP"});
    struct Case {
        const char* name;
        StringEncoding encoding;
    };
    const Case cases[] = {
        {"UTF-8", kEncodingUtf8},
        {"utf-8", kEncodingUtf8},
        {"utf", kEncodingUtf8},
        {"U", kEncodingUtf8},
        {"LATIN-1", kEncodingIsoLatin1},
        {"latin", kEncodingIsoLatin1},
        {"L", kEncodingIsoLatin1},
        {"UTF8", kEncodingMacJapanese},
        {"UTF-16", kEncodingMacJapanese},
        {"LATIN1", kEncodingMacJapanese},
        {"UTF-8 ", kEncodingMacJapanese},
        {"", kEncodingMacJapanese},
        {"MacRoman", kEncodingMacJapanese},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encodingFromName(c.name), c.encoding) << c.name;
    }
}

TEST(TextEncoding, LocaleNamesBecomeLanguageIdentifiers) {
    struct Case {
        const char* locale;
        const char* identifier;
    };
    const Case cases[] = {
        {"zh_TW.UTF-8", "zh-Hant-TW"},
        {"zh_HK", "zh-Hant-HK"},
        {"zh_MO.UTF-8", "zh-Hant-MO"},
        {"zh_CN.GB2312", "zh-Hans-CN"},
        {"zh_SG", "zh-Hans-SG"},
        {"zh", "zh-Hans"},
        {"zh-Hant-TW", "zh-Hant-TW"},
        {"de_DE@euro", "de-DE"},
        {"sr_RS@latin", "sr-RS"},
        {"en_US.UTF-8", "en-US"},
        {"fr", "fr"},
        {"C", ""},
        {"C.UTF-8", ""},
        {"POSIX", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(languageIdentifierFromLocale(c.locale), c.identifier) << c.locale;
    }
}

TEST(TextEncoding, PreferredLanguagesComeFromTheEnvironment) {
    struct Case {
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"fr_CA:zh_TW", nullptr, nullptr, "ja_JP.UTF-8", {"fr-CA", "zh-Hant-TW", "ja-JP"}},
        {nullptr, nullptr, nullptr, "zh_TW.UTF-8", {"zh-Hant-TW"}},
        {"", "", "ru_RU", "ja_JP", {"ru-RU"}},
        {nullptr, "C.UTF-8", nullptr, "ja_JP", {}},  // LC_ALL wins and names no language
        {"C:POSIX", nullptr, nullptr, nullptr, {}},
        {"ko_KR:ko_KR", nullptr, nullptr, "ko_KR.UTF-8", {"ko-KR"}},
    };
    for (const Case& c : cases) {
        const ScopedEnv language("LANGUAGE", c.language);
        const ScopedEnv all("LC_ALL", c.lcAll);
        const ScopedEnv messages("LC_MESSAGES", c.lcMessages);
        const ScopedEnv lang("LANG", c.lang);
        EXPECT_EQ(preferredLanguages(), c.expected) << (c.language ? c.language : "(unset)");
    }
    const ScopedEnv language("LANGUAGE", "zh_TW");
    EXPECT_EQ(getPreferredLanguageEncoding(), kEncodingMacChineseTrad);
}

struct ConvertCase {
    const char* name;
    std::size_t destSize;
    StringEncoding destEncoding;
    std::string source;
    StringEncoding sourceEncoding;
    std::int64_t written;
    bool truncated;
    std::int64_t converted;
    std::int64_t total;
    std::string expected;  // the whole destination afterwards
};

const ConvertCase kConvertCases[] = {
    {"10 ascii into 10 bytes", 10, kEncodingUtf8, "abcdefghij", kEncodingUtf8, 9, true, 9, 10,
     std::string("abcdefghi\0", 10)},
    {"10 ascii into 11 bytes is flagged too", 11, kEncodingUtf8, "abcdefghij", kEncodingUtf8, 10,
     true, 10, 10, std::string("abcdefghij\0", 11)},
    {"10 ascii into 12 bytes", 12, kEncodingUtf8, "abcdefghij", kEncodingUtf8, 10, false, 10, 10,
     std::string("abcdefghij\0\0", 12)},
    {"euro into latin1", 4, kEncodingIsoLatin1, "\xE2\x82\xAC", kEncodingUtf8, 1, false, 1, 1,
     std::string("?\0\0\0", 4)},
    {"utf8 into utf32 whole chars only", 10, kEncodingUtf32LE, "\xC3\xA9xy", kEncodingUtf8, 4, true,
     1, 3, std::string("\xE9\0\0\0\0\0\0\0\0\0", 10)},
    {"utf32 terminator in a 1-byte buffer", 1, kEncodingUtf32LE, "ab", kEncodingUtf8, 0, true, 0, 2,
     std::string(1, '\0')},
    {"utf32 terminator in a 3-byte buffer", 3, kEncodingUtf32LE, "ab", kEncodingUtf8, 0, true, 0, 2,
     std::string(3, '\0')},
    {"utf32 exactly one char and terminator", 8, kEncodingUtf32LE, "a", kEncodingUtf8, 4, true, 1,
     1, std::string("a\0\0\0\0\0\0\0", 8)},
    {"mac chinese simp has a wide terminator", 6, kEncodingMacChineseSimp, "\xE4\xB8\xAD",
     kEncodingUtf8, 2, true, 1, 1, std::string("\xD6\xD0\0\0\0\0", 6)},
    {"invalid utf8 copied raw", 6, kEncodingUtf8,
     "\xFF\xFE"
     "A",
     kEncodingUtf8, 3, false, 3, 3,
     std::string("\xFF\xFE"
                 "A\0\0\0",
                 6)},
    {"invalid utf8 raw copy cut", 3, kEncodingUtf8,
     "\xFF\xFE"
     "A",
     kEncodingUtf8, 2, true, 2, 3, std::string("\xFF\xFE\0", 3)},
    {"raw copy into utf32 keeps a whole zero unit", 10, kEncodingUtf32LE, "\xFF\xFE\xFD\xFC\xFB",
     kEncodingUtf8, 4, true, 4, 5, std::string("\xFF\xFE\xFD\xFC\0\0\0\0\0\0", 10)},
    {"unknown source encoding copied raw", 4, kEncodingUtf8, "ab", 0x0500, 2, false, 2, 2,
     std::string("ab\0\0", 4)},
    {"utf32 source into utf8", 4, kEncodingUtf8, std::string("\x00\xF6\x01\x00", 4),
     kEncodingUtf32LE, 0, true, 0, 2, std::string(4, '\0')},
    {"utf32 pair into utf8 with room", 5, kEncodingUtf8, std::string("\x00\xF6\x01\x00", 4),
     kEncodingUtf32LE, 4, true, 2, 2, std::string("\xF0\x9F\x98\x80\0", 5)},
};

TEST(TextEncoding, ConvertEncodingStaysWithinItsDestination) {
    for (const ConvertCase& c : kConvertCases) {
        SCOPED_TRACE(c.name);
        auto dest = exactBlock(c.destSize);
        bool truncated = false;
        std::int64_t converted = -1;
        std::int64_t total = -1;
        const std::int64_t written =
            convertEncoding(dest.get(), static_cast<std::int64_t>(c.destSize), &truncated,
                            &converted, &total, c.destEncoding, c.source.data(),
                            static_cast<std::int64_t>(c.source.size()), c.sourceEncoding);
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(truncated, c.truncated);
        EXPECT_EQ(converted, c.converted);
        EXPECT_EQ(total, c.total);
        EXPECT_EQ(bytesOf(dest.get(), c.destSize), c.expected);
    }
}

TEST(TextEncoding, ConvertEncodingSizingAndMissingSource) {
    bool truncated = true;
    std::int64_t converted = 7;
    std::int64_t total = 7;
    EXPECT_EQ(convertEncoding(nullptr, 0, &truncated, &converted, &total, kEncodingUtf8, "abc",
                              SQL_NTS, kEncodingUtf8),
              3);
    EXPECT_FALSE(truncated);
    EXPECT_EQ(converted, 0);
    EXPECT_EQ(total, 0);

    char dest[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(convertEncoding(dest, sizeof dest, nullptr, nullptr, nullptr, kEncodingUtf8, nullptr,
                              5, kEncodingUtf8),
              0);
    EXPECT_EQ(std::string(dest, 4), std::string(4, '\0'));
}

TEST(TextEncoding, ConvertEncodingNtsCountsWholeSourceUnits) {
    const SQLWCHAR wide[] = {L'A', L'B', 0};
    char dest[8];
    std::int64_t total = 0;
    EXPECT_EQ(convertEncoding(dest, sizeof dest, nullptr, nullptr, &total, kEncodingUtf8, wide,
                              SQL_NTS, kEncodingUtf32LE),
              2);
    EXPECT_EQ(std::string(dest), "AB");
    EXPECT_EQ(total, 2);
}

TEST(TextEncoding, WideToUtf8ConvertsAndCounts) {
    struct Case {
        std::vector<SQLWCHAR> text;  // terminated
        std::int64_t length;
        std::string expected;
    };
    const Case cases[] = {
        {{0xE9, 0}, SQL_NTS, "\xC3\xA9"},
        {{0x1F600, 0}, SQL_NTS, "\xF0\x9F\x98\x80"},
        {{L'a', L'b', L'c', 0}, 2, "ab"},
        {{L'a', 0, L'c', 0}, 3, "a"},  // a zero unit ends the text early
        {{L'a', 0}, -7, ""},
        {{L'a', 0}, 0, ""},
        {{0}, SQL_NTS, ""},
    };
    for (const Case& c : cases) {
        SQLINTEGER longCount = -1;
        SQLSMALLINT shortCount = -1;
        EXPECT_EQ(wideToUtf8(c.text.data(), c.length, &longCount), c.expected);
        EXPECT_EQ(wideToUtf8(c.text.data(), c.length, &shortCount), c.expected);
        EXPECT_EQ(longCount, static_cast<SQLINTEGER>(c.expected.size()));
        EXPECT_EQ(shortCount, static_cast<SQLSMALLINT>(c.expected.size()));
    }
    SQLINTEGER count = -1;
    EXPECT_EQ(wideToUtf8(nullptr, SQL_NTS, &count), "");
    EXPECT_EQ(count, 0);
}

TEST(TextEncoding, WideToUtf8ShortCountSaturates) {
    const std::vector<SQLWCHAR> text(40000, L'a');
    SQLSMALLINT count = 0;
    EXPECT_EQ(wideToUtf8(text.data(), static_cast<std::int64_t>(text.size()), &count).size(),
              40000u);
    EXPECT_EQ(count, 32767);
}

TEST(TextEncoding, WideToLatin1ReplacesWhatLatin1Lacks) {
    struct Case {
        std::vector<SQLWCHAR> text;
        std::string expected;
    };
    const Case cases[] = {
        {{0x20AC, 0}, "?"},
        {{L'a', 0xE9, 0xFF, 0}, "a\xE9\xFF"},
        {{0x1F600, L'x', 0}, "?x"},
    };
    for (const Case& c : cases) {
        SQLINTEGER count = -1;
        EXPECT_EQ(wideToLatin1(c.text.data(), SQL_NTS, &count), c.expected);
        EXPECT_EQ(count, static_cast<SQLINTEGER>(c.expected.size()));
    }
}

TEST(TextEncoding, WideToUtf8ViaLatin1ReadsTheBytesInTheLanguageEncoding) {
    struct Case {
        const char* language;
        std::vector<SQLWCHAR> text;
        std::string expected;
    };
    const Case cases[] = {
        {"el", {0xBF, 0xE1, 0}, "\xCE\xA9\xCE\xB1"},  // Mac Greek omega, alpha
        {"fr", {0x8E, 0}, "\xC3\xA9"},                // MacRoman e-acute
        {"ja", {0x93, 0xFA, 0x96, 0x7B, 0}, "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"fr", {'S', 'E', 'L', 0}, "SEL"},
        // ASCII that Shift_JIS does not keep: the yen sign and the overline.
        {"ja", {'a', '\\', '~', 0}, "a\xC2\xA5\xE2\x80\xBE"},
    };
    for (const Case& c : cases) {
        LanguagesOverride languages({c.language});
        SQLINTEGER count = -1;
        EXPECT_EQ(wideToUtf8ViaLatin1(c.text.data(), SQL_NTS, &count), c.expected) << c.language;
        EXPECT_EQ(count, static_cast<SQLINTEGER>(c.expected.size()));
    }
}

TEST(TextEncoding, ConversionsThroughIconvRunInParallel) {
    LanguagesOverride languages({"ja"});
    const std::vector<SQLWCHAR> text = {0x93, 0xFA, 0x96, 0x7B, 'x', 0};
    std::vector<std::thread> threads;
    std::atomic<int> wrong = 0;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                if (wideToUtf8ViaLatin1(text.data(), SQL_NTS) != "\xE6\x97\xA5\xE6\x9C\xACx") {
                    ++wrong;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, 0);
}

TEST(TextEncoding, Utf8ToWideFitsWholeCharactersAndCountsTheWholeText) {
    struct Case {
        const char* name;
        std::string source;
        std::size_t destBytes;
        std::int64_t result;
        std::vector<SQLWCHAR> units;  // the whole buffer afterwards, in units
    };
    const Case cases[] = {
        {"fits", "h\xC3\xA9", 12, 2, {L'h', 0xE9, 0}},
        {"cut to what fits beside the terminator", "h\xC3\xA9llo", 12, 5, {L'h', 0xE9, 0}},
        {"pair counts two", "\xF0\x9F\x98\x80", 8, 2, {0x1F600, 0}},
        {"pair does not fit", "\xF0\x9F\x98\x80", 4, 2, {0}},
        {"invalid copied raw", "ab\xFF", 12, 3, {static_cast<SQLWCHAR>(0x00FF6261), 0, 0}},
        {"empty", "", 4, 0, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto dest = exactBlock(c.destBytes);
        EXPECT_EQ(utf8ToWide(c.source, dest.get(), static_cast<std::int64_t>(c.destBytes)),
                  c.result);
        std::vector<SQLWCHAR> units(c.destBytes / sizeof(SQLWCHAR));
        std::memcpy(units.data(), dest.get(), units.size() * sizeof(SQLWCHAR));
        EXPECT_EQ(units, c.units);
    }
}

TEST(TextEncoding, Utf8ToWideFormsAgreeAndSizeWithoutABuffer) {
    SQLWCHAR buffer[8];
    EXPECT_EQ(utf8ToWide("abc", buffer, sizeof buffer), 3);
    EXPECT_EQ(utf8ToWide("abcdef", 3, buffer, sizeof buffer), 3);
    EXPECT_EQ(std::wstring(buffer), L"abc");
    EXPECT_EQ(utf8ToWide("abc", SQL_NTS, buffer, sizeof buffer), 3);
    // Without a buffer the caller still learns the whole length.
    EXPECT_EQ(utf8ToWide("h\xC3\xA9llo", nullptr, 0), 5);
    EXPECT_EQ(utf8ToWide("ab\xFF", nullptr, 0), 3);
    EXPECT_EQ(utf8ToWide(static_cast<const char*>(nullptr), buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST(TextEncoding, Utf16ToUtf8EncodesUnits) {
    struct Case {
        std::vector<char16_t> units;  // terminated
        std::int64_t length;
        std::string expected;
    };
    const Case cases[] = {
        {{0x8A9E, 0}, SQL_NTS, "\xE8\xAA\x9E"},
        {{0x00E9, 0}, SQL_NTS, "\xC3\xA9"},
        {{0}, SQL_NTS, ""},
        {{u'a', u'b', u'c', 0}, 2, "ab"},
        {{u'a', 0, u'c', 0}, 3, "a"},
        {{0xD83D, 0xDE00, 0}, SQL_NTS, "\xF0\x9F\x98\x80"},  // a pair is one character
        {{0xD800, u'x', 0},
         SQL_NTS,
         "\xEF\xBF\xBD"
         "x"},  // a lone half is replaced
        {{0xDE00, 0}, SQL_NTS, "\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        std::int64_t count = -5;
        const std::optional<std::string> out = utf16ToUtf8(c.units.data(), c.length, &count);
        ASSERT_TRUE(out.has_value());
        EXPECT_EQ(*out, c.expected);
        EXPECT_EQ(count, static_cast<std::int64_t>(c.expected.size()));
    }
    std::int64_t count = 0;
    EXPECT_FALSE(utf16ToUtf8(nullptr, SQL_NTS, &count).has_value());
    EXPECT_EQ(count, -1);
}

TEST(TextEncoding, Utf16ToUtf8ReadsUnalignedUnits) {
    const unsigned char bytes[] = {0, 0xE9, 0x00, 0x41, 0x00, 0, 0};
    std::int64_t count = 0;
    EXPECT_EQ(utf16ToUtf8(bytes + 1, SQL_NTS, &count), std::optional<std::string>("\xC3\xA9"
                                                                                  "A"));
}

TEST(TextEncoding, Utf16ToUtf8BufferStopsAtTheFirstCharacterThatDoesNotFit) {
    const char16_t units[] = {u'a', 0x20AC, 0xD83D, 0xDE00, u'b'};
    struct Case {
        std::size_t destSize;
        std::string expected;
    };
    const Case cases[] = {{10,
                           "a\xE2\x82\xAC\xF0\x9F\x98\x80"
                           "b"},
                          {8, "a\xE2\x82\xAC\xF0\x9F\x98\x80"},
                          {5, "a\xE2\x82\xAC"},
                          {3, "a"},
                          {0, ""}};
    EXPECT_EQ(utf16ToUtf8Buffer(units, 5, nullptr, 0), 9u);
    for (const Case& c : cases) {
        auto dest = exactBlock(c.destSize);
        const std::size_t written =
            utf16ToUtf8Buffer(units, 5, reinterpret_cast<char*>(dest.get()), c.destSize);
        EXPECT_EQ(bytesOf(dest.get(), written), c.expected) << c.destSize;
    }
}

TEST(TextEncoding, CountMultibyteCharsStopsAtEachLimit) {
    ScopedCtypeLocale locale("C.UTF-8");
    ASSERT_TRUE(locale.active());
    struct Case {
        const char* name;
        std::string text;
        std::size_t byteLength;
        std::size_t maxChars;
        std::size_t chars;
        std::size_t bytes;
    };
    const Case cases[] = {
        {"all", "a\xC3\xA9\xE2\x82\xAC", 6, 10, 3, 6},
        {"character limit", "a\xC3\xA9\xE2\x82\xAC", 6, 2, 2, 3},
        {"byte limit cuts a character", "a\xC3\xA9\xE2\x82\xAC", 4, 10, 2, 3},
        {"invalid sequence",
         "a\xFF"
         "b",
         3, 10, 1, 1},
        {"zero character", std::string("a\0b", 3), 3, 10, 1, 1},
        {"no characters wanted", "abc", 3, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ExactBytes text(c.text);
        std::vector<wchar_t> wide(c.maxChars + 1, L'#');
        std::size_t chars = 99;
        std::size_t bytes = 99;
        countMultibyteChars(text.data(), c.byteLength, wide.data(), c.maxChars, &chars, &bytes);
        EXPECT_EQ(chars, c.chars);
        EXPECT_EQ(bytes, c.bytes);
        EXPECT_EQ(wide[c.chars], L'#');  // nothing stored beyond the count
    }
    std::size_t chars = 0;
    std::size_t bytes = 0;
    const char text[] = "x\xE2\x82\xAC";
    wchar_t wide[2];
    countMultibyteChars(text, 4, wide, 2, &chars, &bytes);
    EXPECT_EQ(std::wstring(wide, 2), L"x\u20AC");
}

}  // namespace
