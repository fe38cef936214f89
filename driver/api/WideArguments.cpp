#include "driver/api/WideArguments.h"

#include <cstring>
#include <optional>

#include "driver/adapter/SqlTextScanner.h"
#include "driver/core/TextEncoding.h"

namespace {

bool isContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

std::size_t sequenceLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

std::optional<std::u16string> decodeUtf8(std::string_view text) {
    return TextCodec::forEncoding(kEncodingUtf8)->decode(text);
}

std::int64_t characterCount(const std::optional<std::u16string>& decoded, std::size_t bytes) {
    if (!decoded) {
        return static_cast<std::int64_t>(bytes);
    }
    std::int64_t count = 0;
    for (const char16_t unit : *decoded) {
        // The second half of a surrogate pair belongs to the first.
        count += unit < 0xDC00 || unit > 0xDFFF ? 1 : 0;
    }
    return count;
}

}  // namespace

SQLINTEGER wideInputLength(const SQLWCHAR* text, SQLINTEGER length) {
    if (text == nullptr || length == 0) {
        return 0;
    }
    if (length > 0) {
        return static_cast<SQLINTEGER>(wideLengthBounded(text, length));
    }
    // SQL_NTS, and also -4, which some callers pass for a terminated text.
    return SQL_NTS;
}

std::size_t wholeUtf8Length(std::string_view text) {
    const std::size_t end = text.size();
    std::size_t trailing = 0;
    while (trailing < 3 && trailing < end && isContinuation(text[end - 1 - trailing])) {
        ++trailing;
    }
    if (trailing == end) {
        return end;
    }
    const std::size_t needed = sequenceLength(static_cast<unsigned char>(text[end - 1 - trailing]));
    if (needed == 1 || trailing + 1 >= needed) {
        return end;
    }
    return end - trailing - 1;
}

std::int64_t wideCharacterCount(std::string_view text) {
    return characterCount(decodeUtf8(text), text.size());
}

void endOnWholeCharacter(SQLCHAR* buffer, std::int64_t bufferLength, std::int64_t fullLength) {
    if (buffer == nullptr || bufferLength <= 0 || fullLength < bufferLength) {
        return;
    }
    const auto held = static_cast<std::size_t>(bufferLength - 1);
    const std::size_t whole =
        wholeUtf8Length(std::string_view(reinterpret_cast<const char*>(buffer), held));
    std::memset(buffer + whole, 0, held - whole);
}

std::int64_t copyToWide(std::string_view text, void* dest, std::int64_t destBytes) {
    const std::optional<std::u16string> decoded = decodeUtf8(text);
    if (dest != nullptr && destBytes > 0) {
        if (decoded) {
            utf8ToWide(text, dest, destBytes);
        } else {
            convertEncoding(dest, destBytes, nullptr, nullptr, nullptr, kEncodingUtf32LE,
                            text.data(), static_cast<std::int64_t>(text.size()),
                            kEncodingIsoLatin1);
        }
    }
    return characterCount(decoded, text.size());
}
