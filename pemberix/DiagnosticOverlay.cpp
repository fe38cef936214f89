#include "pemberix/DiagnosticOverlay.h"

namespace pemberix {

bool DiagnosticOverlay::isActive() const {
    std::lock_guard lock(mutex_);
    return active_;
}

void DiagnosticOverlay::clear() {
    std::lock_guard lock(mutex_);
    active_ = false;
    records_.clear();
}

void DiagnosticOverlay::activate(std::vector<OverlayRecord> records) {
    std::lock_guard lock(mutex_);
    if (!active_) {
        active_ = true;
        records_ = std::move(records);
    }
}

void DiagnosticOverlay::append(OverlayRecord record) {
    std::lock_guard lock(mutex_);
    active_ = true;
    records_.push_back(std::move(record));
}

SQLINTEGER DiagnosticOverlay::count() const {
    std::lock_guard lock(mutex_);
    return static_cast<SQLINTEGER>(records_.size());
}

std::optional<OverlayRecord> DiagnosticOverlay::record(SQLSMALLINT number) const {
    std::lock_guard lock(mutex_);
    if (number < 1 || static_cast<std::size_t>(number) > records_.size()) {
        return std::nullopt;
    }
    return records_[static_cast<std::size_t>(number) - 1];
}

SQLRETURN DiagnosticOverlay::returnCode() const {
    std::lock_guard lock(mutex_);
    SQLRETURN rc = SQL_SUCCESS;
    for (const OverlayRecord& record : records_) {
        if (record.sqlState.rfind("01", 0) != 0) {
            return SQL_ERROR;
        }
        rc = SQL_SUCCESS_WITH_INFO;
    }
    return rc;
}

}  // namespace pemberix
