#include "pemberix/WideText.h"

#include "pemberix/Utf16Decoder.h"

#include <algorithm>
#include <cstring>

namespace pemberix {

std::u16string toUtf16(std::wstring_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t character : text) {
        char32_t code = static_cast<char32_t>(character);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            code = 0xFFFD;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

std::wstring toUtf32(std::u16string_view text) {
    std::wstring out;
    out.reserve(text.size());
    Utf16Decoder decoder;
    decoder.feed(text, out);
    decoder.finish(out);
    return out;
}

std::size_t boundedWideLength(const SQLWCHAR* text, std::size_t limit) {
    std::size_t length = 0;
    while (length < limit && text[length] != 0) {
        ++length;
    }
    return length;
}

std::size_t boundedUtf16Length(const PgWideChar* text, std::size_t limit) {
    std::size_t length = 0;
    while (length < limit && text[length] != 0) {
        ++length;
    }
    return length;
}

bool copyWideOut(std::wstring_view text, void* buffer, SQLLEN capacity) {
    if (buffer == nullptr) {
        return false;
    }
    if (capacity <= 0) {
        return true;
    }
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::memcpy(bytes, text.data(), count * sizeof(SQLWCHAR));
    const SQLWCHAR terminator = 0;
    std::memcpy(bytes + count * sizeof(SQLWCHAR), &terminator, sizeof terminator);
    return count < text.size();
}

std::wstring widenAscii(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (char c : text) {
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return out;
}

bool copyNarrowOut(std::string_view text, SQLCHAR* buffer, SQLLEN capacity) {
    if (buffer == nullptr) {
        return false;
    }
    if (capacity <= 0) {
        return true;
    }
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
    std::memcpy(buffer, text.data(), count);
    buffer[count] = 0;
    return count < text.size();
}

}  // namespace pemberix
