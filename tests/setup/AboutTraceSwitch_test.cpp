// The about window's hidden trace switch, on the driver's preferences in a
// sandbox.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "driver/core/SystemDriverPreferences.h"
#include "driver/setup/AboutTraceSwitch.h"
#include "driver/setup/UiModuleTable.h"
#include "platform/InstallerFacade.h"
#include "tests/setup/FakePrivilegedRunner.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kShift = MORVANEX_UI_SHIFT;
constexpr std::uint32_t kControl = MORVANEX_UI_CONTROL;
constexpr std::uint32_t kAlt = MORVANEX_UI_ALT;

std::string preference(const char* key) {
    SystemDriverPreferences preferences("com.vorlanworks.odbcdriver.morvanex", "Vorlan Tarvex",
                                        "7HQ2XV4KPD", "");
    return preferences.get(key);
}

struct World {
    OdbcSandbox sandbox;
    fs::path state = sandbox.root() / "state";
    fs::path logs = state / "morvanex" / "morvanex.log";

    World() {
        setenv("LANG", "C.UTF-8", 1);
        setenv("XDG_STATE_HOME", state.c_str(), 1);
    }
    // Five clicks: the switch acts on the last.
    AboutTraceSwitch::Outcome toggle(AboutTraceSwitch& traceSwitch, std::uint32_t modifiers) {
        for (unsigned i = 1; i < AboutTraceSwitch::kClicksToSwitch; ++i) {
            EXPECT_FALSE(traceSwitch.clickLogo(modifiers).switched);
        }
        return traceSwitch.clickLogo(modifiers);
    }
};

TEST(AboutTraceSwitch, ModifiersChooseFileLevelAndSheet) {
    struct Case {
        const char* name;
        std::uint32_t modifiers;
        bool home;
        const char* file;  // relative to HOME unless absolute; "logs" for the log folder
        bool own;          // the user's own trace: a header, and the user's file keeps it
        const char* level;
        bool sheet;
    };
    const Case cases[] = {
        {"no modifier", 0, true, "logs", true, "", false},
        {"shift and alt", kShift | kAlt, true, "/var/log/morvanex.log", false, "NETWORK", false},
        {"control", kControl, true, "Documents/ODBC Documents/Excel/morvanex.log", true, "", false},
        {"hidden combination", kControl | kAlt | kShift, true, "/var/log/morvanex.log", false,
         "NETWORK", true},
        {"no home", 0, false, "/var/log/morvanex.log", false, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        World world;
        fs::create_directories(world.sandbox.home() / "Documents/ODBC Documents/Excel");
        const std::string home = world.sandbox.home().string();
        if (!c.home) {
            unsetenv("HOME");
        }
        fs::path file = std::string(c.file) == "logs" ? world.logs : fs::path(c.file);
        if (file.is_relative()) {
            file = world.sandbox.home() / file;
        }
        AboutTraceSwitch traceSwitch;
        const AboutTraceSwitch::Outcome outcome = world.toggle(traceSwitch, c.modifiers);
        setenv("HOME", home.c_str(), 1);
        EXPECT_TRUE(outcome.switched);
        EXPECT_EQ(outcome.sheetTitle.has_value(), c.sheet);
        if (c.sheet) {
            EXPECT_EQ(*outcome.sheetTitle, "Modifier keys Control Alt Shift detected");
            EXPECT_EQ(outcome.sheetMessage, "You sneaky thing!");
        }
        EXPECT_EQ(preference("TraceFile"), file.string());
        EXPECT_EQ(preference("TraceLevel"), c.level);
        // A user's own trace stays out of the system's file.
        const auto system = world.sandbox.odbcinstIni(OdbcSandbox::Scope::System);
        EXPECT_EQ(OdbcSandbox::readFile(system).find("TraceFile") == std::string::npos, c.own);
        const std::string line = std::string(c.level).empty()
                                     ? file.string()
                                     : "(" + std::string(c.level) + ") " + file.string();
        EXPECT_EQ(AboutTraceSwitch::traceLine().text, line);
        EXPECT_EQ(fs::exists(file), c.own);
        if (c.own) {
            const std::string text = OdbcSandbox::readFile(file);
            EXPECT_EQ(text.rfind("// OS: Linux ", 0), 0u) << text;
            EXPECT_NE(text.find("\n// Driver: "), std::string::npos) << text;
            EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write);
        }
    }
    World world;
    struct stat folder {};
    AboutTraceSwitch traceSwitch;
    world.toggle(traceSwitch, 0);
    ASSERT_EQ(stat(world.logs.parent_path().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
}

TEST(AboutTraceSwitch, CountsClicksAndSwitchesOffAgain) {
    World world;
    AboutTraceSwitch traceSwitch;
    world.toggle(traceSwitch, 0);
    EXPECT_EQ(traceSwitch.clickCount(), 0u);
    EXPECT_TRUE(AboutTraceSwitch::traceLine().visible);
    // Counting starts again: the next four clicks change nothing.
    for (unsigned i = 1; i < AboutTraceSwitch::kClicksToSwitch; ++i) {
        EXPECT_FALSE(traceSwitch.clickLogo(kAlt).switched);
        EXPECT_EQ(preference("TraceFile"), world.logs.string());
    }
    EXPECT_TRUE(traceSwitch.clickLogo(kAlt).switched);
    EXPECT_EQ(preference("TraceFile"), "");
    EXPECT_EQ(preference("TraceLevel"), "");
    EXPECT_FALSE(AboutTraceSwitch::traceLine().visible);
    // The system-wide trace goes off as well.
    world.toggle(traceSwitch, kShift);
    EXPECT_EQ(preference("TraceFile"), "/var/log/morvanex.log");
    world.toggle(traceSwitch, 0);
    EXPECT_EQ(preference("TraceFile"), "");
}

// The system's file refused and no helper: the sheet says why; still off.
TEST(AboutTraceSwitch, FailedSystemSaveSaysWhy) {
    World world;
    FakePrivilegedRunner runner;
    runner.verifyStatus = 1;
    InstallerFacade::instance().setRefusal(
        [](std::string_view name) { return name == "SQLWritePrivateProfileString"; });
    AboutTraceSwitch traceSwitch;
    const AboutTraceSwitch::Outcome outcome = world.toggle(traceSwitch, kShift);
    InstallerFacade::instance().setRefusal(nullptr);
    EXPECT_EQ(
        outcome.sheetTitle.value_or("") + "|" + outcome.sheetMessage,
        "The system-wide trace was not switched on|The setting could not be saved, and the "
        "privileged helper did not save it either.\nSQLWritePrivateProfileString was refused");
    EXPECT_EQ(preference("TraceFile"), "");
}

TEST(AboutTraceSwitch, PlantedFilesAreNeitherFollowedNorUsed) {
    World world;
    const fs::path target = world.sandbox.root() / "victim";
    OdbcSandbox::writeFile(target, "precious\n");
    fs::create_directories(world.logs.parent_path());
    fs::create_symlink(target, world.logs);
    AboutTraceSwitch traceSwitch;
    EXPECT_TRUE(world.toggle(traceSwitch, 0).switched);
    EXPECT_EQ(OdbcSandbox::readFile(target), "precious\n");
    // The setting is stored all the same.
    EXPECT_EQ(preference("TraceFile"), world.logs.string());

    const fs::path fifo = world.sandbox.root() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(AboutTraceSwitch::openTraceFile(fifo), -1);
    if (geteuid() == 0) {
        const fs::path foreign = world.sandbox.root() / "foreign";
        OdbcSandbox::writeFile(foreign, "");
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_EQ(AboutTraceSwitch::openTraceFile(foreign), -1);
        // Root keeping its rules makes no folder or file where another user's link leads.
        const fs::path elsewhere = world.sandbox.root() / "elsewhere";
        const fs::path link = world.sandbox.root() / "link";
        fs::create_directory(elsewhere);
        fs::create_directory_symlink(elsewhere, link);
        const ScopedEnv state("XDG_STATE_HOME", (link / "state").c_str());
        const ScopedEnv config("XDG_CONFIG_HOME", link.c_str());
        const ScopedEnv rules("MORVANEX_TEST_ROOT_ANYWHERE", nullptr);
        AboutTraceSwitch rootSwitch;
        world.toggle(rootSwitch, 0);
        EXPECT_TRUE(fs::is_empty(elsewhere));
    }
}

}  // namespace
