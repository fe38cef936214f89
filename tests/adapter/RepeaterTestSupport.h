#pragma once

// Shared pieces of the repeater tests: an environment that records its
// trace and counts its lock, DSNs of this driver naming adapted DSNs of the
// DB2 stand-in, and readers of a connection's diagnostics.

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/core/MutexEnvironment.h"
#include "tests/fixtures/sevrin/SevrinLibrary.h"
#include "tests/support/OdbcSandbox.h"

namespace repeater_test {

// A bundle identifier of our own, so that the error logs this process
// writes under /tmp are found and removed.
inline std::string testBundleIdentifier() {
    return "morvanex-repeater-test-" + std::to_string(::getpid());
}

class RecordingEnvironment : public MutexEnvironment {
  public:
    explicit RecordingEnvironment(bool tracing = false)
        : MutexEnvironment(testBundleIdentifier(), "morvanex.so", "Vorlan Tarvex", "Vorlan"),
          tracing_(tracing) {}
    ~RecordingEnvironment() override {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/tmp", error)) {
            if (entry.path().filename().string().rfind(testBundleIdentifier() + "_error.", 0) ==
                0) {
                std::filesystem::remove(entry.path(), error);
            }
        }
    }

    bool isTracing() const override { return tracing_; }
    void writeTrace(std::string_view text) override {
        std::lock_guard guard(mutex_);
        trace_ += text;
    }
    void lock() override {
        ++locks;
        MutexEnvironment::lock();
    }

    std::string trace() const {
        std::lock_guard guard(mutex_);
        return trace_;
    }
    std::vector<std::string> traceLines() const {
        std::vector<std::string> lines;
        std::istringstream text(trace());
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    bool traced(std::string_view line) const {
        const auto lines = traceLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    void clearTrace() {
        std::lock_guard guard(mutex_);
        trace_.clear();
    }
    // The lines of this process's error log, oldest first, without time stamps.
    std::vector<std::string> errorLog() const {
        std::vector<std::string> lines;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/tmp", error)) {
            if (entry.path().filename().string().rfind(testBundleIdentifier() + "_error.", 0) !=
                0) {
                continue;
            }
            std::istringstream text(OdbcSandbox::readFile(entry.path()));
            for (std::string line; std::getline(text, line);) {
                // "<date> <time> <message>"
                const auto first = line.find(' ');
                const auto second = line.find(' ', first + 1);
                lines.push_back(second == std::string::npos ? line : line.substr(second + 1));
            }
        }
        return lines;
    }

    std::atomic<int> locks{0};

  private:
    bool tracing_;
    mutable std::mutex mutex_;
    std::string trace_;
};

struct Record {
    std::string state;
    SQLINTEGER native = 0;
    std::string message;
};

inline std::vector<Record> records(Connection& connection) {
    std::vector<Record> out;
    DiagnosticHeader& diagnostics = connection.diagnostics();
    for (SQLSMALLINT number = 1; number <= static_cast<SQLSMALLINT>(diagnostics.recordCount());
         ++number) {
        Record record;
        char state[6] = {};
        char message[2048] = {};
        diagnostics.getDiagField(number, SQL_DIAG_SQLSTATE, state, sizeof state, nullptr);
        diagnostics.getDiagField(number, SQL_DIAG_NATIVE, &record.native, 0, nullptr);
        diagnostics.getDiagField(number, SQL_DIAG_MESSAGE_TEXT, message, sizeof message, nullptr);
        record.state = state;
        record.message = message;
        out.push_back(record);
    }
    return out;
}

inline std::string describe(const std::vector<Record>& list) {
    std::string text;
    for (const Record& record : list) {
        text += record.state + " " + std::to_string(record.native) + " " + record.message + "\n";
    }
    return text;
}

// The DSN of this driver ("Tarvex") and the adapted DSN ("Adapted") it
// names, whose driver is a variant of the DB2 stand-in.
class SevrinDsns {
  public:
    static constexpr const char* kDsn = "Tarvex";
    static constexpr const char* kAdapted = "Adapted";

    explicit SevrinDsns(const std::string& variant = "", OdbcSandbox::Keys keys = {})
        : library(variant) {
        library.reset();
        sandbox.addDsn(kAdapted, library.file(), {});
        keys.emplace_back("DriverDSN", kAdapted);
        sandbox.addDsn(kDsn, "morvanex.so", keys);
    }

    bool journalHas(const std::string& text) const {
        return library.journal().find(text) != std::string::npos;
    }
    // Journal lines that begin with `function`.
    std::vector<std::string> calls(const std::string& function) const {
        std::vector<std::string> found;
        for (const std::string& line : library.journalLines()) {
            if (line.rfind(function + " ", 0) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }

    OdbcSandbox sandbox;
    SevrinLibrary library;
};

inline const SQLCHAR* sqlText(const std::string& text) {
    return reinterpret_cast<const SQLCHAR*>(text.c_str());
}

inline SQLRETURN driverConnect(ODBCRepeaterConnection& connection, const std::string& text,
                               SQLUSMALLINT completion = SQL_DRIVER_NOPROMPT,
                               SQLHWND window = nullptr) {
    return connection.driverConnect(window, sqlText(text), SQL_NTS, nullptr, 0, nullptr,
                                    completion);
}

}  // namespace repeater_test
