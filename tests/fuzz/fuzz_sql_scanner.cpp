// The scanners the statement machinery uses: the pair replacer with any
// token, the top-level searches, the select-list split and the smaller
// routines.
// Input: token, 0x1F, replacement, 0x1F, closing token, 0x1F, closing
// replacement, 0x1F, a byte, SQL text.

#include "driver/adapter/DialectText.h"
#include "driver/adapter/SqlTextScanner.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string_view token = input.piece();
    const std::string_view replacement = input.piece();
    const std::string_view closing = input.piece();
    const std::string_view closingReplacement = input.piece();
    const std::uint8_t number = input.byte();
    const std::string text(input.rest());

    // Rules that shrink the text always end; others need not (a replacement
    // that builds its token again with the text around it).
    if (replacement.size() < token.size() && closingReplacement.size() <= closing.size()) {
        replaceAllPairsOutsideQuotes(text, token, replacement, closing, closingReplacement);
    }
    std::string once = text;
    replacePairOutsideQuotes(once, token, replacement, closing, closingReplacement,
                             static_cast<char>(number));
    countOutsideQuotes(text, token);
    findOutsideQuotes(text.c_str(), std::string(token).c_str(), (number & 1) != 0,
                      (number & 2) != 0);
    matchKeyword(text.c_str(), std::string(token).c_str());
    findCharBounded(text.c_str(), static_cast<char>(number), static_cast<int>(number) - 64);
    splitString(text, token);
    compareNoCase(token, text);
    compareNoCaseAt(text, number, token.size(), token);

    const std::size_t from = findTopLevelWord(text, token, number);
    findTopLevel(text, token, from == std::string::npos ? 0 : from);
    splitSelectList(text, number, text.size() - std::min<std::size_t>(number, text.size()));
    std::string trimmed(token);
    trimLeadingBlanksAndQuote(trimmed);
    replaceWithinDelimiters(text, std::string(token).c_str(), std::string(closing).c_str(),
                            std::string(replacement).c_str(),
                            std::string(closingReplacement).c_str());
    return 0;
}
