#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/adapter/MySQLImpersonatorConnection.h"
#include "driver/core/Statement.h"

class Connection;
class MySQLImpersonatorConnection;
struct DescribedName;

// The statement behind every statement handle of the MySQL face. It owns an
// inner statement of the adapted driver and sends most calls there; results
// it makes itself (locally answered statements, SQLColumns) are served by the
// Statement base from the statement's own recordset. MySQL-dialect text is
// rewritten for the real database before it runs, and the adapted driver's
// errors are re-posted under this driver's prefix.
class MySQLImpersonatorStatement : public Statement {
  public:
    // Which rules apply, from the adapted source's DBMS name.
    enum class DatabaseFamily { Other, PostgreSQL, Db2Luw, Db2400 };

    // The text-to-text steps of the dialect rules of `family`, in their
    // order; `likeParameters` (DB2 LUW) and `selectList` (DB2, PostgreSQL)
    // stand for the steps that need the connection.
    using TextStep = std::function<void(std::string&)>;
    static void rewriteDialectText(std::string& text, DatabaseFamily family,
                                   const TextStep& likeParameters, const TextStep& selectList);
    // Every select-list item naming one of `columns` rewritten where it
    // stands: DB2 CLOB columns become VARCHAR, PostgreSQL time columns text.
    // Redshift only traces.
    using TraceLine = std::function<void(const std::string&)>;
    static void rewriteSelectItems(
        std::string& text, const std::vector<MySQLImpersonatorConnection::ColumnType>& columns,
        bool db2, bool redshift, const TraceLine& trace);

    explicit MySQLImpersonatorStatement(Connection* connection);
    ~MySQLImpersonatorStatement() override;

    // Forwarding rule: "own, else inner" operations run on the Statement
    // base while the statement holds a recordset of its own.
    SQLRETURN freeStmt(SQLUSMALLINT option) override;
    SQLRETURN setStmtAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER stringLength) override;
    SQLRETURN getStmtAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER bufferLength,
                          SQLINTEGER* stringLength) override;
    // Record numbers above 3 give SQL_NO_DATA; own records while there are
    // any, else the inner statement's. The two are never merged.
    SQLRETURN getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                         SQLCHAR* message, SQLSMALLINT bufferLength,
                         SQLSMALLINT* textLength) override;
    SQLRETURN getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier, SQLPOINTER value,
                           SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) override;
    SQLRETURN error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength,
                    SQLSMALLINT* textLength) override;
    SQLRETURN colAttribute(SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER characterAttribute,
                           SQLSMALLINT bufferLength, SQLSMALLINT* stringLength,
                           SQLLEN* numericAttribute) override;
    // Reports the revised type (PostgreSQL text and time as SQL_VARCHAR,
    // the DB2 type map).
    SQLRETURN describeCol(SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT bufferLength,
                          SQLSMALLINT* nameLength, SQLSMALLINT* dataType, SQLULEN* columnSize,
                          SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) override;
    SQLRETURN bindCol(SQLUSMALLINT column, SQLSMALLINT valueType, SQLPOINTER value,
                      SQLLEN bufferLength, SQLLEN* lengthOrIndicator) override;
    SQLRETURN bindParameter(SQLUSMALLINT number, SQLSMALLINT inputOutputType, SQLSMALLINT valueType,
                            SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT decimalDigits,
                            SQLPOINTER value, SQLLEN bufferLength,
                            SQLLEN* lengthOrIndicator) override;

    // Execution: dispatch to the local answers, dialect rewriting, native run.
    SQLRETURN executeQuery(std::string text, SQLULEN parameterRow) override;
    SQLRETURN executeStatement(std::string& text) override;
    SQLRETURN execute() override;
    SQLRETURN cancel() override;
    SQLRETURN paramData(SQLPOINTER* value) override;
    SQLRETURN putData(SQLPOINTER data, SQLLEN length) override;
    SQLRETURN fetch() override;
    SQLRETURN fetchScroll(SQLSMALLINT orientation, SQLLEN offset) override;
    SQLRETURN extendedFetch(SQLUSMALLINT orientation, SQLLEN offset, SQLULEN* rowCount,
                            SQLUSMALLINT* rowStatus) override;
    SQLRETURN moreResults() override;
    SQLRETURN numResultCols(SQLSMALLINT* count) override;
    SQLRETURN rowCount(SQLLEN* count) override;
    SQLRETURN getData(SQLUSMALLINT column, SQLSMALLINT valueType, SQLPOINTER value,
                      SQLLEN bufferLength, SQLLEN* lengthOrIndicator) override;
    SQLRETURN prepare(const SQLCHAR* text, SQLINTEGER length) override;
    SQLRETURN describeParam(SQLUSMALLINT number, SQLSMALLINT* dataType, SQLULEN* parameterSize,
                            SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) override;
    SQLRETURN numParams(SQLSMALLINT* count) override;

    // Catalog functions, answered by the adapted driver inside a common
    // frame; SQLColumns builds MySQL-shaped rows of its own.
    SQLRETURN columnPrivileges(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                               const SQLCHAR* schema, SQLSMALLINT schemaLength,
                               const SQLCHAR* table, SQLSMALLINT tableLength, const SQLCHAR* column,
                               SQLSMALLINT columnLength) override;
    SQLRETURN columns(const SQLCHAR* catalog, SQLSMALLINT catalogLength, const SQLCHAR* schema,
                      SQLSMALLINT schemaLength, const SQLCHAR* table, SQLSMALLINT tableLength,
                      const SQLCHAR* column, SQLSMALLINT columnLength) override;
    SQLRETURN primaryKeys(const SQLCHAR* catalog, SQLSMALLINT catalogLength, const SQLCHAR* schema,
                          SQLSMALLINT schemaLength, const SQLCHAR* table,
                          SQLSMALLINT tableLength) override;
    SQLRETURN specialColumns(SQLUSMALLINT identifierType, const SQLCHAR* catalog,
                             SQLSMALLINT catalogLength, const SQLCHAR* schema,
                             SQLSMALLINT schemaLength, const SQLCHAR* table,
                             SQLSMALLINT tableLength, SQLUSMALLINT scope,
                             SQLUSMALLINT nullable) override;
    SQLRETURN statistics(const SQLCHAR* catalog, SQLSMALLINT catalogLength, const SQLCHAR* schema,
                         SQLSMALLINT schemaLength, const SQLCHAR* table, SQLSMALLINT tableLength,
                         SQLUSMALLINT unique, SQLUSMALLINT reserved) override;
    SQLRETURN tables(const SQLCHAR* catalog, SQLSMALLINT catalogLength, const SQLCHAR* schema,
                     SQLSMALLINT schemaLength, const SQLCHAR* table, SQLSMALLINT tableLength,
                     const SQLCHAR* tableType, SQLSMALLINT tableTypeLength) override;
    SQLRETURN closeCursor() override;

    // Runs a finished text on the inner statement, without rewriting.
    virtual SQLRETURN executeNativeQuery(const std::string& text);
    // The locally answered statements; describeTable takes the text after
    // "describe ".
    virtual SQLRETURN describeTable(const std::string& text);
    virtual SQLRETURN skipSetSqlMode(const std::string& mode);
    virtual SQLRETURN selectLastInsertId();
    // The DB2 type map; other sources keep their types.
    virtual SQLSMALLINT adjustColumnDataType(SQLSMALLINT dataType);

    Statement* innerStatement() const { return inner_.get(); }

  protected:
    // Releases a temporary statement: SQLFreeStmt(SQL_DROP), then delete.
    struct TemporaryRelease {
        void operator()(MySQLImpersonatorStatement* statement) const;
    };
    using TemporaryStatement = std::unique_ptr<MySQLImpersonatorStatement, TemporaryRelease>;

    MySQLImpersonatorConnection* impersonator() const;
    DatabaseFamily databaseFamily();
    bool hasOwnResult() const { return recordset_ != nullptr; }
    // A new statement of the same connection for the driver's own queries;
    // null when none could be made.
    TemporaryStatement makeTemporaryStatement();
    // After an inner call failed with `result`: re-posts its first record
    // under this driver's prefix (SQLSTATE 08S01 marks the connection lost)
    // and gives `result` back.
    SQLRETURN repostInnerError(SQLRETURN result);
    // The same with the first record `source` reads back (a temporary
    // statement whose failure ends a local answer).
    SQLRETURN repostFirstRecord(Statement& source, SQLRETURN result);
    // Clears the diagnostics; when the connection is lost posts 08S01 and
    // answers false.
    bool checkConnected();

    // Select-list rewriting and the DB2 LUW LIKE parameters (execution).
    void rewriteSelectList(std::string& text, DatabaseFamily family);
    void bindLikeParameters(std::string& text);
    void releaseLikeParameters();

    // Sets the three per-row arrays of every IRD record for a local answer.
    void allocateRowArrays();
    // Common first steps of describeTable and selectLastInsertId.
    void prepareLocalAnswer(const std::vector<std::string>& columnNames);

    std::unique_ptr<Statement> inner_;

  private:
    // Each file of the class keeps its own private helpers in its section;
    // only non-virtual members go here.

    // --- MySQLImpersonatorStatement.cpp ---
    // Clears the own diagnostics for a forwarded call; null, with 08S01
    // posted, when there is no inner statement.
    Statement* innerForCall();
    // A forwarded call: the inner statement's `operation`, SQL_ERROR when
    // there is none.
    template <typename... Params, typename... Args>
    SQLRETURN toInner(SQLRETURN (Statement::*operation)(Params...), Args... args);
    // "Own, else inner": `ownCall` (the Statement base) while the statement
    // holds a result of its own, else the inner statement's `operation`.
    template <typename OwnCall, typename... Params, typename... Args>
    SQLRETURN ownElseInner(OwnCall ownCall, SQLRETURN (Statement::*operation)(Params...),
                           Args... args);
    // Drops a result made here, with its description.
    void releaseOwnResult();
    // The text the inner statement was prepared with: what the query log
    // shows for each execution of it.
    std::string preparedText_;
    // Runs a call on both sides: the own side answers while it holds a
    // result, else the inner statement. The other side follows when the
    // answering one accepted the call, or always when `evenWhenRefused`.
    template <typename OwnCall, typename InnerCall>
    SQLRETURN onBothSides(OwnCall ownCall, InnerCall innerCall, bool evenWhenRefused);

    // --- MySQLImpersonatorStatementExecution.cpp ---
    // One DB2 LUW LIKE pattern bound as wide text for one execution.
    struct LikeParameter {
        std::vector<SQLWCHAR> value;
        SQLLEN length = 0;
    };
    std::vector<LikeParameter> likeParameters_;
    // The dialect rules of the adapted database, in their order.
    void rewriteForDatabase(std::string& text);
    // Fills the connection's column-type cache for a table through a
    // temporary statement's SQLColumns.
    void forceColumnTypeLoad(const std::string& schema, const std::string& table);

    // --- MySQLImpersonatorStatementCatalog.cpp ---
    // The frame of every catalog call: connection check, the connection's
    // receive encoding switched for the call, query log, inner errors
    // re-posted.
    template <typename InnerCall>
    SQLRETURN runCatalogFrame(const std::string& logText, InnerCall innerCall);
    // SQLColumns from the PostgreSQL catalog, with every pattern quoted.
    std::string postgresColumnsQuery(const std::string& schema, const std::string& table,
                                     const std::string& column, int majorVersion);
    // Reads the inner result into the own one; SQL_SUCCESS at its end.
    SQLRETURN copyColumnsRows(bool postgres);
    void copyColumnsRow(SQLSMALLINT innerColumns, bool postgres);
    void traceCatalog(const std::string& line) const;

    // --- MySQLImpersonatorStatementLocal.cpp ---
    // The columns of the table that count as auto-increment, by database.
    std::vector<std::string> identityColumns(const DescribedName& name);
    // On PostgreSQL, the schema of the table a SELECT of `name` reaches
    // (the first schema of the search path holding it, or the one named);
    // an empty schema when there is none. A failure comes with the
    // server's reason.
    SQLRETURN findOnSearchPath(DescribedName& name);
    // 42S02 for the table `shown`, as MySQL words it.
    SQLRETURN noSuchTable(const std::string& shown);
    // Runs an identity query on a temporary statement: column 1 names a
    // column; with `withKind`, only rows whose column 2 begins 'a' or 'd'.
    std::vector<std::string> collectIdentityColumns(std::string query, bool withKind);
    // The result of a local answer whose rows came from `source`: the end
    // of its rows is success; a failure comes with `source`'s reason.
    SQLRETURN endOfAnswer(Statement* source, SQLRETURN rc);
};
