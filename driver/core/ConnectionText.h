#pragma once

#include <sql.h>
#include <sqlext.h>
#include <odbcinst.h>

#include <map>
#include <string>
#include <string_view>

// Connection text comes in two shapes: the semicolon form of SQLDriverConnect
// ("K=V;K=V;") and the installer's attribute list (each "K=V" ended by a NUL,
// the list ended by an empty item). A text with an SQLSMALLINT length is in
// the semicolon form when the length is SQL_NTS, when it equals the length of
// the text's first NUL-terminated stretch, or when that stretch holds a ";";
// otherwise it is an attribute list. A negative length other than SQL_NTS
// counts as SQL_NTS, and no routine reads past a given length.
//
// A value may be enclosed in braces ("PWD={a;b}") and then holds ";" and
// "=", with "}}" standing for "}". Every reading (the connect's lookups, the
// parse and the trace mask) works on the text in semicolon form, split into
// items the same way, at most its first 4,095 bytes.
//
// Wide texts are narrowed under the current LC_CTYPE locale; a character
// that cannot be converted ends the text. Narrow texts are read as they are.

// Keys keep their case and compare bytewise; a repeated key keeps its first
// value.
using ConnectionStringMap = std::map<std::string, std::string>;

// The text in semicolon form.
std::string makeConnectionString(const char* text, SQLSMALLINT length);
std::string makeConnectionString(const SQLCHAR* text, SQLSMALLINT length);
std::string makeConnectionStringW(const SQLWCHAR* text, SQLSMALLINT length);

// The text in semicolon form for the trace, every item beginning with "PWD"
// (any case) replaced by "PWD=****;".
std::string maskConnectionString(const char* text, SQLSMALLINT length);
std::string maskConnectionString(const SQLCHAR* text, SQLSMALLINT length);
std::string maskConnectionStringW(const SQLWCHAR* text);

// Adds the text's key=value pairs to `map`. An unbraced value ends at the
// next "=" ("K=x=y" gives x); an item without "=" has an empty value.
void parseConnectionString(const char* text, SQLSMALLINT length, ConnectionStringMap& map);
void parseConnectionString(const std::string& text, ConnectionStringMap& map);
void parseConnectionStringW(const SQLWCHAR* text, SQLSMALLINT length, ConnectionStringMap& map);

// A new connection string with `key` (matched without regard to case) set to
// `value`, every entry written by connectionTextItem; in map order. An empty
// key changes nothing.
std::string setConnectionStringValue(const std::string& connectionString, const std::string& key,
                                     const std::string& value);

// The value of the first item that begins with `key` (without regard to
// case, so DSN also matches DSNX=1): the item's text behind the key and one
// more character, without its braces. Empty when nothing matches.
std::string getAttributeValue(const std::string& text, const SQLWCHAR* key);
std::string getAttributeValueW(const SQLWCHAR* text, SQLSMALLINT length, const SQLWCHAR* key);

// A value as the driver writes it into connection text: in braces, with "}"
// doubled, when it holds ";" or a brace, so that it can neither end its item
// early nor add items of its own.
std::string connectionTextValue(std::string_view value);
// "key=value;" with the value written by connectionTextValue.
std::string connectionTextItem(std::string_view key, std::string_view value);

// A key of a data source in odbc.ini, read from the system scope when the
// system file defines the data source, else from the user scope; the
// installer's configuration mode is left at that scope. Empty when absent.
std::string getDsnValue(const std::string& dsn, const SQLWCHAR* key);
// The same read in the current configuration mode, which stays set.
std::string getDsnValueW(const SQLWCHAR* dsn, const SQLWCHAR* key);

// ODBC_SYSTEM_DSN when the system odbc.ini names a "Driver" for the data
// source, else ODBC_USER_DSN; the answer is also left set as the mode.
UWORD selectDsnConfigModeW(const SQLWCHAR* dsn);
UWORD selectDsnConfigMode(const char* dsn);
