#include <gtest/gtest.h>

#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/IniFile.h"
#include "platform/InstallerFacade.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

namespace fs = std::filesystem;
using Scope = OdbcSandbox::Scope;

// The write operations, done either by the installer library itself or by
// the facade (our writer).
struct Writers {
    std::function<BOOL(LPCSTR, LPCSTR, LPCSTR, LPCSTR)> profile;
    std::function<BOOL(LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR)> profileW;
    std::function<BOOL(LPCSTR, LPCSTR)> writeDsn;
    std::function<BOOL(LPCSTR)> removeDsn;
    std::function<BOOL(LPCSTR, BOOL)> removeDriver;
};

template <typename Fn>
Fn bind(void* library, const char* name) {
    return reinterpret_cast<Fn>(dlsym(library, name));
}

// The only place the library's writers are still called: to learn what
// they do, on files too small for their fault.
Writers libraryWriters() {
    void* library = dlopen("libiodbcinst.so.2", RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(library, nullptr);
    const auto removeDriver = bind<decltype(&SQLRemoveDriver)>(library, "SQLRemoveDriver");
    return {
        bind<decltype(&SQLWritePrivateProfileString)>(library, "SQLWritePrivateProfileString"),
        bind<decltype(&SQLWritePrivateProfileStringW)>(library, "SQLWritePrivateProfileStringW"),
        bind<decltype(&SQLWriteDSNToIni)>(library, "SQLWriteDSNToIni"),
        bind<decltype(&SQLRemoveDSNFromIni)>(library, "SQLRemoveDSNFromIni"),
        [removeDriver](LPCSTR driver, BOOL dsns) {
            DWORD usage = 0;
            return removeDriver(driver, dsns, &usage);
        }};
}

Writers facadeWriters() {
    InstallerFacade& f = InstallerFacade::instance();
    return {[&f](LPCSTR s, LPCSTR k, LPCSTR v, LPCSTR file) {
                return f.writePrivateProfileString(s, k, v, file);
            },
            [&f](LPCWSTR s, LPCWSTR k, LPCWSTR v, LPCWSTR file) {
                return f.writePrivateProfileStringW(s, k, v, file);
            },
            [&f](LPCSTR dsn, LPCSTR driver) { return f.writeDSNToIni(dsn, driver); },
            [&f](LPCSTR dsn) { return f.removeDSNFromIni(dsn); },
            [&f](LPCSTR driver, BOOL dsns) {
                DWORD usage = 0;
                return f.removeDriver(driver, dsns, &usage);
            }};
}

void writeStartingFiles(const OdbcSandbox& sandbox) {
    OdbcSandbox::writeFile(sandbox.odbcIni(Scope::User),
                           "; user data sources\n[ODBC Data Sources]\nu1 = Drv A\nu2 = Drv B\n"
                           "u3 = Drv A\n\n[u1]\nDriver = /a.so\nHost = h1\n\n[u2]\nDriver=/b.so\n"
                           "\n[u3]\nDriver = /a.so\n");
    OdbcSandbox::writeFile(sandbox.odbcIni(Scope::System),
                           "[ODBC Data Sources]\ns1 = Drv B\ns2 = Drv B\n\n[s1]\nDriver = /b.so\n"
                           "Port = 1\n\n[s2]\nDriver = /b.so\n\n[Default]\nDriver = /b.so\n");
    OdbcSandbox::writeFile(sandbox.odbcinstIni(Scope::User),
                           "[ODBC Drivers]\nDrv U = Installed\n\n[Drv U]\nDriver = /u.so\n");
    OdbcSandbox::writeFile(sandbox.odbcinstIni(Scope::System),
                           "[ODBC Drivers]\nDrv A = Installed\nDrv B = Installed\n\n[Drv A]\n"
                           "Driver = /a.so\nSetup = /a.so\n\n[Drv B]\nDriver = /b.so\n");
}

// A copy of the file under a name the library takes as a path, new each
// time so that no cached reading of an earlier copy answers.
fs::path neutralCopy(const fs::path& file) {
    static int copies = 0;
    const fs::path neutral = file.parent_path() / ("readback" + std::to_string(++copies) + ".txt");
    fs::copy_file(file, neutral, fs::copy_options::overwrite_existing);
    return neutral;
}

// Every section, key and value of a file as the library reads it back.
std::string readBack(const fs::path& file) {
    const fs::path neutral = neutralCopy(file);
    InstallerFacade& f = InstallerFacade::instance();
    auto list = [&](const char* section) {
        std::vector<char> buffer(1 << 16);
        const int length = f.getPrivateProfileString(section, nullptr, "", buffer.data(),
                                                     buffer.size(), neutral.c_str());
        std::vector<std::string> names;
        for (int at = 0; at < length && buffer[at] != '\0'; at += names.back().size() + 1) {
            names.emplace_back(&buffer[at]);
        }
        return names;
    };
    std::string out;
    for (const std::string& section : list(nullptr)) {
        out += "[" + section + "]\n";
        for (const std::string& key : list(section.c_str())) {
            std::array<char, 512> value{};
            f.getPrivateProfileString(section.c_str(), key.c_str(), "", value.data(), value.size(),
                                      neutral.c_str());
            out += key + "=" + value.data() + "\n";
        }
    }
    return out;
}

std::string outcome(const OdbcSandbox& sandbox, BOOL result) {
    std::string out = "result " + std::to_string(result) + "\n";
    for (const fs::path& file :
         {sandbox.odbcIni(Scope::User), sandbox.odbcIni(Scope::System),
          sandbox.odbcinstIni(Scope::User), sandbox.odbcinstIni(Scope::System)}) {
        out += "== " + file.filename().string() + " in " + file.parent_path().string() + "\n" +
               readBack(file);
    }
    return out;
}

TEST(IniWriter, DoesWhatTheInstallerLibraryDoes) {
    struct Case {
        const char* name;
        UWORD mode;
        std::function<BOOL(const Writers&)> call;
    };
    const Case cases[] = {
        {"new key in a middle section", ODBC_USER_DSN,
         [](const Writers& w) { return w.profile("u1", "Port", "5432", "odbc.ini"); }},
        {"changed key, system file", ODBC_SYSTEM_DSN,
         [](const Writers& w) { return w.profile("s1", "port", "2", "odbc.ini"); }},
        {"both modes write the user file", ODBC_BOTH_DSN,
         [](const Writers& w) { return w.profile("New", "K", "v", "odbc.ini"); }},
        {"no file is odbc.ini", ODBC_SYSTEM_DSN,
         [](const Writers& w) { return w.profile("New", "K", "", nullptr); }},
        {"odbcinst.ini of user mode", ODBC_USER_DSN,
         [](const Writers& w) { return w.profile("Drv U", "Setup", "/s.so", "ODBCINST.INI"); }},
        {"odbcinst.ini of both modes", ODBC_BOTH_DSN,
         [](const Writers& w) { return w.profile("Drv U", "Setup", "/s.so", "odbcinst.ini"); }},
        {"remove a key", ODBC_USER_DSN,
         [](const Writers& w) { return w.profile("u1", "host", nullptr, "odbc.ini"); }},
        {"remove a section", ODBC_SYSTEM_DSN,
         [](const Writers& w) { return w.profile("S1", nullptr, nullptr, "odbc.ini"); }},
        {"empty section name", ODBC_USER_DSN,
         [](const Writers& w) { return w.profile("", "k", "v", "odbc.ini"); }},
        {"wide text", ODBC_USER_DSN,
         [](const Writers& w) {
             return w.profileW(L"u2", L"Description", L"caf\u00e9 \u6771\u4eac", L"odbc.ini");
         }},
        {"DSN with a system driver", ODBC_USER_DSN,
         [](const Writers& w) { return w.writeDsn("u4", "Drv B"); }},
        {"DSN with a user driver", ODBC_SYSTEM_DSN,
         [](const Writers& w) { return w.writeDsn("s3", "Drv U"); }},
        {"existing DSN starts afresh", ODBC_USER_DSN,
         [](const Writers& w) { return w.writeDsn("U1", "Drv B"); }},
        {"unknown driver", ODBC_USER_DSN,
         [](const Writers& w) { return w.writeDsn("u5", "Nobody's"); }},
        {"invalid DSN", ODBC_USER_DSN, [](const Writers& w) { return w.writeDsn("a{b", "Drv A"); }},
        {"remove a DSN", ODBC_USER_DSN, [](const Writers& w) { return w.removeDsn("u2"); }},
        {"remove a system DSN", ODBC_SYSTEM_DSN,
         [](const Writers& w) { return w.removeDsn("s1"); }},
        {"remove a DSN that is not there", ODBC_SYSTEM_DSN,
         [](const Writers& w) { return w.removeDsn("zz"); }},
        {"remove a driver", ODBC_SYSTEM_DSN,
         [](const Writers& w) { return w.removeDriver("Drv A", FALSE); }},
        {"remove a driver and its DSNs", ODBC_USER_DSN,
         [](const Writers& w) {
             return w.profile("ODBC Data Sources", "u9", "Drv U", nullptr) &&
                    w.removeDriver("Drv U", TRUE);
         }},
        {"remove a system driver and its DSNs", ODBC_SYSTEM_DSN,
         [](const Writers& w) { return w.removeDriver("Drv B", TRUE); }},
    };
    OdbcSandbox sandbox;
    InstallerFacade& installer = InstallerFacade::instance();
    ASSERT_TRUE(installer.available());
    const Writers library = libraryWriters();
    const Writers ours = facadeWriters();
    for (const Case& c : cases) {
        std::string results[2];
        for (int run = 0; run < 2; ++run) {
            writeStartingFiles(sandbox);
            installer.setConfigMode(c.mode);
            const BOOL result = c.call(run == 0 ? library : ours);
            results[run] = outcome(sandbox, result);
        }
        EXPECT_EQ(results[1], results[0]) << c.name;
    }
}

using Call = std::function<BOOL(InstallerFacade&)>;

Call setIn(const char* section, const char* key, const char* value) {
    return [=](InstallerFacade& f) {
        return f.writePrivateProfileString(section, key, value, "odbc.ini");
    };
}

Call set(const char* key, const char* value) {
    return setIn("A", key, value);
}

// Every write either reads back through the library's reader exactly as
// asked, the line's comment kept, or is refused with the file unchanged;
// no name of the driver manager's sections is taken as a DSN or driver.
TEST(IniWriter, WritesOnlyWhatReadsBack) {
    struct Row {
        const char* before;  // the user's odbc.ini
        Call call;
        const char* section;
        const char* key;       // nullptr: `expected` is among the section's keys
        const char* expected;  // nullptr: refused
    };
    const Row rows[] = {
        {"[A]\nk = old\n", set("k", "#secret"), "A", "k", nullptr},
        {"[A]\nk = old\n", set("k", "Sales ; EU"), "A", "k", nullptr},
        {"[A]\nk = old\n", set("k", " padded "), "A", "k", nullptr},
        {"[A]\nk = old\n", set("k", "x\f"), "A", "k", nullptr},
        {"[A]\nk = old\n", set("k", "a\x1a b"), "A", "k", nullptr},
        {"[A]\nk = old ;note\n", set("k", "O'Brien"), "A", "k", nullptr},
        {"[A]\nk = old ;note\n", set("k", "say \"hi"), "A", "k", nullptr},
        {"[A]\nk = old ;note\n", set("k", "x\v"), "A", "k", nullptr},
        {"[A]\nk = old\n", set("it's", "v"), "A", "it's", nullptr},
        {"[A]\nk = old\n", set("k", "it's"), "A", "k", "it's"},
        {"[A]\nk = old ;note\n", set("k", "O'Brien's"), "A", "k", "O'Brien's"},
        {"[A]\nk = x\v\n", set("k", "new"), "A", "k", "new"},
        {"[A]\nk = old ;note\n", set("k", ""), "A", "k", ""},
        {"[A]\nk=;note\n", set("k", "v"), "A", "k", "v"},
        {"[A]\nk =#note\n", set("k", "v"), "A", "k", "v"},
        {"[A]\nk = old\n", set("k", "x\v"), "A", "k", "x\v"},
        {"[A]\nk = old\n", set("k", "\"a ;b\""), "A", "k", "\"a ;b\""},
        {"[A]\nk = old\n", set("k", "a;b#c"), "A", "k", "a;b#c"},
        {"[A]\n\"k\" = old\n", set("k", "new"), "A", "k", "new"},
        // A last line without a line end reads its trailing blanks.
        {"[A]\nk = v \t", set("k", "v"), "A", "k", "v"},
        {"[A]\nk = v  ", set("j", "w"), "A", "k", "v  "},
        {"[A]\nk = v  ", set("j", "w"), "A", "j", "w"},
        {"[A]\nk = v  ", setIn("B", "j", "w"), "A", "k", "v  "},
        {"[A]\nk = v  ", setIn("B", "j", "w"), "B", "j", "w"},
        {"[A]\nk = v  \n[B]\nj = w", setIn("B", nullptr, nullptr), "A", "k", "v"},
        {"[ODBC Data Sources]\nu1 = Drv A\n=x\n",
         [](InstallerFacade& f) { return f.writeDSNToIni("u9", "Drv A"); }, "ODBC Data Sources",
         nullptr, "u9"},
        {"[ODBC Data Sources]\nu1 = Drv A\n[u1]\nDriver = /a.so\n",
         [](InstallerFacade& f) { return f.writeDSNToIni("ODBC Data Sources", "Drv A"); },
         "ODBC Data Sources", "u1", nullptr},
        {"[ODBC Data Sources]\nu1 = Drv A\n",
         [](InstallerFacade& f) { return f.removeDSNFromIni("odbc data sources"); },
         "ODBC Data Sources", "u1", nullptr},
        {"[ODBC Data Sources]\nu1 = Drv A\n",
         [](InstallerFacade& f) { return f.writeDSNToIni("Default", "Drv A"); }, "Default",
         "Driver", nullptr},
        {"[ODBC Data Sources]\nu1 = Drv A\n",
         [](InstallerFacade& f) { return f.writeDSNToIni("a(b", "Drv A"); }, "a(b", "Driver",
         nullptr},
        {"", [](InstallerFacade& f) { return f.removeDriver("ODBC Drivers", FALSE, nullptr); },
         "ODBC Drivers", "Drv U", nullptr},
    };
    OdbcSandbox sandbox;
    writeStartingFiles(sandbox);
    const std::string inst = OdbcSandbox::readFile(sandbox.odbcinstIni(Scope::User));
    InstallerFacade& installer = InstallerFacade::instance();
    for (const Row& row : rows) {
        const fs::path file = sandbox.odbcIni(Scope::User);
        OdbcSandbox::writeFile(file, row.before);
        OdbcSandbox::writeFile(sandbox.odbcinstIni(Scope::User), inst);
        installer.setConfigMode(ODBC_USER_DSN);
        const BOOL result = row.call(installer);
        const std::string after = readBack(file);
        if (row.expected == nullptr) {
            EXPECT_FALSE(result) << row.before << after;
            EXPECT_EQ(OdbcSandbox::readFile(file), row.before);
            EXPECT_EQ(OdbcSandbox::readFile(sandbox.odbcinstIni(Scope::User)), inst);
            continue;
        }
        EXPECT_TRUE(result) << row.before;
        std::array<char, 256> read{};
        installer.getPrivateProfileString(row.section, row.key, "", read.data(), read.size(),
                                          neutralCopy(file).c_str());
        if (row.key != nullptr) {
            EXPECT_STREQ(read.data(), row.expected) << after;
        } else {  // a list: every name up to the first empty one
            const std::string list = '\0' + std::string(read.data(), read.size());
            EXPECT_NE(list.substr(0, list.find(std::string(2, '\0')) + 1)
                          .find('\0' + std::string(row.expected) + '\0'),
                      std::string::npos)
                << after;
        }
        for (const std::string comment : {";note", "#note"}) {
            if (std::strstr(row.before, comment.c_str()) != nullptr) {
                EXPECT_NE(OdbcSandbox::readFile(file).find(" " + comment + "\n"),
                          std::string::npos);
            }
        }
    }
}

std::string installerMessage(DWORD& code) {
    std::array<char, SQL_MAX_MESSAGE_LENGTH> message{};
    WORD length = 0;
    code = 0;
    InstallerFacade::instance().installerError(1, &code, message.data(), message.size(), &length);
    return message.data();
}

// The library would write another file than the one named; we write none.
TEST(IniWriter, RefusesAMissingFileItWasToldToUse) {
    struct Case {
        const char* variable;
        UWORD mode;
        std::function<BOOL(InstallerFacade&)> call;
    };
    const Case cases[] = {
        {"ODBCINI", ODBC_USER_DSN,
         [](InstallerFacade& f) { return f.writePrivateProfileString("A", "k", "v", "odbc.ini"); }},
        {"SYSODBCINI", ODBC_SYSTEM_DSN,
         [](InstallerFacade& f) { return f.writeDSNToIni("d", "Drv"); }},
        {"ODBCINI", ODBC_BOTH_DSN, [](InstallerFacade& f) { return f.removeDSNFromIniW(L"d"); }},
        {"ODBCINSTINI", ODBC_USER_DSN,
         [](InstallerFacade& f) {
             return f.writePrivateProfileString("Drv", "k", "v", "odbcinst.ini");
         }},
        {"SYSODBCINSTINI", ODBC_SYSTEM_DSN,
         [](InstallerFacade& f) { return f.removeDriver("Drv", FALSE, nullptr); }},
    };
    for (const Case& c : cases) {
        OdbcSandbox sandbox;
        sandbox.addDriver("Drv", {{"Driver", "/d.so"}}, Scope::User);
        const fs::path missing = sandbox.root() / "file.ini";
        ScopedEnv named(c.variable, missing.string());
        InstallerFacade& installer = InstallerFacade::instance();
        installer.setConfigMode(c.mode);
        EXPECT_FALSE(c.call(installer)) << c.variable;
        DWORD code = 0;
        const std::string message = installerMessage(code);
        EXPECT_EQ(code, DWORD{ODBC_ERROR_WRITING_SYSINFO_FAILED}) << c.variable;
        EXPECT_NE(message.find(missing.string()), std::string::npos) << message;
        EXPECT_FALSE(fs::exists(missing)) << c.variable;
        EXPECT_FALSE(fs::exists(missing.string() + ".lock")) << c.variable;
    }

    // A new user has no files yet: the default ones are made, private.
    OdbcSandbox sandbox;
    ScopedEnv noIni("ODBCINI", nullptr);
    ScopedEnv noInst("ODBCINSTINI", nullptr);
    InstallerFacade& installer = InstallerFacade::instance();
    installer.setConfigMode(ODBC_USER_DSN);
    ASSERT_TRUE(installer.writePrivateProfileString("A", "k", "v", "odbc.ini"));
    installer.setConfigMode(ODBC_USER_DSN);
    ASSERT_TRUE(installer.writePrivateProfileString("D", "k", "v", "odbcinst.ini"));
    const std::pair<const char*, const char*> created[] = {{".odbc.ini", "[A]\nk = v\n"},
                                                           {".odbcinst.ini", "[D]\nk = v\n"}};
    for (const auto& [name, text] : created) {
        struct stat status {};
        ASSERT_EQ(::lstat((sandbox.home() / name).c_str(), &status), 0) << name;
        EXPECT_EQ(status.st_mode & 07777, 0600u) << name;
        EXPECT_EQ(OdbcSandbox::readFile(sandbox.home() / name), text);
    }
}

// A path of exactly `length` bytes below `root`, its folders made.
fs::path pathOfLength(const fs::path& root, size_t length, const std::string& name) {
    fs::path folder = root;
    while (length - folder.native().size() - name.size() - 2 > 255) {
        folder /= std::string(200, 'd');
    }
    folder /= std::string(length - folder.native().size() - name.size() - 2, 'e');
    fs::create_directories(folder);
    return folder / name;
}

// The driver manager reads no ini file whose path, from a variable or the
// home folder, is 1,024 bytes or longer: such a path is refused.
TEST(IniWriter, RefusesAPathTheDriverManagerCannotRead) {
    const struct {
        const char* variable;
        UWORD mode;
        const char* file;
    } cases[] = {{"ODBCINI", ODBC_USER_DSN, "odbc.ini"},
                 {"SYSODBCINI", ODBC_SYSTEM_DSN, "odbc.ini"},
                 {"ODBCINSTINI", ODBC_BOTH_DSN, "odbcinst.ini"},
                 {"SYSODBCINSTINI", ODBC_SYSTEM_DSN, "odbcinst.ini"},
                 {"HOME", ODBC_USER_DSN, "odbc.ini"}};
    InstallerFacade& installer = InstallerFacade::instance();
    for (const auto& c : cases) {
        for (const size_t length : {1023u, 1024u}) {
            SCOPED_TRACE(std::string(c.variable) + " " + std::to_string(length));
            OdbcSandbox sandbox;
            const bool home = std::string(c.variable) == "HOME";
            const fs::path file =
                pathOfLength(sandbox.root(), length, home ? ".odbc.ini" : "f.ini");
            OdbcSandbox::writeFile(file, "[A]\nk = old\n");
            ScopedEnv named(c.variable, (home ? file.parent_path() : file).string());
            std::optional<ScopedEnv> noIni;
            if (home) {
                noIni.emplace("ODBCINI", nullptr);
            }
            installer.setConfigMode(c.mode);
            if (length == 1024) {
                EXPECT_FALSE(installer.writePrivateProfileString("A", "k", "new", c.file));
                DWORD code = 0;
                EXPECT_NE(installerMessage(code).find("longer than 1023 bytes"), std::string::npos);
                EXPECT_EQ(code, DWORD{ODBC_ERROR_INVALID_PATH});
                EXPECT_EQ(OdbcSandbox::readFile(file), "[A]\nk = old\n");
                continue;
            }
            EXPECT_TRUE(installer.writePrivateProfileString("A", "k", "new", c.file));
            std::array<char, 16> read{};
            installer.setConfigMode(c.mode);
            installer.getPrivateProfileString("A", "k", "", read.data(), read.size(), c.file);
            EXPECT_STREQ(read.data(), "new");
        }
    }
}

}  // namespace

namespace {

std::string tool() {
    return std::string(MORVANEX_BINARY_DIR) + "/tests/tools/ini_write_client";
}

pid_t start(const std::vector<std::string>& arguments) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int finish(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// Each DSN is listed and has its section whole: Driver and Server.
size_t wholeDsns(const std::string& text) {
    const IniFile ini = IniFile::parse(text);
    size_t whole = 0;
    for (const std::string& dsn : ini.keys("ODBC Data Sources")) {
        whole += ini.value(dsn, "Driver") == std::optional<std::string>("/a.so") &&
                 ini.value(dsn, "Server") == "host-" + dsn;
    }
    return whole;
}

}  // namespace

// Through one name, and through two names of one file.
TEST(IniWriter, WritersAtOnceLoseNothing) {
    OdbcSandbox sandbox;
    writeStartingFiles(sandbox);
    const fs::path file = sandbox.odbcIni(Scope::User);
    for (const fs::path& other : {file, file.parent_path() / "second.ini"}) {
        OdbcSandbox::writeFile(file, "");
        if (other != file) {
            fs::create_hard_link(file, other);
        }
        const pid_t first = start({tool(), "user", "--dsns", "a", "200", "Drv A"});
        const pid_t second = start(
            {"env", "ODBCINI=" + other.string(), tool(), "user", "--dsns", "b", "200", "Drv A"});
        EXPECT_EQ(finish(first), 0);
        EXPECT_EQ(finish(second), 0);
        const std::string text = OdbcSandbox::readFile(file);
        EXPECT_EQ(wholeDsns(text), 400u) << other;
        EXPECT_EQ(IniFile::parse(text).sections().size(), 401u) << text;
    }
}

// Killed at any moment, a writer leaves the old text or the new, whole,
// also while it creates the file; copies a killed writer left are gone
// after the next write.
TEST(IniWriter, AKilledWriterLeavesTheOldTextOrTheNew) {
    OdbcSandbox sandbox;
    writeStartingFiles(sandbox);
    ScopedEnv defaultFile("ODBCINI", nullptr);
    const fs::path file = sandbox.home() / ".odbc.ini";
    std::mt19937 random(7);
    size_t listed = 0;
    for (int round = 0; round < 40; ++round) {
        const pid_t writer =
            start({tool(), "user", "--dsns", "k" + std::to_string(round) + "_", "9999", "Drv A"});
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        kill(writer, SIGKILL);
        finish(writer);
        if (!fs::exists(file)) {
            ASSERT_EQ(listed, 0u) << "round " << round;
            continue;
        }
        const std::string text = OdbcSandbox::readFile(file);
        const size_t whole = wholeDsns(text);
        ASSERT_EQ(whole, IniFile::parse(text).keys("ODBC Data Sources").size()) << text;
        ASSERT_GE(whole, listed) << "round " << round;
        listed = whole;
    }
    const char* stale = "..odbc.ini.morvanex-copy-Ab12Cd34Ef56";
    OdbcSandbox::writeFile(sandbox.home() / stale, "[partial");
    for (const char* kept : {".odbc.ini.kept", "..odbc.ini.backup", "..odbc.ini.2024q1"}) {
        OdbcSandbox::writeFile(sandbox.home() / kept, "not ours");
    }
    EXPECT_EQ(finish(start({tool(), "user", "--dsns", "last", "1", "Drv A"})), 0);
    EXPECT_EQ(wholeDsns(OdbcSandbox::readFile(file)), listed + 1);
    EXPECT_FALSE(fs::exists(sandbox.home() / stale));
    for (const char* kept : {".odbc.ini.kept", "..odbc.ini.backup", "..odbc.ini.2024q1"}) {
        EXPECT_TRUE(fs::exists(sandbox.home() / kept)) << kept;
    }
}

// One action's edits reach each file once, at commit; reads made within
// it see them, in every mode; a dropped or failed action writes nothing,
// nor does one of whose two files one cannot be written.
TEST(IniWriter, OneActionReplacesEachFileOnce) {
    OdbcSandbox sandbox;
    writeStartingFiles(sandbox);
    const fs::path user = sandbox.odbcIni(Scope::User);
    const fs::path system = sandbox.odbcIni(Scope::System);
    const std::string before[] = {OdbcSandbox::readFile(user), OdbcSandbox::readFile(system)};
    InstallerFacade& f = InstallerFacade::instance();
    {
        InstallerFacade::Transaction action;
        f.setConfigMode(ODBC_USER_DSN);
        ASSERT_TRUE(f.writeDSNToIni("n1", "Drv A"));
        f.setConfigMode(ODBC_USER_DSN);
        ASSERT_TRUE(f.writePrivateProfileString("n1", "Server", "h", "odbc.ini"));
        f.setConfigMode(ODBC_SYSTEM_DSN);
        ASSERT_TRUE(f.removeDSNFromIni("s1"));
        EXPECT_EQ(OdbcSandbox::readFile(user), before[0]);
        EXPECT_EQ(OdbcSandbox::readFile(system), before[1]);
        const struct {
            UWORD mode;
            const char* section;
            const char* key;
            const char* expected;
        } reads[] = {
            {ODBC_USER_DSN, "n1", "Server", "h"},     {ODBC_BOTH_DSN, "n1", "Driver", "/a.so"},
            {ODBC_BOTH_DSN, "s2", "Driver", "/b.so"}, {ODBC_SYSTEM_DSN, "s1", "Port", ""},
            {ODBC_BOTH_DSN, "s1", "Port", ""},        {ODBC_USER_DSN, "u1", "Host", "h1"}};
        for (const auto& read : reads) {
            std::array<char, 64> value{};
            f.setConfigMode(read.mode);
            f.getPrivateProfileString(read.section, read.key, "", value.data(), value.size(),
                                      "odbc.ini");
            EXPECT_STREQ(value.data(), read.expected) << read.section << " " << read.mode;
        }
        std::array<wchar_t, 64> wide{};
        f.setConfigMode(ODBC_USER_DSN);
        f.getPrivateProfileStringW(L"n1", L"Server", L"", wide.data(), wide.size(), L"odbc.ini");
        EXPECT_EQ(std::wstring(wide.data()), L"h");
        ASSERT_TRUE(action.commit());
    }
    EXPECT_NE(readBack(user).find("[n1]\nDriver=/a.so\nServer=h\n"), std::string::npos);
    EXPECT_EQ(readBack(system).find("[s1]"), std::string::npos);

    const std::string committed = OdbcSandbox::readFile(user);
    {
        InstallerFacade::Transaction dropped;
        f.setConfigMode(ODBC_USER_DSN);
        ASSERT_TRUE(f.writePrivateProfileString("n1", "Server", "lost", "odbc.ini"));
    }
    {
        InstallerFacade::Transaction failed;
        f.setConfigMode(ODBC_USER_DSN);
        EXPECT_FALSE(f.writeDSNToIni("n2", "Nobody's"));
        f.setConfigMode(ODBC_USER_DSN);
        EXPECT_TRUE(f.writePrivateProfileString("n1", "Server", "lost", "odbc.ini"));
        EXPECT_FALSE(failed.commit());
        EXPECT_NE(failed.failure().find("Nobody's is not installed"), std::string::npos);
    }
    EXPECT_EQ(OdbcSandbox::readFile(user), committed);
    {
        InstallerFacade::Transaction split;  // the second file changes behind its lock
        f.setConfigMode(ODBC_SYSTEM_DSN);
        ASSERT_TRUE(f.writePrivateProfileString("s2", "Port", "1", "odbc.ini"));
        f.setConfigMode(ODBC_USER_DSN);
        ASSERT_TRUE(f.writePrivateProfileString("n1", "Server", "split", "odbc.ini"));
        std::ofstream(user, std::ios::app) << "; theirs\n";
        EXPECT_FALSE(split.commit());
        EXPECT_NE(split.failure().find(system.string() + " was already changed"), std::string::npos)
            << split.failure();
    }
    OdbcSandbox::writeFile(user, "[ODBC Data Sources]\nu9 = Drv U\n\n[u9]\nDriver = /u.so\n");
    fs::remove(sandbox.odbcinstIni(Scope::User));
    fs::create_directory(sandbox.odbcinstIni(Scope::User));
    f.setConfigMode(ODBC_USER_DSN);
    EXPECT_FALSE(f.removeDriver("Drv U", TRUE, nullptr));
    EXPECT_EQ(OdbcSandbox::readFile(user),
              "[ODBC Data Sources]\nu9 = Drv U\n\n[u9]\nDriver = /u.so\n");
}

TEST(IniWriter, RemovesADriverAndItsDsnsInOnePass) {
    OdbcSandbox sandbox;
    writeStartingFiles(sandbox);
    std::string list = "[ODBC Data Sources]\n";
    std::string sections;
    for (int i = 0; i < 20000; ++i) {
        const std::string dsn = "d" + std::to_string(i);
        list += dsn + (i % 2 == 0 ? " = Drv A\n" : " = Drv B\n");
        sections += "\n[" + dsn + "]\nDriver = /x.so\nServer = s\n";
    }
    OdbcSandbox::writeFile(sandbox.odbcIni(Scope::User), list + sections);
    InstallerFacade& f = InstallerFacade::instance();
    f.setConfigMode(ODBC_USER_DSN);
    ASSERT_TRUE(f.removeDriver("Drv A", TRUE, nullptr));
    const IniFile left = IniFile::parse(OdbcSandbox::readFile(sandbox.odbcIni(Scope::User)));
    EXPECT_EQ(left.keys("ODBC Data Sources").size(), 10000u);
    EXPECT_EQ(left.sections().size(), 10001u);
    EXPECT_FALSE(left.hasSection("d0"));
    EXPECT_TRUE(left.hasSection("d1"));
}

namespace {

constexpr uid_t kNobody = 65534;
constexpr const char* kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
constexpr const char* kAsOther = "setpriv --reuid=1 --regid=1 --clear-groups ";
constexpr const char* kAsMember = "setpriv --reuid=1 --regid=1 --groups=65534 ";

// The file mounted over itself, as a container's single-file mounts are;
// or that in a folder mounted read-only.
enum class Mount { None, OverItself, InReadOnlyFolder };

// The writing tool's command line (`arguments` after "user"), as `who`.
std::string toolCommand(const char* who, const fs::path& file, const std::string& arguments,
                        Mount mount = Mount::None) {
    const char* mounted[] = {
        "", "unshare -m sh -c 'mount --bind \"$ODBCINI\" \"$ODBCINI\" && exec \"$@\"' sh ",
        "unshare -m sh -c 'mount --bind \"$ODBCINI\" \"$ODBCINI\" && d=${ODBCINI%/*} && "
        "mount --rbind \"$d\" \"$d\" && mount -o remount,bind,ro \"$d\" && exec \"$@\"' sh "};
    return "ODBCINI='" + file.string() + "' " + mounted[static_cast<int>(mount)] + who + "'" +
           tool() + "' " + arguments + " 2>&1";
}

std::string readAll(FILE* pipe) {
    std::string out;
    for (int c; pipe != nullptr && (c = fgetc(pipe)) != EOF;) {
        out += static_cast<char>(c);
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    return out;
}

// Sets k to 2, as nobody or root.
std::string runTool(bool asNobody, const fs::path& file, Mount mount = Mount::None) {
    return readAll(
        popen(toolCommand(asNobody ? kAsNobody : "", file, "user A k 2", mount).c_str(), "r"));
}

// user::rw- user:1:rw- group::r-- mask::rw- other::r--, as the kernel
// stores an access ACL.
std::string accessAcl() {
    const std::pair<uint16_t, uint32_t> entries[] = {
        {0x01, 0xffffffff}, {0x02, 1}, {0x04, 0xffffffff}, {0x10, 0xffffffff}, {0x20, 0xffffffff}};
    const uint16_t perms[] = {6, 6, 4, 6, 4};
    std::string acl(4, '\0');
    acl[0] = 2;
    for (size_t i = 0; i < std::size(entries); ++i) {
        char entry[8];
        std::memcpy(entry, &entries[i].first, 2);
        std::memcpy(entry + 2, &perms[i], 2);
        std::memcpy(entry + 4, &entries[i].second, 4);
        acl.append(entry, sizeof entry);
    }
    return acl;
}

std::string attribute(const fs::path& file, const char* name) {
    std::array<char, 256> value{};
    const ssize_t length = getxattr(file.c_str(), name, value.data(), value.size());
    return length < 0 ? "" : std::string(value.data(), static_cast<size_t>(length));
}

// A reader of the file, as nobody, holding a read lock on it.
struct Reader {
    FILE* pipe = nullptr;
    pid_t pid = 0;
};
Reader reader;

void holdRead(const fs::path& file, const char* who = kAsNobody) {
    reader.pid = 0;
    reader.pipe =
        popen((who + ("'" + tool() + "' --hold-read '" + file.string() + "'")).c_str(), "r");
    ASSERT_NE(reader.pipe, nullptr);
    ASSERT_EQ(fscanf(reader.pipe, "%d", &reader.pid), 1);
}

// A pid of 0 or less would signal the whole process group, the test's own.
void releaseRead() {
    if (reader.pid > 0) {
        kill(reader.pid, SIGTERM);
    }
    pclose(reader.pipe);
}

void staleLock(const fs::path& folder, uid_t owner, gid_t group, mode_t mode) {
    const fs::path lock = folder / "odbc.ini.lock";
    OdbcSandbox::writeFile(lock, "");
    ASSERT_EQ(chown(lock.c_str(), owner, group) | chmod(lock.c_str(), mode), 0);
}

struct stat lockStatus(const fs::path& folder) {
    struct stat status {};
    EXPECT_EQ(stat((folder / "odbc.ini.lock").c_str(), &status), 0);
    return status;
}

// The file under a name of `length` bytes, reached through a link.
std::function<void(const fs::path&, const fs::path&)> namedLong(size_t length) {
    return [length](const fs::path& folder, const fs::path& file) {
        fs::rename(file, folder / std::string(length, 'x'));
        fs::create_symlink(std::string(length, 'x'), file);
        ASSERT_EQ(lchown(file.c_str(), kNobody, kNobody), 0);
    };
}

void behindALink(const fs::path& folder, const fs::path& file) {
    fs::create_directory(folder / "dotfiles");
    ASSERT_EQ(chown((folder / "dotfiles").c_str(), kNobody, kNobody), 0);
    fs::rename(file, folder / "dotfiles" / "odbc.ini");
    fs::create_symlink("dotfiles/odbc.ini", file);
    ASSERT_EQ(lchown(file.c_str(), kNobody, kNobody), 0);
}

}  // namespace

// Whatever the driver manager's own writer could write, ours writes, and
// nothing about the file changes but its text; what it could not stays
// refused. A user's file "[A] k = 1" in the user's folder, set to 2.
TEST(IniWriter, ChangesNothingButTheText) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    using Path = const fs::path&;
    struct Row {
        const char* name;
        std::function<void(Path folder, Path file)> prepare;
        bool asNobody, written;
        std::function<void(Path folder, Path file)> check;
        std::optional<bool> replaced = std::nullopt;  // by a copy, or in place
        Mount mount = Mount::None;
        const char* refusal = "";  // follows the file's name
    };
    const Row rows[] = {
        {"root's file of mode 0666 in root's folder",
         [](Path folder, Path file) {
             ASSERT_EQ(chown(folder.c_str(), 0, 0) | chown(file.c_str(), 0, 0), 0);
             ASSERT_EQ(chmod(file.c_str(), 0666), 0);
         },
         true, true, nullptr},
        {"root's file of mode 0666 in a folder anyone may write",
         [](Path folder, Path file) {
             ASSERT_EQ(chown(folder.c_str(), 0, 0) | chown(file.c_str(), 0, 0), 0);
             ASSERT_EQ(chmod(folder.c_str(), 0777) | chmod(file.c_str(), 0666), 0);
         },
         true, true, nullptr},
        {"own file of a group the user is not in",
         [](Path, Path file) { ASSERT_EQ(chown(file.c_str(), kNobody, 0), 0); }, true, true,
         nullptr},
        {"own file with an extended attribute",
         [](Path, Path file) { ASSERT_EQ(setxattr(file.c_str(), "user.origin", "kept", 4, 0), 0); },
         true, true, [](Path, Path file) { EXPECT_EQ(attribute(file, "user.origin"), "kept"); },
         true},
        {"own file with an ACL",
         [](Path, Path file) {
             const std::string acl = accessAcl();
             ASSERT_EQ(setxattr(file.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0),
                       0);
         },
         true, true,
         [](Path, Path file) {
             EXPECT_EQ(attribute(file, "system.posix_acl_access"), accessAcl());
         },
         true},
        {"root's 0640 file in a folder with a default ACL",
         [](Path folder, Path file) {
             const std::string acl = accessAcl();
             ASSERT_EQ(chown(folder.c_str(), 0, 0) | chown(file.c_str(), 0, 0) |
                           chmod(file.c_str(), 0640) |
                           setxattr(folder.c_str(), "system.posix_acl_default", acl.data(),
                                    acl.size(), 0),
                       0);
         },
         false, true,
         [](Path, Path file) { EXPECT_EQ(attribute(file, "system.posix_acl_access"), ""); }, true},
        {"root's 0664 file while a reader holds a read lock",
         [](Path folder, Path file) {
             ASSERT_EQ(chown(folder.c_str(), 0, 0) | chown(file.c_str(), 0, 0) |
                           chmod(file.c_str(), 0664),
                       0);
             holdRead(file);
         },
         false, true, [](Path, Path) { releaseRead(); }},
        {"root, after the file went from one user to another",
         [](Path folder, Path file) {
             const fs::path lock = folder / "odbc.ini.lock";
             OdbcSandbox::writeFile(lock, "");
             ASSERT_EQ(chown(lock.c_str(), kNobody, kNobody) | chmod(lock.c_str(), 0600) |
                           chown(file.c_str(), 1, 1),
                       0);
         },
         false, true,
         [](Path folder, Path) {
             struct stat lock {};
             ASSERT_EQ(stat((folder / "odbc.ini.lock").c_str(), &lock), 0);
             EXPECT_EQ(lock.st_uid, 1u);
         }},
        {"own file mounted over itself", [](Path, Path) {}, false, true, nullptr, false,
         Mount::OverItself},
        {"own file with a second link",
         [](Path folder, Path file) { fs::create_hard_link(file, folder / "second.ini"); }, true,
         true,
         [](Path folder, Path) {
             EXPECT_EQ(OdbcSandbox::readFile(folder / "second.ini"), "[A]\nk = 2\n");
         },
         false},
        {"own file behind a link", behindALink, true, true,
         [](Path, Path file) { EXPECT_TRUE(fs::is_symlink(file)); }},
        {"own file of a name too long for a copy's", namedLong(240), true, true, nullptr},
        {"own file of a name too long for its lock file's", namedLong(255), true, true, nullptr},
        {"own 0664 file of a group the user is not in, its lock file of the user's",
         [](Path folder, Path file) {
             staleLock(folder, kNobody, kNobody, 0660);
             ASSERT_EQ(chown(file.c_str(), kNobody, 0) | chmod(file.c_str(), 0664), 0);
         },
         true, true, [](Path folder, Path) { EXPECT_FALSE(fs::exists(folder / "odbc.ini.lock")); }},
        {"own 0664 file in a set-group-ID folder of another group",
         [](Path folder, Path file) {
             ASSERT_EQ(chown(folder.c_str(), kNobody, 0) | chmod(folder.c_str(), 02775) |
                           chown(file.c_str(), kNobody, 0) | chmod(file.c_str(), 0664),
                       0);
         },
         true, true,
         [](Path folder, Path) {
             const struct stat lock = lockStatus(folder);
             EXPECT_EQ(std::tie(lock.st_uid, lock.st_gid, lock.st_mode),
                       std::make_tuple(kNobody, 0u, S_IFREG | 0660u));
         }},
        {"new owner, after the file went from another user",
         [](Path folder, Path) { staleLock(folder, 1, 1, 0600); }, true, true,
         [](Path folder, Path) { EXPECT_EQ(lockStatus(folder).st_uid, kNobody); }},
        {"root's file where anyone may add files, another's lock file there, held",
         [](Path folder, Path file) {
             ASSERT_EQ(chown(folder.c_str(), 0, 0) | chmod(folder.c_str(), 01777) |
                           chown(file.c_str(), 0, 0),
                       0);
             staleLock(folder, kNobody, kNobody, 0666);
             holdRead(folder / "odbc.ini.lock");
         },
         false, true, [](Path, Path) { releaseRead(); }},
        {"own file where anyone may add files, another's lock file there, held",
         [](Path folder, Path) {
             ASSERT_EQ(chown(folder.c_str(), 0, 0) | chmod(folder.c_str(), 01777), 0);
             staleLock(folder, 1, 1, 0666);
             holdRead(folder / "odbc.ini.lock", kAsOther);
         },
         true, true, [](Path, Path) { releaseRead(); }},
        {"own file in a folder the user may not write",
         [](Path folder, Path) { ASSERT_EQ(chmod(folder.c_str(), 0555), 0); }, true, true, nullptr,
         false},
        {"own file mounted writable in a read-only folder",
         [](Path folder, Path) { staleLock(folder, 1, 1, 0600); }, true, true, nullptr, false,
         Mount::InReadOnlyFolder},
        {"own file with the nodump flag",
         [](Path, Path file) {
             if (std::system(("chattr +d '" + file.string() + "' 2>/dev/null").c_str()) != 0) {
                 GTEST_SKIP() << "no inode flags here";
             }
         },
         true, true,
         [](Path, Path file) {
             EXPECT_EQ(std::system(("lsattr '" + file.string() + "' | grep -q '^[^ ]*d'").c_str()),
                       0);
         },
         false},
        {"own read-only file", [](Path, Path file) { ASSERT_EQ(chmod(file.c_str(), 0444), 0); },
         true, false, nullptr},
        {"root, through a link in a user's folder", behindALink, false, false, nullptr},
        {"root's file of the user's group, its lock file a second name of it",
         [](Path folder, Path file) {
             ASSERT_EQ(chown(file.c_str(), 0, kNobody) | chmod(file.c_str(), 0664) |
                           link(file.c_str(), (folder / "odbc.ini.lock").c_str()),
                       0);
         },
         true, false, nullptr, std::nullopt, Mount::None,
         ".lock is not an empty lock file; remove it"},
        {"immutable file",
         [](Path, Path file) {
             if (std::system(("chattr +i '" + file.string() + "' 2>/dev/null").c_str()) != 0) {
                 GTEST_SKIP() << "no immutable files here";
             }
         },
         false, false,
         [](Path, Path file) { std::system(("chattr -i '" + file.string() + "'").c_str()); }},
    };
    OdbcSandbox sandbox;
    ASSERT_EQ(chmod(sandbox.root().c_str(), 0755), 0);
    int number = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path folder = sandbox.root() / ("row" + std::to_string(++number));
        const fs::path file = folder / "odbc.ini";
        fs::create_directory(folder);
        OdbcSandbox::writeFile(file, "[A]\nk = 1\n");
        ASSERT_EQ(chown(folder.c_str(), kNobody, kNobody) | chown(file.c_str(), kNobody, kNobody),
                  0);
        row.prepare(folder, file);
        struct stat before {};
        struct stat after {};
        ASSERT_EQ(stat(file.c_str(), &before), 0);
        const std::string out = runTool(row.asNobody, file, row.mount);
        ASSERT_EQ(stat(file.c_str(), &after), 0);
        EXPECT_EQ(out == "OK\n", row.written) << out;
        EXPECT_EQ(OdbcSandbox::readFile(file), row.written ? "[A]\nk = 2\n" : "[A]\nk = 1\n");
        EXPECT_EQ(std::tie(after.st_uid, after.st_gid, after.st_mode),
                  std::tie(before.st_uid, before.st_gid, before.st_mode));
        if (!row.written) {
            EXPECT_NE(out.find(file.string() + row.refusal), std::string::npos) << out;
        }
        if (row.replaced) {
            EXPECT_EQ(after.st_ino != before.st_ino, *row.replaced);
        }
        if (row.check) {
            row.check(folder, file);
        }
    }
}

namespace {

// A writer of [A] `key` that holds its lock until let go.
struct Held {
    FILE* pipe = nullptr;
    pid_t pid = 0;
};

Held holdWrite(const char* who, const fs::path& file, const std::string& key) {
    Held held{popen(toolCommand(who, file, "--hold user A " + key + " held").c_str(), "r")};
    std::array<char, 32> pid{};
    EXPECT_TRUE(held.pipe != nullptr && fgets(pid.data(), pid.size(), held.pipe) != nullptr);
    held.pid = std::atoi(pid.data());
    EXPECT_GT(held.pid, 0) << pid.data();
    return held;
}

std::string letGo(Held& held) {
    if (held.pid > 0) {
        kill(held.pid, SIGUSR1);
    }
    return readAll(held.pipe);
}

// Waits until the writer reading into `pipe` is done, or `waiters` wait
// for the lock of `file` (its lock file's or its own).
void doneOrWaiting(FILE* pipe, const fs::path& file, int waiters) {
    for (int rounds = 0; rounds < 6000; ++rounds) {
        pollfd out{fileno(pipe), POLLIN, 0};
        if (poll(&out, 1, 10) != 0) {
            return;
        }
        std::vector<std::string> inodes;
        for (const fs::path& locked : {file, fs::path(file.string() + ".lock")}) {
            struct stat status {};
            if (stat(locked.c_str(), &status) == 0) {
                char inode[64];
                std::snprintf(inode, sizeof inode, " %02x:%02x:%lu ", major(status.st_dev),
                              minor(status.st_dev), static_cast<unsigned long>(status.st_ino));
                inodes.emplace_back(inode);
            }
        }
        std::ifstream locks("/proc/locks");
        int waiting = 0;
        for (std::string line; std::getline(locks, line);) {
            waiting += line.find("->") != std::string::npos &&
                       std::any_of(inodes.begin(), inodes.end(), [&](const std::string& inode) {
                           return line.find(inode) != std::string::npos;
                       });
        }
        if (waiting >= waiters) {
            return;
        }
    }
}

}  // namespace

// A writer holds its lock while the lock file is removed or replaced, or
// the file's mode changes, and others write: every writer answered OK has
// its key in the file, one whose lock stopped being the file's lock fails
// saying so, and writers that wait are served in the order they came.
TEST(IniWriter, AHeldLockStaysTheFilesLock) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as other users";
    }
    using Path = const fs::path&;
    struct Row {
        const char* name;
        mode_t mode;
        const char* holder;
        std::function<void(Path file)> meanwhile;
        bool holderWrites;
        std::vector<const char*> waiting = {"late"};  // values of [A] late, set in turn
        Mount lateMount = Mount::None;
        const char* refusal = ".lock was removed or replaced while this writer held it";
    };
    const auto shell = [](const char* command) {
        return [command](Path file) {
            ASSERT_EQ(std::system(("f='" + file.string() + "'; " + command).c_str()), 0);
        };
    };
    const auto removeLock = shell("rm \"$f.lock\"");
    const auto replaceLock = shell("cp -p \"$f.lock\" \"$f.new\" && mv \"$f.new\" \"$f.lock\"");
    const Row rows[] = {
        {"lock file removed", 0644, kAsNobody, removeLock, false},
        {"lock file replaced", 0644, kAsNobody, replaceLock, false},
        {"lock file of a file only its owner reads removed", 0600, kAsNobody, removeLock, true},
        {"lock file of a file only its owner reads replaced", 0600, kAsNobody, replaceLock, false},
        {"mode changed while another user holds it", 0666, kAsOther, shell("chmod 664 \"$f\""),
         true},
        {"writers waiting", 0644, kAsNobody, nullptr, true, {"first", "second", "third"}},
        {"held by a member, the owner in a read-only folder",
         0664,
         kAsMember,
         nullptr,
         true,
         {"late"},
         Mount::InReadOnlyFolder},
        {"folder moved away and made anew",
         0644,
         kAsNobody,
         shell("d=${f%/*}; mv \"$d\" \"$d.0\" && cp -a \"$d.0\" \"$d\""),
         false,
         {"late"},
         Mount::None,
         "leads elsewhere than when this writer locked it"},
    };
    OdbcSandbox sandbox;
    ASSERT_EQ(chmod(sandbox.root().c_str(), 0755), 0);
    int number = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path folder = sandbox.root() / ("held" + std::to_string(++number));
        const fs::path file = folder / "odbc.ini";
        fs::create_directory(folder);
        OdbcSandbox::writeFile(file, "[A]\nk = 1\n");
        ASSERT_EQ(chown(folder.c_str(), kNobody, kNobody) | chown(file.c_str(), kNobody, kNobody) |
                      chmod(file.c_str(), row.mode & 0664),
                  0);
        // The owner's lock file, left out of others' reach once the file
        // is theirs to write too, until the owner writes again.
        EXPECT_EQ(runTool(true, file), "OK\n");
        ASSERT_EQ(chmod(file.c_str(), row.mode), 0);
        if (row.holder == kAsOther) {
            const std::string refused =
                readAll(popen(toolCommand(kAsOther, file, "user A k 3").c_str(), "r"));
            EXPECT_NE(refused.find(".lock does not let this user take it; a write by the file's "
                                   "owner or by root sets it right"),
                      std::string::npos)
                << refused;
            EXPECT_EQ(runTool(true, file), "OK\n");
        }
        Held held = holdWrite(row.holder, file, "held");
        if (row.meanwhile) {
            row.meanwhile(file);
        }
        std::vector<FILE*> late;
        for (const char* value : row.waiting) {
            late.push_back(popen(
                toolCommand(kAsNobody, file, std::string("user A late ") + value, row.lateMount)
                    .c_str(),
                "r"));
            doneOrWaiting(late.back(), file, static_cast<int>(late.size()));
        }
        const std::string holderOut = letGo(held);
        for (FILE* writer : late) {
            EXPECT_EQ(readAll(writer), "OK\n");
        }
        const IniFile written = IniFile::parse(OdbcSandbox::readFile(file));
        EXPECT_EQ(written.value("A", "late"), std::optional<std::string>(row.waiting.back()));
        EXPECT_EQ(holderOut == "OK\n", row.holderWrites) << holderOut;
        EXPECT_EQ(written.value("A", "held").has_value(), row.holderWrites) << holderOut;
        if (!row.holderWrites) {
            EXPECT_NE(holderOut.find(row.refusal), std::string::npos) << holderOut;
        }
    }
}

// The owner finds no lock file and only a reader on the file's own lock,
// and is held before it names a new lock file; a member of the file's
// group, finding none, takes the file's own lock. The lock file comes
// after that writer: both write, one after the other.
TEST(IniWriter, ALockFileMadeMeanwhileComesAfterTheWriterIn) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as other users";
    }
    OdbcSandbox sandbox;
    ASSERT_EQ(chmod(sandbox.root().c_str(), 0755), 0);
    const fs::path folder = sandbox.root() / "made";
    const fs::path file = folder / "odbc.ini";
    const fs::path gate = sandbox.root() / "gate";
    fs::create_directory(folder);
    OdbcSandbox::writeFile(file, "[A]\nk = 1\n");
    ASSERT_EQ(chown(folder.c_str(), kNobody, kNobody) | chown(file.c_str(), kNobody, kNobody) |
                  chmod(file.c_str(), 0664) | mkfifo(gate.c_str(), 0666) |
                  chmod(gate.c_str(), 0666),
              0);
    holdRead(file);
    FILE* owner = popen(("MORVANEX_TEST_LOCK_FILE_GATE='" + gate.string() + "' " +
                         toolCommand(kAsNobody, file, "user A owner 1"))
                            .c_str(),
                        "r");
    std::ofstream atGate(gate);
    releaseRead();
    Held member = holdWrite(kAsMember, file, "member");
    atGate << '.' << std::flush;
    doneOrWaiting(owner, file, 1);
    EXPECT_EQ(letGo(member), "OK\n");
    EXPECT_EQ(readAll(owner), "OK\n");
    const IniFile written = IniFile::parse(OdbcSandbox::readFile(file));
    EXPECT_EQ(written.value("A", "owner"), "1");
    EXPECT_EQ(written.value("A", "member"), "held");
    // A name given meanwhile: its writer locks the file itself, and the
    // member, let go while that one holds it, waits and finds it changed.
    member = holdWrite(kAsMember, file, "again");
    fs::create_hard_link(file, folder / "other.ini");
    Held other = holdWrite(kAsNobody, folder / "other.ini", "other");
    kill(member.pid, SIGUSR1);
    doneOrWaiting(member.pipe, file, 1);
    EXPECT_EQ(letGo(other), "OK\n");
    EXPECT_NE(readAll(member.pipe).find("changed by another program"), std::string::npos);
}
