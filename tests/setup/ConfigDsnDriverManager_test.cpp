// The setup entry as a host reaches it: SQLConfigDataSourceW of iODBC's
// installer library loads the built morvanex.so as the setup library of
// the driver "morvanex", in the ini sandbox, with the dialogs answered from
// a script by the scripted dialog module.
#include <gtest/gtest.h>

#include <odbcinst.h>

#include <string>
#include <vector>

#include "platform/InstallerFacade.h"
#include "tests/support/DriverLibrary.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

using Scope = OdbcSandbox::Scope;

class ConfigDsnDriverManager : public ::testing::Test {
  protected:
    ConfigDsnDriverManager()
        : language_("LANGUAGE", "en"),
          flatpak_("FLATPAK_ID", std::nullopt),
          module_("MORVANEX_TEST_UI_MODULE", std::getenv("MORVANEX_UI_SCRIPT_PATH")),
          script_("MORVANEX_UI_SCRIPT", (sandbox_.root() / "script").string()),
          journal_("MORVANEX_UI_JOURNAL", (sandbox_.root() / "journal").string()) {
        sandbox_.addDriver("morvanex",
                           {{"Driver", MORVANEX_DRIVER_PATH}, {"Setup", MORVANEX_DRIVER_PATH}});
    }

    // A fresh script, so that its answers are used from the first line.
    void answers(const std::string& lines) {
        static int serial = 0;
        const auto path = sandbox_.root() / ("script" + std::to_string(++serial));
        OdbcSandbox::writeFile(path, lines);
        setenv("MORVANEX_UI_SCRIPT", path.c_str(), 1);
    }

    BOOL config(WORD request, const std::wstring& attributes) {
        installer().setConfigMode(ODBC_BOTH_DSN);
        const std::wstring list = attributes + L'\0';
        return installer().configDataSourceW(nullptr, request, L"morvanex", list.c_str());
    }

    // A key of a DSN in one scope's file; "-" when absent.
    std::string value(Scope scope, const std::string& dsn, const std::string& key) {
        std::vector<char> out(512, 0);
        installer().setConfigMode(scope == Scope::User ? ODBC_USER_DSN : ODBC_SYSTEM_DSN);
        installer().getPrivateProfileString(dsn.c_str(), key.c_str(), "-", out.data(),
                                            static_cast<int>(out.size()), "odbc.ini");
        return out.data();
    }
    bool listed(Scope scope, const std::string& dsn) {
        return value(scope, "ODBC Data Sources", dsn) != "-";
    }

    std::vector<DWORD> errors() {
        std::vector<DWORD> codes;
        for (WORD i = 1; i <= 8; ++i) {
            DWORD code = 0;
            char message[512] = {};
            WORD length = 0;
            if (installer().installerError(i, &code, message, sizeof message, &length) !=
                SQL_SUCCESS) {
                break;
            }
            codes.push_back(code);
        }
        return codes;
    }

    std::string journal() {
        const auto path = sandbox_.root() / "journal";
        return std::filesystem::exists(path) ? OdbcSandbox::readFile(path) : "";
    }

    static InstallerFacade& installer() { return InstallerFacade::instance(); }

    OdbcSandbox sandbox_;
    ScopedEnv language_;
    ScopedEnv flatpak_;
    ScopedEnv module_;
    ScopedEnv script_;
    ScopedEnv journal_;
};

TEST_F(ConfigDsnDriverManager, AddsInEachScopeAndRemoves) {
    struct Case {
        WORD add, remove;
        Scope scope, other;
    };
    const Case cases[] = {{ODBC_ADD_DSN, ODBC_REMOVE_DSN, Scope::User, Scope::System},
                          {ODBC_ADD_SYS_DSN, ODBC_REMOVE_SYS_DSN, Scope::System, Scope::User}};
    for (const Case& c : cases) {
        answers("wizard accept DSN=x DriverDSN=y Description=two%3Bwords\n");
        ASSERT_TRUE(config(c.add, std::wstring(L"DSN=x\0DriverDSN=y", 17)));
        EXPECT_TRUE(listed(c.scope, "x"));
        EXPECT_FALSE(listed(c.other, "x"));
        EXPECT_EQ(value(c.scope, "x", "DriverDSN"), "y");
        EXPECT_EQ(value(c.scope, "x", "Description"), "two;words");
        EXPECT_EQ(value(c.scope, "x", "ReadOnly"), "");
        ASSERT_TRUE(config(c.remove, L"DSN=x"));
        EXPECT_FALSE(listed(c.scope, "x"));
    }
}

TEST_F(ConfigDsnDriverManager, OverwriteQuestions) {
    struct Case {
        std::vector<Scope> existing;
        WORD request;
        std::string alerts;
        // DriverDSN of x afterwards in the user and the system file.
        std::string user, system;
        int questions;
        // x has a section but no line in [ODBC Data Sources].
        bool unlisted = false;
        std::string firstAnswer = "DSN=x";
    };
    const Case cases[] = {
        {{Scope::User}, ODBC_ADD_DSN, "alert ok\n", "new", "-", 1},
        {{Scope::User}, ODBC_ADD_DSN, "alert second\n", "old", "-", 1},
        // Declined, the wizard reopens on its last panel as the user left it.
        {{Scope::User}, ODBC_ADD_DSN, "alert second\nwizard accept\nalert ok\n", "new", "-", 2},
        {{Scope::User}, ODBC_ADD_SYS_DSN, "alert ok\n", "-", "new", 1},
        {{Scope::User, Scope::System}, ODBC_ADD_DSN, "alert ok\nalert ok\n", "new", "-", 2},
        {{Scope::User, Scope::System}, ODBC_ADD_SYS_DSN, "alert ok\nalert ok\n", "old", "new", 2},
        {{Scope::User}, ODBC_ADD_DSN, "alert second\n", "old", "-", 1, true},
        {{Scope::System}, ODBC_ADD_DSN, "alert ok\n", "new", "-", 1, true},
        // Done without a name: no question, the wizard back where the name is typed.
        {{Scope::User},
         ODBC_ADD_DSN,
         "wizard accept DSN=x\nalert ok\n",
         "new",
         "-",
         1,
         false,
         "DSN="},
    };
    for (const Case& c : cases) {
        OdbcSandbox sandbox;
        sandbox.addDriver("morvanex",
                          {{"Driver", MORVANEX_DRIVER_PATH}, {"Setup", MORVANEX_DRIVER_PATH}});
        for (Scope scope : c.existing) {
            if (c.unlisted) {
                sandbox.setKey(sandbox.odbcIni(scope), "x", "DriverDSN", "old");
            } else {
                sandbox.addDsn("x", "morvanex", {{"DriverDSN", "old"}}, scope);
            }
        }
        setenv("MORVANEX_UI_JOURNAL", (sandbox.root() / "journal").c_str(), 1);
        answers("wizard accept " + c.firstAnswer + " DriverDSN=new\n" + c.alerts);
        EXPECT_TRUE(config(c.request, L"DSN=x"));
        EXPECT_EQ(value(Scope::User, "x", "DriverDSN"), c.user) << c.alerts;
        EXPECT_EQ(value(Scope::System, "x", "DriverDSN"), c.system) << c.alerts;
        const std::string seen = OdbcSandbox::readFile(sandbox.root() / "journal");
        int questions = 0;
        for (std::size_t at = 0; (at = seen.find("x is already a data source name. Overwrite?",
                                                 at)) != std::string::npos;
             ++at) {
            ++questions;
        }
        EXPECT_EQ(questions, c.questions) << seen;
        EXPECT_EQ(seen.find("message= is already"), std::string::npos) << seen;
        EXPECT_EQ(seen.find("wizard x||new on panel 4") != std::string::npos,
                  c.alerts.rfind("alert second", 0) == 0)
            << seen;
    }
}

TEST_F(ConfigDsnDriverManager, ConfigureInPlaceAndRename) {
    struct Case {
        std::string answer;
        std::string listedName, removedName;
    };
    const Case cases[] = {
        {"wizard accept Description=changed\n", "Sales", ""},
        {"wizard accept DSN=SALES Description=changed\n", "Sales", ""},
        {"wizard accept DSN=Orders Description=changed\n", "Orders", "Sales"},
    };
    for (const Case& c : cases) {
        sandbox_.addDsn("Sales", "morvanex", {{"DriverDSN", "pg"}, {"Description", "old"}},
                        Scope::User);
        answers(c.answer);
        ASSERT_TRUE(config(ODBC_CONFIG_DSN, L"DSN=Sales")) << c.answer;
        EXPECT_TRUE(listed(Scope::User, c.listedName));
        EXPECT_EQ(value(Scope::User, c.listedName, "Description"), "changed");
        EXPECT_EQ(value(Scope::User, c.listedName, "DriverDSN"), "pg");
        if (!c.removedName.empty()) {
            EXPECT_FALSE(listed(Scope::User, c.removedName));
        }
        EXPECT_EQ(OdbcSandbox::readFile(sandbox_.odbcIni(Scope::User)).find("SALES"),
                  std::string::npos);
    }
}

TEST_F(ConfigDsnDriverManager, RefusalsAndInstallerErrors) {
    sandbox_.addDsn("keep", "morvanex", {{"DriverDSN", "pg"}}, Scope::User);
    struct Case {
        const char* label;
        const char* flatpak;
        std::string script;
        WORD request;
        std::wstring attributes;
        std::vector<DWORD> errors;
        std::string alert;
    };
    const Case cases[] = {
        {"remove without a name",
         nullptr,
         "",
         ODBC_REMOVE_DSN,
         L"DSN=",
         {ODBC_ERROR_INVALID_KEYWORD_VALUE, ODBC_ERROR_REQUEST_FAILED},
         ""},
        {"configure without DSN",
         nullptr,
         "",
         ODBC_CONFIG_DSN,
         L"Description",
         {ODBC_ERROR_INVALID_KEYWORD_VALUE, ODBC_ERROR_REQUEST_FAILED},
         "Unable to configure DSN"},
        {"no display",
         nullptr,
         "wizard none\n",
         ODBC_ADD_DSN,
         L"DSN=new",
         {ODBC_ERROR_REQUEST_FAILED, ODBC_ERROR_REQUEST_FAILED},
         ""},
        {"sandboxed remove",
         "org.example.App",
         "",
         ODBC_REMOVE_DSN,
         L"DSN=keep",
         {ODBC_ERROR_REQUEST_FAILED},
         "is not able to remove a DSN"},
        {"sandboxed add",
         "org.example.App",
         "",
         ODBC_ADD_DSN,
         L"DSN=new",
         {ODBC_ERROR_REQUEST_FAILED},
         "is not able to configure a new DSN"},
    };
    for (const Case& c : cases) {
        ScopedEnv flatpak("FLATPAK_ID",
                          c.flatpak ? std::optional<std::string>(c.flatpak) : std::nullopt);
        answers(c.script);
        const std::string before = journal();
        EXPECT_FALSE(config(c.request, c.attributes)) << c.label;
        EXPECT_EQ(errors(), c.errors) << c.label;
        EXPECT_TRUE(listed(Scope::User, "keep")) << c.label;
        EXPECT_FALSE(listed(Scope::User, "new")) << c.label;
        EXPECT_FALSE(listed(Scope::System, "new")) << c.label;
        const std::string shown = journal().substr(before.size());
        if (c.alert.empty()) {
            EXPECT_EQ(shown.find("alert "), std::string::npos) << c.label << ": " << shown;
        } else {
            EXPECT_NE(shown.find(c.alert), std::string::npos) << c.label << ": " << shown;
        }
    }
}

TEST(ConfigDsnEntry, OtherRequestsDoNothingInBothBuilds) {
    OdbcSandbox sandbox;
    const std::string user = OdbcSandbox::readFile(sandbox.odbcIni(OdbcSandbox::Scope::User));
    const std::string system = OdbcSandbox::readFile(sandbox.odbcIni(OdbcSandbox::Scope::System));
    for (const char* path : {MORVANEX_DRIVER_PATH, MORVANEX_DRIVER_A_PATH}) {
        const DriverLibrary driver(path);
        const auto entry = driver.function<pConfigDSNWFunc>("ConfigDSNW");
        const wchar_t list[] = L"DSN=x\0DriverDSN=y\0";
        for (WORD request : {WORD{0}, WORD{ODBC_REMOVE_DEFAULT_DSN}, WORD{8}}) {
            EXPECT_TRUE(entry(nullptr, request, L"morvanex", list)) << path << " " << request;
        }
        EXPECT_EQ(OdbcSandbox::readFile(sandbox.odbcIni(OdbcSandbox::Scope::User)), user);
        EXPECT_EQ(OdbcSandbox::readFile(sandbox.odbcIni(OdbcSandbox::Scope::System)), system);
    }
}

}  // namespace
