#include "pemberix/RefusedDriver.h"

#include <memory>

namespace pemberix {
namespace {

struct OwnHandle {
    SQLSMALLINT type;
};

SQLRETURN SQL_API allocHandle(SQLSMALLINT type, SQLHANDLE, SQLHANDLE* output) {
    if (output == nullptr) {
        return SQL_ERROR;
    }
    *output = SQL_NULL_HANDLE;
    if (type != SQL_HANDLE_ENV && type != SQL_HANDLE_DBC) {
        return SQL_ERROR;
    }
    *output = std::make_unique<OwnHandle>(OwnHandle{type}).release();
    return SQL_SUCCESS;
}

SQLRETURN SQL_API freeHandle(SQLSMALLINT, SQLHANDLE handle) {
    std::unique_ptr<OwnHandle> owned(static_cast<OwnHandle*>(handle));
    return SQL_SUCCESS;
}

SQLRETURN SQL_API setAttribute(SQLHANDLE, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
    return SQL_SUCCESS;
}

template <class Char>
SQLRETURN SQL_API noRecord(SQLSMALLINT, SQLHANDLE, SQLSMALLINT, Char*, SQLINTEGER*, Char*,
                           SQLSMALLINT, SQLSMALLINT*) {
    return SQL_NO_DATA;
}

SQLRETURN SQL_API noField(SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLSMALLINT, SQLPOINTER, SQLSMALLINT,
                          SQLSMALLINT*) {
    return SQL_NO_DATA;
}

}  // namespace

PgEntryPoints refusedDriverEntryPoints() {
    PgEntryPoints entry;
    entry.SQLAllocHandle = &allocHandle;
    entry.SQLFreeHandle = &freeHandle;
    entry.SQLSetEnvAttr = &setAttribute;
    entry.SQLSetConnectAttr = &setAttribute;
    entry.SQLSetConnectAttrW = &setAttribute;
    entry.SQLGetDiagRec = &noRecord<SQLCHAR>;
    entry.SQLGetDiagRecW = &noRecord<PgWideChar>;
    entry.SQLGetDiagField = &noField;
    entry.SQLGetDiagFieldW = &noField;
    return entry;
}

}  // namespace pemberix
