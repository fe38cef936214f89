// Attributes, options, information and descriptors.
#include "pemberix/ExportCall.h"
#include "pemberix/ForwardedKeys.h"
#include "pemberix/StringFields.h"
#include "pemberix/WideCalls.h"

#include <sqlext.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>

using namespace pemberix;

namespace {

// ODBC 2 options reach the driver as the ODBC 3 attributes of the same
// numbers; text options are terminated strings.
constexpr SQLINTEGER kOptionStringLength = SQL_MAX_OPTION_STRING_LENGTH;

// The driver's log switches set from code: in a process running as root
// they stay off as in its connection text. The value is read as the driver
// reads it, an integer that turns the log on above zero.
std::optional<SQLRETURN> refusedLogSwitch(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value) {
    const auto asRead = static_cast<SQLINTEGER>(reinterpret_cast<std::intptr_t>(value));
    if (geteuid() != 0 || asRead <= 0) {
        return std::nullopt;
    }
    for (const pemberix_keys::KeyRow& row : pemberix_keys::kRows) {
        if (row.attribute != 0 && row.attribute == attribute) {
            postRecord(SQL_HANDLE_DBC, dbc,
                       ownRecord("HY024", 0,
                                 std::string("pemberix.so keeps the PostgreSQL driver's logs off "
                                             "in a process running as root: its ") +
                                     row.name + " attribute takes 0 only"));
            return SQL_ERROR;
        }
    }
    return std::nullopt;
}

}  // namespace

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute,
                                                SQLPOINTER Value, SQLINTEGER BufferLength,
                                                SQLINTEGER* StringLength) {
    return runExport(SQL_HANDLE_ENV, EnvironmentHandle, [&] {
        return forward(SQL_HANDLE_ENV, EnvironmentHandle, pg().SQLGetEnvAttr, EnvironmentHandle,
                       Attribute, Value, BufferLength, StringLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute,
                                                SQLPOINTER Value, SQLINTEGER StringLength) {
    return runExport(SQL_HANDLE_ENV, EnvironmentHandle, [&] {
        return forward(SQL_HANDLE_ENV, EnvironmentHandle, pg().SQLSetEnvAttr, EnvironmentHandle,
                       Attribute, Value, StringLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute,
                                                    SQLPOINTER Value, SQLINTEGER BufferLength,
                                                    SQLINTEGER* StringLength) {
    return runExport(SQL_HANDLE_DBC, ConnectionHandle, [&] {
        return forward(SQL_HANDLE_DBC, ConnectionHandle, pg().SQLGetConnectAttr, ConnectionHandle,
                       Attribute, Value, BufferLength, StringLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC hdbc, SQLINTEGER fAttribute,
                                                     SQLPOINTER rgbValue, SQLINTEGER cbValueMax,
                                                     SQLINTEGER* pcbValue) {
    return runExport(SQL_HANDLE_DBC, hdbc, [&] {
        return getConnectAttrW(hdbc, fAttribute, rgbValue, cbValueMax, pcbValue);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute,
                                                    SQLPOINTER Value, SQLINTEGER StringLength) {
    return runExport(SQL_HANDLE_DBC, ConnectionHandle, [&] {
        if (const auto refused = refusedLogSwitch(ConnectionHandle, Attribute, Value)) {
            return *refused;
        }
        return forward(SQL_HANDLE_DBC, ConnectionHandle, pg().SQLSetConnectAttr, ConnectionHandle,
                       Attribute, Value, StringLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC hdbc, SQLINTEGER fAttribute,
                                                     SQLPOINTER rgbValue, SQLINTEGER cbValue) {
    return runExport(SQL_HANDLE_DBC, hdbc, [&] {
        if (const auto refused = refusedLogSwitch(hdbc, fAttribute, rgbValue)) {
            return *refused;
        }
        return setConnectAttrW(hdbc, fAttribute, rgbValue, cbValue);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetConnectOption(SQLHDBC ConnectionHandle, SQLUSMALLINT Option,
                                                      SQLPOINTER Value) {
    return runExport(SQL_HANDLE_DBC, ConnectionHandle, [&] {
        const SQLINTEGER length = isTextConnectAttribute(Option) ? kOptionStringLength : 0;
        return forward(SQL_HANDLE_DBC, ConnectionHandle, pg().SQLGetConnectAttr, ConnectionHandle,
                       static_cast<SQLINTEGER>(Option), Value, length,
                       static_cast<SQLINTEGER*>(nullptr));
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetConnectOption(SQLHDBC ConnectionHandle, SQLUSMALLINT Option,
                                                      SQLULEN Value) {
    return runExport(SQL_HANDLE_DBC, ConnectionHandle, [&] {
        const SQLINTEGER length = isTextConnectAttribute(Option) ? SQL_NTS : 0;
        return forward(SQL_HANDLE_DBC, ConnectionHandle, pg().SQLSetConnectAttr, ConnectionHandle,
                       static_cast<SQLINTEGER>(Option), reinterpret_cast<SQLPOINTER>(Value),
                       length);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetConnectOptionW(SQLHDBC hdbc, SQLUSMALLINT fOption,
                                                       SQLULEN vParam) {
    return runExport(SQL_HANDLE_DBC, hdbc,
                     [&] { return setConnectOptionW(hdbc, fOption, vParam); });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute,
                                                 SQLPOINTER Value, SQLINTEGER BufferLength,
                                                 SQLINTEGER* StringLength) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLGetStmtAttr, StatementHandle,
                       Attribute, Value, BufferLength, StringLength);
    });
}

// Statement attributes hold no text: the wide forms pass through.
PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER fAttribute,
                                                  SQLPOINTER rgbValue, SQLINTEGER cbValueMax,
                                                  SQLINTEGER* pcbValue) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLGetStmtAttrW, hstmt, fAttribute, rgbValue,
                       cbValueMax, pcbValue);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute,
                                                 SQLPOINTER Value, SQLINTEGER StringLength) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLSetStmtAttr, StatementHandle,
                       Attribute, Value, StringLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER fAttribute,
                                                  SQLPOINTER rgbValue, SQLINTEGER cbValueMax) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLSetStmtAttrW, hstmt, fAttribute, rgbValue,
                       cbValueMax);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetStmtOption(SQLHSTMT StatementHandle, SQLUSMALLINT Option,
                                                   SQLPOINTER Value) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLGetStmtAttr, StatementHandle,
                       static_cast<SQLINTEGER>(Option), Value, kOptionStringLength,
                       static_cast<SQLINTEGER*>(nullptr));
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetStmtOption(SQLHSTMT StatementHandle, SQLUSMALLINT Option,
                                                   SQLULEN Value) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLSetStmtAttr, StatementHandle,
                       static_cast<SQLINTEGER>(Option), reinterpret_cast<SQLPOINTER>(Value),
                       SQLINTEGER{0});
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetInfo(SQLHDBC ConnectionHandle, SQLUSMALLINT InfoType,
                                             SQLPOINTER InfoValue, SQLSMALLINT BufferLength,
                                             SQLSMALLINT* StringLength) {
    return runExport(SQL_HANDLE_DBC, ConnectionHandle, [&] {
        return getInfo(ConnectionHandle, InfoType, InfoValue, BufferLength, StringLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetInfoW(SQLHDBC hdbc, SQLUSMALLINT fInfoType,
                                              SQLPOINTER rgbInfoValue, SQLSMALLINT cbInfoValueMax,
                                              SQLSMALLINT* pcbInfoValue) {
    return runExport(SQL_HANDLE_DBC, hdbc, [&] {
        return getInfoW(hdbc, fInfoType, rgbInfoValue, cbInfoValueMax, pcbInfoValue);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetDescField(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                  SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                                  SQLINTEGER BufferLength,
                                                  SQLINTEGER* StringLength) {
    return runExport(SQL_HANDLE_DESC, DescriptorHandle, [&] {
        return forward(SQL_HANDLE_DESC, DescriptorHandle, pg().SQLGetDescField, DescriptorHandle,
                       RecNumber, FieldIdentifier, Value, BufferLength, StringLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetDescFieldW(SQLHDESC hdesc, SQLSMALLINT iRecord,
                                                   SQLSMALLINT iField, SQLPOINTER rgbValue,
                                                   SQLINTEGER cbValueMax, SQLINTEGER* pcbValue) {
    return runExport(SQL_HANDLE_DESC, hdesc, [&] {
        return getDescFieldW(hdesc, iRecord, iField, rgbValue, cbValueMax, pcbValue);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetDescField(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                  SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                                  SQLINTEGER BufferLength) {
    return runExport(SQL_HANDLE_DESC, DescriptorHandle, [&] {
        return forward(SQL_HANDLE_DESC, DescriptorHandle, pg().SQLSetDescField, DescriptorHandle,
                       RecNumber, FieldIdentifier, Value, BufferLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetDescRec(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                SQLCHAR* Name, SQLSMALLINT BufferLength,
                                                SQLSMALLINT* StringLength, SQLSMALLINT* Type,
                                                SQLSMALLINT* SubType, SQLLEN* Length,
                                                SQLSMALLINT* Precision, SQLSMALLINT* Scale,
                                                SQLSMALLINT* Nullable) {
    return runExport(SQL_HANDLE_DESC, DescriptorHandle, [&] {
        return forward(SQL_HANDLE_DESC, DescriptorHandle, pg().SQLGetDescRec, DescriptorHandle,
                       RecNumber, Name, BufferLength, StringLength, Type, SubType, Length,
                       Precision, Scale, Nullable);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetDescRecW(SQLHDESC hdesc, SQLSMALLINT iRecord,
                                                 SQLWCHAR* szName, SQLSMALLINT cbNameMax,
                                                 SQLSMALLINT* pcbName, SQLSMALLINT* pfType,
                                                 SQLSMALLINT* pfSubType, SQLLEN* pLength,
                                                 SQLSMALLINT* pPrecision, SQLSMALLINT* pScale,
                                                 SQLSMALLINT* pNullable) {
    return runExport(SQL_HANDLE_DESC, hdesc, [&] {
        return getDescRecW(hdesc, iRecord, szName, cbNameMax, pcbName, pfType, pfSubType, pLength,
                           pPrecision, pScale, pNullable);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetDescRec(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                SQLSMALLINT Type, SQLSMALLINT SubType,
                                                SQLLEN Length, SQLSMALLINT Precision,
                                                SQLSMALLINT Scale, SQLPOINTER Data,
                                                SQLLEN* StringLength, SQLLEN* Indicator) {
    return runExport(SQL_HANDLE_DESC, DescriptorHandle, [&] {
        return forward(SQL_HANDLE_DESC, DescriptorHandle, pg().SQLSetDescRec, DescriptorHandle,
                       RecNumber, Type, SubType, Length, Precision, Scale, Data, StringLength,
                       Indicator);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetDescRecW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                 SQLSMALLINT Type, SQLSMALLINT SubType,
                                                 SQLLEN Length, SQLSMALLINT Precision,
                                                 SQLSMALLINT Scale, SQLPOINTER Data,
                                                 SQLLEN* StringLength, SQLLEN* Indicator) {
    return runExport(SQL_HANDLE_DESC, DescriptorHandle, [&] {
        return forward(SQL_HANDLE_DESC, DescriptorHandle, pg().SQLSetDescRecW, DescriptorHandle,
                       RecNumber, Type, SubType, Length, Precision, Scale, Data, StringLength,
                       Indicator);
    });
}
