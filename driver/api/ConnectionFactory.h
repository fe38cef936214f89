#pragma once

#include <sql.h>

#include <memory>

class Connection;
class Environment;

// Where the connect entry points get the connection object for a data
// source: a function of the environment and the connection text (the data
// source name of SQLConnect or the connection string of SQLDriverConnect,
// UTF-8, with its length or SQL_NTS). It returns a new, unconnected
// connection, or null when no connection class serves the text; it posts
// nothing.
using ConnectionFactory = std::unique_ptr<Connection> (*)(Environment* environment,
                                                          const SQLCHAR* text, SQLSMALLINT length);

// A connection through the factory in place: by default the source
// adapter's, which makes the MySQL face over the DSN's adapted driver.
std::unique_ptr<Connection> makeConnection(Environment* environment, const SQLCHAR* text,
                                           SQLSMALLINT length);

// Puts `factory` in place (null restores the default) and gives back the
// one it replaces.
ConnectionFactory setConnectionFactory(ConnectionFactory factory);
