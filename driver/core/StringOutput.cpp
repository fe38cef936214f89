#include "driver/core/StringOutput.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <locale>
#include <sstream>

namespace {

// Copies what fits and says whether the text was cut. Lengths are in
// std::int64_t so that neither a long text nor a 16-bit caller wraps.
bool copyBounded(void* destination, std::string_view text, std::int64_t bufferLength,
                 bool terminate) {
    if (bufferLength <= 0) {
        return false;
    }
    const std::int64_t length = static_cast<std::int64_t>(text.size());
    const std::int64_t room = terminate ? bufferLength - 1 : bufferLength;
    if (destination != nullptr) {
        const std::int64_t count = std::min(length, room);
        auto* out = static_cast<char*>(destination);
        if (count > 0) {  // an empty view may carry a null pointer
            std::memcpy(out, text.data(), static_cast<std::size_t>(count));
        }
        if (terminate) {
            out[count] = '\0';
        }
    }
    return length > room;
}

template <typename Length>
void storeLength(Length* lengthOut, std::size_t length) {
    if (lengthOut != nullptr) {
        constexpr auto most = static_cast<std::size_t>(std::numeric_limits<Length>::max());
        *lengthOut = static_cast<Length>(std::min(length, most));
    }
}

std::string_view viewOf(const char* text) {
    return text == nullptr ? std::string_view() : std::string_view(text);
}

}  // namespace

int copyStringOut(void* destination, SQLINTEGER* lengthOut, std::string_view text,
                  SQLINTEGER bufferLength, bool terminate) {
    const bool cut = copyBounded(destination, text, bufferLength, terminate);
    storeLength(lengthOut, text.size());
    return cut ? 1 : 0;
}

int copyStringOut(void* destination, SQLINTEGER* lengthOut, const char* text,
                  SQLINTEGER bufferLength, bool terminate) {
    return copyStringOut(destination, lengthOut, viewOf(text), bufferLength, terminate);
}

int copyStringOutShort(void* destination, SQLSMALLINT* lengthOut, std::string_view text,
                       SQLSMALLINT bufferLength, bool terminate) {
    const bool cut = copyBounded(destination, text, bufferLength, terminate);
    storeLength(lengthOut, text.size());
    return cut ? 1 : 0;
}

int copyStringOutShort(void* destination, SQLSMALLINT* lengthOut, const char* text,
                       SQLSMALLINT bufferLength, bool terminate) {
    return copyStringOutShort(destination, lengthOut, viewOf(text), bufferLength, terminate);
}

std::string makeSqlString(const char* text, SQLINTEGER length) {
    if (text == nullptr || length == 0) {
        return {};
    }
    if (length < 0) {
        return std::string(text);
    }
    // Never look past the given length, even for a text without a NUL.
    const void* nul = std::memchr(text, '\0', static_cast<std::size_t>(length));
    const std::size_t size = nul == nullptr
                                 ? static_cast<std::size_t>(length)
                                 : static_cast<std::size_t>(static_cast<const char*>(nul) - text);
    return std::string(text, size);
}

std::string makeSqlString(const SQLCHAR* text, SQLINTEGER length) {
    return makeSqlString(reinterpret_cast<const char*>(text), length);
}

std::string toString(std::int64_t value) {
    return std::to_string(value);
}

std::string toString(std::uint64_t value) {
    return std::to_string(value);
}

std::string toString(double value) {
    // The classic locale keeps the decimal point whatever the host set.
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    return stream.str();
}

std::string toString(char byte) {
    return std::string(1, byte);
}

std::string dateToString(const SQL_DATE_STRUCT& date) {
    return std::to_string(date.year) + "-" + std::to_string(date.month) + "-" +
           std::to_string(date.day);
}

std::string timeToString(const SQL_TIME_STRUCT& time) {
    return std::to_string(time.hour) + ":" + std::to_string(time.minute) + ":" +
           std::to_string(time.second);
}

std::string timestampToString(const SQL_TIMESTAMP_STRUCT& timestamp) {
    return std::to_string(timestamp.year) + "-" + std::to_string(timestamp.month) + "-" +
           std::to_string(timestamp.day) + " " + std::to_string(timestamp.hour) + ":" +
           std::to_string(timestamp.minute) + ":" + std::to_string(timestamp.second) + "." +
           std::to_string(timestamp.fraction);
}

void removeChar(char* text, char character) {
    if (text == nullptr) {
        return;
    }
    char* out = text;
    for (const char* in = text; *in != '\0'; ++in) {
        if (*in != character) {
            *out++ = *in;
        }
    }
    *out = '\0';
}

std::string stripLineBreaks(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') {
            result.push_back(c);
        }
    }
    return result;
}

std::size_t copyTerminated(char* destination, std::size_t size, std::string_view text) {
    if (destination != nullptr && size > 0) {
        const std::size_t n = std::min(text.size(), size - 1);
        text.copy(destination, n);
        destination[n] = '\0';
    }
    return text.size() + 1;
}
