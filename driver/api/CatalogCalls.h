#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// The bodies of the catalog entry points, narrow and wide. Each traces the
// call with timestamps, hands it to the statement's catalog operation and
// returns its result. The wide forms pass their texts on as UTF-8 (or, on
// a connection that sends in the user's language encoding, read through
// Latin-1), with null texts as empty ones. A standard exception gives
// SQL_ERROR with "HY001" (memory) or "HY000" on the statement and an
// "ODBC Err: " line on standard error and in the trace. A null handle gives
// SQL_INVALID_HANDLE.
namespace calls {

SQLRETURN columnPrivileges(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                           SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,
                           SQLSMALLINT tableLength, SQLCHAR* column, SQLSMALLINT columnLength);
SQLRETURN columnPrivilegesW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                            SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                            SQLSMALLINT tableLength, SQLWCHAR* column, SQLSMALLINT columnLength);
SQLRETURN columns(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,
                  SQLSMALLINT schemaLength, SQLCHAR* table, SQLSMALLINT tableLength,
                  SQLCHAR* column, SQLSMALLINT columnLength);
SQLRETURN columnsW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                   SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                   SQLSMALLINT tableLength, SQLWCHAR* column, SQLSMALLINT columnLength);
SQLRETURN foreignKeys(SQLHSTMT statement, SQLCHAR* pkCatalog, SQLSMALLINT pkCatalogLength,
                      SQLCHAR* pkSchema, SQLSMALLINT pkSchemaLength, SQLCHAR* pkTable,
                      SQLSMALLINT pkTableLength, SQLCHAR* fkCatalog, SQLSMALLINT fkCatalogLength,
                      SQLCHAR* fkSchema, SQLSMALLINT fkSchemaLength, SQLCHAR* fkTable,
                      SQLSMALLINT fkTableLength);
SQLRETURN foreignKeysW(SQLHSTMT statement, SQLWCHAR* pkCatalog, SQLSMALLINT pkCatalogLength,
                       SQLWCHAR* pkSchema, SQLSMALLINT pkSchemaLength, SQLWCHAR* pkTable,
                       SQLSMALLINT pkTableLength, SQLWCHAR* fkCatalog, SQLSMALLINT fkCatalogLength,
                       SQLWCHAR* fkSchema, SQLSMALLINT fkSchemaLength, SQLWCHAR* fkTable,
                       SQLSMALLINT fkTableLength);
SQLRETURN primaryKeys(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                      SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,
                      SQLSMALLINT tableLength);
SQLRETURN primaryKeysW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                       SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                       SQLSMALLINT tableLength);
SQLRETURN procedureColumns(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                           SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* procedure,
                           SQLSMALLINT procedureLength, SQLCHAR* column, SQLSMALLINT columnLength);
SQLRETURN procedureColumnsW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                            SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* procedure,
                            SQLSMALLINT procedureLength, SQLWCHAR* column,
                            SQLSMALLINT columnLength);
SQLRETURN procedures(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                     SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* procedure,
                     SQLSMALLINT procedureLength);
SQLRETURN proceduresW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                      SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* procedure,
                      SQLSMALLINT procedureLength);
SQLRETURN specialColumns(SQLHSTMT statement, SQLUSMALLINT identifierType, SQLCHAR* catalog,
                         SQLSMALLINT catalogLength, SQLCHAR* schema, SQLSMALLINT schemaLength,
                         SQLCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT scope,
                         SQLUSMALLINT nullable);
SQLRETURN specialColumnsW(SQLHSTMT statement, SQLUSMALLINT identifierType, SQLWCHAR* catalog,
                          SQLSMALLINT catalogLength, SQLWCHAR* schema, SQLSMALLINT schemaLength,
                          SQLWCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT scope,
                          SQLUSMALLINT nullable);
SQLRETURN statistics(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                     SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,
                     SQLSMALLINT tableLength, SQLUSMALLINT unique, SQLUSMALLINT reserved);
SQLRETURN statisticsW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                      SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                      SQLSMALLINT tableLength, SQLUSMALLINT unique, SQLUSMALLINT reserved);
SQLRETURN tablePrivileges(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                          SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,
                          SQLSMALLINT tableLength);
SQLRETURN tablePrivilegesW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                           SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                           SQLSMALLINT tableLength);
SQLRETURN tables(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,
                 SQLSMALLINT schemaLength, SQLCHAR* table, SQLSMALLINT tableLength,
                 SQLCHAR* tableType, SQLSMALLINT tableTypeLength);
SQLRETURN tablesW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                  SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                  SQLSMALLINT tableLength, SQLWCHAR* tableType, SQLSMALLINT tableTypeLength);

}  // namespace calls
