// Root's log files follow no link at any step, through openat2 and through
// the walk that stands in where a filter or an old kernel answers ENOSYS
// or EPERM; an existing file others may read is not appended to.
#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <fstream>

#include "platform/OwnAppendFile.h"
#include "tests/support/TrustedTestFolder.h"

namespace fs = std::filesystem;

namespace {

void withoutOpenat2(int error) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<unsigned>(error)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        std::_Exit(99);
    }
}

int wrongAnswers(const fs::path& root) {
    const std::pair<const char*, bool> cases[] = {
        {"real/new", true},    {"real/old", true},      {"real/../real/new", true},
        {"linked/new", false}, {"real/link", false},    {"real/second-name", false},
        {"real/fifo", false},  {"real/foreign", false}, {"real/readable", false},
    };
    // A magic link of /proc is a link too.
    int wrong = OwnAppendFile::open("/proc/self/root" / root.relative_path() / "real/new").valid();
    for (const auto& [path, opened] : cases) {
        if (OwnAppendFile::open(root / path).valid() != opened) {
            std::fprintf(stderr, "wrong answer for %s\n", path);
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
    const fs::path real = root.path() / "real";
    fs::create_directories(real);
    fs::create_directory_symlink("real", root.path() / "linked");
    for (const char* name : {"old", "foreign", "two", "readable"}) {
        std::ofstream(real / name).put('x');
        chmod((real / name).c_str(), 0600);
    }
    chmod((real / "readable").c_str(), 0644);
    ASSERT_EQ(chown((real / "foreign").c_str(), 65534, 65534), 0);
    fs::create_symlink("old", real / "link");
    fs::create_hard_link(real / "two", real / "second-name");
    ASSERT_EQ(mkfifo((real / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(wrongAnswers(root.path()), 0);
    for (const int error : {ENOSYS, EPERM}) {
        EXPECT_EXIT((withoutOpenat2(error), std::_Exit(wrongAnswers(root.path()))),
                    testing::ExitedWithCode(0), "")
            << error;
    }
}

}  // namespace
