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
    };
    for (const Case& c : cases) {
        std::string problem;
        EXPECT_EQ(TrustedPath::check(c.path, problem, TrustedPath::Need::File, getuid()),
                  c.expected)
            << c.name << ": " << problem;
        EXPECT_EQ(problem.empty(), c.expected == 0) << c.name << ": " << problem;
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
