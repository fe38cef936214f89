// The one case-blind compare of names, keys and commands: ASCII letters
// fold, nothing else does (no bytes above 127, no punctuation 0x20 apart,
// no stop at an embedded NUL).
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/AsciiCase.h"

namespace {

using namespace std::string_view_literals;

TEST(AsciiCase, FoldsAsciiLettersOnly) {
    struct Case {
        std::string_view a;
        std::string_view b;
        bool equal;
    };
    const Case cases[] = {
        {"Driver", "dRIVER", true},
        {"GetVersion", "getversion", true},
        {"", "", true},
        {"ab", "abc", false},
        {"@[\\]^", "`{|}~", false},       // 0x20 apart, but not letters
        {"\xC3\x89", "\xC3\xA9", false},  // UTF-8 capital and small E acute
        {"\xC9", "\xE9", false},          // the same letters in Latin-1
        {"a\0b"sv, "A\0c"sv, false},      // compared past a NUL
        {"DSN_\x80x", "dsn_\x80X", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(equalsIgnoringAsciiCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(equalsIgnoringAsciiCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
        EXPECT_EQ(startsWithIgnoringAsciiCase(std::string(c.a) + "=tail", c.b), c.equal)
            << c.a << " starts with " << c.b;
    }
    EXPECT_FALSE(startsWithIgnoringAsciiCase("ds", "DSN"));
    // Wide keys fold the same, whatever a locale's towlower makes of I.
    EXPECT_TRUE(equalsIgnoringAsciiCase(L"LOGDIR", L"Logdir"));
    EXPECT_FALSE(equalsIgnoringAsciiCase(L"LOGD\u0130R", L"logdir"));
    EXPECT_FALSE(equalsIgnoringAsciiCase(L"logd\u0131r", L"LOGDIR"));
}

}  // namespace
