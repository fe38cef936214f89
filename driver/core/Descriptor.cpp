#include "driver/core/Descriptor.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

#include "driver/core/Connection.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/Environment.h"
#include "driver/core/Statement.h"
#include "driver/core/StringOutput.h"

namespace {

constexpr SQLSMALLINT kMaxRecordNumber = std::numeric_limits<SQLSMALLINT>::max();

// How far apart the elements of a column-wise bound array lie.
enum class Element : std::uint8_t {
    Variable,    // character and binary: the bound buffer length
    Fixed,       // the size below, whatever buffer length was bound
    Unconverted  // no conversion reads or writes it; the size is a placeholder
};

struct ElementSize {
    SQLSMALLINT cType;
    Element kind;
    SQLLEN size;
};

static_assert(sizeof(SQL_DATE_STRUCT) == 6 && sizeof(SQL_TIME_STRUCT) == 6 &&
              sizeof(SQL_TIMESTAMP_STRUCT) == 16);

constexpr std::array kElementSizes{
    ElementSize{SQL_C_CHAR, Element::Variable, 0},
    ElementSize{SQL_C_WCHAR, Element::Variable, 0},
    ElementSize{SQL_C_BINARY, Element::Variable, 0},
    ElementSize{SQL_C_STINYINT, Element::Fixed, 1},
    ElementSize{SQL_C_UTINYINT, Element::Fixed, 1},
    ElementSize{SQL_C_TINYINT, Element::Fixed, 1},
    ElementSize{SQL_C_BIT, Element::Fixed, 1},
    ElementSize{SQL_C_SHORT, Element::Fixed, 2},
    ElementSize{SQL_C_SSHORT, Element::Fixed, 2},
    ElementSize{SQL_C_USHORT, Element::Fixed, 2},
    ElementSize{SQL_C_LONG, Element::Fixed, 4},
    ElementSize{SQL_C_SLONG, Element::Fixed, 4},
    ElementSize{SQL_C_ULONG, Element::Fixed, 4},
    ElementSize{SQL_C_FLOAT, Element::Fixed, 4},
    ElementSize{SQL_C_DOUBLE, Element::Fixed, 8},
    ElementSize{SQL_C_SBIGINT, Element::Fixed, 8},
    ElementSize{SQL_C_UBIGINT, Element::Fixed, 8},
    ElementSize{SQL_C_DATE, Element::Fixed, sizeof(SQL_DATE_STRUCT)},
    ElementSize{SQL_C_TIME, Element::Fixed, sizeof(SQL_TIME_STRUCT)},
    ElementSize{SQL_C_TYPE_DATE, Element::Fixed, sizeof(SQL_DATE_STRUCT)},
    ElementSize{SQL_C_TYPE_TIME, Element::Fixed, sizeof(SQL_TIME_STRUCT)},
    ElementSize{SQL_C_TIMESTAMP, Element::Fixed, sizeof(SQL_TIMESTAMP_STRUCT)},
    ElementSize{SQL_C_TYPE_TIMESTAMP, Element::Fixed, sizeof(SQL_TIMESTAMP_STRUCT)},
};

ElementSize elementSizeOf(SQLSMALLINT cType) {
    const auto* found =
        std::find_if(kElementSizes.begin(), kElementSizes.end(),
                     [cType](const ElementSize& row) { return row.cType == cType; });
    return found != kElementSizes.end() ? *found : ElementSize{cType, Element::Unconverted, 1};
}

// Kinds that may not set or read a header field; the empty list means all may.
struct HeaderRule {
    SQLSMALLINT field;
    std::array<SQLINTEGER, 2> refusedKinds;  // -1 fills unused places
    bool settable;
};

constexpr SQLINTEGER kNone = -1;
constexpr std::array kHeaderRules{
    HeaderRule{SQL_DESC_ARRAY_SIZE, {DescriptorContext::Ipd, DescriptorContext::Ird}, true},
    HeaderRule{SQL_DESC_ARRAY_STATUS_PTR, {kNone, kNone}, true},
    HeaderRule{SQL_DESC_BIND_OFFSET_PTR, {DescriptorContext::Ipd, DescriptorContext::Ird}, true},
    HeaderRule{SQL_DESC_BIND_TYPE, {DescriptorContext::Ipd, DescriptorContext::Ird}, true},
    HeaderRule{SQL_DESC_ROWS_PROCESSED_PTR, {DescriptorContext::Apd, DescriptorContext::Ard}, true},
    HeaderRule{SQL_DESC_COUNT, {kNone, kNone}, true},
    HeaderRule{SQL_DESC_ALLOC_TYPE, {kNone, kNone}, false},
};

const HeaderRule* headerRule(SQLSMALLINT field) {
    const auto* found =
        std::find_if(kHeaderRules.begin(), kHeaderRules.end(),
                     [field](const HeaderRule& rule) { return rule.field == field; });
    return found != kHeaderRules.end() ? found : nullptr;
}

template <typename T>
void writeValue(SQLPOINTER target, T value) {
    if (target != nullptr) {
        *static_cast<T*>(target) = value;
    }
}

char* offsetAddress(void* base, SQLLEN offset) {
    return base == nullptr ? nullptr : static_cast<char*>(base) + offset;
}

}  // namespace

Descriptor::Descriptor(Connection* connection, SQLINTEGER kind)
    : connection_(connection),
      diagnostics_(connection != nullptr ? connection->environment() : nullptr),
      kind_(kind),
      allocType_(kind == Explicit ? SQL_DESC_ALLOC_USER : SQL_DESC_ALLOC_AUTO) {
    if (setCount(0) == SQL_ERROR) {
        throw std::bad_alloc();
    }
    if (kind_ == Explicit && connection_ != nullptr) {
        connection_->retainHandle();
    }
}

Descriptor::~Descriptor() {
    if (kind_ == Explicit && connection_ != nullptr) {
        connection_->releaseHandle();
    }
    // Statements still using this descriptor go back to their implicit
    // ones; each may unregister while we walk, so walk a copy.
    std::vector<Statement*> users = std::move(usingStatements_);
    usingStatements_.clear();
    std::sort(users.begin(), users.end());
    users.erase(std::unique(users.begin(), users.end()), users.end());
    for (Statement* statement : users) {
        statement->detachDescriptor(this);
    }
    usingStatements_.clear();
    for (auto& entry : records_) {
        entry.second.reset();
    }
}

// --- Plumbing ---------------------------------------------------------------

bool Descriptor::isTracing() const {
    return connection_ != nullptr && connection_->isTracing();
}

void Descriptor::writeTrace(std::string_view text) {
    if (connection_ != nullptr) {
        connection_->writeTrace(text);
    }
}

bool Descriptor::isUnicodeTextTypes() const {
    return connection_ != nullptr && connection_->isUnicodeTextTypes();
}

std::uint32_t Descriptor::databaseEncoding() const {
    return connection_ != nullptr ? connection_->databaseEncoding() : kEncodingUtf8;
}

std::uint32_t Descriptor::receiveEncoding() const {
    return connection_ != nullptr ? connection_->receiveEncoding() : kEncodingUtf8;
}

SQLSMALLINT Descriptor::defaultCType(SQLSMALLINT sqlType) const {
    return connection_ != nullptr ? connection_->defaultCType(sqlType) : SQL_C_CHAR;
}

SQLRETURN Descriptor::post(const char* state) {
    diagnostics_.prependRecord(state, 0, "", -1, -1);
    return SQL_ERROR;
}

// --- Diagnostics ------------------------------------------------------------

SQLRETURN Descriptor::getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                                 SQLCHAR* message, SQLSMALLINT bufferLength,
                                 SQLSMALLINT* textLength) {
    const std::string component = connection_ != nullptr ? connection_->dbmsName() : "";
    return diagnostics_.getDiagRecWithComponent(component, recNumber, state, native, message,
                                                bufferLength, textLength);
}

SQLRETURN Descriptor::getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier, SQLPOINTER value,
                                   SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) {
    if ((identifier == SQL_DIAG_CONNECTION_NAME || identifier == SQL_DIAG_SERVER_NAME) &&
        connection_ != nullptr) {
        const Environment* environment = connection_->environment();
        const bool terminate =
            environment == nullptr || environment->getAttrOutputNts() == SQL_TRUE;
        copyStringOutShort(value, stringLength, connection_->infoDataSourceName(), bufferLength,
                           terminate);
        return SQL_SUCCESS;
    }
    return diagnostics_.getDiagField(recNumber, identifier, value, bufferLength, stringLength);
}

// --- ODBC descriptor functions ----------------------------------------------

bool Descriptor::refusesHeaderField(SQLSMALLINT field, bool forSetting) const {
    const HeaderRule* rule = headerRule(field);
    if (forSetting && !rule->settable) {
        return true;
    }
    // SQL_DESC_COUNT can be read on an IRD but not set.
    if (forSetting && field == SQL_DESC_COUNT && kind_ == Ird) {
        return true;
    }
    return std::find(rule->refusedKinds.begin(), rule->refusedKinds.end(), kind_) !=
           rule->refusedKinds.end();
}

SQLRETURN Descriptor::setHeaderField(SQLSMALLINT field, SQLPOINTER value) {
    const auto word = reinterpret_cast<std::uintptr_t>(value);
    switch (field) {
        case SQL_DESC_ARRAY_SIZE:
            return setArraySize(static_cast<SQLULEN>(word));
        case SQL_DESC_ARRAY_STATUS_PTR:
            return setArrayStatusPtr(static_cast<SQLUSMALLINT*>(value));
        case SQL_DESC_BIND_OFFSET_PTR:
            return setBindOffsetPtr(static_cast<SQLLEN*>(value));
        case SQL_DESC_BIND_TYPE:
            return setBindType(static_cast<SQLINTEGER>(word));
        case SQL_DESC_ROWS_PROCESSED_PTR:
            return setRowsProcessedPtr(static_cast<SQLULEN*>(value));
        case SQL_DESC_COUNT:
            return setCount(static_cast<SQLSMALLINT>(word));
        default:
            return post("HY091");
    }
}

SQLRETURN Descriptor::getHeaderField(SQLSMALLINT field, SQLPOINTER value) {
    switch (field) {
        case SQL_DESC_ARRAY_SIZE:
            writeValue<SQLULEN>(value, arraySize_);
            break;
        case SQL_DESC_ARRAY_STATUS_PTR:
            writeValue<SQLPOINTER>(value, arrayStatusPtr_);
            break;
        case SQL_DESC_BIND_OFFSET_PTR:
            writeValue<SQLPOINTER>(value, bindOffsetPtr_);
            break;
        case SQL_DESC_BIND_TYPE:
            writeValue<SQLINTEGER>(value, bindType_);
            break;
        case SQL_DESC_ROWS_PROCESSED_PTR:
            writeValue<SQLPOINTER>(value, rowsProcessedPtr_);
            break;
        case SQL_DESC_COUNT:
            writeValue<SQLSMALLINT>(value, getCount());
            break;
        case SQL_DESC_ALLOC_TYPE:
            writeValue<SQLSMALLINT>(value, allocType_);
            break;
        default:
            return post("HY091");
    }
    return SQL_SUCCESS;
}

SQLRETURN Descriptor::setDescField(SQLSMALLINT recNumber, SQLSMALLINT field, SQLPOINTER value,
                                   SQLINTEGER bufferLength) {
    diagnostics_.clear();
    if (recNumber > getCount() && setCount(recNumber) == SQL_ERROR) {
        return SQL_ERROR;
    }
    if (headerRule(field) != nullptr) {
        return refusesHeaderField(field, true) ? post("HY091") : setHeaderField(field, value);
    }
    DescriptorRecord* target = recNumber >= 0 ? record(recNumber) : nullptr;
    if (target == nullptr) {
        return post("07009");
    }
    return target->setField(field, value, bufferLength);
}

SQLRETURN Descriptor::setRecordField(DescriptorRecord& target, SQLSMALLINT field,
                                     SQLPOINTER value) {
    diagnostics_.clear();
    return target.setField(field, value, 0);
}

SQLRETURN Descriptor::getDescField(SQLSMALLINT recNumber, SQLSMALLINT field, SQLPOINTER value,
                                   SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    diagnostics_.clear();
    if (recNumber < 0 || recNumber > getCount()) {
        return post("07009");
    }
    if (headerRule(field) != nullptr) {
        return refusesHeaderField(field, false) ? post("HY091") : getHeaderField(field, value);
    }
    DescriptorRecord* source = record(recNumber);
    if (source == nullptr) {
        return post("07009");
    }
    return source->getField(field, value, bufferLength, stringLength);
}

SQLRETURN Descriptor::setDescRec(SQLSMALLINT recNumber, SQLSMALLINT type, SQLSMALLINT subType,
                                 SQLLEN length, SQLSMALLINT precision, SQLSMALLINT scale,
                                 SQLPOINTER data, SQLLEN* stringLength, SQLLEN* indicator) {
    diagnostics_.clear();
    DescriptorRecord* target =
        recNumber >= 0 && recNumber <= getCount() ? record(recNumber) : nullptr;
    if (target == nullptr) {
        return post("07009");
    }
    return target->setRec(type, subType, length, precision, scale, data, stringLength, indicator);
}

SQLRETURN Descriptor::getDescRec(SQLSMALLINT recNumber, SQLCHAR* name, SQLSMALLINT bufferLength,
                                 SQLSMALLINT* nameLength, SQLSMALLINT* type, SQLSMALLINT* subType,
                                 SQLLEN* length, SQLSMALLINT* precision, SQLSMALLINT* scale,
                                 SQLSMALLINT* nullable) {
    diagnostics_.clear();
    DescriptorRecord* source =
        recNumber >= 0 && recNumber <= getCount() ? record(recNumber) : nullptr;
    if (source == nullptr) {
        return post("07009");
    }
    return source->getRec(name, bufferLength, nameLength, type, subType, length, precision, scale,
                          nullable);
}

void Descriptor::copyRecord(const DescriptorRecord& from, DescriptorRecord& to) const {
    to.setConciseType(from.getConciseType());
    to.setDatetimeIntervalCode(from.getDatetimeIntervalCode());
    to.setDatetimeIntervalPrecision(from.getDatetimeIntervalPrecision());
    to.setLength(from.getLength());
    to.setOctetLength(from.getOctetLength());
    to.setPrecision(from.getPrecision());
    to.setScale(from.getScale());
    to.setParameterType(from.getParameterType());
    to.setUnnamed(from.getUnnamed());
    to.setAutoUniqueValue(from.getAutoUniqueValue());
    const SQLINTEGER radix = from.getNumPrecRadix();
    if (radix == 0 || radix == 2 || radix == 10) {
        to.setNumPrecRadix(radix);
    }
}

SQLRETURN Descriptor::copyDesc(Descriptor* source) {
    diagnostics_.clear();
    if (source == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    if (source == this) {
        return SQL_SUCCESS;
    }
    if (kind_ == Ird) {
        return post("HY016");
    }
    // Pointer fields of implementation records are blocks their record owns:
    // they are shared only between application descriptors.
    const bool copyPointers = !isImplementation() && !source->isImplementation();
    try {
        std::map<SQLSMALLINT, std::unique_ptr<DescriptorRecord>> copies;
        for (const auto& [number, from] : source->records_) {
            auto to = std::make_unique<DescriptorRecord>(
                *this, from->getName(), from->getConciseType(), from->getTypeName(),
                from->getNullable(), from->getUnsigned());
            copyRecord(*from, *to);
            if (copyPointers) {
                to->setOctetLengthPtr(from->getOctetLengthPtr());
                to->setIndicatorPtr(from->getIndicatorPtr());
                to->setDataPtr(from->getDataPtr());
            }
            copies.emplace(number, std::move(to));
        }
        records_.swap(copies);
    } catch (const std::bad_alloc& error) {
        if (isTracing()) {
            writeTrace(std::string("// Exception: ") + error.what() + "\n");
        }
        return post("HY001");
    }
    arraySize_ = source->arraySize_;
    arrayStatusPtr_ = source->arrayStatusPtr_;
    if (!isImplementation()) {
        bindOffsetPtr_ = source->bindOffsetPtr_;
        bindType_ = source->bindType_;
    }
    if (kind_ != Apd && kind_ != Ard) {
        rowsProcessedPtr_ = source->rowsProcessedPtr_;
    }
    return SQL_SUCCESS;
}

// --- Records ----------------------------------------------------------------

SQLRETURN Descriptor::addRecord(const std::string& name, SQLSMALLINT conciseType,
                                SQLSMALLINT nullable, SQLSMALLINT isUnsigned) {
    return addRecordWithTypeName(name, conciseType, "", nullable, isUnsigned);
}

SQLRETURN Descriptor::addRecordWithTypeName(const std::string& name, SQLSMALLINT conciseType,
                                            const std::string& typeName, SQLSMALLINT nullable,
                                            SQLSMALLINT isUnsigned) {
    const int next = records_.empty() ? 0 : records_.rbegin()->first + 1;
    if (next > kMaxRecordNumber) {
        return post("07009");
    }
    records_.emplace(static_cast<SQLSMALLINT>(next),
                     std::make_unique<DescriptorRecord>(*this, name, conciseType, typeName,
                                                        nullable, isUnsigned));
    return SQL_SUCCESS;
}

DescriptorRecord* Descriptor::record(SQLSMALLINT recNumber) const {
    const auto found = records_.find(recNumber);
    return found != records_.end() ? found->second.get() : nullptr;
}

SQLRETURN Descriptor::setRecordDataPtr(SQLSMALLINT recNumber, SQLPOINTER pointer) {
    DescriptorRecord* target = record(recNumber);
    return target != nullptr ? target->setDataPtr(pointer) : post("07009");
}

SQLRETURN Descriptor::setRecordIndicatorPtr(SQLSMALLINT recNumber, SQLLEN* pointer) {
    DescriptorRecord* target = record(recNumber);
    return target != nullptr ? target->setIndicatorPtr(pointer) : post("07009");
}

SQLRETURN Descriptor::setRecordOctetLengthPtr(SQLSMALLINT recNumber, SQLLEN* pointer) {
    DescriptorRecord* target = record(recNumber);
    return target != nullptr ? target->setOctetLengthPtr(pointer) : post("07009");
}

void Descriptor::freeRowArrays() {
    if (!isImplementation()) {
        return;
    }
    for (auto& entry : records_) {
        DescriptorRecord& current = *entry.second;
        std::free(current.getDataPtr());
        current.setDataPtr(nullptr);
        std::free(current.getIndicatorPtr());
        current.setIndicatorPtr(nullptr);
    }
}

void Descriptor::resetNextBytes() {
    for (auto& entry : records_) {
        entry.second->setNextByte(0);
    }
}

void Descriptor::clearRecords() {
    setCount(0);
}

// --- Header fields ----------------------------------------------------------

SQLRETURN Descriptor::setArraySize(SQLULEN size) {
    arraySize_ = size;
    return SQL_SUCCESS;
}

SQLRETURN Descriptor::setArrayStatusPtr(SQLUSMALLINT* pointer) {
    arrayStatusPtr_ = pointer;
    return SQL_SUCCESS;
}

SQLRETURN Descriptor::setBindOffsetPtr(SQLLEN* pointer) {
    bindOffsetPtr_ = pointer;
    return SQL_SUCCESS;
}

SQLRETURN Descriptor::setBindType(SQLINTEGER bindType) {
    bindType_ = bindType;
    return SQL_SUCCESS;
}

SQLRETURN Descriptor::setRowsProcessedPtr(SQLULEN* pointer) {
    rowsProcessedPtr_ = pointer;
    return SQL_SUCCESS;
}

SQLSMALLINT Descriptor::getCount() const {
    return records_.empty() ? 0 : static_cast<SQLSMALLINT>(records_.size() - 1);
}

SQLRETURN Descriptor::setCount(SQLSMALLINT count) {
    const int wanted = count + 1;
    const int current = static_cast<int>(records_.size());
    if (isTracing()) {
        writeTrace("// changing size from " + toString(current) + " to " + toString(wanted) + "\n");
    }
    try {
        for (int number = current; number < wanted; ++number) {
            records_.try_emplace(static_cast<SQLSMALLINT>(number),
                                 std::make_unique<DescriptorRecord>(*this, "", SQL_VARCHAR, "",
                                                                    SQL_NULLABLE_UNKNOWN, 0));
        }
    } catch (const std::bad_alloc& error) {
        if (isTracing()) {
            writeTrace(std::string("// Exception: ") + error.what() + "\n");
        }
        return post("HY001");
    }
    if (wanted < current) {
        auto first = records_.begin();
        std::advance(first, std::max(wanted, 0));
        for (auto it = first; it != records_.end(); ++it) {
            it->second.reset();
        }
        records_.erase(first, records_.end());
    }
    return SQL_SUCCESS;
}

// --- Row binding ------------------------------------------------------------

SQLPOINTER Descriptor::elementAddress(SQLPOINTER base, SQLSMALLINT cType, SQLULEN row,
                                      SQLLEN bufferLength) const {
    if (base == nullptr) {
        return nullptr;
    }
    SQLLEN stride = 0;
    if (bindType_ > 0) {
        stride = bindType_;
    } else {
        const ElementSize element = elementSizeOf(cType);
        stride =
            element.kind == Element::Variable ? std::max<SQLLEN>(bufferLength, 0) : element.size;
    }
    return static_cast<char*>(base) + static_cast<SQLLEN>(row) * stride;
}

void Descriptor::convertColumn(SQLSMALLINT number, DescriptorRecord& appRecord, Descriptor& ird,
                               SQLULEN rowsetIndex, SQLULEN impRow) {
    DescriptorRecord* impRecord = ird.record(number);
    if (impRecord == nullptr) {
        return;
    }
    const SQLLEN offset = bindOffsetPtr_ != nullptr ? *bindOffsetPtr_ : 0;
    const SQLLEN lengthStride = bindType_ > 0 ? bindType_ : static_cast<SQLLEN>(sizeof(SQLLEN));
    const SQLLEN lengthStep = lengthStride * static_cast<SQLLEN>(rowsetIndex);
    auto* indicator =
        reinterpret_cast<SQLLEN*>(offsetAddress(appRecord.getIndicatorPtr(), offset + lengthStep));
    auto* length = reinterpret_cast<SQLLEN*>(
        offsetAddress(appRecord.getOctetLengthPtr(), offset + lengthStep));

    SQLSMALLINT cType = appRecord.getConciseType();
    if (cType == SQL_C_DEFAULT) {
        cType = impRecord->defaultCType(impRecord->getType());
    }
    SQLLEN bufferLength = static_cast<SQLLEN>(appRecord.getLength());
    SQLPOINTER data = elementAddress(offsetAddress(appRecord.getDataPtr(), offset), cType,
                                     rowsetIndex, bufferLength);
    // A fixed-size element gets exactly its own bytes: a larger bound length
    // must not let the conversion clear the next element or row.
    if (const ElementSize element = elementSizeOf(cType); element.kind == Element::Fixed) {
        bufferLength = element.size;
    }
    if (isTracing()) {
        writeTrace("// ---> converting imp column: " + toString(number) + "\n");
    }
    SQLLEN nextByte = 0;
    impRecord->convertImpToAppValue(impRow, cType, data, rowsetIndex, bufferLength, length,
                                    indicator, &nextByte);
}

SQLRETURN Descriptor::convertImpColumns(SQLULEN rowsetIndex, Descriptor* ird, SQLULEN impRow,
                                        SQLUINTEGER retrieveData) {
    if (ird == nullptr) {
        return SQL_SUCCESS;
    }
    for (auto& [number, appRecord] : records_) {
        if (appRecord->getDataPtr() == nullptr) {
            continue;
        }
        if (number != 0 && retrieveData != SQL_RD_ON) {
            continue;
        }
        convertColumn(number, *appRecord, *ird, rowsetIndex, impRow);
    }
    return SQL_SUCCESS;
}

// --- Statements using an explicit descriptor ------------------------------

void Descriptor::attachStatement(Statement* statement) {
    if (statement != nullptr) {
        usingStatements_.push_back(statement);
    }
}

void Descriptor::detachStatement(Statement* statement) {
    const auto found = std::find(usingStatements_.begin(), usingStatements_.end(), statement);
    if (found != usingStatements_.end()) {
        usingStatements_.erase(found);
    }
}
