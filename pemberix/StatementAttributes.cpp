#include "pemberix/StatementAttributes.h"

#include "pemberix/PgDriver.h"

#include <cstring>

namespace pemberix {

SQLULEN statementNumber(SQLHSTMT stmt, SQLINTEGER attribute, SQLULEN fallback) {
    SQLULEN value = fallback;
    if (pg().SQLGetStmtAttr == nullptr ||
        !SQL_SUCCEEDED(pg().SQLGetStmtAttr(stmt, attribute, &value, 0, nullptr))) {
        return fallback;
    }
    return value;
}

SQLPOINTER statementPointer(SQLHSTMT stmt, SQLINTEGER attribute) {
    SQLPOINTER value = nullptr;
    if (pg().SQLGetStmtAttr == nullptr ||
        !SQL_SUCCEEDED(pg().SQLGetStmtAttr(stmt, attribute, &value, 0, nullptr))) {
        return nullptr;
    }
    return value;
}

SQLLEN bindOffset(SQLHSTMT stmt, SQLINTEGER attribute) {
    const auto* offset = static_cast<const SQLLEN*>(statementPointer(stmt, attribute));
    return offset != nullptr ? readLength(reinterpret_cast<std::uintptr_t>(offset)) : 0;
}

std::uintptr_t rowAddress(const void* base, SQLLEN offset, SQLULEN row, SQLLEN elementSize,
                          SQLULEN bindType) {
    const SQLULEN step = bindType == 0 ? static_cast<SQLULEN>(elementSize) : bindType;
    return reinterpret_cast<std::uintptr_t>(base) + static_cast<std::uintptr_t>(offset) +
           static_cast<std::uintptr_t>(row * step);
}

SQLLEN readLength(std::uintptr_t address) {
    SQLLEN value = 0;
    std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
    return value;
}

void writeLength(std::uintptr_t address, SQLLEN value) {
    std::memcpy(reinterpret_cast<void*>(address), &value, sizeof value);
}

}  // namespace pemberix
