#include "pemberix/WideParameters.h"

#include "pemberix/Diagnostics.h"
#include "pemberix/PgDriver.h"
#include "pemberix/StatementAttributes.h"
#include "pemberix/StringFields.h"
#include "pemberix/WideText.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace pemberix {
namespace {

constexpr SQLLEN kCharBytes = sizeof(SQLWCHAR);
constexpr SQLLEN kUnitBytes = sizeof(PgWideChar);
// Bind offsets are added to this layer's buffers as well; beyond this size
// they are refused rather than allocated.
constexpr SQLLEN kMaxBindOffset = static_cast<SQLLEN>(1) << 24;

bool isOutput(const WideParameterBinding& binding) {
    return binding.ioType == SQL_PARAM_OUTPUT || binding.ioType == SQL_PARAM_INPUT_OUTPUT;
}

// One row's input as the driver will read it: a UTF-16 value, or an
// indicator the driver interprets itself (NULL, default, data at execution).
struct StagedValue {
    std::u16string text;
    SQLLEN indicator = 0;
};

StagedValue stageRow(const WideParameterBinding& binding, SQLLEN offset, SQLULEN row,
                     SQLULEN bindType) {
    StagedValue staged;
    SQLLEN length = SQL_NTS;
    if (binding.indicator != nullptr) {
        length = readLength(rowAddress(binding.indicator, offset, row, sizeof(SQLLEN), bindType));
    }
    if (binding.ioType == SQL_PARAM_OUTPUT) {
        return staged;
    }
    if (length < 0 && length != SQL_NTS) {
        staged.indicator = length;
        return staged;
    }
    if (binding.value == nullptr) {
        return staged;
    }
    const auto* text = reinterpret_cast<const SQLWCHAR*>(
        rowAddress(binding.value, offset, row, binding.bufferLength, bindType));
    const std::size_t limit = binding.bufferLength > 0
                                  ? static_cast<std::size_t>(binding.bufferLength / kCharBytes)
                                  : std::numeric_limits<std::size_t>::max();
    std::size_t count = 0;
    if (length == SQL_NTS) {
        count = boundedWideLength(text, limit);
    } else {
        count = std::min(static_cast<std::size_t>(length / kCharBytes), limit);
    }
    std::wstring wide(count, L'\0');
    std::memcpy(wide.data(), text, count * sizeof(SQLWCHAR));
    staged.text = toUtf16(wide);
    staged.indicator = static_cast<SQLLEN>(staged.text.size()) * kUnitBytes;
    return staged;
}

// Cuts UTF-16 to fit `bytes`, never between the halves of a pair.
std::size_t unitsFitting(const std::u16string& text, SQLLEN bytes) {
    std::size_t units =
        std::min(text.size(), static_cast<std::size_t>(std::max<SQLLEN>(bytes, 0) / kUnitBytes));
    if (units > 0 && units < text.size() && text[units - 1] >= 0xD800 &&
        text[units - 1] <= 0xDBFF) {
        --units;
    }
    return units;
}

SQLRETURN stageParameter(SQLHSTMT stmt, SQLUSMALLINT number, WideParameterBinding& binding,
                         SQLULEN rows, SQLULEN bindType, SQLLEN offset) {
    std::vector<StagedValue> values;
    values.reserve(rows);
    SQLLEN widest = 0;
    for (SQLULEN row = 0; row < rows; ++row) {
        values.push_back(stageRow(binding, offset, row, bindType));
        widest = std::max(widest, static_cast<SQLLEN>(values.back().text.size()) * kUnitBytes);
    }
    if (isOutput(binding)) {
        // Room for every character the application's buffer can take, each
        // a surrogate pair at worst.
        widest = std::max(widest, binding.bufferLength / kCharBytes * 2 * kUnitBytes);
    }
    binding.rows = rows;
    binding.bindType = bindType;
    binding.offset = offset;
    binding.stride =
        bindType == SQL_PARAM_BIND_BY_COLUMN ? widest + kUnitBytes : static_cast<SQLLEN>(bindType);
    binding.indicatorStride = bindType == SQL_PARAM_BIND_BY_COLUMN
                                  ? static_cast<SQLLEN>(sizeof(SQLLEN))
                                  : static_cast<SQLLEN>(bindType);
    binding.data.assign(static_cast<std::size_t>(offset) + rows * binding.stride + kUnitBytes, 0);
    binding.indicators.assign(
        static_cast<std::size_t>(offset) + rows * binding.indicatorStride + sizeof(SQLLEN), 0);
    for (SQLULEN row = 0; row < rows; ++row) {
        const StagedValue& staged = values[row];
        unsigned char* slot = binding.data.data() + offset + row * binding.stride;
        const std::size_t units = unitsFitting(staged.text, binding.stride - kUnitBytes);
        std::memcpy(slot, staged.text.data(), units * kUnitBytes);
        const SQLLEN indicator =
            staged.indicator >= 0 ? static_cast<SQLLEN>(units) * kUnitBytes : staged.indicator;
        writeLength(reinterpret_cast<std::uintptr_t>(binding.indicators.data() + offset +
                                                     row * binding.indicatorStride),
                    indicator);
    }
    return pg().SQLBindParameter(stmt, number, binding.ioType, SQL_C_WCHAR, binding.parameterType,
                                 binding.columnSize, binding.decimalDigits, binding.data.data(),
                                 binding.stride,
                                 reinterpret_cast<SQLLEN*>(binding.indicators.data()));
}

SQLRETURN stageWideParameters(SQLHSTMT stmt, StatementState& state) {
    const SQLULEN rows = std::max<SQLULEN>(statementNumber(stmt, SQL_ATTR_PARAMSET_SIZE, 1), 1);
    const SQLULEN bindType =
        statementNumber(stmt, SQL_ATTR_PARAM_BIND_TYPE, SQL_PARAM_BIND_BY_COLUMN);
    const SQLLEN offset = bindOffset(stmt, SQL_ATTR_PARAM_BIND_OFFSET_PTR);
    if (offset < 0 || offset > kMaxBindOffset) {
        postRecord(SQL_HANDLE_STMT, stmt,
                   ownRecord("HYC00", 0,
                             "Optional feature not implemented: bind offset with SQL_C_WCHAR"));
        return SQL_ERROR;
    }
    for (auto& [number, binding] : state.wideParameters) {
        const SQLRETURN rc = stageParameter(stmt, number, binding, rows, bindType, offset);
        if (!SQL_SUCCEEDED(rc)) {
            return rc;
        }
    }
    return SQL_SUCCESS;
}

// Converts one row of an output parameter back; true when it was cut.
bool returnRow(const WideParameterBinding& binding, SQLULEN row) {
    const SQLLEN indicator = readLength(reinterpret_cast<std::uintptr_t>(
        binding.indicators.data() + binding.offset + row * binding.indicatorStride));
    const std::uintptr_t appIndicator =
        binding.indicator != nullptr
            ? rowAddress(binding.indicator, binding.offset, row, sizeof(SQLLEN), binding.bindType)
            : 0;
    if (indicator == SQL_NULL_DATA) {
        if (appIndicator != 0) {
            writeLength(appIndicator, SQL_NULL_DATA);
        }
        return false;
    }
    const auto* slot = reinterpret_cast<const PgWideChar*>(binding.data.data() + binding.offset +
                                                           row * binding.stride);
    const std::size_t room = static_cast<std::size_t>((binding.stride - kUnitBytes) / kUnitBytes);
    std::u16string units(room, u'\0');
    std::memcpy(units.data(), slot, room * kUnitBytes);
    const std::size_t count = indicator >= 0
                                  ? std::min(static_cast<std::size_t>(indicator / kUnitBytes), room)
                                  : boundedUtf16Length(units.data(), room);
    units.resize(count);
    const std::wstring text = toUtf32(units);
    // What the driver could not fit is counted a character a unit.
    const SQLLEN unread = indicator >= 0 ? indicator / kUnitBytes - static_cast<SQLLEN>(count) : 0;
    void* target = binding.value != nullptr
                       ? reinterpret_cast<void*>(rowAddress(binding.value, binding.offset, row,
                                                            binding.bufferLength, binding.bindType))
                       : nullptr;
    const bool truncated =
        copyWideOut(text, target, binding.bufferLength / kCharBytes) || unread > 0;
    if (appIndicator != 0) {
        writeLength(appIndicator, (static_cast<SQLLEN>(text.size()) + unread) * kCharBytes);
    }
    return truncated;
}

SQLRETURN returnOutputParameters(SQLHSTMT stmt, StatementState& state, SQLRETURN rc) {
    if (!SQL_SUCCEEDED(rc)) {
        return rc;
    }
    bool truncated = false;
    for (const auto& [number, binding] : state.wideParameters) {
        if (!isOutput(binding) || binding.data.empty()) {
            continue;
        }
        for (SQLULEN row = 0; row < binding.rows; ++row) {
            truncated = returnRow(binding, row) || truncated;
        }
    }
    if (!truncated) {
        return rc;
    }
    postRecord(SQL_HANDLE_STMT, stmt,
               ownRecord("01004", -2, "The buffer was too small for the output parameter."));
    return SQL_SUCCESS_WITH_INFO;
}

}  // namespace

bool wantsWideParameter(SQLSMALLINT valueType, SQLSMALLINT parameterType) {
    return valueType == SQL_C_WCHAR || (valueType == SQL_C_DEFAULT && isWideSqlType(parameterType));
}

SQLRETURN bindWideParameter(SQLHSTMT stmt, StatementState& state, SQLUSMALLINT number,
                            SQLSMALLINT ioType, SQLSMALLINT parameterType, SQLULEN columnSize,
                            SQLSMALLINT decimalDigits, SQLPOINTER value, SQLLEN bufferLength,
                            SQLLEN* indicator) {
    WideParameterBinding binding;
    binding.ioType = ioType;
    binding.parameterType = parameterType;
    binding.columnSize = columnSize;
    binding.decimalDigits = decimalDigits;
    binding.value = value;
    binding.bufferLength = bufferLength;
    binding.indicator = indicator;
    // Until the first execution the driver holds an empty copy; the driver
    // checks the arguments as it would the application's.
    binding.stride = kUnitBytes;
    binding.indicatorStride = sizeof(SQLLEN);
    binding.data.assign(static_cast<std::size_t>(kUnitBytes), 0);
    binding.indicators.assign(sizeof(SQLLEN), 0);
    const SQLRETURN rc = pg().SQLBindParameter(
        stmt, number, ioType, SQL_C_WCHAR, parameterType, columnSize, decimalDigits,
        binding.data.data(), bufferLength < 0 ? bufferLength : 0,
        reinterpret_cast<SQLLEN*>(binding.indicators.data()));
    if (SQL_SUCCEEDED(rc)) {
        state.wideParameters[number] = std::move(binding);
    }
    return rc;
}

SQLRETURN executeWithWideParameters(SQLHSTMT stmt, StatementState& state,
                                    const std::function<SQLRETURN()>& execute) {
    state.dataAtExecParameter.reset();
    if (state.wideParameters.empty()) {
        return execute();
    }
    const SQLRETURN staged = stageWideParameters(stmt, state);
    if (!SQL_SUCCEEDED(staged)) {
        return staged;
    }
    return returnOutputParameters(stmt, state, execute());
}

SQLRETURN paramDataWide(SQLHSTMT stmt, StatementState& state, SQLPOINTER* value) {
    state.dataAtExecParameter.reset();
    SQLPOINTER token = nullptr;
    const SQLRETURN rc = pg().SQLParamData(stmt, &token);
    if (rc == SQL_NEED_DATA) {
        const auto address = reinterpret_cast<std::uintptr_t>(token);
        for (const auto& [number, binding] : state.wideParameters) {
            const auto begin = reinterpret_cast<std::uintptr_t>(binding.data.data());
            if (address < begin || address >= begin + binding.data.size()) {
                continue;
            }
            // The driver names this layer's copy; the application expects
            // the value pointer it bound for that row.
            const SQLLEN position = static_cast<SQLLEN>(address - begin) - binding.offset;
            const SQLULEN row = position > 0 && binding.stride > 0
                                    ? static_cast<SQLULEN>(position / binding.stride)
                                    : 0;
            token = reinterpret_cast<SQLPOINTER>(rowAddress(
                binding.value, binding.offset, row, binding.bufferLength, binding.bindType));
            state.dataAtExecParameter = number;
            break;
        }
    }
    if (value != nullptr) {
        *value = token;
    }
    if (rc == SQL_NEED_DATA) {
        return rc;
    }
    return returnOutputParameters(stmt, state, rc);
}

SQLRETURN putDataWide(SQLHSTMT stmt, StatementState& state, SQLPOINTER data, SQLLEN length) {
    const bool special = data == nullptr || (length < 0 && length != SQL_NTS);
    if (!state.dataAtExecParameter || special) {
        return pg().SQLPutData(stmt, data, length);
    }
    const auto* text = static_cast<const SQLWCHAR*>(data);
    const std::size_t count = length == SQL_NTS
                                  ? boundedWideLength(text, std::numeric_limits<std::size_t>::max())
                                  : static_cast<std::size_t>(length / kCharBytes);
    std::wstring wide(count, L'\0');
    std::memcpy(wide.data(), text, count * sizeof(SQLWCHAR));
    std::u16string converted = toUtf16(wide);
    return pg().SQLPutData(stmt, converted.data(),
                           static_cast<SQLLEN>(converted.size()) * kUnitBytes);
}

}  // namespace pemberix
