#include <gtest/gtest.h>

#include <string>

#include "platform/InstallerFacade.h"
#include "tests/support/OdbcSandbox.h"

namespace {

struct FacadeRefusalReset {
    ~FacadeRefusalReset() { InstallerFacade::instance().setRefusal(nullptr); }
};

TEST(InstallerFacade, ReadsAndWritesTheSandboxedFiles) {
    OdbcSandbox sandbox;
    auto& installer = InstallerFacade::instance();
    ASSERT_TRUE(installer.available());

    ASSERT_TRUE(installer.setConfigMode(ODBC_USER_DSN));
    ASSERT_TRUE(installer.writePrivateProfileString("Probe", "Key", "value", "odbc.ini"));
    EXPECT_NE(OdbcSandbox::readFile(sandbox.odbcIni(OdbcSandbox::Scope::User)).find("value"),
              std::string::npos);

    char buffer[64] = {};
    ASSERT_TRUE(installer.setConfigMode(ODBC_USER_DSN));
    int length = installer.getPrivateProfileString("Probe", "Key", "", buffer, sizeof buffer,
                                                   "odbc.ini");
    EXPECT_EQ(std::string(buffer), "value");
    EXPECT_EQ(length, 5);
}

TEST(InstallerFacade, RefusalSeamFailsOnlyTheNamedCall) {
    struct Case {
        const char* refused;
        bool writeSucceeds;
    };
    for (const Case& c : {Case{"SQLWritePrivateProfileString", false},
                          Case{"SQLWriteDSNToIni", true}}) {
        OdbcSandbox sandbox;
        FacadeRefusalReset reset;
        auto& installer = InstallerFacade::instance();
        const std::string refused = c.refused;
        installer.setRefusal([refused](std::string_view fn) { return fn == refused; });

        ASSERT_TRUE(installer.setConfigMode(ODBC_USER_DSN));
        EXPECT_EQ(bool(installer.writePrivateProfileString("Probe", "Key", "marker", "odbc.ini")),
                  c.writeSucceeds)
            << c.refused;
        const std::string text = OdbcSandbox::readFile(sandbox.odbcIni(OdbcSandbox::Scope::User));
        EXPECT_EQ(text.find("marker") != std::string::npos, c.writeSucceeds) << c.refused;
    }
}

}  // namespace
