// The setup entry the installer's SQLConfigDataSourceW calls.
#include "driver/api/ExportMacros.h"
#include "driver/setup/ConfigDsn.h"
#include "driver/setup/ConnectionTest.h"

namespace {

// The wizard's connection test calls this module's own entry points: the
// module is linked with -Bsymbolic-functions, so these addresses are ours
// even in a host that linked a driver manager.
const DriverCalls& ownDriverCalls() {
    static const DriverCalls calls{&::SQLAllocHandle, &::SQLSetEnvAttr, &::SQLDriverConnect,
                                   &::SQLGetDiagRec,  &::SQLGetInfo,    &::SQLDisconnect,
                                   &::SQLFreeHandle};
    return calls;
}

}  // namespace

MORVANEX_EXPORT BOOL INSTAPI ConfigDSNW(HWND, WORD request, LPCWSTR driver, LPCWSTR attributes) {
    return ConfigDsn::guarded([&] {
        const auto dialogs = SetupDialogs::forHost(ownDriverCalls());
        return ConfigDsn(*dialogs).run(request, driver, attributes);
    });
}
