#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>

#include "driver/core/DescriptorContext.h"
#include "driver/core/ValueConversion.h"

// One record of a descriptor: a result column, a parameter, or the bookmark
// (record 0). Holds the SQL_DESC_ record fields, applies the rules on which
// fields each kind of descriptor may set or read, keeps the concise type,
// verbose type and datetime/interval code consistent, and converts a row's
// text into an application buffer.
//
// In application descriptors the three pointer fields are the application's
// buffers. In implementation descriptors they are blocks the record owns,
// allocated with std::malloc and released with std::free when the record
// goes: for an IRD the per-row arrays (data: const char* per row, octet
// lengths and indicators: SQLLEN per row), for an IPD the bytes SQLPutData
// collected and their running length. The setters only store a pointer;
// whoever replaces an owned block releases the old one first.
class DescriptorRecord {
  public:
    // Every field takes its default.
    explicit DescriptorRecord(DescriptorContext& owner);
    // Name also as label, concise type also as verbose type, type name also
    // as local type name; then the type defaults of the concise type.
    DescriptorRecord(DescriptorContext& owner, const std::string& name, SQLSMALLINT conciseType,
                     const std::string& typeName, SQLSMALLINT nullable, SQLSMALLINT isUnsigned);
    ~DescriptorRecord();

    DescriptorRecord(const DescriptorRecord&) = delete;
    DescriptorRecord& operator=(const DescriptorRecord&) = delete;

    bool isTracing() const { return owner_.isTracing(); }
    DiagnosticHeader& diagnostics() { return owner_.diagnostics(); }
    SQLINTEGER descriptorKind() const { return owner_.kind(); }
    SQLSMALLINT defaultCType(SQLSMALLINT sqlType) const { return owner_.defaultCType(sqlType); }

    void applyTypeDefaults();

    // The record part of SQLSetDescField and SQLGetDescField. Integer values
    // travel in the pointer itself, SQL_DESC_NAME as NUL-terminated text.
    SQLRETURN setField(SQLSMALLINT field, SQLPOINTER value, SQLINTEGER bufferLength);
    SQLRETURN getField(SQLSMALLINT field, SQLPOINTER value, SQLINTEGER bufferLength,
                       SQLINTEGER* stringLength);
    SQLRETURN setRec(SQLSMALLINT type, SQLSMALLINT subType, SQLLEN length, SQLSMALLINT precision,
                     SQLSMALLINT scale, SQLPOINTER data, SQLLEN* stringLength, SQLLEN* indicator);
    SQLRETURN getRec(SQLCHAR* name, SQLSMALLINT bufferLength, SQLSMALLINT* nameLength,
                     SQLSMALLINT* type, SQLSMALLINT* subType, SQLLEN* length,
                     SQLSMALLINT* precision, SQLSMALLINT* scale, SQLSMALLINT* nullable);

    // Clears the binding of an application record; an implementation
    // record keeps its arrays.
    void unbind();
    SQLRETURN checkConsistency() { return SQL_SUCCESS; }

    // Converts row `row` of this IRD record's arrays into the application
    // buffer `target` as `targetType`. `nextByte` is the piecewise read
    // offset, read and advanced by the character, wide and binary targets.
    // Always SQL_SUCCESS; `status`, when given, tells whether the piece was
    // cut and whether a number was out of range.
    SQLRETURN convertImpToAppValue(SQLULEN row, SQLSMALLINT targetType, SQLPOINTER target,
                                   SQLULEN rowsetIndex, SQLLEN bufferLength, SQLLEN* lengthOut,
                                   SQLLEN* indicatorOut, SQLLEN* nextByte,
                                   ConversionStatus* status = nullptr);

    SQLRETURN setAutoUniqueValue(SQLINTEGER value);
    SQLRETURN setConciseType(SQLSMALLINT type);
    SQLRETURN setDataPtr(SQLPOINTER pointer);
    // With a verbose type of SQL_DATETIME or SQL_INTERVAL the concise type
    // follows the code, as ODBC defines it.
    SQLRETURN setDatetimeIntervalCode(SQLSMALLINT code);
    SQLRETURN setDatetimeIntervalPrecision(SQLINTEGER precision);
    SQLRETURN setIndicatorPtr(SQLLEN* pointer);
    SQLRETURN setLength(SQLULEN length);
    SQLRETURN setName(const char* name);
    // Only 0, 2 and 10; anything else posts "HY092".
    SQLRETURN setNumPrecRadix(SQLINTEGER radix);
    SQLRETURN setOctetLength(SQLLEN length);
    SQLRETURN setOctetLengthPtr(SQLLEN* pointer);
    SQLRETURN setParameterType(SQLSMALLINT type);
    SQLRETURN setPrecision(SQLSMALLINT precision);
    SQLRETURN setScale(SQLSMALLINT scale);
    SQLRETURN setType(SQLSMALLINT type);
    SQLRETURN setUnnamed(SQLSMALLINT unnamed);

    SQLINTEGER getAutoUniqueValue() const { return autoUniqueValue_; }
    std::string getBaseColumnName() const { return baseColumnName_; }
    std::string getBaseTableName() const { return baseTableName_; }
    SQLINTEGER getCaseSensitive() const { return caseSensitive_; }
    std::string getCatalogName() const { return catalogName_; }
    SQLSMALLINT getConciseType() const { return conciseType_; }
    SQLPOINTER getDataPtr() const { return dataPtr_; }
    SQLSMALLINT getDatetimeIntervalCode() const { return datetimeIntervalCode_; }
    SQLINTEGER getDatetimeIntervalPrecision() const { return datetimeIntervalPrecision_; }
    SQLLEN getDisplaySize() const { return displaySize_; }
    SQLSMALLINT getFixedPrecScale() const { return fixedPrecScale_; }
    SQLLEN* getIndicatorPtr() const { return indicatorPtr_; }
    std::string getLabel() const { return label_; }
    SQLULEN getLength() const { return length_; }
    std::string getLiteralPrefix() const { return literalPrefix_; }
    std::string getLiteralSuffix() const { return literalSuffix_; }
    std::string getLocalTypeName() const { return localTypeName_; }
    std::string getName() const { return name_; }
    SQLSMALLINT getNullable() const { return nullable_; }
    SQLINTEGER getNumPrecRadix() const { return numPrecRadix_; }
    SQLLEN getOctetLength() const { return octetLength_; }
    SQLLEN* getOctetLengthPtr() const { return octetLengthPtr_; }
    SQLSMALLINT getParameterType() const { return parameterType_; }
    SQLSMALLINT getPrecision() const { return precision_; }
    SQLSMALLINT getRowver() const { return rowver_; }
    SQLSMALLINT getScale() const { return scale_; }
    std::string getSchemaName() const { return schemaName_; }
    SQLSMALLINT getSearchable() const { return searchable_; }
    std::string getTableName() const { return tableName_; }
    SQLSMALLINT getType() const { return type_; }
    std::string getTypeName() const { return typeName_; }
    SQLSMALLINT getUnnamed() const { return unnamed_; }
    SQLSMALLINT getUnsigned() const { return unsigned_; }
    SQLSMALLINT getUpdatable() const { return updatable_; }

    void setNextByte(SQLLEN nextByte) { nextByte_ = nextByte; }
    SQLLEN getNextByte() const { return nextByte_; }

    // What SQLDescribeCol and SQLDescribeParam report, by the verbose type.
    SQLRETURN getColumnSizeAndDigits(SQLULEN* size, SQLSMALLINT* digits) const;

  private:
    struct ImpValue;
    class ConversionTrace;

    bool isImplementation() const;
    SQLRETURN refuse(const char* state);
    ImpValue impValue(SQLULEN row) const;
    void convertText(const ImpValue& value, SQLPOINTER target, SQLLEN bufferLength,
                     SQLLEN& lengthValue, SQLLEN& nextByte, ConversionStatus& status,
                     ConversionTrace& trace) const;
    void convertWideText(const ImpValue& value, SQLPOINTER target, SQLLEN bufferLength,
                         SQLLEN& lengthValue, SQLLEN& nextByte, ConversionStatus& status,
                         ConversionTrace& trace) const;
    void convertBinary(const ImpValue& value, SQLPOINTER target, SQLLEN bufferLength,
                       SQLLEN& lengthValue, SQLLEN& nextByte, ConversionStatus& status) const;
    void convertFromWorkText(const ImpValue& value, SQLSMALLINT targetType, SQLPOINTER target,
                             SQLLEN bufferLength, SQLLEN& lengthValue, ConversionStatus& status,
                             ConversionTrace& trace) const;

    DescriptorContext& owner_;
    // Implementation records own their pointer fields; fixed at construction
    // so that the destructor need not ask a descriptor being torn down.
    bool ownsPointers_;
    SQLLEN nextByte_ = 0;
    SQLINTEGER autoUniqueValue_ = 0;
    std::string baseColumnName_;
    std::string baseTableName_;
    SQLINTEGER caseSensitive_ = 0;
    std::string catalogName_;
    SQLSMALLINT conciseType_ = 0;
    SQLPOINTER dataPtr_ = nullptr;
    SQLSMALLINT datetimeIntervalCode_ = 0;
    SQLINTEGER datetimeIntervalPrecision_ = 0;
    SQLLEN displaySize_ = 255;
    SQLSMALLINT fixedPrecScale_ = 0;
    SQLLEN* indicatorPtr_ = nullptr;
    std::string label_;
    SQLULEN length_ = 255;
    std::string literalPrefix_;
    std::string literalSuffix_;
    std::string localTypeName_;
    std::string name_;
    SQLSMALLINT nullable_ = 0;
    SQLINTEGER numPrecRadix_ = 0;
    SQLLEN octetLength_ = 0;
    SQLLEN* octetLengthPtr_ = nullptr;
    SQLSMALLINT parameterType_ = 0;
    SQLSMALLINT precision_ = 0;
    SQLSMALLINT rowver_ = 0;
    SQLSMALLINT scale_ = 0;
    std::string schemaName_;
    SQLSMALLINT searchable_ = 0;
    std::string tableName_;
    SQLSMALLINT type_ = 0;
    std::string typeName_;
    SQLSMALLINT unnamed_ = 0;
    SQLSMALLINT unsigned_ = 0;
    SQLSMALLINT updatable_ = 0;
};
