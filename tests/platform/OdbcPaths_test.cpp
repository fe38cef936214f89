#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "platform/OdbcPaths.h"
#include "tests/support/ScopedEnv.h"

namespace {

using Scope = OdbcPaths::Scope;
using Value = std::optional<std::string>;

// The variables every case sets; nothing here reads the real ones.
struct Environment {
    Value home, odbcIni, sysOdbcIni, odbcinstIni, sysOdbcinstIni;
};

struct Expected {
    const char* userOdbcIni;
    const char* systemOdbcIni;
    const char* userOdbcinstIni;
    const char* systemOdbcinstIni;
};

struct PathCase {
    const char* name;
    Environment environment;
    Expected expected;
};

const PathCase kPathCases[] = {
    {"defaults from HOME",
     {"/h/ann", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
     {"/h/ann/.odbc.ini", "/etc/odbc.ini", "/h/ann/.odbcinst.ini", "/etc/odbcinst.ini"}},
    {"every variable set",
     {"/h/ann", "/s/u/odbc.ini", "/s/sys/odbc.ini", "/s/u/inst.ini", "/s/sys/inst.ini"},
     {"/s/u/odbc.ini", "/s/sys/odbc.ini", "/s/u/inst.ini", "/s/sys/inst.ini"}},
    {"empty variables count as unset",
     {"/h/ann", "", "", "", ""},
     {"/h/ann/.odbc.ini", "/etc/odbc.ini", "/h/ann/.odbcinst.ini", "/etc/odbcinst.ini"}},
};

class Scoped {
  public:
    explicit Scoped(const Environment& e)
        : home_("HOME", e.home),
          odbcIni_("ODBCINI", e.odbcIni),
          sysOdbcIni_("SYSODBCINI", e.sysOdbcIni),
          odbcinstIni_("ODBCINSTINI", e.odbcinstIni),
          sysOdbcinstIni_("SYSODBCINSTINI", e.sysOdbcinstIni) {}

  private:
    ScopedEnv home_, odbcIni_, sysOdbcIni_, odbcinstIni_, sysOdbcinstIni_;
};

TEST(OdbcPaths, CurrentFollowsTheEnvironment) {
    for (const PathCase& c : kPathCases) {
        SCOPED_TRACE(c.name);
        Scoped environment(c.environment);
        const OdbcPaths paths = OdbcPaths::current();
        EXPECT_EQ(paths.odbcIni(Scope::User), c.expected.userOdbcIni);
        EXPECT_EQ(paths.odbcIni(Scope::System), c.expected.systemOdbcIni);
        EXPECT_EQ(paths.odbcinstIni(Scope::User), c.expected.userOdbcinstIni);
        EXPECT_EQ(paths.odbcinstIni(Scope::System), c.expected.systemOdbcinstIni);
        for (Scope scope : {Scope::User, Scope::System}) {
            EXPECT_EQ(paths.odbcIniFolder(scope), paths.odbcIni(scope).parent_path());
            EXPECT_EQ(paths.odbcinstIniFolder(scope), paths.odbcinstIni(scope).parent_path());
        }
    }
}

// Acting for another account must not pick up the caller's own user files.
TEST(OdbcPaths, AnExplicitAccountIgnoresTheCallersUserVariables) {
    Scoped environment({"/h/caller", "/s/caller/odbc.ini", "/s/sys/odbc.ini", "/s/caller/inst.ini",
                        "/s/sys/inst.ini"});
    const OdbcPaths byHome = OdbcPaths::forHome("/h/other");
    EXPECT_EQ(byHome.odbcIni(Scope::User), "/h/other/.odbc.ini");
    EXPECT_EQ(byHome.odbcinstIni(Scope::User), "/h/other/.odbcinst.ini");
    EXPECT_EQ(byHome.odbcIniFolder(Scope::User), "/h/other");
    // The system files are the ones this process's driver manager writes.
    EXPECT_EQ(byHome.odbcIni(Scope::System), "/s/sys/odbc.ini");
    EXPECT_EQ(byHome.odbcinstIni(Scope::System), "/s/sys/inst.ini");

    const passwd* own = getpwuid(geteuid());
    ASSERT_NE(own, nullptr);
    const std::optional<OdbcPaths> byUid = OdbcPaths::forUser(geteuid());
    ASSERT_TRUE(byUid);
    EXPECT_EQ(byUid->odbcIni(Scope::User), std::filesystem::path(own->pw_dir) / ".odbc.ini");
}

TEST(OdbcPaths, HomeComesFromThePasswordDatabaseWithoutHome) {
    const passwd* own = getpwuid(geteuid());
    ASSERT_NE(own, nullptr);
    Scoped environment({std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    EXPECT_EQ(OdbcPaths::current().odbcIni(Scope::User),
              std::filesystem::path(own->pw_dir) / ".odbc.ini");
}

TEST(OdbcPaths, AnUnknownAccountHasNoPaths) {
    EXPECT_FALSE(OdbcPaths::forUser(static_cast<uid_t>(4000000000u)));
}

}  // namespace
