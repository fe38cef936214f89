// stripNameQualifiers with every combination of its settings.
// Input: depth byte, flags byte, escape character, SQL text.

#include "driver/adapter/SqlTextScanner.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const int depth = static_cast<int>(input.byte() % 8) - 2;
    const std::uint8_t flags = input.byte();
    const auto escape = static_cast<char>(input.byte());
    const std::string text(input.rest());
    stripNameQualifiers(text, depth, (flags & 1) != 0, (flags & 2) != 0 ? escape : '\0');
    // The settings of the MySQL face and of the repeater connection.
    stripNameQualifiers(text, 2, true, '\\');
    stripNameQualifiers(text, 2, false, '\\');
    return 0;
}
