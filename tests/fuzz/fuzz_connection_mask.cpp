// The mask that keeps passwords out of traces and logs, narrow and wide.
// Input: mode byte, connection text.

#include <sql.h>

#include "driver/core/ConnectionText.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const bool terminated = (input.byte() & 1) != 0;
    const std::string_view text = input.rest();
    if (text.size() > 32767) {
        return 0;
    }
    const auto length = terminated ? SQLSMALLINT{SQL_NTS} : static_cast<SQLSMALLINT>(text.size());
    ExactBuffer<char> narrow(text, terminated);
    maskConnectionString(narrow.data(), length);

    const std::wstring wideText = widened(text);
    ExactBuffer<SQLWCHAR> wide(wideText, true);
    maskConnectionStringW(wide.data());
    return 0;
}
