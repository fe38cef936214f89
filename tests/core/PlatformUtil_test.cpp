// ctest-timeout: 120
#include <gtest/gtest.h>

#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "driver/core/PlatformUtil.h"
#include "platform/HostInfo.h"
#include "tests/setup/TestBundle.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

// Pretends the host is `executable` for one test.
class HostOverride {
  public:
    explicit HostOverride(const std::filesystem::path& executable) {
        host_info::setExecutableOverride(executable);
        resetHostApplicationCache();
    }
    ~HostOverride() {
        host_info::setExecutableOverride(std::nullopt);
        resetHostApplicationCache();
    }
};

std::string ownCommand() {
    std::ifstream in("/proc/self/comm");
    std::string command;
    std::getline(in, command);
    return command;
}

// "Linux " then three dot-separated decimal numbers.
bool looksLikeLinuxVersion(const std::string& text) {
    const std::string prefix = "Linux ";
    if (text.rfind(prefix, 0) != 0) {
        return false;
    }
    int numbers = 0;
    bool inNumber = false;
    for (char c : text.substr(prefix.size())) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            numbers += inNumber ? 0 : 1;
            inNumber = true;
        } else if (c == '.' && inNumber) {
            inNumber = false;
        } else {
            return false;
        }
    }
    return numbers == 3 && inNumber;
}

TEST(PlatformUtil, ParsesVersionTexts) {
    struct Case {
        const char* text;
        int64_t major, minor, patch;
    };
    const Case cases[] = {
        {"Version 10.15.7 (Build 19H2)", 10, 15, 7},
        {"Version 11.0 (Build 20A5364e)", 11, 0, 0},
        {"6.1.0-18-amd64", 6, 1, 0},
        {"5.15.153.1-microsoft-standard-WSL2", 5, 15, 153},
        {"4.19", 4, 19, 0},
        {"7", 7, 0, 0},
        {"Linux", 0, 0, 0},
        {"", 0, 0, 0},
        {"release 3.2.1 and 9.9.9", 3, 2, 1},
    };
    for (const Case& c : cases) {
        int64_t major = -1, minor = -1, patch = -1;
        parseOperatingSystemVersion(c.text, &major, &minor, &patch);
        EXPECT_EQ(major, c.major) << c.text;
        EXPECT_EQ(minor, c.minor) << c.text;
        EXPECT_EQ(patch, c.patch) << c.text;
    }
    // Missing outputs are simply not written.
    int64_t major = 0;
    parseOperatingSystemVersion("12.3.4", &major, nullptr, nullptr);
    EXPECT_EQ(major, 12);
}

TEST(PlatformUtil, ReportsTheRunningKernelAsLinux) {
    std::string text;
    getOsVersionString(text);
    EXPECT_TRUE(looksLikeLinuxVersion(text)) << text;
    struct utsname names {};
    ASSERT_EQ(uname(&names), 0);
    int64_t major = 0;
    getOperatingSystemVersion(&major, nullptr, nullptr);
    EXPECT_EQ(text.rfind("Linux " + std::to_string(major) + ".", 0), 0u) << names.release;
    EXPECT_GT(major, 0);
}

TEST(PlatformUtil, ListsTheCurrentProcess) {
    std::vector<ProcessRecord> records;
    ASSERT_EQ(get_bsd_process_list(records), 0);
    bool found = false;
    for (const ProcessRecord& record : records) {
        if (record.pid == getpid()) {
            found = true;
            EXPECT_EQ(std::string(record.command), ownCommand());
        }
    }
    EXPECT_TRUE(found);

    char name[17] = {};
    EXPECT_EQ(getProcessName(getpid(), name), 1);
    EXPECT_EQ(std::string(name), ownCommand());
    EXPECT_EQ(getProcessName(0x7ffffff0, name), -1);
}

TEST(PlatformUtil, FindsProcessesByName) {
    std::vector<ProcessRecord> records;
    ASSERT_EQ(get_bsd_process_list(records), 0);
    ASSERT_FALSE(records.empty());
    const std::string own = ownCommand();
    std::string shouted = own;
    for (char& c : shouted) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    struct Case {
        const char* name;
        std::string text;
        int length;
        int result;
        std::optional<pid_t> pid;  // checked when set
    };
    const Case cases[] = {
        {"own name", own, static_cast<int>(own.size()) + 1, 1, std::nullopt},
        {"other case", shouted, static_cast<int>(shouted.size()) + 1, 1, std::nullopt},
        {"length 0 matches the first", "zzz", 0, 1, records.front().pid},
        {"negative length compares nothing", own, -1, -1, std::nullopt},
        {"unknown", "no-such-proc-xy", 16, -1, std::nullopt},
    };
    for (const Case& c : cases) {
        pid_t pid = -7;
        EXPECT_EQ(findProcessByName(c.text.c_str(), c.length, &pid), c.result) << c.name;
        if (c.result == 1) {
            char command[17] = {};
            ASSERT_EQ(getProcessName(pid, command), 1) << c.name;
            if (c.length > 0) {
                EXPECT_EQ(strcasecmp(command, c.text.c_str()), 0) << c.name;
            }
        } else {
            EXPECT_EQ(pid, -7) << c.name;
        }
        if (c.pid) {
            EXPECT_EQ(pid, *c.pid) << c.name;
        }
    }
}

TEST(PlatformUtil, PlainProgramReportsItsNameWithoutVersion) {
    OdbcSandbox sandbox;
    HostOverride host(sandbox.root() / "bin" / "plainprog");
    std::string name, version, identifier;
    getHostAppNameAndVersion(name, version);
    getHostBundleIdentifier(identifier);
    EXPECT_EQ(name, "plainprog");
    EXPECT_EQ(version, "");
    EXPECT_EQ(identifier, "plainprog");
}

TEST(PlatformUtil, HostBundleEntriesDecideNameVersionAndIdentifier) {
    struct Case {
        const char* label;
        std::vector<std::pair<std::string, std::string>> entries;
        bool identifierFirst;
        std::string name, version, identifier;
    };
    const Case cases[] = {
        {"complete",
         {{"CFBundleName", "Microsoft Excel"},
          {"CFBundleVersion", "16.9.0"},
          {"CFBundleIdentifier", "com.microsoft.Excel"}},
         false,
         "Microsoft Excel",
         "16.9.0",
         "com.microsoft.Excel"},
        {"identifier asked first",
         {{"CFBundleName", "Tableau"},
          {"CFBundleVersion", "2023.1"},
          {"CFBundleIdentifier", "com.tableau.app"}},
         true,
         "Tableau",
         "2023.1",
         "com.tableau.app"},
        {"name without version", {{"CFBundleName", "Tool"}}, false, "Tool", "", "hostexe"},
        {"version without name",
         {{"CFBundleVersion", "2.0"}, {"CFBundleIdentifier", "a.b"}},
         false,
         "hostexe",
         "",
         "a.b"},
        {"long name cut",
         {{"CFBundleName", std::string(300, 'n')}},
         false,
         std::string(255, 'n'),
         "",
         "hostexe"},
    };
    for (const Case& c : cases) {
        OdbcSandbox sandbox;
        const auto bundle = writeTestBundle(sandbox.root() / "Host.app", c.entries);
        HostOverride host(bundle / "Contents" / "MacOS" / "hostexe");
        std::string name, version, identifier;
        if (c.identifierFirst) {
            getHostBundleIdentifier(identifier);
            getHostAppNameAndVersion(name, version);
        } else {
            getHostAppNameAndVersion(name, version);
            getHostBundleIdentifier(identifier);
        }
        EXPECT_EQ(name, c.name) << c.label;
        EXPECT_EQ(version, c.version) << c.label;
        EXPECT_EQ(identifier, c.identifier) << c.label;
    }
}

TEST(PlatformUtil, BundleVersionByIdentifier) {
    OdbcSandbox sandbox;
    const auto folder = sandbox.root() / "bundles";
    writeTestBundle(folder / "a.bundle",
                    {{"CFBundleIdentifier", "com.example.a"}, {"CFBundleVersion", "3.4.5"}});
    writeTestBundle(folder / "b.bundle", {{"CFBundleIdentifier", "com.example.b"}});
    ScopedEnv path("MORVANEX_BUNDLE_PATH", folder.string());
    struct Case {
        const char* identifier;
        std::string version;
    };
    const Case cases[] = {
        {"com.example.a", "3.4.5"},
        {"com.example.b", ""},
        {"com.example.unknown", "0.0.0"},
        {"", "0.0.0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(getBundleVersion(c.identifier), c.version) << c.identifier;
    }
    EXPECT_EQ(getBundleVersion(nullptr), "0.0.0");
}

TEST(PlatformUtil, DecimalSeparatorFollowsTheUsersLocale) {
    ScopedEnv lcNumeric("LC_NUMERIC", std::nullopt);
    {
        ScopedEnv all("LC_ALL", "C");
        EXPECT_TRUE(decimalSeparatorIsPeriod());
    }
    OdbcSandbox sandbox;
    const auto locales = sandbox.root() / "locales";
    std::filesystem::create_directories(locales);
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + (locales / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        GTEST_SKIP() << "cannot generate de_DE with localedef";
    }
    // Asked in a child: glibc keeps what it allocates for LOCPATH.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("LOCPATH", locales.c_str(), 1);
        setenv("LC_ALL", "de_DE.UTF-8", 1);
        _exit(decimalSeparatorIsPeriod() ? 1 : 0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a German locale has a decimal comma";
}

}  // namespace
