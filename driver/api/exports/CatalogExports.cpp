// The catalog functions, narrow and wide.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "driver/api/CatalogCalls.h"
#include "platform/ExportBoundary.h"
#include "driver/api/ExportMacros.h"
#include "driver/api/HandleCalls.h"

MORVANEX_EXPORT SQLRETURN SQL_API SQLColumnPrivileges(SQLHSTMT StatementHandle,
                                                      SQLCHAR* CatalogName, SQLSMALLINT NameLength1,
                                                      SQLCHAR* SchemaName, SQLSMALLINT NameLength2,
                                                      SQLCHAR* TableName, SQLSMALLINT NameLength3,
                                                      SQLCHAR* ColumnName,
                                                      SQLSMALLINT NameLength4) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::columnPrivileges(StatementHandle, CatalogName, NameLength1, SchemaName,
                                       NameLength2, TableName, NameLength3, ColumnName,
                                       NameLength4);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API
SQLColumnPrivilegesW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName, SQLSMALLINT NameLength1,
                     SQLWCHAR* SchemaName, SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                     SQLSMALLINT NameLength3, SQLWCHAR* ColumnName, SQLSMALLINT NameLength4) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::columnPrivilegesW(StatementHandle, CatalogName, NameLength1, SchemaName,
                                        NameLength2, TableName, NameLength3, ColumnName,
                                        NameLength4);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLColumns(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                             SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                             SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                             SQLSMALLINT NameLength3, SQLCHAR* ColumnName,
                                             SQLSMALLINT NameLength4) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::columns(StatementHandle, CatalogName, NameLength1, SchemaName, NameLength2,
                              TableName, NameLength3, ColumnName, NameLength4);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLColumnsW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                              SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                              SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                              SQLSMALLINT NameLength3, SQLWCHAR* ColumnName,
                                              SQLSMALLINT NameLength4) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::columnsW(StatementHandle, CatalogName, NameLength1, SchemaName, NameLength2,
                               TableName, NameLength3, ColumnName, NameLength4);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLForeignKeys(SQLHSTMT StatementHandle, SQLCHAR* PKCatalogName,
                                                 SQLSMALLINT NameLength1, SQLCHAR* PKSchemaName,
                                                 SQLSMALLINT NameLength2, SQLCHAR* PKTableName,
                                                 SQLSMALLINT NameLength3, SQLCHAR* FKCatalogName,
                                                 SQLSMALLINT NameLength4, SQLCHAR* FKSchemaName,
                                                 SQLSMALLINT NameLength5, SQLCHAR* FKTableName,
                                                 SQLSMALLINT NameLength6) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::foreignKeys(StatementHandle, PKCatalogName, NameLength1, PKSchemaName,
                                  NameLength2, PKTableName, NameLength3, FKCatalogName, NameLength4,
                                  FKSchemaName, NameLength5, FKTableName, NameLength6);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLForeignKeysW(SQLHSTMT StatementHandle, SQLWCHAR* PKCatalogName,
                                                  SQLSMALLINT NameLength1, SQLWCHAR* PKSchemaName,
                                                  SQLSMALLINT NameLength2, SQLWCHAR* PKTableName,
                                                  SQLSMALLINT NameLength3, SQLWCHAR* FKCatalogName,
                                                  SQLSMALLINT NameLength4, SQLWCHAR* FKSchemaName,
                                                  SQLSMALLINT NameLength5, SQLWCHAR* FKTableName,
                                                  SQLSMALLINT NameLength6) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::foreignKeysW(StatementHandle, PKCatalogName, NameLength1, PKSchemaName,
                                   NameLength2, PKTableName, NameLength3, FKCatalogName,
                                   NameLength4, FKSchemaName, NameLength5, FKTableName,
                                   NameLength6);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLPrimaryKeys(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                                 SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                                 SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                                 SQLSMALLINT NameLength3) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::primaryKeys(StatementHandle, CatalogName, NameLength1, SchemaName,
                                  NameLength2, TableName, NameLength3);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                                  SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                                  SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                                  SQLSMALLINT NameLength3) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::primaryKeysW(StatementHandle, CatalogName, NameLength1, SchemaName,
                                   NameLength2, TableName, NameLength3);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLProcedureColumns(SQLHSTMT StatementHandle,
                                                      SQLCHAR* CatalogName, SQLSMALLINT NameLength1,
                                                      SQLCHAR* SchemaName, SQLSMALLINT NameLength2,
                                                      SQLCHAR* ProcName, SQLSMALLINT NameLength3,
                                                      SQLCHAR* ColumnName,
                                                      SQLSMALLINT NameLength4) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::procedureColumns(StatementHandle, CatalogName, NameLength1, SchemaName,
                                       NameLength2, ProcName, NameLength3, ColumnName, NameLength4);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API
SQLProcedureColumnsW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName, SQLSMALLINT NameLength1,
                     SQLWCHAR* SchemaName, SQLSMALLINT NameLength2, SQLWCHAR* ProcName,
                     SQLSMALLINT NameLength3, SQLWCHAR* ColumnName, SQLSMALLINT NameLength4) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::procedureColumnsW(StatementHandle, CatalogName, NameLength1, SchemaName,
                                        NameLength2, ProcName, NameLength3, ColumnName,
                                        NameLength4);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLProcedures(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                                SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                                SQLSMALLINT NameLength2, SQLCHAR* ProcName,
                                                SQLSMALLINT NameLength3) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::procedures(StatementHandle, CatalogName, NameLength1, SchemaName, NameLength2,
                                 ProcName, NameLength3);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLProceduresW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                                 SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                                 SQLSMALLINT NameLength2, SQLWCHAR* ProcName,
                                                 SQLSMALLINT NameLength3) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::proceduresW(StatementHandle, CatalogName, NameLength1, SchemaName,
                                  NameLength2, ProcName, NameLength3);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSpecialColumns(SQLHSTMT StatementHandle,
                                                    SQLUSMALLINT IdentifierType,
                                                    SQLCHAR* CatalogName, SQLSMALLINT NameLength1,
                                                    SQLCHAR* SchemaName, SQLSMALLINT NameLength2,
                                                    SQLCHAR* TableName, SQLSMALLINT NameLength3,
                                                    SQLUSMALLINT Scope, SQLUSMALLINT Nullable) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::specialColumns(StatementHandle, IdentifierType, CatalogName, NameLength1,
                                     SchemaName, NameLength2, TableName, NameLength3, Scope,
                                     Nullable);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSpecialColumnsW(SQLHSTMT StatementHandle,
                                                     SQLUSMALLINT IdentifierType,
                                                     SQLWCHAR* CatalogName, SQLSMALLINT NameLength1,
                                                     SQLWCHAR* SchemaName, SQLSMALLINT NameLength2,
                                                     SQLWCHAR* TableName, SQLSMALLINT NameLength3,
                                                     SQLUSMALLINT Scope, SQLUSMALLINT Nullable) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::specialColumnsW(StatementHandle, IdentifierType, CatalogName, NameLength1,
                                      SchemaName, NameLength2, TableName, NameLength3, Scope,
                                      Nullable);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLStatistics(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                                SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                                SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                                SQLSMALLINT NameLength3, SQLUSMALLINT Unique,
                                                SQLUSMALLINT Reserved) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::statistics(StatementHandle, CatalogName, NameLength1, SchemaName, NameLength2,
                                 TableName, NameLength3, Unique, Reserved);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLStatisticsW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                                 SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                                 SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                                 SQLSMALLINT NameLength3, SQLUSMALLINT Unique,
                                                 SQLUSMALLINT Reserved) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::statisticsW(StatementHandle, CatalogName, NameLength1, SchemaName,
                                  NameLength2, TableName, NameLength3, Unique, Reserved);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLTablePrivileges(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                                     SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                                     SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                                     SQLSMALLINT NameLength3) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::tablePrivileges(StatementHandle, CatalogName, NameLength1, SchemaName,
                                      NameLength2, TableName, NameLength3);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLTablePrivilegesW(SQLHSTMT StatementHandle,
                                                      SQLWCHAR* CatalogName,
                                                      SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                                      SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                                      SQLSMALLINT NameLength3) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::tablePrivilegesW(StatementHandle, CatalogName, NameLength1, SchemaName,
                                       NameLength2, TableName, NameLength3);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLTables(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                            SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                            SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                            SQLSMALLINT NameLength3, SQLCHAR* TableType,
                                            SQLSMALLINT NameLength4) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::tables(StatementHandle, CatalogName, NameLength1, SchemaName, NameLength2,
                             TableName, NameLength3, TableType, NameLength4);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLTablesW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                             SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                             SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                             SQLSMALLINT NameLength3, SQLWCHAR* TableType,
                                             SQLSMALLINT NameLength4) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::tablesW(StatementHandle, CatalogName, NameLength1, SchemaName, NameLength2,
                              TableName, NameLength3, TableType, NameLength4);
    });
}
