// The bridge benchmark's client, linked with iODBC's driver manager: runs
// one workload through a connection string and prints one line
//   WORKLOAD UNITS SECONDS
// where SECONDS is the wall time of the measured part only. Under callgrind
// (--collect-atstart=no --toggle-collect=bench_measured) instructions are
// collected inside bench_measured alone: setup, warm-up and the statement
// that opens a fetched result stay outside.
//
//   odbc_bench CONNECTION-STRING WORKLOAD UNITS TABLE [HEAP-OFFSET]
//
// HEAP-OFFSET bytes are taken from the heap before anything else: every
// later block moves by as much. Instruction counts depend a little on where
// blocks land (a string compare costs more next to the end of a page), so
// the benchmark runs each path at a few offsets and keeps the median.
//
// Workloads: fetch-bound, fetch-getdata (UNITS rows of TABLE_rows),
// select-key, insert (UNITS statements on TABLE_rows, keys 1 to 100, and
// TABLE_ins), connect
// (UNITS connects and disconnects).
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Session {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    std::string connection;
    std::string table;
    long units = 0;
};

[[noreturn]] void fail(const char* what, SQLSMALLINT type, SQLHANDLE handle) {
    std::fprintf(stderr, "odbc_bench: %s failed\n", what);
    SQLCHAR state[6] = {};
    SQLCHAR message[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (handle != SQL_NULL_HANDLE &&
        SQL_SUCCEEDED(
            SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length))) {
        std::fprintf(stderr, "  [%s] %s\n", reinterpret_cast<char*>(state),
                     reinterpret_cast<char*>(message));
    }
    std::exit(1);
}

void check(SQLRETURN rc, const char* what, SQLSMALLINT type, SQLHANDLE handle) {
    if (!SQL_SUCCEEDED(rc)) {
        fail(what, type, handle);
    }
}

SQLCHAR* text(const std::string& value) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(value.c_str()));
}

void connect(Session& s) {
    check(SQLAllocHandle(SQL_HANDLE_DBC, s.env, &s.dbc), "SQLAllocHandle(DBC)", SQL_HANDLE_ENV,
          s.env);
    SQLCHAR out[1024] = {};
    SQLSMALLINT length = 0;
    check(SQLDriverConnect(s.dbc, nullptr, text(s.connection), SQL_NTS, out, sizeof out, &length,
                           SQL_DRIVER_NOPROMPT),
          "SQLDriverConnect", SQL_HANDLE_DBC, s.dbc);
}

void disconnect(Session& s) {
    SQLDisconnect(s.dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, s.dbc);
    s.dbc = SQL_NULL_HDBC;
}

void execDirect(Session& s, const std::string& sql) {
    check(SQLExecDirect(s.stmt, text(sql), SQL_NTS), sql.c_str(), SQL_HANDLE_STMT, s.stmt);
}

std::string rowsQuery(const Session& s) {
    return "SELECT id, name, amount FROM " + s.table +
           "_rows WHERE id <= " + std::to_string(s.units) + " ORDER BY id";
}

// One SELECT by key: executed, its row fetched with bound columns, closed.
void selectByKey(Session& s, long key) {
    SQLINTEGER id = 0;
    char name[48];
    SQLLEN idLength = 0;
    SQLLEN nameLength = 0;
    execDirect(s, "SELECT id, name FROM " + s.table + "_rows WHERE id = " + std::to_string(key));
    SQLBindCol(s.stmt, 1, SQL_C_SLONG, &id, 0, &idLength);
    SQLBindCol(s.stmt, 2, SQL_C_CHAR, name, sizeof name, &nameLength);
    check(SQLFetch(s.stmt), "SQLFetch", SQL_HANDLE_STMT, s.stmt);
    SQLCloseCursor(s.stmt);
    SQLFreeStmt(s.stmt, SQL_UNBIND);
}

void insertRow(Session& s, long key) {
    execDirect(s, "INSERT INTO " + s.table + "_ins (id, name) VALUES (" + std::to_string(key) +
                      ", 'row " + std::to_string(key) + "')");
}

// Fetches the open result to its end; returns the rows read.
long fetchBound(Session& s) {
    SQLINTEGER id = 0;
    char name[48];
    double amount = 0;
    SQLLEN lengths[3] = {};
    SQLBindCol(s.stmt, 1, SQL_C_SLONG, &id, 0, &lengths[0]);
    SQLBindCol(s.stmt, 2, SQL_C_CHAR, name, sizeof name, &lengths[1]);
    SQLBindCol(s.stmt, 3, SQL_C_DOUBLE, &amount, 0, &lengths[2]);
    long rows = 0;
    SQLRETURN rc;
    while (SQL_SUCCEEDED(rc = SQLFetch(s.stmt))) {
        ++rows;
    }
    return rc == SQL_NO_DATA ? rows : -1;
}

long fetchGetData(Session& s) {
    long rows = 0;
    SQLRETURN rc;
    while (SQL_SUCCEEDED(rc = SQLFetch(s.stmt))) {
        SQLINTEGER id = 0;
        char name[48];
        double amount = 0;
        SQLLEN length = 0;
        SQLGetData(s.stmt, 1, SQL_C_SLONG, &id, 0, &length);
        SQLGetData(s.stmt, 2, SQL_C_CHAR, name, sizeof name, &length);
        SQLGetData(s.stmt, 3, SQL_C_DOUBLE, &amount, 0, &length);
        ++rows;
    }
    return rc == SQL_NO_DATA ? rows : -1;
}

enum class Workload { FetchBound, FetchGetData, SelectKey, Insert, Connect };

}  // namespace

// The measured part, kept out of line so that callgrind can toggle on it.
extern "C" __attribute__((noinline)) long bench_measured(Session* s, Workload workload) {
    switch (workload) {
        case Workload::FetchBound:
            return fetchBound(*s);
        case Workload::FetchGetData:
            return fetchGetData(*s);
        case Workload::SelectKey:
            for (long i = 0; i < s->units; ++i) {
                selectByKey(*s, 1 + i % 100);
            }
            return s->units;
        case Workload::Insert:
            for (long i = 0; i < s->units; ++i) {
                insertRow(*s, i);
            }
            return s->units;
        case Workload::Connect:
            for (long i = 0; i < s->units; ++i) {
                connect(*s);
                disconnect(*s);
            }
            return s->units;
    }
    return -1;
}

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr,
                     "usage: odbc_bench CONNECTION-STRING WORKLOAD UNITS TABLE [HEAP-OFFSET]\n");
        return 2;
    }
    // Kept in a volatile until the end, so that the block is really taken.
    static void* volatile heapOffset = nullptr;
    if (const long offset = argc == 6 ? std::atol(argv[5]) : 0; offset > 0) {
        heapOffset = std::malloc(static_cast<std::size_t>(offset));
    }
    Session s;
    s.connection = argv[1];
    const std::string name = argv[2];
    s.units = std::atol(argv[3]);
    s.table = argv[4];
    static const struct {
        const char* name;
        Workload workload;
    } kWorkloads[] = {{"fetch-bound", Workload::FetchBound},
                      {"fetch-getdata", Workload::FetchGetData},
                      {"select-key", Workload::SelectKey},
                      {"insert", Workload::Insert},
                      {"connect", Workload::Connect}};
    const auto* found = std::find_if(std::begin(kWorkloads), std::end(kWorkloads),
                                     [&](const auto& w) { return name == w.name; });
    if (found == std::end(kWorkloads) || s.units <= 0) {
        std::fprintf(stderr, "odbc_bench: unknown workload %s or bad count\n", name.c_str());
        return 2;
    }
    const Workload workload = found->workload;

    check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &s.env), "SQLAllocHandle(ENV)",
          SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(s.env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    // Warm-up: the first connect loads the drivers, the first statement
    // fills caches on every side.
    connect(s);
    check(SQLAllocHandle(SQL_HANDLE_STMT, s.dbc, &s.stmt), "SQLAllocHandle(STMT)", SQL_HANDLE_DBC,
          s.dbc);
    if (workload == Workload::Connect) {
        SQLFreeHandle(SQL_HANDLE_STMT, s.stmt);
        s.stmt = SQL_NULL_HSTMT;
        disconnect(s);
    } else {
        selectByKey(s, 1);
    }
    if (workload == Workload::FetchBound || workload == Workload::FetchGetData) {
        execDirect(s, rowsQuery(s));
    }

    const auto start = std::chrono::steady_clock::now();
    const long done = bench_measured(&s, workload);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (done != s.units) {
        std::fprintf(stderr, "odbc_bench: %s did %ld units of %ld\n", name.c_str(), done, s.units);
        return 1;
    }
    std::printf("%s %ld %.6f\n", name.c_str(), done, elapsed.count());

    if (s.stmt != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, s.stmt);
        disconnect(s);
    }
    SQLFreeHandle(SQL_HANDLE_ENV, s.env);
    std::free(heapOffset);
    return 0;
}
