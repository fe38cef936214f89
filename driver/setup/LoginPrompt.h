#pragma once

#include <cstddef>

// Bytes of the user-ID and password buffers of the login panel.
inline constexpr std::size_t kLoginFieldSize = 256;

// Asks for a login in a modal panel showing the DSN of `connectionText`
// (UTF-8, ";" form). The buffers (UTF-8, `kLoginFieldSize` bytes each)
// fill the fields and receive them on OK, always terminated. The keychain
// box is offered only with `offerKeychain` and a `keychain` pointer, whose
// value it starts from and receives on OK. Returns 1 for OK, 0 for Cancel;
// a panel that cannot be shown counts as Cancel.
int runLoginPrompt(const char* connectionText, char* userId, char* password, bool offerKeychain,
                   bool* keychain);
