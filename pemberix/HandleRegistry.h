#pragma once

#include "pemberix/HandleState.h"
#include "pemberix/StatementState.h"

#include <sql.h>

#include <memory>
#include <mutex>
#include <unordered_map>

namespace pemberix {

// What a call does to the state kept for its handle when it starts.
enum class CallKind {
    Ordinary,  // clears the handle's diagnostics and any SQLGetData in progress
    WideRead,  // SQLGetData: keeps the value being handed out
    Parallel,  // may run beside another call on the handle (SQLCancel): touches nothing
};

// The state of every handle this layer has seen, keyed by the driver's
// handle value. States of freed handles are dropped, so that a later handle
// at the same address starts afresh.
class HandleRegistry {
  public:
    static HandleRegistry& instance();

    void add(SQLSMALLINT type, SQLHANDLE handle, SQLHANDLE parent);
    // Drops the state of a handle and of every handle allocated under it.
    void forget(SQLHANDLE handle);
    void forgetChildren(SQLHANDLE parent);

    std::shared_ptr<HandleState> find(SQLHANDLE handle) const;
    // The state of a handle, made when it has none yet.
    std::shared_ptr<HandleState> obtain(SQLSMALLINT type, SQLHANDLE handle);
    std::shared_ptr<StatementState> statement(SQLHSTMT handle);

    void beginCall(SQLHANDLE handle, CallKind kind);

  private:
    void forgetChildrenLocked(SQLHANDLE parent);

    mutable std::mutex mutex_;
    std::unordered_map<SQLHANDLE, std::shared_ptr<HandleState>> states_;
};

}  // namespace pemberix
