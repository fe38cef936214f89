#include "pemberix/HandleRegistry.h"

#include <vector>

namespace pemberix {
namespace {

std::shared_ptr<HandleState> makeState(SQLSMALLINT type, SQLHANDLE parent) {
    if (type == SQL_HANDLE_STMT) {
        return std::make_shared<StatementState>(type, parent);
    }
    return std::make_shared<HandleState>(type, parent);
}

}  // namespace

HandleRegistry& HandleRegistry::instance() {
    static HandleRegistry registry;
    return registry;
}

void HandleRegistry::add(SQLSMALLINT type, SQLHANDLE handle, SQLHANDLE parent) {
    auto state = makeState(type, parent);
    std::lock_guard lock(mutex_);
    forgetChildrenLocked(handle);
    states_[handle] = std::move(state);
}

void HandleRegistry::forget(SQLHANDLE handle) {
    std::lock_guard lock(mutex_);
    forgetChildrenLocked(handle);
    states_.erase(handle);
}

void HandleRegistry::forgetChildren(SQLHANDLE parent) {
    std::lock_guard lock(mutex_);
    forgetChildrenLocked(parent);
}

void HandleRegistry::forgetChildrenLocked(SQLHANDLE parent) {
    if (parent == nullptr) {
        return;
    }
    std::vector<SQLHANDLE> children;
    for (const auto& [handle, state] : states_) {
        if (state->parent() == parent) {
            children.push_back(handle);
        }
    }
    for (SQLHANDLE child : children) {
        forgetChildrenLocked(child);
        states_.erase(child);
    }
}

std::shared_ptr<HandleState> HandleRegistry::find(SQLHANDLE handle) const {
    std::lock_guard lock(mutex_);
    const auto it = states_.find(handle);
    return it == states_.end() ? nullptr : it->second;
}

std::shared_ptr<HandleState> HandleRegistry::obtain(SQLSMALLINT type, SQLHANDLE handle) {
    std::lock_guard lock(mutex_);
    auto& slot = states_[handle];
    if (slot == nullptr || slot->type() != type) {
        slot = makeState(type, slot != nullptr ? slot->parent() : nullptr);
    }
    return slot;
}

std::shared_ptr<StatementState> HandleRegistry::statement(SQLHSTMT handle) {
    return std::static_pointer_cast<StatementState>(obtain(SQL_HANDLE_STMT, handle));
}

void HandleRegistry::beginCall(SQLHANDLE handle, CallKind kind) {
    if (kind == CallKind::Parallel) {
        return;
    }
    const auto state = find(handle);
    if (state == nullptr) {
        return;
    }
    state->overlay().clear();
    state->nextErrorRecord = 1;
    if (kind == CallKind::Ordinary && state->type() == SQL_HANDLE_STMT) {
        static_cast<StatementState&>(*state).read = WideRead{};
    }
}

}  // namespace pemberix
