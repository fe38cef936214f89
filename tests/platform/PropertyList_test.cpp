#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

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

// Lists that libplist 2.2 parses but asserts on (aborting the process) when a
// string or key holding NUL is read, or reads past when written out again.
TEST(PropertyList, TextHoldingNulIsAbsentAndNeverReachesLibplist) {
    const std::string dir = std::string(MORVANEX_SOURCE_DIR) + "/tests/fuzz/corpus/property_list/";
    auto value =
        PropertyList::parse(OdbcSandbox::readFile(dir + "tracefile-string-with-nul.bplist"));
    ASSERT_TRUE(value && value->isDictionary());
    EXPECT_TRUE(value->contains("TraceFile"));
    EXPECT_EQ(value->string("TraceFile"), std::nullopt);
    EXPECT_EQ(value->keys(), std::vector<std::string>{"TraceFile"});
    EXPECT_EQ(value->toXml(), "");
    EXPECT_EQ(value->toBinary(), "");

    EXPECT_FALSE(PropertyList::parse(OdbcSandbox::readFile(dir + "key-with-nul.bplist")));
    const char xml[] = "<plist><dict><key>k</key><string>a\0b</string></dict></plist>";
    EXPECT_FALSE(PropertyList::parse(std::string(xml, sizeof xml - 1)));

    PropertyList built = sample();
    built.setStringArray("List", {"one"});
    EXPECT_EQ(PropertyList::parse(built.toBinary())->stringArray("List"),
              std::vector<std::string>{"one"});
}

}  // namespace
