// The select-list rewriting for cached column types.
// Input: flags byte, type byte, column name, 0x1F, column name, 0x1F, SQL
// text.

#include "driver/adapter/MySQLImpersonatorStatement.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t flags = input.byte();
    const SQLSMALLINT types[] = {SQL_TYPE_TIMESTAMP, SQL_TIMESTAMP, SQL_TYPE_TIME, SQL_TIME, -1};
    const SQLSMALLINT type = types[input.byte() % 5];
    std::vector<MySQLImpersonatorConnection::ColumnType> columns;
    columns.push_back({"s", "t", std::string(input.piece()), type});
    columns.push_back({"", "t", std::string(input.piece()), SQL_TYPE_TIMESTAMP});
    std::string text(input.rest());
    MySQLImpersonatorStatement::rewriteSelectItems(text, columns, (flags & 1) != 0,
                                                   (flags & 2) != 0, [](const std::string&) {});
    return 0;
}
