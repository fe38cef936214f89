#pragma once

// The driver calls of the wizard's connection test, answered from one
// process-wide script: the connect's result and diagnostic, the connection
// text it was given, and the disconnects and frees, counted across threads.
// While held (hold(true)) the connect waits.
#include <sql.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "driver/setup/ConnectionTest.h"

namespace fake_driver {

inline std::mutex mutex;
inline SQLRETURN connectResult = SQL_SUCCESS;
inline std::string message;
inline std::string connectedWith;
inline std::condition_variable changed;
inline bool holdConnect = false;
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

inline void hold(bool on) {
    {
        std::lock_guard lock(mutex);
        holdConnect = on;
    }
    changed.notify_all();
}

// Waits until the handles were freed `count` times; false after `timeout`.
inline bool waitForFrees(int count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [count] { return frees >= count; });
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
    std::unique_lock lock(mutex);
    connectedWith = reinterpret_cast<const char*>(text);
    const SQLRETURN rc = connectResult;
    changed.wait(lock, [] { return !holdConnect; });
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
    {
        std::lock_guard lock(mutex);
        ++frees;
    }
    changed.notify_all();
    return SQL_SUCCESS;
}

inline const DriverCalls calls{alloc, setEnvAttr, connect, diag, info, disconnect, freeHandle};

}  // namespace fake_driver
