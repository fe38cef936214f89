#include "driver/api/DescriptorCalls.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#include "driver/api/HandleCalls.h"
#include "driver/api/TraceValueRenderers.h"
#include "driver/api/TraceWriter.h"
#include "driver/api/WideArguments.h"
#include "driver/core/Descriptor.h"
#include "driver/core/DiagnosticHeader.h"
#include "driver/core/StringOutput.h"
#include "driver/core/TextEncoding.h"

namespace {

// Most text fields are short names: a first read of this size usually gets
// them whole, and a longer one is read again at its size.
constexpr SQLINTEGER kFirstRead = 4096;

// The descriptor fields whose values are text, converted by the W forms.
constexpr SQLSMALLINT kTextFields[] = {
    SQL_DESC_TYPE_NAME,       SQL_DESC_TABLE_NAME,     SQL_DESC_SCHEMA_NAME,
    SQL_DESC_CATALOG_NAME,    SQL_DESC_LABEL,          SQL_DESC_BASE_COLUMN_NAME,
    SQL_DESC_BASE_TABLE_NAME, SQL_DESC_LITERAL_PREFIX, SQL_DESC_LITERAL_SUFFIX,
    SQL_DESC_LOCAL_TYPE_NAME, SQL_DESC_NAME,
};

bool isTextField(SQLSMALLINT field) {
    return std::find(std::begin(kTextFields), std::end(kTextFields), field) !=
           std::end(kTextFields);
}

void addLine(std::string& text, std::string_view line) {
    text += line;
    text += '\n';
}

std::string named(const char* kind, const void* pointer) {
    return kind + tracePointer(pointer);
}

void traceReturn(Descriptor& descriptor, SQLRETURN rc) {
    if (descriptor.isTracing()) {
        descriptor.writeTrace(traceReturnLine(rc) + "\n");
    }
}

// Bytes a narrow text copy wrote into a buffer of `bufferLength` bytes.
SQLINTEGER writtenBytes(SQLINTEGER fullLength, SQLINTEGER bufferLength) {
    return bufferLength > 0 ? std::clamp<SQLINTEGER>(fullLength, 0, bufferLength) : 0;
}

std::string setFieldLine(const char* function, SQLHDESC handle, SQLSMALLINT recNumber,
                         SQLSMALLINT field, const std::string& value, SQLINTEGER bufferLength) {
    return std::string("rc = ") + function + "(" + named("desc", handle) + ", " +
           toString(recNumber) + ", " + traceDescriptorField(field) + ", (SQLPOINTER) " + value +
           ", " + traceLength(bufferLength) + ");\n";
}

std::string getFieldLines(const char* function, SQLHDESC handle, SQLSMALLINT recNumber,
                          SQLSMALLINT field, SQLPOINTER value, SQLINTEGER bufferLength,
                          const SQLINTEGER* stringLength) {
    std::string text;
    addLine(text, named("char value", value) + "[" + toString(bufferLength) + "];");
    if (stringLength != nullptr) {
        addLine(text, named("SQLINTEGER len", stringLength) + " = 0;");
    }
    addLine(text, std::string("rc = ") + function + "(" + named("desc", handle) + ", " +
                      toString(recNumber) + ", " + traceDescriptorField(field) + ", " +
                      named("value", value) + ", " + toString(bufferLength) + ", " +
                      (stringLength != nullptr ? "&" + named("len", stringLength) : "NULL") + ");");
    return text;
}

void traceGetFieldResult(Descriptor& descriptor, SQLRETURN rc, const std::string& value,
                         const SQLINTEGER* stringLength) {
    if (!descriptor.isTracing()) {
        return;
    }
    std::string text;
    if (SQL_SUCCEEDED(rc)) {
        addLine(text, "// value: " + value);
        addLine(text, "// len: " + traceIntegerOut(stringLength));
    }
    addLine(text, traceReturnLine(rc));
    descriptor.writeTrace(text);
}

struct RecordOutputs {
    SQLSMALLINT* nameLength;
    SQLSMALLINT* type;
    SQLSMALLINT* subType;
    SQLLEN* length;
    SQLSMALLINT* precision;
    SQLSMALLINT* scale;
    SQLSMALLINT* nullable;
};

std::string getRecLine(const char* function, SQLHDESC handle, SQLSMALLINT recNumber,
                       const void* name, SQLSMALLINT bufferLength, const RecordOutputs& out) {
    return std::string("rc = ") + function + "(" + named("desc", handle) + ", " +
           toString(recNumber) + ", " + named("name", name) + ", " + toString(bufferLength) + ", " +
           named("strlen", out.nameLength) + ", " + named("type", out.type) + ", " +
           named("subtype", out.subType) + ", " + named("len", out.length) + ", " +
           named("prec", out.precision) + ", " + named("scale", out.scale) + ", " +
           named("null", out.nullable) + ");\n";
}

void traceGetRecResult(Descriptor& descriptor, SQLRETURN rc, const RecordOutputs& out) {
    if (!descriptor.isTracing()) {
        return;
    }
    std::string text;
    if (SQL_SUCCEEDED(rc)) {
        addLine(text, "// strlen: " + traceSmallIntOut(out.nameLength));
        addLine(text, "// type: " + traceSmallIntOut(out.type));
        addLine(text, "// subtype: " + traceSmallIntOut(out.subType));
        addLine(text, "// len: " + traceLenOut(out.length));
        addLine(text, "// prec: " + traceSmallIntOut(out.precision));
        addLine(text, "// scale: " + traceSmallIntOut(out.scale));
        addLine(text, "// null: " + traceSmallIntOut(out.nullable));
    }
    addLine(text, traceReturnLine(rc));
    descriptor.writeTrace(text);
}

}  // namespace

namespace calls {

SQLRETURN copyDesc(SQLHDESC source, SQLHDESC target) {
    if (source == SQL_NULL_HDESC || target == SQL_NULL_HDESC) {
        return SQL_INVALID_HANDLE;
    }
    Descriptor& descriptor = *descriptorOf(target);
    if (descriptor.isTracing()) {
        descriptor.writeTrace(traceEnterLine() + "\nrc = SQLCopyDesc( " + named("src", source) +
                              ", " + named("dest", target) + ");\n");
    }
    const SQLRETURN rc = descriptor.copyDesc(descriptorOf(source));
    traceReturn(descriptor, rc);
    return rc;
}

SQLRETURN setDescField(SQLHDESC handle, SQLSMALLINT recNumber, SQLSMALLINT field, SQLPOINTER value,
                       SQLINTEGER bufferLength) {
    if (handle == SQL_NULL_HDESC) {
        return SQL_INVALID_HANDLE;
    }
    Descriptor& descriptor = *descriptorOf(handle);
    if (descriptor.isTracing()) {
        descriptor.writeTrace(setFieldLine("SQLSetDescField", handle, recNumber, field,
                                           traceDescriptorFieldValue(field, value, bufferLength),
                                           bufferLength));
    }
    const SQLRETURN rc = descriptor.setDescField(recNumber, field, value, bufferLength);
    traceReturn(descriptor, rc);
    return rc;
}

SQLRETURN setDescFieldW(SQLHDESC handle, SQLSMALLINT recNumber, SQLSMALLINT field, SQLPOINTER value,
                        SQLINTEGER bufferLength) {
    if (handle == SQL_NULL_HDESC) {
        return SQL_INVALID_HANDLE;
    }
    Descriptor& descriptor = *descriptorOf(handle);
    // A text field reaches the descriptor as terminated UTF-8; a null text
    // is an empty one, whatever length came with it.
    std::string converted;
    SQLPOINTER passed = value;
    SQLINTEGER passedLength = bufferLength;
    if (isTextField(field)) {
        const auto* wide = static_cast<const SQLWCHAR*>(value);
        converted = wideToUtf8(
            wide,
            wideInputLength(wide, bufferLength > 0 ? bufferLength / kWideCharBytes : bufferLength));
        passed = converted.data();
        passedLength = SQL_NTS;
    }
    if (descriptor.isTracing()) {
        descriptor.writeTrace(setFieldLine("SQLSetDescFieldW", handle, recNumber, field,
                                           traceDescriptorFieldValue(field, passed, passedLength),
                                           bufferLength));
    }
    const SQLRETURN rc = descriptor.setDescField(recNumber, field, passed, passedLength);
    traceReturn(descriptor, rc);
    return rc;
}

SQLRETURN getDescField(SQLHDESC handle, SQLSMALLINT recNumber, SQLSMALLINT field, SQLPOINTER value,
                       SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    if (handle == SQL_NULL_HDESC) {
        return SQL_INVALID_HANDLE;
    }
    Descriptor& descriptor = *descriptorOf(handle);
    if (descriptor.isTracing()) {
        descriptor.writeTrace(getFieldLines("SQLGetDescField", handle, recNumber, field, value,
                                            bufferLength, stringLength));
    }
    // The length also tells the trace how much of a text was written.
    SQLINTEGER ownLength = 0;
    SQLINTEGER* lengthOut = stringLength != nullptr ? stringLength : &ownLength;
    const SQLRETURN rc = descriptor.getDescField(recNumber, field, value, bufferLength, lengthOut);
    traceGetFieldResult(
        descriptor, rc,
        descriptor.isTracing() && SQL_SUCCEEDED(rc)
            ? traceDescriptorFieldValueOut(field, value, writtenBytes(*lengthOut, bufferLength))
            : std::string(),
        stringLength);
    return rc;
}

SQLRETURN getDescFieldW(SQLHDESC handle, SQLSMALLINT recNumber, SQLSMALLINT field, SQLPOINTER value,
                        SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    if (handle == SQL_NULL_HDESC) {
        return SQL_INVALID_HANDLE;
    }
    Descriptor& descriptor = *descriptorOf(handle);
    if (descriptor.isTracing()) {
        descriptor.writeTrace(getFieldLines("SQLGetDescFieldW", handle, recNumber, field, value,
                                            bufferLength, stringLength));
    }
    SQLRETURN rc;
    if (isTextField(field)) {
        // The whole UTF-8 text first; the caller's buffer then takes the
        // whole characters that fit, and only when the call succeeded.
        const NarrowAnswer answer = readNarrowAnswer<SQLINTEGER>(
            std::min(bufferLength, kFirstRead),
            [&](SQLCHAR* buffer, SQLINTEGER capacity, SQLINTEGER* length) {
                return descriptor.getDescField(recNumber, field, buffer, capacity, length);
            });
        rc = answer.rc;
        if (SQL_SUCCEEDED(rc)) {
            const std::int64_t characters = copyToWide(answer.text, value, bufferLength);
            if (stringLength != nullptr) {
                *stringLength = wideByteLength<SQLINTEGER>(characters);
            }
        }
    } else {
        rc = descriptor.getDescField(recNumber, field, value, bufferLength, stringLength);
    }
    traceGetFieldResult(
        descriptor, rc,
        descriptor.isTracing() && SQL_SUCCEEDED(rc)
            ? traceDescriptorFieldValueOutW(field, value, std::max<SQLINTEGER>(bufferLength, 0))
            : std::string(),
        stringLength);
    return rc;
}

SQLRETURN setDescRec(SQLHDESC handle, SQLSMALLINT recNumber, SQLSMALLINT type, SQLSMALLINT subType,
                     SQLLEN length, SQLSMALLINT precision, SQLSMALLINT scale, SQLPOINTER data,
                     SQLLEN* stringLength, SQLLEN* indicator) {
    if (handle == SQL_NULL_HDESC) {
        return SQL_INVALID_HANDLE;
    }
    Descriptor& descriptor = *descriptorOf(handle);
    if (descriptor.isTracing()) {
        descriptor.writeTrace(
            "rc = SQLSetDescRec(" + named("desc", handle) + ", " + toString(recNumber) + ", " +
            toString(type) + ", " + toString(subType) + ", " + toString(length) + ", " +
            toString(precision) + ", " + toString(scale) + ", " + named("data", data) + ", " +
            named("len", stringLength) + ", " + named("ind", indicator) + ");\n");
    }
    const SQLRETURN rc = descriptor.setDescRec(recNumber, type, subType, length, precision, scale,
                                               data, stringLength, indicator);
    traceReturn(descriptor, rc);
    return rc;
}

SQLRETURN getDescRec(SQLHDESC handle, SQLSMALLINT recNumber, SQLCHAR* name,
                     SQLSMALLINT bufferLength, SQLSMALLINT* nameLength, SQLSMALLINT* type,
                     SQLSMALLINT* subType, SQLLEN* length, SQLSMALLINT* precision,
                     SQLSMALLINT* scale, SQLSMALLINT* nullable) {
    if (handle == SQL_NULL_HDESC) {
        return SQL_INVALID_HANDLE;
    }
    Descriptor& descriptor = *descriptorOf(handle);
    const RecordOutputs out{nameLength, type, subType, length, precision, scale, nullable};
    if (descriptor.isTracing()) {
        descriptor.writeTrace(
            getRecLine("SQLGetDescRec", handle, recNumber, name, bufferLength, out));
    }
    const SQLRETURN rc = descriptor.getDescRec(recNumber, name, bufferLength, nameLength, type,
                                               subType, length, precision, scale, nullable);
    traceGetRecResult(descriptor, rc, out);
    return rc;
}

SQLRETURN getDescRecW(SQLHDESC handle, SQLSMALLINT recNumber, SQLWCHAR* name,
                      SQLSMALLINT bufferLength, SQLSMALLINT* nameLength, SQLSMALLINT* type,
                      SQLSMALLINT* subType, SQLLEN* length, SQLSMALLINT* precision,
                      SQLSMALLINT* scale, SQLSMALLINT* nullable) {
    if (handle == SQL_NULL_HDESC) {
        return SQL_INVALID_HANDLE;
    }
    Descriptor& descriptor = *descriptorOf(handle);
    const RecordOutputs out{nameLength, type, subType, length, precision, scale, nullable};
    if (descriptor.isTracing()) {
        descriptor.writeTrace(
            getRecLine("SQLGetDescRecW", handle, recNumber, name, bufferLength, out));
    }
    // Room for every character the caller's buffer can take, at up to four
    // UTF-8 bytes each; a longer name is read again whole.
    const auto capacity = static_cast<SQLSMALLINT>(
        std::clamp<std::int64_t>(std::int64_t{bufferLength} * kMostUtf8CharBytes, 1, 32767));
    const NarrowAnswer answer = readNarrowAnswer<SQLSMALLINT>(
        capacity, [&](SQLCHAR* buffer, SQLSMALLINT room, SQLSMALLINT* nameBytes) {
            return descriptor.getDescRec(recNumber, buffer, room, nameBytes, type, subType, length,
                                         precision, scale, nullable);
        });
    SQLRETURN rc = answer.rc;
    if (SQL_SUCCEEDED(rc)) {
        const std::int64_t characters =
            copyToWide(answer.text, name,
                       std::int64_t{std::max<SQLSMALLINT>(bufferLength, 0)} *
                           static_cast<std::int64_t>(sizeof(SQLWCHAR)));
        if (rc == SQL_SUCCESS && name != nullptr && characters >= bufferLength) {
            descriptor.diagnostics().appendRecord("01004", 0, "", -1, -1);
            rc = SQL_SUCCESS_WITH_INFO;
        }
        if (nameLength != nullptr) {
            *nameLength = wideCharacterLength<SQLSMALLINT>(characters);
        }
    }
    traceGetRecResult(descriptor, rc, out);
    return rc;
}

}  // namespace calls
