#include "admin/DriverSource.h"

#include "admin/DriverEditor.h"
#include "admin/IniAccess.h"
#include "admin/OdbcListing.h"

DriverSource::DriverSource(const SQLHENV& henv, PaneDialogs& dialogs,
                           PrivilegedRequest::Sender sender)
    : henv_(henv), dialogs_(dialogs), sender_(std::move(sender)) {}

const DriverSource::Rows& DriverSource::load() {
    rows_.clear();
    const IniAccess both(IniAccess::Both);
    for (const std::string& name : odbc_listing::drivers(henv_)) {
        rows_.push_back({name, both.valueOr(name, "Driver", "odbcinst.ini")});
    }
    return rows_;
}

bool DriverSource::removeDriver(size_t row) {
    if (row >= rows_.size() ||
        !dialogs_.confirm("Remove Driver", "Are you sure you want to remove the driver \"" +
                                               rows_[row][0] + "\"?")) {
        return false;
    }
    std::string problem;
    if (!DriverEditor::remove(rows_[row][0], sender_, problem)) {
        dialogs_.alert("Configuration Error",
                       IniAccess::withReason(
                           "An error occured while trying to configure the driver.", problem));
    }
    return true;
}
