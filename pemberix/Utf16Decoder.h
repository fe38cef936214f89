#pragma once

#include "pemberix/PgEntryPoints.h"

#include <string>
#include <string_view>

namespace pemberix {

// Decodes UTF-16 that arrives in pieces into 32-bit wide text: the driver
// may cut a surrogate pair between two pieces. Unpaired surrogates become
// U+FFFD.
class Utf16Decoder {
  public:
    void feed(std::u16string_view piece, std::wstring& out);
    // Ends the text: a high surrogate still waiting for its pair is lost.
    void finish(std::wstring& out);

  private:
    char16_t pendingHigh_ = 0;
};

}  // namespace pemberix
