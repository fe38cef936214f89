// The one own-file routine of every log file, as root: no link at any step
// of the path, with the kernel's openat2 and with the walk by descriptor
// that stands in where a filter or an old kernel answers ENOSYS.
#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/OwnAppendFile.h"
#include "tests/support/TrustedTestFolder.h"

namespace fs = std::filesystem;

namespace {

// Every openat2 of this process answers ENOSYS from now on.
void withoutOpenat2() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        std::_Exit(99);
    }
}

// The names of the cases whose answer differs from the table's.
int wrongAnswers(const fs::path& root) {
    const std::pair<fs::path, bool> cases[] = {
        {root / "real/new", true},
        {root / "real/old", true},
        {root / "real/./../real/new", true},
        {root / "linked/new", false},
        {root / "real/old-link", false},
        {root / "real/second-name", false},
        {root / "real/fifo", false},
        {root / "real/foreign", false},
        {"/proc/self/cwd" / root.relative_path() / "real/new", false},
    };
    int wrong = 0;
    for (const auto& [path, opened] : cases) {
        if (OwnAppendFile::open(path).valid() != opened) {
            std::fprintf(stderr, "wrong answer for %s\n", path.c_str());
            ++wrong;
        }
    }
    return wrong;
}

TEST(OwnAppendFile, RootFollowsNoLink) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "the rule of root's processes";
    }
    TrustedTestFolder root;
    fs::create_directories(root.path() / "real");
    fs::create_directory_symlink("real", root.path() / "linked");
    std::ofstream(root.path() / "real/old").put('x');
    std::ofstream(root.path() / "real/foreign").put('x');
    ASSERT_EQ(chown((root.path() / "real/foreign").c_str(), 65534, 65534), 0);
    fs::create_symlink("old", root.path() / "real/old-link");
    std::ofstream(root.path() / "real/two").put('x');
    fs::create_hard_link(root.path() / "real/two", root.path() / "real/second-name");
    ASSERT_EQ(mkfifo((root.path() / "real/fifo").c_str(), 0600), 0);

    EXPECT_EQ(wrongAnswers(root.path()), 0);
    struct stat made {};
    ASSERT_EQ(stat((root.path() / "real/new").c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 07777, 0600u);
    EXPECT_FALSE(fs::exists(root.path() / "linked/../new"));
    EXPECT_EXIT(
        {
            withoutOpenat2();
            std::_Exit(wrongAnswers(root.path()));
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
