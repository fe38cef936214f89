#pragma once

// Shared pieces of the repeater tests: an environment that records its
// trace and counts its lock, and DSNs of this driver naming adapted DSNs.

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
#include <vector>

#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/core/MutexEnvironment.h"
#include "tests/fixtures/sevrin/SevrinLibrary.h"
#include "tests/support/OdbcSandbox.h"

namespace repeater_test {

// Lines of a text.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        out.push_back(line);
    }
    return out;
}

// Its bundle identifier is this process's own, so that the error logs
// written under /tmp can be read and are removed.
class RecordingEnvironment : public MutexEnvironment {
  public:
    explicit RecordingEnvironment(bool tracing = false)
        : MutexEnvironment(logName(), "morvanex.so", "Vorlan Tarvex", "Vorlan"),
          tracing_(tracing) {}
    ~RecordingEnvironment() override {
        for (const auto& path : logFiles()) {
            std::filesystem::remove(path);
        }
    }

    bool isTracing() const override { return tracing_; }
    void setTracing(bool tracing) { tracing_ = tracing; }
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
    bool traced(const std::string& line) const {
        const auto all = lines(trace());
        return std::find(all.begin(), all.end(), line) != all.end();
    }
    void clearTrace() {
        std::lock_guard guard(mutex_);
        trace_.clear();
    }
    // The error log's messages, without their time stamps.
    std::vector<std::string> errorLog() const {
        std::vector<std::string> messages;
        for (const auto& path : logFiles()) {
            for (const std::string& line : lines(OdbcSandbox::readFile(path))) {
                const auto time = line.find(' ', line.find(' ') + 1);
                messages.push_back(time == std::string::npos ? line : line.substr(time + 1));
            }
        }
        return messages;
    }

    std::atomic<int> locks{0};

  private:
    static std::string logName() { return "morvanex-repeater-test-" + std::to_string(::getpid()); }
    static std::vector<std::filesystem::path> logFiles() {
        std::vector<std::filesystem::path> found;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/tmp", error)) {
            if (entry.path().filename().string().rfind(logName() + "_error.", 0) == 0) {
                found.push_back(entry.path());
            }
        }
        return found;
    }

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
    DiagnosticHeader& area = connection.diagnostics();
    for (SQLSMALLINT n = 1; n <= static_cast<SQLSMALLINT>(area.recordCount()); ++n) {
        Record record;
        char state[6] = {};
        char message[2048] = {};
        area.getDiagField(n, SQL_DIAG_SQLSTATE, state, sizeof state, nullptr);
        area.getDiagField(n, SQL_DIAG_NATIVE, &record.native, 0, nullptr);
        area.getDiagField(n, SQL_DIAG_MESSAGE_TEXT, message, sizeof message, nullptr);
        record.state = state;
        record.message = message;
        out.push_back(record);
    }
    return out;
}

inline std::string describe(const std::vector<Record>& list) {
    std::string text;
    for (const Record& r : list) {
        text += r.state + " " + std::to_string(r.native) + " " + r.message + "\n";
    }
    return text;
}

// The DSN of this driver ("Tarvex", with `keys`) and the adapted DSN
// ("Adapted") it names, served by a variant of the DB2 stand-in.
class SevrinDsns {
  public:
    explicit SevrinDsns(const std::string& variant = "", OdbcSandbox::Keys keys = {})
        : library(variant) {
        library.reset();
        sandbox.addDsn("Adapted", library.file(), {});
        keys.emplace_back("DriverDSN", "Adapted");
        sandbox.addDsn("Tarvex", "morvanex.so", keys);
    }
    // Journal lines of calls to `function`.
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

inline SQLRETURN driverConnect(ODBCRepeaterConnection& connection, const std::string& text) {
    return connection.driverConnect(nullptr, sqlText(text), SQL_NTS, nullptr, 0, nullptr,
                                    SQL_DRIVER_NOPROMPT);
}

}  // namespace repeater_test
