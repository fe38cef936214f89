#include "driver/api/ConnectionCalls.h"

#include <string.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/api/ConnectionFactory.h"
#include "driver/api/HandleCalls.h"
#include "driver/api/TraceWriter.h"
#include "driver/core/Connection.h"
#include "driver/core/ConnectionProxy.h"
#include "driver/core/ConnectionText.h"
#include "driver/core/Environment.h"
#include "driver/core/TextEncoding.h"

namespace {

constexpr const char* kNoAdapter =
    "Client unable to establish connection: the data-source adapter is not available";
constexpr const char* kMaskedPassword = "***";
constexpr SQLSMALLINT kMostBytes = std::numeric_limits<SQLSMALLINT>::max();

void addLine(std::string& text, std::string_view line) {
    text += line;
    text += '\n';
}

std::string named(const char* kind, const void* pointer) {
    return kind + tracePointer(pointer);
}

// An output argument of a call line: its variable, or NULL when absent.
std::string outputArgument(const char* kind, const void* pointer) {
    return pointer == nullptr ? "NULL" : named(kind, pointer);
}

std::string maskedText(const SQLCHAR* text, SQLSMALLINT length) {
    return text == nullptr ? "NULL" : traceString(maskConnectionString(text, length).c_str());
}

// Bytes held in memory that may carry a password: wiped before they go.
class WipedBytes {
  public:
    explicit WipedBytes(std::size_t size) : bytes_(size, '\0') {}
    ~WipedBytes() {
        if (!bytes_.empty()) {
            explicit_bzero(bytes_.data(), bytes_.size());
        }
    }
    WipedBytes(const WipedBytes&) = delete;
    WipedBytes& operator=(const WipedBytes&) = delete;

    char* data() { return bytes_.data(); }

  private:
    std::vector<char> bytes_;
};

// The caller's wide text as UTF-8, wiped before its memory goes; null when
// the caller gave none.
class Utf8Argument {
  public:
    Utf8Argument(const SQLWCHAR* text, SQLSMALLINT length) : present_(text != nullptr) {
        if (present_) {
            text_ = wideToUtf8(text, length, &bytes_);
        }
    }
    ~Utf8Argument() { explicit_bzero(text_.data(), text_.capacity()); }
    Utf8Argument(const Utf8Argument&) = delete;
    Utf8Argument& operator=(const Utf8Argument&) = delete;

    SQLCHAR* data() { return present_ ? reinterpret_cast<SQLCHAR*>(text_.data()) : nullptr; }
    SQLSMALLINT length() const { return bytes_; }
    // As the W calls show their text arguments.
    std::string traced() const {
        return present_ ? "(SQLTCHAR *) _T(" + traceString(text_.c_str()) + ")"
                        : "(SQLTCHAR *) NULL";
    }
    std::string tracedMasked() const {
        return present_ ? "(SQLTCHAR *) _T(" +
                              traceString(maskConnectionString(text_.c_str(), bytes_).c_str()) + ")"
                        : "(SQLTCHAR *) NULL";
    }

  private:
    bool present_;
    std::string text_;
    SQLSMALLINT bytes_ = 0;
};

// Makes the connection for the text and attaches it to the handle; on
// failure the handle's diagnostics say why.
SQLRETURN attachConnection(ConnectionProxy& proxy, const SQLCHAR* text, SQLSMALLINT length) {
    if (proxy.connection() != nullptr && proxy.connection()->isConnected()) {
        // The live connection and its statements stay as they are.
        proxy.diagnostics().clear();
        proxy.diagnostics().prependRecord("08002", 0, "", -1, -1);
        return SQL_ERROR;
    }
    try {
        std::unique_ptr<Connection> connection = makeConnection(proxy.environment(), text, length);
        if (!connection) {
            proxy.diagnostics().clear();
            proxy.diagnostics().prependRecord("08001", 0, kNoAdapter, -1, -1);
            return SQL_ERROR;
        }
        proxy.setConnection(std::move(connection));
        return SQL_SUCCESS;
    } catch (const std::bad_alloc& failure) {
        if (proxy.isTracing()) {
            writeTraceLine(*proxy.environment(), traceExceptionLine(failure.what()));
        }
        proxy.diagnostics().prependRecord("HY001", 0, "", -1, -1);
        return SQL_ERROR;
    }
}

void traceExit(TraceSink& sink, SQLRETURN rc) {
    if (sink.isTracing()) {
        writeTraceLine(sink, traceExitLine(rc));
    }
}

// Characters of UTF-8 text as 32-bit wide units; text that is not valid
// UTF-8 counts one per byte, as it is then copied raw.
std::int64_t wideCharacterCount(std::string_view text) {
    const std::optional<std::u16string> decoded =
        TextCodec::forEncoding(kEncodingUtf8)->decode(text);
    if (!decoded) {
        return static_cast<std::int64_t>(text.size());
    }
    return std::count_if(decoded->begin(), decoded->end(), [](char16_t u) {
        return u < 0xDC00 || u > 0xDFFF;  // a surrogate pair is one character
    });
}

// The length of the text without a multibyte character cut off at its end.
std::size_t wholeCharacterLength(std::string_view text) {
    std::size_t lead = text.size();
    while (lead > 0 && text.size() - lead < 3 &&
           (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead == 0) {
        return text.size();
    }
    const auto first = static_cast<unsigned char>(text[lead - 1]);
    const std::size_t needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    const std::size_t present = text.size() - lead + 1;
    return present < needed ? lead - 1 : text.size();
}

SQLSMALLINT saturated(std::int64_t value) {
    return static_cast<SQLSMALLINT>(std::clamp<std::int64_t>(value, 0, kMostBytes));
}

// The connection string a connection wrote to a narrow buffer of
// `bufferLength` bytes, ready for the "// out: " line: never more than the
// bytes actually written.
std::string tracedOutput(const SQLCHAR* buffer, SQLSMALLINT bufferLength, SQLSMALLINT written) {
    if (buffer == nullptr) {
        return "NULL";
    }
    const SQLSMALLINT shown =
        bufferLength > 0 ? std::clamp<SQLSMALLINT>(written, 0, bufferLength - 1) : 0;
    return traceString(maskConnectionString(buffer, shown).c_str());
}

void traceConnectOutput(TraceSink& sink, const std::string& out, const SQLSMALLINT* length) {
    if (!sink.isTracing()) {
        return;
    }
    std::string text;
    addLine(text, "// out: " + out);
    addLine(text, "// len: " + traceSmallIntOut(length));
    sink.writeTrace(text);
}

// The completed connection string of SQLDriverConnectW: what the
// connection wrote to the narrow buffer, into the caller's buffer of
// `bufferLength` wide characters.
struct WideOutput {
    std::int64_t count;  // characters of the whole text (its bytes if unknown)
    bool cut;            // the text did not fit the caller's buffer
};

WideOutput copyCompletedText(std::string_view narrow, SQLSMALLINT total, bool wholeText,
                             SQLWCHAR* outText, SQLSMALLINT bufferLength) {
    const std::string_view usable = narrow.substr(0, wholeCharacterLength(narrow));
    if (outText != nullptr && bufferLength > 0) {
        utf8ToWide(usable.data(), static_cast<std::int64_t>(usable.size()), outText,
                   static_cast<std::int64_t>(bufferLength) * sizeof(SQLWCHAR));
    }
    if (!wholeText) {
        return {total, bufferLength > 0};
    }
    const std::int64_t count = wideCharacterCount(narrow);
    return {count, bufferLength > 0 && count >= bufferLength};
}

// Only a commit or a rollback completes a transaction; anything else is
// refused rather than passed on to be taken as one or the other.
SQLRETURN refuseCompletion(DiagnosticHeader& diagnostics, SQLSMALLINT completionType) {
    if (completionType == SQL_COMMIT || completionType == SQL_ROLLBACK) {
        return SQL_SUCCESS;
    }
    diagnostics.clear();
    diagnostics.prependRecord("HY012", 0, "", -1, -1);
    return SQL_ERROR;
}

void traceCall(TraceSink& sink, const std::string& call) {
    if (sink.isTracing()) {
        std::string text;
        addLine(text, traceEnterLine());
        addLine(text, call);
        sink.writeTrace(text);
    }
}

SQLRETURN completeConnection(ConnectionProxy& proxy, const std::string& call,
                             SQLSMALLINT completionType) {
    Environment& environment = *proxy.environment();
    traceCall(environment, call);
    SQLRETURN rc = refuseCompletion(proxy.diagnostics(), completionType);
    if (rc == SQL_SUCCESS) {
        rc = proxy.endTran(completionType);
    }
    traceExit(environment, rc);
    return rc;
}

SQLRETURN completeEnvironment(Environment& environment, const std::string& call,
                              SQLSMALLINT completionType) {
    traceCall(environment, call);
    SQLRETURN rc = refuseCompletion(environment.diagnostics(), completionType);
    if (rc == SQL_SUCCESS) {
        rc = environment.endTran(completionType);
    }
    traceExit(environment, rc);
    return rc;
}

}  // namespace

namespace calls {

SQLRETURN connect(SQLHDBC connection, SQLCHAR* server, SQLSMALLINT serverLength, SQLCHAR* user,
                  SQLSMALLINT userLength, SQLCHAR* authentication,
                  SQLSMALLINT authenticationLength) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    Environment& environment = *proxy.environment();
    if (proxy.isTracing()) {
        std::string text;
        addLine(text, traceEnterLine());
        addLine(text, "rc = SQLConnect(" + named("dbc", connection) + ", (SQLCHAR *) " +
                          traceString(server, serverLength) + ", " + traceLength(serverLength) +
                          ", (SQLCHAR *) " + traceString(user, userLength) + ", " +
                          traceLength(userLength) + ", (SQLCHAR *) " +
                          traceString(kMaskedPassword) + ", " + traceLength(authenticationLength) +
                          ");");
        environment.writeTrace(text);
    }
    SQLRETURN rc = attachConnection(proxy, server, serverLength);
    if (rc == SQL_SUCCESS) {
        rc = proxy.connect(server, serverLength, user, userLength, authentication,
                           authenticationLength);
    }
    traceExit(environment, rc);
    return rc;
}

SQLRETURN connectW(SQLHDBC connection, SQLWCHAR* server, SQLSMALLINT serverLength, SQLWCHAR* user,
                   SQLSMALLINT userLength, SQLWCHAR* authentication,
                   SQLSMALLINT authenticationLength) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    Environment& environment = *proxy.environment();
    Utf8Argument serverText(server, serverLength);
    Utf8Argument userText(user, userLength);
    Utf8Argument password(authentication, authenticationLength);
    if (proxy.isTracing()) {
        std::string text;
        addLine(text, traceEnterLine());
        addLine(text, "rc = SQLConnectW(" + named("dbc", connection) + ", " + serverText.traced() +
                          ", " + traceLength(serverText.length()) + ", " + userText.traced() +
                          ", " + traceLength(userText.length()) + ", (SQLTCHAR *) _T(" +
                          traceString(kMaskedPassword) + "), " + traceLength(password.length()) +
                          ");");
        environment.writeTrace(text);
    }
    SQLRETURN rc = attachConnection(proxy, serverText.data(), serverText.length());
    if (rc == SQL_SUCCESS) {
        rc = proxy.connect(serverText.data(), serverText.length(), userText.data(),
                           userText.length(), password.data(), password.length());
    }
    traceExit(environment, rc);
    return rc;
}

SQLRETURN driverConnect(SQLHDBC connection, SQLHWND window, SQLCHAR* connectionText,
                        SQLSMALLINT connectionTextLength, SQLCHAR* outText,
                        SQLSMALLINT bufferLength, SQLSMALLINT* outLength, SQLUSMALLINT completion) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    Environment& environment = *proxy.environment();
    if (proxy.isTracing()) {
        std::string text;
        addLine(text, traceEnterLine());
        if (outText != nullptr) {
            addLine(text,
                    "SQLCHAR " + named("out", outText) + "[" + std::to_string(bufferLength) + "];");
        }
        if (outLength != nullptr) {
            addLine(text, "SQLSMALLINT " + named("len", outLength) + " = " +
                              traceSmallIntOut(outLength) + ";");
        }
        addLine(text, "rc = SQLDriverConnect(" + named("dbc", connection) + ", (HWND) " +
                          tracePointer(window) + ", (SQLCHAR *) " +
                          maskedText(connectionText, connectionTextLength) + ", " +
                          traceLength(connectionTextLength) + ", " +
                          outputArgument("out", outText) + ", " + std::to_string(bufferLength) +
                          ", " + outputArgument("&len", outLength) + ", " +
                          traceDriverCompletion(completion) + ");");
        environment.writeTrace(text);
    }
    // The connection writes its length here, so the trace knows how much of
    // the buffer it filled.
    SQLSMALLINT written = 0;
    SQLRETURN rc = attachConnection(proxy, connectionText, connectionTextLength);
    if (rc == SQL_SUCCESS) {
        rc = proxy.driverConnect(window, connectionText, connectionTextLength, outText,
                                 bufferLength, &written, completion);
        if (outLength != nullptr) {
            *outLength = written;
        }
    }
    traceConnectOutput(environment, tracedOutput(outText, bufferLength, written), outLength);
    traceExit(environment, rc);
    return rc;
}

SQLRETURN driverConnectW(SQLHDBC connection, SQLHWND window, SQLWCHAR* connectionText,
                         SQLSMALLINT connectionTextLength, SQLWCHAR* outText,
                         SQLSMALLINT bufferLength, SQLSMALLINT* outLength,
                         SQLUSMALLINT completion) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    Environment& environment = *proxy.environment();
    Utf8Argument text(connectionText, connectionTextLength);
    // Room for every character the caller's buffer holds, at up to four
    // UTF-8 bytes each, so a text that fits there is never cut here.
    const bool hasBuffer = bufferLength > 0;
    const auto narrowLength = static_cast<SQLSMALLINT>(
        std::min<std::int64_t>(std::int64_t{bufferLength} * kMostUtf8CharBytes, kMostBytes));
    WipedBytes narrowBytes(hasBuffer ? static_cast<std::size_t>(narrowLength) + 1 : 0);
    auto* narrow = hasBuffer ? reinterpret_cast<SQLCHAR*>(narrowBytes.data()) : nullptr;
    SQLSMALLINT written = 0;
    if (proxy.isTracing()) {
        std::string lines;
        addLine(lines, traceEnterLine());
        if (hasBuffer) {
            addLine(lines,
                    "SQLTCHAR " + named("out", narrow) + "[" + std::to_string(bufferLength) + "];");
        }
        addLine(lines,
                "SQLSMALLINT " + named("len", &written) + " = " + traceSmallIntOut(&written) + ";");
        addLine(lines, "rc = SQLDriverConnectW(" + named("dbc", connection) + ", " +
                           tracePointer(window) + ", " + text.tracedMasked() + ", " +
                           traceLength(text.length()) + ", " + outputArgument("out", narrow) +
                           ", " + std::to_string(bufferLength) + ", " + named("&len", &written) +
                           ", " + traceDriverCompletion(completion) + ");");
        environment.writeTrace(lines);
    }
    SQLRETURN rc = attachConnection(proxy, text.data(), text.length());
    if (rc == SQL_SUCCESS) {
        rc = proxy.driverConnect(window, text.data(), text.length(), narrow,
                                 hasBuffer ? narrowLength : SQLSMALLINT{0}, &written, completion);
    }
    if (SQL_SUCCEEDED(rc)) {
        const SQLSMALLINT total = std::max<SQLSMALLINT>(written, 0);
        const bool wholeText = hasBuffer && total < narrowLength;
        const std::size_t held = hasBuffer ? std::min<std::size_t>(total, narrowLength - 1) : 0;
        const WideOutput out = copyCompletedText(std::string_view(narrowBytes.data(), held), total,
                                                 wholeText, outText, bufferLength);
        if (outLength != nullptr) {
            *outLength = saturated(out.count);
        }
        if (out.cut && outText != nullptr && rc == SQL_SUCCESS) {
            proxy.diagnostics().prependRecord("01004", 0, "", -1, -1);
            rc = SQL_SUCCESS_WITH_INFO;
        }
    }
    traceConnectOutput(environment,
                       tracedOutput(narrow, hasBuffer ? narrowLength : SQLSMALLINT{0}, written),
                       &written);
    traceExit(environment, rc);
    return rc;
}

SQLRETURN disconnect(SQLHDBC connection) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    Environment& environment = *proxy.environment();
    if (proxy.isTracing()) {
        std::string text;
        addLine(text, traceEnterLine());
        addLine(text, "rc = SQLDisconnect(" + named("dbc", connection) + ");");
        environment.writeTrace(text);
    }
    const SQLRETURN rc = proxy.disconnect();
    traceExit(environment, rc);
    return rc;
}

SQLRETURN endTran(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT completionType) {
    if (handleType != SQL_HANDLE_DBC && handleType != SQL_HANDLE_ENV) {
        // Transactions belong to connections; nothing else can complete one.
        return SQL_ERROR;
    }
    if (handle == SQL_NULL_HANDLE) {
        return SQL_INVALID_HANDLE;
    }
    const bool onConnection = handleType == SQL_HANDLE_DBC;
    const std::string call = "rc = SQLEndTran(" + traceHandleType(handleType) + ", " +
                             named(onConnection ? "dbc" : "env", handle) + ", " +
                             traceCompletionType(completionType) + ");";
    return onConnection ? completeConnection(*proxyOf(handle), call, completionType)
                        : completeEnvironment(*environmentOf(handle), call, completionType);
}

SQLRETURN transact(SQLHENV environment, SQLHDBC connection, SQLUSMALLINT completionType) {
    if (environment == SQL_NULL_HENV && connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    const auto completion = static_cast<SQLSMALLINT>(completionType);
    const std::string call = "rc = SQLTransact(" + named("env", environment) + ", " +
                             named("dbc", connection) + ", " + traceCompletionType(completion) +
                             ");";
    return connection != SQL_NULL_HDBC
               ? completeConnection(*proxyOf(connection), call, completion)
               : completeEnvironment(*environmentOf(environment), call, completion);
}

}  // namespace calls
