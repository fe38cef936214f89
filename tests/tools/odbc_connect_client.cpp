// An ODBC application for the driver-manager tests: allocates its handles
// through iODBC, sets attributes before connecting, connects in the way the
// arguments ask and prints each step's return code and diagnostics.
//
//   odbc_connect_client connect DSN USER PASSWORD
//   odbc_connect_client driverconnect CONNECTION-STRING [ATTRIBUTE|asuser]
// connects again after setting the driver's ATTRIBUTE to 1, or after a first as the real user.
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void printDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {};
        SQLCHAR message[512] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, record, state, &native, message,
                                         sizeof message, &length))) {
            return;
        }
        std::printf("diag %s %s\n", reinterpret_cast<char*>(state),
                    reinterpret_cast<char*>(message));
    }
}

SQLRETURN report(const char* step, SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle) {
    std::printf("%s rc=%d\n", step, static_cast<int>(rc));
    if (rc != SQL_SUCCESS) {
        printDiagnostics(type, handle);
    }
    return rc;
}

SQLCHAR* text(const char* value) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(value));
}

int usage() {
    std::fprintf(stderr,
                 "usage: odbc_connect_client connect DSN USER PASSWORD\n"
                 "       odbc_connect_client driverconnect CONNECTION-STRING [ATTRIBUTE|asuser]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const bool plain = argc == 5 && std::strcmp(argv[1], "connect") == 0;
    const bool driver = (argc == 3 || argc == 4) && std::strcmp(argv[1], "driverconnect") == 0;
    if (!plain && !driver) {
        return usage();
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // a sanitizer's exit report flushes nothing
    const bool asUser = argc == 4 && std::strcmp(argv[3], "asuser") == 0;
    const uid_t owner = geteuid();
    if (asUser && seteuid(getuid()) != 0) {
        return 1;
    }
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(report("SQLAllocHandle(ENV)",
                              SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_HANDLE_ENV,
                              env))) {
        return 1;
    }
    report("SQLSetEnvAttr",
           SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
           SQL_HANDLE_ENV, env);
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(report("SQLAllocHandle(DBC)", SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc),
                              SQL_HANDLE_ENV, env))) {
        return 1;
    }
    // Set before the driver is even loaded: the driver manager hands them
    // on when it connects.
    report("SQLSetConnectAttr(LOGIN_TIMEOUT)",
           SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(7), 0),
           SQL_HANDLE_DBC, dbc);
    report("SQLSetConnectAttr(AUTOCOMMIT)",
           SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                             reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
           SQL_HANDLE_DBC, dbc);

    SQLRETURN rc = SQL_ERROR;
    if (plain) {
        rc =
            SQLConnect(dbc, text(argv[2]), SQL_NTS, text(argv[3]), SQL_NTS, text(argv[4]), SQL_NTS);
        report("SQLConnect", rc, SQL_HANDLE_DBC, dbc);
    }
    for (int pass = 0; driver && pass < argc - 2; ++pass) {
        if (pass == 1 && !asUser) {
            report("SQLSetConnectAttr(ATTRIBUTE)",
                   SQLSetConnectAttr(dbc, std::atoi(argv[3]), reinterpret_cast<SQLPOINTER>(1), 0),
                   SQL_HANDLE_DBC, dbc);
        }
        if (pass == 1) {
            report("SQLDisconnect", SQLDisconnect(dbc), SQL_HANDLE_DBC, dbc);
            std::printf("seteuid rc=%d\n", seteuid(owner));
        }
        SQLCHAR out[1024] = {};
        SQLSMALLINT length = 0;
        rc = SQLDriverConnect(dbc, nullptr, text(argv[2]), SQL_NTS, out, sizeof out, &length,
                              SQL_DRIVER_NOPROMPT);
        report("SQLDriverConnect", rc, SQL_HANDLE_DBC, dbc);
    }
    if (SQL_SUCCEEDED(rc)) {
        report("SQLDisconnect", SQLDisconnect(dbc), SQL_HANDLE_DBC, dbc);
    }
    report("SQLFreeHandle(DBC)", SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQL_HANDLE_DBC, dbc);
    report("SQLFreeHandle(ENV)", SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_HANDLE_ENV, env);
    return 0;
}
