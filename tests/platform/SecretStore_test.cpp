#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/FileSecretStore.h"
#include "platform/MemorySecretStore.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

namespace fs = std::filesystem;
using Status = SecretStore::Status;

struct StoreKind {
    const char* name;
    std::function<std::shared_ptr<SecretStore>(const OdbcSandbox&)> make;
};

const std::vector<StoreKind>& storeKinds() {
    static const std::vector<StoreKind> kinds = {
        {"file",
         [](const OdbcSandbox& sandbox) {
             return std::make_shared<FileSecretStore>(sandbox.root() / "store");
         }},
        {"memory", [](const OdbcSandbox&) { return std::make_shared<MemorySecretStore>(); }},
    };
    return kinds;
}

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(SecretStore, StoresFindsAndReplacesPerServiceAndAccount) {
    for (const StoreKind& kind : storeKinds()) {
        OdbcSandbox sandbox;
        auto store = kind.make(sandbox);
        std::string secret = "untouched";

        EXPECT_EQ(store->find("morvanex.Sales", "joe", secret), SecretStore::kItemNotFound)
            << kind.name;
        EXPECT_EQ(secret, "untouched") << kind.name;

        EXPECT_EQ(store->store("morvanex.Sales", "joe", "first"), SecretStore::kSuccess);
        EXPECT_EQ(store->store("morvanex.Orders", "joe", "other"), SecretStore::kSuccess);
        EXPECT_EQ(store->store("morvanex.Sales", "ann", "hers"), SecretStore::kSuccess);
        EXPECT_EQ(store->store("morvanex.Sales", "joe", "second"), SecretStore::kSuccess);

        struct Expect {
            const char* service;
            const char* account;
            Status status;
            std::string secret;
        };
        for (const Expect& e : {Expect{"morvanex.Sales", "joe", SecretStore::kSuccess, "second"},
                                Expect{"morvanex.Orders", "joe", SecretStore::kSuccess, "other"},
                                Expect{"morvanex.Sales", "ann", SecretStore::kSuccess, "hers"},
                                Expect{"morvanex.Orders", "ann", SecretStore::kItemNotFound, ""},
                                Expect{"morvanex.sales", "joe", SecretStore::kItemNotFound, ""}}) {
            std::string found;
            EXPECT_EQ(store->find(e.service, e.account, found), e.status)
                << kind.name << " " << e.service << " " << e.account;
            EXPECT_EQ(found, e.secret) << kind.name << " " << e.service << " " << e.account;
        }
    }
}

TEST(SecretStore, AnyBytesSurviveTheRoundTrip) {
    const std::vector<std::string> secrets = {
        "",
        "\n",
        "3:abc\n",
        std::string("nul\0inside", 10),
        "\xff\xfe\x80 high bytes",
        "MORVANEX-SECRETS 1\n",
        std::string(100000, 'p'),
    };
    OdbcSandbox sandbox;
    FileSecretStore store(sandbox.root() / "store");
    for (std::size_t i = 0; i < secrets.size(); ++i) {
        // The secret doubles as the account to mix odd bytes into every field.
        ASSERT_EQ(store.store("svc\n" + std::to_string(i), secrets[i], secrets[i]),
                  SecretStore::kSuccess)
            << i;
    }
    FileSecretStore reopened(sandbox.root() / "store");
    for (std::size_t i = 0; i < secrets.size(); ++i) {
        std::string found = "x";
        EXPECT_EQ(reopened.find("svc\n" + std::to_string(i), secrets[i], found),
                  SecretStore::kSuccess)
            << i;
        EXPECT_EQ(found, secrets[i]) << i;
    }
}

TEST(SecretStore, FileIsPrivateAndReplacedWhole) {
    OdbcSandbox sandbox;
    const fs::path directory = sandbox.root() / "a" / "b" / "store";
    FileSecretStore store(directory);
    ASSERT_EQ(store.store("svc", "acct", "pw"), SecretStore::kSuccess);
    ASSERT_EQ(store.store("svc", "acct", "pw2"), SecretStore::kSuccess);

    EXPECT_EQ(store.filePath(), directory / "secrets");
    EXPECT_EQ(modeOf(directory / "secrets"), 0600u);
    EXPECT_EQ(modeOf(directory), 0700u);
    // Only the file and its lock remain: no temporary file is left behind.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"secrets", "secrets.lock"}));
}

TEST(SecretStore, RefusesFilesItMustNotTrust) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& directory, const fs::path& outside)> prepare;
    };
    const std::vector<Case> cases = {
        {"file is a symlink",
         [](const fs::path& dir, const fs::path& outside) {
             fs::create_symlink(outside, dir / "secrets");
         }},
        {"file open to others",
         [](const fs::path& dir, const fs::path& outside) {
             fs::copy_file(outside, dir / "secrets");
             ::chmod((dir / "secrets").c_str(), 0644);
         }},
        {"file is not in the store's format",
         [](const fs::path& dir, const fs::path&) {
             OdbcSandbox::writeFile(dir / "secrets", "garbage\n");
             ::chmod((dir / "secrets").c_str(), 0600);
         }},
        {"file is cut short",
         [](const fs::path& dir, const fs::path&) {
             OdbcSandbox::writeFile(dir / "secrets", "MORVANEX-SECRETS 1\n3:svc\n4:acct\n9:pw\n");
             ::chmod((dir / "secrets").c_str(), 0600);
         }},
        {"file is a directory",
         [](const fs::path& dir, const fs::path&) { fs::create_directory(dir / "secrets"); }},
        {"directory is a symlink",
         [](const fs::path& dir, const fs::path& outside) {
             fs::remove(dir);
             fs::create_directory_symlink(outside.parent_path() / "elsewhere", dir);
         }},
    };
    for (const Case& c : cases) {
        OdbcSandbox sandbox;
        const fs::path directory = sandbox.root() / "store";
        const fs::path outside = sandbox.root() / "outside";
        // A valid store elsewhere, so that following a link would succeed.
        {
            FileSecretStore elsewhere(sandbox.root() / "elsewhere");
            ASSERT_EQ(elsewhere.store("svc", "acct", "leaked"), SecretStore::kSuccess);
            fs::copy_file(sandbox.root() / "elsewhere" / "secrets", outside);
        }
        fs::create_directory(directory);
        ::chmod(directory.c_str(), 0700);
        c.prepare(directory, outside);
        const fs::path elsewhere = sandbox.root() / "elsewhere" / "secrets";
        const std::string before = OdbcSandbox::readFile(outside);

        FileSecretStore store(directory);
        std::string found = "untouched";
        const Status findStatus = store.find("svc", "acct", found);
        EXPECT_NE(findStatus, SecretStore::kSuccess) << c.name;
        EXPECT_NE(findStatus, SecretStore::kItemNotFound) << c.name;
        EXPECT_EQ(found, "untouched") << c.name;

        const Status storeStatus = store.store("svc", "acct", "new");
        EXPECT_LT(storeStatus, 0) << c.name;
        EXPECT_EQ(OdbcSandbox::readFile(outside), before) << c.name;
        EXPECT_EQ(OdbcSandbox::readFile(elsewhere), before) << c.name;
    }
}

TEST(SecretStore, DefaultDirectoryFollowsTheEnvironment) {
    // An empty or relative XDG_DATA_HOME is invalid: ~/.local/share is used.
    struct Case {
        const char* dataHome;
        bool absolute;
    };
    for (const Case& c : {Case{"data", true}, Case{"", false}, Case{"relative/dir", false}}) {
        OdbcSandbox sandbox;  // restores XDG_DATA_HOME when it goes
        const fs::path value = c.absolute ? sandbox.root() / c.dataHome : fs::path(c.dataHome);
        ::setenv("XDG_DATA_HOME", value.c_str(), 1);
        const fs::path expected =
            (c.absolute ? value : sandbox.home() / ".local" / "share") / "morvanex";
        EXPECT_EQ(FileSecretStore::defaultDirectory(), expected) << c.dataHome;

        // The default store looks the directory up at each call.
        FileSecretStore store;
        ASSERT_EQ(store.store("svc", "acct", "pw"), SecretStore::kSuccess) << c.dataHome;
        EXPECT_TRUE(fs::exists(expected / "secrets")) << c.dataHome;
    }
}

// Root keeping its rules makes no folder, and reads no secret, where a
// folder others may change leads (here /tmp, through a link).
TEST(SecretStore, RootStoresOnlyWhereRootAloneCouldChangeTheFolder) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    OdbcSandbox sandbox;
    const fs::path elsewhere = sandbox.root() / "elsewhere";
    fs::create_directory(elsewhere);
    fs::create_directory_symlink(elsewhere, sandbox.root() / "link");
    const ScopedEnv dataHome("XDG_DATA_HOME", (sandbox.root() / "link" / "data").c_str());
    const ScopedEnv rules("MORVANEX_TEST_ROOT_ANYWHERE", nullptr);
    FileSecretStore store;
    EXPECT_EQ(store.store("svc", "acct", "pw"), SecretStore::kIoError);
    std::string found;
    EXPECT_NE(store.find("svc", "acct", found), SecretStore::kSuccess);
    EXPECT_TRUE(fs::is_empty(elsewhere));
}

}  // namespace
