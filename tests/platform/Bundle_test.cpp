#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/Bundle.h"
#include "platform/PreferenceFiles.h"
#include "platform/RelaySocketPath.h"
#include "tests/setup/TestBundle.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace fs = std::filesystem;

namespace {

TEST(Bundle, FoundAroundAFileInsideItsContents) {
    OdbcSandbox sandbox;
    const fs::path bundle = writeTestBundle(sandbox.root() / "Driver.bundle",
                                            {{"CFBundleIdentifier", "com.example.driver"}});
    fs::create_directories(bundle / "Contents" / "MacOS");
    OdbcSandbox::writeFile(bundle / "Contents" / "MacOS" / "module.so", "");
    fs::create_symlink(bundle / "Contents" / "MacOS" / "module.so", sandbox.root() / "link.so");
    OdbcSandbox::writeFile(sandbox.root() / "Plain" / "module.so", "");
    struct Case {
        const char* name;
        fs::path path;
        std::optional<fs::path> expected;
    };
    const Case cases[] = {
        {"module", bundle / "Contents" / "MacOS" / "module.so", bundle},
        {"resource", bundle / "Contents" / "Resources" / "x.txt", bundle},
        {"through a link", sandbox.root() / "link.so", bundle},
        {"outside any bundle", sandbox.root() / "Plain" / "module.so", std::nullopt},
        {"bundle folder itself", bundle, std::nullopt},
    };
    for (const Case& c : cases) {
        auto found = Bundle::containing(c.path);
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.name;
        if (found) {
            EXPECT_EQ(found->path(), *c.expected) << c.name;
            EXPECT_EQ(found->identifier(), "com.example.driver") << c.name;
            EXPECT_EQ(found->resourcesPath(), *c.expected / "Contents" / "Resources");
        }
    }
}

TEST(Bundle, FoundByIdentifierInTheSearchFolders) {
    OdbcSandbox sandbox;
    const fs::path first = sandbox.root() / "first";
    const fs::path second = sandbox.root() / "second";
    writeTestBundle(first / "a.bundle", {{"CFBundleIdentifier", "com.example.a"}});
    writeTestBundle(second / "a.bundle", {{"CFBundleIdentifier", "com.example.a"}});
    writeTestBundle(second / "b.bundle", {{"CFBundleIdentifier", "com.example.b"}});
    fs::create_directories(second / "broken.bundle" / "Contents");
    OdbcSandbox::writeFile(second / "broken.bundle" / "Contents" / "Info.plist", "not a plist");
    ScopedEnv path("MORVANEX_BUNDLE_PATH", first.string() + "::" + second.string());

    EXPECT_EQ(Bundle::withIdentifier("com.example.a")->path(), first / "a.bundle");
    EXPECT_EQ(Bundle::withIdentifier("com.example.b")->path(), second / "b.bundle");
    EXPECT_FALSE(Bundle::withIdentifier("com.example.c"));
    EXPECT_FALSE(Bundle::withIdentifier(""));
}

TEST(Bundle, TheBuiltDriverBundleNamesItsModule) {
    const fs::path bundlePath = fs::path(MORVANEX_BINARY_DIR) / "bundles" / "morvanex.bundle";
    if (!fs::exists(bundlePath)) {
        GTEST_SKIP() << "the build tree has no driver bundle";
    }
    ScopedEnv path("MORVANEX_BUNDLE_PATH", bundlePath.parent_path().string());
    auto bundle = Bundle::withIdentifier("com.vorlanworks.odbcdriver.morvanex");
    ASSERT_TRUE(bundle);
    EXPECT_FALSE(bundle->infoString("CFBundleVersion").value_or("").empty());
    EXPECT_TRUE(fs::is_directory(bundle->resourcesPath()));
    const fs::path module = bundle->contentsPath() / "MacOS" / "morvanex.so";
    EXPECT_TRUE(fs::equivalent(module, MORVANEX_DRIVER_PATH));
    EXPECT_EQ(Bundle::containing(module)->path(), bundlePath);
}

TEST(PreferenceFiles, FoldersFollowTheXdgVariables) {
    struct Case {
        const char* name;
        std::optional<std::string> configDirs, configHome, home;
        std::string system;
        std::optional<std::string> user;
    };
    const Case cases[] = {
        {"set", "/etc/a:/etc/b", "/home/u/cfg", "/home/u", "/etc/a", "/home/u/cfg"},
        {"defaults", std::nullopt, std::nullopt, "/home/u", "/etc/xdg", "/home/u/.config"},
        {"relative ignored", "rel:/etc/b", "rel", "/home/u", "/etc/xdg", "/home/u/.config"},
        {"no home", std::nullopt, std::nullopt, std::nullopt, "/etc/xdg", std::nullopt},
    };
    for (const Case& c : cases) {
        ScopedEnv dirs("XDG_CONFIG_DIRS", c.configDirs);
        ScopedEnv configHome("XDG_CONFIG_HOME", c.configHome);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(preference_files::systemDirectory(), c.system) << c.name;
        auto user = preference_files::userDirectory();
        EXPECT_EQ(user.has_value(), c.user.has_value()) << c.name;
        if (user && c.user) {
            EXPECT_EQ(*user, *c.user) << c.name;
        }
    }
}

TEST(RelaySocket, PathFollowsTheRuntimeFolder) {
    const std::string kPrivate = "/tmp/quillmark-" + std::to_string(getuid());
    struct Case {
        std::optional<std::string> runtime;
        std::string expected;
    };
    const Case cases[] = {
        {"/run/user/1000", "/run/user/1000/com.vorlanworks.quillmark.sock"},
        {std::nullopt, kPrivate + "/com.vorlanworks.quillmark.sock"},
        {"relative", kPrivate + "/com.vorlanworks.quillmark.sock"},
    };
    for (const Case& c : cases) {
        ScopedEnv runtime("XDG_RUNTIME_DIR", c.runtime);
        EXPECT_EQ(relay_socket::path("com.vorlanworks.quillmark"), c.expected);
    }
}

TEST(RelaySocket, PeerOfOurOwnIsTrusted) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    EXPECT_TRUE(relay_socket::peerIsSameUser(ends[0]));
    close(ends[0]);
    close(ends[1]);
    EXPECT_FALSE(relay_socket::peerIsSameUser(-1));
}

}  // namespace
