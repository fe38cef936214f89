// The MySQL face's whole rewriting of a statement text for each database
// family, without a server: the name qualifiers and backquotes of the SQL
// hook, then the dialect rules, with the DB2 LUW patterns extracted and
// the select list rewritten for a few cached columns.
// Input: family byte, flags byte, SQL text.

#include "driver/adapter/DialectText.h"
#include "driver/adapter/MySQLImpersonatorStatement.h"
#include "driver/adapter/SqlTextScanner.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

using Family = MySQLImpersonatorStatement::DatabaseFamily;

const std::vector<MySQLImpersonatorConnection::ColumnType> kColumns = {
    {"s", "t", "stamp", 93}, {"s", "t", "clock", 92}, {"s", "t", "doc", -1}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const Family families[] = {Family::Other, Family::PostgreSQL, Family::Db2Luw, Family::Db2400};
    const Family family = families[input.byte() % 4];
    const bool redshift = (input.byte() & 1) != 0;
    std::string text = backquotesToDoubleQuotes(stripNameQualifiers(input.rest(), 2, true, '\\'));

    const bool db2 = family == Family::Db2Luw || family == Family::Db2400;
    MySQLImpersonatorStatement::rewriteDialectText(
        text, family, [](std::string& t) { extractLikePatterns(t); },
        [&](std::string& t) {
            MySQLImpersonatorStatement::rewriteSelectItems(t, kColumns, db2, redshift,
                                                           [](const std::string&) {});
        });
    return 0;
}
