// The administrator adds and configures DSNs of this driver through the
// built morvanex.so's ConfigDSNW, as iODBC loads it, with the wizard
// answered by the scripted dialog module.
#include <gtest/gtest.h>

#include <algorithm>

#include "admin/AppController.h"
#include "admin/AuthListener.h"
#include "tests/quillmark/ScriptedDialogs.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

TEST(DriverSetupEntry, AddAndConfigureOpenTheDriversWizard) {
    struct Case {
        const char* label;
        const char* answer;
        bool add;
        const char* wizardShown;
        const char* dsn;
        const char* description;
    };
    const Case cases[] = {
        {"add", "wizard accept DSN=Fresh DriverDSN=pg Description=new", true, "wizard ||", "Fresh",
         "new"},
        {"configure", "wizard accept Description=changed", false, "wizard Sales|old|pg", "Sales",
         "changed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        OdbcSandbox sandbox;
        sandbox.addDriver("morvanex",
                          {{"Driver", MORVANEX_DRIVER_PATH}, {"Setup", MORVANEX_DRIVER_PATH}});
        sandbox.addDsn("Sales", "morvanex", {{"Description", "old"}, {"DriverDSN", "pg"}});
        const auto script = sandbox.root() / "script";
        const auto journal = sandbox.root() / "journal";
        OdbcSandbox::writeFile(script, std::string(c.answer) + "\n");
        ScopedEnv lang("LANG", "C.UTF-8");
        ScopedEnv language("LANGUAGE", "en");
        ScopedEnv flatpak("FLATPAK_ID", std::nullopt);
        ScopedEnv module("MORVANEX_TEST_UI_MODULE", std::getenv("MORVANEX_UI_SCRIPT_PATH"));
        ScopedEnv scriptEnv("MORVANEX_UI_SCRIPT", script.string());
        ScopedEnv journalEnv("MORVANEX_UI_JOURNAL", journal.string());
        ScriptedDialogs dialogs;
        std::vector<std::string> sent;
        AppController app{dialogs, [&](const std::string& text) {
                              sent.push_back(text);
                              return std::string("ERROR 5370");
                          }};
        app.awakeFromNib();
        if (c.add) {
            dialogs.driverAnswer = "morvanex";
            ASSERT_TRUE(app.userDSN().addDSN());
        } else {
            ASSERT_TRUE(app.userDSN().configureDSN(0));
        }
        EXPECT_EQ(OdbcSandbox::readFile(journal), std::string(c.wizardShown) + "\n");
        const DataSource::Rows& rows = app.userDSN().load();
        EXPECT_NE(std::find(rows.begin(), rows.end(),
                            std::vector<std::string>{c.dsn, c.description, "morvanex"}),
                  rows.end());
        // Neither the generic editor nor the helper was needed.
        EXPECT_TRUE(dialogs.forms.empty());
        EXPECT_TRUE(sent.empty());
    }
    // The administrator listens for the setup entry's requests meanwhile.
    AuthListener::stopAndWait();
}

}  // namespace
