// ctest-lock: relay-private-folder
// Without a runtime folder the relay's socket lives in a private folder of
// the user's own; a folder another user made, opened up, or replaced by a
// link or a file is refused by both ends, so no one can take the name.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/RelaySocketPath.h"
#include "tests/support/ScopedEnv.h"

namespace fs = std::filesystem;
using relay_socket::Folder;

namespace {

constexpr const char* kIdentifier = "com.vorlanworks.quillmark";
constexpr uid_t kOtherUser = 65533;

class RelayFolderTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::remove_all(folder_); }
    void TearDown() override { fs::remove_all(folder_); }

    const std::string folder_ = "/tmp/quillmark-" + std::to_string(getuid());
    const std::string socket_ = folder_ + "/" + kIdentifier + ".sock";
    ScopedEnv runtime_{"XDG_RUNTIME_DIR", std::nullopt};
};

TEST_F(RelayFolderTest, OnlyAPrivateFolderOfOurOwnIsUsed) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> prepare;
        bool accepted;
    };
    const std::string elsewhere = folder_ + "-elsewhere";
    const Case cases[] = {
        {"ours, 0700", [](const std::string& f) { mkdir(f.c_str(), 0700); }, true},
        {"open to others",
         [](const std::string& f) {
             mkdir(f.c_str(), 0700);
             chmod(f.c_str(), 0777);
         },
         false},
        {"another user's",
         [](const std::string& f) {
             mkdir(f.c_str(), 0700);
             ASSERT_EQ(chown(f.c_str(), kOtherUser, kOtherUser), 0);
         },
         getuid() == kOtherUser},
        {"a link to a folder of ours",
         [&elsewhere](const std::string& f) {
             mkdir(elsewhere.c_str(), 0700);
             fs::create_directory_symlink(elsewhere, f);
         },
         false},
        {"a file", [](const std::string& f) { close(creat(f.c_str(), 0600)); }, false},
    };
    for (const Case& c : cases) {
        fs::remove_all(folder_);
        c.prepare(folder_);
        for (Folder use : {Folder::Check, Folder::Create}) {
            const std::optional<std::string> path = relay_socket::checkedPath(kIdentifier, use);
            EXPECT_EQ(path.has_value(), c.accepted) << c.name;
            if (path) {
                EXPECT_EQ(*path, socket_) << c.name;
            }
        }
        fs::remove_all(elsewhere);
    }
}

TEST_F(RelayFolderTest, TheListenerMakesTheFolderTheClientOnlyLooks) {
    EXPECT_FALSE(relay_socket::checkedPath(kIdentifier, Folder::Check));
    EXPECT_FALSE(fs::exists(folder_));
    EXPECT_EQ(relay_socket::checkedPath(kIdentifier, Folder::Create), socket_);
    struct stat info {};
    ASSERT_EQ(lstat(folder_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(info.st_uid, getuid());
    EXPECT_EQ(relay_socket::checkedPath(kIdentifier, Folder::Check), socket_);
}

TEST_F(RelayFolderTest, ARuntimeFolderIsUsedAsItIs) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/4242");
    EXPECT_EQ(relay_socket::checkedPath(kIdentifier, Folder::Create),
              "/run/user/4242/com.vorlanworks.quillmark.sock");
    EXPECT_FALSE(fs::exists(folder_));
}

}  // namespace
