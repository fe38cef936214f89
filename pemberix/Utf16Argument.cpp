#include "pemberix/Utf16Argument.h"

#include "pemberix/WideText.h"

#include <climits>
#include <limits>

namespace pemberix {

Utf16Argument::Utf16Argument(const SQLWCHAR* text, SQLLEN length) {
    if (text == nullptr) {
        isNull_ = true;
        length_ = length;
        return;
    }
    if (length == SQL_NTS) {
        const std::size_t count = boundedWideLength(text, std::numeric_limits<std::size_t>::max());
        text_ = toUtf16(std::wstring_view(text, count));
        length_ = SQL_NTS;
        return;
    }
    if (length < 0) {
        length_ = length;
        return;
    }
    text_ = toUtf16(std::wstring_view(text, static_cast<std::size_t>(length)));
    length_ = static_cast<SQLLEN>(text_.size());
}

std::optional<SQLSMALLINT> Utf16Argument::smallLength() const {
    if (length_ > SHRT_MAX || length_ < SHRT_MIN) {
        return std::nullopt;
    }
    return static_cast<SQLSMALLINT>(length_);
}

std::optional<SQLINTEGER> Utf16Argument::integerLength() const {
    if (length_ > INT_MAX || length_ < INT_MIN) {
        return std::nullopt;
    }
    return static_cast<SQLINTEGER>(length_);
}

SQLLEN Utf16Argument::byteLength() const {
    return length_ >= 0 ? length_ * static_cast<SQLLEN>(sizeof(PgWideChar)) : length_;
}

}  // namespace pemberix
