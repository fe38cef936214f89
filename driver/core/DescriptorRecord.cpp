#include "driver/core/DescriptorRecord.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string_view>
#include <type_traits>
#include <variant>

#include "driver/api/TraceWriter.h"
#include "driver/core/DiagnosticHeader.h"
#include "driver/core/OdbcTypes.h"
#include "driver/core/StringOutput.h"
#include "driver/core/TextCase.h"
#include "driver/core/TextEncoding.h"

namespace {

// Sets of descriptor kinds, one bit per kind.
using KindSet = unsigned;

constexpr KindSet kinds(std::initializer_list<SQLINTEGER> list) {
    KindSet set = 0;
    for (const SQLINTEGER kind : list) {
        set |= 1u << kind;
    }
    return set;
}

constexpr KindSet kNoKind = 0;
constexpr KindSet kIrd = kinds({DescriptorContext::Ird});
constexpr KindSet kImplementation = kinds({DescriptorContext::Ipd, DescriptorContext::Ird});
constexpr KindSet kApplication = kinds({DescriptorContext::Apd, DescriptorContext::Ard});
constexpr KindSet kApplicationAndIrd =
    kinds({DescriptorContext::Apd, DescriptorContext::Ard, DescriptorContext::Ird});
constexpr KindSet kApplicationAndIpd =
    kinds({DescriptorContext::Apd, DescriptorContext::Ard, DescriptorContext::Ipd});
constexpr KindSet kEveryKind =
    kinds({DescriptorContext::Explicit, DescriptorContext::Apd, DescriptorContext::Ard,
           DescriptorContext::Ipd, DescriptorContext::Ird});

bool refuses(KindSet set, SQLINTEGER kind) {
    return kind >= 0 && kind < 32 && (set & (1u << kind)) != 0;
}

// SQLSetDescField passes integers in the pointer itself.
SQLSMALLINT asSmallInt(SQLPOINTER value) {
    return static_cast<SQLSMALLINT>(reinterpret_cast<std::intptr_t>(value));
}
SQLINTEGER asInteger(SQLPOINTER value) {
    return static_cast<SQLINTEGER>(reinterpret_cast<std::intptr_t>(value));
}
SQLLEN asLen(SQLPOINTER value) {
    return static_cast<SQLLEN>(reinterpret_cast<std::intptr_t>(value));
}
SQLULEN asULen(SQLPOINTER value) {
    return static_cast<SQLULEN>(reinterpret_cast<std::uintptr_t>(value));
}
template <typename Number>
SQLPOINTER asPointer(Number value) {
    return reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(value));
}

bool isPointerField(SQLSMALLINT field) {
    return field == SQL_DESC_OCTET_LENGTH_PTR || field == SQL_DESC_INDICATOR_PTR ||
           field == SQL_DESC_DATA_PTR;
}

using FieldSetter = SQLRETURN (*)(DescriptorRecord&, SQLPOINTER);

struct SetRule {
    SQLSMALLINT field;
    KindSet refusedFor;
    FieldSetter set;  // null for read-only fields
};

// clang-format off
const SetRule kSetRules[] = {
    {SQL_DESC_CONCISE_TYPE, kIrd, [](DescriptorRecord& r, SQLPOINTER v) { return r.setConciseType(asSmallInt(v)); }},
    {SQL_DESC_TYPE, kIrd, [](DescriptorRecord& r, SQLPOINTER v) { return r.setType(asSmallInt(v)); }},
    {SQL_DESC_DATETIME_INTERVAL_CODE, kIrd, [](DescriptorRecord& r, SQLPOINTER v) { return r.setDatetimeIntervalCode(asSmallInt(v)); }},
    {SQL_DESC_DATETIME_INTERVAL_PRECISION, kIrd, [](DescriptorRecord& r, SQLPOINTER v) { return r.setDatetimeIntervalPrecision(asInteger(v)); }},
    {SQL_DESC_NUM_PREC_RADIX, kIrd, [](DescriptorRecord& r, SQLPOINTER v) { return r.setNumPrecRadix(asInteger(v)); }},
    {SQL_DESC_LENGTH, kIrd, [](DescriptorRecord& r, SQLPOINTER v) { return r.setLength(asULen(v)); }},
    {SQL_DESC_OCTET_LENGTH, kIrd, [](DescriptorRecord& r, SQLPOINTER v) { return r.setOctetLength(asLen(v)); }},
    {SQL_DESC_PRECISION, kIrd, [](DescriptorRecord& r, SQLPOINTER v) { return r.setPrecision(asSmallInt(v)); }},
    {SQL_DESC_SCALE, kIrd, [](DescriptorRecord& r, SQLPOINTER v) { return r.setScale(asSmallInt(v)); }},
    {SQL_DESC_OCTET_LENGTH_PTR, kImplementation, [](DescriptorRecord& r, SQLPOINTER v) { return r.setOctetLengthPtr(static_cast<SQLLEN*>(v)); }},
    {SQL_DESC_INDICATOR_PTR, kImplementation, [](DescriptorRecord& r, SQLPOINTER v) { return r.setIndicatorPtr(static_cast<SQLLEN*>(v)); }},
    {SQL_DESC_DATA_PTR, kImplementation, [](DescriptorRecord& r, SQLPOINTER v) { return r.setDataPtr(v); }},
    {SQL_DESC_NAME, kApplication, [](DescriptorRecord& r, SQLPOINTER v) { return r.setName(static_cast<const char*>(v)); }},
    {SQL_DESC_PARAMETER_TYPE, kApplicationAndIrd, [](DescriptorRecord& r, SQLPOINTER v) { return r.setParameterType(asSmallInt(v)); }},
    {SQL_DESC_UNNAMED, kApplicationAndIrd, [](DescriptorRecord& r, SQLPOINTER v) { return r.setUnnamed(asSmallInt(v)); }},
    {SQL_DESC_DISPLAY_SIZE, kEveryKind, nullptr},
    {SQL_DESC_UNSIGNED, kEveryKind, nullptr},
    {SQL_DESC_FIXED_PREC_SCALE, kEveryKind, nullptr},
    {SQL_DESC_UPDATABLE, kEveryKind, nullptr},
    {SQL_DESC_AUTO_UNIQUE_VALUE, kEveryKind, nullptr},
    {SQL_DESC_CASE_SENSITIVE, kEveryKind, nullptr},
    {SQL_DESC_SEARCHABLE, kEveryKind, nullptr},
    {SQL_DESC_TYPE_NAME, kEveryKind, nullptr},
    {SQL_DESC_TABLE_NAME, kEveryKind, nullptr},
    {SQL_DESC_SCHEMA_NAME, kEveryKind, nullptr},
    {SQL_DESC_CATALOG_NAME, kEveryKind, nullptr},
    {SQL_DESC_LABEL, kEveryKind, nullptr},
    {SQL_DESC_BASE_COLUMN_NAME, kEveryKind, nullptr},
    {SQL_DESC_BASE_TABLE_NAME, kEveryKind, nullptr},
    {SQL_DESC_LITERAL_PREFIX, kEveryKind, nullptr},
    {SQL_DESC_LITERAL_SUFFIX, kEveryKind, nullptr},
    {SQL_DESC_LOCAL_TYPE_NAME, kEveryKind, nullptr},
    {SQL_DESC_ROWVER, kEveryKind, nullptr},
    {SQL_DESC_NULLABLE, kEveryKind, nullptr},
};
// clang-format on

using FieldValue = std::variant<SQLSMALLINT, SQLINTEGER, SQLLEN, SQLULEN, SQLPOINTER, std::string>;
using FieldGetter = FieldValue (*)(const DescriptorRecord&);

struct GetRule {
    SQLSMALLINT field;
    KindSet refusedFor;
    FieldGetter get;
};

// clang-format off
const GetRule kGetRules[] = {
    {SQL_DESC_CONCISE_TYPE, kNoKind, [](const DescriptorRecord& r) -> FieldValue { return r.getConciseType(); }},
    {SQL_DESC_TYPE, kNoKind, [](const DescriptorRecord& r) -> FieldValue { return r.getType(); }},
    {SQL_DESC_DATETIME_INTERVAL_CODE, kNoKind, [](const DescriptorRecord& r) -> FieldValue { return r.getDatetimeIntervalCode(); }},
    {SQL_DESC_PRECISION, kNoKind, [](const DescriptorRecord& r) -> FieldValue { return r.getPrecision(); }},
    {SQL_DESC_SCALE, kNoKind, [](const DescriptorRecord& r) -> FieldValue { return r.getScale(); }},
    {SQL_DESC_DATETIME_INTERVAL_PRECISION, kNoKind, [](const DescriptorRecord& r) -> FieldValue { return r.getDatetimeIntervalPrecision(); }},
    {SQL_DESC_NUM_PREC_RADIX, kNoKind, [](const DescriptorRecord& r) -> FieldValue { return r.getNumPrecRadix(); }},
    {SQL_DESC_LENGTH, kNoKind, [](const DescriptorRecord& r) -> FieldValue { return r.getLength(); }},
    {SQL_DESC_OCTET_LENGTH, kNoKind, [](const DescriptorRecord& r) -> FieldValue { return r.getOctetLength(); }},
    {SQL_DESC_DISPLAY_SIZE, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getDisplaySize(); }},
    {SQL_DESC_UPDATABLE, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getUpdatable(); }},
    {SQL_DESC_SEARCHABLE, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getSearchable(); }},
    {SQL_DESC_AUTO_UNIQUE_VALUE, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getAutoUniqueValue(); }},
    {SQL_DESC_TYPE_NAME, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getTypeName(); }},
    {SQL_DESC_TABLE_NAME, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getTableName(); }},
    {SQL_DESC_SCHEMA_NAME, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getSchemaName(); }},
    {SQL_DESC_CATALOG_NAME, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getCatalogName(); }},
    {SQL_DESC_LABEL, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getLabel(); }},
    {SQL_DESC_BASE_COLUMN_NAME, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getBaseColumnName(); }},
    {SQL_DESC_BASE_TABLE_NAME, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getBaseTableName(); }},
    {SQL_DESC_LITERAL_PREFIX, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getLiteralPrefix(); }},
    {SQL_DESC_LITERAL_SUFFIX, kApplicationAndIpd, [](const DescriptorRecord& r) -> FieldValue { return r.getLiteralSuffix(); }},
    {SQL_DESC_UNSIGNED, kApplication, [](const DescriptorRecord& r) -> FieldValue { return r.getUnsigned(); }},
    {SQL_DESC_FIXED_PREC_SCALE, kApplication, [](const DescriptorRecord& r) -> FieldValue { return r.getFixedPrecScale(); }},
    {SQL_DESC_ROWVER, kApplication, [](const DescriptorRecord& r) -> FieldValue { return r.getRowver(); }},
    {SQL_DESC_NULLABLE, kApplication, [](const DescriptorRecord& r) -> FieldValue { return r.getNullable(); }},
    {SQL_DESC_UNNAMED, kApplication, [](const DescriptorRecord& r) -> FieldValue { return r.getUnnamed(); }},
    {SQL_DESC_CASE_SENSITIVE, kApplication, [](const DescriptorRecord& r) -> FieldValue { return r.getCaseSensitive(); }},
    {SQL_DESC_LOCAL_TYPE_NAME, kApplication, [](const DescriptorRecord& r) -> FieldValue { return r.getLocalTypeName(); }},
    {SQL_DESC_NAME, kApplication, [](const DescriptorRecord& r) -> FieldValue { return r.getName(); }},
    {SQL_DESC_PARAMETER_TYPE, kApplicationAndIrd, [](const DescriptorRecord& r) -> FieldValue { return r.getParameterType(); }},
    {SQL_DESC_OCTET_LENGTH_PTR, kImplementation, [](const DescriptorRecord& r) -> FieldValue { return static_cast<SQLPOINTER>(r.getOctetLengthPtr()); }},
    {SQL_DESC_INDICATOR_PTR, kImplementation, [](const DescriptorRecord& r) -> FieldValue { return static_cast<SQLPOINTER>(r.getIndicatorPtr()); }},
    {SQL_DESC_DATA_PTR, kImplementation, [](const DescriptorRecord& r) -> FieldValue { return r.getDataPtr(); }},
};
// clang-format on

template <typename Rule, std::size_t N>
const Rule* findRule(const Rule (&rules)[N], SQLSMALLINT field) {
    for (const Rule& rule : rules) {
        if (rule.field == field) {
            return &rule;
        }
    }
    return nullptr;
}

// Numbers go out at their own width; strings under the string output rules,
// NUL-terminated, with the full length reported.
void writeFieldValue(const FieldValue& fieldValue, SQLPOINTER value, SQLINTEGER bufferLength,
                     SQLINTEGER* stringLength) {
    std::visit(
        [&](const auto& field) {
            using Field = std::decay_t<decltype(field)>;
            if constexpr (std::is_same_v<Field, std::string>) {
                copyStringOut(value, stringLength, std::string_view(field), bufferLength, true);
            } else if (value != nullptr) {
                std::memcpy(value, &field, sizeof field);
            }
        },
        fieldValue);
}

// The concise type of a verbose type and a datetime/interval code: 0 when
// the pair names none.
SQLSMALLINT conciseTypeFor(SQLSMALLINT verboseType, SQLSMALLINT code) {
    if (verboseType == SQL_DATETIME && code >= SQL_CODE_DATE && code <= SQL_CODE_TIMESTAMP) {
        return static_cast<SQLSMALLINT>(SQL_TYPE_DATE - SQL_CODE_DATE + code);
    }
    if (verboseType == SQL_INTERVAL && code >= SQL_CODE_YEAR && code <= SQL_CODE_MINUTE_TO_SECOND) {
        return static_cast<SQLSMALLINT>(SQL_INTERVAL_YEAR - SQL_CODE_YEAR + code);
    }
    return 0;
}

struct VerboseForm {
    SQLSMALLINT conciseType;
    SQLSMALLINT verboseType;
    SQLSMALLINT code;
};

// Datetime concise types (ODBC 3 and ODBC 2 codes) and their verbose form.
constexpr VerboseForm kDatetimeForms[] = {
    {SQL_TYPE_DATE, SQL_DATETIME, SQL_CODE_DATE},
    {SQL_TYPE_TIME, SQL_DATETIME, SQL_CODE_TIME},
    {SQL_TYPE_TIMESTAMP, SQL_DATETIME, SQL_CODE_TIMESTAMP},
    {SQL_DATE, SQL_DATETIME, SQL_CODE_DATE},
    {SQL_TIME, SQL_DATETIME, SQL_CODE_TIME},
    {SQL_TIMESTAMP, SQL_DATETIME, SQL_CODE_TIMESTAMP},
};

VerboseForm verboseFormOf(SQLSMALLINT conciseType) {
    for (const auto& form : kDatetimeForms) {
        if (form.conciseType == conciseType) {
            return form;
        }
    }
    if (isIntervalSqlType(conciseType)) {
        return {conciseType, SQL_INTERVAL,
                static_cast<SQLSMALLINT>(conciseType - SQL_INTERVAL_YEAR + SQL_CODE_YEAR)};
    }
    return {conciseType, conciseType, 0};
}

struct TypeDefaults {
    SQLSMALLINT conciseType;
    bool exactNumeric;
    SQLINTEGER caseSensitive;
    SQLLEN displaySize;
    SQLSMALLINT precision;
};

constexpr TypeDefaults kTypeDefaults[] = {
    {SQL_CHAR, false, 1, 255, 0},
    {SQL_VARCHAR, false, 1, 255, 0},
    {SQL_INTEGER, true, 0, 28, 10},
    {SQL_SMALLINT, true, 0, 7, 5},
};

bool isSecondsInterval(SQLSMALLINT conciseType) {
    return conciseType == SQL_INTERVAL_SECOND || conciseType == SQL_INTERVAL_DAY_TO_SECOND ||
           conciseType == SQL_INTERVAL_HOUR_TO_SECOND ||
           conciseType == SQL_INTERVAL_MINUTE_TO_SECOND;
}

// SQLSetDescRec and SQLGetDescRec: a failure ends the sequence at once, a
// warning is remembered.
class StepResult {
  public:
    bool add(SQLRETURN rc) {
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
            result_ = rc;
            return false;
        }
        if (rc == SQL_SUCCESS_WITH_INFO) {
            result_ = rc;
        }
        return true;
    }
    SQLRETURN result() const { return result_; }

  private:
    SQLRETURN result_ = SQL_SUCCESS;
};

std::size_t clampToSize(SQLLEN value) {
    return value > 0 ? static_cast<std::size_t>(value) : 0;
}

}  // namespace

// One value of an implementation row: its indicator and its text, bounded
// by the octet length when there is one, else by its NUL.
struct DescriptorRecord::ImpValue {
    bool hasIndicator = false;
    SQLLEN indicator = 0;
    bool hasLength = false;
    SQLLEN octetLength = 0;
    // Never a null pointer: a value without text reads as empty.
    std::string_view text{""};
};

// Trace lines of one conversion, composed only while the trace is on.
class DescriptorRecord::ConversionTrace {
  public:
    explicit ConversionTrace(DescriptorContext& owner) : owner_(owner), on_(owner.isTracing()) {}

    bool on() const { return on_; }

    template <typename... Parts>
    void line(const Parts&... parts) {
        if (!on_) {
            return;
        }
        std::string text;
        (append(text, parts), ...);
        text += '\n';
        owner_.writeTrace(text);
    }

  private:
    template <typename Part>
    static void append(std::string& text, const Part& part) {
        if constexpr (std::is_convertible_v<const Part&, std::string_view>) {
            text += std::string_view(part);
        } else if constexpr (std::is_pointer_v<Part>) {
            text += tracePointer(part);
        } else if constexpr (std::is_same_v<Part, bool>) {
            text += part ? '1' : '0';
        } else {
            text += toString(static_cast<std::int64_t>(part));
        }
    }

    DescriptorContext& owner_;
    bool on_;
};

DescriptorRecord::DescriptorRecord(DescriptorContext& owner)
    : owner_(owner),
      ownsPointers_(owner.kind() == DescriptorContext::Ipd ||
                    owner.kind() == DescriptorContext::Ird) {}

DescriptorRecord::DescriptorRecord(DescriptorContext& owner, const std::string& name,
                                   SQLSMALLINT conciseType, const std::string& typeName,
                                   SQLSMALLINT nullable, SQLSMALLINT isUnsigned)
    : DescriptorRecord(owner) {
    name_ = name;
    label_ = name;
    conciseType_ = conciseType;
    type_ = conciseType;
    typeName_ = typeName;
    localTypeName_ = typeName;
    nullable_ = nullable;
    unsigned_ = isUnsigned;
    applyTypeDefaults();
}

DescriptorRecord::~DescriptorRecord() {
    if (ownsPointers_) {
        std::free(dataPtr_);
        std::free(indicatorPtr_);
        std::free(octetLengthPtr_);
    }
}

bool DescriptorRecord::isImplementation() const {
    return ownsPointers_;
}

SQLRETURN DescriptorRecord::refuse(const char* state) {
    owner_.diagnostics().prependRecord(state, 0, "", -1, -1);
    return SQL_ERROR;
}

void DescriptorRecord::applyTypeDefaults() {
    for (const auto& defaults : kTypeDefaults) {
        if (defaults.conciseType != conciseType_) {
            continue;
        }
        displaySize_ = defaults.displaySize;
        if (defaults.exactNumeric) {
            fixedPrecScale_ = 1;
            numPrecRadix_ = 10;
            precision_ = defaults.precision;
            scale_ = 0;
        } else {
            caseSensitive_ = defaults.caseSensitive;
        }
        return;
    }
}

SQLRETURN DescriptorRecord::setField(SQLSMALLINT field, SQLPOINTER value, SQLINTEGER bufferLength) {
    // Changing a field invalidates an application binding; the owned row
    // arrays of an implementation record stay.
    if (!isPointerField(field)) {
        unbind();
    }
    const SetRule* rule = findRule(kSetRules, field);
    if (rule == nullptr) {
        return SQL_SUCCESS;
    }
    if (refuses(rule->refusedFor, descriptorKind()) || rule->set == nullptr) {
        return refuse("HY091");
    }
    // A name given with a length is read no further than that length;
    // otherwise it runs to its NUL.
    std::string boundedName;
    if (field == SQL_DESC_NAME && value != nullptr && bufferLength > 0) {
        boundedName = makeSqlString(static_cast<const char*>(value), bufferLength);
        value = boundedName.data();
    }
    return rule->set(*this, value);
}

SQLRETURN DescriptorRecord::getField(SQLSMALLINT field, SQLPOINTER value, SQLINTEGER bufferLength,
                                     SQLINTEGER* stringLength) {
    const GetRule* rule = findRule(kGetRules, field);
    if (rule == nullptr) {
        return SQL_SUCCESS;
    }
    if (refuses(rule->refusedFor, descriptorKind())) {
        return refuse("HY091");
    }
    writeFieldValue(rule->get(*this), value, bufferLength, stringLength);
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setRec(SQLSMALLINT type, SQLSMALLINT subType, SQLLEN length,
                                   SQLSMALLINT precision, SQLSMALLINT scale, SQLPOINTER data,
                                   SQLLEN* stringLength, SQLLEN* indicator) {
    // The data pointer comes last, so the record ends bound.
    const std::pair<SQLSMALLINT, SQLPOINTER> steps[] = {
        {SQL_DESC_TYPE, asPointer(type)},
        {SQL_DESC_DATETIME_INTERVAL_CODE, asPointer(subType)},
        {SQL_DESC_OCTET_LENGTH, asPointer(length)},
        {SQL_DESC_PRECISION, asPointer(precision)},
        {SQL_DESC_SCALE, asPointer(scale)},
        {SQL_DESC_OCTET_LENGTH_PTR, stringLength},
        {SQL_DESC_INDICATOR_PTR, indicator},
        {SQL_DESC_DATA_PTR, data},
    };
    StepResult result;
    for (const auto& [field, value] : steps) {
        if (!result.add(setField(field, value, 0))) {
            break;
        }
    }
    return result.result();
}

SQLRETURN DescriptorRecord::getRec(SQLCHAR* name, SQLSMALLINT bufferLength, SQLSMALLINT* nameLength,
                                   SQLSMALLINT* type, SQLSMALLINT* subType, SQLLEN* length,
                                   SQLSMALLINT* precision, SQLSMALLINT* scale,
                                   SQLSMALLINT* nullable) {
    StepResult result;
    SQLINTEGER fullNameLength = 0;
    if (!result.add(getField(SQL_DESC_NAME, name, bufferLength, &fullNameLength))) {
        return result.result();
    }
    if (nameLength != nullptr) {
        *nameLength = static_cast<SQLSMALLINT>(
            std::min<SQLINTEGER>(fullNameLength, std::numeric_limits<SQLSMALLINT>::max()));
    }
    const std::pair<SQLSMALLINT, SQLPOINTER> steps[] = {
        {SQL_DESC_TYPE, type},           {SQL_DESC_DATETIME_INTERVAL_CODE, subType},
        {SQL_DESC_OCTET_LENGTH, length}, {SQL_DESC_PRECISION, precision},
        {SQL_DESC_SCALE, scale},         {SQL_DESC_NULLABLE, nullable},
    };
    for (const auto& [field, value] : steps) {
        if (!result.add(getField(field, value, 0, nullptr))) {
            break;
        }
    }
    return result.result();
}

void DescriptorRecord::unbind() {
    if (!isImplementation()) {
        dataPtr_ = nullptr;
    }
}

SQLRETURN DescriptorRecord::setAutoUniqueValue(SQLINTEGER value) {
    autoUniqueValue_ = value;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setConciseType(SQLSMALLINT type) {
    const VerboseForm form = verboseFormOf(type);
    conciseType_ = type;
    type_ = form.verboseType;
    datetimeIntervalCode_ = form.code;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setDataPtr(SQLPOINTER pointer) {
    dataPtr_ = pointer;
    return checkConsistency();
}

SQLRETURN DescriptorRecord::setDatetimeIntervalCode(SQLSMALLINT code) {
    datetimeIntervalCode_ = code;
    if (const SQLSMALLINT concise = conciseTypeFor(type_, code); concise != 0) {
        conciseType_ = concise;
    }
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setDatetimeIntervalPrecision(SQLINTEGER precision) {
    datetimeIntervalPrecision_ = precision;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setIndicatorPtr(SQLLEN* pointer) {
    indicatorPtr_ = pointer;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setLength(SQLULEN length) {
    length_ = length;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setName(const char* name) {
    name_ = name != nullptr ? name : "";
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setNumPrecRadix(SQLINTEGER radix) {
    if (radix != 0 && radix != 2 && radix != 10) {
        return refuse("HY092");
    }
    numPrecRadix_ = radix;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setOctetLength(SQLLEN length) {
    octetLength_ = length;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setOctetLengthPtr(SQLLEN* pointer) {
    octetLengthPtr_ = pointer;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setParameterType(SQLSMALLINT type) {
    parameterType_ = type;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setPrecision(SQLSMALLINT precision) {
    precision_ = precision;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setScale(SQLSMALLINT scale) {
    scale_ = scale;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setType(SQLSMALLINT type) {
    type_ = type;
    conciseType_ = type;
    datetimeIntervalCode_ = 0;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::setUnnamed(SQLSMALLINT unnamed) {
    unnamed_ = unnamed;
    return SQL_SUCCESS;
}

SQLRETURN DescriptorRecord::getColumnSizeAndDigits(SQLULEN* size, SQLSMALLINT* digits) const {
    SQLULEN columnSize = length_;
    SQLSMALLINT decimalDigits = scale_;
    if (isNumericSqlType(type_)) {
        columnSize = static_cast<SQLULEN>(static_cast<SQLLEN>(precision_));
    } else if (isBinarySqlType(type_) || type_ == SQL_BIT || type_ == SQL_DATETIME) {
        decimalDigits = 0;
    } else if (type_ == SQL_INTERVAL) {
        decimalDigits = isSecondsInterval(conciseType_) ? precision_ : 0;
    }
    if (size != nullptr) {
        *size = columnSize;
    }
    if (digits != nullptr) {
        *digits = decimalDigits;
    }
    return SQL_SUCCESS;
}

DescriptorRecord::ImpValue DescriptorRecord::impValue(SQLULEN row) const {
    ImpValue value;
    if (indicatorPtr_ != nullptr) {
        value.hasIndicator = true;
        value.indicator = indicatorPtr_[row];
    }
    const char* text =
        dataPtr_ != nullptr ? static_cast<const char* const*>(dataPtr_)[row] : nullptr;
    if (octetLengthPtr_ != nullptr) {
        value.hasLength = true;
        value.octetLength = octetLengthPtr_[row];
        if (text != nullptr) {
            value.text = std::string_view(text, clampToSize(value.octetLength));
        }
    } else if (text != nullptr) {
        value.text = std::string_view(text);
    }
    return value;
}

SQLRETURN DescriptorRecord::convertImpToAppValue(SQLULEN row, SQLSMALLINT targetType,
                                                 SQLPOINTER target,
                                                 SQLULEN /*rowsetIndex: not used*/,
                                                 SQLLEN bufferLength, SQLLEN* lengthOut,
                                                 SQLLEN* indicatorOut, SQLLEN* nextByte,
                                                 ConversionStatus* status) {
    ConversionTrace trace(owner_);
    ConversionStatus localStatus;
    ConversionStatus& result = status != nullptr ? *status : localStatus;
    result = ConversionStatus{};
    SQLLEN localNextByte = 0;
    SQLLEN& offset = nextByte != nullptr ? *nextByte : localNextByte;

    trace.line("// enter convertImpToAppValue: value address: ", target);
    trace.line("// length address: ", lengthOut);
    trace.line("// indicator address: ", indicatorOut);
    trace.line("// buffer length: ", bufferLength);
    trace.line("// type: ", type_, " target type: ", targetType);

    if (targetType == SQL_C_DEFAULT) {
        targetType = defaultCType(type_);
    }
    const ImpValue value = impValue(row);
    if (value.hasIndicator && value.indicator == SQL_NULL_DATA) {
        if (indicatorOut != nullptr) {
            *indicatorOut = SQL_NULL_DATA;
        }
        if (target != nullptr && targetType == SQL_C_CHAR && bufferLength >= 1) {
            *static_cast<char*>(target) = '\0';
        }
        if (target != nullptr && targetType == SQL_C_WCHAR && bufferLength >= 4) {
            std::memset(target, 0, 4);
        }
        trace.line("// ---> | NULL |");
        return SQL_SUCCESS;
    }
    if (value.hasIndicator) {
        if (indicatorOut != nullptr) {
            *indicatorOut = value.indicator;
        }
        trace.line("// indicator value: ", value.indicator);
    }

    SQLLEN lengthValue = 0;
    switch (targetType) {
        case SQL_C_CHAR:
            convertText(value, target, bufferLength, lengthValue, offset, result, trace);
            break;
        case SQL_C_WCHAR:
            convertWideText(value, target, bufferLength, lengthValue, offset, result, trace);
            break;
        case SQL_C_BINARY:
            convertBinary(value, target, bufferLength, lengthValue, offset, result);
            break;
        default:
            convertFromWorkText(value, targetType, target, bufferLength, lengthValue, result,
                                trace);
            break;
    }
    if (lengthOut != nullptr) {
        *lengthOut = lengthValue;
    }
    trace.line("// length value: ", lengthValue);
    return SQL_SUCCESS;
}

namespace {

// The part of a value not yet returned by earlier pieces.
std::string_view remainingText(std::string_view text, SQLLEN nextByte) {
    return text.substr(std::min(text.size(), clampToSize(nextByte)));
}

void advance(SQLLEN& nextByte, std::size_t consumed) {
    nextByte = static_cast<SQLLEN>(clampToSize(nextByte) + consumed);
}

}  // namespace

void DescriptorRecord::convertText(const ImpValue& value, SQLPOINTER target, SQLLEN bufferLength,
                                   SQLLEN& lengthValue, SQLLEN& nextByte, ConversionStatus& status,
                                   ConversionTrace& trace) const {
    const std::string_view rest = remainingText(value.text, nextByte);
    const auto remaining = static_cast<SQLLEN>(rest.size());
    const auto full = static_cast<SQLLEN>(value.text.size());
    trace.line("// calculated len: ", std::max<SQLLEN>(0, std::min(full, bufferLength - 1)));

    auto* destination = static_cast<char*>(target);
    const std::uint32_t databaseEncoding = owner_.databaseEncoding();
    const std::uint32_t receiveEncoding = owner_.receiveEncoding();
    TextPiece piece;
    if (owner_.isUnicodeTextTypes()) {
        trace.line("// unicode type: convert to UTF-8  serverEncoding: ",
                   hexText(databaseEncoding));
        piece = copyCharacterPiece(rest, databaseEncoding, destination, bufferLength);
        trace.line("// max wide: ", bufferLength, "  wide count: ", piece.chars,
                   "  max bytes: ", kWideCharBytes * bufferLength, "  remaining bytes: ", remaining,
                   "  bytes to copy: ", piece.sourceBytes, "  truncated: ", piece.truncated);
    } else if (receiveEncoding == databaseEncoding) {
        trace.line("// no conversion ");
        piece = copyBytePiece(rest, databaseEncoding, destination, bufferLength);
    } else {
        trace.line("// conversion from: 0x", hexText(databaseEncoding), " to: 0x",
                   hexText(receiveEncoding));
        piece = convertCharacterPiece(rest, databaseEncoding, receiveEncoding, destination,
                                      bufferLength);
    }
    advance(nextByte, piece.sourceBytes);
    lengthValue = piece.lengthValue;
    status.truncated = piece.truncated;

    const bool wrote = destination != nullptr && bufferLength >= 1;
    trace.line("// ---> |", value.text, "| to SQL_C_CHAR: |",
               wrote ? std::string_view(destination, piece.written) : std::string_view(), "|");
    if (value.hasLength) {
        trace.line("// bytesRemaining: ", remaining, "  nextByte: ", nextByte,
                   " impOctetLength: ", value.octetLength);
    }
}

void DescriptorRecord::convertWideText(const ImpValue& value, SQLPOINTER target,
                                       SQLLEN bufferLength, SQLLEN& lengthValue, SQLLEN& nextByte,
                                       ConversionStatus& status, ConversionTrace& trace) const {
    const std::string_view rest = remainingText(value.text, nextByte);
    const TextPiece piece = copyWidePiece(rest, owner_.databaseEncoding(), target, bufferLength);
    trace.line("// max wide: ", bufferLength / kWideCharBytes, "  wide count: ", piece.chars,
               "  max bytes: ", bufferLength, "  remaining bytes: ", rest.size(),
               "  bytes to copy: ", piece.sourceBytes, "  truncated: ", piece.truncated);
    advance(nextByte, piece.sourceBytes);
    lengthValue = piece.lengthValue;
    status.truncated = piece.truncated;
    trace.line("// ---> |", value.text, "| to SQL_C_WCHAR: |", target, "|");
    if (value.hasLength) {
        trace.line("// bytesRemaining: ", 0, "  nextByte: ", nextByte,
                   " impOctetLength: ", value.octetLength);
    }
}

void DescriptorRecord::convertBinary(const ImpValue& value, SQLPOINTER target, SQLLEN bufferLength,
                                     SQLLEN& lengthValue, SQLLEN& nextByte,
                                     ConversionStatus& status) const {
    const TextPiece piece =
        copyBinaryPiece(remainingText(value.text, nextByte), target, bufferLength);
    advance(nextByte, piece.sourceBytes);
    lengthValue = piece.lengthValue;
    status.truncated = piece.truncated;
}

void DescriptorRecord::convertFromWorkText(const ImpValue& value, SQLSMALLINT targetType,
                                           SQLPOINTER target, SQLLEN bufferLength,
                                           SQLLEN& lengthValue, ConversionStatus& status,
                                           ConversionTrace& trace) const {
    // A fixed work buffer: numbers, booleans and dates never need more, and
    // this path allocates nothing.
    std::array<char, 256> work{};
    std::string_view source = value.text.substr(0, std::min(value.text.size(), work.size() - 1));
    source = source.substr(0, source.find('\0'));
    std::memcpy(work.data(), source.data(), source.size());
    std::size_t workLength = source.size();

    if (type_ == SQL_BIT) {
        const std::string_view text(work.data(), workLength);
        const char* replacement =
            equalsNoCase(text, "false") ? "0" : (equalsNoCase(text, "true") ? "1" : nullptr);
        if (replacement != nullptr) {
            trace.line("// for boolean, changing: ", text, " to: ", replacement);
            work[0] = replacement[0];
            workLength = 1;
        }
    }

    if (const NumericTarget* numeric = findNumericTarget(targetType)) {
        if (numeric->removeCommas) {
            workLength = static_cast<std::size_t>(
                std::remove(work.begin(), work.begin() + workLength, ',') - work.begin());
        }
        if (target != nullptr && bufferLength > numeric->size && bufferLength <= 8) {
            std::memset(target, 0, clampToSize(bufferLength));
        }
        const std::string_view text(work.data(), workLength);
        const StoredNumber stored = numeric->store(text, target, status.outOfRange);
        if (trace.on()) {
            const std::string shown =
                std::visit([](const auto& number) { return toString(number); }, stored);
            trace.line("// ---> ", text, numeric->traceLiteral, shown);
        }
        lengthValue = numeric->size;
        return;
    }

    if (const DateTarget* date = findDateTarget(targetType)) {
        if (bufferLength < date->size) {
            lengthValue = 0;
            return;
        }
        const std::string_view text(work.data(), workLength);
        const std::string shown =
            storeDateStruct(date->shape, parseDateTimeText(text, type_), target, trace.on());
        trace.line("// ---> ", text, " to ", traceCType(targetType), ": ", shown);
        lengthValue = date->size;
        return;
    }

    if (trace.on()) {
        trace.line("// ---> no conversion from ", traceSqlType(conciseType_), " to ",
                   traceCType(targetType));
    }
    lengthValue = 0;
}
