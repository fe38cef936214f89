// The ini writer's benchmark (scripts/bench.sh runs it): one action that
// saves a DSN of twenty new keys into a system odbc.ini of N DSNs (two keys
// each), done by our writer (the installer facade: one transaction, the
// file replaced once) and by the installer library's own writer (twenty
// SQLWritePrivateProfileString calls, each rewriting the file).
//
//   ini_bench FOLDER ROUNDS COUNT...
//
// Each save runs in a program of its own (this one, with --save) on a
// fresh file in FOLDER, timed from the first write to the end of the last
// (wall and processor time); the file is then checked to hold every key. Prints per count and
// writer the median milliseconds of the rounds:
//   DSNS WRITER WALL-MS CPU-MS
// or "DSNS WRITER failed" when a save failed, "crashed" when its program
// died (the library's writer corrupts its heap on some file sizes). Exits 1
// when a save of ours did not succeed.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <sql.h>
#include <sqlext.h>
#include <odbcinst.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "platform/InstallerFacade.h"

namespace {

namespace fs = std::filesystem;

constexpr int kKeys = 20;

struct Timing {
    double wallMs = 0;
    double cpuMs = 0;
};

double nowMs(clockid_t clock) {
    timespec at{};
    ::clock_gettime(clock, &at);
    return static_cast<double>(at.tv_sec) * 1e3 + static_cast<double>(at.tv_nsec) / 1e6;
}

std::string keyName(int key) {
    return "Key" + std::to_string(key);
}

void writeDsns(const fs::path& file, int count) {
    std::string list = "[ODBC Data Sources]\n";
    std::string sections;
    for (int i = 0; i < count; ++i) {
        const std::string name = "dsn" + std::to_string(i);
        list += name + " = Vorlan Tarvex\n";
        sections += "\n[" + name + "]\nDriver = /usr/lib/morvanex.so\nServer = host" +
                    std::to_string(i) + "\n";
    }
    std::ofstream(file, std::ios::trunc) << list << sections;
}

using Write = BOOL (*)(LPCSTR, LPCSTR, LPCSTR, LPCSTR);
using SetMode = BOOL (*)(UWORD);

// One action of our writer.
bool saveOurs(const std::string& dsn) {
    InstallerFacade& installer = InstallerFacade::instance();
    InstallerFacade::Transaction action;
    for (int key = 0; key < kKeys; ++key) {
        installer.setConfigMode(ODBC_SYSTEM_DSN);
        if (!installer.writePrivateProfileString(dsn.c_str(), keyName(key).c_str(), "value",
                                                 "odbc.ini")) {
            return false;
        }
    }
    return action.commit();
}

// The same writes by the library's own writer.
bool saveLibrary(const std::string& dsn, Write write, SetMode setMode) {
    for (int key = 0; key < kKeys; ++key) {
        setMode(ODBC_SYSTEM_DSN);
        if (!write(dsn.c_str(), keyName(key).c_str(), "value", "odbc.ini")) {
            return false;
        }
    }
    return true;
}

// Runs in the child: loads what the writer needs, then times its save.
int timeSave(bool library, const std::string& dsn, int out) {
    Write write = nullptr;
    SetMode setMode = nullptr;
    if (library) {
        void* handle = ::dlopen("libiodbcinst.so.2", RTLD_NOW | RTLD_LOCAL);
        write = handle ? reinterpret_cast<Write>(::dlsym(handle, "SQLWritePrivateProfileString"))
                       : nullptr;
        setMode = handle ? reinterpret_cast<SetMode>(::dlsym(handle, "SQLSetConfigMode")) : nullptr;
        if (write == nullptr || setMode == nullptr) {
            return 1;
        }
    } else if (!InstallerFacade::instance().available()) {
        return 1;
    }
    const double wall = nowMs(CLOCK_MONOTONIC);
    const double cpu = nowMs(CLOCK_PROCESS_CPUTIME_ID);
    const bool saved = library ? saveLibrary(dsn, write, setMode) : saveOurs(dsn);
    const Timing timing{nowMs(CLOCK_MONOTONIC) - wall, nowMs(CLOCK_PROCESS_CPUTIME_ID) - cpu};
    return saved && ::write(out, &timing, sizeof timing) == sizeof timing ? 0 : 1;
}

bool holdsEveryKey(const fs::path& file, const std::string& dsn) {
    IniFile ini;
    std::string why;
    if (IniFile::load(file, ini, why) != IniFile::LoadResult::Loaded) {
        return false;
    }
    for (int key = 0; key < kKeys; ++key) {
        if (ini.value(dsn, keyName(key)) != "value") {
            return false;
        }
    }
    return true;
}

// A save's timing, or why there is none.
struct Outcome {
    std::optional<Timing> timing;
    const char* failure = "failed";
};

Outcome measure(const fs::path& file, int count, bool library) {
    writeDsns(file, count);
    const std::string dsn = "dsn" + std::to_string(count / 2);
    int channel[2] = {-1, -1};
    if (::pipe(channel) != 0) {
        return {};
    }
    // A fresh program, as every writer's save is: not a fork of this one,
    // whose freed memory the child would first have to copy.
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        // The library's own report of a heap it corrupted stays out of the table.
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, 2);
        const std::string out = std::to_string(channel[1]);
        ::execl("/proc/self/exe", "ini_bench", "--save", library ? "library" : "ours", dsn.c_str(),
                out.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(channel[1]);
    Timing timing;
    const bool got = child > 0 && ::read(channel[0], &timing, sizeof timing) == sizeof timing;
    ::close(channel[0]);
    int status = 0;
    if (child > 0) {
        ::waitpid(child, &status, 0);
    }
    if (WIFSIGNALED(status)) {
        return {std::nullopt, "crashed"};
    }
    const bool ok = got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return ok && holdsEveryKey(file, dsn) ? Outcome{timing} : Outcome{};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--save") == 0) {
        return timeSave(std::strcmp(argv[2], "library") == 0, argv[3], std::atoi(argv[4]));
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: ini_bench FOLDER ROUNDS COUNT...\n");
        return 2;
    }
    const fs::path file = fs::path(argv[1]) / "odbc.ini";
    const int rounds = std::max(1, std::atoi(argv[2]));
    ::setenv("SYSODBCINI", file.c_str(), 1);
    int failures = 0;
    for (int arg = 3; arg < argc; ++arg) {
        const int count = std::atoi(argv[arg]);
        for (const bool library : {false, true}) {
            const char* writer = library ? "library" : "ours";
            std::vector<double> wall;
            std::vector<double> cpu;
            Outcome outcome;
            for (int round = 0; round < rounds; ++round) {
                outcome = measure(file, count, library);
                if (!outcome.timing) {
                    break;
                }
                wall.push_back(outcome.timing->wallMs);
                cpu.push_back(outcome.timing->cpuMs);
            }
            if (!outcome.timing) {
                std::printf("%d %s %s\n", count, writer, outcome.failure);
                failures += library ? 0 : 1;
                continue;
            }
            std::printf("%d %s %.1f %.1f\n", count, writer, median(wall), median(cpu));
            std::fflush(stdout);
        }
    }
    return failures == 0 ? 0 : 1;
}
