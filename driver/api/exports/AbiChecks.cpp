// Facts about the driver-manager ABI that the whole driver relies on.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

static_assert(sizeof(SQLWCHAR) == 4, "the driver is built for iODBC's 32-bit wide characters");
static_assert(sizeof(SQLWCHAR) == sizeof(wchar_t), "SQLWCHAR must be the platform wchar_t");
static_assert(sizeof(SQLLEN) == 8, "64-bit SQLLEN expected");
