// Entries of the driver bundle that a driver manager looks up by name for
// setup and prompting.
#include <sql.h>
#include <sqlext.h>
#include <odbcinst.h>

#include "driver/api/ExportMacros.h"
#include "driver/setup/LoginDialbox.h"
#include "platform/SystemLog.h"

// `size` counts wide characters. The completion mode and the other
// arguments a driver manager passes are not read.
MORVANEX_EXPORT SQLRETURN SQL_API _iodbcdm_drvconn_dialboxw(HWND, LPWSTR text, DWORD size, int*,
                                                            SQLUSMALLINT, UWORD*) {
    try {
        return static_cast<SQLRETURN>(LoginDialbox::run(text, size));
    } catch (...) {
        SystemLog::error("Login prompt failed");
        return SQL_ERROR;
    }
}
