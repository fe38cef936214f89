#include "driver/api/CatalogCalls.h"

#include <cstdio>
#include <exception>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

#include "driver/api/HandleCalls.h"
#include "driver/api/TraceWriter.h"
#include "driver/api/WideArguments.h"
#include "driver/core/Connection.h"
#include "driver/core/Statement.h"
#include "driver/core/TextEncoding.h"

namespace {

// How the wide forms turn their texts into the driver's 8-bit text.
enum class WideRule {
    Utf8,              // always UTF-8
    ByConnection,      // through Latin-1 unless the wide API or a UTF-8 send encoding
    LanguageEncoding,  // through Latin-1 when sending in the user's language encoding
};

// The separator SQLForeignKeys has always traced before its last text.
constexpr const char* kOddCast = ",(SQLCHAR *)  ";
// The table name among SQLColumnsW's texts.
constexpr int kTableText = 2;

struct NarrowText {
    const SQLCHAR* text;
    SQLSMALLINT length;
    const char* cast = ", (SQLCHAR *) ";
};

struct WideText {
    const SQLWCHAR* text;
    SQLSMALLINT length;
};

// An option argument of a call line and the renderer that names it.
struct Option {
    SQLUSMALLINT value;
    std::string (*render)(SQLINTEGER);
};

// A wide text argument as the operation receives it: 8-bit text, never
// null, and its length in bytes.
class ConvertedText {
  public:
    ConvertedText(const WideText& wide, bool viaLatin1) {
        // A positive length counts bytes, four to a character.
        const SQLINTEGER units = wideInputLength(
            wide.text, wide.length > 0 ? wide.length / kWideCharBytes : wide.length);
        SQLSMALLINT bytes = 0;
        text_ = viaLatin1 ? wideToUtf8ViaLatin1(wide.text, units, &bytes)
                          : wideToUtf8(wide.text, units, &bytes);
        // A length field that cannot count the whole text cuts it on a
        // whole character.
        if (text_.size() > static_cast<std::size_t>(bytes)) {
            text_.resize(wholeUtf8Length(std::string_view(text_).substr(0, bytes)));
        }
    }

    const SQLCHAR* data() const { return reinterpret_cast<const SQLCHAR*>(text_.c_str()); }
    SQLSMALLINT length() const { return static_cast<SQLSMALLINT>(text_.size()); }
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

using ConvertedTexts = std::vector<ConvertedText>;

bool readsThroughLatin1(WideRule rule, const Connection& connection) {
    switch (rule) {
        case WideRule::Utf8:
            return false;
        case WideRule::ByConnection:
            return !connection.isWideApi() && connection.sendEncoding() != kEncodingUtf8;
        case WideRule::LanguageEncoding:
            return !connection.isWideApi() &&
                   connection.sendEncoding() == connection.languageEncoding();
    }
    return false;
}

std::string options(std::initializer_list<Option> list) {
    std::string text;
    for (const Option& option : list) {
        text += ", " + option.render(option.value);
    }
    return text;
}

void traceEntry(Statement& statement, const char* function, SQLHSTMT handle,
                const std::string& arguments) {
    statement.writeTrace(traceEnterLine() + "\nrc = " + function + "(stmt" + tracePointer(handle) +
                         arguments + ");\n");
}

void traceExit(Statement& statement, SQLRETURN rc) {
    if (statement.isTracing()) {
        statement.writeTrace(traceExitLine(rc) + "\n");
    }
}

// A standard exception anywhere in a catalog call: the line on standard
// error and in the trace, and a record that says what failed.
SQLRETURN reportFailure(const char* function, Statement& statement,
                        const std::exception& exception) {
    std::fprintf(stderr, "ODBC Err: %s %s\n", function, exception.what());
    std::fflush(stderr);
    const bool outOfMemory = dynamic_cast<const std::bad_alloc*>(&exception) != nullptr;
    try {
        if (statement.isTracing()) {
            statement.writeTrace(std::string("ODBC Err: ") + function + " " + exception.what() +
                                 "\n");
        }
    } catch (...) {
        // The error line on standard error is written already.
    }
    try {
        statement.diagnostics().prependRecord(outOfMemory ? "HY001" : "HY000", 0, "", -1, -1);
    } catch (...) {
        // SQL_ERROR still tells the caller the call failed.
    }
    return SQL_ERROR;
}

template <typename Call>
SQLRETURN guarded(const char* function, SQLHSTMT handle, Call&& call) {
    if (handle == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& statement = *statementOf(handle);
    try {
        return call(statement);
    } catch (const std::exception& exception) {
        return reportFailure(function, statement, exception);
    }
}

template <typename Operation>
SQLRETURN runNarrow(const char* function, SQLHSTMT handle, std::initializer_list<Option> before,
                    std::initializer_list<NarrowText> texts, std::initializer_list<Option> after,
                    Operation&& operation) {
    return guarded(function, handle, [&](Statement& statement) {
        if (statement.isTracing()) {
            std::string arguments = options(before);
            for (const NarrowText& text : texts) {
                // Never read past the length the caller gave.
                arguments += text.cast + traceString(text.text, text.length) + ", " +
                             traceLength(text.length);
            }
            traceEntry(statement, function, handle, arguments + options(after));
        }
        const SQLRETURN rc = operation(statement);
        traceExit(statement, rc);
        return rc;
    });
}

template <typename Operation>
SQLRETURN runWide(const char* function, SQLHSTMT handle, WideRule rule,
                  std::initializer_list<Option> before, std::initializer_list<WideText> texts,
                  std::initializer_list<Option> after, Operation&& operation,
                  int tracedTable = -1) {
    return guarded(function, handle, [&](Statement& statement) {
        const bool viaLatin1 = readsThroughLatin1(rule, *statement.connection());
        ConvertedTexts converted;
        converted.reserve(texts.size());
        for (const WideText& text : texts) {
            converted.emplace_back(text, viaLatin1);
        }
        if (statement.isTracing()) {
            if (viaLatin1 && tracedTable >= 0) {
                statement.writeTrace("// converted tableName: " + converted[tracedTable].text() +
                                     "\n");
            }
            std::string arguments = options(before);
            for (const ConvertedText& text : converted) {
                arguments += ", (SQLTCHAR *) _T(" + traceString(text.text().c_str()) + "), " +
                             traceLength(text.length());
            }
            traceEntry(statement, function, handle, arguments + options(after));
        }
        const SQLRETURN rc = operation(statement, converted);
        traceExit(statement, rc);
        return rc;
    });
}

}  // namespace

namespace calls {

SQLRETURN columnPrivileges(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                           SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,
                           SQLSMALLINT tableLength, SQLCHAR* column, SQLSMALLINT columnLength) {
    return runNarrow("SQLColumnPrivileges", statement, {},
                     {{catalog, catalogLength},
                      {schema, schemaLength},
                      {table, tableLength},
                      {column, columnLength}},
                     {}, [&](Statement& s) {
                         return s.columnPrivileges(catalog, catalogLength, schema, schemaLength,
                                                   table, tableLength, column, columnLength);
                     });
}

SQLRETURN columnPrivilegesW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                            SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                            SQLSMALLINT tableLength, SQLWCHAR* column, SQLSMALLINT columnLength) {
    return runWide("SQLColumnPrivilegesW", statement, WideRule::Utf8, {},
                   {{catalog, catalogLength},
                    {schema, schemaLength},
                    {table, tableLength},
                    {column, columnLength}},
                   {}, [&](Statement& s, const ConvertedTexts& t) {
                       return s.columnPrivileges(t[0].data(), t[0].length(), t[1].data(),
                                                 t[1].length(), t[2].data(), t[2].length(),
                                                 t[3].data(), t[3].length());
                   });
}

SQLRETURN columns(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,
                  SQLSMALLINT schemaLength, SQLCHAR* table, SQLSMALLINT tableLength,
                  SQLCHAR* column, SQLSMALLINT columnLength) {
    return runNarrow("SQLColumns", statement, {},
                     {{catalog, catalogLength},
                      {schema, schemaLength},
                      {table, tableLength},
                      {column, columnLength}},
                     {}, [&](Statement& s) {
                         return s.columns(catalog, catalogLength, schema, schemaLength, table,
                                          tableLength, column, columnLength);
                     });
}

SQLRETURN columnsW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                   SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                   SQLSMALLINT tableLength, SQLWCHAR* column, SQLSMALLINT columnLength) {
    return runWide(
        "SQLColumnsW", statement, WideRule::ByConnection, {},
        {{catalog, catalogLength},
         {schema, schemaLength},
         {table, tableLength},
         {column, columnLength}},
        {},
        [&](Statement& s, const ConvertedTexts& t) {
            return s.columns(t[0].data(), t[0].length(), t[1].data(), t[1].length(), t[2].data(),
                             t[2].length(), t[3].data(), t[3].length());
        },
        kTableText);
}

SQLRETURN foreignKeys(SQLHSTMT statement, SQLCHAR* pkCatalog, SQLSMALLINT pkCatalogLength,
                      SQLCHAR* pkSchema, SQLSMALLINT pkSchemaLength, SQLCHAR* pkTable,
                      SQLSMALLINT pkTableLength, SQLCHAR* fkCatalog, SQLSMALLINT fkCatalogLength,
                      SQLCHAR* fkSchema, SQLSMALLINT fkSchemaLength, SQLCHAR* fkTable,
                      SQLSMALLINT fkTableLength) {
    return runNarrow("SQLForeignKeys", statement, {},
                     {{pkCatalog, pkCatalogLength},
                      {pkSchema, pkSchemaLength},
                      {pkTable, pkTableLength},
                      {fkCatalog, fkCatalogLength},
                      {fkSchema, fkSchemaLength},
                      {fkTable, fkTableLength, kOddCast}},
                     {}, [&](Statement& s) {
                         return s.foreignKeys(pkCatalog, pkCatalogLength, pkSchema, pkSchemaLength,
                                              pkTable, pkTableLength, fkCatalog, fkCatalogLength,
                                              fkSchema, fkSchemaLength, fkTable, fkTableLength);
                     });
}

SQLRETURN foreignKeysW(SQLHSTMT statement, SQLWCHAR* pkCatalog, SQLSMALLINT pkCatalogLength,
                       SQLWCHAR* pkSchema, SQLSMALLINT pkSchemaLength, SQLWCHAR* pkTable,
                       SQLSMALLINT pkTableLength, SQLWCHAR* fkCatalog, SQLSMALLINT fkCatalogLength,
                       SQLWCHAR* fkSchema, SQLSMALLINT fkSchemaLength, SQLWCHAR* fkTable,
                       SQLSMALLINT fkTableLength) {
    return runWide("SQLForeignKeysW", statement, WideRule::Utf8, {},
                   {{pkCatalog, pkCatalogLength},
                    {pkSchema, pkSchemaLength},
                    {pkTable, pkTableLength},
                    {fkCatalog, fkCatalogLength},
                    {fkSchema, fkSchemaLength},
                    {fkTable, fkTableLength}},
                   {}, [&](Statement& s, const ConvertedTexts& t) {
                       return s.foreignKeys(t[0].data(), t[0].length(), t[1].data(), t[1].length(),
                                            t[2].data(), t[2].length(), t[3].data(), t[3].length(),
                                            t[4].data(), t[4].length(), t[5].data(), t[5].length());
                   });
}

SQLRETURN primaryKeys(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                      SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,
                      SQLSMALLINT tableLength) {
    return runNarrow("SQLPrimaryKeys", statement, {},
                     {{catalog, catalogLength}, {schema, schemaLength}, {table, tableLength}}, {},
                     [&](Statement& s) {
                         return s.primaryKeys(catalog, catalogLength, schema, schemaLength, table,
                                              tableLength);
                     });
}

SQLRETURN primaryKeysW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                       SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                       SQLSMALLINT tableLength) {
    return runWide("SQLPrimaryKeysW", statement, WideRule::ByConnection, {},
                   {{catalog, catalogLength}, {schema, schemaLength}, {table, tableLength}}, {},
                   [&](Statement& s, const ConvertedTexts& t) {
                       return s.primaryKeys(t[0].data(), t[0].length(), t[1].data(), t[1].length(),
                                            t[2].data(), t[2].length());
                   });
}

SQLRETURN procedureColumns(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                           SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* procedure,
                           SQLSMALLINT procedureLength, SQLCHAR* column, SQLSMALLINT columnLength) {
    return runNarrow("SQLProcedureColumns", statement, {},
                     {{catalog, catalogLength},
                      {schema, schemaLength},
                      {procedure, procedureLength},
                      {column, columnLength}},
                     {}, [&](Statement& s) {
                         return s.procedureColumns(catalog, catalogLength, schema, schemaLength,
                                                   procedure, procedureLength, column,
                                                   columnLength);
                     });
}

SQLRETURN procedureColumnsW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                            SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* procedure,
                            SQLSMALLINT procedureLength, SQLWCHAR* column,
                            SQLSMALLINT columnLength) {
    return runWide("SQLProcedureColumnsW", statement, WideRule::Utf8, {},
                   {{catalog, catalogLength},
                    {schema, schemaLength},
                    {procedure, procedureLength},
                    {column, columnLength}},
                   {}, [&](Statement& s, const ConvertedTexts& t) {
                       return s.procedureColumns(t[0].data(), t[0].length(), t[1].data(),
                                                 t[1].length(), t[2].data(), t[2].length(),
                                                 t[3].data(), t[3].length());
                   });
}

SQLRETURN procedures(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                     SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* procedure,
                     SQLSMALLINT procedureLength) {
    return runNarrow(
        "SQLProcedures", statement, {},
        {{catalog, catalogLength}, {schema, schemaLength}, {procedure, procedureLength}}, {},
        [&](Statement& s) {
            return s.procedures(catalog, catalogLength, schema, schemaLength, procedure,
                                procedureLength);
        });
}

SQLRETURN proceduresW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                      SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* procedure,
                      SQLSMALLINT procedureLength) {
    return runWide("SQLProceduresW", statement, WideRule::Utf8, {},
                   {{catalog, catalogLength}, {schema, schemaLength}, {procedure, procedureLength}},
                   {}, [&](Statement& s, const ConvertedTexts& t) {
                       return s.procedures(t[0].data(), t[0].length(), t[1].data(), t[1].length(),
                                           t[2].data(), t[2].length());
                   });
}

SQLRETURN specialColumns(SQLHSTMT statement, SQLUSMALLINT identifierType, SQLCHAR* catalog,
                         SQLSMALLINT catalogLength, SQLCHAR* schema, SQLSMALLINT schemaLength,
                         SQLCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT scope,
                         SQLUSMALLINT nullable) {
    return runNarrow("SQLSpecialColumns", statement, {{identifierType, &traceIdentifierType}},
                     {{catalog, catalogLength}, {schema, schemaLength}, {table, tableLength}},
                     {{scope, &traceScope}, {nullable, &traceNullable}}, [&](Statement& s) {
                         return s.specialColumns(identifierType, catalog, catalogLength, schema,
                                                 schemaLength, table, tableLength, scope, nullable);
                     });
}

SQLRETURN specialColumnsW(SQLHSTMT statement, SQLUSMALLINT identifierType, SQLWCHAR* catalog,
                          SQLSMALLINT catalogLength, SQLWCHAR* schema, SQLSMALLINT schemaLength,
                          SQLWCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT scope,
                          SQLUSMALLINT nullable) {
    return runWide("SQLSpecialColumnsW", statement, WideRule::ByConnection,
                   {{identifierType, &traceIdentifierType}},
                   {{catalog, catalogLength}, {schema, schemaLength}, {table, tableLength}},
                   {{scope, &traceScope}, {nullable, &traceNullable}},
                   [&](Statement& s, const ConvertedTexts& t) {
                       return s.specialColumns(identifierType, t[0].data(), t[0].length(),
                                               t[1].data(), t[1].length(), t[2].data(),
                                               t[2].length(), scope, nullable);
                   });
}

SQLRETURN statistics(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                     SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,
                     SQLSMALLINT tableLength, SQLUSMALLINT unique, SQLUSMALLINT reserved) {
    return runNarrow("SQLStatistics", statement, {},
                     {{catalog, catalogLength}, {schema, schemaLength}, {table, tableLength}},
                     {{unique, &traceUnique}, {reserved, &traceAccuracy}}, [&](Statement& s) {
                         return s.statistics(catalog, catalogLength, schema, schemaLength, table,
                                             tableLength, unique, reserved);
                     });
}

SQLRETURN statisticsW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                      SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                      SQLSMALLINT tableLength, SQLUSMALLINT unique, SQLUSMALLINT reserved) {
    return runWide("SQLStatisticsW", statement, WideRule::ByConnection, {},
                   {{catalog, catalogLength}, {schema, schemaLength}, {table, tableLength}},
                   {{unique, &traceUnique}, {reserved, &traceAccuracy}},
                   [&](Statement& s, const ConvertedTexts& t) {
                       return s.statistics(t[0].data(), t[0].length(), t[1].data(), t[1].length(),
                                           t[2].data(), t[2].length(), unique, reserved);
                   });
}

SQLRETURN tablePrivileges(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                          SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,
                          SQLSMALLINT tableLength) {
    return runNarrow("SQLTablePrivileges", statement, {},
                     {{catalog, catalogLength}, {schema, schemaLength}, {table, tableLength}}, {},
                     [&](Statement& s) {
                         return s.tablePrivileges(catalog, catalogLength, schema, schemaLength,
                                                  table, tableLength);
                     });
}

SQLRETURN tablePrivilegesW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                           SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                           SQLSMALLINT tableLength) {
    return runWide("SQLTablePrivilegesW", statement, WideRule::Utf8, {},
                   {{catalog, catalogLength}, {schema, schemaLength}, {table, tableLength}}, {},
                   [&](Statement& s, const ConvertedTexts& t) {
                       return s.tablePrivileges(t[0].data(), t[0].length(), t[1].data(),
                                                t[1].length(), t[2].data(), t[2].length());
                   });
}

SQLRETURN tables(SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,
                 SQLSMALLINT schemaLength, SQLCHAR* table, SQLSMALLINT tableLength,
                 SQLCHAR* tableType, SQLSMALLINT tableTypeLength) {
    return runNarrow("SQLTables", statement, {},
                     {{catalog, catalogLength},
                      {schema, schemaLength},
                      {table, tableLength},
                      {tableType, tableTypeLength}},
                     {}, [&](Statement& s) {
                         return s.tables(catalog, catalogLength, schema, schemaLength, table,
                                         tableLength, tableType, tableTypeLength);
                     });
}

SQLRETURN tablesW(SQLHSTMT statement, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                  SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                  SQLSMALLINT tableLength, SQLWCHAR* tableType, SQLSMALLINT tableTypeLength) {
    return runWide("SQLTablesW", statement, WideRule::LanguageEncoding, {},
                   {{catalog, catalogLength},
                    {schema, schemaLength},
                    {table, tableLength},
                    {tableType, tableTypeLength}},
                   {}, [&](Statement& s, const ConvertedTexts& t) {
                       return s.tables(t[0].data(), t[0].length(), t[1].data(), t[1].length(),
                                       t[2].data(), t[2].length(), t[3].data(), t[3].length());
                   });
}

}  // namespace calls
