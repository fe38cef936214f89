#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "driver/core/DescriptorContext.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/DiagnosticHeader.h"
#include "driver/core/ValueConversion.h"
#include "platform/TextCodec.h"

namespace {

// The connection settings a conversion reads, and a trace it can write to.
class FakeDescriptor : public DescriptorContext {
  public:
    SQLINTEGER kind() const override { return Ird; }
    DiagnosticHeader& diagnostics() override { return diagnostics_; }
    bool isTracing() const override { return tracing; }
    void writeTrace(std::string_view text) override { trace += text; }
    bool isUnicodeTextTypes() const override { return unicode; }
    std::uint32_t databaseEncoding() const override { return database; }
    std::uint32_t receiveEncoding() const override { return receive; }
    SQLSMALLINT defaultCType(SQLSMALLINT sqlType) const override {
        return sqlType == SQL_INTEGER ? SQL_C_SLONG : SQL_C_CHAR;
    }

    bool tracing = false;
    std::string trace;
    bool unicode = false;
    std::uint32_t database = kEncodingUtf8;
    std::uint32_t receive = kEncodingUtf8;

  private:
    DiagnosticHeader diagnostics_{nullptr};
};

enum class Mode { Unicode, Same, Convert };

// How the connection hands text to the application.
struct Setting {
    Mode mode;
    std::uint32_t database;
    std::uint32_t receive;
};

const Setting kUnicodeUtf8{Mode::Unicode, kEncodingUtf8, kEncodingUtf8};
const Setting kSameUtf8{Mode::Same, kEncodingUtf8, kEncodingUtf8};
const Setting kSameMacRoman{Mode::Same, kEncodingMacRoman, kEncodingMacRoman};
const Setting kSameShiftJis{Mode::Same, kEncodingMacJapanese, kEncodingMacJapanese};
const Setting kUtf8ToLatin1{Mode::Convert, kEncodingUtf8, kEncodingIsoLatin1};
const Setting kLatin1ToUtf8{Mode::Convert, kEncodingIsoLatin1, kEncodingUtf8};

// An IRD column of one row. The row arrays are malloc'ed and handed to the
// record, which frees them. The value's bytes sit in a heap block of exactly
// their length (plus a NUL only when there is no length array), so the
// sanitizer build catches any read past them.
class ImpColumn {
  public:
    ImpColumn(SQLSMALLINT sqlType, const std::string* text, bool withLength = true)
        : record_(descriptor, "column", sqlType, "", SQL_NULLABLE, 0) {
        const std::size_t size = text == nullptr ? 0 : text->size() + (withLength ? 0 : 1);
        bytes_.reset(new char[std::max<std::size_t>(size, 1)]);
        if (text != nullptr) {
            std::memcpy(bytes_.get(), text->data(), text->size());
            if (!withLength) {
                bytes_[text->size()] = '\0';
            }
        }
        auto* data = static_cast<const char**>(std::malloc(sizeof(const char*)));
        auto* indicators = static_cast<SQLLEN*>(std::malloc(sizeof(SQLLEN)));
        data[0] = text == nullptr ? nullptr : bytes_.get();
        indicators[0] = text == nullptr ? SQL_NULL_DATA : 0;
        record_.setDataPtr(data);
        record_.setIndicatorPtr(indicators);
        if (withLength) {
            lengths_ = static_cast<SQLLEN*>(std::malloc(sizeof(SQLLEN)));
            lengths_[0] = text == nullptr ? 0 : static_cast<SQLLEN>(text->size());
            record_.setOctetLengthPtr(lengths_);
        }
    }

    void setOctetLength(SQLLEN length) { lengths_[0] = length; }

    void setMode(const Setting& setting) {
        descriptor.unicode = setting.mode == Mode::Unicode;
        descriptor.database = setting.database;
        descriptor.receive = setting.receive;
    }

    struct Outcome {
        SQLLEN length = -999;
        SQLLEN indicator = -999;
        ConversionStatus status;
    };

    Outcome convert(SQLSMALLINT cType, void* target, SQLLEN bufferLength, SQLLEN& nextByte) {
        Outcome outcome;
        EXPECT_EQ(record_.convertImpToAppValue(0, cType, target, 0, bufferLength, &outcome.length,
                                               &outcome.indicator, &nextByte, &outcome.status),
                  SQL_SUCCESS);
        return outcome;
    }

    FakeDescriptor descriptor;

  private:
    std::unique_ptr<char[]> bytes_;
    SQLLEN* lengths_ = nullptr;  // owned by the record
    DescriptorRecord record_;
};

// A heap buffer of exactly the given size, filled with '#'; a size of 0
// still gets one byte, to see that nothing lands there.
struct ExactBuffer {
    explicit ExactBuffer(std::size_t wanted)
        : size(std::max<std::size_t>(wanted, 1)), bytes(new char[size]) {
        std::memset(bytes.get(), '#', size);
    }
    std::string contents() const { return std::string(bytes.get(), size); }
    std::size_t size;
    std::unique_ptr<char[]> bytes;
};

std::string z(std::string text) {
    return text + std::string(1, '\0');
}

// Little-endian 4-byte units, as SQL_C_WCHAR holds them.
std::string wide(std::u32string text) {
    std::string bytes;
    for (const char32_t unit : text) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes += static_cast<char>((static_cast<std::uint32_t>(unit) >> shift) & 0xFF);
        }
    }
    return bytes;
}

const std::string kWideZero(4, '\0');

template <typename Info>
std::string caseName(const Info& info) {
    std::string name = info.param.name;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

// ---------------------------------------------------------------------------
// Piecewise reads: each step is one SQLGetData-like call on a fresh buffer.

struct PieceStep {
    SQLLEN bufferLength;
    std::string buffer;  // the whole buffer afterwards; '#' = untouched
    SQLLEN length;
    SQLLEN nextByte;
    bool truncated;
};

struct PiecewiseCase {
    const char* name;
    SQLSMALLINT cType;
    Setting setting;
    std::string text;
    bool withLength;
    std::vector<PieceStep> steps;
};

const std::string kAEuro = "a\xC3\xA9\xE2\x82\xAC";  // a, e acute, euro sign: 6 bytes

// clang-format off
const std::vector<PiecewiseCase> kPiecewiseCases = {
    {"char ten bytes in pieces of seven", SQL_C_CHAR, kSameUtf8, "0123456789", true,
     {{8, z("0123456"), 10, 7, true},
      {8, z("789") + "####", 3, 10, false},
      {8, z("") + "#######", 0, 10, false}}},
    {"char zero length buffer asks the length", SQL_C_CHAR, kSameUtf8, "0123456789", true,
     {{0, "#", 10, 0, true},
      {11, z("0123456789"), 10, 10, false}}},
    {"char without length array", SQL_C_CHAR, kSameUtf8, "abc", false,
     {{2, z("a"), 3, 1, true},
      {4, z("bc") + "#", 2, 3, false}}},
    {"binary five bytes in pieces of two", SQL_C_BINARY, kSameUtf8, "ABCDE", true,
     {{2, "AB", 5, 2, true},
      {2, "CD", 3, 4, true},
      {2, "E#", 1, 5, false},
      {2, "##", 0, 5, false}}},
    {"wide abc in an eight byte buffer", SQL_C_WCHAR, kSameUtf8, "abc", true,
     {{8, wide(U"a") + kWideZero, 12, 1, true},
      {8, wide(U"b") + kWideZero, 8, 2, true},
      {8, wide(U"c") + kWideZero, 4, 3, false}}},
    {"wide too small a buffer receives nothing", SQL_C_WCHAR, kSameUtf8, "abc", true,
     {{3, "###", 12, 0, true}}},
    {"wide multibyte", SQL_C_WCHAR, kSameUtf8, kAEuro, true,
     {{12, wide(U"a\u00e9") + kWideZero, 12, 3, true},
      {12, wide(U"\u20ac") + kWideZero + kWideZero, 4, 6, false}}},
    {"wide from mac roman", SQL_C_WCHAR, kSameMacRoman, "\x8E" "a", true,
     {{8, wide(U"\u00e9") + kWideZero, 8, 1, true},
      {8, wide(U"a") + kWideZero, 4, 2, false}}},
    {"wide from shift jis", SQL_C_WCHAR, kSameShiftJis, "\x82\xA0z", true,
     {{12, wide(U"\u3042z") + kWideZero, 8, 3, false}}},
    {"unicode mode counts characters", SQL_C_CHAR, kUnicodeUtf8, kAEuro, true,
     {{1, z(""), 3, 0, true},
      {3, z("a") + "#", 3, 1, true},
      {3, z("\xC3\xA9"), 2, 3, true},
      {3, z("") + "##", 1, 3, true},
      {4, z("\xE2\x82\xAC"), 1, 6, false}}},
    {"same encoding cuts whole characters", SQL_C_CHAR, kSameUtf8, kAEuro, true,
     {{3, z("a") + "#", 6, 1, true},
      {3, z("\xC3\xA9"), 5, 3, true},
      {4, z("\xE2\x82\xAC"), 3, 6, false}}},
    {"conversion from UTF-8 to Latin-1", SQL_C_CHAR, kUtf8ToLatin1, kAEuro, true,
     {{3, z("a\xE9"), 6, 3, true},
      {3, z("?") + "#", 1, 6, false}}},
    {"conversion from Latin-1 to UTF-8 never skips a byte", SQL_C_CHAR, kLatin1ToUtf8, "a\xE9" "b", true,
     {{3, z("a") + "#", 3, 1, true},
      {3, z("\xC3\xA9"), 2, 2, true},
      {3, z("b") + "#", 1, 3, false}}},
};
// clang-format on

class PiecewiseReads : public ::testing::TestWithParam<PiecewiseCase> {};

TEST_P(PiecewiseReads, EachPieceFollowsTheLast) {
    const PiecewiseCase& c = GetParam();
    ImpColumn column(SQL_VARCHAR, &c.text, c.withLength);
    column.setMode(c.setting);
    SQLLEN nextByte = 0;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        const PieceStep& step = c.steps[i];
        ExactBuffer buffer(static_cast<std::size_t>(step.bufferLength));
        const auto outcome =
            column.convert(c.cType, buffer.bytes.get(), step.bufferLength, nextByte);
        SCOPED_TRACE("step " + std::to_string(i + 1));
        EXPECT_EQ(buffer.contents(), step.buffer);
        EXPECT_EQ(outcome.length, step.length);
        EXPECT_EQ(nextByte, step.nextByte);
        EXPECT_EQ(outcome.status.truncated, step.truncated);
        EXPECT_EQ(outcome.indicator, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, PiecewiseReads, ::testing::ValuesIn(kPiecewiseCases),
                         caseName<::testing::TestParamInfo<PiecewiseCase>>);

// Reading a value in small pieces until nothing is cut gives back the
// whole value, in every mode.
struct ReassemblyCase {
    const char* name;
    Setting setting;
    std::string text;
    std::string expected;
};

const std::string kMixedUtf8 = "x\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80yz\xC3\xA9";

// clang-format off
const std::vector<ReassemblyCase> kReassemblyCases = {
    {"unicode mode", kUnicodeUtf8, kMixedUtf8, kMixedUtf8},
    {"same encoding", kSameUtf8, kMixedUtf8, kMixedUtf8},
    {"Latin-1 to UTF-8", kLatin1ToUtf8, "\xE9\xE8\xE0xy\xFC", "\xC3\xA9\xC3\xA8\xC3\xA0xy\xC3\xBC"},
    {"UTF-8 to Latin-1", kUtf8ToLatin1, "\xC3\xA9\xE2\x82\xAC" "ab\xC3\xBC", "\xE9?ab\xFC"},
};
// clang-format on

class Reassembly : public ::testing::TestWithParam<ReassemblyCase> {};

TEST_P(Reassembly, SmallPiecesAddUpToTheValue) {
    const ReassemblyCase& c = GetParam();
    ImpColumn column(SQL_VARCHAR, &c.text);
    column.setMode(c.setting);
    SQLLEN nextByte = 0;
    std::string assembled;
    bool truncated = true;
    for (int call = 0; truncated && call < 64; ++call) {
        ExactBuffer buffer(5);
        const auto outcome = column.convert(SQL_C_CHAR, buffer.bytes.get(), 5, nextByte);
        assembled += std::string(buffer.bytes.get());
        truncated = outcome.status.truncated;
    }
    EXPECT_FALSE(truncated);
    EXPECT_EQ(assembled, c.expected);
    EXPECT_EQ(nextByte, static_cast<SQLLEN>(c.text.size()));
}

INSTANTIATE_TEST_SUITE_P(Modes, Reassembly, ::testing::ValuesIn(kReassemblyCases),
                         caseName<::testing::TestParamInfo<ReassemblyCase>>);

// ---------------------------------------------------------------------------
// Numbers.

template <typename T>
std::string bytesOf(T value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

struct NumberCase {
    const char* name;
    SQLSMALLINT cType;
    std::string text;
    std::string stored;
    bool outOfRange;
};

const std::vector<NumberCase> kNumberCases = {
    {"commas into slong", SQL_C_SLONG, "1,234", bytesOf<std::int32_t>(1234), false},
    {"commas into double", SQL_C_DOUBLE, "1,234", bytesOf<double>(1234.0), false},
    {"trailing text into short", SQL_C_SHORT, "12abc", bytesOf<std::int16_t>(12), false},
    {"white space and sign", SQL_C_SLONG, "  -42", bytesOf<std::int32_t>(-42), false},
    {"plus sign", SQL_C_SBIGINT, "+7", bytesOf<std::int64_t>(7), false},
    {"no number", SQL_C_SLONG, "abc", bytesOf<std::int32_t>(0), false},
    {"empty text", SQL_C_DOUBLE, "", bytesOf<double>(0), false},
    {"utinyint top", SQL_C_UTINYINT, "255", bytesOf<std::uint8_t>(255), false},
    {"utinyint above", SQL_C_UTINYINT, "256", bytesOf<std::uint8_t>(255), true},
    {"utinyint negative", SQL_C_UTINYINT, "-1", bytesOf<std::uint8_t>(0), true},
    {"stinyint above", SQL_C_STINYINT, "128", bytesOf<std::int8_t>(127), true},
    {"tinyint below", SQL_C_TINYINT, "-129", bytesOf<std::int8_t>(-128), true},
    {"tinyint bottom", SQL_C_TINYINT, "-128", bytesOf<std::int8_t>(-128), false},
    {"ushort above", SQL_C_USHORT, "65536", bytesOf<std::uint16_t>(65535), true},
    {"sshort below", SQL_C_SSHORT, "-32769", bytesOf<std::int16_t>(-32768), true},
    {"short above", SQL_C_SHORT, "32768", bytesOf<std::int16_t>(32767), true},
    {"ulong above", SQL_C_ULONG, "4294967296", bytesOf<std::uint32_t>(4294967295u), true},
    {"ulong top", SQL_C_ULONG, "4294967295", bytesOf<std::uint32_t>(4294967295u), false},
    {"slong above", SQL_C_SLONG, "2147483648", bytesOf<std::int32_t>(2147483647), true},
    {"long below", SQL_C_LONG, "-2147483649",
     bytesOf<std::int32_t>(std::numeric_limits<std::int32_t>::min()), true},
    {"ubigint top", SQL_C_UBIGINT, "18446744073709551615",
     bytesOf<std::uint64_t>(std::numeric_limits<std::uint64_t>::max()), false},
    {"ubigint above", SQL_C_UBIGINT, "18446744073709551616",
     bytesOf<std::uint64_t>(std::numeric_limits<std::uint64_t>::max()), true},
    {"ubigint negative", SQL_C_UBIGINT, "-1", bytesOf<std::uint64_t>(0), true},
    {"sbigint above", SQL_C_SBIGINT, "9223372036854775808",
     bytesOf<std::int64_t>(std::numeric_limits<std::int64_t>::max()), true},
    {"sbigint bottom", SQL_C_SBIGINT, "-9223372036854775808",
     bytesOf<std::int64_t>(std::numeric_limits<std::int64_t>::min()), false},
    {"sbigint below", SQL_C_SBIGINT, "-9223372036854775809",
     bytesOf<std::int64_t>(std::numeric_limits<std::int64_t>::min()), true},
    {"sbigint far below", SQL_C_SBIGINT, "-99999999999999999999999",
     bytesOf<std::int64_t>(std::numeric_limits<std::int64_t>::min()), true},
    {"float rounds", SQL_C_FLOAT, "2.5e1", bytesOf<float>(25.0f), false},
    {"float above", SQL_C_FLOAT, "1e39", bytesOf<float>(FLT_MAX), true},
    {"float below", SQL_C_FLOAT, "-1e39", bytesOf<float>(-FLT_MAX), true},
    {"double above", SQL_C_DOUBLE, "1e400", bytesOf<double>(DBL_MAX), true},
    {"double below", SQL_C_DOUBLE, "-1e400", bytesOf<double>(-DBL_MAX), true},
    {"double underflow is zero", SQL_C_DOUBLE, "1e-400", bytesOf<double>(0.0), false},
    {"double no hexadecimal", SQL_C_DOUBLE, "0x10", bytesOf<double>(0.0), false},
    {"double exponent", SQL_C_DOUBLE, "-1.5E3xyz", bytesOf<double>(-1500.0), false},
    {"bit non zero", SQL_C_BIT, "2", bytesOf<unsigned char>(1), false},
    {"bit keeps commas", SQL_C_BIT, "0,5", bytesOf<unsigned char>(0), false},
    {"bit huge", SQL_C_BIT, "99999999999999999999", bytesOf<unsigned char>(1), false},
};

class Numbers : public ::testing::TestWithParam<NumberCase> {};

TEST_P(Numbers, StoreTheLeadingNumberWithinRange) {
    const NumberCase& c = GetParam();
    ImpColumn column(SQL_VARCHAR, &c.text);
    ExactBuffer buffer(c.stored.size());
    SQLLEN nextByte = 0;
    const auto outcome = column.convert(c.cType, buffer.bytes.get(), 0, nextByte);
    EXPECT_EQ(buffer.contents(), c.stored);
    EXPECT_EQ(outcome.length, static_cast<SQLLEN>(c.stored.size()));
    EXPECT_EQ(outcome.status.outOfRange, c.outOfRange);
    EXPECT_EQ(nextByte, 0);
}

INSTANTIATE_TEST_SUITE_P(Texts, Numbers, ::testing::ValuesIn(kNumberCases),
                         caseName<::testing::TestParamInfo<NumberCase>>);

// PostgreSQL float columns hold 'Infinity', '-Infinity' and 'NaN': they read
// as those values, unflagged, while a number beyond the range is clamped.
TEST(LeadingDouble, InfinityAndNanAreValuesNotOverflows) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* text;
        double value;  // NaN expected when this is NaN
        bool outOfRange;
    } cases[] = {
        {"Infinity", inf, false}, {" -Infinity", -inf, false},  {"inf", inf, false},
        {"+INF x", inf, false},   {"NaN", std::nan(""), false}, {"-nan", std::nan(""), false},
        {"1e400", DBL_MAX, true}, {"infinit", inf, false},      {"in", 0.0, false},
    };
    for (const auto& c : cases) {
        bool outOfRange = !c.outOfRange;
        const double value = parseLeadingDouble(c.text, outOfRange);
        if (std::isnan(c.value)) {
            EXPECT_TRUE(std::isnan(value)) << c.text;
        } else {
            EXPECT_EQ(value, c.value) << c.text;
        }
        EXPECT_EQ(outOfRange, c.outOfRange) << c.text;
    }
}

TEST(NumberTargets, SmallBufferLengthsAreZeroedFirst) {
    const std::string text = "7";
    ImpColumn column(SQL_INTEGER, &text);
    SQLLEN nextByte = 0;
    ExactBuffer eight(8);
    column.convert(SQL_C_SLONG, eight.bytes.get(), 8, nextByte);
    EXPECT_EQ(eight.contents(), bytesOf<std::int32_t>(7) + std::string(4, '\0'));
    ExactBuffer sixteen(16);
    column.convert(SQL_C_SLONG, sixteen.bytes.get(), 16, nextByte);
    EXPECT_EQ(sixteen.contents(), bytesOf<std::int32_t>(7) + std::string(12, '#'));
}

struct BooleanCase {
    const char* name;
    std::string text;
    SQLSMALLINT cType;
    std::string stored;
};

const std::vector<BooleanCase> kBooleanCases = {
    {"True", "True", SQL_C_BIT, bytesOf<unsigned char>(1)},
    {"false", "false", SQL_C_BIT, bytesOf<unsigned char>(0)},
    {"yes", "yes", SQL_C_BIT, bytesOf<unsigned char>(0)},
    {"TRUE into slong", "TRUE", SQL_C_SLONG, bytesOf<std::int32_t>(1)},
    {"True into char unchanged", "True", SQL_C_CHAR, z("True")},
};

class BitColumns : public ::testing::TestWithParam<BooleanCase> {};

TEST_P(BitColumns, WordsBecomeNumbersOnlyForNumbers) {
    const BooleanCase& c = GetParam();
    ImpColumn column(SQL_BIT, &c.text);
    ExactBuffer buffer(c.stored.size());
    SQLLEN nextByte = 0;
    column.convert(c.cType, buffer.bytes.get(), static_cast<SQLLEN>(c.stored.size()), nextByte);
    EXPECT_EQ(buffer.contents(), c.stored);
}

INSTANTIATE_TEST_SUITE_P(Words, BitColumns, ::testing::ValuesIn(kBooleanCases),
                         caseName<::testing::TestParamInfo<BooleanCase>>);

// ---------------------------------------------------------------------------
// Dates and times, read by the column's SQL type.

std::string dateBytes(int y, int m, int d) {
    return bytesOf(SQL_DATE_STRUCT{static_cast<SQLSMALLINT>(y), static_cast<SQLUSMALLINT>(m),
                                   static_cast<SQLUSMALLINT>(d)});
}
std::string timeBytes(int h, int m, int s) {
    return bytesOf(SQL_TIME_STRUCT{static_cast<SQLUSMALLINT>(h), static_cast<SQLUSMALLINT>(m),
                                   static_cast<SQLUSMALLINT>(s)});
}
std::string stampBytes(int y, int mo, int d, int h, int mi, int s, SQLUINTEGER fraction) {
    return bytesOf(SQL_TIMESTAMP_STRUCT{static_cast<SQLSMALLINT>(y), static_cast<SQLUSMALLINT>(mo),
                                        static_cast<SQLUSMALLINT>(d), static_cast<SQLUSMALLINT>(h),
                                        static_cast<SQLUSMALLINT>(mi), static_cast<SQLUSMALLINT>(s),
                                        fraction});
}

struct DateCase {
    const char* name;
    SQLSMALLINT columnType;
    std::string text;
    SQLSMALLINT cType;
    SQLLEN bufferLength;
    std::string stored;  // "" = nothing written
    SQLLEN length;
};

const std::string kStamp = "2020-03-04 05:06:07.5";

const std::vector<DateCase> kDateCases = {
    {"timestamp column into timestamp", SQL_TYPE_TIMESTAMP, kStamp, SQL_C_TYPE_TIMESTAMP, 16,
     stampBytes(2020, 3, 4, 5, 6, 7, 500000000), 16},
    {"timestamp column into date", SQL_TYPE_TIMESTAMP, kStamp, SQL_C_TYPE_DATE, 6,
     dateBytes(2020, 3, 4), 6},
    {"timestamp column into time", SQL_TYPE_TIMESTAMP, kStamp, SQL_C_TYPE_TIME, 6,
     timeBytes(5, 6, 7), 6},
    {"odbc2 timestamp column into odbc2 date", SQL_TIMESTAMP, kStamp, SQL_C_DATE, 6,
     dateBytes(2020, 3, 4), 6},
    {"date column into time", SQL_TYPE_DATE, "2020-03-04", SQL_C_TYPE_TIME, 6, timeBytes(0, 0, 0),
     6},
    {"date column into timestamp", SQL_TYPE_DATE, "2020-03-04", SQL_C_TIMESTAMP, 16,
     stampBytes(2020, 3, 4, 0, 0, 0, 0), 16},
    {"time column into time", SQL_TYPE_TIME, "23:59:58", SQL_C_TIME, 6, timeBytes(23, 59, 58), 6},
    {"time column into timestamp", SQL_TIME, "23:59:58.25", SQL_C_TYPE_TIMESTAMP, 16,
     stampBytes(0, 0, 0, 23, 59, 58, 0), 16},
    {"time column into date", SQL_TYPE_TIME, "23:59:58", SQL_C_TYPE_DATE, 6, dateBytes(0, 0, 0), 6},
    {"varchar holding a date", SQL_VARCHAR, "2020-03-04", SQL_C_TYPE_DATE, 6, dateBytes(0, 0, 0),
     6},
    {"timestamp buffer one short", SQL_TYPE_TIMESTAMP, kStamp, SQL_C_TYPE_TIMESTAMP, 15, "", 0},
    {"fraction of three digits", SQL_TYPE_TIMESTAMP, "2020-03-04 05:06:07.123",
     SQL_C_TYPE_TIMESTAMP, 16, stampBytes(2020, 3, 4, 5, 6, 7, 123000000), 16},
    {"fraction of nine digits", SQL_TYPE_TIMESTAMP, "2020-03-04 05:06:07.123456789",
     SQL_C_TYPE_TIMESTAMP, 16, stampBytes(2020, 3, 4, 5, 6, 7, 123456789), 16},
    {"fraction beyond nine digits", SQL_TYPE_TIMESTAMP, "2020-03-04 05:06:07.1234567891",
     SQL_C_TYPE_TIMESTAMP, 16, stampBytes(2020, 3, 4, 5, 6, 7, 123456789), 16},
    {"fraction before a time zone", SQL_TYPE_TIMESTAMP, "2020-03-04 05:06:07.25+01",
     SQL_C_TYPE_TIMESTAMP, 16, stampBytes(2020, 3, 4, 5, 6, 7, 250000000), 16},
    {"time zone without fraction", SQL_TYPE_TIMESTAMP, "2020-03-04 05:06:07+01",
     SQL_C_TYPE_TIMESTAMP, 16, stampBytes(2020, 3, 4, 5, 6, 7, 0), 16},
    {"empty fraction", SQL_TYPE_TIMESTAMP, "2020-03-04 05:06:07.", SQL_C_TYPE_TIMESTAMP, 16,
     stampBytes(2020, 3, 4, 5, 6, 7, 0), 16},
    {"date only in a timestamp column", SQL_TYPE_TIMESTAMP, "2020-03-04", SQL_C_TYPE_TIMESTAMP, 16,
     stampBytes(2020, 3, 4, 0, 0, 0, 0), 16},
    {"garbage", SQL_TYPE_TIMESTAMP, "soon", SQL_C_TYPE_TIMESTAMP, 16,
     stampBytes(0, 0, 0, 0, 0, 0, 0), 16},
};

class Dates : public ::testing::TestWithParam<DateCase> {};

TEST_P(Dates, FieldsFollowTheColumnType) {
    const DateCase& c = GetParam();
    ImpColumn column(c.columnType, &c.text);
    ExactBuffer buffer(static_cast<std::size_t>(c.bufferLength));
    SQLLEN nextByte = 0;
    const auto outcome = column.convert(c.cType, buffer.bytes.get(), c.bufferLength, nextByte);
    const std::string expected = c.stored.empty()
                                     ? std::string(buffer.size, '#')
                                     : c.stored + std::string(buffer.size - c.stored.size(), '#');
    EXPECT_EQ(buffer.contents(), expected);
    EXPECT_EQ(outcome.length, c.length);
}

INSTANTIATE_TEST_SUITE_P(Columns, Dates, ::testing::ValuesIn(kDateCases),
                         caseName<::testing::TestParamInfo<DateCase>>);

// ---------------------------------------------------------------------------
// NULL, defaults, unconverted targets and the trace.

TEST(NullValues, SetTheIndicatorAndAnEmptyString) {
    ImpColumn column(SQL_VARCHAR, nullptr);
    ExactBuffer buffer(4);
    SQLLEN nextByte = 0;
    const auto outcome = column.convert(SQL_C_CHAR, buffer.bytes.get(), 4, nextByte);
    EXPECT_EQ(outcome.indicator, SQL_NULL_DATA);
    EXPECT_EQ(outcome.length, -999);  // untouched
    EXPECT_EQ(buffer.contents(), z("") + "###");

    ExactBuffer wideBuffer(8);
    column.convert(SQL_C_WCHAR, wideBuffer.bytes.get(), 8, nextByte);
    EXPECT_EQ(wideBuffer.contents(), kWideZero + "####");

    ExactBuffer none(0);
    column.convert(SQL_C_CHAR, none.bytes.get(), 0, nextByte);
    EXPECT_EQ(none.contents(), "#");
}

TEST(OctetLengths, NegativeCountsAsEmpty) {
    const std::string text = "12345";
    ImpColumn column(SQL_VARCHAR, &text);
    column.setOctetLength(-5);
    SQLLEN nextByte = 0;
    ExactBuffer chars(4);
    auto outcome = column.convert(SQL_C_CHAR, chars.bytes.get(), 4, nextByte);
    EXPECT_EQ(chars.contents(), z("") + "###");
    EXPECT_EQ(outcome.length, 0);
    EXPECT_FALSE(outcome.status.truncated);
    ExactBuffer number(4);
    outcome = column.convert(SQL_C_SLONG, number.bytes.get(), 4, nextByte);
    EXPECT_EQ(number.contents(), bytesOf<std::int32_t>(0));
    EXPECT_EQ(nextByte, 0);
}

TEST(DefaultTarget, FollowsTheConnectionsDefaultForTheSqlType) {
    const std::string text = "-12";
    ImpColumn column(SQL_INTEGER, &text);
    ExactBuffer buffer(4);
    SQLLEN nextByte = 0;
    const auto outcome = column.convert(SQL_C_DEFAULT, buffer.bytes.get(), 4, nextByte);
    EXPECT_EQ(buffer.contents(), bytesOf<std::int32_t>(-12));
    EXPECT_EQ(outcome.length, 4);
}

TEST(UnconvertedTargets, WriteNothingAndReportNoLength) {
    const std::string text = "12.5";
    ImpColumn column(SQL_NUMERIC, &text);
    column.descriptor.tracing = true;
    for (const SQLSMALLINT cType : {SQL_C_NUMERIC, SQL_C_GUID, SQL_C_INTERVAL_DAY}) {
        ExactBuffer buffer(19);
        SQLLEN nextByte = 0;
        const auto outcome = column.convert(cType, buffer.bytes.get(), 19, nextByte);
        EXPECT_EQ(buffer.contents(), std::string(19, '#'));
        EXPECT_EQ(outcome.length, 0);
    }
    EXPECT_NE(
        column.descriptor.trace.find("// ---> no conversion from SQL_NUMERIC to SQL_C_NUMERIC"),
        std::string::npos)
        << column.descriptor.trace;
}

TEST(Trace, ShowsTheValueByItsLength) {
    // No NUL follows the value: the trace must not look for one.
    const std::string text = "abcd";
    ImpColumn column(SQL_VARCHAR, &text);
    column.descriptor.tracing = true;
    ExactBuffer buffer(3);
    SQLLEN nextByte = 0;
    column.convert(SQL_C_CHAR, buffer.bytes.get(), 3, nextByte);
    const std::string& trace = column.descriptor.trace;
    EXPECT_NE(trace.find("// ---> |abcd| to SQL_C_CHAR: |ab|\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("// bytesRemaining: 4  nextByte: 2 impOctetLength: 4\n"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("// length value: 4\n"), std::string::npos) << trace;
}

// Numbers read the same whatever locale the host application set.
TEST(Locale, NumbersIgnoreTheProcessLocale) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("descrec-locale-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "localedef could not build de_DE.UTF-8";
    }
    setenv("LOCPATH", dir.c_str(), 1);
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);

    const std::string text = "2.5";
    ImpColumn column(SQL_DOUBLE, &text);
    column.descriptor.tracing = true;
    ExactBuffer buffer(8);
    SQLLEN nextByte = 0;
    column.convert(SQL_C_DOUBLE, buffer.bytes.get(), 8, nextByte);
    ExactBuffer single(4);
    column.convert(SQL_C_FLOAT, single.bytes.get(), 4, nextByte);

    std::setlocale(LC_ALL, saved.c_str());
    unsetenv("LOCPATH");
    std::filesystem::remove_all(dir);

    EXPECT_EQ(buffer.contents(), bytesOf<double>(2.5));
    EXPECT_EQ(single.contents(), bytesOf<float>(2.5f));
    EXPECT_NE(column.descriptor.trace.find("// ---> 2.5 to SQL_C_DOUBLE: 2.5\n"), std::string::npos)
        << column.descriptor.trace;
}

// ---------------------------------------------------------------------------
// Character walking, locale-independent.

struct WalkCase {
    const char* name;
    std::uint32_t encoding;
    std::string text;
    std::size_t characters;
};

const std::vector<WalkCase> kWalkCases = {
    {"utf8 mixed", kEncodingUtf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 4},
    {"utf8 stray bytes count one each", kEncodingUtf8, "\x80\xC3(\xE2\x82", 5},
    {"utf8 overlong", kEncodingUtf8, "\xC0\xAF", 2},
    {"utf8 surrogate", kEncodingUtf8, "\xED\xA0\x80", 3},
    {"utf8 embedded nul", kEncodingUtf8, std::string("a\0b", 3), 3},
    {"latin1", kEncodingIsoLatin1, "\xE9\xE8", 2},
    {"mac roman", kEncodingMacRoman, "\x8E\x8F", 2},
    {"shift jis", kEncodingMacJapanese, "a\x82\xA0\xB1", 3},
    {"euc-kr", kEncodingMacKorean, "\xB0\xA1z", 2},
    {"lead byte at the end", kEncodingMacChineseSimp, "z\xB0", 2},
};

class CharacterWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(CharacterWalk, CountsWholeCharacters) {
    const WalkCase& c = GetParam();
    EXPECT_EQ(characterCount(c.text, c.encoding), c.characters);
    // A walk never takes part of a character.
    for (std::size_t limit = 0; limit <= c.text.size(); ++limit) {
        const CharRun run = wholeCharacters(c.text, c.encoding, c.text.size(), limit);
        EXPECT_LE(run.bytes, limit);
        const CharRun rest = wholeCharacters(std::string_view(c.text).substr(run.bytes), c.encoding,
                                             c.text.size(), c.text.size());
        EXPECT_EQ(run.chars + rest.chars, c.characters) << "limit " << limit;
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, CharacterWalk, ::testing::ValuesIn(kWalkCases),
                         caseName<::testing::TestParamInfo<WalkCase>>);

}  // namespace
