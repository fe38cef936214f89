#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <plist/plist.h>

#include "platform/OldStyleScanner.h"
#include "platform/PropertyList.h"

// The old-style (OpenStep) text form of a property list, which libplist
// does not read or write: dictionaries, arrays, strings and data. Parsed
// text becomes an ordinary libplist node, so a dictionary read from this
// form and the same dictionary read from XML compare equal.
class OldStylePlist {
  public:
    struct Limits {
        size_t maxBytes = 1 << 20;
        size_t maxDepth = 32;  // containers inside containers; 1 allows a flat dictionary
    };
    using Error = OldStyleScanner::Error;

    // The text of a dictionary, array, string or data node: keys sorted by
    // their bytes, strings quoted unless they hold only letters, digits and
    // "_-.", quote, backslash and control characters escaped. Nothing for a
    // node of another kind anywhere inside (numbers, booleans, dates have
    // no form here).
    static std::optional<std::string> write(plist_t node);
    static std::optional<std::string> write(const PropertyList& list) { return write(list.node()); }

    // One value and nothing but white space or comments after it. Nothing
    // when the text is malformed, longer than the limit, nested deeper than
    // it, or holds a key twice; `error` then says where and why.
    static std::optional<PropertyList> parse(std::string_view text, Error* error = nullptr);
    static std::optional<PropertyList> parse(std::string_view text, Error* error,
                                             const Limits& limits);
};
