// quoteIdentifiers with every combination of its settings.
// Input: quote character, flags byte, escape character, SQL text.

#include "driver/adapter/SqlTextScanner.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const auto quote = static_cast<char>(input.byte());
    const std::uint8_t flags = input.byte();
    const auto escape = static_cast<char>(input.byte());
    const std::string text(input.rest());
    quoteIdentifiers(text, quote, (flags & 1) != 0, (flags & 2) != 0 ? escape : '\0',
                     (flags & 4) != 0);
    // The settings of the statement's prepare and execution paths.
    quoteIdentifiers(text, '"', false, '\\', true);
    quoteIdentifiers(text, '"', false, '\0', true);
    return 0;
}
