// Names of installer routines that some hosts and driver managers look up in
// a driver or setup library. They do no work: each ignores whatever its
// caller passes (none reads an argument, so any argument list is safe with
// the C calling convention) and answers a constant; only InstallODBC reports
// failure, since the driver never installs the driver manager itself.
#include "driver/api/ExportMacros.h"

#define MORVANEX_INSTALLER_NAME(name, result) \
    MORVANEX_EXPORT int name() {              \
        return result;                        \
    }

MORVANEX_INSTALLER_NAME(CreateDataSource, 1)
MORVANEX_INSTALLER_NAME(GetAvailableDrivers, 1)
MORVANEX_INSTALLER_NAME(GetTranslator, 1)
MORVANEX_INSTALLER_NAME(InstallDriverPath, 1)
MORVANEX_INSTALLER_NAME(InstallDriverPathLength, 1)
MORVANEX_INSTALLER_NAME(InstallODBC, 0)
MORVANEX_INSTALLER_NAME(ManageDataSources, 1)
MORVANEX_INSTALLER_NAME(RemoveDSNFromIni, 1)
MORVANEX_INSTALLER_NAME(RemoveDefaultDataSource, 1)
MORVANEX_INSTALLER_NAME(SQLConfigDataSource_Internal, 1)
MORVANEX_INSTALLER_NAME(SQLConfigDriver_Internal, 1)
MORVANEX_INSTALLER_NAME(SQLCreateDataSource_Internal, 1)
MORVANEX_INSTALLER_NAME(SQLGetInstalledDrivers_Internal, 1)
MORVANEX_INSTALLER_NAME(SQLWriteDSNToIni_Internal, 1)
MORVANEX_INSTALLER_NAME(WriteDSNToIni, 1)
