#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/MacSingleByteTables.h"
#include "platform/TextCodec.h"

namespace {

std::string encodeAll(const TextCodec& codec, std::u16string_view text) {
    const TextCodec::Encoded size = codec.encode(text, nullptr, SIZE_MAX);
    std::string out(size.bytes, '\0');
    const TextCodec::Encoded done = codec.encode(text, out.data(), out.size());
    EXPECT_EQ(done.bytes, size.bytes);
    EXPECT_EQ(done.units, text.size());
    return out;
}

const TextCodec& codecFor(StringEncoding encoding) {
    const TextCodec* codec = TextCodec::forEncoding(encoding);
    if (codec == nullptr) {
        ADD_FAILURE() << "no codec for encoding " << encoding;
        return *TextCodec::forEncoding(kEncodingUtf8);
    }
    return *codec;
}

struct ExactCase {
    const char* name;
    StringEncoding encoding;
    std::u16string text;
    std::string bytes;
};

// Each text and its bytes in each encoding, both ways.
const ExactCase kExactCases[] = {
    {"utf8 e-acute", kEncodingUtf8, u"\u00E9", "\xC3\xA9"},
    {"utf8 euro", kEncodingUtf8, u"\u20AC", "\xE2\x82\xAC"},
    {"utf8 surrogate pair", kEncodingUtf8, u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
    {"utf8 embedded nul", kEncodingUtf8, std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
    {"utf16le", kEncodingUtf16LE, u"A\u00E9", std::string("A\0\xE9\0", 4)},
    {"utf16be", kEncodingUtf16BE, u"A\u00E9", std::string("\0A\0\xE9", 4)},
    {"utf16le pair", kEncodingUtf16LE, u"\xD83D\xDE00", std::string("\x3D\xD8\x00\xDE", 4)},
    {"utf16 host order", kEncodingUtf16, u"A", std::string("A\0", 2)},
    {"utf32le pair", kEncodingUtf32LE, u"\xD83D\xDE00", std::string("\x00\xF6\x01\x00", 4)},
    {"utf32be", kEncodingUtf32BE, u"A", std::string("\0\0\0A", 4)},
    {"latin1", kEncodingIsoLatin1, u"\u00E9\u00FF", "\xE9\xFF"},
    {"mac roman", kEncodingMacRoman, u"\u00E9\u20AC", "\x8E\xDB"},
    {"mac icelandic", kEncodingMacIcelandic, u"\u00DE", "\xDE"},
    {"mac cyrillic", kEncodingMacCyrillic, u"\u0416", "\x86"},
    {"mac greek", kEncodingMacGreek, u"\u03A9\u03B1", "\xBF\xE1"},
    {"mac arabic", kEncodingMacArabic, u"\u0627\u0661", "\xC7\xB1"},
    {"mac hebrew", kEncodingMacHebrew, u"\u05D0\u05EA", "\xE0\xFA"},
    {"mac japanese", kEncodingMacJapanese, u"\u65E5\u672C", "\x93\xFA\x96\x7B"},
    {"mac korean", kEncodingMacKorean, u"\uD55C", "\xC7\xD1"},
    {"mac chinese trad", kEncodingMacChineseTrad, u"\u4E2D\u6587", "\xA4\xA4\xA4\xE5"},
    {"mac chinese simp", kEncodingMacChineseSimp, u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
    {"ascii through a table codec", kEncodingMacGreek, u"SELECT 1", "SELECT 1"},
};

TEST(TextCodec, EncodesAndDecodesByteExact) {
    for (const ExactCase& c : kExactCases) {
        SCOPED_TRACE(c.name);
        const TextCodec& codec = codecFor(c.encoding);
        EXPECT_EQ(encodeAll(codec, c.text), c.bytes);
        const std::optional<std::u16string> decoded = codec.decode(c.bytes);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(*decoded, c.text);
    }
}

struct InvalidCase {
    const char* name;
    StringEncoding encoding;
    std::string bytes;
};

const InvalidCase kInvalidCases[] = {
    {"utf8 overlong nul", kEncodingUtf8, "\xC0\x80"},
    {"utf8 lone continuation", kEncodingUtf8, "a\x80"},
    {"utf8 cut sequence", kEncodingUtf8, "\xE2\x82"},
    {"utf8 encoded surrogate", kEncodingUtf8, "\xED\xA0\x80"},
    {"utf8 above U+10FFFF", kEncodingUtf8, "\xF4\x90\x80\x80"},
    {"utf8 overlong three bytes", kEncodingUtf8, "\xE0\x80\xAF"},
    {"utf16 odd length", kEncodingUtf16LE, "abc"},
    {"utf32 not whole units", kEncodingUtf32LE, "abcde"},
    {"utf32 above U+10FFFF", kEncodingUtf32LE, std::string("\x00\x00\x11\x00", 4)},
    {"utf32 surrogate", kEncodingUtf32LE, std::string("\x00\xD8\x00\x00", 4)},
    {"shift_jis cut double byte", kEncodingMacJapanese, "\x93"},
    {"euc-kr bad trail", kEncodingMacKorean, "\xC7\x20"},
};

TEST(TextCodec, RefusesBytesThatAreNotTextInTheEncoding) {
    for (const InvalidCase& c : kInvalidCases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(codecFor(c.encoding).decode(c.bytes).has_value());
    }
}

struct LossCase {
    const char* name;
    StringEncoding encoding;
    std::u16string text;
    std::string bytes;
};

// What an encoding cannot hold becomes "?" in that encoding's own form.
const LossCase kLossCases[] = {
    {"euro into latin1", kEncodingIsoLatin1, u"a\u20ACb", "a?b"},
    {"cyrillic into mac roman", kEncodingMacRoman, u"\u0416", "?"},
    {"cjk into mac greek", kEncodingMacGreek, u"\u65E5", "?"},
    {"lone surrogate into utf8", kEncodingUtf8, u"\xD800x", "?x"},
    {"lone surrogate into utf32", kEncodingUtf32LE, u"\xDC00", std::string("?\0\0\0", 4)},
    {"lone surrogate kept by utf16", kEncodingUtf16LE, u"\xD800", std::string("\x00\xD8", 2)},
    {"pair into latin1 is one character", kEncodingIsoLatin1, u"\xD83D\xDE00", "?"},
    {"hebrew multi-unit entry has no single form", kEncodingMacHebrew, u"\u05F2", "?"},
};

TEST(TextCodec, ReplacesWhatTheTargetCannotHold) {
    for (const LossCase& c : kLossCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(encodeAll(codecFor(c.encoding), c.text), c.bytes);
    }
}

struct CapacityCase {
    const char* name;
    StringEncoding encoding;
    std::u16string text;
    std::size_t capacity;
    std::size_t units;
    std::size_t bytes;
};

// Only whole characters are written: a pair is never split.
const CapacityCase kCapacityCases[] = {
    {"utf8 stops before a 3-byte char", kEncodingUtf8, u"\u00E9\u20AC", 4, 1, 2},
    {"utf8 fits exactly", kEncodingUtf8, u"\u00E9\u20AC", 5, 2, 5},
    {"utf8 pair needs four", kEncodingUtf8, u"a\xD83D\xDE00", 4, 1, 1},
    {"utf16 pair needs four", kEncodingUtf16LE, u"a\xD83D\xDE00", 5, 1, 2},
    {"utf32 pair is one unit", kEncodingUtf32LE, u"a\xD83D\xDE00", 8, 3, 8},
    {"zero capacity", kEncodingUtf8, u"abc", 0, 0, 0},
    {"shift_jis double byte", kEncodingMacJapanese, u"a\u65E5", 2, 1, 1},
};

TEST(TextCodec, WritesOnlyWholeCharactersThatFit) {
    for (const CapacityCase& c : kCapacityCases) {
        SCOPED_TRACE(c.name);
        // Exactly `capacity` bytes, so that a write past them is caught.
        std::unique_ptr<char[]> buffer(new char[c.capacity == 0 ? 1 : c.capacity]);
        const TextCodec::Encoded done =
            codecFor(c.encoding).encode(c.text, buffer.get(), c.capacity);
        EXPECT_EQ(done.units, c.units);
        EXPECT_EQ(done.bytes, c.bytes);
    }
}

TEST(TextCodec, HostOrderUnicodeHonoursAByteOrderMark) {
    struct Case {
        StringEncoding encoding;
        std::string bytes;
    };
    const Case cases[] = {
        {kEncodingUtf16, std::string("\xFE\xFF\x00\x41", 4)},
        {kEncodingUtf16, std::string("\xFF\xFE\x41\x00", 4)},
        {kEncodingUtf32, std::string("\x00\x00\xFE\xFF\x00\x00\x00\x41", 8)},
        {kEncodingUtf32, std::string("\xFF\xFE\x00\x00\x41\x00\x00\x00", 8)},
    };
    for (const Case& c : cases) {
        const std::optional<std::u16string> decoded = codecFor(c.encoding).decode(c.bytes);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(*decoded, u"A");
    }
}

TEST(TextCodec, TableEncodingsRoundTripEveryHighByte) {
    for (StringEncoding encoding : {kEncodingMacGreek, kEncodingMacArabic, kEncodingMacHebrew}) {
        const TextCodec& codec = codecFor(encoding);
        for (int byte = 0x80; byte <= 0xFF; ++byte) {
            SCOPED_TRACE(testing::Message() << encoding << " byte " << byte);
            const std::optional<std::u16string> text =
                codec.decode(std::string(1, static_cast<char>(byte)));
            ASSERT_TRUE(text.has_value());
            ASSERT_FALSE(text->empty());
            if (text->size() == 1) {
                // Duplicates (Arabic spaces and digits) map back to their ASCII
                // byte; the text survives either way.
                EXPECT_EQ(codec.decode(encodeAll(codec, *text)), text);
            }
        }
    }
}

TEST(TextCodec, HebrewBytesStandingForSeveralUnitsDecodeWhole) {
    EXPECT_EQ(codecFor(kEncodingMacHebrew).decode("\x81"), std::u16string(u"\u05F2\u05B7"));
}

TEST(TextCodec, UnknownEncodingHasNoCodec) {
    for (StringEncoding encoding :
         {StringEncoding{8}, StringEncoding{0x0500}, StringEncoding{0xFFFFFFFF}}) {
        EXPECT_EQ(TextCodec::forEncoding(encoding), nullptr) << encoding;
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(TextCodec, GeneratedTablesMatchTheirGenerator) {
    const std::string source = MORVANEX_SOURCE_DIR;
    const std::string command =
        "perl '" + source + "/scripts/gen-mac-single-byte-tables.pl' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_NE(pipe, nullptr);
    std::string generated;
    char chunk[4096];
    for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) {
        generated.append(chunk, n);
    }
    EXPECT_EQ(generated, readFile(source + "/platform/MacSingleByteTables.cpp"));
}

}  // namespace
