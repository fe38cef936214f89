#pragma once

#include <sql.h>

#include <new>
#include <utility>

// Every exported function runs its body through exportBoundary so that no
// C++ exception reaches the C caller. `post` records a SQLSTATE on the
// handle concerned (it may be a no-op when there is no handle to post on).
template <typename Post, typename Body>
SQLRETURN exportBoundary(Post&& post, Body&& body) noexcept {
    const char* state = nullptr;
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        state = "HY001";
    } catch (...) {
        state = "HY000";
    }
    try {
        post(state);
    } catch (...) {
        // Nothing more can be reported; the return code still says it failed.
    }
    return SQL_ERROR;
}
