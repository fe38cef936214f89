#pragma once

#include <cstddef>

// The driver manager's login prompt (_iodbcdm_drvconn_dialboxw): completes
// the wide connection text in `text` (a buffer of `capacity` characters)
// with UID and PWD, from the secret store when the DSN keeps its password
// there, else from the login panel. 0 when the text now holds a login or
// needs none, 100 when no login was added, -1 for a missing buffer or a
// completed text that does not fit (the buffer is then left as it was).
class LoginDialbox {
  public:
    static int run(wchar_t* text, std::size_t capacity);
};
