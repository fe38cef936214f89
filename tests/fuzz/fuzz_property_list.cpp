// The property-list reader (XML and binary, through libplist) and every
// accessor the code uses on a list it did not write: preference files,
// bundle information, privileged requests.
//
// The old-style and .strings readers get targets of their own beside this
// one (fuzz_old_style_plist.cpp, fuzz_strings_file.cpp) and a line in
// CMakeLists.txt when they exist.
// Input: the file's bytes.

#include <string>
#include <vector>

#include "platform/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto list = PropertyList::parse(bytes);
    if (!list) {
        return 0;
    }
    const PropertyList copy = *list;
    PropertyList rebuilt = PropertyList::newDictionary();
    for (const std::string& key : copy.keys()) {
        copy.contains(key);
        if (auto text = copy.string(key)) {
            rebuilt.setString(key, *text);
        }
        if (auto bytesValue = copy.data(key)) {
            rebuilt.setData(key, *bytesValue);
        }
        if (auto strings = copy.stringArray(key)) {
            rebuilt.setStringArray(key, *strings);
        }
    }
    copy.toXml();
    // What the code builds from what it read is written out and read back.
    PropertyList::parse(rebuilt.toXml());
    PropertyList::parse(rebuilt.toBinary());
    return 0;
}
