#include "driver/api/HandleCalls.h"

#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "driver/api/TraceWriter.h"
#include "driver/core/Connection.h"
#include "driver/core/ConnectionProxy.h"
#include "driver/core/Descriptor.h"
#include "driver/core/EnvironmentFactory.h"
#include "driver/core/Statement.h"
#include "driver/core/VorlanEnvironment.h"

namespace {

// Which spelling of the call the trace shows.
enum class Form { Handle, Odbc2 };

constexpr const char* kNoStatement = "Can't create a statement before connection is made";
constexpr const char* kNoDescriptor = "Can't create a descriptor before connection is made";

void addLine(std::string& text, std::string_view line) {
    text += line;
    text += '\n';
}

// "env0x1234", "dbc0x..." and so on: a handle as the trace names it.
std::string named(const char* kind, const void* handle) {
    return kind + tracePointer(handle);
}

// The entry lines that every call writes first: the timestamp, then the
// given declaration (if any) and the call.
std::string entryLines(std::string_view declaration, std::string_view call) {
    std::string text;
    addLine(text, traceEnterLine());
    if (!declaration.empty()) {
        addLine(text, declaration);
    }
    addLine(text, call);
    return text;
}

void post(DiagnosticHeader& diagnostics, const char* state, const char* message = "") {
    diagnostics.prependRecord(state, 0, message, -1, -1);
}

// Writes the result lines of a call whose handle is already gone: nothing
// may escape from here, as the boundary would post on that handle.
void traceReleased(TraceSink& sink, SQLRETURN rc) noexcept {
    try {
        if (sink.isTracing()) {
            writeTraceLine(sink, traceReturnLine(rc));
        }
    } catch (...) {
        // The handle is released either way; only the trace line is lost.
    }
}

// The result lines of an allocation: the handle written out and the code.
void traceAllocated(TraceSink& sink, const void* handle, SQLRETURN rc) {
    if (!sink.isTracing()) {
        return;
    }
    std::string text;
    addLine(text, "// *oh: " + tracePointer(handle));
    addLine(text, traceReturnLine(rc));
    sink.writeTrace(text);
}

void traceOutOfMemory(TraceSink& sink, const std::bad_alloc& failure) {
    if (sink.isTracing()) {
        writeTraceLine(sink, traceExceptionLine(failure.what()));
    }
}

SQLRETURN allocEnvironment(SQLHANDLE* output, Form form) {
    if (output == nullptr) {
        return SQL_ERROR;
    }
    std::unique_ptr<Environment> environment;
    try {
        environment = createEnvironment();
    } catch (const std::bad_alloc&) {
        *output = SQL_NULL_HANDLE;
        return SQL_ERROR;
    }
    const SQLHANDLE handle = environmentHandle(environment.get());
    if (environment->isTracing()) {
        const std::string variable = named("env", handle);
        const std::string call = form == Form::Handle
                                     ? "rc = SQLAllocHandle(" + traceHandleType(SQL_HANDLE_ENV) +
                                           ", NULL, &" + variable + ");"
                                     : "rc = SQLAllocEnv( &" + variable + ");";
        std::string text;
        addLine(text, traceEnterLine());
        addLine(text, "SQLRETURN rc = SQL_SUCCESS;");
        addLine(text, "SQLHANDLE " + variable + ";");
        addLine(text, call);
        environment->writeTrace(text);
        traceAllocated(*environment, handle, SQL_SUCCESS);
    }
    // Handed out only once nothing can fail any more.
    *output = environmentHandle(environment.release());
    return SQL_SUCCESS;
}

// The output argument of an allocation's call line, and the declaration
// that names it; an absent output is NULL and is never read.
struct OutputVariable {
    std::string declaration;
    std::string argument;
};

OutputVariable outputVariable(const char* kind, const SQLHANDLE* output) {
    if (output == nullptr) {
        return {"", "NULL"};
    }
    const std::string variable = named(kind, *output);
    return {"SQLHANDLE " + variable + ";", "&" + variable};
}

SQLRETURN allocConnection(SQLHANDLE input, SQLHANDLE* output, Form form) {
    if (input == SQL_NULL_HANDLE) {
        if (output != nullptr) {
            *output = SQL_NULL_HANDLE;
        }
        return SQL_INVALID_HANDLE;
    }
    Environment* environment = environmentOf(input);
    if (environment->isTracing()) {
        const OutputVariable out = outputVariable("dbc", output);
        const std::string call =
            form == Form::Handle
                ? "rc = SQLAllocHandle(" + traceHandleType(SQL_HANDLE_DBC) + ", " +
                      named("env", input) + ", " + out.argument + ");"
                : "rc = SQLAllocConnect(" + named("env", input) + ", " + out.argument + ");";
        environment->writeTrace(entryLines(out.declaration, call));
    }
    if (output == nullptr) {
        post(environment->diagnostics(), "HY009");
        return SQL_ERROR;
    }
    std::unique_ptr<ConnectionProxy> proxy;
    try {
        proxy = std::make_unique<ConnectionProxy>(environment);
    } catch (const std::bad_alloc& failure) {
        *output = SQL_NULL_HANDLE;
        traceOutOfMemory(*environment, failure);
        post(environment->diagnostics(), "HY001");
        return SQL_ERROR;
    }
    traceAllocated(*environment, connectionHandle(proxy.get()), SQL_SUCCESS);
    *output = connectionHandle(proxy.release());
    return SQL_SUCCESS;
}

SQLRETURN allocStatement(SQLHANDLE input, SQLHANDLE* output, Form form) {
    if (input == SQL_NULL_HANDLE) {
        if (output != nullptr) {
            *output = SQL_NULL_HANDLE;
        }
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy* proxy = proxyOf(input);
    Environment& environment = *proxy->environment();
    if (environment.isTracing()) {
        const OutputVariable out = outputVariable("stmt", output);
        const std::string call =
            form == Form::Handle
                ? "rc = SQLAllocHandle(" + traceHandleType(SQL_HANDLE_STMT) + ", " +
                      named("dbc", input) + ", " + out.argument + ");"
                : "rc = SQLAllocStmt(" + named("dbc", input) + ", " + out.argument + ");";
        environment.writeTrace(entryLines(out.declaration, call));
    }
    if (output == nullptr) {
        post(proxy->diagnostics(), "HY009");
        return SQL_ERROR;
    }
    std::unique_ptr<Statement> statement;
    try {
        statement.reset(proxy->createStatement());
    } catch (const std::bad_alloc& failure) {
        *output = SQL_NULL_HANDLE;
        traceOutOfMemory(environment, failure);
        post(proxy->diagnostics(), "HY001");
        return SQL_ERROR;
    }
    SQLRETURN rc = SQL_SUCCESS;
    if (!statement) {
        post(proxy->diagnostics(), "HY000", kNoStatement);
        rc = SQL_ERROR;
    }
    traceAllocated(environment, statementHandle(statement.get()), rc);
    *output = statementHandle(statement.release());
    return rc;
}

SQLRETURN allocDescriptor(SQLHANDLE input, SQLHANDLE* output) {
    if (input == SQL_NULL_HANDLE) {
        if (output != nullptr) {
            *output = SQL_NULL_HANDLE;
        }
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy* proxy = proxyOf(input);
    Environment& environment = *proxy->environment();
    if (environment.isTracing()) {
        environment.writeTrace(
            entryLines("", "rc = SQLAllocHandle(" + traceHandleType(SQL_HANDLE_DESC) + ", " +
                               named("dbc", input) + ", " + named("oh", output) + ");"));
    }
    if (output == nullptr) {
        post(proxy->diagnostics(), "HY009");
        return SQL_ERROR;
    }
    std::unique_ptr<Descriptor> descriptor;
    try {
        descriptor.reset(proxy->createDescriptor());
    } catch (const std::bad_alloc& failure) {
        *output = SQL_NULL_HANDLE;
        traceOutOfMemory(environment, failure);
        post(proxy->diagnostics(), "HY001");
        return SQL_ERROR;
    }
    SQLRETURN rc = SQL_SUCCESS;
    if (!descriptor) {
        post(proxy->diagnostics(), "HY000", kNoDescriptor);
        rc = SQL_ERROR;
    }
    traceAllocated(environment, descriptorHandle(descriptor.get()), rc);
    *output = descriptorHandle(descriptor.release());
    return rc;
}

SQLRETURN freeEnvironment(SQLHANDLE handle, Form form) {
    if (handle == SQL_NULL_HANDLE) {
        return SQL_INVALID_HANDLE;
    }
    Environment* environment = environmentOf(handle);
    if (environment->isTracing()) {
        environment->writeTrace(entryLines(
            "", form == Form::Handle ? "rc = SQLFreeHandle(" + traceHandleType(SQL_HANDLE_ENV) +
                                           ", " + named("env", handle) + ");"
                                     : "rc = SQLFreeEnv(" + named("env", handle) + ");"));
    }
    // Its connection handles still point at it.
    if (ConnectionProxy::handleCount(environment) > 0) {
        post(environment->diagnostics(), "HY010");
        if (environment->isTracing()) {
            writeTraceLine(*environment, traceReturnLine(SQL_ERROR));
        }
        return SQL_ERROR;
    }
    delete environment;
    return SQL_SUCCESS;
}

SQLRETURN freeConnection(SQLHANDLE handle, Form form) {
    if (handle == SQL_NULL_HANDLE) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy* proxy = proxyOf(handle);
    Environment& environment = *proxy->environment();
    if (environment.isTracing()) {
        environment.writeTrace(entryLines(
            "", form == Form::Handle ? "rc = SQLFreeHandle(" + traceHandleType(SQL_HANDLE_DBC) +
                                           ", " + named("dbc", handle) + ");"
                                     : "rc = SQLFreeConnect(" + named("dbc", handle) + ");"));
    }
    delete proxy;
    traceReleased(environment, SQL_SUCCESS);
    return SQL_SUCCESS;
}

SQLRETURN freeStatementHandle(SQLHANDLE handle) {
    if (handle == SQL_NULL_HANDLE) {
        return SQL_INVALID_HANDLE;
    }
    Statement* statement = statementOf(handle);
    Environment& environment = *statement->environment();
    if (environment.isTracing()) {
        environment.writeTrace(entryLines("", "rc = SQLFreeHandle(" +
                                                  traceHandleType(SQL_HANDLE_STMT) + ", " +
                                                  named("stmt", handle) + ");"));
    }
    // The handle goes whatever the statement answers.
    statement->freeStmt(SQL_DROP);
    delete statement;
    traceReleased(environment, SQL_SUCCESS);
    return SQL_SUCCESS;
}

SQLRETURN freeDescriptorHandle(SQLHANDLE handle) {
    if (handle == SQL_NULL_HANDLE) {
        return SQL_INVALID_HANDLE;
    }
    Descriptor* descriptor = descriptorOf(handle);
    Environment& environment = *descriptor->connection()->environment();
    if (environment.isTracing()) {
        environment.writeTrace(entryLines("", "rc = SQLFreeHandle(" +
                                                  traceHandleType(SQL_HANDLE_DESC) + ", " +
                                                  named("desc", handle) + ");"));
    }
    // A statement's own descriptor goes with its statement, never alone.
    if (descriptor->kind() != DescriptorContext::Explicit) {
        post(descriptor->diagnostics(), "HY017");
        if (environment.isTracing()) {
            writeTraceLine(environment, traceReturnLine(SQL_ERROR));
        }
        return SQL_ERROR;
    }
    delete descriptor;
    traceReleased(environment, SQL_SUCCESS);
    return SQL_SUCCESS;
}

}  // namespace

void postOnHandle(SQLSMALLINT handleType, SQLHANDLE handle, const char* state) {
    if (handle == SQL_NULL_HANDLE) {
        return;
    }
    switch (handleType) {
        case SQL_HANDLE_ENV:
            post(environmentOf(handle)->diagnostics(), state);
            break;
        case SQL_HANDLE_DBC:
            post(proxyOf(handle)->diagnostics(), state);
            break;
        case SQL_HANDLE_STMT:
            post(statementOf(handle)->diagnostics(), state);
            break;
        case SQL_HANDLE_DESC:
            post(descriptorOf(handle)->diagnostics(), state);
            break;
        default:
            break;
    }
}

namespace calls {

SQLRETURN allocHandle(SQLSMALLINT handleType, SQLHANDLE input, SQLHANDLE* output) {
    switch (handleType) {
        case SQL_HANDLE_ENV:
            return allocEnvironment(output, Form::Handle);
        case SQL_HANDLE_DBC:
            return allocConnection(input, output, Form::Handle);
        case SQL_HANDLE_STMT:
            return allocStatement(input, output, Form::Handle);
        case SQL_HANDLE_DESC:
            return allocDescriptor(input, output);
        default:
            // No object of an unknown kind: the caller must not take the
            // output for a handle.
            if (output != nullptr) {
                *output = SQL_NULL_HANDLE;
            }
            return SQL_ERROR;
    }
}

SQLRETURN allocEnv(SQLHENV* output) {
    return allocEnvironment(output, Form::Odbc2);
}

SQLRETURN allocConnect(SQLHENV environment, SQLHDBC* output) {
    return allocConnection(environment, output, Form::Odbc2);
}

SQLRETURN allocStmt(SQLHDBC connection, SQLHSTMT* output) {
    return allocStatement(connection, output, Form::Odbc2);
}

SQLRETURN freeHandle(SQLSMALLINT handleType, SQLHANDLE handle) {
    switch (handleType) {
        case SQL_HANDLE_ENV:
            return freeEnvironment(handle, Form::Handle);
        case SQL_HANDLE_DBC:
            return freeConnection(handle, Form::Handle);
        case SQL_HANDLE_STMT:
            return freeStatementHandle(handle);
        case SQL_HANDLE_DESC:
            return freeDescriptorHandle(handle);
        default:
            return SQL_ERROR;
    }
}

SQLRETURN freeEnv(SQLHENV environment) {
    return freeEnvironment(environment, Form::Odbc2);
}

SQLRETURN freeConnect(SQLHDBC connection) {
    return freeConnection(connection, Form::Odbc2);
}

SQLRETURN freeStmt(SQLHSTMT handle, SQLUSMALLINT option) {
    if (handle == SQL_NULL_HANDLE) {
        return SQL_INVALID_HANDLE;
    }
    Statement* statement = statementOf(handle);
    Environment& environment = *statement->environment();
    if (environment.isTracing()) {
        environment.writeTrace(entryLines("", "rc = SQLFreeStmt(" + named("stmt", handle) + ", " +
                                                  traceFreeStmtOption(option) + ");"));
    }
    const SQLRETURN rc = statement->freeStmt(option);
    if (option == SQL_DROP && SQL_SUCCEEDED(rc)) {
        delete statement;
        traceReleased(environment, rc);
        return rc;
    }
    if (environment.isTracing()) {
        writeTraceLine(environment, traceReturnLine(rc));
    }
    return rc;
}

HandlePoster allocationPoster(SQLSMALLINT handleType, SQLHANDLE input) {
    switch (handleType) {
        case SQL_HANDLE_DBC:
            return {SQL_HANDLE_ENV, input};
        case SQL_HANDLE_STMT:
        case SQL_HANDLE_DESC:
            return {SQL_HANDLE_DBC, input};
        default:
            return {0, SQL_NULL_HANDLE};
    }
}

}  // namespace calls
