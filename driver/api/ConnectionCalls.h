#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// The bodies of the connection entry points: SQLConnect, SQLDriverConnect,
// their W forms, SQLDisconnect, SQLEndTran and SQLTransact. The connect
// bodies obtain a new connection for the text (makeConnection), attach it
// to the handle, which replays the attributes set so far, and only then
// forward the connect. A null handle gives SQL_INVALID_HANDLE.
namespace calls {

SQLRETURN connect(SQLHDBC connection, SQLCHAR* server, SQLSMALLINT serverLength, SQLCHAR* user,
                  SQLSMALLINT userLength, SQLCHAR* authentication,
                  SQLSMALLINT authenticationLength);
SQLRETURN connectW(SQLHDBC connection, SQLWCHAR* server, SQLSMALLINT serverLength, SQLWCHAR* user,
                   SQLSMALLINT userLength, SQLWCHAR* authentication,
                   SQLSMALLINT authenticationLength);
SQLRETURN driverConnect(SQLHDBC connection, SQLHWND window, SQLCHAR* connectionText,
                        SQLSMALLINT connectionTextLength, SQLCHAR* outText,
                        SQLSMALLINT bufferLength, SQLSMALLINT* outLength, SQLUSMALLINT completion);
// BufferLength and the returned length count wide characters.
SQLRETURN driverConnectW(SQLHDBC connection, SQLHWND window, SQLWCHAR* connectionText,
                         SQLSMALLINT connectionTextLength, SQLWCHAR* outText,
                         SQLSMALLINT bufferLength, SQLSMALLINT* outLength, SQLUSMALLINT completion);
SQLRETURN disconnect(SQLHDBC connection);
SQLRETURN endTran(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT completionType);
// A connection handle, when given, is the one completed (as the ODBC
// reference has it); else every connection of the environment.
SQLRETURN transact(SQLHENV environment, SQLHDBC connection, SQLUSMALLINT completionType);

}  // namespace calls
