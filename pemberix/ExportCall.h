#pragma once

#include "platform/ExportBoundary.h"
#include "pemberix/Diagnostics.h"
#include "pemberix/HandleRegistry.h"
#include "pemberix/PgDriver.h"

#include <sql.h>

// The frame of every exported function: no exception leaves it, a failure
// of this layer is posted on the handle, and each call starts by clearing
// what this layer kept of the handle's previous call.
#define PEMBERIX_EXPORT extern "C" __attribute__((visibility("default")))

namespace pemberix {

// Calls whose handle must not be null (the driver would say the same).
template <class Body>
SQLRETURN runExport(SQLSMALLINT type, SQLHANDLE handle, CallKind kind, Body&& body) noexcept {
    return exportBoundary([&](const char* state) { postFailure(type, handle, state); },
                          [&]() -> SQLRETURN {
                              if (!PgDriver::instance().isLoaded() || handle == nullptr) {
                                  return SQL_INVALID_HANDLE;
                              }
                              HandleRegistry::instance().beginCall(handle, kind);
                              return body();
                          });
}

template <class Body>
SQLRETURN runExport(SQLSMALLINT type, SQLHANDLE handle, Body&& body) noexcept {
    return runExport(type, handle, CallKind::Ordinary, std::forward<Body>(body));
}

// Calls that choose their handle themselves (allocation, ODBC 2 functions
// taking several handles).
template <class Body>
SQLRETURN runExportUnchecked(Body&& body) noexcept {
    return exportBoundary([](const char*) {},
                          [&]() -> SQLRETURN {
                              if (!PgDriver::instance().isLoaded()) {
                                  return SQL_ERROR;
                              }
                              return body();
                          });
}

// Forwards to an entry point of the driver, or reports that it has none.
template <class Fn, class... Args>
SQLRETURN forward(SQLSMALLINT type, SQLHANDLE handle, Fn fn, Args... args) {
    if (fn == nullptr) {
        return missingEntryPoint(type, handle);
    }
    return fn(args...);
}

inline StatementState& statementState(SQLHSTMT stmt) {
    return *HandleRegistry::instance().statement(stmt);
}

}  // namespace pemberix
