// The one check of files only root may change, on real folders, files and
// links of the build tree (ours counting as root's when not run as root).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/TrustedPath.h"
#include "tests/support/TrustedTestFolder.h"

namespace fs = std::filesystem;

namespace {

// A file or folder of `mode` in `root`.
fs::path make(const TrustedTestFolder& root, const std::string& relative, mode_t mode,
              bool folder = false) {
    const fs::path path = root.path() / relative;
    if (folder) {
        fs::create_directories(path);
    } else {
        std::ofstream(path) << "x";
    }
    chmod(path.c_str(), mode);
    return path;
}

fs::path link(const TrustedTestFolder& root, const std::string& relative, const fs::path& target) {
    fs::create_symlink(target, root.path() / relative);
    return root.path() / relative;
}

TEST(TrustedPath, FoldersFilesAndLinks) {
    TrustedTestFolder root;
    const fs::path good = make(root, "good.so", 0644);
    make(root, "open", 0777, true);
    make(root, "sticky", 01777, true);
    make(root, "group", 0775, true);
    const fs::path inSticky = make(root, "sticky/driver.so", 0644);
    const fs::path inOpen = make(root, "open/driver.so", 0644);
    const fs::path inGroup = make(root, "group/driver.so", 0644);
    make(root, "sub", 0755, true);
    struct Case {
        const char* name;
        fs::path path;
        int expected;
    };
    const Case cases[] = {
        {"protected file", good, 0},
        {"world-writable file", make(root, "open.so", 0646), EPERM},
        {"group-writable file", make(root, "group.so", 0664), EPERM},
        {"sticky world-writable folder", inSticky, EPERM},
        {"world-writable folder", inOpen, EPERM},
        {"group-writable folder", inGroup, EPERM},
        {"link to a protected file", link(root, "good-link", "good.so"), 0},
        {"absolute link to a protected file", link(root, "good-abs", good), 0},
        {"link to a file in a sticky folder", link(root, "sticky-link", inSticky), EPERM},
        {"link through a linked sticky folder", link(root, "via", "sticky") / "driver.so", EPERM},
        {"link to a link into a sticky folder", link(root, "twice", "sticky-link"), EPERM},
        {"dot-dot back up", root.path() / "sub" / ".." / "good.so", 0},
        {"link loop", link(root, "loop", "loop"), ELOOP},
        {"folder", root.path() / "sub", EINVAL},
        {"missing", root.path() / "absent.so", ENOENT},
        {"file as folder", good / "x", ENOTDIR},
        {"relative", "good.so", EINVAL},
        {"link into /proc", link(root, "cwd", "/proc/self/cwd") / "usr/bin/env", EPERM},
        {"/proc itself", "/proc/self/root/usr/bin/env", EPERM},
        {"link to a folder of /sys", link(root, "sys", "/sys/kernel") / "notes", EPERM},
    };
    for (const Case& c : cases) {
        std::string problem;
        fs::path resolved;
        EXPECT_EQ(
            TrustedPath::resolve(c.path, resolved, problem, TrustedPath::Need::Library, getuid()),
            c.expected)
            << c.name << ": " << problem;
        EXPECT_EQ(problem.empty(), c.expected == 0) << c.name << ": " << problem;
        // What passes is written as every process finds it; a refusal never
        // repeats the path.
        EXPECT_EQ(resolved, c.expected == 0 ? good : fs::path()) << c.name;
        EXPECT_EQ(problem.find(c.path.filename().string()), std::string::npos) << problem;
    }
}

TEST(TrustedPath, LogFilesReachedWithoutLinks) {
    TrustedTestFolder root;
    const fs::path logs = make(root, "logs/sub", 0755, true).parent_path();
    chmod(logs.c_str(), 0755);
    make(root, "logs/open", 0777, true);
    make(root, "logs/sub/old", 0600);
    make(root, "logs/sub/readable", 0640);
    link(root, "logs/via", "sub");
    link(root, "logs/sub/old-link", "old");
    const std::pair<fs::path, int> cases[] = {
        {logs / "sub/new", 0},
        {logs / "./sub/../sub/new", 0},
        {logs / "sub/old", 0},
        {logs / "via/new", ELOOP},
        {logs / "sub/old-link", ELOOP},
        {logs / "open/new", EPERM},
        {logs / "missing/new", ENOENT},
        {logs / "sub", EINVAL},
        {logs, EPERM},
        {logs / "../elsewhere", EPERM},
        {"logs/sub/new", EINVAL},
        {logs / "sub/readable", EPERM},
    };
    for (const auto& [path, expected] : cases) {
        std::string problem;
        fs::path resolved;
        EXPECT_EQ(TrustedPath::resolveLogFile(path, logs, resolved, problem, getuid()), expected)
            << path << ": " << problem;
        EXPECT_EQ(resolved, expected == 0 ? path.lexically_normal() : fs::path()) << path;
    }
}

TEST(TrustedPath, ProgramsMustBeExecutable) {
    TrustedTestFolder root;
    std::string problem;
    EXPECT_EQ(
        TrustedPath::check(make(root, "tool", 0755), problem, TrustedPath::Need::Program, getuid()),
        0)
        << problem;
    EXPECT_EQ(
        TrustedPath::check(make(root, "data", 0644), problem, TrustedPath::Need::Program, getuid()),
        EACCES);
}

// Settings may be missing only where root alone could make them.
TEST(TrustedPath, SettingsMayBeMissingInRootsFolders) {
    TrustedTestFolder root;
    make(root, "open", 01777, true);
    const std::pair<fs::path, int> cases[] = {
        {make(root, "odbcinst.ini", 0644), 0},
        {root.path() / "absent.ini", 0},
        {root.path() / "open/absent.ini", EPERM},
        {root.path() / "none/absent.ini", ENOENT},
    };
    for (const auto& [path, expected] : cases) {
        std::string problem;
        EXPECT_EQ(TrustedPath::check(path, problem, TrustedPath::Need::Setting, getuid()), expected)
            << path << ": " << problem;
    }
}

TEST(TrustedPath, OthersFilesAndLinksAreRefused) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give files away";
    }
    TrustedTestFolder root;
    const fs::path foreign = make(root, "foreign.so", 0644);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    const fs::path foreignLink = link(root, "foreign-link", "good.so");
    make(root, "good.so", 0644);
    ASSERT_EQ(lchown(foreignLink.c_str(), 65534, 65534), 0);
    for (const fs::path& path : {foreign, foreignLink}) {
        std::string problem;
        EXPECT_EQ(TrustedPath::check(path, problem), EPERM) << path;
        EXPECT_NE(problem.find("not owned by root"), std::string::npos) << problem;
    }
}

}  // namespace
