// The driver form's load and save rules and the driver removal through
// real iODBC in the ini sandbox, the requests sent when the installer
// refuses, and the trace pane's reading and writing of [ODBC].
#include <gtest/gtest.h>

#include "admin/DriverEditor.h"
#include "admin/DriverSource.h"
#include "admin/IniAccess.h"
#include "admin/TracingSettings.h"
#include "platform/InstallerFacade.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

using Scope = OdbcSandbox::Scope;

class DriverPane : public ::testing::Test {
  protected:
    void SetUp() override {
        sandbox.addDriver("Shared",
                          {{"Driver", "/lib/system.so"}, {"Setup", ""}, {"Threads", "2"}});
        sandbox.addDriver("Shared", {{"Driver", "/lib/user.so"}, {"Extra", "x"}}, Scope::User);
        sandbox.addDriver("Sys", {{"Driver", "/lib/sys.so"},
                                  {"Setup", "/lib/sys-setup.so"},
                                  {"Threads", "1"},
                                  {"Pool", "y"}});
    }
    void TearDown() override { InstallerFacade::instance().setRefusal(nullptr); }

    PrivilegedRequest::Sender sender() {
        return [this](const std::string& text) {
            sent.push_back(text);
            return std::string("OK");
        };
    }
    std::string ini(Scope scope) const { return OdbcSandbox::readFile(sandbox.odbcinstIni(scope)); }

    OdbcSandbox sandbox;
    ScopedEnv lang{"LANG", "C.UTF-8"};
    std::vector<std::string> sent;
};

TEST_F(DriverPane, LoadPrefersTheUserEntryAndFixesTheLocation) {
    const DriverEditor::Fields user = DriverEditor("Shared", sender()).load();
    EXPECT_FALSE(user.system);
    EXPECT_TRUE(user.locationFixed);
    EXPECT_EQ(user.driverPath, "/lib/user.so");
    EXPECT_EQ(user.rows, (DriverEditor::Rows{{"Extra", "x"}}));
    const DriverEditor::Fields system = DriverEditor("Sys", sender()).load();
    EXPECT_TRUE(system.system);
    EXPECT_EQ(system.setupPath, "/lib/sys-setup.so");
    EXPECT_EQ(system.rows, (DriverEditor::Rows{{"Threads", "1"}, {"Pool", "y"}}));
    EXPECT_TRUE(DriverEditor("Missing", sender()).load().missing);
}

TEST_F(DriverPane, SaveRules) {
    struct Case {
        const char* label;
        std::string original;
        DriverEditor::Fields fields;
        std::vector<std::string> present;  // "section/key=value" in the system file
        std::vector<std::string> absent;   // "section/key"
    };
    const std::vector<Case> cases = {
        {"same name in place, dropped key deleted",
         "Sys",
         {"sys", "/lib/sys2.so", "", true, true, {{"Threads", "4"}}},
         {"Sys/Driver=/lib/sys2.so", "Sys/Setup=", "Sys/Threads=4"},
         {"Sys/Pool"}},
        {"rename: new entry written, old one removed",
         "Sys",
         {"Renamed", "/lib/sys.so", "/lib/s.so", true, true, {{"Pool", "y"}}},
         {"ODBC Drivers/Renamed=Installed", "Renamed/Driver=/lib/sys.so", "Renamed/Pool=y"},
         {"ODBC Drivers/Sys", "Sys/Driver"}},
        {"add with an empty setup path",
         "",
         {"New", "/lib/new.so", "", true, false, {}},
         {"ODBC Drivers/New=Installed", "New/Driver=/lib/new.so", "New/Setup="},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        OdbcSandbox fresh;
        fresh.addDriver("Sys", {{"Driver", "/lib/sys.so"}, {"Threads", "1"}, {"Pool", "y"}});
        EXPECT_EQ(DriverEditor(c.original, sender()).save(c.fields),
                  DriverEditor::Outcome::Written);
        const IniAccess system(IniAccess::System);
        for (const std::string& entry : c.present) {
            const size_t slash = entry.find('/');
            const size_t equals = entry.find('=');
            const std::string section = entry.substr(0, slash);
            const std::string key = entry.substr(slash + 1, equals - slash - 1);
            const auto keys = system.keys(section, "odbcinst.ini");
            EXPECT_NE(std::find(keys->begin(), keys->end(), key), keys->end()) << entry;
            EXPECT_EQ(system.valueOr(section, key, "odbcinst.ini"), entry.substr(equals + 1));
        }
        for (const std::string& entry : c.absent) {
            const size_t slash = entry.find('/');
            const auto keys = system.keys(entry.substr(0, slash), "odbcinst.ini");
            EXPECT_EQ(std::find(keys->begin(), keys->end(), entry.substr(slash + 1)), keys->end())
                << entry;
        }
    }
    EXPECT_TRUE(sent.empty());
}

TEST_F(DriverPane, RemoveTakesTheUserEntryFirst) {
    std::string problem;
    ASSERT_TRUE(DriverEditor::remove("Shared", sender(), problem));
    EXPECT_EQ(ini(Scope::User).find("Shared"), std::string::npos);
    EXPECT_NE(ini(Scope::System).find("[Shared]"), std::string::npos);
    EXPECT_EQ(IniAccess(IniAccess::Both).valueOr("Shared", "Driver", "odbcinst.ini"),
              "/lib/system.so");
    EXPECT_TRUE(sent.empty());
}

TEST_F(DriverPane, RefusedWritesSendOneRequest) {
    const std::string before = ini(Scope::System);
    InstallerFacade::instance().setRefusal([](std::string_view function) {
        return function == "SQLWritePrivateProfileString" || function == "SQLRemoveDriver";
    });
    EXPECT_EQ(DriverEditor("Sys", sender()).save({"Other", "/lib/o.so", "", true, true, {}}),
              DriverEditor::Outcome::Sent);
    std::string problem;
    EXPECT_TRUE(DriverEditor::remove("Sys", sender(), problem));
    EXPECT_EQ(problem, "SQLRemoveDriver was refused");
    ASSERT_EQ(sent.size(), 2u);
    for (const char* part : {"DriverName = Other;", "OriginalName = Sys;", "Request = Configure;",
                             "Type = System;", "DriverPath = \"/lib/o.so\";"}) {
        EXPECT_NE(sent[0].find(part), std::string::npos) << part << " in " << sent[0];
    }
    EXPECT_NE(sent[1].find("Request = Remove;"), std::string::npos) << sent[1];
    EXPECT_EQ(ini(Scope::System), before);  // nothing was removed ahead of the write
}

TEST(TracePane, OnOffRule) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"1", true},    {"on", true}, {"ON", true}, {"1yes", true},
        {"Yes", false}, {"0", false}, {"", false},  {"onx", false}};
    for (const auto& [value, on] : cases) {
        EXPECT_EQ(TracingSettings::isOn(value), on) << value;
    }
}

TEST(TracePane, ApplyWritesAnEmptyTraceWhenOff) {
    OdbcSandbox sandbox;
    sandbox.setKey(sandbox.odbcIni(Scope::User), "ODBC", "Trace", "1");
    TracingSettings settings = TracingSettings::load();
    EXPECT_TRUE(settings.enabled);
    settings.enabled = false;
    settings.traceFile = "/tmp/typed but never checked";
    settings.traceLibrary = "lib.so";
    settings.apply();
    const std::string text = OdbcSandbox::readFile(sandbox.odbcIni(Scope::User));
    EXPECT_NE(text.find("Trace"), std::string::npos) << text;
    const TracingSettings read = TracingSettings::load();
    EXPECT_FALSE(read.enabled);
    EXPECT_EQ(read.traceFile, settings.traceFile);
    EXPECT_EQ(read.traceLibrary, "lib.so");
    const auto keys = IniAccess(IniAccess::User).keys("ODBC", "odbc.ini");
    EXPECT_NE(std::find(keys->begin(), keys->end(), "Trace"), keys->end());
}

}  // namespace
