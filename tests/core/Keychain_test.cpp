#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver/core/Keychain.h"
#include "platform/FileSecretStore.h"
#include "platform/MemorySecretStore.h"
#include "tests/support/OdbcSandbox.h"

namespace {

namespace fs = std::filesystem;

// Puts a store in place for one test and brings the previous one back.
class StoreInPlace {
  public:
    explicit StoreInPlace(std::shared_ptr<SecretStore> store)
        : previous_(SecretStore::replaceCurrent(std::move(store))) {}
    ~StoreInPlace() { SecretStore::replaceCurrent(previous_); }

  private:
    std::shared_ptr<SecretStore> previous_;
};

TEST(Keychain, ItemsAreKeyedByPrefixedDataSourceAndUser) {
    auto memory = std::make_shared<MemorySecretStore>();
    StoreInPlace inPlace(memory);

    ASSERT_EQ(storeKeychainPassword("morvanex", "Sales", "joe", "pw-sales", false), errSecSuccess);
    ASSERT_EQ(storeKeychainPassword("morvanex", "Orders", "joe", "pw-orders", true), errSecSuccess);
    EXPECT_EQ(memory->size(), 2u);

    std::string direct;
    EXPECT_EQ(memory->find("morvanex.Sales", "joe", direct), SecretStore::kSuccess);
    EXPECT_EQ(direct, "pw-sales");

    struct Case {
        const char* dsn;
        const char* user;
        KeychainStatus status;
        std::string password;
    };
    for (const Case& c : {Case{"Sales", "joe", errSecSuccess, "pw-sales"},
                          Case{"Orders", "joe", errSecSuccess, "pw-orders"},
                          Case{"Sales", "ann", errSecItemNotFound, ""},
                          Case{"Missing", "joe", errSecItemNotFound, ""}}) {
        std::string password = "stale";
        EXPECT_EQ(findKeychainPassword("morvanex", c.dsn, c.user, password), c.status)
            << c.dsn << " " << c.user;
        EXPECT_EQ(password, c.password) << c.dsn << " " << c.user;
    }
}

TEST(Keychain, StoringAgainReplacesThePassword) {
    StoreInPlace inPlace(std::make_shared<MemorySecretStore>());
    ASSERT_EQ(storeKeychainPassword("morvanex", "Sales", "joe", "old", false), errSecSuccess);
    EXPECT_EQ(storeKeychainPassword("morvanex", "Sales", "joe", "new", false), errSecSuccess);
    std::string password;
    EXPECT_EQ(findKeychainPassword("morvanex", "Sales", "joe", password), errSecSuccess);
    EXPECT_EQ(password, "new");
}

TEST(Keychain, CopyIntoABufferNeverPassesItsSize) {
    StoreInPlace inPlace(std::make_shared<MemorySecretStore>());
    ASSERT_EQ(storeKeychainPassword("morvanex", "Sales", "joe", "secret", false), errSecSuccess);

    struct Case {
        const char* user;
        std::size_t size;
        KeychainStatus status;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"joe", 7, errSecSuccess, "secret"},
        {"joe", 6, errSecBufferTooSmall, ""},
        {"joe", 1, errSecBufferTooSmall, ""},
        {"ann", 16, errSecItemNotFound, ""},
    };
    for (const Case& c : cases) {
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(findKeychainPasswordC("morvanex", "Sales", c.user, buffer, c.size), c.status)
            << c.user << " size " << c.size;
        EXPECT_EQ(std::string(buffer), c.text) << c.user << " size " << c.size;
        for (std::size_t i = c.size; i < sizeof buffer; ++i) {
            EXPECT_EQ(buffer[i], '#') << "byte " << i << " written for size " << c.size;
        }
    }

    char buffer[8] = "keep";
    EXPECT_EQ(findKeychainPasswordC("morvanex", "Sales", "joe", buffer, 0), errSecParam);
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(findKeychainPasswordC("morvanex", "Sales", "joe", nullptr, 8), errSecParam);
    EXPECT_EQ(findKeychainPasswordC(nullptr, "Sales", "joe", buffer, sizeof buffer), errSecParam);
    EXPECT_STREQ(buffer, "");
}

TEST(Keychain, UsesThePerUserStoreByDefault) {
    OdbcSandbox sandbox;
    StoreInPlace inPlace(nullptr);
    ASSERT_EQ(storeKeychainPassword("morvanex", "Sales", "joe", "pw;with=odd\nbytes", false),
              errSecSuccess);
    EXPECT_TRUE(fs::exists(sandbox.home() / ".local/share/morvanex/secrets"));
    std::string password;
    EXPECT_EQ(findKeychainPassword("morvanex", "Sales", "joe", password), errSecSuccess);
    EXPECT_EQ(password, "pw;with=odd\nbytes");
}

TEST(Keychain, FailuresAreReportedNotHidden) {
    OdbcSandbox sandbox;
    StoreInPlace inPlace(nullptr);
    const fs::path directory = sandbox.home() / ".local/share/morvanex";
    fs::create_directories(directory);
    fs::permissions(directory, fs::perms::owner_all, fs::perm_options::replace);
    OdbcSandbox::writeFile(sandbox.root() / "elsewhere", "");
    fs::create_symlink(sandbox.root() / "elsewhere", directory / "secrets");

    const KeychainStatus stored = storeKeychainPassword("morvanex", "Sales", "joe", "pw", false);
    EXPECT_LT(stored, 0);
    EXPECT_NE(stored, errSecItemNotFound);
    std::string password = "stale";
    const KeychainStatus found = findKeychainPassword("morvanex", "Sales", "joe", password);
    EXPECT_LT(found, 0);
    EXPECT_NE(found, errSecItemNotFound);
    EXPECT_EQ(password, "");
    EXPECT_EQ(OdbcSandbox::readFile(sandbox.root() / "elsewhere"), "");
}

}  // namespace
