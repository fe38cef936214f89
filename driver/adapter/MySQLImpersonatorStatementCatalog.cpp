#include "driver/adapter/MySQLImpersonatorStatement.h"

// PLACEHOLDER: replaced by the catalog frame and SQLColumns.
SQLRETURN MySQLImpersonatorStatement::columnPrivileges(const SQLCHAR*, SQLSMALLINT, const SQLCHAR*,
                                                       SQLSMALLINT, const SQLCHAR*, SQLSMALLINT,
                                                       const SQLCHAR*, SQLSMALLINT) {
    return SQL_ERROR;
}
SQLRETURN MySQLImpersonatorStatement::columns(const SQLCHAR*, SQLSMALLINT, const SQLCHAR*,
                                              SQLSMALLINT, const SQLCHAR*, SQLSMALLINT,
                                              const SQLCHAR*, SQLSMALLINT) {
    return SQL_ERROR;
}
SQLRETURN MySQLImpersonatorStatement::primaryKeys(const SQLCHAR*, SQLSMALLINT, const SQLCHAR*,
                                                  SQLSMALLINT, const SQLCHAR*, SQLSMALLINT) {
    return SQL_ERROR;
}
SQLRETURN MySQLImpersonatorStatement::specialColumns(SQLUSMALLINT, const SQLCHAR*, SQLSMALLINT,
                                                     const SQLCHAR*, SQLSMALLINT, const SQLCHAR*,
                                                     SQLSMALLINT, SQLUSMALLINT, SQLUSMALLINT) {
    return SQL_ERROR;
}
SQLRETURN MySQLImpersonatorStatement::statistics(const SQLCHAR*, SQLSMALLINT, const SQLCHAR*,
                                                 SQLSMALLINT, const SQLCHAR*, SQLSMALLINT,
                                                 SQLUSMALLINT, SQLUSMALLINT) {
    return SQL_ERROR;
}
SQLRETURN MySQLImpersonatorStatement::tables(const SQLCHAR*, SQLSMALLINT, const SQLCHAR*,
                                             SQLSMALLINT, const SQLCHAR*, SQLSMALLINT,
                                             const SQLCHAR*, SQLSMALLINT) {
    return SQL_ERROR;
}
