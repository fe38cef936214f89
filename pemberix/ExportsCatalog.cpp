// Catalog functions and type information.
#include "pemberix/ExportCall.h"
#include "pemberix/Utf16Argument.h"
#include "pemberix/WideCalls.h"

#include <array>
#include <optional>

using namespace pemberix;

namespace {

// The name arguments of one wide catalog call, converted together; the
// lengths are known to fit the driver's SQLSMALLINT when `fit` is true.
template <std::size_t N>
class CatalogNames {
  public:
    CatalogNames(std::array<std::pair<SQLWCHAR*, SQLSMALLINT>, N> names) {
        for (std::size_t i = 0; i < N; ++i) {
            names_[i].emplace(names[i].first, names[i].second);
            lengths_[i] = names_[i]->smallLength();
            fit_ = fit_ && lengths_[i].has_value();
        }
    }

    bool fit() const { return fit_; }
    PgWideChar* text(std::size_t i) { return names_[i]->data(); }
    SQLSMALLINT length(std::size_t i) const { return lengths_[i].value_or(0); }

  private:
    std::array<std::optional<Utf16Argument>, N> names_;
    std::array<std::optional<SQLSMALLINT>, N> lengths_;
    bool fit_ = true;
};

template <std::size_t N, class Call>
SQLRETURN withNames(SQLHSTMT stmt, CatalogNames<N> names, Call call) {
    if (!names.fit()) {
        return textTooLong(SQL_HANDLE_STMT, stmt);
    }
    return call(names);
}

}  // namespace

PEMBERIX_EXPORT SQLRETURN SQL_API
SQLColumnPrivileges(SQLHSTMT hstmt, SQLCHAR* szCatalogName, SQLSMALLINT cbCatalogName,
                    SQLCHAR* szSchemaName, SQLSMALLINT cbSchemaName, SQLCHAR* szTableName,
                    SQLSMALLINT cbTableName, SQLCHAR* szColumnName, SQLSMALLINT cbColumnName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLColumnPrivileges, hstmt, szCatalogName,
                       cbCatalogName, szSchemaName, cbSchemaName, szTableName, cbTableName,
                       szColumnName, cbColumnName);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API
SQLColumnPrivilegesW(SQLHSTMT hstmt, SQLWCHAR* szCatalogName, SQLSMALLINT cbCatalogName,
                     SQLWCHAR* szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR* szTableName,
                     SQLSMALLINT cbTableName, SQLWCHAR* szColumnName, SQLSMALLINT cbColumnName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return withNames(hstmt,
                         CatalogNames<4>({{{szCatalogName, cbCatalogName},
                                           {szSchemaName, cbSchemaName},
                                           {szTableName, cbTableName},
                                           {szColumnName, cbColumnName}}}),
                         [&](CatalogNames<4>& n) {
                             return forward(SQL_HANDLE_STMT, hstmt, pg().SQLColumnPrivilegesW,
                                            hstmt, n.text(0), n.length(0), n.text(1), n.length(1),
                                            n.text(2), n.length(2), n.text(3), n.length(3));
                         });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLColumns(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                             SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                             SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                             SQLSMALLINT NameLength3, SQLCHAR* ColumnName,
                                             SQLSMALLINT NameLength4) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLColumns, StatementHandle,
                       CatalogName, NameLength1, SchemaName, NameLength2, TableName, NameLength3,
                       ColumnName, NameLength4);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLColumnsW(SQLHSTMT hstmt, SQLWCHAR* szCatalogName,
                                              SQLSMALLINT cbCatalogName, SQLWCHAR* szSchemaName,
                                              SQLSMALLINT cbSchemaName, SQLWCHAR* szTableName,
                                              SQLSMALLINT cbTableName, SQLWCHAR* szColumnName,
                                              SQLSMALLINT cbColumnName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return withNames(hstmt,
                         CatalogNames<4>({{{szCatalogName, cbCatalogName},
                                           {szSchemaName, cbSchemaName},
                                           {szTableName, cbTableName},
                                           {szColumnName, cbColumnName}}}),
                         [&](CatalogNames<4>& n) {
                             return forward(SQL_HANDLE_STMT, hstmt, pg().SQLColumnsW, hstmt,
                                            n.text(0), n.length(0), n.text(1), n.length(1),
                                            n.text(2), n.length(2), n.text(3), n.length(3));
                         });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLForeignKeys(
    SQLHSTMT hstmt, SQLCHAR* szPkCatalogName, SQLSMALLINT cbPkCatalogName, SQLCHAR* szPkSchemaName,
    SQLSMALLINT cbPkSchemaName, SQLCHAR* szPkTableName, SQLSMALLINT cbPkTableName,
    SQLCHAR* szFkCatalogName, SQLSMALLINT cbFkCatalogName, SQLCHAR* szFkSchemaName,
    SQLSMALLINT cbFkSchemaName, SQLCHAR* szFkTableName, SQLSMALLINT cbFkTableName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLForeignKeys, hstmt, szPkCatalogName,
                       cbPkCatalogName, szPkSchemaName, cbPkSchemaName, szPkTableName,
                       cbPkTableName, szFkCatalogName, cbFkCatalogName, szFkSchemaName,
                       cbFkSchemaName, szFkTableName, cbFkTableName);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API
SQLForeignKeysW(SQLHSTMT hstmt, SQLWCHAR* szPkCatalogName, SQLSMALLINT cbPkCatalogName,
                SQLWCHAR* szPkSchemaName, SQLSMALLINT cbPkSchemaName, SQLWCHAR* szPkTableName,
                SQLSMALLINT cbPkTableName, SQLWCHAR* szFkCatalogName, SQLSMALLINT cbFkCatalogName,
                SQLWCHAR* szFkSchemaName, SQLSMALLINT cbFkSchemaName, SQLWCHAR* szFkTableName,
                SQLSMALLINT cbFkTableName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return withNames(hstmt,
                         CatalogNames<6>({{{szPkCatalogName, cbPkCatalogName},
                                           {szPkSchemaName, cbPkSchemaName},
                                           {szPkTableName, cbPkTableName},
                                           {szFkCatalogName, cbFkCatalogName},
                                           {szFkSchemaName, cbFkSchemaName},
                                           {szFkTableName, cbFkTableName}}}),
                         [&](CatalogNames<6>& n) {
                             return forward(SQL_HANDLE_STMT, hstmt, pg().SQLForeignKeysW, hstmt,
                                            n.text(0), n.length(0), n.text(1), n.length(1),
                                            n.text(2), n.length(2), n.text(3), n.length(3),
                                            n.text(4), n.length(4), n.text(5), n.length(5));
                         });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLPrimaryKeys(SQLHSTMT hstmt, SQLCHAR* szCatalogName,
                                                 SQLSMALLINT cbCatalogName, SQLCHAR* szSchemaName,
                                                 SQLSMALLINT cbSchemaName, SQLCHAR* szTableName,
                                                 SQLSMALLINT cbTableName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLPrimaryKeys, hstmt, szCatalogName,
                       cbCatalogName, szSchemaName, cbSchemaName, szTableName, cbTableName);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT hstmt, SQLWCHAR* szCatalogName,
                                                  SQLSMALLINT cbCatalogName, SQLWCHAR* szSchemaName,
                                                  SQLSMALLINT cbSchemaName, SQLWCHAR* szTableName,
                                                  SQLSMALLINT cbTableName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return withNames(hstmt,
                         CatalogNames<3>({{{szCatalogName, cbCatalogName},
                                           {szSchemaName, cbSchemaName},
                                           {szTableName, cbTableName}}}),
                         [&](CatalogNames<3>& n) {
                             return forward(SQL_HANDLE_STMT, hstmt, pg().SQLPrimaryKeysW, hstmt,
                                            n.text(0), n.length(0), n.text(1), n.length(1),
                                            n.text(2), n.length(2));
                         });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLProcedureColumns(SQLHSTMT hstmt, SQLCHAR* szCatalogName,
                                                      SQLSMALLINT cbCatalogName,
                                                      SQLCHAR* szSchemaName,
                                                      SQLSMALLINT cbSchemaName, SQLCHAR* szProcName,
                                                      SQLSMALLINT cbProcName, SQLCHAR* szColumnName,
                                                      SQLSMALLINT cbColumnName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLProcedureColumns, hstmt, szCatalogName,
                       cbCatalogName, szSchemaName, cbSchemaName, szProcName, cbProcName,
                       szColumnName, cbColumnName);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API
SQLProcedureColumnsW(SQLHSTMT hstmt, SQLWCHAR* szCatalogName, SQLSMALLINT cbCatalogName,
                     SQLWCHAR* szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR* szProcName,
                     SQLSMALLINT cbProcName, SQLWCHAR* szColumnName, SQLSMALLINT cbColumnName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return withNames(hstmt,
                         CatalogNames<4>({{{szCatalogName, cbCatalogName},
                                           {szSchemaName, cbSchemaName},
                                           {szProcName, cbProcName},
                                           {szColumnName, cbColumnName}}}),
                         [&](CatalogNames<4>& n) {
                             return forward(SQL_HANDLE_STMT, hstmt, pg().SQLProcedureColumnsW,
                                            hstmt, n.text(0), n.length(0), n.text(1), n.length(1),
                                            n.text(2), n.length(2), n.text(3), n.length(3));
                         });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLProcedures(SQLHSTMT hstmt, SQLCHAR* szCatalogName,
                                                SQLSMALLINT cbCatalogName, SQLCHAR* szSchemaName,
                                                SQLSMALLINT cbSchemaName, SQLCHAR* szProcName,
                                                SQLSMALLINT cbProcName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLProcedures, hstmt, szCatalogName,
                       cbCatalogName, szSchemaName, cbSchemaName, szProcName, cbProcName);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLProceduresW(SQLHSTMT hstmt, SQLWCHAR* szCatalogName,
                                                 SQLSMALLINT cbCatalogName, SQLWCHAR* szSchemaName,
                                                 SQLSMALLINT cbSchemaName, SQLWCHAR* szProcName,
                                                 SQLSMALLINT cbProcName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return withNames(hstmt,
                         CatalogNames<3>({{{szCatalogName, cbCatalogName},
                                           {szSchemaName, cbSchemaName},
                                           {szProcName, cbProcName}}}),
                         [&](CatalogNames<3>& n) {
                             return forward(SQL_HANDLE_STMT, hstmt, pg().SQLProceduresW, hstmt,
                                            n.text(0), n.length(0), n.text(1), n.length(1),
                                            n.text(2), n.length(2));
                         });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSpecialColumns(SQLHSTMT StatementHandle,
                                                    SQLUSMALLINT IdentifierType,
                                                    SQLCHAR* CatalogName, SQLSMALLINT NameLength1,
                                                    SQLCHAR* SchemaName, SQLSMALLINT NameLength2,
                                                    SQLCHAR* TableName, SQLSMALLINT NameLength3,
                                                    SQLUSMALLINT Scope, SQLUSMALLINT Nullable) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLSpecialColumns, StatementHandle,
                       IdentifierType, CatalogName, NameLength1, SchemaName, NameLength2, TableName,
                       NameLength3, Scope, Nullable);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSpecialColumnsW(
    SQLHSTMT hstmt, SQLUSMALLINT fColType, SQLWCHAR* szCatalogName, SQLSMALLINT cbCatalogName,
    SQLWCHAR* szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR* szTableName,
    SQLSMALLINT cbTableName, SQLUSMALLINT fScope, SQLUSMALLINT fNullable) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return withNames(hstmt,
                         CatalogNames<3>({{{szCatalogName, cbCatalogName},
                                           {szSchemaName, cbSchemaName},
                                           {szTableName, cbTableName}}}),
                         [&](CatalogNames<3>& n) {
                             return forward(SQL_HANDLE_STMT, hstmt, pg().SQLSpecialColumnsW, hstmt,
                                            fColType, n.text(0), n.length(0), n.text(1),
                                            n.length(1), n.text(2), n.length(2), fScope, fNullable);
                         });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLStatistics(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                                SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                                SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                                SQLSMALLINT NameLength3, SQLUSMALLINT Unique,
                                                SQLUSMALLINT Reserved) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLStatistics, StatementHandle,
                       CatalogName, NameLength1, SchemaName, NameLength2, TableName, NameLength3,
                       Unique, Reserved);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLStatisticsW(SQLHSTMT hstmt, SQLWCHAR* szCatalogName,
                                                 SQLSMALLINT cbCatalogName, SQLWCHAR* szSchemaName,
                                                 SQLSMALLINT cbSchemaName, SQLWCHAR* szTableName,
                                                 SQLSMALLINT cbTableName, SQLUSMALLINT fUnique,
                                                 SQLUSMALLINT fAccuracy) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return withNames(hstmt,
                         CatalogNames<3>({{{szCatalogName, cbCatalogName},
                                           {szSchemaName, cbSchemaName},
                                           {szTableName, cbTableName}}}),
                         [&](CatalogNames<3>& n) {
                             return forward(SQL_HANDLE_STMT, hstmt, pg().SQLStatisticsW, hstmt,
                                            n.text(0), n.length(0), n.text(1), n.length(1),
                                            n.text(2), n.length(2), fUnique, fAccuracy);
                         });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLTablePrivileges(SQLHSTMT hstmt, SQLCHAR* szCatalogName,
                                                     SQLSMALLINT cbCatalogName,
                                                     SQLCHAR* szSchemaName,
                                                     SQLSMALLINT cbSchemaName, SQLCHAR* szTableName,
                                                     SQLSMALLINT cbTableName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLTablePrivileges, hstmt, szCatalogName,
                       cbCatalogName, szSchemaName, cbSchemaName, szTableName, cbTableName);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLTablePrivilegesW(
    SQLHSTMT hstmt, SQLWCHAR* szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR* szSchemaName,
    SQLSMALLINT cbSchemaName, SQLWCHAR* szTableName, SQLSMALLINT cbTableName) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return withNames(hstmt,
                         CatalogNames<3>({{{szCatalogName, cbCatalogName},
                                           {szSchemaName, cbSchemaName},
                                           {szTableName, cbTableName}}}),
                         [&](CatalogNames<3>& n) {
                             return forward(SQL_HANDLE_STMT, hstmt, pg().SQLTablePrivilegesW, hstmt,
                                            n.text(0), n.length(0), n.text(1), n.length(1),
                                            n.text(2), n.length(2));
                         });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLTables(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                            SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                            SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                            SQLSMALLINT NameLength3, SQLCHAR* TableType,
                                            SQLSMALLINT NameLength4) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLTables, StatementHandle,
                       CatalogName, NameLength1, SchemaName, NameLength2, TableName, NameLength3,
                       TableType, NameLength4);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLTablesW(SQLHSTMT hstmt, SQLWCHAR* szCatalogName,
                                             SQLSMALLINT cbCatalogName, SQLWCHAR* szSchemaName,
                                             SQLSMALLINT cbSchemaName, SQLWCHAR* szTableName,
                                             SQLSMALLINT cbTableName, SQLWCHAR* szTableType,
                                             SQLSMALLINT cbTableType) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return withNames(hstmt,
                         CatalogNames<4>({{{szCatalogName, cbCatalogName},
                                           {szSchemaName, cbSchemaName},
                                           {szTableName, cbTableName},
                                           {szTableType, cbTableType}}}),
                         [&](CatalogNames<4>& n) {
                             return forward(SQL_HANDLE_STMT, hstmt, pg().SQLTablesW, hstmt,
                                            n.text(0), n.length(0), n.text(1), n.length(1),
                                            n.text(2), n.length(2), n.text(3), n.length(3));
                         });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetTypeInfo(SQLHSTMT StatementHandle, SQLSMALLINT DataType) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLGetTypeInfo, StatementHandle,
                       DataType);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT StatementHandle, SQLSMALLINT DataType) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLGetTypeInfoW, StatementHandle,
                       DataType);
    });
}
