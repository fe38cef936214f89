// A small ODBC application linked with iODBC's driver manager: connects
// with a connection string, tells which DBMS the driver says it is, runs
// each statement in turn and prints its result as a table (or the rows it
// changed). Stops at the first statement that fails, with status 1.
//
//   odbc_sql_client CONNECTION-STRING STATEMENT...
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

using Cell = std::optional<std::string>;

void printDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {};
        SQLCHAR message[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, record, state, &native, message,
                                         sizeof message, &length))) {
            return;
        }
        std::printf("  [%s] %s\n", reinterpret_cast<char*>(state),
                    reinterpret_cast<char*>(message));
    }
}

SQLCHAR* text(const std::string& value) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(value.c_str()));
}

std::string infoText(SQLHDBC dbc, SQLUSMALLINT item) {
    char buffer[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, item, buffer, sizeof buffer, &length))) {
        return "?";
    }
    return buffer;
}

// The whole value of one column, read in pieces; nullopt for NULL.
std::optional<Cell> readCell(SQLHSTMT stmt, SQLUSMALLINT column) {
    std::string value;
    char piece[512];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_CHAR, piece, sizeof piece, &indicator);
        if (rc == SQL_NO_DATA) {
            return Cell(value);
        }
        if (!SQL_SUCCEEDED(rc)) {
            return std::nullopt;
        }
        if (indicator == SQL_NULL_DATA) {
            return Cell();
        }
        const bool whole = rc == SQL_SUCCESS;
        const std::size_t room = sizeof piece - 1;
        const std::size_t got =
            indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room
                ? room
                : static_cast<std::size_t>(indicator);
        value.append(piece, got);
        if (whole) {
            return Cell(value);
        }
    }
}

void printTable(const std::vector<std::string>& names, const std::vector<std::vector<Cell>>& rows) {
    std::vector<std::size_t> widths;
    for (const std::string& name : names) {
        widths.push_back(name.size());
    }
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i] ? row[i]->size() : 4);
        }
    }
    // Cells padded to their column's width, " | " between them; the last
    // cell is not padded.
    const auto line = [&](const std::vector<Cell>& cells) {
        std::string out = "  ";
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::string value = cells[i] ? *cells[i] : "NULL";
            out += value;
            if (i + 1 < cells.size()) {
                out += std::string(widths[i] - value.size(), ' ') + " | ";
            }
        }
        std::printf("%s\n", out.c_str());
    };
    line(std::vector<Cell>(names.begin(), names.end()));
    std::string rule = "  ";
    for (std::size_t i = 0; i < widths.size(); ++i) {
        rule += std::string(widths[i], '-') + (i + 1 < widths.size() ? "-+-" : "");
    }
    std::printf("%s\n", rule.c_str());
    for (const auto& row : rows) {
        line(row);
    }
    std::printf("  (%zu row%s)\n", rows.size(), rows.size() == 1 ? "" : "s");
}

// Prints what a successful statement produced; false when reading failed.
bool printResult(SQLHSTMT stmt) {
    SQLSMALLINT columns = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt, &columns))) {
        printDiagnostics(SQL_HANDLE_STMT, stmt);
        return false;
    }
    if (columns <= 0) {
        SQLLEN count = 0;
        SQLRowCount(stmt, &count);
        std::printf("  rows affected: %ld\n", static_cast<long>(count));
        return true;
    }
    std::vector<std::string> names;
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
        SQLCHAR name[256] = {};
        SQLSMALLINT length = 0;
        SQLDescribeCol(stmt, c, name, sizeof name, &length, nullptr, nullptr, nullptr, nullptr);
        names.emplace_back(reinterpret_cast<char*>(name));
    }
    std::vector<std::vector<Cell>> rows;
    SQLRETURN rc = SQL_SUCCESS;
    while (SQL_SUCCEEDED(rc = SQLFetch(stmt))) {
        std::vector<Cell> row;
        for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
            const std::optional<Cell> cell = readCell(stmt, c);
            if (!cell) {
                printDiagnostics(SQL_HANDLE_STMT, stmt);
                return false;
            }
            row.push_back(*cell);
        }
        rows.push_back(std::move(row));
    }
    if (rc != SQL_NO_DATA) {
        printDiagnostics(SQL_HANDLE_STMT, stmt);
        return false;
    }
    printTable(names, rows);
    return true;
}

bool runStatement(SQLHDBC dbc, const std::string& sql) {
    std::printf("\nmysql> %s\n", sql.c_str());
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) {
        printDiagnostics(SQL_HANDLE_DBC, dbc);
        return false;
    }
    const SQLRETURN rc = SQLExecDirect(stmt, text(sql), SQL_NTS);
    bool ok = SQL_SUCCEEDED(rc);
    if (!ok) {
        std::printf("  failed (rc=%d)\n", static_cast<int>(rc));
        printDiagnostics(SQL_HANDLE_STMT, stmt);
    } else {
        ok = printResult(stmt);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: odbc_sql_client CONNECTION-STRING STATEMENT...\n");
        return 2;
    }
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)) ||
        !SQL_SUCCEEDED(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)) ||
        !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
        std::fprintf(stderr, "cannot allocate ODBC handles\n");
        return 1;
    }
    int status = 0;
    SQLCHAR out[1024] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLDriverConnect(dbc, nullptr, text(argv[1]), SQL_NTS, out, sizeof out,
                                          &length, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        std::printf("connect failed (rc=%d)\n", static_cast<int>(rc));
        printDiagnostics(SQL_HANDLE_DBC, dbc);
        status = 1;
    } else {
        std::printf("connected: the driver %s presents %s %s\n",
                    infoText(dbc, SQL_DRIVER_NAME).c_str(), infoText(dbc, SQL_DBMS_NAME).c_str(),
                    infoText(dbc, SQL_DBMS_VER).c_str());
        for (int i = 2; i < argc && status == 0; ++i) {
            if (!runStatement(dbc, argv[i])) {
                status = 1;
            }
        }
        SQLDisconnect(dbc);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return status;
}
