#pragma once

// How every exported ODBC entry point of the driver is built.
//
// - The driver is compiled with -fvisibility=hidden. An exported function is
//   defined with MORVANEX_EXPORT (C linkage, default visibility), SQL_API and
//   exactly the signature of the ODBC header, so the compiler checks it.
//   Its name goes into driver/api/exports/exports.list, which generates the
//   version scripts (the SQL...W names are left out of morvanex-a.so) and is
//   the golden list that tests/api/exports_test.sh checks.
// - Exports are thin and live in driver/api/exports/<Family>Exports.cpp. Each
//   one runs its body (namespace calls, driver/api/<Family>Calls.cpp) inside
//   exportBoundary (platform/ExportBoundary.h), posting what it catches on
//   the handle's diagnostics through the posters of driver/api/HandleCalls.h.
// - Bodies call bodies: nothing inside the driver calls one of its own
//   exported SQL* names, which a driver manager linked into the host could
//   otherwise capture.
// - A body asks the handle whether the trace is on, composes its lines
//   whole with the renderers of driver/api/TraceWriter.h and
//   TraceValueRenderers.h, and hands them to the environment's writeTrace.
//   Handles are converted with the helpers of HandleCalls.h, never cast
//   ad hoc, so that every handle is the address of the same base object.
#define MORVANEX_EXPORT extern "C" __attribute__((visibility("default")))
