#include <gtest/gtest.h>

#include <string>

#include "platform/PropertyList.h"
#include "tests/support/OdbcSandbox.h"

namespace {

PropertyList sample() {
    PropertyList list = PropertyList::newDictionary();
    list.setString("Request", "UpdatePreferences");
    list.setString("Text", "caf\xc3\xa9 <&> \"quoted\"");
    list.setData("Preferences", std::string("\x00\x01<plist/>", 10));
    list.setStringArray("RecentServers", {"one", "two"});
    return list;
}

TEST(PropertyList, XmlAndBinaryFormsRoundTrip) {
    const PropertyList original = sample();
    for (const std::string& bytes : {original.toXml(), original.toBinary()}) {
        auto parsed = PropertyList::parse(bytes);
        ASSERT_TRUE(parsed);
        EXPECT_TRUE(parsed->isDictionary());
        EXPECT_EQ(parsed->string("Request"), "UpdatePreferences");
        EXPECT_EQ(parsed->string("Text"), "caf\xc3\xa9 <&> \"quoted\"");
        EXPECT_EQ(parsed->data("Preferences"), std::string("\x00\x01<plist/>", 10));
        EXPECT_EQ(parsed->stringArray("RecentServers"), (std::vector<std::string>{"one", "two"}));
        EXPECT_EQ(parsed->keys().size(), 4u);
    }
    EXPECT_EQ(original.toXml().rfind("<?xml", 0), 0u);
}

TEST(PropertyList, ValuesOfAnotherTypeReadAsAbsent) {
    const PropertyList list = sample();
    struct Case {
        const char* key;
        bool asString, asData, asArray;
    };
    const Case cases[] = {
        {"Request", true, false, false},
        {"Preferences", false, true, false},
        {"RecentServers", false, false, true},
        {"Missing", false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list.string(c.key).has_value(), c.asString) << c.key;
        EXPECT_EQ(list.data(c.key).has_value(), c.asData) << c.key;
        EXPECT_EQ(list.stringArray(c.key).has_value(), c.asArray) << c.key;
    }
}

TEST(PropertyList, RejectsWhatIsNotAPropertyList) {
    for (const std::string& bytes : {std::string(), std::string("plain text"),
                                     std::string("bplist00garbage"), std::string("<plist>")}) {
        auto parsed = PropertyList::parse(bytes);
        EXPECT_FALSE(parsed && parsed->isDictionary()) << bytes;
    }
    OdbcSandbox sandbox;
    EXPECT_FALSE(PropertyList::readFile(sandbox.root() / "absent.plist"));
}

}  // namespace
