#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/core/DescriptorContext.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/DiagnosticHeader.h"

namespace {

class FakeDescriptor : public DescriptorContext {
  public:
    explicit FakeDescriptor(SQLINTEGER kind) : kind_(kind) {}
    SQLINTEGER kind() const override { return kind_; }
    DiagnosticHeader& diagnostics() override { return diagnostics_; }
    bool isTracing() const override { return false; }
    void writeTrace(std::string_view) override {}
    bool isUnicodeTextTypes() const override { return false; }
    std::uint32_t databaseEncoding() const override { return 0x08000100; }
    std::uint32_t receiveEncoding() const override { return 0x08000100; }
    SQLSMALLINT defaultCType(SQLSMALLINT) const override { return SQL_C_CHAR; }

    // SQLSTATE of record 1, "" when there is none.
    std::string firstState() const {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[256] = {};
        SQLSMALLINT length = 0;
        if (diagnostics_.getDiagRec(1, state, &native, message, sizeof message, &length) !=
            SQL_SUCCESS) {
            return "";
        }
        return reinterpret_cast<const char*>(state);
    }

  private:
    SQLINTEGER kind_;
    DiagnosticHeader diagnostics_{nullptr};
};

constexpr SQLINTEGER kAllKinds[] = {DescriptorContext::Explicit, DescriptorContext::Apd,
                                    DescriptorContext::Ard, DescriptorContext::Ipd,
                                    DescriptorContext::Ird};

bool isImplementationKind(SQLINTEGER kind) {
    return kind == DescriptorContext::Ipd || kind == DescriptorContext::Ird;
}

std::string kindsText(std::initializer_list<SQLINTEGER> kinds) {
    std::string text;
    for (const SQLINTEGER kind : kinds) {
        text += std::to_string(kind);
    }
    return text;
}

bool refusedFor(const std::string& kinds, SQLINTEGER kind) {
    return kinds.find(static_cast<char>('0' + kind)) != std::string::npos;
}

template <typename Number>
SQLPOINTER asPointer(Number value) {
    return reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(value));
}

template <typename Info>
std::string caseName(const Info& info) {
    std::string name = info.param.name;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

// ---------------------------------------------------------------------------
// SQLSetDescField on one record, for every kind of descriptor.

char kNewName[] = "renamed";
SQLLEN kSomeLength = 0;

struct SetCase {
    const char* name;
    SQLSMALLINT field;
    SQLPOINTER value;
    std::string refusedKinds;
};

const std::vector<SetCase> kSetCases = {
    {"concise type", SQL_DESC_CONCISE_TYPE, asPointer(SQL_INTEGER), kindsText({4})},
    {"type", SQL_DESC_TYPE, asPointer(SQL_INTEGER), kindsText({4})},
    {"interval code", SQL_DESC_DATETIME_INTERVAL_CODE, asPointer(2), kindsText({4})},
    {"interval precision", SQL_DESC_DATETIME_INTERVAL_PRECISION, asPointer(3), kindsText({4})},
    {"radix", SQL_DESC_NUM_PREC_RADIX, asPointer(2), kindsText({4})},
    {"length", SQL_DESC_LENGTH, asPointer(40), kindsText({4})},
    {"octet length", SQL_DESC_OCTET_LENGTH, asPointer(40), kindsText({4})},
    {"precision", SQL_DESC_PRECISION, asPointer(7), kindsText({4})},
    {"scale", SQL_DESC_SCALE, asPointer(2), kindsText({4})},
    {"octet length pointer", SQL_DESC_OCTET_LENGTH_PTR, &kSomeLength, kindsText({3, 4})},
    {"indicator pointer", SQL_DESC_INDICATOR_PTR, &kSomeLength, kindsText({3, 4})},
    {"data pointer", SQL_DESC_DATA_PTR, &kSomeLength, kindsText({3, 4})},
    {"name", SQL_DESC_NAME, kNewName, kindsText({1, 2})},
    {"parameter type", SQL_DESC_PARAMETER_TYPE, asPointer(SQL_PARAM_INPUT), kindsText({1, 2, 4})},
    {"unnamed", SQL_DESC_UNNAMED, asPointer(SQL_UNNAMED), kindsText({1, 2, 4})},
    {"display size is read only", SQL_DESC_DISPLAY_SIZE, asPointer(9), kindsText({0, 1, 2, 3, 4})},
    {"label is read only", SQL_DESC_LABEL, kNewName, kindsText({0, 1, 2, 3, 4})},
    {"nullable is read only", SQL_DESC_NULLABLE, asPointer(1), kindsText({0, 1, 2, 3, 4})},
    {"rowver is read only", SQL_DESC_ROWVER, asPointer(1), kindsText({0, 1, 2, 3, 4})},
    {"header field is ignored", SQL_DESC_ARRAY_SIZE, asPointer(5), ""},
    {"unknown field is ignored", 9999, asPointer(5), ""},
};

class SetField : public ::testing::TestWithParam<SetCase> {};

TEST_P(SetField, KindRulesAndUnbinding) {
    const SetCase& c = GetParam();
    for (const SQLINTEGER kind : kAllKinds) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        FakeDescriptor descriptor(kind);
        DescriptorRecord record(descriptor, "column", SQL_VARCHAR, "", SQL_NULLABLE, 0);
        // An implementation record owns its data block; an application
        // record points at the application's buffer.
        char appBuffer[4];
        void* bound = isImplementationKind(kind) ? std::malloc(8) : appBuffer;
        record.setDataPtr(bound);

        const SQLRETURN rc = record.setField(c.field, c.value, SQL_NTS);
        const bool refused = refusedFor(c.refusedKinds, kind);
        EXPECT_EQ(rc, refused ? SQL_ERROR : SQL_SUCCESS);
        EXPECT_EQ(descriptor.firstState(), refused ? "HY091" : "");

        void* expectedData = bound;
        if (c.field == SQL_DESC_DATA_PTR && !refused) {
            expectedData = c.value;
        } else if (c.field != SQL_DESC_DATA_PTR && c.field != SQL_DESC_INDICATOR_PTR &&
                   c.field != SQL_DESC_OCTET_LENGTH_PTR && !isImplementationKind(kind)) {
            expectedData = nullptr;  // a changed field unbinds, even when refused
        }
        EXPECT_EQ(record.getDataPtr(), expectedData);
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, SetField, ::testing::ValuesIn(kSetCases),
                         caseName<::testing::TestParamInfo<SetCase>>);

TEST(SetField, NameIsReadNoFurtherThanItsLength) {
    FakeDescriptor descriptor(DescriptorContext::Ird);
    DescriptorRecord record(descriptor, "column", SQL_VARCHAR, "", SQL_NULLABLE, 0);
    // Three bytes and no NUL: nothing past them may be read.
    std::unique_ptr<char[]> name(new char[3]{'a', 'b', 'c'});
    EXPECT_EQ(record.setField(SQL_DESC_NAME, name.get(), 3), SQL_SUCCESS);
    EXPECT_EQ(record.getName(), "abc");
    EXPECT_EQ(record.setField(SQL_DESC_NAME, kNewName, 3), SQL_SUCCESS);
    EXPECT_EQ(record.getName(), "ren");
    EXPECT_EQ(record.setField(SQL_DESC_NAME, kNewName, SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(record.getName(), "renamed");
    EXPECT_EQ(record.setField(SQL_DESC_NAME, nullptr, 0), SQL_SUCCESS);
    EXPECT_EQ(record.getName(), "");
}

TEST(SetField, RadixAcceptsOnlyZeroTwoAndTen) {
    FakeDescriptor descriptor(DescriptorContext::Ard);
    DescriptorRecord record(descriptor, "c", SQL_INTEGER, "", SQL_NULLABLE, 0);
    for (const int radix : {0, 2, 10}) {
        EXPECT_EQ(record.setField(SQL_DESC_NUM_PREC_RADIX, asPointer(radix), 0), SQL_SUCCESS);
        EXPECT_EQ(record.getNumPrecRadix(), radix);
    }
    EXPECT_EQ(record.setField(SQL_DESC_NUM_PREC_RADIX, asPointer(8), 0), SQL_ERROR);
    EXPECT_EQ(descriptor.firstState(), "HY092");
    EXPECT_EQ(record.getNumPrecRadix(), 10);
}

// ---------------------------------------------------------------------------
// SQLGetDescField: refused kinds and the width of what is written.

struct GetCase {
    const char* name;
    SQLSMALLINT field;
    std::string refusedKinds;
    std::string written;  // the exact bytes written
};

template <typename T>
std::string bytesOf(T value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string z(std::string text) {
    return text + std::string(1, '\0');
}

// The record under test: "price", SQL_INTEGER, type name "int4", no nulls,
// unsigned, with the integer defaults applied.
const std::vector<GetCase> kGetCases = {
    {"concise type", SQL_DESC_CONCISE_TYPE, "", bytesOf<SQLSMALLINT>(SQL_INTEGER)},
    {"type", SQL_DESC_TYPE, "", bytesOf<SQLSMALLINT>(SQL_INTEGER)},
    {"interval code", SQL_DESC_DATETIME_INTERVAL_CODE, "", bytesOf<SQLSMALLINT>(0)},
    {"precision", SQL_DESC_PRECISION, "", bytesOf<SQLSMALLINT>(10)},
    {"scale", SQL_DESC_SCALE, "", bytesOf<SQLSMALLINT>(0)},
    {"interval precision", SQL_DESC_DATETIME_INTERVAL_PRECISION, "", bytesOf<SQLINTEGER>(0)},
    {"radix", SQL_DESC_NUM_PREC_RADIX, "", bytesOf<SQLINTEGER>(10)},
    {"length", SQL_DESC_LENGTH, "", bytesOf<SQLULEN>(255)},
    {"octet length", SQL_DESC_OCTET_LENGTH, "", bytesOf<SQLLEN>(0)},
    {"display size", SQL_DESC_DISPLAY_SIZE, kindsText({1, 2, 3}), bytesOf<SQLLEN>(28)},
    {"updatable", SQL_DESC_UPDATABLE, kindsText({1, 2, 3}), bytesOf<SQLSMALLINT>(0)},
    {"searchable", SQL_DESC_SEARCHABLE, kindsText({1, 2, 3}), bytesOf<SQLSMALLINT>(0)},
    {"auto unique", SQL_DESC_AUTO_UNIQUE_VALUE, kindsText({1, 2, 3}), bytesOf<SQLINTEGER>(0)},
    {"type name", SQL_DESC_TYPE_NAME, kindsText({1, 2, 3}), z("int4")},
    {"label", SQL_DESC_LABEL, kindsText({1, 2, 3}), z("price")},
    {"table name", SQL_DESC_TABLE_NAME, kindsText({1, 2, 3}), z("")},
    {"literal suffix", SQL_DESC_LITERAL_SUFFIX, kindsText({1, 2, 3}), z("")},
    {"unsigned", SQL_DESC_UNSIGNED, kindsText({1, 2}), bytesOf<SQLSMALLINT>(1)},
    {"fixed prec scale", SQL_DESC_FIXED_PREC_SCALE, kindsText({1, 2}), bytesOf<SQLSMALLINT>(1)},
    {"nullable", SQL_DESC_NULLABLE, kindsText({1, 2}), bytesOf<SQLSMALLINT>(SQL_NO_NULLS)},
    {"rowver", SQL_DESC_ROWVER, kindsText({1, 2}), bytesOf<SQLSMALLINT>(0)},
    {"case sensitive", SQL_DESC_CASE_SENSITIVE, kindsText({1, 2}), bytesOf<SQLINTEGER>(0)},
    {"local type name", SQL_DESC_LOCAL_TYPE_NAME, kindsText({1, 2}), z("int4")},
    {"name", SQL_DESC_NAME, kindsText({1, 2}), z("price")},
    {"parameter type", SQL_DESC_PARAMETER_TYPE, kindsText({1, 2, 4}), bytesOf<SQLSMALLINT>(0)},
    {"data pointer", SQL_DESC_DATA_PTR, kindsText({3, 4}), bytesOf<SQLPOINTER>(nullptr)},
    {"header field writes nothing", SQL_DESC_COUNT, "", ""},
};

class GetField : public ::testing::TestWithParam<GetCase> {};

TEST_P(GetField, KindRulesAndWidth) {
    const GetCase& c = GetParam();
    for (const SQLINTEGER kind : kAllKinds) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        FakeDescriptor descriptor(kind);
        DescriptorRecord record(descriptor, "price", SQL_INTEGER, "int4", SQL_NO_NULLS, 1);
        // Exactly as large as the value, so a wider write is caught.
        const std::size_t size = std::max<std::size_t>(c.written.size(), 1);
        std::unique_ptr<char[]> buffer(new char[size]);
        std::memset(buffer.get(), '#', size);
        SQLINTEGER stringLength = -1;
        const SQLRETURN rc =
            record.getField(c.field, buffer.get(), static_cast<SQLINTEGER>(size), &stringLength);
        const bool refused = refusedFor(c.refusedKinds, kind);
        EXPECT_EQ(rc, refused ? SQL_ERROR : SQL_SUCCESS);
        EXPECT_EQ(descriptor.firstState(), refused ? "HY091" : "");
        const std::string untouched(size, '#');
        EXPECT_EQ(std::string(buffer.get(), size),
                  refused || c.written.empty() ? untouched : c.written);
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, GetField, ::testing::ValuesIn(kGetCases),
                         caseName<::testing::TestParamInfo<GetCase>>);

// ---------------------------------------------------------------------------
// Type rules.

struct ConciseCase {
    const char* name;
    SQLSMALLINT concise;
    SQLSMALLINT type;
    SQLSMALLINT code;
};

const std::vector<ConciseCase> kConciseCases = {
    {"type timestamp", SQL_TYPE_TIMESTAMP, SQL_DATETIME, SQL_CODE_TIMESTAMP},
    {"type date", SQL_TYPE_DATE, SQL_DATETIME, SQL_CODE_DATE},
    {"odbc2 timestamp", SQL_TIMESTAMP, SQL_DATETIME, SQL_CODE_TIMESTAMP},
    {"odbc2 time", SQL_TIME, SQL_DATETIME, SQL_CODE_TIME},
    {"interval year", SQL_INTERVAL_YEAR, SQL_INTERVAL, SQL_CODE_YEAR},
    {"interval day to second", SQL_INTERVAL_DAY_TO_SECOND, SQL_INTERVAL, SQL_CODE_DAY_TO_SECOND},
    {"interval minute to second", SQL_INTERVAL_MINUTE_TO_SECOND, SQL_INTERVAL,
     SQL_CODE_MINUTE_TO_SECOND},
    {"integer", SQL_INTEGER, SQL_INTEGER, 0},
    {"wide varchar", SQL_WVARCHAR, SQL_WVARCHAR, 0},
};

class ConciseType : public ::testing::TestWithParam<ConciseCase> {};

TEST_P(ConciseType, SetsVerboseTypeAndCode) {
    const ConciseCase& c = GetParam();
    FakeDescriptor descriptor(DescriptorContext::Ard);
    DescriptorRecord record(descriptor);
    record.setDatetimeIntervalCode(5);
    ASSERT_EQ(record.setField(SQL_DESC_CONCISE_TYPE, asPointer(c.concise), 0), SQL_SUCCESS);
    EXPECT_EQ(record.getConciseType(), c.concise);
    EXPECT_EQ(record.getType(), c.type);
    EXPECT_EQ(record.getDatetimeIntervalCode(), c.code);
}

INSTANTIATE_TEST_SUITE_P(Types, ConciseType, ::testing::ValuesIn(kConciseCases),
                         caseName<::testing::TestParamInfo<ConciseCase>>);

struct VerboseCase {
    const char* name;
    SQLSMALLINT type;
    SQLSMALLINT code;
    SQLSMALLINT concise;
};

const std::vector<VerboseCase> kVerboseCases = {
    {"datetime then timestamp code", SQL_DATETIME, SQL_CODE_TIMESTAMP, SQL_TYPE_TIMESTAMP},
    {"datetime then date code", SQL_DATETIME, SQL_CODE_DATE, SQL_TYPE_DATE},
    {"interval then hour to second", SQL_INTERVAL, SQL_CODE_HOUR_TO_SECOND,
     SQL_INTERVAL_HOUR_TO_SECOND},
    {"datetime with an interval code", SQL_DATETIME, SQL_CODE_DAY_TO_SECOND, SQL_DATETIME},
    {"interval with code zero", SQL_INTERVAL, 0, SQL_INTERVAL},
    {"varchar ignores the code", SQL_VARCHAR, SQL_CODE_DATE, SQL_VARCHAR},
};

class VerboseType : public ::testing::TestWithParam<VerboseCase> {};

TEST_P(VerboseType, CodeSetAfterwardsDerivesTheConciseType) {
    const VerboseCase& c = GetParam();
    FakeDescriptor descriptor(DescriptorContext::Apd);
    DescriptorRecord record(descriptor);
    ASSERT_EQ(record.setField(SQL_DESC_TYPE, asPointer(c.type), 0), SQL_SUCCESS);
    EXPECT_EQ(record.getConciseType(), c.type);
    EXPECT_EQ(record.getDatetimeIntervalCode(), 0);
    ASSERT_EQ(record.setField(SQL_DESC_DATETIME_INTERVAL_CODE, asPointer(c.code), 0), SQL_SUCCESS);
    EXPECT_EQ(record.getType(), c.type);
    EXPECT_EQ(record.getDatetimeIntervalCode(), c.code);
    EXPECT_EQ(record.getConciseType(), c.concise);
}

INSTANTIATE_TEST_SUITE_P(Types, VerboseType, ::testing::ValuesIn(kVerboseCases),
                         caseName<::testing::TestParamInfo<VerboseCase>>);

struct DefaultsCase {
    const char* name;
    SQLSMALLINT concise;
    SQLLEN displaySize;
    SQLINTEGER caseSensitive;
    SQLSMALLINT fixedPrecScale;
    SQLINTEGER radix;
    SQLSMALLINT precision;
};

const std::vector<DefaultsCase> kDefaultsCases = {
    {"integer", SQL_INTEGER, 28, 0, 1, 10, 10}, {"smallint", SQL_SMALLINT, 7, 0, 1, 10, 5},
    {"varchar", SQL_VARCHAR, 255, 1, 0, 0, 0},  {"char", SQL_CHAR, 255, 1, 0, 0, 0},
    {"double", SQL_DOUBLE, 255, 0, 0, 0, 0},    {"timestamp", SQL_TYPE_TIMESTAMP, 255, 0, 0, 0, 0},
};

class TypeDefaults : public ::testing::TestWithParam<DefaultsCase> {};

TEST_P(TypeDefaults, NewRecordsTakeTheirTypesDefaults) {
    const DefaultsCase& c = GetParam();
    FakeDescriptor descriptor(DescriptorContext::Ird);
    DescriptorRecord record(descriptor, "n", c.concise, "t", SQL_NULLABLE_UNKNOWN, 0);
    EXPECT_EQ(record.getDisplaySize(), c.displaySize);
    EXPECT_EQ(record.getCaseSensitive(), c.caseSensitive);
    EXPECT_EQ(record.getFixedPrecScale(), c.fixedPrecScale);
    EXPECT_EQ(record.getNumPrecRadix(), c.radix);
    EXPECT_EQ(record.getPrecision(), c.precision);
    EXPECT_EQ(record.getLength(), 255u);
    // The constructor keeps the code as both types, without mapping.
    EXPECT_EQ(record.getType(), c.concise);
    EXPECT_EQ(record.getLabel(), "n");
    EXPECT_EQ(record.getLocalTypeName(), "t");
}

INSTANTIATE_TEST_SUITE_P(Types, TypeDefaults, ::testing::ValuesIn(kDefaultsCases),
                         caseName<::testing::TestParamInfo<DefaultsCase>>);

struct SizeCase {
    const char* name;
    SQLSMALLINT concise;
    SQLULEN length;
    SQLSMALLINT precision;
    SQLSMALLINT scale;
    SQLULEN size;
    SQLSMALLINT digits;
};

const std::vector<SizeCase> kSizeCases = {
    {"varchar", SQL_VARCHAR, 40, 0, 3, 40, 3},
    {"decimal", SQL_DECIMAL, 40, 12, 4, 12, 4},
    {"negative precision sign extends", SQL_NUMERIC, 40, -1, 0,
     static_cast<SQLULEN>(static_cast<SQLLEN>(-1)), 0},
    {"varbinary", SQL_VARBINARY, 16, 3, 3, 16, 0},
    {"bit", SQL_BIT, 1, 1, 1, 1, 0},
    {"timestamp", SQL_TYPE_TIMESTAMP, 26, 6, 6, 26, 0},
    {"interval hour to second", SQL_INTERVAL_HOUR_TO_SECOND, 15, 6, 2, 15, 6},
    {"interval year", SQL_INTERVAL_YEAR, 4, 6, 2, 4, 0},
    {"guid", SQL_GUID, 36, 1, 2, 36, 2},
};

class ColumnSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ColumnSize, FollowsTheVerboseType) {
    const SizeCase& c = GetParam();
    FakeDescriptor descriptor(DescriptorContext::Ipd);
    DescriptorRecord record(descriptor);
    record.setConciseType(c.concise);
    record.setLength(c.length);
    record.setPrecision(c.precision);
    record.setScale(c.scale);
    SQLULEN size = 0;
    SQLSMALLINT digits = -1;
    EXPECT_EQ(record.getColumnSizeAndDigits(&size, &digits), SQL_SUCCESS);
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(digits, c.digits);
}

INSTANTIATE_TEST_SUITE_P(Types, ColumnSize, ::testing::ValuesIn(kSizeCases),
                         caseName<::testing::TestParamInfo<SizeCase>>);

// ---------------------------------------------------------------------------
// SQLSetDescRec and SQLGetDescRec.

TEST(SetRec, BindsAnApplicationRecordWithEveryField) {
    FakeDescriptor descriptor(DescriptorContext::Ard);
    DescriptorRecord record(descriptor);
    SQL_TIMESTAMP_STRUCT value{};
    SQLLEN length = 0;
    SQLLEN indicator = 0;
    EXPECT_EQ(record.setRec(SQL_DATETIME, SQL_CODE_TIMESTAMP, sizeof value, 0, 6, &value, &length,
                            &indicator),
              SQL_SUCCESS);
    EXPECT_EQ(record.getConciseType(), SQL_TYPE_TIMESTAMP);
    EXPECT_EQ(record.getType(), SQL_DATETIME);
    EXPECT_EQ(record.getOctetLength(), static_cast<SQLLEN>(sizeof value));
    EXPECT_EQ(record.getScale(), 6);
    EXPECT_EQ(record.getDataPtr(), &value);
    EXPECT_EQ(record.getOctetLengthPtr(), &length);
    EXPECT_EQ(record.getIndicatorPtr(), &indicator);
}

TEST(SetRec, FailsAtTheFirstStepOnAnImplementationRowDescriptor) {
    FakeDescriptor descriptor(DescriptorContext::Ird);
    DescriptorRecord record(descriptor, "c", SQL_VARCHAR, "", SQL_NULLABLE, 0);
    auto* rows = std::malloc(8);
    record.setDataPtr(rows);
    SQLLEN length = 0;
    EXPECT_EQ(record.setRec(SQL_INTEGER, 0, 4, 10, 0, nullptr, &length, nullptr), SQL_ERROR);
    EXPECT_EQ(descriptor.firstState(), "HY091");
    EXPECT_EQ(record.getConciseType(), SQL_VARCHAR);
    EXPECT_EQ(record.getOctetLengthPtr(), nullptr);
    EXPECT_EQ(record.getDataPtr(), rows);  // its row array stays attached
}

TEST(GetRec, ReadsAnImplementationRecord) {
    FakeDescriptor descriptor(DescriptorContext::Ird);
    DescriptorRecord record(descriptor, "amount", SQL_INTEGER, "int4", SQL_NO_NULLS, 0);
    record.setOctetLength(4);
    std::unique_ptr<SQLCHAR[]> name(new SQLCHAR[4]);
    SQLSMALLINT nameLength = 0, type = 0, subType = -1, precision = 0, scale = -1, nullable = -1;
    SQLLEN length = 0;
    EXPECT_EQ(record.getRec(name.get(), 4, &nameLength, &type, &subType, &length, &precision,
                            &scale, &nullable),
              SQL_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name.get()), 4), z("amo"));
    EXPECT_EQ(nameLength, 6);
    EXPECT_EQ(type, SQL_INTEGER);
    EXPECT_EQ(subType, 0);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(precision, 10);
    EXPECT_EQ(scale, 0);
    EXPECT_EQ(nullable, SQL_NO_NULLS);
}

TEST(GetRec, IsRefusedOnApplicationDescriptors) {
    for (const SQLINTEGER kind : {DescriptorContext::Apd, DescriptorContext::Ard}) {
        FakeDescriptor descriptor(kind);
        DescriptorRecord record(descriptor);
        SQLSMALLINT type = -1;
        EXPECT_EQ(
            record.getRec(nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr, nullptr, nullptr),
            SQL_ERROR);
        EXPECT_EQ(descriptor.firstState(), "HY091");
        EXPECT_EQ(type, -1);
    }
}

TEST(Unbind, ClearsOnlyApplicationBindings) {
    char buffer[4];
    FakeDescriptor application(DescriptorContext::Ard);
    DescriptorRecord bound(application);
    bound.setDataPtr(buffer);
    bound.unbind();
    EXPECT_EQ(bound.getDataPtr(), nullptr);

    FakeDescriptor implementation(DescriptorContext::Ird);
    DescriptorRecord owning(implementation);
    void* rows = std::malloc(16);
    owning.setDataPtr(rows);
    owning.unbind();
    EXPECT_EQ(owning.getDataPtr(), rows);  // released with the record
}

}  // namespace
