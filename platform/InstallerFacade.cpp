#include "platform/InstallerFacade.h"

#include <dlfcn.h>

namespace {
constexpr const char* kInstallerLibrary = "libiodbcinst.so.2";
}

InstallerFacade& InstallerFacade::instance() {
    static InstallerFacade facade;
    return facade;
}

InstallerFacade::InstallerFacade() {
    // Kept loaded for the life of the process, like every library we open.
    handle_ = dlopen(kInstallerLibrary, RTLD_LAZY | RTLD_LOCAL);
    if (handle_ == nullptr) {
        return;
    }
#define MORVANEX_BIND_POINTER(name) \
    p_##name = reinterpret_cast<decltype(p_##name)>(dlsym(handle_, #name));
    MORVANEX_INSTALLER_FUNCTIONS(MORVANEX_BIND_POINTER)
#undef MORVANEX_BIND_POINTER
}

void InstallerFacade::setRefusal(Refusal refusal) {
    std::lock_guard lock(refusalMutex_);
    refusal_ = std::move(refusal);
}

bool InstallerFacade::refused(std::string_view function) const {
    std::lock_guard lock(refusalMutex_);
    return refusal_ && refusal_(function);
}

template <typename Fn, typename Result, typename... Args>
Result InstallerFacade::call(std::string_view name, Fn fn, Result failure, Args... args) const {
    if (fn == nullptr || refused(name)) {
        return failure;
    }
    return static_cast<Result>(fn(args...));
}

int InstallerFacade::getPrivateProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue,
                                             LPSTR out, int outSize, LPCSTR file) {
    return call("SQLGetPrivateProfileString", p_SQLGetPrivateProfileString, 0, section, entry,
                defaultValue, out, outSize, file);
}

int InstallerFacade::getPrivateProfileStringW(LPCWSTR section, LPCWSTR entry,
                                              LPCWSTR defaultValue, LPWSTR out, int outSize,
                                              LPCWSTR file) {
    return call("SQLGetPrivateProfileStringW", p_SQLGetPrivateProfileStringW, 0, section, entry,
                defaultValue, out, outSize, file);
}

BOOL InstallerFacade::writePrivateProfileString(LPCSTR section, LPCSTR entry, LPCSTR value,
                                                LPCSTR file) {
    return call("SQLWritePrivateProfileString", p_SQLWritePrivateProfileString, BOOL{FALSE},
                section, entry, value, file);
}

BOOL InstallerFacade::writePrivateProfileStringW(LPCWSTR section, LPCWSTR entry, LPCWSTR value,
                                                 LPCWSTR file) {
    return call("SQLWritePrivateProfileStringW", p_SQLWritePrivateProfileStringW, BOOL{FALSE},
                section, entry, value, file);
}

BOOL InstallerFacade::writeDSNToIni(LPCSTR dsn, LPCSTR driver) {
    return call("SQLWriteDSNToIni", p_SQLWriteDSNToIni, BOOL{FALSE}, dsn, driver);
}

BOOL InstallerFacade::writeDSNToIniW(LPCWSTR dsn, LPCWSTR driver) {
    return call("SQLWriteDSNToIniW", p_SQLWriteDSNToIniW, BOOL{FALSE}, dsn, driver);
}

BOOL InstallerFacade::removeDSNFromIni(LPCSTR dsn) {
    return call("SQLRemoveDSNFromIni", p_SQLRemoveDSNFromIni, BOOL{FALSE}, dsn);
}

BOOL InstallerFacade::removeDSNFromIniW(LPCWSTR dsn) {
    return call("SQLRemoveDSNFromIniW", p_SQLRemoveDSNFromIniW, BOOL{FALSE}, dsn);
}

BOOL InstallerFacade::validDSN(LPCSTR dsn) {
    return call("SQLValidDSN", p_SQLValidDSN, BOOL{FALSE}, dsn);
}

BOOL InstallerFacade::setConfigMode(UWORD mode) {
    return call("SQLSetConfigMode", p_SQLSetConfigMode, BOOL{FALSE}, mode);
}

BOOL InstallerFacade::getConfigMode(UWORD* mode) {
    return call("SQLGetConfigMode", p_SQLGetConfigMode, BOOL{FALSE}, mode);
}

RETCODE InstallerFacade::postInstallerError(DWORD code, LPSTR message) {
    return call("SQLPostInstallerError", p_SQLPostInstallerError, RETCODE{SQL_ERROR}, code,
                message);
}

RETCODE InstallerFacade::installerError(WORD index, DWORD* code, LPSTR message, WORD messageMax,
                                        WORD* messageLength) {
    return call("SQLInstallerError", p_SQLInstallerError, RETCODE{SQL_ERROR}, index, code, message,
                messageMax, messageLength);
}

BOOL InstallerFacade::getInstalledDrivers(LPSTR buffer, WORD bufferMax, WORD* bufferOut) {
    return call("SQLGetInstalledDrivers", p_SQLGetInstalledDrivers, BOOL{FALSE}, buffer,
                bufferMax, bufferOut);
}

BOOL InstallerFacade::installDriverEx(LPCSTR driver, LPCSTR pathIn, LPSTR pathOut,
                                      WORD pathOutMax, WORD* pathOutLength, WORD request,
                                      LPDWORD usageCount) {
    return call("SQLInstallDriverEx", p_SQLInstallDriverEx, BOOL{FALSE}, driver, pathIn, pathOut,
                pathOutMax, pathOutLength, request, usageCount);
}

BOOL InstallerFacade::removeDriver(LPCSTR driver, BOOL removeDsns, LPDWORD usageCount) {
    return call("SQLRemoveDriver", p_SQLRemoveDriver, BOOL{FALSE}, driver, removeDsns,
                usageCount);
}

BOOL InstallerFacade::configDataSource(HWND parent, WORD request, LPCSTR driver,
                                       LPCSTR attributes) {
    return call("SQLConfigDataSource", p_SQLConfigDataSource, BOOL{FALSE}, parent, request, driver,
                attributes);
}

BOOL InstallerFacade::configDataSourceW(HWND parent, WORD request, LPCWSTR driver,
                                        LPCWSTR attributes) {
    return call("SQLConfigDataSourceW", p_SQLConfigDataSourceW, BOOL{FALSE}, parent, request,
                driver, attributes);
}
