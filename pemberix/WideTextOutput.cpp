#include "pemberix/WideTextOutput.h"

#include "pemberix/WideText.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace pemberix {

SQLRETURN readWideText(const Utf16Reader& read, SQLLEN initialUnits, SQLLEN maxUnits,
                       DriverWideText& result) {
    SQLLEN capacity = std::clamp<SQLLEN>(initialUnits, 2, maxUnits);
    std::vector<PgWideChar> buffer;
    for (;;) {
        buffer.assign(static_cast<std::size_t>(capacity), 0);
        SQLLEN length = SQL_NO_TOTAL;
        const SQLRETURN rc = read(buffer.data(), capacity, &length);
        if (!SQL_SUCCEEDED(rc)) {
            return rc;
        }
        const bool known = length >= 0;
        if (known && length >= capacity && capacity < maxUnits) {
            capacity = std::min(length + 1, maxUnits);
            continue;
        }
        if (length == SQL_NO_TOTAL && rc == SQL_SUCCESS_WITH_INFO && capacity < maxUnits) {
            capacity = std::min(capacity * 2, maxUnits);
            continue;
        }
        const std::size_t limit = static_cast<std::size_t>(capacity - 1);
        const std::size_t units = known ? std::min(static_cast<std::size_t>(length), limit)
                                        : boundedUtf16Length(buffer.data(), limit);
        result.text = toUtf32(std::u16string_view(buffer.data(), units));
        result.unreadUnits = known ? length - static_cast<SQLLEN>(units) : 0;
        return rc;
    }
}

SQLRETURN deliverWideText(const Utf16Reader& read, const WideTextRequest& request, SQLLEN* length) {
    DriverWideText result;
    // Room for the caller's characters, each a pair at worst; a longer text
    // is read again at the length the driver reports.
    const SQLLEN initial =
        std::clamp<SQLLEN>(2 * std::max<SQLLEN>(request.capacity, 0) + 2, 256, 4096);
    SQLRETURN rc = readWideText(read, initial, request.maxUnits, result);
    if (!SQL_SUCCEEDED(rc)) {
        return rc;
    }
    if (request.adjust) {
        request.adjust(result.text);
        result.unreadUnits = 0;
    }
    const bool truncated = copyWideOut(result.text, request.buffer, request.capacity) ||
                           (request.buffer != nullptr && result.unreadUnits > 0);
    if (length != nullptr) {
        *length = result.length();
    }
    if (!truncated) {
        return rc;
    }
    if (request.truncation == Truncation::ReturnCodeOnly) {
        return SQL_SUCCESS_WITH_INFO;
    }
    PgWideChar tiny[2] = {0, 0};
    SQLLEN ignored = 0;
    return read(tiny, std::min<SQLLEN>(request.capacity, 1), &ignored);
}

SQLSMALLINT clampToSmall(SQLLEN value) {
    return static_cast<SQLSMALLINT>(std::clamp<SQLLEN>(value, SHRT_MIN, SHRT_MAX));
}

SQLINTEGER clampToInteger(SQLLEN value) {
    return static_cast<SQLINTEGER>(std::clamp<SQLLEN>(value, INT_MIN, INT_MAX));
}

}  // namespace pemberix
