// The setup entry's writes when the installer refuses them: the privileged
// request it sends instead, and its result only from an "OK" reply.
// ctest-lock: relay-socket
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "driver/setup/ConfigDsn.h"
#include "platform/InstallerFacade.h"
#include "platform/OdbcPaths.h"
#include "tests/setup/RelayTestServer.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

TEST(ConfigDsnItems, ParsedFromTheWideList) {
    const ConfigDsn::Items items =
        ConfigDsn::parseWideList(L"DSN=x\0Description\0Empty=\0Eq=a=b\0\0");
    ASSERT_EQ(items.size(), 4u);
    const std::pair<std::wstring, std::wstring> expected[] = {
        {L"DSN", L"x"}, {L"Description", L""}, {L"Empty", L""}, {L"Eq", L"a=b"}};
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].key, expected[i].first);
        EXPECT_EQ(items[i].value, expected[i].second);
    }
    EXPECT_EQ(ConfigDsn::dsnName(items), L"x");
    EXPECT_FALSE(ConfigDsn::dsnName(ConfigDsn::parseWideList(L"dsn=x\0\0")));
}

class ConfigDsnRequest : public ::testing::Test {
  protected:
    ConfigDsnRequest()
        : language_("LANGUAGE", "en"),
          flatpak_("FLATPAK_ID", std::nullopt),
          module_("MORVANEX_TEST_UI_MODULE", std::getenv("MORVANEX_UI_SCRIPT_PATH")),
          script_("MORVANEX_UI_SCRIPT", (sandbox_.root() / "script").string()) {
        std::filesystem::create_directories(sandbox_.root() / "run");
        // The installer writes a DSN only for a registered driver.
        sandbox_.addDriver("morvanex", {{"Driver", "/nonexistent/morvanex.so"}});
        setAdministratorReplyTimeout(std::chrono::seconds(5));
    }
    ~ConfigDsnRequest() override {
        InstallerFacade::instance().setRefusal(nullptr);
        setAdministratorReplyTimeout(std::chrono::seconds(60));
    }

    OdbcSandbox sandbox_;
    ScopedEnv language_;
    ScopedEnv flatpak_;
    ScopedEnv module_;
    ScopedEnv script_;
    // The dialogs as a shipped driver reaches them: through the module.
    std::unique_ptr<SetupDialogs> dialogs_ = SetupDialogs::forHost(DriverCalls{});
};

TEST_F(ConfigDsnRequest, RefusedSystemAddSendsTheDictionaryAndNeedsOk) {
    struct Case {
        std::string reply;
        BOOL result;
    };
    const Case cases[] = {{"OK", TRUE}, {"ERROR 13", FALSE}};
    for (const Case& c : cases) {
        // A script of its own for each case, read from its first line.
        const auto script = sandbox_.root() / ("script-" + c.reply);
        OdbcSandbox::writeFile(script, "wizard accept DSN=x DriverDSN=y Description=a%3Bb\n");
        InstallerFacade::instance().setRefusal(
            [](std::string_view function) { return function.rfind("SQLWrite", 0) == 0; });
        RelayTestServer relay(RelayTestServer::Behaviour::Reply, c.reply);
        ScopedEnv scriptOfCase("MORVANEX_UI_SCRIPT", script.string());
        InstallerFacade::instance().setConfigMode(ODBC_SYSTEM_DSN);
        EXPECT_EQ(ConfigDsn(*dialogs_).run(ODBC_ADD_DSN, L"morvanex", L"DSN=x\0\0"), c.result);

        const std::optional<PropertyList> request = PropertyList::parse(relay.received());
        ASSERT_TRUE(request);
        std::vector<std::string> keys = request->keys();
        std::sort(keys.begin(), keys.end());
        EXPECT_EQ(keys, (std::vector<std::string>{"ConnectionString", "Driver", "Path", "Request",
                                                  "Type"}));
        EXPECT_EQ(request->string("Request"), "Add");
        EXPECT_EQ(request->string("Type"), "System");
        EXPECT_EQ(request->string("Driver"), "morvanex");
        EXPECT_EQ(request->string("Path"),
                  OdbcPaths::current().odbcIniFolder(OdbcPaths::Scope::User).string());
        EXPECT_EQ(request->string("ConnectionString"),
                  "DSN=x;Description={a;b};DriverDSN=y;ReadOnly=;AutoDetectEncoding=;WideAPI=;"
                  "UnicodeTextTypes=;MultiByteEncoding=;QueryLog_On=;QueryLogTime=;"
                  "QueryLogFile=;");
    }
}

TEST_F(ConfigDsnRequest, FailedRemovalAfterAnAddKeepsTheNewDsn) {
    sandbox_.addDsn("x", "morvanex", {{"DriverDSN", "old"}}, OdbcSandbox::Scope::User);
    OdbcSandbox::writeFile(sandbox_.root() / "script",
                           "wizard accept DSN=x DriverDSN=new\nalert ok\nalert ok\n");
    InstallerFacade::instance().setRefusal(
        [](std::string_view function) { return function == "SQLRemoveDSNFromIniW"; });
    RelayTestServer relay(RelayTestServer::Behaviour::Reply, "ERROR 1");
    InstallerFacade::instance().setConfigMode(ODBC_SYSTEM_DSN);
    EXPECT_FALSE(ConfigDsn(*dialogs_).run(ODBC_ADD_DSN, L"morvanex", L"DSN=x\0\0"));
    const std::optional<PropertyList> request = PropertyList::parse(relay.received());
    ASSERT_TRUE(request);
    EXPECT_EQ(request->string("Request"), "Remove");
    EXPECT_EQ(request->string("Type"), "User");
    EXPECT_EQ(request->string("ConnectionString"), "x");
    std::vector<char> value(64, 0);
    InstallerFacade::instance().setConfigMode(ODBC_SYSTEM_DSN);
    InstallerFacade::instance().getPrivateProfileString("x", "DriverDSN", "", value.data(), 64,
                                                        "odbc.ini");
    EXPECT_STREQ(value.data(), "new");
}

// Dialogs that fail in the middle of a request, as a broken module might.
class ThrowingDialogs final : public SetupDialogs {
  public:
    explicit ThrowingDialogs(std::function<void()> fail) : fail_(std::move(fail)) {}
    Outcome runWizard(SetupModel&) override {
        fail_();
        return Outcome::NotShown;
    }
    int alert(const std::string&, const std::string&, const std::string&) override {
        fail_();
        return 0;
    }

  private:
    std::function<void()> fail_;
};

TEST_F(ConfigDsnRequest, AnyExceptionFailsTheRequestWithAnInstallerError) {
    struct Case {
        const char* what;
        std::function<void()> fail;
        DWORD code;
    };
    const Case cases[] = {
        {"bad_alloc", [] { throw std::bad_alloc(); }, ODBC_ERROR_OUT_OF_MEM},
        {"runtime_error", [] { throw std::runtime_error("broken"); }, ODBC_ERROR_GENERAL_ERR},
        {"not a std::exception", [] { throw 42; }, ODBC_ERROR_GENERAL_ERR},
    };
    InstallerFacade& installer = InstallerFacade::instance();
    for (const Case& c : cases) {
        ThrowingDialogs dialogs(c.fail);
        installer.setConfigMode(ODBC_SYSTEM_DSN);
        EXPECT_FALSE(ConfigDsn::guarded([&] {
            return ConfigDsn(dialogs).run(ODBC_ADD_DSN, L"morvanex", L"DSN=x\0\0");
        })) << c.what;
        DWORD code = 0;
        char message[256] = {};
        WORD length = 0;
        EXPECT_EQ(installer.installerError(1, &code, message, sizeof message, &length), SQL_SUCCESS)
            << c.what;
        EXPECT_EQ(code, c.code) << c.what;
    }
}

}  // namespace
