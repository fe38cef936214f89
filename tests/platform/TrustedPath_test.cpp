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

namespace fs = std::filesystem;

namespace {

// A 0755 folder of the build tree, whose ancestors are not /tmp.
class TrustedFolder {
  public:
    TrustedFolder() {
        std::string pattern = std::string(MORVANEX_BINARY_DIR) + "/trusted-test-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp");
        }
        path_ = pattern;
        chmod(path_.c_str(), 0755);
    }
    ~TrustedFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path make(const std::string& relative, mode_t mode, bool folder = false) const {
        const fs::path path = path_ / relative;
        if (folder) {
            fs::create_directories(path);
        } else {
            std::ofstream(path) << "x";
        }
        chmod(path.c_str(), mode);
        return path;
    }
    fs::path link(const std::string& relative, const fs::path& target) const {
        fs::create_symlink(target, path_ / relative);
        return path_ / relative;
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

TEST(TrustedPath, FoldersFilesAndLinks) {
    TrustedFolder root;
    const fs::path good = root.make("good.so", 0644);
    root.make("open", 0777, true);
    root.make("sticky", 01777, true);
    root.make("group", 0775, true);
    const fs::path inSticky = root.make("sticky/driver.so", 0644);
    const fs::path inOpen = root.make("open/driver.so", 0644);
    const fs::path inGroup = root.make("group/driver.so", 0644);
    root.make("sub", 0755, true);
    struct Case {
        const char* name;
        fs::path path;
        int expected;
    };
    const Case cases[] = {
        {"protected file", good, 0},
        {"world-writable file", root.make("open.so", 0646), EPERM},
        {"group-writable file", root.make("group.so", 0664), EPERM},
        {"sticky world-writable folder", inSticky, EPERM},
        {"world-writable folder", inOpen, EPERM},
        {"group-writable folder", inGroup, EPERM},
        {"link to a protected file", root.link("good-link", "good.so"), 0},
        {"absolute link to a protected file", root.link("good-abs", good), 0},
        {"link to a file in a sticky folder", root.link("sticky-link", inSticky), EPERM},
        {"link through a linked sticky folder", root.link("via", "sticky") / "driver.so", EPERM},
        {"link to a link into a sticky folder", root.link("twice", "sticky-link"), EPERM},
        {"dot-dot back up", root.path() / "sub" / ".." / "good.so", 0},
        {"link loop", root.link("loop", "loop"), ELOOP},
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
    TrustedFolder root;
    std::string problem;
    EXPECT_EQ(
        TrustedPath::check(root.make("tool", 0755), problem, TrustedPath::Need::Program, getuid()),
        0)
        << problem;
    EXPECT_EQ(
        TrustedPath::check(root.make("data", 0644), problem, TrustedPath::Need::Program, getuid()),
        EACCES);
}

TEST(TrustedPath, OthersFilesAndLinksAreRefused) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give files away";
    }
    TrustedFolder root;
    const fs::path foreign = root.make("foreign.so", 0644);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    const fs::path link = root.link("foreign-link", "good.so");
    root.make("good.so", 0644);
    ASSERT_EQ(lchown(link.c_str(), 65534, 65534), 0);
    for (const fs::path& path : {foreign, link}) {
        std::string problem;
        EXPECT_EQ(TrustedPath::check(path, problem), EPERM) << path;
        EXPECT_NE(problem.find("not owned by root"), std::string::npos) << problem;
    }
}

}  // namespace
