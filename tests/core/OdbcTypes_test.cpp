#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "driver/core/OdbcTypes.h"

namespace {

// Families a code belongs to, one bit per predicate.
enum Family : unsigned {
    CharSql = 1u << 0,
    NumericSql = 1u << 1,
    BinarySql = 1u << 2,
    DatetimeSql = 1u << 3,
    IntervalSql = 1u << 4,
    CharC = 1u << 5,
    NumericC = 1u << 6,
    BinaryC = 1u << 7,
    DateOrTime = 1u << 8,
};

struct Predicate {
    Family family;
    const char* name;
    bool (*test)(SQLSMALLINT);
};

const Predicate kPredicates[] = {
    {CharSql, "isCharacterSqlType", isCharacterSqlType},
    {NumericSql, "isNumericSqlType", isNumericSqlType},
    {BinarySql, "isBinarySqlType", isBinarySqlType},
    {DatetimeSql, "isDatetimeSqlType", isDatetimeSqlType},
    {IntervalSql, "isIntervalSqlType", isIntervalSqlType},
    {CharC, "isCharacterCType", isCharacterCType},
    {NumericC, "isNumericCType", isNumericCType},
    {BinaryC, "isBinaryCType", isBinaryCType},
    {DateOrTime, "isDateOrTimeType", isDateOrTimeType},
};

struct TypeCase {
    SQLSMALLINT code;
    const char* name;
    unsigned families;
};

// Codes shared by SQL and C types (SQL_CHAR and SQL_C_CHAR are both 1) are
// listed once with every family they belong to.
const std::vector<TypeCase> kTypeCases = {
    {SQL_CHAR, "SQL_CHAR / SQL_C_CHAR", CharSql | CharC},
    {SQL_VARCHAR, "SQL_VARCHAR", CharSql},
    {SQL_LONGVARCHAR, "SQL_LONGVARCHAR", CharSql},
    {SQL_WCHAR, "SQL_WCHAR / SQL_C_WCHAR", CharSql | CharC},
    {SQL_WVARCHAR, "SQL_WVARCHAR", CharSql},
    {SQL_WLONGVARCHAR, "SQL_WLONGVARCHAR", CharSql},
    {SQL_TINYINT, "SQL_TINYINT / SQL_C_TINYINT", NumericSql | NumericC},
    {SQL_BIGINT, "SQL_BIGINT", NumericSql},
    {SQL_NUMERIC, "SQL_NUMERIC / SQL_C_NUMERIC", NumericSql},
    {SQL_DECIMAL, "SQL_DECIMAL (no C type)", NumericSql},
    {SQL_INTEGER, "SQL_INTEGER / SQL_C_LONG", NumericSql | NumericC},
    {SQL_SMALLINT, "SQL_SMALLINT / SQL_C_SHORT", NumericSql | NumericC},
    {SQL_FLOAT, "SQL_FLOAT", NumericSql},
    {SQL_REAL, "SQL_REAL / SQL_C_FLOAT", NumericSql | NumericC},
    {SQL_DOUBLE, "SQL_DOUBLE / SQL_C_DOUBLE", NumericSql | NumericC},
    {SQL_BIT, "SQL_BIT / SQL_C_BIT", NumericC},
    {SQL_BINARY, "SQL_BINARY / SQL_C_BINARY", BinarySql | BinaryC},
    {SQL_VARBINARY, "SQL_VARBINARY", BinarySql},
    {SQL_LONGVARBINARY, "SQL_LONGVARBINARY", BinarySql},
    {SQL_DATE, "SQL_DATE / SQL_DATETIME", DateOrTime},
    {SQL_TIME, "SQL_TIME / SQL_INTERVAL", DateOrTime},
    {SQL_TIMESTAMP, "SQL_TIMESTAMP", DateOrTime},
    {SQL_TYPE_DATE, "SQL_TYPE_DATE", DatetimeSql | DateOrTime},
    {SQL_TYPE_TIME, "SQL_TYPE_TIME", DatetimeSql | DateOrTime},
    {SQL_TYPE_TIMESTAMP, "SQL_TYPE_TIMESTAMP", DatetimeSql | DateOrTime},
    {SQL_INTERVAL_YEAR, "SQL_INTERVAL_YEAR", IntervalSql},
    {SQL_INTERVAL_DAY_TO_SECOND, "SQL_INTERVAL_DAY_TO_SECOND", IntervalSql},
    {SQL_INTERVAL_MINUTE_TO_SECOND, "SQL_INTERVAL_MINUTE_TO_SECOND", IntervalSql},
    {100, "just below the intervals", 0},
    {114, "just above the intervals", 0},
    {SQL_GUID, "SQL_GUID", 0},
    {SQL_C_UTINYINT, "SQL_C_UTINYINT", NumericC},
    {SQL_C_STINYINT, "SQL_C_STINYINT", NumericC},
    {SQL_C_UBIGINT, "SQL_C_UBIGINT", NumericC},
    {SQL_C_SBIGINT, "SQL_C_SBIGINT", NumericC},
    {SQL_C_ULONG, "SQL_C_ULONG", NumericC},
    {SQL_C_SLONG, "SQL_C_SLONG", NumericC},
    {SQL_C_USHORT, "SQL_C_USHORT", NumericC},
    {SQL_C_SSHORT, "SQL_C_SSHORT", NumericC},
    {0, "zero", 0},
    {SQL_C_DEFAULT, "SQL_C_DEFAULT", 0},
    {90, "SQL_TYPE_DATE minus one", 0},
    {94, "SQL_TYPE_TIMESTAMP plus one", 0},
    {-32768, "most negative", 0},
};

class TypePredicates : public ::testing::TestWithParam<TypeCase> {};

TEST_P(TypePredicates, EachPredicateAnswersItsFamily) {
    const TypeCase& c = GetParam();
    for (const Predicate& predicate : kPredicates) {
        EXPECT_EQ(predicate.test(c.code), (c.families & predicate.family) != 0)
            << predicate.name << "(" << c.code << ")";
    }
}

std::string caseName(const ::testing::TestParamInfo<TypeCase>& info) {
    std::string name;
    for (const char* p = info.param.name; *p != '\0'; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Codes, TypePredicates, ::testing::ValuesIn(kTypeCases), caseName);

}  // namespace
