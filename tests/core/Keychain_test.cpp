#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver/core/Keychain.h"
#include "platform/MemorySecretStore.h"
#include "tests/support/OdbcSandbox.h"

namespace {

namespace fs = std::filesystem;

// Puts a store in place for one test (null: the per-user file) and brings
// the previous one back.
class StoreInPlace {
  public:
    explicit StoreInPlace(std::shared_ptr<SecretStore> store)
        : previous_(SecretStore::replaceCurrent(std::move(store))) {}
    ~StoreInPlace() { SecretStore::replaceCurrent(previous_); }

  private:
    std::shared_ptr<SecretStore> previous_;
};

TEST(Keychain, ItemsAreKeyedByPrefixedDataSourceAndUserAndReplaced) {
    auto memory = std::make_shared<MemorySecretStore>();
    StoreInPlace inPlace(memory);

    ASSERT_EQ(storeKeychainPassword("morvanex", "Sales", "joe", "old", false), errSecSuccess);
    ASSERT_EQ(storeKeychainPassword("morvanex", "Orders", "joe", "pw-orders", true), errSecSuccess);
    ASSERT_EQ(storeKeychainPassword("morvanex", "Sales", "joe", "pw-sales", false), errSecSuccess);
    EXPECT_EQ(memory->size(), 2u);
    std::string direct;
    EXPECT_EQ(memory->find("morvanex.Sales", "joe", direct), SecretStore::kSuccess);

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

TEST(Keychain, CopyIntoABufferNeverPassesItsSize) {
    StoreInPlace inPlace(std::make_shared<MemorySecretStore>());
    ASSERT_EQ(storeKeychainPassword("morvanex", "Sales", "joe", "secret", false), errSecSuccess);

    struct Case {
        const char* prefix;
        const char* user;
        std::size_t size;
        KeychainStatus status;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"morvanex", "joe", 7, errSecSuccess, "secret"},
        {"morvanex", "joe", 6, errSecBufferTooSmall, ""},
        {"morvanex", "joe", 1, errSecBufferTooSmall, ""},
        {"morvanex", "ann", 16, errSecItemNotFound, ""},
        {nullptr, "joe", 16, errSecParam, ""},
    };
    for (const Case& c : cases) {
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(findKeychainPasswordC(c.prefix, "Sales", c.user, buffer, c.size), c.status)
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
}

TEST(Keychain, PerUserStoreIsTheDefaultAndReportsItsFailures) {
    OdbcSandbox sandbox;
    StoreInPlace inPlace(nullptr);
    ASSERT_EQ(storeKeychainPassword("morvanex", "Sales", "joe", "pw;with=odd\nbytes", false),
              errSecSuccess);
    std::string password;
    EXPECT_EQ(findKeychainPassword("morvanex", "Sales", "joe", password), errSecSuccess);
    EXPECT_EQ(password, "pw;with=odd\nbytes");

    // A store file replaced by a link is refused, and the refusal reported.
    const fs::path file = sandbox.home() / ".local/share/morvanex/secrets";
    fs::remove(file);
    OdbcSandbox::writeFile(sandbox.root() / "elsewhere", "");
    fs::create_symlink(sandbox.root() / "elsewhere", file);
    const KeychainStatus stored = storeKeychainPassword("morvanex", "Sales", "joe", "pw", false);
    EXPECT_LT(stored, 0);
    EXPECT_NE(stored, errSecItemNotFound);
    password = "stale";
    const KeychainStatus found = findKeychainPassword("morvanex", "Sales", "joe", password);
    EXPECT_LT(found, 0);
    EXPECT_NE(found, errSecItemNotFound);
    EXPECT_EQ(password, "");
    EXPECT_EQ(OdbcSandbox::readFile(sandbox.root() / "elsewhere"), "");
}

}  // namespace
