// The connection-text parser, its semicolon form and the key lookups, narrow
// and wide, with a given length (no terminator) or SQL_NTS.
// The items under both brace rules: what the strict rule accepts reads the
// same leniently, wide text splits as its narrow twin, and a written value
// reads back whole.
// Input: mode byte, key, 0x1F, connection text.

#include <sql.h>

#include <algorithm>
#include <cstdlib>

#include "driver/core/ConnectionText.h"
#include "platform/ConnectionItems.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const bool terminated = (input.byte() & 1) != 0;
    const std::string key(input.piece());
    const std::string_view text = input.rest();
    if (text.size() > 32767) {
        return 0;
    }
    const auto length = terminated ? SQLSMALLINT{SQL_NTS} : static_cast<SQLSMALLINT>(text.size());

    ExactBuffer<char> narrow(text, terminated);
    makeConnectionString(narrow.data(), length);
    ConnectionStringMap map;
    parseConnectionString(narrow.data(), length, map);
    parseConnectionString(std::string(text), map);
    setConnectionStringValue(std::string(text), key, "value");

    const std::wstring wideKey = widened(key);
    const std::wstring wideText = widened(text);
    getAttributeValue(std::string(text), wideKey.c_str());
    ExactBuffer<SQLWCHAR> wide(wideText, terminated);
    makeConnectionStringW(wide.data(), length);
    parseConnectionStringW(wide.data(), length, map);
    getAttributeValueW(wide.data(), length, wideKey.c_str());

    using Rule = ConnectionItems::Rule;
    const auto strict = ConnectionItems::read(text, Rule::Strict);
    const auto lenient = ConnectionItems::read(text, Rule::Lenient);
    if (strict && (strict->size() != lenient->size() ||
                   !std::equal(strict->begin(), strict->end(), lenient->begin(),
                               [](const auto& a, const auto& b) {
                                   return a.text == b.text && a.value == b.value;
                               }))) {
        std::abort();
    }
    // Wide text splits where its narrow twin does (pemberix.so reads wide).
    const auto narrowItems = ConnectionItems::split(text);
    const auto wideItems = ConnectionItems::split(std::wstring_view(wideText));
    if (!std::equal(narrowItems.begin(), narrowItems.end(), wideItems.begin(), wideItems.end(),
                    [](auto a, auto b) { return a.size() == b.size(); })) {
        std::abort();
    }
    const auto written = ConnectionItems::read(ConnectionItems::item("K", text), Rule::Strict);
    if (!written || written->size() != 1 || written->front().value != text) {
        std::abort();
    }
    return 0;
}
