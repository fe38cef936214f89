// The one grammar of connection items (lenient and strict) and the one
// walker of NUL-separated lists.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/ConnectionItems.h"
#include "platform/NulList.h"

namespace {

using Rule = ConnectionItems::Rule;

std::string render(std::string_view text, Rule rule) {
    const auto items = ConnectionItems::read(text, rule);
    if (!items) {
        return "refused";
    }
    std::string out;
    for (const ConnectionItems::Item& item : *items) {
        out += "[" + item.key + (item.value ? "=" + *item.value : "") + "]";
    }
    return out;
}

template <typename View>
std::string joined(const std::vector<View>& items) {
    std::string out;
    for (const View& item : items) {
        out += "[" + std::string(item.begin(), item.end()) + "]";
    }
    return out;
}

TEST(ConnectionItems, ReadsLenientAndStrict) {
    struct Case {
        std::string_view text;
        const char* lenient;
        const char* strict;
    };
    const Case cases[] = {
        {"DSN=a;;UID=b;", "[DSN=a][UID=b]", "[DSN=a][UID=b]"},
        {";;", "", ""},
        {"Flag;Port=", "[Flag][Port=]", "[Flag][Port=]"},
        {"K=a=b", "[K=a=b]", "[K=a=b]"},
        {"PWD={a;b=}}c};UID=u", "[PWD=a;b=}c][UID=u]", "[PWD=a;b=}c][UID=u]"},
        {"X={}", "[X=]", "[X=]"},
        {"X=a{b;c}", "[X=a{b][c}]", "[X=a{b][c}]"},  // not braced: "{" not at once
        {"PWD={open;UID=u", "[PWD=open;UID=u]", "refused"},
        {"PWD={ends}}", "[PWD=ends}]", "refused"},
        {"PWD={closed}tail;UID=u", "[PWD=closed][UID=u]", "refused"},
        {"A=1;PWD={x", "[A=1][PWD=x]", "refused"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(render(c.text, Rule::Lenient), c.lenient) << c.text;
        EXPECT_EQ(render(c.text, Rule::Strict), c.strict) << c.text;
    }
}

// As the PostgreSQL driver reads (rows found by trying it): a brace opens a
// value only right behind "=", values keep their braces.
TEST(ConnectionItems, ReadsWideTextAsThePostgresDriver) {
    struct Case {
        std::wstring_view text;
        const char* items;  // [key|written value], "-" without "="
    };
    const Case cases[] = {
        {L"Key= {a;Debug=1}", "[Key| {a][Debug|1}]"},
        {L"Key={a;Debug=1};B=2", "[Key|{a;Debug=1}][B|2]"},
        {L"K={a}};P=2};P=3", "[K|{a}};P=2}][P|3]"},
        {L"K=x{a;P=2}", "[K|x{a][P|2}]"},
        {L" Debug=1;K;K==1", "[ Debug|1][K|-][K|=1]"},
    };
    for (const Case& c : cases) {
        std::wstring out;
        for (const std::wstring_view item : ConnectionItems::split(c.text)) {
            const auto value = ConnectionItems::writtenValue(item);
            out += L"[" + std::wstring(ConnectionItems::keyOf(item)) + L"|" +
                   std::wstring(value.value_or(L"-")) + L"]";
        }
        EXPECT_EQ(std::string(out.begin(), out.end()), c.items);
    }
    for (const std::wstring_view whole : {L"a}b", L"{a;b}", L"{a}}}", L""}) {
        EXPECT_TRUE(ConnectionItems::readsBackAsWritten(whole));
    }
    for (const std::wstring_view cut : {L"a;b", L"{a}}", L"{a}b}"}) {
        EXPECT_FALSE(ConnectionItems::readsBackAsWritten(cut));
    }
    EXPECT_FALSE(ConnectionItems::readsBackAsWritten(std::wstring_view(L"a\0b", 3)));
}

TEST(ConnectionItems, WrittenValuesReadBackWhole) {
    for (std::string_view value : {"plain", "", "a;b", "}", "{x}", "a}};{b", "=;="}) {
        const std::string text = "A=1;" + ConnectionItems::item("PWD", value) + "B=2";
        const auto items = ConnectionItems::read(text, Rule::Strict);
        ASSERT_TRUE(items) << text;
        ASSERT_EQ(items->size(), 3u) << text;
        EXPECT_EQ((*items)[1].value.value_or("-"), value) << text;
    }
}

TEST(NulList, WalksToTheEmptyItemOrTheEnd) {
    using Empty = NulList::EmptyItem;
    struct Case {
        std::string_view list;
        Empty empty;
        const char* items;
    };
    const Case cases[] = {
        {{"a=1\0b=2\0\0", 9}, Empty::EndsList, "[a=1][b=2]"},
        {{"a=1\0b=2", 7}, Empty::EndsList, "[a=1][b=2]"},
        {{"a\0\0b\0", 5}, Empty::EndsList, "[a]"},
        {{"a\0\0b\0", 5}, Empty::Skipped, "[a][b]"},
        {{"\0a\0", 3}, Empty::EndsList, ""},
        {{}, Empty::EndsList, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(joined(NulList::items(c.list, c.empty)), c.items);
        const std::wstring wide(c.list.begin(), c.list.end());
        EXPECT_EQ(joined(NulList::items(std::wstring_view(wide), c.empty)), c.items);
        if (c.empty == Empty::EndsList && c.list.ends_with(std::string_view("\0\0", 2))) {
            EXPECT_EQ(joined(NulList::terminatedItems(wide.c_str())), c.items);
        }
    }
    EXPECT_TRUE(NulList::terminatedItems(nullptr).empty());
}

}  // namespace
