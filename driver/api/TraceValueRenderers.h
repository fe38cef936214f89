#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>

// Renderers of attribute, information, descriptor and diagnostic values for
// the call trace. Set forms take the value as the caller passed it (an
// integer carried in the pointer, or a pointer to text). Out forms take the
// output pointer after the call and read the value at the width the driver
// writes for that attribute, item or field; attributes they do not know are
// never read. Text is read within `length` bytes as traceString reads it
// (SQL_NTS: up to the NUL); the W forms read wide characters within the same
// byte count. A null pointer where a value or text is read gives "NULL".

std::string traceEnvAttributeValue(SQLINTEGER attribute, SQLPOINTER value);
std::string traceEnvAttributeValueOut(SQLINTEGER attribute, const void* valuePtr);

std::string traceConnectAttributeValue(SQLINTEGER attribute, SQLPOINTER value,
                                       SQLINTEGER length = SQL_NTS);
std::string traceConnectAttributeValueW(SQLINTEGER attribute, SQLPOINTER value,
                                        SQLINTEGER length = SQL_NTS);
std::string traceConnectAttributeValueOut(SQLINTEGER attribute, SQLPOINTER valuePtr,
                                          SQLINTEGER bufferLength = SQL_NTS);
std::string traceConnectAttributeValueOutW(SQLINTEGER attribute, SQLPOINTER valuePtr,
                                           SQLINTEGER bufferLength = SQL_NTS);

std::string traceInfoValue(SQLUSMALLINT infoType, const void* infoValue,
                           SQLINTEGER bufferLength = SQL_NTS);
std::string traceInfoValueW(SQLUSMALLINT infoType, const void* infoValue,
                            SQLINTEGER bufferLength = SQL_NTS);

std::string traceStatementAttributeValue(SQLINTEGER attribute, SQLPOINTER value);
std::string traceStatementAttributeValueOut(SQLINTEGER attribute, SQLPOINTER valuePtr);

std::string traceDescriptorFieldValue(SQLSMALLINT field, SQLPOINTER value,
                                      SQLINTEGER length = SQL_NTS);
std::string traceDescriptorFieldValueW(SQLSMALLINT field, SQLPOINTER value,
                                       SQLINTEGER length = SQL_NTS);
std::string traceDescriptorFieldValueOut(SQLSMALLINT field, SQLPOINTER valuePtr,
                                         SQLINTEGER bufferLength = SQL_NTS);
std::string traceDescriptorFieldValueOutW(SQLSMALLINT field, SQLPOINTER valuePtr,
                                          SQLINTEGER bufferLength = SQL_NTS);

std::string traceDiagFieldValue(SQLSMALLINT identifier, const void* diagInfo,
                                SQLINTEGER bufferLength = SQL_NTS);
