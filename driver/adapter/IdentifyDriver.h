#pragma once

#include <sql.h>

#include <memory>

class Connection;
class Environment;

// The connection object for a data source name (SQLConnect) or connection
// text (SQLDriverConnect), `length` being its ODBC length: always a new,
// unconnected TarvexConnection; the "Type" found is only traced.
std::unique_ptr<Connection> identifyDriver(Environment* environment, const SQLCHAR* text,
                                           SQLSMALLINT length);
