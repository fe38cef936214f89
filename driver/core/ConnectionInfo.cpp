// The SQLGetInfo and SQLGetFunctions side of Connection: the default
// answer of every information item, the dispatch by info type, the limits
// and the supported-function table.

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#include "driver/core/Connection.h"
#include "driver/core/Environment.h"
#include "driver/core/PlatformUtil.h"
#include "driver/core/StringOutput.h"

namespace {

// Writes one answer into the caller's buffer; `length` receives the size.
// Numbers are never written through a null pointer; their size is still
// reported.
void writeInfo(const std::string& text, SQLPOINTER value, SQLSMALLINT bufferLength,
               SQLINTEGER& length, bool terminate) {
    copyStringOut(value, &length, text, bufferLength, terminate);
}

template <typename Number>
void writeNumber(Number number, SQLPOINTER value, SQLINTEGER& length) {
    if (value != nullptr) {
        std::memcpy(value, &number, sizeof number);
    }
    length = static_cast<SQLINTEGER>(sizeof number);
}

void writeInfo(SQLUSMALLINT number, SQLPOINTER value, SQLSMALLINT, SQLINTEGER& length, bool) {
    writeNumber(number, value, length);
}

void writeInfo(SQLUINTEGER number, SQLPOINTER value, SQLSMALLINT, SQLINTEGER& length, bool) {
    writeNumber(number, value, length);
}

// A 16-bit answer that goes out as 32 bits with its sign.
void writeInfo(SQLSMALLINT number, SQLPOINTER value, SQLSMALLINT, SQLINTEGER& length, bool) {
    writeNumber(static_cast<SQLINTEGER>(number), value, length);
}

SQLSMALLINT shortLength(SQLINTEGER length) {
    return static_cast<SQLSMALLINT>(
        std::clamp<SQLINTEGER>(length, 0, std::numeric_limits<SQLSMALLINT>::max()));
}

constexpr int kAllFunctionsSize = 100;

}  // namespace

const InfoItemRow* findInfoItem(SQLUSMALLINT infoType) {
    for (const InfoItemRow& row : kInfoItems) {
        if (row.code == infoType) {
            return &row;
        }
    }
    return nullptr;
}

SQLRETURN Connection::getInfo(SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT bufferLength,
                              SQLSMALLINT* stringLength) {
    diagnostics_.clear();
    SQLINTEGER length = 0;
    SQLRETURN rc = SQL_SUCCESS;
    const bool terminate = outputNts();
    switch (infoType) {
#define MORVANEX_DISPATCH_INFO(code, Name, shape, kind, dflt)            \
    case code:                                                           \
        writeInfo(info##Name(), value, bufferLength, length, terminate); \
        break;
        MORVANEX_INFO_ITEMS(MORVANEX_DISPATCH_INFO)
#undef MORVANEX_DISPATCH_INFO
        default:
            rc = SQL_ERROR;
            break;
    }
    if (stringLength != nullptr) {
        *stringLength = shortLength(length);
    }
    return rc;
}

SQLSMALLINT Connection::getInfoValueType(SQLUSMALLINT infoType) {
    const InfoItemRow* row = findInfoItem(infoType);
    return row == nullptr ? SQL_IS_POINTER : row->kind;
}

SQLRETURN Connection::getFunctions(SQLUSMALLINT functionId, SQLUSMALLINT* supported) {
    diagnostics_.clear();
    if (supported == nullptr) {
        return SQL_SUCCESS;
    }
    const int count = supportedFunctionCount();
    if (functionId == SQL_API_ALL_FUNCTIONS) {
        std::fill_n(supported, kAllFunctionsSize, SQL_FALSE);
        for (int i = 0; i < count; ++i) {
            const SQLUSMALLINT id = supportedFunction(i);
            if (id < kAllFunctionsSize) {
                supported[id] = SQL_TRUE;
            }
        }
    } else if (functionId == SQL_API_ODBC3_ALL_FUNCTIONS) {
        std::fill_n(supported, SQL_API_ODBC3_ALL_FUNCTIONS_SIZE, 0);
        for (int i = 0; i < count; ++i) {
            const SQLUSMALLINT id = supportedFunction(i);
            if (id / 16 < SQL_API_ODBC3_ALL_FUNCTIONS_SIZE) {
                supported[id / 16] =
                    static_cast<SQLUSMALLINT>(supported[id / 16] | 1U << (id % 16));
            }
        }
    } else {
        supported[0] = SQL_FALSE;
        for (int i = 0; i < count; ++i) {
            if (supportedFunction(i) == functionId) {
                supported[0] = SQL_TRUE;
                break;
            }
        }
    }
    return SQL_SUCCESS;
}

int Connection::supportedFunctionCount() const {
    return static_cast<int>(std::size(kBaseSupportedFunctions));
}

SQLUSMALLINT Connection::supportedFunction(int index) const {
    if (index < 0 || index >= supportedFunctionCount()) {
        return 0;
    }
    return kBaseSupportedFunctions[index];
}

std::string Connection::driverFileNameText() const {
    return environment_->driverFileName();
}

std::string Connection::driverBundleVersion() const {
    const std::string identifier = environment_->bundleIdentifier();
    return getBundleVersion(identifier.c_str());
}

#define MORVANEX_DEFINE_INFO(code, Name, shape, kind, dflt) \
    InfoValue<InfoShape::shape> Connection::info##Name() {  \
        return dflt;                                        \
    }
MORVANEX_INFO_ITEMS(MORVANEX_DEFINE_INFO)
#undef MORVANEX_DEFINE_INFO

#define MORVANEX_DEFINE_LIMIT(name)  \
    SQLUINTEGER Connection::name() { \
        return 0;                    \
    }
MORVANEX_CONNECTION_LIMITS(MORVANEX_DEFINE_LIMIT)
#undef MORVANEX_DEFINE_LIMIT
