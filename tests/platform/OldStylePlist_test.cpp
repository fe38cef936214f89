#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/OldStylePlist.h"
#include "platform/PropertyList.h"

namespace {

using Items = std::vector<std::pair<const char*, std::string>>;

// Deep equality that ignores the order of dictionary items; kept apart
// from the writer so that a writer fault cannot hide a parser fault.
bool sameNode(plist_t a, plist_t b) {
    const plist_type type = plist_get_node_type(a);
    if (type != plist_get_node_type(b)) {
        return false;
    }
    uint64_t lengthA = 0, lengthB = 0;
    switch (type) {
        case PLIST_STRING: {
            const char* x = plist_get_string_ptr(a, &lengthA);
            const char* y = plist_get_string_ptr(b, &lengthB);
            return std::string(x, lengthA) == std::string(y, lengthB);
        }
        case PLIST_DATA: {
            const char* x = plist_get_data_ptr(a, &lengthA);
            const char* y = plist_get_data_ptr(b, &lengthB);
            return std::string(x, lengthA) == std::string(y, lengthB);
        }
        case PLIST_ARRAY: {
            const uint32_t size = plist_array_get_size(a);
            bool same = size == plist_array_get_size(b);
            for (uint32_t i = 0; same && i < size; ++i) {
                same = sameNode(plist_array_get_item(a, i), plist_array_get_item(b, i));
            }
            return same;
        }
        case PLIST_DICT: {
            PropertyList copy = PropertyList::adopt(plist_copy(a));
            bool same = plist_dict_get_size(a) == plist_dict_get_size(b);
            for (const std::string& key : copy.keys()) {
                const plist_t other = plist_dict_get_item(b, key.c_str());
                same = same && other && sameNode(plist_dict_get_item(a, key.c_str()), other);
            }
            return same;
        }
        default:
            return false;
    }
}

PropertyList dictionary(const Items& items) {
    PropertyList list = PropertyList::newDictionary();
    for (const auto& [key, value] : items) {
        list.setString(key, value);
    }
    return list;
}

PropertyList preferencesRequest() {
    PropertyList preferences = PropertyList::newDictionary();
    preferences.setString("TraceFile", "/tmp/trace log.txt");
    preferences.setStringArray("RecentServers", {"db.example.net"});
    PropertyList request =
        dictionary({{"Request", "UpdatePreferences"},
                    {"BundleID", "com.vorlanworks.odbcdriver.morvanex"},
                    {"ProductName", "Vorlan Tarvex"},
                    {"com.apple.dts.BetterAuthorizationSample.command", "UpdatePreferences"}});
    request.setData("Preferences", preferences.toXml());
    return request;
}

// Every request dictionary the driver, the administrator's DSN panes and
// its driver pane send, with text that needs quoting and escapes.
std::vector<std::pair<const char*, PropertyList>> requests() {
    const std::string userFolder = "/home/ann";
    const std::string systemFolder = "/etc";
    const char* command = "com.apple.dts.BetterAuthorizationSample.command";
    return {
        {"driver add",
         dictionary({{"Request", "Add"},
                     {"Type", "User"},
                     {"ConnectionString",
                      "DSN=Sales;Description=\"Q3\" \\ caf\xc3\xa9\tnet\n;ReadOnly=Yes;"},
                     {"Driver", "Vorlan Tarvex"},
                     {"Path", userFolder}})},
        {"driver configure", dictionary({{"Request", "Configure"},
                                         {"Type", "System"},
                                         {"ConnectionString", "DSN=Sales;Port=;"},
                                         {"Driver", ""},
                                         {"Path", ""}})},
        {"driver remove fallback", dictionary({{"Request", "Remove"},
                                               {"Type", "User"},
                                               {"ConnectionString", "Sales"},
                                               {"Driver", ""},
                                               {"Path", ""},
                                               {command, "ConfigureDSN"}})},
        {"get version", dictionary({{"Request", "GetVersion"}, {command, "GetVersion"}})},
        {"update preferences", preferencesRequest()},
        {"pane add", dictionary({{command, "ConfigureDSN"},
                                 {"ConnectionString", "DSN=Orders;Description=;Server=db;"},
                                 {"OriginalName", ""},
                                 {"Type", "System"},
                                 {"Request", "Add"},
                                 {"Driver", "Vorlan Tarvex"},
                                 {"Path", systemFolder}})},
        {"pane configure renamed", dictionary({{command, "ConfigureDSN"},
                                               {"ConnectionString", "DSN=New name;Description=x;"},
                                               {"OriginalName", "Old name"},
                                               {"Type", "User"},
                                               {"Request", "Configure"},
                                               {"Driver", "Vorlan Tarvex"},
                                               {"Path", userFolder}})},
        {"driver pane configure", dictionary({{command, "ConfigureDriver"},
                                              {"DriverName", "Vorlan Tarvex"},
                                              {"OriginalName", "Vorlan"},
                                              {"Type", "System"},
                                              {"Request", "Configure"},
                                              {"DriverPath", "/usr/lib/odbc/morvanex.so"},
                                              {"SetupPath", ""},
                                              {"Path", systemFolder}})},
        {"driver pane remove", dictionary({{command, "ConfigureDriver"},
                                           {"DriverName", "Vorlan Tarvex"},
                                           {"OriginalName", ""},
                                           {"Type", "User"},
                                           {"Request", "Remove"},
                                           {"DriverPath", ""},
                                           {"SetupPath", ""},
                                           {"Path", ""}})},
    };
}

TEST(OldStylePlist, EveryRequestReadsBackAsWrittenAndAsItsXmlForm) {
    for (const auto& [name, request] : requests()) {
        SCOPED_TRACE(name);
        const std::optional<std::string> text = OldStylePlist::write(request);
        ASSERT_TRUE(text);
        OldStylePlist::Error error;
        const std::optional<PropertyList> fromText = OldStylePlist::parse(*text, &error);
        ASSERT_TRUE(fromText) << error.describe() << "\n" << *text;
        const std::optional<PropertyList> fromXml = PropertyList::parse(request.toXml());
        ASSERT_TRUE(fromXml);
        EXPECT_TRUE(sameNode(fromText->node(), request.node())) << *text;
        EXPECT_TRUE(sameNode(fromText->node(), fromXml->node())) << *text;
    }
}

TEST(OldStylePlist, WriterSortsKeysAndQuotesAllButPlainWords) {
    PropertyList list = dictionary(
        {{"b", "two words"}, {"a", "Plain_1.2-x"}, {"c", ""}, {"d", "a/b"}, {"e", "\x01"}});
    list.setData("f", std::string("\x00\xff", 2));
    list.setStringArray("g", {"x", "y z"});
    EXPECT_EQ(
        OldStylePlist::write(list),
        "{\n    a = Plain_1.2-x;\n    b = \"two words\";\n    c = \"\";\n    d = \"a/b\";\n"
        "    e = \"\\001\";\n    f = <00ff>;\n    g = (\n        x,\n        \"y z\"\n    );\n}"
        "\n");

    PropertyList withNumber = PropertyList::newDictionary();
    plist_dict_set_item(withNumber.node(), "n", plist_new_uint(3));
    EXPECT_FALSE(OldStylePlist::write(withNumber));
}

TEST(OldStylePlist, ReadsStringFormsCommentsAndData) {
    struct Case {
        const char* text;  // the value of key k
        std::string expected;
    };
    const Case cases[] = {
        {"bare/path:1+$", "bare/path:1+$"},
        {"\"\\a\\b\\f\\n\\r\\t\\v\\\"\\\\\\q\"", "\a\b\f\n\r\t\v\"\\q"},
        {"\"\\101\\0412\"", "A!2"},
        {"\"\\U00e9\\Ud83d\\Ude00\"", "\xc3\xa9\xf0\x9f\x98\x80"},
        {"/* note */ \"x\" // to the end\n", "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        OldStylePlist::Error error;
        const auto list = OldStylePlist::parse(std::string("{k = ") + c.text + ";}", &error);
        ASSERT_TRUE(list) << error.describe();
        EXPECT_EQ(list->string("k"), c.expected);
    }
    const auto list = OldStylePlist::parse("{d = < 0a FF\n10 >; a = (x, \"y\",);}");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->data("d"), std::string("\x0a\xff\x10"));
    EXPECT_EQ(list->stringArray("a"), (std::vector<std::string>{"x", "y"}));
}

TEST(OldStylePlist, RefusesBadTextSayingWhere) {
    struct Case {
        const char* name;
        std::string text;
        size_t maxBytes, maxDepth;
        size_t line, column;
        const char* message;  // a part of the error text
    };
    const size_t kBig = 1 << 20;
    const Case cases[] = {
        {"too long", "{a = b;}", 7, 32, 1, 8, "longer than 7"},
        {"too deep", "{a = {b = (c);};}", kBig, 2, 1, 11, "nested deeper"},
        {"unterminated string", "{a = \"abc", kBig, 32, 1, 6, "unterminated string"},
        {"truncated", "{a = b;\n", kBig, 32, 2, 1, "end of text"},
        {"missing semicolon", "{a = b}", kBig, 32, 1, 7, "';'"},
        {"duplicate key", "{a = b; a = c;}", kBig, 32, 1, 9, "duplicate key"},
        {"odd data", "{a = <abc>;}", kBig, 32, 1, 6, "odd number"},
        {"octal NUL", "{a = \"\\0\";}", kBig, 32, 1, 7, "NUL"},
        {"lone surrogate", "{a = \"\\Ud800\";}", kBig, 32, 1, 7, "surrogate"},
        {"not UTF-8", "{a = \"\xc3(\";}", kBig, 32, 1, 6, "UTF-8"},
        {"text after", "{a = b;} x", kBig, 32, 1, 10, "after the value"},
        {"unterminated comment", "{a = b; /* x", kBig, 32, 1, 9, "comment"},
        {"empty", " \n", kBig, 32, 2, 1, "empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OldStylePlist::Error error;
        EXPECT_FALSE(OldStylePlist::parse(c.text, &error, {c.maxBytes, c.maxDepth}));
        EXPECT_EQ(error.line, c.line);
        EXPECT_EQ(error.column, c.column);
        EXPECT_NE(error.message.find(c.message), std::string::npos) << error.message;
    }
}

}  // namespace
