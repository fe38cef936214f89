// Links the whole platform library and nothing of the driver core: if any
// platform object needed driver code, this program would not link. It then
// runs a property-list round trip through libplist and reads the host, so a
// library that links but cannot work still fails.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/HostInfo.h"
#include "platform/PropertyList.h"

namespace {

bool propertyListRoundTrips() {
    PropertyList plist = PropertyList::newDictionary();
    plist.setString("Name", "standalone");
    plist.setStringArray("Items", {"a", "b"});
    const auto parsed = PropertyList::parse(plist.toBinary());
    return parsed && parsed->string("Name") == "standalone" &&
           parsed->stringArray("Items") == std::vector<std::string>{"a", "b"};
}

}  // namespace

int main() {
    if (!propertyListRoundTrips()) {
        std::fputs("property list did not survive a binary round trip\n", stderr);
        return 1;
    }
    if (host_info::executablePath().empty()) {
        std::fputs("no executable path\n", stderr);
        return 1;
    }
    std::puts("platform library works without the driver core");
    return 0;
}
