#include "pemberix/Utf16Decoder.h"

namespace pemberix {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

void Utf16Decoder::feed(std::u16string_view piece, std::wstring& out) {
    for (char16_t unit : piece) {
        if (pendingHigh_ != 0) {
            const char16_t high = pendingHigh_;
            pendingHigh_ = 0;
            if (isLowSurrogate(unit)) {
                const char32_t code = 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) +
                                      (static_cast<char32_t>(unit) - 0xDC00);
                out.push_back(static_cast<wchar_t>(code));
                continue;
            }
            out.push_back(kReplacement);
        }
        if (isHighSurrogate(unit)) {
            pendingHigh_ = unit;
        } else if (isLowSurrogate(unit)) {
            out.push_back(kReplacement);
        } else {
            out.push_back(static_cast<wchar_t>(unit));
        }
    }
}

void Utf16Decoder::finish(std::wstring& out) {
    if (pendingHigh_ != 0) {
        out.push_back(kReplacement);
        pendingHigh_ = 0;
    }
}

}  // namespace pemberix
