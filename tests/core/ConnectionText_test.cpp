#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "driver/core/ConnectionText.h"
#include "platform/InstallerFacade.h"
#include "tests/support/OdbcSandbox.h"

namespace {

using Scope = OdbcSandbox::Scope;
using testing::PrintToString;

// A text with an explicit length; the bytes may hold NULs. Every case runs
// on the narrow text and, where a wide form exists, on its ASCII widening.
struct TextCase {
    std::string text;
    SQLSMALLINT length;
    std::string expected;
};

std::wstring widenAscii(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

class LocaleGuard {
  public:
    explicit LocaleGuard(const char* locale) : saved_(std::setlocale(LC_CTYPE, nullptr)) {
        std::setlocale(LC_CTYPE, locale);
    }
    ~LocaleGuard() { std::setlocale(LC_CTYPE, saved_.c_str()); }

  private:
    std::string saved_;
};

UWORD currentConfigMode() {
    UWORD mode = 99;
    EXPECT_TRUE(InstallerFacade::instance().getConfigMode(&mode));
    return mode;
}

TEST(ConnectionText, MakeConnectionStringNormalisesEachForm) {
    const std::vector<TextCase> cases = {
        {"DSN=a;UID=b", SQL_NTS, "DSN=a;UID=b"},
        {"DSN=a;UID=b", 11, "DSN=a;UID=b"},
        {std::string("DSN=a\0UID=b\0\0", 13), 13, "DSN=a;UID=b;"},
        // A ";" before the first NUL makes it the semicolon form.
        {std::string("A=1;;B=2\0X=9\0\0", 14), 14, "A=1;B=2;"},
        {std::string("\0\0", 2), 2, ""},
        {"DSN=a;UID=b", -7, "DSN=a;UID=b"},
        // Never past the given length, even without the closing empty item.
        {std::string("A=1\0B=2SECRET", 13), 7, "A=1;B=2;"},
        {"A=1;B=2;C=3", 5, "A=1;B"},
        {"ignored", 0, ""},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(makeConnectionString(c.text.data(), c.length), c.expected)
            << PrintToString(c.text) << " length " << c.length;
        EXPECT_EQ(makeConnectionStringW(widenAscii(c.text).data(), c.length), c.expected)
            << PrintToString(c.text) << " length " << c.length;
    }
    EXPECT_EQ(makeConnectionString(static_cast<const char*>(nullptr), SQL_NTS), "");
    EXPECT_EQ(makeConnectionStringW(nullptr, SQL_NTS), "");
}

TEST(ConnectionText, MaskConnectionStringHidesEveryPasswordItem) {
    const std::vector<TextCase> cases = {
        {"DSN=a;pwd=secret;UID=b", SQL_NTS, "DSN=a;PWD=****;UID=b;"},
        {"PWD=secret", SQL_NTS, "PWD=****;"},
        {"DSN=a", SQL_NTS, "DSN=a;"},
        {"PWDX=secret;A=2", SQL_NTS, "PWD=****;A=2;"},
        {"DSN=a;;Pwd=secret;", -9, "DSN=a;PWD=****;"},
        {std::string("DSN=a\0PWD=secret\0\0", 19), 19, "DSN=a;PWD=****;"},
        // Only the given bytes are read.
        {std::string("DSN=a\0PWD=secret", 16), 6, "DSN=a;"},
        {"A=1;B=2;PWD=secret", 5, "A=1;B;"},
        {"A=1", 0, ""},
        // Read as the connect reads it: the list items joined by ";".
        {std::string("DSN=x\0UID=u;PWD=secret\0", 23), 23, "DSN=x;UID=u;PWD=****;"},
        {"DSN=a;PWD={se;cret}};x};UID=b", SQL_NTS, "DSN=a;PWD=****;UID=b;"},
        {"PWD={secret;UID=b", SQL_NTS, "PWD=****;"},
    };
    for (const TextCase& c : cases) {
        const std::string masked = maskConnectionString(c.text.data(), c.length);
        EXPECT_EQ(masked, c.expected) << PrintToString(c.text) << " length " << c.length;
        EXPECT_EQ(masked.find("secret"), std::string::npos) << PrintToString(c.text);
        if (c.length == SQL_NTS) {
            EXPECT_EQ(maskConnectionStringW(widenAscii(c.text).c_str()), c.expected) << c.text;
        }
    }
    EXPECT_EQ(maskConnectionString(static_cast<const char*>(nullptr), SQL_NTS), "");
    EXPECT_EQ(maskConnectionStringW(nullptr), "");
}

TEST(ConnectionText, ParseConnectionStringKeepsFirstValuesAndSplitsAtEquals) {
    struct Case {
        std::string text;
        SQLSMALLINT length;
        ConnectionStringMap expected;
    };
    const std::vector<Case> cases = {
        {"A=1;A=2;B;K=x=y", SQL_NTS, {{"A", "1"}, {"B", ""}, {"K", "x"}}},
        {std::string("DSN=a\0dsn=b\0\0", 13), 13, {{"DSN", "a"}, {"dsn", "b"}}},
        {"==lead=v;==;A==1", SQL_NTS, {{"lead", "v"}, {"A", "1"}}},
        {std::string("A=1\0B=2SECRET", 13), 7, {{"A", "1"}, {"B", "2"}}},
        {"A=1", 0, {}},
        {std::string("DSN=x\0UID=u;PWD=secret\0", 23),
         23,
         {{"DSN", "x"}, {"UID", "u"}, {"PWD", "secret"}}},
        {"PWD={a;b=}}c};UID=u;X={}", SQL_NTS, {{"PWD", "a;b=}c"}, {"UID", "u"}, {"X", ""}}},
    };
    for (const Case& c : cases) {
        ConnectionStringMap map;
        parseConnectionString(c.text.data(), c.length, map);
        EXPECT_EQ(map, c.expected) << PrintToString(c.text);
        ConnectionStringMap wide;
        parseConnectionStringW(widenAscii(c.text).data(), c.length, wide);
        EXPECT_EQ(wide, c.expected) << PrintToString(c.text);
    }
    ConnectionStringMap map{{"A", "kept"}};
    parseConnectionString(std::string("A=1\0C=3\0\0", 9), map);
    EXPECT_EQ(map, (ConnectionStringMap{{"A", "kept"}, {"C", "3"}}));
}

TEST(ConnectionText, OversizeSemicolonTextIsReadUpToTheBound) {
    // 4,095 bytes are read: "K=" and 4,093 characters of the value.
    const std::string text = "K=" + std::string(5000, 'x') + ";B=2";
    ConnectionStringMap map;
    parseConnectionString(text, map);
    EXPECT_EQ(map, (ConnectionStringMap{{"K", std::string(4093, 'x')}}));
    EXPECT_EQ(makeConnectionString(text.c_str(), static_cast<SQLSMALLINT>(text.size() + 1)),
              "K=" + std::string(4093, 'x') + ";");
    EXPECT_EQ(maskConnectionString(("PWD=1;" + text).c_str(), SQL_NTS),
              "PWD=****;K=" + std::string(4087, 'x') + ";");
    // Widening keeps a slot for the terminator; narrowing stops at 4,095 bytes.
    EXPECT_EQ(getAttributeValue("K=" + std::string(4094, 'v'), L"K"), std::string(4093, 'v'));
    const std::wstring wide = L"K=" + std::wstring(6000, L'v');
    EXPECT_EQ(getAttributeValueW(wide.c_str(), SQL_NTS, L"K"), std::string(4093, 'v'));
}

TEST(ConnectionText, SetConnectionStringValueMatchesKeysWithoutCase) {
    EXPECT_EQ(setConnectionStringValue("dsn=a;UID=b;", "DSN", "c"), "UID=b;dsn=c;");
    EXPECT_EQ(setConnectionStringValue("A=1;", "B", "2"), "A=1;B=2;");
    EXPECT_EQ(setConnectionStringValue("A=1;a=2;", "A", "3"), "A=3;a=2;");
    // A value holding ";" or braces is written in braces and reads back whole.
    const std::string written = setConnectionStringValue("A=1;", "PWD", "x;}{y");
    EXPECT_EQ(written, "A=1;PWD={x;}}{y};");
    EXPECT_EQ(getAttributeValue(written, L"PWD"), "x;}{y");
}

TEST(ConnectionText, GetAttributeValueMatchesItemsByPrefix) {
    struct Case {
        std::string text;
        SQLSMALLINT length;
        const wchar_t* key;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"DSNTYPE=1;DSN=abc", SQL_NTS, L"DSN", "YPE=1"},
        {"uid=joe", SQL_NTS, L"UID", "joe"},
        {"A=1;;B=2;", SQL_NTS, L"b", "2"},
        {"A=1;B=2", SQL_NTS, L"C", ""},
        // An item too short to hold the key and "=" has no value.
        {"DSN;UID=x", SQL_NTS, L"DSN", ""},
        {"DSN=;UID=x", SQL_NTS, L"DSN", ""},
        {"", SQL_NTS, L"DSN", ""},
        {std::string("DSN=a\0UID=b\0\0", 13), 13, L"UID", "b"},
        {std::string("A=1\0UID=b", 9), 9, L"UID", "b"},
        {std::string("A=1\0UID=b", 9), 4, L"UID", ""},
        {"A=1;UID=b", -9, L"uid", "b"},
        {"PWD={a;UID=x}};b};UID=u", SQL_NTS, L"UID", "u"},
        {"PWD={a;UID=x}};b};UID=u", SQL_NTS, L"PWD", "a;UID=x};b"},
        {std::string("DSN=x\0UID=u;PWD=secret\0", 23), 23, L"PWD", "secret"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(getAttributeValueW(widenAscii(c.text).data(), c.length, c.key), c.expected)
            << PrintToString(c.text) << " length " << c.length;
        if (c.length == SQL_NTS) {
            EXPECT_EQ(getAttributeValue(c.text, c.key), c.expected) << c.text;
        }
    }
    EXPECT_EQ(getAttributeValue("DSN=a", nullptr), "");
    EXPECT_EQ(getAttributeValueW(nullptr, SQL_NTS, L"DSN"), "");
}

TEST(ConnectionText, WideConversionsFollowTheLocaleAndStopAtAnUnconvertibleCharacter) {
    const std::string text = "DSN=caf\xc3\xa9;X=1";
    {
        LocaleGuard locale("C");
        EXPECT_EQ(getAttributeValue(text, L"DSN"), "caf\xc3\xa9") << "narrow text is read as is";
        EXPECT_EQ(getAttributeValueW(L"DSN=caf\u00e9", SQL_NTS, L"DSN"), "caf");
    }
    LocaleGuard locale("C.UTF-8");
    EXPECT_EQ(getAttributeValue(text, L"DSN"), "caf\xc3\xa9");
    EXPECT_EQ(makeConnectionStringW(L"A=\u00e9;B=1", SQL_NTS), "A=\xc3\xa9;B=1");
}

TEST(ConnectionText, DsnScopeIsChosenAndLeftSet) {
    struct Case {
        const char* name;
        bool inUser;
        bool inSystem;
        UWORD mode;
        std::string marker;
    };
    const std::vector<Case> cases = {
        {"system only", false, true, ODBC_SYSTEM_DSN, "system"},
        {"user only", true, false, ODBC_USER_DSN, "user"},
        {"both", true, true, ODBC_SYSTEM_DSN, "system"},
        {"neither", false, false, ODBC_USER_DSN, ""},
    };
    auto& installer = InstallerFacade::instance();
    for (const Case& c : cases) {
        OdbcSandbox sandbox;
        if (c.inUser) {
            sandbox.addDsn("Sales", "TestDriver", {{"Marker", "user"}}, Scope::User);
        }
        if (c.inSystem) {
            sandbox.addDsn("Sales", "TestDriver", {{"Marker", "system"}}, Scope::System);
        }
        installer.setConfigMode(ODBC_BOTH_DSN);
        EXPECT_EQ(selectDsnConfigMode("Sales"), c.mode) << c.name;
        EXPECT_EQ(currentConfigMode(), c.mode) << c.name;

        installer.setConfigMode(ODBC_BOTH_DSN);
        EXPECT_EQ(getDsnValue("Sales", L"Marker"), c.marker) << c.name;
        EXPECT_EQ(currentConfigMode(), c.mode) << c.name;
        EXPECT_EQ(getDsnValue("Sales", L"Absent"), "") << c.name;
        EXPECT_EQ(currentConfigMode(), c.mode) << c.name;

        // The wide read takes the mode it finds and keeps it.
        installer.setConfigMode(ODBC_USER_DSN);
        EXPECT_EQ(getDsnValueW(L"Sales", L"Marker"), c.inUser ? "user" : "") << c.name;
        EXPECT_EQ(currentConfigMode(), ODBC_USER_DSN) << c.name;
    }
}

TEST(ConnectionText, DsnReadsNeverListNames) {
    OdbcSandbox sandbox;
    sandbox.addDsn("Sales", "TestDriver", {{"Marker", "user"}}, Scope::User);
    // A null or empty section or key would make the installer list names.
    EXPECT_EQ(getDsnValue("Sales", nullptr), "");
    EXPECT_EQ(getDsnValue("Sales", L""), "");
    EXPECT_EQ(getDsnValue("", L"Marker"), "");
    EXPECT_EQ(selectDsnConfigMode(nullptr), ODBC_USER_DSN);
    EXPECT_EQ(getDsnValueW(nullptr, L"Marker"), "");
}

}  // namespace
