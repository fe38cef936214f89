#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/core/DescriptorContext.h"
#include "driver/core/DiagnosticHeader.h"

class Connection;
class DescriptorRecord;
class Statement;

// The object behind a descriptor handle and behind the four descriptors of
// every statement (APD, ARD, IPD, IRD). Holds the header fields and the
// records, numbered from 0 (the bookmark record), and carries the row
// binding arithmetic: where row i of a bound column lives, and how an ARD
// converts one published IRD row into the application's buffers.
//
// An explicit descriptor (kind 0) may be the current APD or ARD of several
// statements. Each of them registers with attachStatement while it uses the
// descriptor and unregisters with detachStatement when it stops; when the
// descriptor is destroyed it sends every statement still registered back to
// its implicit descriptor (Statement::detachDescriptor).
class Descriptor : public DescriptorContext {
  public:
    // `connection` owns the descriptor and must outlive it.
    Descriptor(Connection* connection, SQLINTEGER kind);
    ~Descriptor() override;

    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    // --- Plumbing (DescriptorContext) ----------------------------------------
    bool isTracing() const override;
    void writeTrace(std::string_view text) override;
    DiagnosticHeader& diagnostics() override { return diagnostics_; }
    SQLINTEGER kind() const override { return kind_; }
    bool isUnicodeTextTypes() const override;
    std::uint32_t databaseEncoding() const override;
    std::uint32_t receiveEncoding() const override;
    SQLSMALLINT defaultCType(SQLSMALLINT sqlType) const override;
    virtual Connection* connection() const { return connection_; }

    // --- Diagnostics on the descriptor handle ----------------------------------
    virtual SQLRETURN getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                                 SQLCHAR* message, SQLSMALLINT bufferLength,
                                 SQLSMALLINT* textLength);
    virtual SQLRETURN getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier, SQLPOINTER value,
                                   SQLSMALLINT bufferLength, SQLSMALLINT* stringLength);

    // --- ODBC descriptor functions ---------------------------------------------
    // Integer values travel in the pointer itself, SQL_DESC_NAME as
    // NUL-terminated text. A record number above the count grows the
    // descriptor first.
    virtual SQLRETURN setDescField(SQLSMALLINT recNumber, SQLSMALLINT field, SQLPOINTER value,
                                   SQLINTEGER bufferLength);
    // setDescField of a record field on a record the caller looked up once
    // for several fields: no header or record-number checks per field.
    SQLRETURN setRecordField(DescriptorRecord& target, SQLSMALLINT field, SQLPOINTER value);
    virtual SQLRETURN getDescField(SQLSMALLINT recNumber, SQLSMALLINT field, SQLPOINTER value,
                                   SQLINTEGER bufferLength, SQLINTEGER* stringLength);
    virtual SQLRETURN setDescRec(SQLSMALLINT recNumber, SQLSMALLINT type, SQLSMALLINT subType,
                                 SQLLEN length, SQLSMALLINT precision, SQLSMALLINT scale,
                                 SQLPOINTER data, SQLLEN* stringLength, SQLLEN* indicator);
    virtual SQLRETURN getDescRec(SQLSMALLINT recNumber, SQLCHAR* name, SQLSMALLINT bufferLength,
                                 SQLSMALLINT* nameLength, SQLSMALLINT* type, SQLSMALLINT* subType,
                                 SQLLEN* length, SQLSMALLINT* precision, SQLSMALLINT* scale,
                                 SQLSMALLINT* nullable);
    // SQLCopyDesc, called on the target: header and records become copies
    // of the source's; pointer fields are shared only between application
    // descriptors. "HY016" on an IRD.
    virtual SQLRETURN copyDesc(Descriptor* source);

    // --- Records ----------------------------------------------------------------
    // Appends a record under the next free number (1 after the bookmark
    // record). Allocation failures pass on as std::bad_alloc.
    virtual SQLRETURN addRecord(const std::string& name, SQLSMALLINT conciseType,
                                SQLSMALLINT nullable, SQLSMALLINT isUnsigned);
    virtual SQLRETURN addRecordWithTypeName(const std::string& name, SQLSMALLINT conciseType,
                                            const std::string& typeName, SQLSMALLINT nullable,
                                            SQLSMALLINT isUnsigned);

    // --- Header fields ------------------------------------------------------------
    virtual SQLRETURN setArraySize(SQLULEN size);
    virtual SQLRETURN setArrayStatusPtr(SQLUSMALLINT* pointer);
    virtual SQLRETURN setBindOffsetPtr(SQLLEN* pointer);
    virtual SQLRETURN setBindType(SQLINTEGER bindType);
    // Resizes to records 0..count; a negative count removes every record,
    // the bookmark record included. "HY001" when a record cannot be made.
    virtual SQLRETURN setCount(SQLSMALLINT count);
    virtual SQLRETURN setRowsProcessedPtr(SQLULEN* pointer);
    virtual SQLSMALLINT getAllocType() const { return allocType_; }
    virtual SQLULEN getArraySize() const { return arraySize_; }
    virtual SQLUSMALLINT* getArrayStatusPtr() const { return arrayStatusPtr_; }
    virtual SQLLEN* getBindOffsetPtr() const { return bindOffsetPtr_; }
    virtual SQLINTEGER getBindType() const { return bindType_; }
    // Records minus one, never below 0.
    virtual SQLSMALLINT getCount() const;
    virtual SQLULEN* getRowsProcessedPtr() const { return rowsProcessedPtr_; }

    // --- Row binding ------------------------------------------------------------------
    // Address of row `row` of a bound buffer: base + row x stride, the stride
    // being the bind type (row-wise) or the element size of `cType`
    // (column-wise; the buffer length for character and binary types).
    virtual SQLPOINTER elementAddress(SQLPOINTER base, SQLSMALLINT cType, SQLULEN row,
                                      SQLLEN bufferLength) const;
    // Called on an ARD: converts row `impRow` of the IRD's published arrays
    // into rowset row `rowsetIndex` of the bound buffers. With SQL_RD_OFF
    // only a bound bookmark column is converted. A fixed-size type gets
    // exactly its element size whatever buffer length was bound, so no row
    // spills into the next. Always SQL_SUCCESS.
    virtual SQLRETURN convertImpColumns(SQLULEN rowsetIndex, Descriptor* ird, SQLULEN impRow,
                                        SQLUINTEGER retrieveData);
    // Implementation descriptors only: releases every record's data and
    // indicator blocks (the octet-length block stays with its record).
    virtual void freeRowArrays();
    // Rewinds every record's piecewise SQLGetData offset.
    virtual void resetNextBytes();
    // Back to the bookmark record alone.
    virtual void clearRecords();
    virtual bool isImplementation() const { return kind_ == Ipd || kind_ == Ird; }
    // The record under `recNumber`, or null when there is none.
    virtual DescriptorRecord* record(SQLSMALLINT recNumber) const;
    // The record's setters: they only store the pointer. On an implementation
    // descriptor the record owns the block (std::malloc family) and releases
    // it when it goes; whoever replaces a block releases the old one first.
    // "07009" for a missing record.
    virtual SQLRETURN setRecordDataPtr(SQLSMALLINT recNumber, SQLPOINTER pointer);
    virtual SQLRETURN setRecordIndicatorPtr(SQLSMALLINT recNumber, SQLLEN* pointer);
    virtual SQLRETURN setRecordOctetLengthPtr(SQLSMALLINT recNumber, SQLLEN* pointer);

    // --- Statements using an explicit descriptor --------------------------------
    // A statement that makes this descriptor its current APD or ARD calls
    // attachStatement; when it stops using it (another descriptor, or the
    // statement goes away) it calls detachStatement. Registering twice is
    // harmless; each attach is undone by one detach.
    void attachStatement(Statement* statement);
    void detachStatement(Statement* statement);
    const std::vector<Statement*>& usingStatements() const { return usingStatements_; }

  private:
    SQLRETURN post(const char* state);
    bool refusesHeaderField(SQLSMALLINT field, bool forSetting) const;
    SQLRETURN setHeaderField(SQLSMALLINT field, SQLPOINTER value);
    SQLRETURN getHeaderField(SQLSMALLINT field, SQLPOINTER value);
    void copyRecord(const DescriptorRecord& from, DescriptorRecord& to) const;
    void convertColumn(SQLSMALLINT number, DescriptorRecord& appRecord, Descriptor& ird,
                       SQLULEN rowsetIndex, SQLULEN impRow);

    Connection* connection_;
    DiagnosticHeader diagnostics_;
    std::map<SQLSMALLINT, std::unique_ptr<DescriptorRecord>> records_;
    SQLINTEGER kind_;
    SQLSMALLINT allocType_;
    SQLULEN arraySize_ = 1;
    SQLUSMALLINT* arrayStatusPtr_ = nullptr;
    SQLLEN* bindOffsetPtr_ = nullptr;
    SQLINTEGER bindType_ = SQL_BIND_BY_COLUMN;
    SQLULEN* rowsProcessedPtr_ = nullptr;
    std::vector<Statement*> usingStatements_;
};
