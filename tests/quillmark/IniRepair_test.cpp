// The repair of a legacy per-user odbc.ini, with the legacy and the target
// paths injected: the target is the sandbox's user odbc.ini, which iODBC
// reads as the user's file.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "admin/IniAccess.h"
#include "admin/IniRepair.h"
#include "platform/IniFile.h"
#include "platform/InstallerFacade.h"
#include "platform/LockedIniFile.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace fs = std::filesystem;

namespace {

const std::string kLegacy =
    "[ODBC Data Sources]\nShared = Recorder\nHidden = Recorder\n\n"
    "[Shared]\nServer = hidden\nPort = 1\n\n[Hidden]\nDatabase = h\n\n[Unlisted]\nKey = u\n";
const std::string kEarlier =
    "[ODBC Data Sources]\nShared = Recorder\nMine = Recorder\n\n"
    "[Shared]\nServer = earlier\nUser = me\n\n[Mine]\nDatabase = m\n";

struct Repaired {
    IniRepair::Result result;
    std::vector<std::string> asked;
    std::vector<std::string> warnings;
};

class IniRepairTest : public ::testing::Test {
  protected:
    Repaired run(bool fix) const {
        Repaired out{};
        IniRepair::Ui ui{[&](const std::string& title, const std::string&) {
                             out.asked.push_back(title);
                             return fix;
                         },
                         [&](const std::string&, const std::string& message) {
                             out.warnings.push_back(message);
                         }};
        out.result = IniRepair(legacy, target, ui).run();
        return out;
    }
    std::string read(const fs::path& path) const { return OdbcSandbox::readFile(path); }

    OdbcSandbox sandbox;
    ScopedEnv lang{"LANG", "C.UTF-8"};
    fs::path legacy = sandbox.home() / ".odbc.ini";
    fs::path target = sandbox.odbcIni(OdbcSandbox::Scope::User);
};

TEST_F(IniRepairTest, NothingToDoAndCancel) {
    EXPECT_EQ(run(true).result, IniRepair::Result::NothingToDo);  // no legacy file
    fs::create_symlink(target, legacy);
    const Repaired linked = run(true);
    EXPECT_EQ(linked.result, IniRepair::Result::NothingToDo);
    EXPECT_TRUE(linked.asked.empty());
    fs::remove(legacy);
    OdbcSandbox::writeFile(legacy, kLegacy);
    const Repaired cancelled = run(false);
    EXPECT_EQ(cancelled.result, IniRepair::Result::Cancelled);
    EXPECT_EQ(cancelled.asked, std::vector<std::string>{"Invisible ~/.odbc.ini file detected"});
    EXPECT_EQ(read(legacy), kLegacy);
}

TEST_F(IniRepairTest, MovesIntoAMissingFolderOrFile) {
    for (const bool folderMissing : {true, false}) {
        SCOPED_TRACE(folderMissing);
        fs::remove_all(target.parent_path());
        if (!folderMissing) {
            fs::create_directories(target.parent_path());
        }
        OdbcSandbox::writeFile(legacy, kLegacy);
        EXPECT_EQ(run(true).result, IniRepair::Result::Moved);
        EXPECT_EQ(read(target), kLegacy);
        EXPECT_FALSE(fs::exists(legacy));
    }
}

TEST_F(IniRepairTest, MergesEverySectionAndKey) {
    OdbcSandbox::writeFile(legacy, kLegacy);
    OdbcSandbox::writeFile(target, kEarlier);
    const Repaired merged = run(true);
    ASSERT_EQ(merged.result, IniRepair::Result::Merged)
        << ::testing::PrintToString(merged.warnings);
    EXPECT_FALSE(fs::exists(legacy));
    const IniAccess user(IniAccess::User);
    const std::vector<std::array<std::string, 3>> expected = {
        {"ODBC Data Sources", "Shared", "Recorder"},
        {"ODBC Data Sources", "Hidden", "Recorder"},
        {"ODBC Data Sources", "Mine", "Recorder"},
        {"Shared", "Server", "hidden"},
        {"Shared", "Port", "1"},
        {"Shared", "User", "me"},
        {"Hidden", "Database", "h"},
        {"Unlisted", "Key", "u"},
        {"Mine", "Database", "m"}};
    for (const auto& [section, key, value] : expected) {
        EXPECT_EQ(user.valueOr(section, key, "odbc.ini"), value) << section << "/" << key;
    }
    for (const auto& entry : fs::directory_iterator(target.parent_path())) {
        EXPECT_EQ(entry.path().filename().string().find("odbc2"), std::string::npos);
        EXPECT_EQ(entry.path().filename().string().find("odbc3"), std::string::npos);
    }
}

// Another program adding DSNs while repairs run loses none, nor do they.
TEST_F(IniRepairTest, AWriterAtTheSameTimeLosesNothing) {
    sandbox.addDriver("Drv A", {{"Driver", "/a.so"}}, OdbcSandbox::Scope::User);
    OdbcSandbox::writeFile(target, kEarlier);
    const std::string tool = std::string(MORVANEX_BINARY_DIR) + "/tests/tools/ini_write_client";
    const pid_t writer = fork();
    if (writer == 0) {
        execl(tool.c_str(), tool.c_str(), "user", "--dsns", "w", "300", "Drv A", nullptr);
        _exit(127);
    }
    // Enough sections that reading the legacy file takes a while.
    std::string legacyText = kLegacy;
    for (int i = 0; i < 100; ++i) {
        legacyText += "\n[L" + std::to_string(i) + "]\nKey = " + std::to_string(i) + "\n";
    }
    int status = 0;
    do {
        OdbcSandbox::writeFile(legacy, legacyText);
        EXPECT_EQ(run(true).result, IniRepair::Result::Merged);
    } while (waitpid(writer, &status, WNOHANG) == 0);
    EXPECT_EQ(status, 0);
    const IniFile merged = IniFile::parse(read(target));
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(merged.value("w" + std::to_string(i), "Driver"), "/a.so") << i;
    }
    EXPECT_EQ(merged.value("Shared", "Server"), "hidden");
    EXPECT_EQ(merged.value("Mine", "Database"), "m");
}

// Runs ini_write_client with these arguments and environment; its output
// is read from the pipe.
FILE* client(const std::string& arguments, const std::string& environment = "") {
    return popen(
        (environment + " " MORVANEX_BINARY_DIR "/tests/tools/ini_write_client " + arguments)
            .c_str(),
        "r");
}

std::string lastLine(FILE* pipe) {
    char line[256] = {};
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
    }
    pclose(pipe);
    return line;
}

// Waits for a program to open a file.
struct OpenWatch {
    explicit OpenWatch(const fs::path& file) : fd(inotify_init1(IN_CLOEXEC)) {
        inotify_add_watch(fd, file.c_str(), IN_OPEN);
    }
    ~OpenWatch() { close(fd); }
    bool opened() const {
        pollfd ready{fd, POLLIN, 0};
        alignas(inotify_event) char events[4096];
        return poll(&ready, 1, 60000) == 1 && read(fd, events, sizeof events) > 0;
    }
    int fd;
};

// While the repair waits for the user's file, a writer of the legacy file
// through the writer's lock waits for the repair and then writes a file of
// its own; one without the lock (an editor) keeps it from being removed.
TEST_F(IniRepairTest, AWriterOfTheLegacyFileMeanwhileLosesNothing) {
    for (const bool throughTheLock : {true, false}) {
        SCOPED_TRACE(throughTheLock ? "through the lock" : "an editor");
        OdbcSandbox::writeFile(legacy, kLegacy);
        OdbcSandbox::writeFile(target, kEarlier);
        FILE* holder = client("--hold user Held k 1");
        pid_t holding = 0;
        ASSERT_EQ(std::fscanf(holder, "%d", &holding), 1);
        const OpenWatch targetOpened(target);
        auto repair = std::async(std::launch::async, [this] { return run(true); });
        // It opens the user's file once it has read the legacy one.
        ASSERT_TRUE(targetOpened.opened());
        std::string said = "OK\n";
        if (throughTheLock) {
            std::string why;
            bool missing = false;
            const bool free = LockedIniFile::open(legacy, false, LockedIniFile::Clock::now(), why,
                                                  missing) != nullptr;
            const OpenWatch legacyOpened(legacy);
            FILE* writer =
                client("user a Port 5555", "HOME='" + sandbox.home().string() + "' env -u ODBCINI");
            // Nothing in its way, it finishes; else it waits with the file open.
            if (free) {
                said = lastLine(writer);
            } else {
                ASSERT_TRUE(legacyOpened.opened());
            }
            kill(holding, SIGUSR1);
            if (!free) {
                said = lastLine(writer);
            }
        } else {
            std::ofstream(legacy, std::ios::app) << "[a]\nPort = 5555\n";
            kill(holding, SIGUSR1);
        }
        lastLine(holder);
        const Repaired repaired = repair.get();
        EXPECT_EQ(said, "OK\n");
        const std::optional<std::string> kept = IniFile::parse(read(legacy)).value("a", "Port");
        EXPECT_TRUE(kept == "5555" || IniFile::parse(read(target)).value("a", "Port") == "5555");
        EXPECT_EQ(IniFile::parse(read(target)).value("Shared", "Server"), "hidden");
        EXPECT_EQ(repaired.result,
                  throughTheLock ? IniRepair::Result::Merged : IniRepair::Result::Failed);
        fs::remove(legacy);
    }
}

TEST_F(IniRepairTest, RefusesToCutOrLoseAndLeavesBothFiles) {
    struct Case {
        const char* label;
        std::string legacyText;
        bool refuseWrites;
    };
    for (const Case& c : {Case{"a key no writer may write", kLegacy + "it's = x\n", false},
                          Case{"a refused write", kLegacy, true}}) {
        SCOPED_TRACE(c.label);
        OdbcSandbox::writeFile(legacy, c.legacyText);
        OdbcSandbox::writeFile(target, kEarlier);
        if (c.refuseWrites) {
            InstallerFacade::instance().setRefusal([](std::string_view function) {
                return function == "SQLWritePrivateProfileString";
            });
        }
        const Repaired failed = run(true);
        InstallerFacade::instance().setRefusal(nullptr);
        EXPECT_EQ(failed.result, IniRepair::Result::Failed);
        ASSERT_EQ(failed.warnings.size(), 1u);
        EXPECT_NE(failed.warnings[0].find("Failed to merge invisible"), std::string::npos);
        EXPECT_EQ(read(legacy), c.legacyText);
        EXPECT_EQ(read(target), kEarlier);
    }
}

}  // namespace
