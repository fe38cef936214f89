#include "admin/DriverSource.h"

#include "admin/IniAccess.h"
#include "admin/OdbcListing.h"

const DriverSource::Rows& DriverSource::load() {
    rows_.clear();
    const IniAccess both(IniAccess::Both);
    for (const std::string& name : odbc_listing::drivers(henv_)) {
        rows_.push_back({name, both.valueOr(name, "Driver", "odbcinst.ini")});
    }
    return rows_;
}
