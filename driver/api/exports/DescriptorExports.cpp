// Descriptor fields and records, and copying descriptors.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "driver/api/DescriptorCalls.h"
#include "platform/ExportBoundary.h"
#include "driver/api/ExportMacros.h"
#include "driver/api/HandleCalls.h"

MORVANEX_EXPORT SQLRETURN SQL_API SQLCopyDesc(SQLHDESC SourceDescHandle,
                                              SQLHDESC TargetDescHandle) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DESC, TargetDescHandle},
                          [&] { return calls::copyDesc(SourceDescHandle, TargetDescHandle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetDescField(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                  SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                                  SQLINTEGER BufferLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DESC, DescriptorHandle}, [&] {
        return calls::setDescField(DescriptorHandle, RecNumber, FieldIdentifier, Value,
                                   BufferLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetDescFieldW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                   SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                                   SQLINTEGER BufferLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DESC, DescriptorHandle}, [&] {
        return calls::setDescFieldW(DescriptorHandle, RecNumber, FieldIdentifier, Value,
                                    BufferLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetDescField(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                  SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                                  SQLINTEGER BufferLength,
                                                  SQLINTEGER* StringLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DESC, DescriptorHandle}, [&] {
        return calls::getDescField(DescriptorHandle, RecNumber, FieldIdentifier, Value,
                                   BufferLength, StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetDescFieldW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                   SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                                   SQLINTEGER BufferLength,
                                                   SQLINTEGER* StringLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DESC, DescriptorHandle}, [&] {
        return calls::getDescFieldW(DescriptorHandle, RecNumber, FieldIdentifier, Value,
                                    BufferLength, StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetDescRec(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                SQLSMALLINT Type, SQLSMALLINT SubType,
                                                SQLLEN Length, SQLSMALLINT Precision,
                                                SQLSMALLINT Scale, SQLPOINTER Data,
                                                SQLLEN* StringLength, SQLLEN* Indicator) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DESC, DescriptorHandle}, [&] {
        return calls::setDescRec(DescriptorHandle, RecNumber, Type, SubType, Length, Precision,
                                 Scale, Data, StringLength, Indicator);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetDescRec(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                SQLCHAR* Name, SQLSMALLINT BufferLength,
                                                SQLSMALLINT* StringLength, SQLSMALLINT* Type,
                                                SQLSMALLINT* SubType, SQLLEN* Length,
                                                SQLSMALLINT* Precision, SQLSMALLINT* Scale,
                                                SQLSMALLINT* Nullable) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DESC, DescriptorHandle}, [&] {
        return calls::getDescRec(DescriptorHandle, RecNumber, Name, BufferLength, StringLength,
                                 Type, SubType, Length, Precision, Scale, Nullable);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetDescRecW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                 SQLWCHAR* Name, SQLSMALLINT BufferLength,
                                                 SQLSMALLINT* StringLength, SQLSMALLINT* Type,
                                                 SQLSMALLINT* SubType, SQLLEN* Length,
                                                 SQLSMALLINT* Precision, SQLSMALLINT* Scale,
                                                 SQLSMALLINT* Nullable) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DESC, DescriptorHandle}, [&] {
        return calls::getDescRecW(DescriptorHandle, RecNumber, Name, BufferLength, StringLength,
                                  Type, SubType, Length, Precision, Scale, Nullable);
    });
}
