#pragma once

// The driver calls of the wizard's connection test, answered from one
// process-wide script: the connect's result and diagnostic, the connection
// text it was given, and the disconnects and frees, counted across threads.
// While `holdConnect` is set the connect waits.
#include <sql.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "driver/setup/ConnectionTest.h"

namespace fake_driver {

inline std::mutex mutex;
inline SQLRETURN connectResult = SQL_SUCCESS;
inline std::string message;
inline std::string connectedWith;
inline std::atomic<bool> holdConnect{false};
inline std::atomic<int> disconnects{0};
inline std::atomic<int> frees{0};
inline int handle;

// A fresh script: the connect answers `rc`, with `text` as its diagnostic
// when not empty.
inline void answer(SQLRETURN rc, std::string text = "") {
    std::lock_guard lock(mutex);
    connectResult = rc;
    message = std::move(text);
    connectedWith.clear();
    disconnects = 0;
    frees = 0;
}

inline std::string connectionText() {
    std::lock_guard lock(mutex);
    return connectedWith;
}

inline SQLRETURN alloc(SQLSMALLINT, SQLHANDLE, SQLHANDLE* out) {
    *out = &handle;
    return SQL_SUCCESS;
}
inline SQLRETURN setEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
    return SQL_SUCCESS;
}
inline SQLRETURN connect(SQLHDBC, SQLHWND, SQLCHAR* text, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                         SQLSMALLINT*, SQLUSMALLINT) {
    SQLRETURN rc;
    {
        std::lock_guard lock(mutex);
        connectedWith = reinterpret_cast<const char*>(text);
        rc = connectResult;
    }
    while (holdConnect) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return rc;
}
inline SQLRETURN diag(SQLSMALLINT, SQLHANDLE, SQLSMALLINT record, SQLCHAR* state, SQLINTEGER*,
                      SQLCHAR* text, SQLSMALLINT size, SQLSMALLINT* length) {
    std::lock_guard lock(mutex);
    if (record > 1 || message.empty()) {
        return SQL_NO_DATA;
    }
    std::memcpy(state, "08001", 6);
    const std::size_t n = std::min<std::size_t>(message.size(), size - 1);
    std::memcpy(text, message.data(), n);
    text[n] = 0;
    *length = static_cast<SQLSMALLINT>(message.size());
    return n < message.size() ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}
inline SQLRETURN info(SQLHDBC, SQLUSMALLINT type, SQLPOINTER out, SQLSMALLINT size, SQLSMALLINT*) {
    std::snprintf(static_cast<char*>(out), size, "info%d", type);
    return SQL_SUCCESS;
}
inline SQLRETURN disconnect(SQLHDBC) {
    ++disconnects;
    return SQL_SUCCESS;
}
inline SQLRETURN freeHandle(SQLSMALLINT, SQLHANDLE) {
    ++frees;
    return SQL_SUCCESS;
}

inline const DriverCalls calls{alloc, setEnvAttr, connect, diag, info, disconnect, freeHandle};

}  // namespace fake_driver
