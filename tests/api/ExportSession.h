#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sql.h>
#include <sqlext.h>

#include "tests/api/TraceText.h"
#include "tests/support/DriverLibrary.h"
#include "tests/support/OdbcSandbox.h"

// The built driver module with an environment and a connection handle that
// has not connected, its call trace written into a sandbox:
//
//   struct Session : ExportSession {
//       decltype(&::SQLGetDiagRec) getDiagRec = function<decltype(&::SQLGetDiagRec)>(
//           "SQLGetDiagRec");
//   };
class ExportSession {
  public:
    ExportSession() {
        sandbox_.setKey(sandbox_.odbcinstIni(OdbcSandbox::Scope::System), "Vorlan Tarvex",
                        "TraceFile", (sandbox_.root() / "trace").string());
        allocHandle_(SQL_HANDLE_ENV, nullptr, &env);
        allocHandle_(SQL_HANDLE_DBC, env, &dbc);
        markTrace();
    }
    ~ExportSession() {
        freeHandle_(SQL_HANDLE_DBC, dbc);
        freeHandle_(SQL_HANDLE_ENV, env);
    }
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    template <typename Function>
    Function function(const char* name) const {
        return library_.function<Function>(name);
    }

    // The trace written since the last mark, made comparable as text.
    std::string trace() const { return trace_text::normalised(rawTrace().substr(traceStart_)); }
    void markTrace() { traceStart_ = rawTrace().size(); }

    // SQLSTATE of record 1 of a handle, "none" when there is none.
    std::string firstState(SQLSMALLINT handleType, SQLHANDLE handle) const {
        SQLCHAR state[6] = {};
        SQLCHAR message[256];
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        return getDiagRec_(handleType, handle, 1, state, &native, message, sizeof message,
                           &length) == SQL_SUCCESS
                   ? reinterpret_cast<char*>(state)
                   : "none";
    }

    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;

  private:
    std::string rawTrace() const {
        const auto file = sandbox_.root() / ("trace-" + std::to_string(getpid()));
        return std::filesystem::exists(file) ? OdbcSandbox::readFile(file) : "";
    }

    OdbcSandbox sandbox_;
    DriverLibrary library_{MORVANEX_DRIVER_PATH};
    decltype(&::SQLAllocHandle) allocHandle_ =
        function<decltype(&::SQLAllocHandle)>("SQLAllocHandle");
    decltype(&::SQLFreeHandle) freeHandle_ = function<decltype(&::SQLFreeHandle)>("SQLFreeHandle");
    decltype(&::SQLGetDiagRec) getDiagRec_ = function<decltype(&::SQLGetDiagRec)>("SQLGetDiagRec");
    std::size_t traceStart_ = 0;
};

inline constexpr unsigned char kOutputFill = 0xA5;

// A byte buffer of exactly the size a call is told (one byte when told
// less), so that a write past it is caught, filled with a known byte.
struct OutputBytes {
    explicit OutputBytes(int told)
        : bytes(static_cast<std::size_t>(std::max(told, 1)), kOutputFill) {}
    SQLWCHAR* wide() { return reinterpret_cast<SQLWCHAR*>(bytes.data()); }
    bool untouched() const {
        return std::all_of(bytes.begin(), bytes.end(),
                           [](unsigned char b) { return b == kOutputFill; });
    }
    // The wide text at the front, read no further than the buffer.
    std::wstring text() const {
        std::wstring out;
        for (std::size_t at = 0; at + sizeof(SQLWCHAR) <= bytes.size(); at += sizeof(SQLWCHAR)) {
            SQLWCHAR unit = 0;
            std::memcpy(&unit, bytes.data() + at, sizeof unit);
            if (unit == 0) {
                return out;
            }
            out += static_cast<wchar_t>(unit);
        }
        return out + L"<unterminated>";
    }
    std::vector<unsigned char> bytes;
};
