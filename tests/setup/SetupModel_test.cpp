// The DSN wizard's rules, without a window: names, enabling, the adapted
// DSN list, the summary and the attribute list it hands back.
#include <gtest/gtest.h>

#include <clocale>
#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "driver/setup/SetupModel.h"
#include "tests/setup/TestBundle.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

// English texts, the driver bundle's version 7.1.2, nothing registered.
class SetupModelTest : public ::testing::Test {
  protected:
    SetupModelTest()
        : language_("LANGUAGE", "en"),
          lang_("LANG", std::nullopt),
          all_("LC_ALL", std::nullopt),
          bundlePath_("MORVANEX_BUNDLE_PATH", (sandbox_.root() / "bundles").string()) {
        writeTestBundle(sandbox_.root() / "bundles" / "morvanex.bundle",
                        {{"CFBundleIdentifier", "com.vorlanworks.odbcdriver.morvanex"},
                         {"CFBundleVersion", "7.1.2"}});
    }

    OdbcSandbox sandbox_;
    ScopedEnv language_;
    ScopedEnv lang_;
    ScopedEnv all_;
    ScopedEnv bundlePath_;
};

std::vector<std::string> items(const std::string& list) {
    std::vector<std::string> out;
    for (std::size_t at = 0; at < list.size() && list[at] != '\0'; at = list.find('\0', at) + 1) {
        out.emplace_back(list.c_str() + at);
    }
    return out;
}

TEST(SetupModelRules, DsnNames) {
    const std::string threeBytes = "\xE2\x82\xAC";  // the euro sign
    struct Case {
        std::string name;
        bool valid;
    };
    std::vector<Case> cases = {
        {"", true},
        {"Sales", true},
        {std::string(28, 'a') + threeBytes, true},   // 31 bytes
        {std::string(29, 'a') + threeBytes, false},  // 32 bytes
        {threeBytes + threeBytes + threeBytes + threeBytes + threeBytes + threeBytes + threeBytes +
             threeBytes + threeBytes + threeBytes + "a",
         true},
        {"odbc data sources", false},
        {"Default", false},
        {" Sales", false},
        {"Bob's", false},
    };
    for (char forbidden : std::string("!;*@()=[]\\{},?")) {
        cases.push_back({std::string("a") + forbidden + "b", false});
    }
    for (const Case& c : cases) {
        EXPECT_EQ(SetupModel::isDsnNameValid(c.name), c.valid) << c.name;
    }
}

TEST(SetupModelRules, LeadingNumberSaturates) {
    const std::pair<const char*, int> cases[] = {
        {"250ms", 250},
        {"abc", 0},
        {"", 0},
        {" 42", 42},
        {"-7", -7},
        {"99999999999999999999", INT_MAX},
        {"-99999999999999999999", INT_MIN},
    };
    for (const auto& [text, number] : cases) {
        EXPECT_EQ(SetupModel::leadingNumber(text), number) << text;
    }
}

TEST(SetupModelRules, NamesSortIgnoringCaseShorterFirst) {
    std::vector<std::string> names = {"beta", "Alpha2", "alpha", "ALP", "Zed"};
    SetupModel::sortNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"ALP", "alpha", "Alpha2", "beta", "Zed"}));
}

TEST_F(SetupModelTest, AdaptedDsnListHoldsSystemDsnsAndShowsTheFirst) {
    sandbox_.addDsn("Beta", "x", {}, OdbcSandbox::Scope::System);
    sandbox_.addDsn("alpha", "x", {}, OdbcSandbox::Scope::System);
    sandbox_.addDsn("userOnly", "x", {}, OdbcSandbox::Scope::User);
    SetupModel model(std::nullopt, "");
    EXPECT_EQ(model.adaptedDsnList(), (std::vector<std::string>{"alpha", "Beta"}));
    EXPECT_EQ(model.values().adaptedDsn, "alpha");
}

TEST_F(SetupModelTest, EncodingOptionsFollowTheBoxes) {
    struct Case {
        bool autoDetect, wideApi, unicodeTypes;
        bool wideEnabled, unicodeEnabled, encodingEnabled;
        bool wideAfter, unicodeAfter;
    };
    // One case per rule: auto-detect clears and disables all three; without
    // the wide API the Unicode box goes; Unicode text types fix the encoding.
    const Case cases[] = {
        {true, true, true, false, false, false, false, false},
        {false, false, true, true, false, true, false, false},
        {false, true, true, true, true, false, true, true},
    };
    for (const Case& c : cases) {
        SetupModel model(std::nullopt, "");
        model.values().autoDetect = c.autoDetect;
        model.values().wideApi = c.wideApi;
        model.values().unicodeTypes = c.unicodeTypes;
        const SetupModel::EncodingOptions options = model.updateEncodingOptions();
        EXPECT_EQ(options.wideApiEnabled, c.wideEnabled);
        EXPECT_EQ(options.unicodeTypesEnabled, c.unicodeEnabled);
        EXPECT_EQ(options.encodingEnabled, c.encodingEnabled);
        EXPECT_EQ(model.values().wideApi, c.wideAfter);
        EXPECT_EQ(model.values().unicodeTypes, c.unicodeAfter);
    }
}

TEST_F(SetupModelTest, ButtonsPerPanel) {
    SetupModel model(std::nullopt, "");
    struct Case {
        SetupModel::Panel panel;
        std::string dsn, adapted;
        bool previous, next, finish;
    };
    const Case cases[] = {
        {SetupModel::Introduction, "", "", false, true, false},
        {SetupModel::DataSource, "", "pg", true, false, false},
        // The adapted DSN is asked for on the next panel only.
        {SetupModel::DataSource, "x", "", true, true, true},
        {SetupModel::DataSource, "x", "pg", true, true, true},
        {SetupModel::Database, "x", "", true, false, false},
        {SetupModel::Database, "x", "pg", true, true, true},
        {SetupModel::Conclusion, "x", "", true, false, true},
        {SetupModel::Conclusion, "x", "pg", true, true, true},
        // Done saves nothing without a name that may be written.
        {SetupModel::Conclusion, "", "pg", true, false, true},
        {SetupModel::Conclusion, "bad;name", "pg", true, false, true},
    };
    for (const Case& c : cases) {
        model.values().dsn = c.dsn;
        model.values().adaptedDsn = c.adapted;
        const SetupModel::Buttons buttons = model.buttons(c.panel);
        EXPECT_EQ(buttons.previous, c.previous) << c.panel;
        EXPECT_EQ(buttons.continueOrDone, c.next) << c.panel;
        EXPECT_EQ(buttons.finishOrTest, c.finish) << c.panel;
        EXPECT_EQ(buttons.lastPanel, c.panel == SetupModel::Conclusion);
    }
    model.values().dsn = "bad;name";
    EXPECT_FALSE(model.mayLeave(SetupModel::DataSource));
    EXPECT_TRUE(model.mayLeave(SetupModel::Database));
}

TEST_F(SetupModelTest, SummaryOfATypicalDsn) {
    SetupModel model(std::nullopt, "");
    SetupModel::Values& v = model.values();
    v.dsn = "Sales";
    v.description = "Orders";
    v.adaptedDsn = "pg";
    v.readOnly = true;
    v.autoDetect = false;
    v.wideApi = true;
    v.encoding = 1;
    v.queryLogOn = true;
    v.queryLogFile = "/tmp/q.log";
    v.queryLogTime = "250";
    EXPECT_EQ(model.summary(),
              "Vorlan Tarvex 7.1.2\r\n\r\n"
              "Data Source Name: Sales\r\nDescription: Orders\r\nAdapted DSN: pg\r\n"
              "Data Source is Read-Only: Yes\r\nAuto-detect Language Settings: No\r\n"
              "Application Uses \"Wide\" API: Yes\r\nTreat Text Types as Unicode: No\r\n"
              "Multi-Byte Encoding: UTF-8\r\n"
              "Log Long Running Queries: Yes\r\nQuery Log File: /tmp/q.log\r\n"
              "Query Log Time (ms): 250\r\n");
}

TEST_F(SetupModelTest, AttributeListItems) {
    struct Case {
        bool autoDetect, wideApi, logOn;
        std::string logTime;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {true,
         false,
         false,
         "5000",
         {"AutoDetectEncoding=", "WideAPI=", "UnicodeTextTypes=", "MultiByteEncoding=",
          "QueryLog_On=", "QueryLogTime=", "QueryLogFile="}},
        {false,
         true,
         true,
         "abc",
         {"AutoDetectEncoding=", "WideAPI=Yes", "UnicodeTextTypes=", "MultiByteEncoding=UTF-8",
          "QueryLog_On=Yes", "QueryLogTime=0", "QueryLogFile=/q"}},
        {false,
         false,
         true,
         "12x",
         {"AutoDetectEncoding=No", "WideAPI=", "UnicodeTextTypes=", "MultiByteEncoding=UTF-8",
          "QueryLog_On=Yes", "QueryLogTime=12", "QueryLogFile=/q"}},
    };
    for (const Case& c : cases) {
        SetupModel model(std::nullopt, "");
        SetupModel::Values& v = model.values();
        v.dsn = "Sales";
        v.adaptedDsn = "pg";
        v.autoDetect = c.autoDetect;
        v.wideApi = c.wideApi;
        v.encoding = 1;
        v.queryLogOn = c.logOn;
        v.queryLogTime = c.logTime;
        v.queryLogFile = "/q";
        const std::optional<std::string> list = model.attributeList();
        ASSERT_TRUE(list);
        std::vector<std::string> expected = {"DSN=Sales", "Description=", "DriverDSN=pg",
                                             "ReadOnly="};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(items(*list), expected);
        EXPECT_EQ(list->substr(list->size() - 2), std::string(2, '\0'));
        EXPECT_TRUE(model.changed());
    }
}

// What the wizard writes, read back as the attribute text of a new DSN,
// opens the wizard with the same settings, which it hands back unchanged.
TEST_F(SetupModelTest, AttributeListReadsBackAsTheSameSettings) {
    struct Case {
        bool readOnly, autoDetect, wideApi, unicodeTypes;
        int encoding;
        bool logOn;
        std::string logTime, logFile;
    };
    const Case cases[] = {
        {false, true, false, false, 0, false, "5000", ""},
        {true, false, true, true, 1, true, "250", "/tmp/q.log"},
        {false, false, false, false, 1, true, "0", "/q"},
        {true, false, true, false, 0, false, "5000", ""},
    };
    for (const Case& c : cases) {
        SetupModel written(std::nullopt, "");
        SetupModel::Values& v = written.values();
        v = {"Sales",        "Orders",   "pg",    c.readOnly, c.autoDetect, c.wideApi,
             c.unicodeTypes, c.encoding, c.logOn, c.logTime,  c.logFile};
        const std::optional<std::string> list = written.attributeList();
        ASSERT_TRUE(list);
        std::string text;
        for (const std::string& item : items(*list)) {
            text += item + ";";
        }
        SetupModel read(std::nullopt, text);
        const SetupModel::Values& r = read.startValues();
        EXPECT_EQ(
            std::tie(r.description, r.adaptedDsn, r.readOnly, r.autoDetect, r.wideApi,
                     r.unicodeTypes, r.encoding, r.queryLogOn, r.queryLogTime, r.queryLogFile),
            std::tie(v.description, v.adaptedDsn, v.readOnly, v.autoDetect, v.wideApi,
                     v.unicodeTypes, v.encoding, v.queryLogOn, v.queryLogTime, v.queryLogFile))
            << text;
        ASSERT_TRUE(read.attributeList());
        EXPECT_FALSE(read.changed()) << text;
    }
}

TEST_F(SetupModelTest, OverlongListIsRefusedAndChangeIsSticky) {
    SetupModel model(std::nullopt, "");
    ASSERT_TRUE(model.attributeList());
    EXPECT_FALSE(model.changed());
    model.values().description = std::string(4096, 'd');
    EXPECT_FALSE(model.attributeList());
    model.values().description.clear();
    ASSERT_TRUE(model.attributeList());
    EXPECT_TRUE(model.changed());
}

TEST_F(SetupModelTest, StartValuesOfARegisteredDsnWithOldKeysInACLocale) {
    const std::string name = "Caf\xC3\xA9";
    sandbox_.addDsn(name, "morvanex",
                    {{"Description", "Orders"},
                     {"DriverDSN", "pg"},
                     {"SetAppLocale", "Yes"},
                     {"ReceiveSystemEncoding", "No"},
                     {"QueryLog_On", "yes"},
                     {"QueryLogTime", "99999999999"}});
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    SetupModel model(name, "");
    std::setlocale(LC_CTYPE, saved.c_str());
    const SetupModel::Values& v = model.startValues();
    EXPECT_EQ(v.description, "Orders");
    EXPECT_EQ(v.adaptedDsn, "pg");
    EXPECT_TRUE(v.wideApi);
    EXPECT_FALSE(v.autoDetect);
    EXPECT_EQ(v.encoding, 1);
    EXPECT_TRUE(v.queryLogOn);
    EXPECT_EQ(v.queryLogTime, std::to_string(INT_MAX));
    model.values().description = "Orders";
    ASSERT_TRUE(model.attributeList());
    EXPECT_FALSE(model.changed());
}

TEST_F(SetupModelTest, AddingReadsTheAttributeTextWithoutOldKeys) {
    SetupModel model(std::nullopt, "DriverDSN=pg;SetAppLocale=Yes;QueryLogTime=");
    EXPECT_EQ(model.startValues().adaptedDsn, "pg");
    EXPECT_FALSE(model.startValues().wideApi);
    EXPECT_TRUE(model.startValues().autoDetect);
    EXPECT_EQ(model.startValues().queryLogTime, "5000");
}

}  // namespace
