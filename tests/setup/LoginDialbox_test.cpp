// The login prompt export of the built driver, called as a driver manager
// calls it, with the scripted dialog module answering the panel.
#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "driver/core/Keychain.h"
#include "tests/support/DriverLibrary.h"
#include "tests/support/OdbcSandbox.h"

namespace {

using Dialbox = SQLRETURN (*)(HWND, LPWSTR, DWORD, int*, SQLUSMALLINT, UWORD*);

constexpr const char* kProduct = "Vorlan Tarvex";

// The value of a key in an ini section, as the file holds it.
std::optional<std::string> iniValue(const std::filesystem::path& file, const std::string& section,
                                    const std::string& key) {
    std::ifstream in(file);
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') {
            inSection = line == "[" + section + "]";
        } else if (inSection) {
            std::smatch match;
            if (std::regex_match(line, match, std::regex("\\s*([^=]*?)\\s*=\\s*(.*?)\\s*")) &&
                match[1] == key) {
                return match[2].str();
            }
        }
    }
    return std::nullopt;
}

struct Case {
    const char* name;
    std::wstring text;  // may hold NULs (the attribute-list form)
    OdbcSandbox::Keys dsnKeys;
    const char* storedPassword;  // for user "sam", or null
    const char* script;          // the panel's answer, or "" when it must not show
    SQLRETURN result;
    std::wstring after;
    const char* journal;      // the panel as shown, or ""
    const char* useKeychain;  // the DSN's UseKeychain after, or null for absent
    const char* userId;
};

// A private world per case: ini files, secret store, the script and the
// journal of the scripted panel, the last user in the driver's settings.
struct World {
    OdbcSandbox sandbox;
    std::string script = (sandbox.root() / "script").string();
    std::string journal = (sandbox.root() / "journal").string();

    World() {
        setenv("LANG", "C.UTF-8", 1);
        unsetenv("LC_ALL");
        unsetenv("LANGUAGE");
        setenv("MORVANEX_TEST_UI_MODULE", std::getenv("MORVANEX_UI_SCRIPT_PATH"), 1);
        setenv("MORVANEX_UI_SCRIPT", script.c_str(), 1);
        setenv("MORVANEX_UI_JOURNAL", journal.c_str(), 1);
        sandbox.setKey(sandbox.odbcinstIni(OdbcSandbox::Scope::System), kProduct, "LastUser",
                       "last");
    }
    void answer(const std::string& line) const { OdbcSandbox::writeFile(script, line + "\n"); }
    std::string shown() const {
        return std::filesystem::exists(journal) ? OdbcSandbox::readFile(journal) : "";
    }
    std::optional<std::string> dsnKey(const std::string& dsn, const std::string& key) const {
        return iniValue(sandbox.odbcIni(OdbcSandbox::Scope::User), dsn, key);
    }
};

SQLRETURN callDialbox(wchar_t* text, DWORD size) {
    static DriverLibrary driver(MORVANEX_DRIVER_PATH);
    static auto dialbox = driver.function<Dialbox>("_iodbcdm_drvconn_dialboxw");
    int state = 0;
    UWORD config = 0;
    return dialbox(nullptr, text, size, &state, SQL_DRIVER_COMPLETE, &config);
}

TEST(LoginDialbox, CompletesTheLoginFromTheStoreOrThePanel) {
    using namespace std::string_literals;
    const Case cases[] = {
        {"sqlite untouched",
         L"DSN=k;Extra=1",
         {{"Type", "SQLite"}},
         nullptr,
         "",
         0,
         L"DSN=k;Extra=1",
         "",
         nullptr,
         nullptr},
        {"stored password",
         L"DSN=k",
         {{"UseKeychain", "yes"}, {"UserID", "sam"}},
         "p;w}",
         "",
         0,
         L"DSN=k;UID=sam;PWD={p;w}}};",
         "",
         "yes",
         "sam"},
        {"no stored password",
         L"DSN=k;",
         {{"UseKeychain", "YES"}, {"UserID", "sam"}},
         nullptr,
         "",
         100,
         L"DSN=k;",
         "",
         "YES",
         "sam"},
        {"user without password",
         L"DSN=k;UID=sam",
         {},
         nullptr,
         "",
         100,
         L"DSN=k;UID=sam;",
         "",
         nullptr,
         nullptr},
        {"no dsn, no user",
         L"Server=x",
         {},
         nullptr,
         "login cancel",
         100,
         L"Server=x;",
         "login dsn= user=last keychainOffered=1 keychain=0\n",
         nullptr,
         nullptr},
        {"cancel",
         L"DSN=k",
         {},
         nullptr,
         "login cancel",
         100,
         L"DSN=k;",
         "login dsn=k user=last keychainOffered=1 keychain=0\n",
         nullptr,
         nullptr},
        {"ok, box ticked",
         L"DSN=k;PWD=old",
         {},
         nullptr,
         "login ok user=sam password=a%3Bb keychain=1",
         0,
         L"DSN=k;UID=sam;PWD={a;b};",
         "login dsn=k user=last keychainOffered=1 keychain=0\n",
         "Yes",
         "sam"},
        {"ok, box clear",
         L"DSN=k",
         {{"UseKeychain", "Yes"}},
         nullptr,
         "login ok user=s%7Dm password=pw keychain=0",
         0,
         L"DSN=k;UID={s}}m};PWD=pw;",
         "login dsn=k user=last keychainOffered=1 keychain=0\n",
         "",
         ""},
        {"attribute list",
         L"DSN=k\0Extra=1\0\0"s,
         {{"UseKeychain", "Yes"}, {"UserID", "sam"}},
         "pw",
         "",
         0,
         L"DSN=k;Extra=1;UID=sam;PWD=pw;",
         "",
         "Yes",
         "sam"},
        {"non-ascii dsn",
         L"DSN=Verkäufe",
         {{"UseKeychain", "Yes"}, {"UserID", "sam"}},
         "pw",
         "",
         0,
         L"DSN=Verkäufe;UID=sam;PWD=pw;",
         "",
         "Yes",
         "sam"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        World world;
        const std::string dsn = c.text.find(L"Verk") != std::wstring::npos ? "Verkäufe" : "k";
        world.sandbox.addDsn(dsn, "morvanex", c.dsnKeys);
        if (c.storedPassword != nullptr) {
            ASSERT_EQ(storeKeychainPassword("morvanex", dsn, "sam", c.storedPassword, true), 0);
        }
        world.answer(c.script);
        std::vector<wchar_t> buffer(256, L'\0');
        std::copy(c.text.begin(), c.text.end(), buffer.begin());
        EXPECT_EQ(callDialbox(buffer.data(), static_cast<DWORD>(buffer.size())), c.result);
        EXPECT_EQ(std::wstring(buffer.data()), c.after);
        EXPECT_EQ(world.shown(), c.journal);
        const auto useKeychain = world.dsnKey(dsn, "UseKeychain");
        EXPECT_EQ(useKeychain.has_value(), c.useKeychain != nullptr);
        if (useKeychain && c.useKeychain) {
            EXPECT_EQ(*useKeychain, c.useKeychain);
            EXPECT_EQ(world.dsnKey(dsn, "UserID").value_or("-"), c.userId);
        }
        if (std::string(c.name) == "ok, box ticked") {
            std::string stored;
            EXPECT_EQ(findKeychainPassword("morvanex", "k", "sam", stored), 0);
            EXPECT_EQ(stored, "a;b");
        }
    }
}

TEST(LoginDialbox, NeverReadsOrWritesPastTheBuffer) {
    World world;
    world.sandbox.addDsn("k", "morvanex", {{"UseKeychain", "Yes"}, {"UserID", "sam"}});
    ASSERT_EQ(storeKeychainPassword("morvanex", "k", "sam", "secret", true), 0);
    struct Sized {
        const wchar_t* text;
        SQLRETURN result;
        const wchar_t* after;
    };
    // 16 characters, unterminated in the first case, then a canary.
    const Sized cases[] = {
        {L"DSN=k;Server=abc", SQL_ERROR, L"DSN=k;Server=abc"},
        {L"DSN=k", SQL_ERROR, L"DSN=k"},
        {L"DSN=other", 100, L"DSN=other;"},
    };
    for (const Sized& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        world.answer("login cancel");
        wchar_t buffer[17];
        std::wmemset(buffer, L'\0', 17);
        std::wmemcpy(buffer, c.text, std::wcslen(c.text));
        buffer[16] = L'#';
        EXPECT_EQ(callDialbox(buffer, 16), c.result);
        EXPECT_EQ(std::wstring(buffer, std::wcslen(c.after)), c.after);
        EXPECT_EQ(buffer[16], L'#');
    }
    EXPECT_EQ(callDialbox(nullptr, 16), SQL_ERROR);
    wchar_t one[1] = {L'x'};
    EXPECT_EQ(callDialbox(one, 0), SQL_ERROR);
    EXPECT_EQ(one[0], L'x');
}

TEST(LoginDialbox, WithoutADisplayThePanelCountsAsCancel) {
    World world;
    setenv("MORVANEX_TEST_UI_MODULE", std::getenv("MORVANEX_UI_PATH"), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    world.sandbox.addDsn("k", "morvanex", {});
    const std::string before =
        OdbcSandbox::readFile(world.sandbox.odbcIni(OdbcSandbox::Scope::User));
    wchar_t text[64] = L"DSN=k";
    EXPECT_EQ(callDialbox(text, 64), SQL_NO_DATA);
    EXPECT_EQ(std::wstring(text), L"DSN=k;");
    EXPECT_EQ(world.shown(), "");
    EXPECT_EQ(OdbcSandbox::readFile(world.sandbox.odbcIni(OdbcSandbox::Scope::User)), before);
}

}  // namespace
