#pragma once

#include <string>

// The driver manager's trace settings of the current user: Trace,
// TraceFile and TraceLibrary of [ODBC] in the user's odbc.ini.
struct TracingSettings {
    bool enabled = false;
    std::string traceFile;
    std::string traceLibrary;

    static TracingSettings load();
    // Trace is written only when the user's ini folder exists or could be
    // made; the two paths are written in every case. Results are ignored.
    void apply() const;

    // On when the value starts with "1" or equals "ON" ignoring case.
    static bool isOn(const std::string& value);
};
