#include "authentication/src/OldStyleText.h"

plist_t parseOldStyleText(std::string_view text, std::string& error) {
    (void)text;
    error = "old-style text is not read yet";
    return nullptr;
}
