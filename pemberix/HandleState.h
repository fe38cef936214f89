#pragma once

#include "pemberix/DiagnosticOverlay.h"

#include <sql.h>

#include <atomic>

namespace pemberix {

// What this layer keeps about one handle of the PostgreSQL driver. The
// handle values are the driver's own: callers hold them unchanged.
class HandleState {
  public:
    HandleState(SQLSMALLINT type, SQLHANDLE parent) : type_(type), parent_(parent) {}
    virtual ~HandleState() = default;
    HandleState(const HandleState&) = delete;
    HandleState& operator=(const HandleState&) = delete;

    SQLSMALLINT type() const { return type_; }
    SQLHANDLE parent() const { return parent_; }
    DiagnosticOverlay& overlay() { return overlay_; }

    // The record SQLError returns next; each new call starts again at 1.
    std::atomic<SQLSMALLINT> nextErrorRecord{1};

  private:
    SQLSMALLINT type_;
    SQLHANDLE parent_;
    DiagnosticOverlay overlay_;
};

}  // namespace pemberix
