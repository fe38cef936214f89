// The reader of a column default as MySQL shows it (a quoted literal with a
// cast behind it, doubled quotes, no closing quote).
// Input: the catalog's default text.

#include <cstdlib>

#include "driver/adapter/DialectText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string columnDef(reinterpret_cast<const char*>(data), size);
    // What is shown is never more than what was read.
    if (shownDefault(columnDef).size() > columnDef.size()) {
        std::abort();
    }
    return 0;
}
