#pragma once

#include <sql.h>

#include <cstdint>
#include <string_view>

class DiagnosticHeader;

// What a descriptor record asks of the descriptor that holds it and, through
// it, of the connection: the descriptor's kind and diagnostics area, the
// call trace, and the connection's text settings and default C types. The
// descriptor implements it; tests supply their own.
class DescriptorContext {
  public:
    // SQL_DESC_ kinds of descriptor: explicitly allocated, APD, ARD, IPD, IRD.
    enum Kind : SQLINTEGER { Explicit = 0, Apd = 1, Ard = 2, Ipd = 3, Ird = 4 };

    virtual ~DescriptorContext() = default;

    virtual SQLINTEGER kind() const = 0;
    virtual DiagnosticHeader& diagnostics() = 0;

    virtual bool isTracing() const = 0;
    // Text holding whole lines, written in one piece.
    virtual void writeTrace(std::string_view text) = 0;

    // Text columns are reported with the Unicode SQL types.
    virtual bool isUnicodeTextTypes() const = 0;
    // CFStringEncoding values of the data source's text and of the text the
    // application receives.
    virtual std::uint32_t databaseEncoding() const = 0;
    virtual std::uint32_t receiveEncoding() const = 0;

    // The application type that SQL_C_DEFAULT stands for with an SQL type.
    virtual SQLSMALLINT defaultCType(SQLSMALLINT sqlType) const = 0;
};
