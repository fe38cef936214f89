#pragma once

#include <sql.h>
#include <sqlext.h>

class ConnectionProxy;
class Descriptor;
class Environment;
class Statement;

// A handle is the address of its object, always taken through these base
// classes so that converting back gives the same object.
// Inline: every call converts one.
inline Environment* environmentOf(SQLHANDLE handle) {
    return static_cast<Environment*>(handle);
}
inline ConnectionProxy* proxyOf(SQLHANDLE handle) {
    return static_cast<ConnectionProxy*>(handle);
}
inline Statement* statementOf(SQLHANDLE handle) {
    return static_cast<Statement*>(handle);
}
inline Descriptor* descriptorOf(SQLHANDLE handle) {
    return static_cast<Descriptor*>(handle);
}
inline SQLHANDLE environmentHandle(Environment* environment) {
    return environment;
}
inline SQLHANDLE connectionHandle(ConnectionProxy* proxy) {
    return proxy;
}
inline SQLHANDLE statementHandle(Statement* statement) {
    return statement;
}
inline SQLHANDLE descriptorHandle(Descriptor* descriptor) {
    return descriptor;
}

// Posts `state` (native 0, no message, column and row -1) in front of the
// diagnostics of a handle of `handleType`; nothing for a null handle or a
// type outside 1 to 4.
void postOnHandle(SQLSMALLINT handleType, SQLHANDLE handle, const char* state);

// What an export hands exportBoundary to post on its handle.
struct HandlePoster {
    SQLSMALLINT handleType;
    SQLHANDLE handle;
    void operator()(const char* state) const { postOnHandle(handleType, handle, state); }
};

// The bodies of the allocation and release entry points. Each checks its
// handles for null, traces the call through the handle's environment,
// creates or destroys the object and returns the result.
namespace calls {

SQLRETURN allocHandle(SQLSMALLINT handleType, SQLHANDLE input, SQLHANDLE* output);
SQLRETURN allocEnv(SQLHENV* output);
SQLRETURN allocConnect(SQLHENV environment, SQLHDBC* output);
SQLRETURN allocStmt(SQLHDBC connection, SQLHSTMT* output);

// Once a body has released its handle it lets no exception out, so a
// poster on that handle only ever sees a live object.
SQLRETURN freeHandle(SQLSMALLINT handleType, SQLHANDLE handle);
SQLRETURN freeEnv(SQLHENV environment);
SQLRETURN freeConnect(SQLHDBC connection);
SQLRETURN freeStmt(SQLHSTMT statement, SQLUSMALLINT option);

// Where SQLAllocHandle's boundary posts: the environment for a connection,
// the connection handle for a statement or descriptor, nowhere else.
HandlePoster allocationPoster(SQLSMALLINT handleType, SQLHANDLE input);

}  // namespace calls
