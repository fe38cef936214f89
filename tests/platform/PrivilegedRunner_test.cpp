#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/PrivilegedRunner.h"
#include "tests/support/TrustedTestFolder.h"
#include "tests/support/OdbcSandbox.h"

namespace fs = std::filesystem;

namespace {

fs::path writeProgram(const fs::path& path, const std::string& text, mode_t mode) {
    fs::create_directories(path.parent_path());
    OdbcSandbox::writeFile(path, text);
    chmod(path.c_str(), mode);
    return path;
}

TEST(PrivilegedRunner, OwnershipCheckRefusesWhatOthersCouldChange) {
    struct Case {
        const char* name;
        mode_t folderMode;
        mode_t programMode;
        int expected;
    };
    const Case cases[] = {
        {"protected", 0755, 0755, 0},
        {"group-writable program", 0755, 0775, EPERM},
        {"world-writable program", 0755, 0757, EPERM},
        {"world-writable folder", 0777, 0755, EPERM},
        {"sticky world-writable folder", 01777, 0755, EPERM},
        {"group-writable folder", 0775, 0755, EPERM},
        {"not executable", 0755, 0644, EACCES},
    };
    for (const Case& c : cases) {
        TrustedTestFolder root;
        const fs::path folder = root.path() / "LaunchServices";
        const fs::path program = writeProgram(folder / "helper", "#!/bin/sh\n", c.programMode);
        chmod(folder.c_str(), c.folderMode);
        std::string problem;
        EXPECT_EQ(PrivilegedRunner::checkOwnership(program, getuid(), problem), c.expected)
            << c.name << ": " << problem;
        EXPECT_EQ(problem.empty(), c.expected == 0) << c.name;
    }
}

TEST(PrivilegedRunner, OwnershipCheckRefusesOddPaths) {
    TrustedTestFolder root;
    const fs::path program = writeProgram(root.path() / "helper", "#!/bin/sh\n", 0755);
    fs::create_symlink(program, root.path() / "link");
    fs::create_symlink(root.path() / "absent", root.path() / "dangling");
    struct Case {
        const char* name;
        fs::path path;
        int expected;
    };
    const Case cases[] = {
        {"missing", root.path() / "absent", ENOENT},
        {"relative", "helper", EINVAL},
        {"symbolic link to the program", root.path() / "link", 0},
        {"dangling symbolic link", root.path() / "dangling", ENOENT},
    };
    for (const Case& c : cases) {
        std::string problem;
        EXPECT_EQ(PrivilegedRunner::checkOwnership(c.path, getuid(), problem), c.expected)
            << c.name << ": " << problem;
    }
}

TEST(PrivilegedRunner, OwnershipCheckRefusesAnotherOwner) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a file away";
    }
    TrustedTestFolder root;
    const fs::path program = writeProgram(root.path() / "helper", "#!/bin/sh\n", 0755);
    ASSERT_EQ(chown(program.c_str(), 65534, 65534), 0);
    std::string problem;
    EXPECT_EQ(PrivilegedRunner::checkOwnership(program, 0, problem), EPERM);
    EXPECT_NE(problem.find("not owned by root"), std::string::npos);
}

TEST(PrivilegedRunner, LaunchFeedsStandardInputCapturesTheReplyAndReportsTheExitStatus) {
    OdbcSandbox sandbox;
    const fs::path seen = sandbox.root() / "seen";
    const fs::path launcher =
        writeProgram(sandbox.root() / "launcher",
                     "#!/bin/sh\ncat > '" + seen.string() + "'\necho \"$1 $2\" > '" +
                         seen.string() + ".arg'\necho ERROR 5366\nexit 5\n",
                     0755);
    const std::string request = "<plist>\n'quoted' $(not run)\n</plist>";

    const auto outcome = PrivilegedRunner::launch(launcher, "/opt/helper", request);

    EXPECT_EQ(outcome.spawnError, 0);
    EXPECT_EQ(outcome.exitStatus, 5);
    EXPECT_EQ(OdbcSandbox::readFile(seen), request);
    EXPECT_EQ(OdbcSandbox::readFile(seen.string() + ".arg"), "/opt/helper --stdin\n");
    EXPECT_EQ(outcome.output, "ERROR 5366\n");
}

TEST(PrivilegedRunner, LaunchSurvivesALauncherThatReadsNothing) {
    OdbcSandbox sandbox;
    const fs::path launcher =
        writeProgram(sandbox.root() / "launcher", "#!/bin/sh\nexit 126\n", 0755);

    const auto outcome =
        PrivilegedRunner::launch(launcher, "/opt/helper", std::string(8 << 20, 'x'));

    EXPECT_EQ(outcome.spawnError, 0);
    EXPECT_EQ(outcome.exitStatus, PrivilegedRunner::kAuthorisationDismissed);
}

TEST(PrivilegedRunner, LaunchKeepsOnlyTheStartOfALongReplyWhileFeedingALongRequest) {
    OdbcSandbox sandbox;
    // Writes more than a pipe holds before it reads anything.
    const fs::path launcher =
        writeProgram(sandbox.root() / "launcher",
                     "#!/bin/sh\nhead -c 200000 /dev/zero | tr '\\0' r\nwc -c\nexit 0\n", 0755);

    const auto outcome =
        PrivilegedRunner::launch(launcher, "/opt/helper", std::string(1 << 20, 'x'));

    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.output, std::string(PrivilegedRunner::kMaxOutput, 'r'));
}

TEST(PrivilegedRunner, LaunchReportsAMissingLauncher) {
    OdbcSandbox sandbox;
    const auto outcome = PrivilegedRunner::launch(sandbox.root() / "absent", "/opt/helper", "x");
    EXPECT_EQ(outcome.spawnError, ENOENT);
}

}  // namespace
