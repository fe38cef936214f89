#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "driver/core/StringOutput.h"

namespace {

// A heap buffer of exactly the given size (one byte when the size is 0, to
// see that nothing lands there), so that the sanitizer build reports any byte
// written past it.
struct ExactBuffer {
    explicit ExactBuffer(std::size_t wanted)
        : size(std::max<std::size_t>(wanted, 1)), bytes(new char[size]) {
        std::memset(bytes.get(), '#', size);
    }
    std::string contents() const { return std::string(bytes.get(), size); }
    std::size_t size;
    std::unique_ptr<char[]> bytes;
};

std::string nul(std::string s) {
    return s + std::string(1, '\0');
}

template <typename Info>
std::string caseName(const Info& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

struct CopyCase {
    const char* name;
    std::string text;
    int bufferLength;
    bool withDestination;
    bool terminate;
    std::string expectedBuffer;  // the whole buffer afterwards; '#' = untouched
    int expectedResult;
};

const std::vector<CopyCase> kCopyCases = {
    {"exact fit", "abc", 4, true, true, nul("abc"), 0},
    {"one short", "abc", 3, true, true, nul("ab"), 1},
    {"one byte", "abc", 1, true, true, nul(""), 1},
    {"zero length", "abc", 0, true, true, "#", 0},
    {"negative length", "abc", -1, true, true, "#", 0},
    {"sql nts as length", "abc", SQL_NTS, true, true, "#", 0},
    {"null destination", "abc", 2, false, true, "##", 1},
    {"roomy buffer", "abc", 6, true, true, nul("abc") + "##", 0},
    {"empty text", "", 1, true, true, nul(""), 0},
    {"no terminator exact", "abc", 3, true, false, "abc", 0},
    {"no terminator short", "abc", 2, true, false, "ab", 1},
};

class CopyStringOutCases : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyStringOutCases, LongForm) {
    const CopyCase& c = GetParam();
    ExactBuffer buffer(static_cast<std::size_t>(std::max(c.bufferLength, 0)));
    SQLINTEGER length = -99;
    EXPECT_EQ(copyStringOut(c.withDestination ? buffer.bytes.get() : nullptr, &length, c.text,
                            c.bufferLength, c.terminate),
              c.expectedResult);
    EXPECT_EQ(length, static_cast<SQLINTEGER>(c.text.size()));
    EXPECT_EQ(buffer.contents(), c.expectedBuffer);
}

TEST_P(CopyStringOutCases, ShortForm) {
    const CopyCase& c = GetParam();
    ExactBuffer buffer(static_cast<std::size_t>(std::max(c.bufferLength, 0)));
    SQLSMALLINT length = -99;
    EXPECT_EQ(
        copyStringOutShort(c.withDestination ? buffer.bytes.get() : nullptr, &length,
                           c.text.c_str(), static_cast<SQLSMALLINT>(c.bufferLength), c.terminate),
        c.expectedResult);
    EXPECT_EQ(length, static_cast<SQLSMALLINT>(c.text.size()));
    EXPECT_EQ(buffer.contents(), c.expectedBuffer);
}

INSTANTIATE_TEST_SUITE_P(Table, CopyStringOutCases, ::testing::ValuesIn(kCopyCases),
                         caseName<::testing::TestParamInfo<CopyCase>>);

TEST(CopyStringOut, NullTextAndNullLengthPointer) {
    ExactBuffer buffer(4);
    SQLINTEGER length = -99;
    EXPECT_EQ(
        copyStringOut(buffer.bytes.get(), &length, static_cast<const char*>(nullptr), 4, true), 0);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(copyStringOut(buffer.bytes.get(), nullptr, "abcdef", 4, true), 1);
    EXPECT_EQ(buffer.contents(), nul("abc"));
}

// A text beyond the 16-bit range must neither wrap the reported length nor
// spill past the buffer; without a buffer it still counts as cut.
TEST(CopyStringOutShort, FortyThousandBytes) {
    const std::string text(40000, 'x');
    for (SQLSMALLINT size :
         {SQLSMALLINT{0}, SQLSMALLINT{1}, SQLSMALLINT{100}, SQLSMALLINT{32767}}) {
        ExactBuffer buffer(static_cast<std::size_t>(size));
        SQLSMALLINT length = 0;
        EXPECT_EQ(copyStringOutShort(buffer.bytes.get(), &length, text, size, true), size > 0)
            << size;
        EXPECT_EQ(length, std::numeric_limits<SQLSMALLINT>::max());
        EXPECT_EQ(buffer.contents(), size == 0 ? "#" : nul(std::string(size - 1u, 'x')));
    }
    SQLSMALLINT length = 0;
    EXPECT_EQ(copyStringOutShort(nullptr, &length, text.c_str(), 10, true), 1);
    EXPECT_EQ(length, 32767);
}

struct MakeCase {
    const char* name;
    std::string bytes;  // the argument's storage, exactly this long on the heap
    bool nullPointer;
    SQLINTEGER length;
    std::string expected;
};

const std::vector<MakeCase> kMakeCases = {
    {"stops at inner nul", std::string("ab\0cd", 5), false, 5, "ab"},
    {"zero length", nul("abc"), false, 0, ""},
    {"null with nts", "", true, SQL_NTS, ""},
    {"null with length", "", true, 4, ""},
    {"nts", nul("hello"), false, SQL_NTS, "hello"},
    {"other negative", nul("hello"), false, -7, "hello"},
    {"prefix", nul("hello"), false, 3, "hel"},
    {"no terminator", "xyz", false, 3, "xyz"},
};

class MakeSqlStringCases : public ::testing::TestWithParam<MakeCase> {};

TEST_P(MakeSqlStringCases, Builds) {
    const MakeCase& c = GetParam();
    ExactBuffer storage(c.bytes.size());
    std::memcpy(storage.bytes.get(), c.bytes.data(), c.bytes.size());
    const char* text = c.nullPointer ? nullptr : storage.bytes.get();
    EXPECT_EQ(makeSqlString(reinterpret_cast<const SQLCHAR*>(text), c.length), c.expected);
    EXPECT_EQ(makeSqlString(text, c.length), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, MakeSqlStringCases, ::testing::ValuesIn(kMakeCases),
                         caseName<::testing::TestParamInfo<MakeCase>>);

struct TextRow {
    std::string actual;
    std::string expected;
};

void expectRows(const std::vector<TextRow>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].actual, rows[i].expected) << "row " << i;
    }
}

TEST(Formatting, NumbersAndBytes) {
    expectRows({
        {toString(std::int64_t{-42}), "-42"},
        {toString(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
        {toString(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615"},
        {toString(SQLSMALLINT{-3}), "-3"},
        {toString(SQLUINTEGER{4000000000u}), "4000000000"},
        {toString(0.5), "0.5"},
        {toString(1e10), "1e+10"},
        {toString(1.0 / 3.0), "0.333333"},
        {toString(100.0), "100"},
        {toString(-2.5e-7), "-2.5e-07"},
        {toString(static_cast<char>(0x41)), "A"},
        {toString(SQLCHAR{'B'}), "B"},
        {toString('\0'), std::string(1, '\0')},
    });
}

TEST(Formatting, DatesAndTimes) {
    expectRows({
        {dateToString(SQL_DATE_STRUCT{2024, 1, 5}), "2024-1-5"},
        {dateToString(SQL_DATE_STRUCT{-44, 3, 15}), "-44-3-15"},
        {timeToString(SQL_TIME_STRUCT{9, 5, 0}), "9:5:0"},
        {timestampToString(SQL_TIMESTAMP_STRUCT{2024, 1, 5, 9, 5, 0, 5000}), "2024-1-5 9:5:0.5000"},
        {timestampToString(SQL_TIMESTAMP_STRUCT{-1, 1, 1, 0, 0, 0, 0}), "-1-1-1 0:0:0.0"},
        {timestampToString(SQL_TIMESTAMP_STRUCT{1999, 12, 31, 23, 59, 59, 999999999}),
         "1999-12-31 23:59:59.999999999"},
    });
}

TEST(Formatting, CleaningText) {
    auto removed = [](std::string text, char character) {
        removeChar(text.data(), character);
        return std::string(text.c_str());
    };
    expectRows({
        {removed("1,234,567", ','), "1234567"},
        {removed(",,,", ','), ""},
        {removed("a.b.", '.'), "ab"},
        {removed("abc", 'x'), "abc"},
        {stripLineBreaks("a\r\nb\nc\r"), "abc"},
        {stripLineBreaks("no breaks\t"), "no breaks\t"},
    });
    removeChar(nullptr, ',');  // must not crash
}

}  // namespace
