// Every writer a user meets, on files of the sizes at which the installer
// library's own writer corrupted its heap: a system odbc.ini of N DSNs (two
// keys each) gains one more through an installer host (SQLConfigDataSourceW
// reaching the driver's setup), Quillmark's DSN editor and the privileged
// helper; pelnard registers its driver in an odbcinst.ini of 58 drivers.
// Each must finish, keep every earlier entry and add the new one, and the
// installer library must read the result back.
// Needs root (the helper; pelnard runs as nobody).
// ctest-timeout: 300
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/InstallerFacade.h"
#include "tests/support/OdbcSandbox.h"

namespace {

namespace fs = std::filesystem;
using Scope = OdbcSandbox::Scope;

constexpr const char* kDriver = "Vorlan Tarvex";

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string tool(const char* name) {
    return env("MORVANEX_BINARY_DIR") + "/tests/tools/" + name;
}

// Runs a bash script; its standard output, or a failure mark.
std::string runScript(const OdbcSandbox& sandbox, const std::string& script) {
    const fs::path file = sandbox.root() / "step.sh";
    const fs::path out = sandbox.root() / "step.out";
    OdbcSandbox::writeFile(file,
                           "set -u\nexport LC_ALL=C.UTF-8\nunset LANG LANGUAGE DISPLAY "
                           "WAYLAND_DISPLAY QT_QPA_PLATFORM FLATPAK_ID\n" +
                               script);
    const int status = std::system(("bash " + file.string() + " >" + out.string() + " 2>>" +
                                    (sandbox.root() / "stderr").string())
                                       .c_str());
    const std::string output = OdbcSandbox::readFile(out);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return output + "exit status " + std::to_string(status) + "\n" +
               OdbcSandbox::readFile(sandbox.root() / "stderr");
    }
    return output;
}

std::string quoted(const std::string& text) {
    return "'" + text + "'";  // the paths and values here hold no quote
}

std::string systemValue(const char* section, const char* key, const char* file) {
    std::array<char, 512> buffer{};
    InstallerFacade& installer = InstallerFacade::instance();
    installer.setConfigMode(ODBC_SYSTEM_DSN);
    installer.getPrivateProfileString(section, key, "<absent>", buffer.data(), buffer.size(), file);
    return buffer.data();
}

void writeDsns(const OdbcSandbox& sandbox, int count) {
    std::string list = "[ODBC Data Sources]\n";
    std::string sections;
    for (int i = 0; i < count; ++i) {
        const std::string name = "dsn" + std::to_string(i);
        list += name + " = " + kDriver + "\n";
        sections += "\n[" + name + "]\nDriver = /usr/lib/morvanex.so\nServer = host" +
                    std::to_string(i) + "\n";
    }
    OdbcSandbox::writeFile(sandbox.odbcIni(Scope::System), list + sections);
}

// The setup's own driver, ours unless pelnard is to add it, and `count`
// others of two keys each.
void writeDrivers(const OdbcSandbox& sandbox, int count, bool withOurs) {
    std::string list = "[ODBC Drivers]\nmorvanex = Installed\n";
    std::string sections = "\n[morvanex]\nDriver = " + env("MORVANEX_DRIVER_PATH") +
                           "\nSetup = " + env("MORVANEX_DRIVER_PATH") + "\n";
    if (withOurs) {
        list += std::string(kDriver) + " = Installed\n";
        sections += "\n[" + std::string(kDriver) + "]\nDriver = /usr/lib/morvanex.so\n";
    }
    for (int i = 0; i < count; ++i) {
        const std::string name = "drv" + std::to_string(i);
        list += name + " = Installed\n";
        sections += "\n[" + name + "]\nDriver = /usr/lib/" + name + ".so\nSetup = /usr/lib/" +
                    name + ".so\n";
    }
    OdbcSandbox::writeFile(sandbox.odbcinstIni(Scope::System), list + sections);
}

std::string viaInstallerHost(const OdbcSandbox& sandbox) {
    OdbcSandbox::writeFile(sandbox.root() / "ui-script", "wizard accept DSN=New DriverDSN=b\n");
    const std::string out = runScript(
        sandbox, "export MORVANEX_TEST_UI_MODULE=" + quoted(env("MORVANEX_UI_SCRIPT_PATH")) +
                     " MORVANEX_UI_SCRIPT=" + quoted((sandbox.root() / "ui-script").string()) +
                     " MORVANEX_UI_JOURNAL=" + quoted((sandbox.root() / "journal").string()) +
                     "\nLD_PRELOAD=" + quoted(env("MORVANEX_ASAN_RUNTIME")) +
                     " ASAN_OPTIONS=detect_leaks=0 timeout 60 " +
                     quoted(tool("config_dsn_client")) + " 4 morvanex DSN=New DriverDSN=b\n");
    return out.rfind("result 1\n", 0) == 0 ? "" : out;
}

std::string viaAdministrator(const OdbcSandbox& sandbox) {
    const std::string out =
        runScript(sandbox, "timeout 60 " + quoted(tool("quillmark_edit_client")) + " " +
                               quoted((sandbox.root() / "no-helper.sock").string()) + " '' New " +
                               quoted(kDriver) + " Server=b\n");
    return out.rfind("Written\n", 0) == 0 && out.find("\nNew\n") != std::string::npos ? "" : out;
}

std::string viaHelper(const OdbcSandbox& sandbox) {
    const fs::path socket = sandbox.root() / "helper.sock";
    const std::string request =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
        "<key>Request</key><string>Add</string><key>Type</key><string>System</string>"
        "<key>ConnectionString</key><string>DSN=New;Server=b;</string>"
        "<key>Driver</key><string>Vorlan Tarvex</string><key>Path</key><string></string>"
        "</dict></plist>";
    OdbcSandbox::writeFile(sandbox.root() / "request.xml", request);
    const std::string out = runScript(
        sandbox, quoted(env("MORVANEX_HELPER_PATH")) + " --listen " + quoted(socket.string()) +
                     " --log-stderr --system-odbc-ini " +
                     quoted(sandbox.odbcIni(Scope::System).string()) + " --system-odbcinst-ini " +
                     quoted(sandbox.odbcinstIni(Scope::System).string()) + " --user-odbc-ini " +
                     quoted(sandbox.odbcIni(Scope::User).string()) + " --user-odbcinst-ini " +
                     quoted(sandbox.odbcinstIni(Scope::User).string()) +
                     " & helper=$!\ntrap 'kill $helper; wait $helper' EXIT\n"
                     "for i in $(seq 100); do [ -S " +
                     quoted(socket.string()) +
                     " ] && break; sleep 0.05; done\n"
                     "timeout 60 " +
                     quoted(env("MORVANEX_HELPER_CLIENT")) + " " + quoted(socket.string()) + " <" +
                     quoted((sandbox.root() / "request.xml").string()) + "\n");
    return out == "OK\n" ? "" : out;
}

// Every earlier DSN with its keys, and the new one, as the library reads
// them back.
void expectDsns(int count, const std::string& newDriver) {
    for (int i = 0; i < count; ++i) {
        const std::string name = "dsn" + std::to_string(i);
        ASSERT_EQ(systemValue("ODBC Data Sources", name.c_str(), "odbc.ini"), kDriver) << name;
        ASSERT_EQ(systemValue(name.c_str(), "Server", "odbc.ini"), "host" + std::to_string(i));
    }
    EXPECT_EQ(systemValue("ODBC Data Sources", "New", "odbc.ini"), newDriver);
    EXPECT_NE(systemValue("New", "Driver", "odbc.ini"), "<absent>");
}

TEST(IniWriterSizes, EveryWriterKeepsALargeSystemOdbcIni) {
    ASSERT_EQ(geteuid(), 0u) << "run as root: the helper needs it";
    struct Path {
        const char* name;
        std::function<std::string(const OdbcSandbox&)> add;
        const char* listedDriver;
    };
    const Path paths[] = {{"installer host", viaInstallerHost, "morvanex"},
                          {"administrator", viaAdministrator, kDriver},
                          {"helper", viaHelper, kDriver}};
    for (const Path& path : paths) {
        for (int count : {57, 58, 59, 87}) {
            OdbcSandbox sandbox;
            writeDrivers(sandbox, 0, true);
            writeDsns(sandbox, count);
            EXPECT_EQ(path.add(sandbox), "") << path.name << " with " << count << " DSNs";
            expectDsns(count, path.listedDriver);
        }
    }
}

// A save costs in proportion to the file, no more: twenty keys saved in
// one action among 10,000 DSNs take at most a few times ten those among
// 1,000, in this thread's processor time (the best of five each), which
// other work on the machine barely moves. The timings themselves are the
// benchmark's (scripts/bench.sh).
TEST(IniWriterSizes, ASaveCostsInProportionToTheFile) {
    InstallerFacade& installer = InstallerFacade::instance();
    const auto bestSave = [&installer](int count) {
        OdbcSandbox sandbox;
        writeDsns(sandbox, count);
        const std::string dsn = "dsn" + std::to_string(count / 2);
        double best = 1e30;
        for (int round = 0; round < 5; ++round) {
            timespec started{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &started);
            InstallerFacade::Transaction action;
            for (int key = 0; key < 20; ++key) {
                installer.setConfigMode(ODBC_SYSTEM_DSN);
                EXPECT_TRUE(installer.writePrivateProfileString(
                    dsn.c_str(), ("Key" + std::to_string(key)).c_str(),
                    std::to_string(round).c_str(), "odbc.ini"));
            }
            EXPECT_TRUE(action.commit());
            timespec ended{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ended);
            best = std::min(best, static_cast<double>(ended.tv_sec - started.tv_sec) * 1e9 +
                                      static_cast<double>(ended.tv_nsec - started.tv_nsec));
        }
        EXPECT_EQ(systemValue(dsn.c_str(), "Key19", "odbc.ini"), "4");
        return best;
    };
    const double thousand = bestSave(1000);
    const double tenThousand = bestSave(10000);
    EXPECT_LT(tenThousand, 30 * thousand)
        << thousand / 1e6 << " ms, then " << tenThousand / 1e6 << " ms";
}

TEST(IniWriterSizes, PelnardKeepsALargeOdbcinstIni) {
    ASSERT_EQ(geteuid(), 0u) << "run as root: pelnard runs as nobody";
    OdbcSandbox sandbox;
    writeDrivers(sandbox, 58, false);
    const fs::path folder = sandbox.odbcinstIni(Scope::System).parent_path();
    ASSERT_EQ(std::system(("chmod 755 " + quoted(sandbox.root().string()) + " && chown -R " +
                           "nobody:nogroup " + quoted(folder.string()))
                              .c_str()),
              0);
    const std::string out =
        runScript(sandbox, "setpriv --reuid=nobody --regid=nogroup --clear-groups -- timeout 60 " +
                               quoted(env("MORVANEX_PELNARD_PATH")) + " morvanex\n");
    EXPECT_EQ(out,
              "Installing the driver in " + sandbox.odbcinstIni(Scope::System).string() + "...\n");
    for (int i = 0; i < 58; ++i) {
        const std::string name = "drv" + std::to_string(i);
        ASSERT_EQ(systemValue("ODBC Drivers", name.c_str(), "odbcinst.ini"), "Installed");
        ASSERT_EQ(systemValue(name.c_str(), "Setup", "odbcinst.ini"), "/usr/lib/" + name + ".so");
    }
    EXPECT_EQ(systemValue("ODBC Drivers", kDriver, "odbcinst.ini"), "Installed");
    EXPECT_NE(systemValue(kDriver, "Driver", "odbcinst.ini").find("/morvanex.so"),
              std::string::npos);
}

}  // namespace
