#pragma once

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <memory>
#include <cctype>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "driver/api/ConnectionFactory.h"
#include "driver/core/Connection.h"
#include "driver/core/Environment.h"
#include "driver/core/StringOutput.h"

// An environment whose call trace is kept in memory.
class CapturingEnvironment : public Environment {
  public:
    explicit CapturingEnvironment(bool tracing = true)
        : Environment("com.example.proxy-test", "morvanex.so", "Vorlan Tarvex", "Vorlan"),
          tracing_(tracing) {}

    bool isTracing() const override { return tracing_; }
    void writeTrace(std::string_view text) override { trace.append(text); }

    std::string trace;

  private:
    bool tracing_;
};

// What the connections made by the test factory do, and what they saw.
struct ConnectionScript {
    std::vector<std::string> journal;
    int made = 0;
    bool failConnect = false;
    std::string completedText;  // what driverConnect writes out
    SQLUINTEGER packetSizeMin = 0;
    // What the last driverConnect received.
    bool gotOutBuffer = false;
    SQLSMALLINT gotBufferLength = -1;
    std::string gotConnectionText;
    std::string gotPassword;
};

// A connection that writes every step into the script's journal.
class RecordingConnection : public Connection {
  public:
    RecordingConnection(Environment* environment, ConnectionScript& script)
        : Connection(environment), script_(script), id_(std::to_string(++script.made)) {
        note("construct");
    }
    ~RecordingConnection() override { note("destroy"); }

    SQLRETURN connectStrings(const std::string& server, const std::string& user,
                             const std::string& authentication) override {
        note("connect " + server + " " + user);
        script_.gotPassword = authentication;
        return finishConnect();
    }
    SQLRETURN driverConnect(SQLHWND, const SQLCHAR* text, SQLSMALLINT length, SQLCHAR* outText,
                            SQLSMALLINT bufferLength, SQLSMALLINT* outLength,
                            SQLUSMALLINT) override {
        note("driverConnect");
        script_.gotConnectionText = makeSqlString(text, length);
        script_.gotOutBuffer = outText != nullptr;
        script_.gotBufferLength = bufferLength;
        copyStringOutShort(outText, outLength, script_.completedText, bufferLength, true);
        return finishConnect();
    }
    SQLRETURN disconnect() override {
        note("disconnect");
        setConnected(false);
        return SQL_SUCCESS;
    }
    SQLRETURN endTran(SQLSMALLINT completionType) override {
        note("endTran " + std::to_string(completionType));
        return SQL_SUCCESS;
    }
    SQLUINTEGER packetSizeMin() override { return script_.packetSizeMin; }

    SQLRETURN setAttrAccessMode(SQLUINTEGER v) override {
        noteValue("accessMode", v);
        return Connection::setAttrAccessMode(v);
    }
    SQLRETURN setAttrAsyncEnable(SQLUINTEGER v) override {
        noteValue("asyncEnable", v);
        return Connection::setAttrAsyncEnable(v);
    }
    SQLRETURN setAttrAutocommit(SQLUINTEGER v) override {
        noteValue("autocommit", v);
        return Connection::setAttrAutocommit(v);
    }
    SQLRETURN setAttrConnectionTimeout(SQLUINTEGER v) override {
        noteValue("connectionTimeout", v);
        return Connection::setAttrConnectionTimeout(v);
    }
    SQLRETURN setAttrCurrentCatalog(const std::string& v) override {
        note("currentCatalog " + v);
        return Connection::setAttrCurrentCatalog(v);
    }
    SQLRETURN setAttrLoginTimeout(SQLUINTEGER v) override {
        noteValue("loginTimeout", v);
        return Connection::setAttrLoginTimeout(v);
    }
    SQLRETURN setAttrMetadataId(SQLUINTEGER v) override {
        noteValue("metadataId", v);
        return Connection::setAttrMetadataId(v);
    }
    SQLRETURN setAttrPacketSize(SQLUINTEGER v) override {
        noteValue("packetSize", v);
        return Connection::setAttrPacketSize(v);
    }
    SQLRETURN setAttrQuietMode(SQLULEN v) override {
        note("quietMode " + std::to_string(v));
        return Connection::setAttrQuietMode(v);
    }
    SQLRETURN setAttrTracefile(const std::string& v) override {
        note("tracefile " + v);
        return Connection::setAttrTracefile(v);
    }
    SQLRETURN setAttrTxnIsolation(SQLUINTEGER v) override {
        noteValue("txnIsolation", v);
        return Connection::setAttrTxnIsolation(v);
    }
    SQLRETURN setAttrMarsEnabled(SQLUINTEGER v) override {
        noteValue("marsEnabled", v);
        return Connection::setAttrMarsEnabled(v);
    }
    void setWideApi(bool wide) override {
        note(std::string("wideApi ") + (wide ? "1" : "0"));
        Connection::setWideApi(wide);
    }
    void setUnicodeTextTypes(bool unicode) override {
        note(std::string("unicodeTextTypes ") + (unicode ? "1" : "0"));
        Connection::setUnicodeTextTypes(unicode);
    }

  private:
    void note(const std::string& entry) { script_.journal.push_back(entry + " #" + id_); }
    void noteValue(const char* name, SQLUINTEGER value) {
        note(std::string(name) + " " + std::to_string(value));
    }
    SQLRETURN finishConnect() {
        if (script_.failConnect) {
            postState("08001");
            return SQL_ERROR;
        }
        setConnected(true);
        return SQL_SUCCESS;
    }

    ConnectionScript& script_;
    std::string id_;
};

// Puts a factory of recording connections in place for one test.
class RecordingFactory {
  public:
    explicit RecordingFactory(ConnectionScript& script) {
        current() = &script;
        previous_ = setConnectionFactory(&make);
    }
    ~RecordingFactory() {
        setConnectionFactory(previous_);
        current() = nullptr;
    }
    RecordingFactory(const RecordingFactory&) = delete;
    RecordingFactory& operator=(const RecordingFactory&) = delete;

  private:
    static ConnectionScript*& current() {
        static ConnectionScript* script = nullptr;
        return script;
    }
    static std::unique_ptr<Connection> make(Environment* environment, const SQLCHAR* text,
                                            SQLSMALLINT length) {
        current()->journal.push_back("identify " + makeSqlString(text, length));
        return std::make_unique<RecordingConnection>(environment, *current());
    }

    ConnectionFactory previous_;
};

// The lines of a text, each with its newline.
inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, next - start));
        start = next;
    }
    return lines;
}

// Every "0x" and hexadecimal digits replaced by <ptr>.
inline std::string withoutAddresses(const std::string& line) {
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
        std::size_t digits = 0;
        if (line.compare(i, 2, "0x") == 0) {
            while (i + 2 + digits < line.size() &&
                   std::isxdigit(static_cast<unsigned char>(line[i + 2 + digits])) != 0) {
                ++digits;
            }
        }
        if (digits > 0) {
            out += "<ptr>";
            i += 2 + digits;
        } else {
            out += line[i++];
        }
    }
    return out;
}

// The trace with its variable parts replaced: timestamps by <time> and
// addresses by <ptr>, so that it compares as text.
inline std::string normalisedTrace(const std::string& trace) {
    static const std::string enter = "// ENTER: ";
    static const std::string exit = "// EXIT: ";
    std::string out;
    for (std::string line : linesOf(trace)) {
        if (line.rfind(enter, 0) == 0) {
            line = enter + "<time>\n";
        } else if (line.rfind(exit, 0) == 0 && line.find("  rc: ") != std::string::npos) {
            line = exit + "<time>" + line.substr(line.find("  rc: "));
        }
        out += withoutAddresses(line);
    }
    return out;
}

// The text without the lines that begin with one of the prefixes.
inline std::string withoutLines(const std::string& text,
                                std::initializer_list<std::string_view> prefixes) {
    std::string out;
    for (const std::string& line : linesOf(text)) {
        const bool dropped = std::any_of(prefixes.begin(), prefixes.end(), [&](std::string_view p) {
            return line.compare(0, p.size(), p) == 0;
        });
        if (!dropped) {
            out += line;
        }
    }
    return out;
}

// The lines of a trace without the six banner lines a new connection writes.
inline std::string withoutBanner(const std::string& trace) {
    return withoutLines(trace, {"// App: ", "// App ID: ", "// OS: ", "// Driver: ",
                                "// Is sandboxed: ", "// Is wide parameter 16 bits: "});
}

// SQLSTATE of record `n` of a diagnostics area ("none" when there is none).
inline std::string stateOf(const DiagnosticHeader& diagnostics, SQLSMALLINT n = 1) {
    SQLCHAR state[6] = {};
    if (diagnostics.getDiagField(n, SQL_DIAG_SQLSTATE, state, sizeof state, nullptr) !=
        SQL_SUCCESS) {
        return "none";
    }
    return reinterpret_cast<char*>(state);
}
