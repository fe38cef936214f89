#include "driver/core/Recordset.h"

Recordset::Recordset(Statement* owner) : owner_(owner) {}

Recordset::~Recordset() = default;

void Recordset::clear() {}

SQLRETURN Recordset::fetchNext() {
    return SQL_SUCCESS;
}

SQLRETURN Recordset::fetchPrior() {
    return fetchRelative(-1);
}

SQLRETURN Recordset::fetchRelative(std::int64_t) {
    return SQL_ERROR;
}

SQLRETURN Recordset::fetchAbsolute(std::int64_t) {
    return SQL_ERROR;
}

SQLRETURN Recordset::fetchFirst() {
    return SQL_ERROR;
}

SQLRETURN Recordset::fetchLast() {
    return SQL_ERROR;
}

std::uint64_t Recordset::currentRow() const {
    return currentRow_;
}

SQLRETURN Recordset::loadCurrentRow(std::uint64_t, SQLUINTEGER) {
    return SQL_SUCCESS;
}
