// The DSN panes through real iODBC in the ini sandbox: listings (a name of
// exactly 32 bytes, non-ASCII), add/configure/remove through a recording
// setup library and through the generic editor, the editor's save rules,
// and the requests sent when the installer refuses a write.
#include <gtest/gtest.h>

#include <sqlext.h>

#include <fstream>
#include <sstream>

#include "admin/AppController.h"
#include "admin/AuthListener.h"
#include "admin/DsnEditor.h"
#include "platform/InstallerFacade.h"
#include "tests/quillmark/ScriptedDialogs.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

using Scope = OdbcSandbox::Scope;

const std::string kName32 = "DSN_of_exactly_thirty_two_bytes_";

struct Sent {
    std::vector<std::string> texts;
    std::string reply = "OK";
    PrivilegedRequest::Sender sender() {
        return [this](const std::string& text) {
            texts.push_back(text);
            return reply;
        };
    }
};

class DsnPanes : public ::testing::Test {
  protected:
    void SetUp() override {
        sandbox.addDriver("Recorder", {{"Driver", QUILLMARK_RECORDING_SETUP},
                                       {"Setup", QUILLMARK_RECORDING_SETUP}});
        sandbox.addDriver("Plain", {{"Driver", "/nonexistent/plain.so"}});
        sandbox.addDsn(kName32, "Recorder", {{"Description", "long"}, {"Server", "a"}});
        sandbox.addDsn("Données€", "Plain", {{"Description", "accents"}});
        sandbox.addDsn("SysOne", "Recorder", {{"Description", "sys"}, {"Port", "5"}},
                       Scope::System);
    }
    void TearDown() override {
        InstallerFacade::instance().setRefusal(nullptr);
        AuthListener::stopAndWait();
    }

    std::vector<std::string> recorded() const {
        std::ifstream in(record);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    OdbcSandbox sandbox;
    std::string record = (sandbox.root() / "setup-record").string();
    ScopedEnv recordEnv{"QUILLMARK_SETUP_RECORD", record};
    ScopedEnv answerEnv{"QUILLMARK_SETUP_ANSWER", std::nullopt};
    ScopedEnv lang{"LANG", "C.UTF-8"};
    ScriptedDialogs dialogs;
    Sent sent;
    AppController app{dialogs, sent.sender()};
};

TEST_F(DsnPanes, ListWhatTheSandboxHolds) {
    // A section without its line in [ODBC Data Sources] is a DSN too: listed,
    // and asked about before a save replaces it.
    sandbox.setKey(sandbox.odbcIni(Scope::User), "Bare", "Driver", "Plain");
    sandbox.setKey(sandbox.odbcIni(Scope::User), "Bare", "Description", "unlisted");
    app.awakeFromNib();
    const DataSource::Rows user = {{"Bare", "unlisted", "Plain"},
                                   {"Données€", "accents", "Plain"},
                                   {kName32, "long", "Recorder"}};
    EXPECT_EQ(app.userDSN().rows(), user);
    EXPECT_TRUE(DsnEditor("", "Plain", IniAccess::User, sent.sender()).replacesAnother("bare"));
    EXPECT_FALSE(DsnEditor("", "Plain", IniAccess::System, sent.sender()).replacesAnother("Bare"));
    const DataSource::Rows system = {{"SysOne", "sys", "Recorder"}};
    EXPECT_EQ(app.systemDSN().rows(), system);
    const DriverSource::Rows drivers = {{"Plain", "/nonexistent/plain.so"},
                                        {"Recorder", QUILLMARK_RECORDING_SETUP}};
    EXPECT_EQ(app.drivers().rows(), drivers);
}

TEST_F(DsnPanes, SetupEntryReceivesEachRequest) {
    app.awakeFromNib();
    dialogs.driverAnswer = "Recorder";
    ASSERT_TRUE(app.userDSN().addDSN());
    ASSERT_TRUE(app.userDSN().configureDSN(1));
    ASSERT_TRUE(app.systemDSN().addDSN());
    ASSERT_TRUE(app.systemDSN().configureDSN(0));
    ASSERT_TRUE(app.systemDSN().removeDSN(0));
    // iODBC sets the system mode itself and hands the entry the user codes.
    const std::vector<std::string> expected = {
        "1|Recorder|window|",
        "2|Recorder|window|DSN=" + kName32 + ";Description=long;Server=a;",
        "1|Recorder|window|",
        "2|Recorder|window|DSN=SysOne;Description=sys;Port=5;",
        "3|Recorder|window|DSN=SysOne;Driver=Recorder;Description=sys;Port=5;",
    };
    EXPECT_EQ(recorded(), expected);
    EXPECT_TRUE(dialogs.forms.empty());
    EXPECT_TRUE(sent.texts.empty());
}

TEST_F(DsnPanes, DriverWithoutSetupGoesToTheEditor) {
    app.awakeFromNib();
    dialogs.driverAnswer = "Plain";
    ASSERT_TRUE(app.userDSN().addDSN());
    ASSERT_TRUE(app.userDSN().configureDSN(0));
    const std::vector<std::string> forms = {"|Plain|1", "Données€|Plain|1"};
    EXPECT_EQ(dialogs.forms, forms);
    dialogs.driverAnswer.reset();
    EXPECT_FALSE(app.userDSN().addDSN());  // picker cancelled: nothing to reload
}

TEST_F(DsnPanes, RemoveFallsBackToTheIniThenToTheHelper) {
    setenv("QUILLMARK_SETUP_ANSWER", "0", 1);
    app.awakeFromNib();
    ASSERT_TRUE(app.userDSN().removeDSN(0));
    app.userDSN().load();
    ASSERT_EQ(app.userDSN().rows().size(), 1u);

    InstallerFacade::instance().setRefusal(
        [](std::string_view function) { return function == "SQLRemoveDSNFromIni"; });
    ASSERT_TRUE(app.systemDSN().removeDSN(0));
    ASSERT_EQ(sent.texts.size(), 1u);
    EXPECT_NE(sent.texts[0].find("ConnectionString = SysOne;"), std::string::npos) << sent.texts[0];
    EXPECT_NE(sent.texts[0].find("Request = Remove;"), std::string::npos);
    EXPECT_NE(sent.texts[0].find("Type = System;"), std::string::npos);

    // The helper made no change either: the alert says what its reply means.
    const std::pair<std::string, std::string> cases[] = {
        {"Failed to create XPC connection",
         "could not be reached. An administrator enables it with: sudo systemctl enable --now "
         "quillmark-helper.socket"},
        {"ERROR 5370", "refused the change. Only root, or an administrator who authenticates"},
        {"ERROR 5366\n", "could not make the change. It answered: ERROR 5366"},
    };
    for (const auto& [reply, said] : cases) {
        sent.reply = reply;
        ASSERT_TRUE(app.systemDSN().removeDSN(0));
        const std::string& alert = dialogs.alerts.back();
        EXPECT_NE(alert.find("\nThe privileged helper " + said), std::string::npos) << alert;
        // The enabling command only where the helper was not reached.
        EXPECT_EQ(alert.find("systemctl") == std::string::npos,
                  said.find("systemctl") == std::string::npos)
            << alert;
    }
}

TEST_F(DsnPanes, DriverRemovalAsksThenAlertsWhenNothingTookIt) {
    app.awakeFromNib();
    dialogs.confirmAnswer = false;
    EXPECT_FALSE(app.drivers().removeDriver(0));
    EXPECT_FALSE(app.drivers().removeDriver(2));
    EXPECT_EQ(app.drivers().load().size(), 2u);

    dialogs.confirmAnswer = true;
    ASSERT_TRUE(app.drivers().removeDriver(0));
    const DriverSource::Rows left = {{"Recorder", QUILLMARK_RECORDING_SETUP}};
    EXPECT_EQ(app.drivers().load(), left);
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_TRUE(sent.texts.empty());

    InstallerFacade::instance().setRefusal(
        [](std::string_view function) { return function == "SQLRemoveDriver"; });
    sent.reply = "ERROR 5370";
    ASSERT_TRUE(app.drivers().removeDriver(0));
    ASSERT_EQ(sent.texts.size(), 1u);
    EXPECT_NE(sent.texts[0].find("Request = Remove;"), std::string::npos) << sent.texts[0];
    const std::vector<std::string> alerts = {
        "An error occured while trying to configure the driver.\nSQLRemoveDriver was refused"};
    EXPECT_EQ(dialogs.alerts, alerts);
    EXPECT_EQ(app.drivers().load(), left);
}

struct EditorCase {
    const char* label;
    std::string original;
    std::string name;
    DsnEditor::Rows rows;
    std::vector<std::string> gone;                 // sections now absent
    std::vector<std::array<std::string, 3>> kept;  // section, key, value
    std::vector<std::string> dropped;              // keys of the new section now absent
};

TEST_F(DsnPanes, EditorSaveRules) {
    const std::vector<EditorCase> cases = {
        {"same name rewrites in place and drops removed keys",
         kName32,
         kName32,
         {{"Port", "7"}},
         {},
         {{kName32, "Port", "7"}, {kName32, "Description", "new"}},
         {"Server"}},
        {"same name ignoring case",
         kName32,
         "dsn_OF_exactly_thirty_two_bytes_",
         {{"Server", "b"}},
         {},
         {{kName32, "Server", "b"}},
         {}},
        {"rename writes the new entry and removes the old",
         kName32,
         "Renamed",
         {{"Server", "c"}},
         {kName32},
         {{"Renamed", "Server", "c"}, {"Renamed", "Description", "new"}},
         {}},
        {"add", "", "Fresh", {{"Keyword", "Value"}}, {}, {{"Fresh", "Keyword", "Value"}}, {}},
    };
    for (const EditorCase& c : cases) {
        SCOPED_TRACE(c.label);
        OdbcSandbox fresh;
        fresh.addDriver("Recorder", {{"Driver", QUILLMARK_RECORDING_SETUP}});
        fresh.addDsn(kName32, "Recorder", {{"Description", "long"}, {"Server", "a"}});
        const DsnEditor editor(c.original, "Recorder", IniAccess::User, sent.sender());
        EXPECT_EQ(editor.save(c.name, "new", c.rows), DsnEditor::Outcome::Written);
        const IniAccess user(IniAccess::User);
        for (const std::string& section : c.gone) {
            EXPECT_TRUE(user.keys(section)->empty()) << section;
        }
        for (const auto& [section, key, value] : c.kept) {
            EXPECT_EQ(user.valueOr(section, key), value) << section << "/" << key;
        }
        for (const std::string& key : c.dropped) {
            EXPECT_EQ(user.value(c.name, key, "odbc.ini"), std::string()) << key;
        }
        EXPECT_TRUE(sent.texts.empty());
    }
}

TEST_F(DsnPanes, RefusedEditorWriteSendsOneRequestWithTheOriginalName) {
    InstallerFacade::instance().setRefusal(
        [](std::string_view function) { return function == "SQLWriteDSNToIni"; });
    const DsnEditor editor("SysOne", "Recorder", IniAccess::System, sent.sender());
    EXPECT_EQ(editor.save("SysTwo", "a;b", {{"Path", "{x}"}}), DsnEditor::Outcome::Sent);
    ASSERT_EQ(sent.texts.size(), 1u);
    const std::string& text = sent.texts[0];
    EXPECT_NE(text.find("ConnectionString = \"DSN=SysTwo;Description={a;b};Path={{x}}};\";"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("OriginalName = SysOne;"), std::string::npos);
    EXPECT_NE(text.find("Request = Configure;"), std::string::npos);
    // The old entry is still there: nothing was removed before the write.
    EXPECT_EQ(IniAccess(IniAccess::System).valueOr("SysOne", "Port"), "5");

    sent.reply = "ERROR 5370";
    EXPECT_EQ(editor.save("SysTwo", std::string(5000, 'x'), {}), DsnEditor::Outcome::TooLong);
    EXPECT_EQ(editor.save("SysTwo", "d", {}), DsnEditor::Outcome::HelperRefused);
    EXPECT_EQ(sent.texts.size(), 2u);
}

}  // namespace
