#include <cstring>

#include "driver/core/Connection.h"
#include "driver/core/Descriptor.h"
#include "driver/core/Statement.h"

namespace {

enum class Width { Bits32, Bits64 };

template <typename T>
T* asPointer(SQLULEN value) {
    return reinterpret_cast<T*>(static_cast<std::uintptr_t>(value));
}

template <typename T>
SQLULEN fromPointer(T* pointer) {
    return static_cast<SQLULEN>(reinterpret_cast<std::uintptr_t>(pointer));
}

SQLUINTEGER low32(SQLULEN value) {
    return static_cast<SQLUINTEGER>(value);
}

// One row per statement attribute: its number, the width of its value, and
// how it is set and read. A row without a setter is read-only.
struct AttributeRow {
    SQLINTEGER attribute;
    Width width;
    SQLRETURN (*set)(Statement&, SQLULEN);
    SQLULEN (*get)(const Statement&);
};

// clang-format off
const AttributeRow kAttributes[] = {
    {SQL_ATTR_CURSOR_SENSITIVITY, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrCursorSensitivity(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrCursorSensitivity(); }},
    {SQL_ATTR_CURSOR_SCROLLABLE, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrCursorScrollable(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrCursorScrollable(); }},
    {SQL_ATTR_QUERY_TIMEOUT, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrQueryTimeout(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrQueryTimeout(); }},
    {SQL_ATTR_MAX_ROWS, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrMaxRows(v); },
     [](const Statement& s) -> SQLULEN { return s.getAttrMaxRows(); }},
    {SQL_ATTR_NOSCAN, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrNoscan(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrNoscan(); }},
    {SQL_ATTR_MAX_LENGTH, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrMaxLength(v); },
     [](const Statement& s) -> SQLULEN { return s.getAttrMaxLength(); }},
    {SQL_ATTR_ASYNC_ENABLE, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrAsyncEnable(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrAsyncEnable(); }},
    {SQL_ATTR_ROW_BIND_TYPE, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrRowBindType(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrRowBindType(); }},
    {SQL_ATTR_CURSOR_TYPE, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrCursorType(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrCursorType(); }},
    {SQL_ATTR_CONCURRENCY, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrConcurrency(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrConcurrency(); }},
    {SQL_ATTR_KEYSET_SIZE, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrKeysetSize(v); },
     [](const Statement& s) -> SQLULEN { return s.getAttrKeysetSize(); }},
    {SQL_ROWSET_SIZE, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrRowArraySize(v); },
     [](const Statement& s) -> SQLULEN { return s.getAttrRowArraySize(); }},
    {SQL_ATTR_SIMULATE_CURSOR, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrSimulateCursor(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrSimulateCursor(); }},
    {SQL_ATTR_RETRIEVE_DATA, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrRetrieveData(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrRetrieveData(); }},
    {SQL_ATTR_USE_BOOKMARKS, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrUseBookmarks(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrUseBookmarks(); }},
    {SQL_ATTR_ROW_NUMBER, Width::Bits64, nullptr,
     [](const Statement& s) -> SQLULEN { return s.getAttrRowNumber(); }},
    {SQL_ATTR_ENABLE_AUTO_IPD, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrEnableAutoIpd(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrEnableAutoIpd(); }},
    {SQL_ATTR_FETCH_BOOKMARK_PTR, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrFetchBookmarkPtr(asPointer<SQLLEN>(v)); },
     [](const Statement& s) { return fromPointer(s.getAttrFetchBookmarkPtr()); }},
    {SQL_ATTR_PARAM_BIND_OFFSET_PTR, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrParamBindOffsetPtr(asPointer<SQLLEN>(v)); },
     [](const Statement& s) { return fromPointer(s.getAttrParamBindOffsetPtr()); }},
    {SQL_ATTR_PARAM_BIND_TYPE, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrParamBindType(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrParamBindType(); }},
    {SQL_ATTR_PARAM_OPERATION_PTR, Width::Bits64,
     [](Statement& s, SQLULEN v) {
         return s.setAttrParamOperationPtr(asPointer<SQLUSMALLINT>(v)); },
     [](const Statement& s) { return fromPointer(s.getAttrParamOperationPtr()); }},
    {SQL_ATTR_PARAM_STATUS_PTR, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrParamStatusPtr(asPointer<SQLUSMALLINT>(v)); },
     [](const Statement& s) { return fromPointer(s.getAttrParamStatusPtr()); }},
    {SQL_ATTR_PARAMS_PROCESSED_PTR, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrParamsProcessedPtr(asPointer<SQLULEN>(v)); },
     [](const Statement& s) { return fromPointer(s.getAttrParamsProcessedPtr()); }},
    {SQL_ATTR_PARAMSET_SIZE, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrParamsetSize(v); },
     [](const Statement& s) -> SQLULEN { return s.getAttrParamsetSize(); }},
    {SQL_ATTR_ROW_BIND_OFFSET_PTR, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrRowBindOffsetPtr(asPointer<SQLLEN>(v)); },
     [](const Statement& s) { return fromPointer(s.getAttrRowBindOffsetPtr()); }},
    {SQL_ATTR_ROW_OPERATION_PTR, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrRowOperationPtr(asPointer<SQLUSMALLINT>(v)); },
     [](const Statement& s) { return fromPointer(s.getAttrRowOperationPtr()); }},
    {SQL_ATTR_ROW_STATUS_PTR, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrRowStatusPtr(asPointer<SQLUSMALLINT>(v)); },
     [](const Statement& s) { return fromPointer(s.getAttrRowStatusPtr()); }},
    {SQL_ATTR_ROWS_FETCHED_PTR, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrRowsFetchedPtr(asPointer<SQLULEN>(v)); },
     [](const Statement& s) { return fromPointer(s.getAttrRowsFetchedPtr()); }},
    {SQL_ATTR_ROW_ARRAY_SIZE, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrRowArraySize(v); },
     [](const Statement& s) -> SQLULEN { return s.getAttrRowArraySize(); }},
    {SQL_ATTR_APP_ROW_DESC, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrAppRowDesc(asPointer<Descriptor>(v)); },
     [](const Statement& s) { return fromPointer(s.getAttrAppRowDesc()); }},
    {SQL_ATTR_APP_PARAM_DESC, Width::Bits64,
     [](Statement& s, SQLULEN v) { return s.setAttrAppParamDesc(asPointer<Descriptor>(v)); },
     [](const Statement& s) { return fromPointer(s.getAttrAppParamDesc()); }},
    {SQL_ATTR_IMP_ROW_DESC, Width::Bits64, nullptr,
     [](const Statement& s) { return fromPointer(s.getAttrImpRowDesc()); }},
    {SQL_ATTR_IMP_PARAM_DESC, Width::Bits64, nullptr,
     [](const Statement& s) { return fromPointer(s.getAttrImpParamDesc()); }},
    {SQL_ATTR_METADATA_ID, Width::Bits32,
     [](Statement& s, SQLULEN v) { return s.setAttrMetadataId(low32(v)); },
     [](const Statement& s) -> SQLULEN { return s.getAttrMetadataId(); }},
};
// clang-format on

const AttributeRow* findAttribute(SQLINTEGER attribute) {
    for (const AttributeRow& row : kAttributes) {
        if (row.attribute == attribute) {
            return &row;
        }
    }
    return nullptr;
}

bool has(SQLUINTEGER mask, SQLUINTEGER bits) {
    return (mask & bits) != 0;
}

}  // namespace

// --- Dispatch --------------------------------------------------------------------

SQLRETURN Statement::setStmtAttr(SQLINTEGER attribute, SQLPOINTER value,
                                 SQLINTEGER /*stringLength*/) {
    diagnostics_.clear();
    const AttributeRow* row = findAttribute(attribute);
    if (row == nullptr) {
        return SQL_SUCCESS;
    }
    if (row->set == nullptr) {
        postState("HY017");
        return SQL_ERROR;
    }
    return row->set(*this, static_cast<SQLULEN>(reinterpret_cast<std::uintptr_t>(value)));
}

SQLRETURN Statement::getStmtAttr(SQLINTEGER attribute, SQLPOINTER value,
                                 SQLINTEGER /*bufferLength*/, SQLINTEGER* stringLength) {
    diagnostics_.clear();
    if (stringLength != nullptr) {
        *stringLength = 0;
    }
    const AttributeRow* row = findAttribute(attribute);
    if (row == nullptr || value == nullptr) {
        return SQL_SUCCESS;
    }
    const SQLULEN current = row->get(*this);
    if (row->width == Width::Bits32) {
        const SQLUINTEGER narrow = low32(current);
        std::memcpy(value, &narrow, sizeof narrow);
    } else {
        std::memcpy(value, &current, sizeof current);
    }
    return SQL_SUCCESS;
}

// --- Rules shared by several setters -----------------------------------------------

SQLRETURN Statement::applyStateRule() {
    if (state_ == StatementState::Positioned) {
        postState("24000");
        return SQL_ERROR;
    }
    if (state_ != StatementState::Allocated) {
        postState("HY011");
        return SQL_ERROR;
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::applyBookmarkRule() {
    if (fetchBookmarkPtr_ != nullptr && connection_->infoBookmarkPersistence() == 0) {
        postState("HYC00");
        return SQL_ERROR;
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::clipToLimits(SQLULEN value, SQLULEN minimum, SQLULEN maximum,
                                  SQLULEN& stored) {
    if (minimum != 0 && value != 0 && minimum > value) {
        stored = minimum;
    } else if (maximum != 0 && value != 0 && maximum < value) {
        stored = maximum;
    } else {
        stored = value;
        return SQL_SUCCESS;
    }
    postState("01S02");
    return SQL_SUCCESS_WITH_INFO;
}

// --- Setters -------------------------------------------------------------------------

SQLRETURN Statement::setAttrAppParamDesc(Descriptor* descriptor) {
    Descriptor* next = descriptor == nullptr ? implicitApd_.get() : descriptor;
    if (next != implicitApd_.get() && next->getAllocType() == SQL_DESC_ALLOC_AUTO) {
        postState("HY017");
        return SQL_ERROR;
    }
    useDescriptor(currentApd_, implicitApd_.get(), next);
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrAppRowDesc(Descriptor* descriptor) {
    Descriptor* next = descriptor == nullptr ? implicitArd_.get() : descriptor;
    if (next != implicitArd_.get() && next->getAllocType() == SQL_DESC_ALLOC_AUTO) {
        postState("HY017");
        return SQL_ERROR;
    }
    useDescriptor(currentArd_, implicitArd_.get(), next);
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrAsyncEnable(SQLUINTEGER value) {
    if (value == SQL_ASYNC_ENABLE_ON) {
        const SQLUINTEGER mode = connection_->infoAsyncMode();
        if (mode == SQL_AM_NONE || mode == SQL_AM_CONNECTION) {
            postState("HYC00");
            return SQL_ERROR;
        }
        asyncEnable_ = value;
    } else if (value == SQL_ASYNC_ENABLE_OFF) {
        asyncEnable_ = value;
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrConcurrency(SQLUINTEGER value) {
    if (applyStateRule() != SQL_SUCCESS) {
        return SQL_ERROR;
    }
    const SQLUINTEGER ca2 = cursorAttributes2();
    SQLUINTEGER chosen = value;
    const char* refusal = nullptr;
    switch (value) {
        case SQL_CONCUR_READ_ONLY:
            if (!has(ca2, SQL_CA2_READ_ONLY_CONCURRENCY)) {
                refusal = "Read-only concurrency not supported for cursor";
            }
            break;
        case SQL_CONCUR_LOCK:
        case SQL_CONCUR_ROWVER:
            if (value == SQL_CONCUR_LOCK && has(ca2, SQL_CA2_LOCK_CONCURRENCY)) {
                break;
            }
            if (has(ca2, SQL_CA2_OPT_ROWVER_CONCURRENCY)) {
                chosen = SQL_CONCUR_ROWVER;
            } else if (has(ca2, SQL_CA2_OPT_VALUES_CONCURRENCY)) {
                chosen = SQL_CONCUR_VALUES;
            } else {
                refusal = "Row version concurrency not supported for cursor";
            }
            break;
        case SQL_CONCUR_VALUES:
            if (has(ca2, SQL_CA2_OPT_VALUES_CONCURRENCY)) {
                break;
            }
            if (has(ca2, SQL_CA2_OPT_ROWVER_CONCURRENCY)) {
                chosen = SQL_CONCUR_ROWVER;
            } else {
                refusal = "Row version concurrency not supported for cursor";
            }
            break;
        default:
            break;
    }
    if (refusal != nullptr) {
        postState("HYC00", refusal);
        return SQL_ERROR;
    }
    concurrency_ = chosen;

    SQLRETURN rc = SQL_SUCCESS;
    const SQLUINTEGER sensitivity = connection_->infoCursorSensitivity() & SQL_SENSITIVE;
    if (chosen == SQL_CONCUR_LOCK || chosen == SQL_CONCUR_ROWVER || chosen == SQL_CONCUR_VALUES) {
        if (cursorSensitivity_ != sensitivity) {
            rc = setAttrCursorSensitivity(sensitivity);
        }
        if (chosen == SQL_CONCUR_VALUES && has(connection_->infoScrollOptions(), SQL_SO_STATIC) &&
            cursorType_ != SQL_CURSOR_STATIC) {
            setAttrCursorType(SQL_CURSOR_STATIC);
        }
    } else if (chosen == SQL_CONCUR_READ_ONLY) {
        cursorSensitivity_ = SQL_INSENSITIVE;
    }
    if (chosen != value) {
        postState("01S02");
        return SQL_SUCCESS_WITH_INFO;
    }
    return rc;
}

SQLRETURN Statement::setAttrCursorScrollable(SQLUINTEGER value) {
    const SQLUINTEGER options = connection_->infoScrollOptions();
    if (value == SQL_SCROLLABLE && cursorType_ == SQL_CURSOR_FORWARD_ONLY) {
        SQLUINTEGER type = 0;
        if (has(options, SQL_SO_STATIC)) {
            type = SQL_CURSOR_STATIC;
        } else if (has(options, SQL_SO_KEYSET_DRIVEN)) {
            type = SQL_CURSOR_KEYSET_DRIVEN;
        } else if (has(options, SQL_SO_DYNAMIC | SQL_SO_MIXED)) {
            type = SQL_CURSOR_DYNAMIC;
        } else {
            postState("HYC00",
                      "Can't make cursor scrollable because only forward-only cursors are "
                      "supported");
            return SQL_ERROR;
        }
        // Stored first, so the cursor type's own alignment finds it done.
        cursorScrollable_ = SQL_SCROLLABLE;
        setAttrCursorType(type);
    } else if (value == SQL_NONSCROLLABLE && cursorType_ != SQL_CURSOR_FORWARD_ONLY) {
        cursorScrollable_ = SQL_NONSCROLLABLE;
        setAttrCursorType(SQL_CURSOR_FORWARD_ONLY);
    } else {
        cursorScrollable_ = value;
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrCursorSensitivity(SQLUINTEGER value) {
    const SQLUINTEGER options = connection_->infoScrollOptions();
    const SQLUINTEGER supported = connection_->infoCursorSensitivity();
    if (value == SQL_SENSITIVE) {
        if (!has(supported, SQL_SENSITIVE)) {
            postState("HYC00", "Sensitive cursors not supported");
            return SQL_ERROR;
        }
        cursorSensitivity_ = SQL_SENSITIVE;
        if (!has(cursorAttributes2(), SQL_CA2_OPT_VALUES_CONCURRENCY)) {
            concurrency_ = SQL_CONCUR_READ_ONLY;
            postState("01000", "Values concurrency not supported, required for sensitive cursors");
            return SQL_SUCCESS_WITH_INFO;
        }
        if (concurrency_ != SQL_CONCUR_VALUES) {
            setAttrConcurrency(SQL_CONCUR_VALUES);
        }
        return SQL_SUCCESS;
    }
    if (value == SQL_INSENSITIVE) {
        if (!has(supported, SQL_INSENSITIVE)) {
            postState("HYC00", "Insensitive cursors not supported");
            return SQL_ERROR;
        }
        cursorSensitivity_ = SQL_INSENSITIVE;
        if (concurrency_ != SQL_CONCUR_READ_ONLY) {
            setAttrConcurrency(SQL_CONCUR_READ_ONLY);
        }
        if (!has(options, SQL_SO_STATIC)) {
            if (cursorType_ != SQL_CURSOR_FORWARD_ONLY) {
                setAttrCursorType(SQL_CURSOR_FORWARD_ONLY);
            }
            postState("01000", "Static cursors not supported, required for insensitive cursors");
            return SQL_SUCCESS_WITH_INFO;
        }
        if (cursorType_ != SQL_CURSOR_STATIC) {
            setAttrCursorType(SQL_CURSOR_STATIC);
        }
        return SQL_SUCCESS;
    }
    cursorSensitivity_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrCursorType(SQLUINTEGER value) {
    if (applyStateRule() != SQL_SUCCESS) {
        return SQL_ERROR;
    }
    const SQLUINTEGER options = connection_->infoScrollOptions();
    SQLUINTEGER type = value;
    if (type == SQL_CURSOR_DYNAMIC && !has(options, SQL_SO_DYNAMIC)) {
        type = SQL_CURSOR_KEYSET_DRIVEN;
    }
    if (type == SQL_CURSOR_KEYSET_DRIVEN && !has(options, SQL_SO_KEYSET_DRIVEN)) {
        type = SQL_CURSOR_STATIC;
    }
    if (type == SQL_CURSOR_STATIC && !has(options, SQL_SO_STATIC)) {
        type = SQL_CURSOR_FORWARD_ONLY;
    }
    cursorType_ = type;

    const SQLUINTEGER sensitivity = connection_->infoCursorSensitivity() & SQL_SENSITIVE;
    if (type == SQL_CURSOR_FORWARD_ONLY) {
        if (cursorScrollable_ != SQL_NONSCROLLABLE) {
            setAttrCursorScrollable(SQL_NONSCROLLABLE);
        }
    } else if (type == SQL_CURSOR_KEYSET_DRIVEN || type == SQL_CURSOR_DYNAMIC ||
               type == SQL_CURSOR_STATIC) {
        if (cursorScrollable_ != SQL_SCROLLABLE) {
            setAttrCursorScrollable(SQL_SCROLLABLE);
        }
        if (type == SQL_CURSOR_DYNAMIC) {
            if (concurrency_ != SQL_CONCUR_READ_ONLY && cursorSensitivity_ != SQL_SENSITIVE) {
                setAttrCursorSensitivity(SQL_SENSITIVE);
            }
        } else {
            if (concurrency_ != SQL_CONCUR_READ_ONLY && cursorSensitivity_ != sensitivity) {
                setAttrCursorSensitivity(sensitivity);
            }
            if (type == SQL_CURSOR_STATIC && concurrency_ == SQL_CONCUR_READ_ONLY &&
                cursorSensitivity_ != SQL_INSENSITIVE) {
                setAttrCursorSensitivity(SQL_INSENSITIVE);
            }
        }
    }
    if (type != value) {
        postState("01S02");
        return SQL_SUCCESS_WITH_INFO;
    }
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrEnableAutoIpd(SQLUINTEGER value) {
    enableAutoIpd_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrFetchBookmarkPtr(SQLLEN* pointer) {
    if (applyBookmarkRule() != SQL_SUCCESS) {
        return SQL_ERROR;
    }
    fetchBookmarkPtr_ = pointer;
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrKeysetSize(SQLULEN value) {
    return clipToLimits(value, 0, connection_->keysetSizeMax(), keysetSize_);
}

SQLRETURN Statement::setAttrMaxLength(SQLULEN value) {
    return clipToLimits(value, connection_->maxLengthMin(), connection_->maxLengthMax(),
                        maxLength_);
}

SQLRETURN Statement::setAttrMaxRows(SQLULEN value) {
    maxRows_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrMetadataId(SQLUINTEGER value) {
    metadataId_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrNoscan(SQLUINTEGER value) {
    noscan_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrParamBindOffsetPtr(SQLLEN* pointer) {
    return currentApd_->setBindOffsetPtr(pointer);
}

SQLRETURN Statement::setAttrParamBindType(SQLUINTEGER value) {
    return currentApd_->setBindType(static_cast<SQLINTEGER>(value));
}

SQLRETURN Statement::setAttrParamOperationPtr(SQLUSMALLINT* pointer) {
    return currentApd_->setArrayStatusPtr(pointer);
}

SQLRETURN Statement::setAttrParamStatusPtr(SQLUSMALLINT* pointer) {
    return ipd_->setArrayStatusPtr(pointer);
}

SQLRETURN Statement::setAttrParamsProcessedPtr(SQLULEN* pointer) {
    return ipd_->setRowsProcessedPtr(pointer);
}

SQLRETURN Statement::setAttrParamsetSize(SQLULEN value) {
    return currentApd_->setArraySize(value);
}

SQLRETURN Statement::setAttrQueryTimeout(SQLUINTEGER value) {
    SQLULEN stored = queryTimeout_;
    const SQLRETURN rc =
        clipToLimits(value, connection_->queryTimeoutMin(), connection_->queryTimeoutMax(), stored);
    queryTimeout_ = static_cast<SQLUINTEGER>(stored);
    return rc;
}

SQLRETURN Statement::setAttrRetrieveData(SQLUINTEGER value) {
    retrieveData_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrRowArraySize(SQLULEN value) {
    return currentArd_->setArraySize(value);
}

SQLRETURN Statement::setAttrRowBindOffsetPtr(SQLLEN* pointer) {
    return currentArd_->setBindOffsetPtr(pointer);
}

SQLRETURN Statement::setAttrRowBindType(SQLUINTEGER value) {
    return currentArd_->setBindType(static_cast<SQLINTEGER>(value));
}

SQLRETURN Statement::setAttrRowOperationPtr(SQLUSMALLINT* pointer) {
    return currentArd_->setArrayStatusPtr(pointer);
}

SQLRETURN Statement::setAttrRowStatusPtr(SQLUSMALLINT* pointer) {
    return ird_->setArrayStatusPtr(pointer);
}

SQLRETURN Statement::setAttrRowsFetchedPtr(SQLULEN* pointer) {
    return ird_->setRowsProcessedPtr(pointer);
}

SQLRETURN Statement::setAttrSimulateCursor(SQLUINTEGER value) {
    if (applyStateRule() != SQL_SUCCESS) {
        return SQL_ERROR;
    }
    simulateCursor_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Statement::setAttrUseBookmarks(SQLUINTEGER value) {
    if (applyStateRule() != SQL_SUCCESS || applyBookmarkRule() != SQL_SUCCESS) {
        return SQL_ERROR;
    }
    useBookmarks_ = value;
    return SQL_SUCCESS;
}

// --- Getters -------------------------------------------------------------------------

Descriptor* Statement::getAttrAppParamDesc() const {
    return currentApd_;
}
Descriptor* Statement::getAttrAppRowDesc() const {
    return currentArd_;
}
SQLUINTEGER Statement::getAttrAsyncEnable() const {
    return asyncEnable_;
}
SQLUINTEGER Statement::getAttrConcurrency() const {
    return concurrency_;
}
SQLUINTEGER Statement::getAttrCursorScrollable() const {
    return cursorScrollable_;
}
SQLUINTEGER Statement::getAttrCursorSensitivity() const {
    return cursorSensitivity_;
}
SQLUINTEGER Statement::getAttrCursorType() const {
    return cursorType_;
}
SQLUINTEGER Statement::getAttrEnableAutoIpd() const {
    return enableAutoIpd_;
}
SQLLEN* Statement::getAttrFetchBookmarkPtr() const {
    return fetchBookmarkPtr_;
}
Descriptor* Statement::getAttrImpParamDesc() const {
    return ipd_.get();
}
Descriptor* Statement::getAttrImpRowDesc() const {
    return ird_.get();
}
SQLULEN Statement::getAttrKeysetSize() const {
    return keysetSize_;
}
SQLULEN Statement::getAttrMaxLength() const {
    return maxLength_;
}
SQLULEN Statement::getAttrMaxRows() const {
    return maxRows_;
}
SQLUINTEGER Statement::getAttrMetadataId() const {
    return metadataId_;
}
SQLUINTEGER Statement::getAttrNoscan() const {
    return noscan_;
}
SQLLEN* Statement::getAttrParamBindOffsetPtr() const {
    return currentApd_->getBindOffsetPtr();
}
SQLUINTEGER Statement::getAttrParamBindType() const {
    return static_cast<SQLUINTEGER>(currentApd_->getBindType());
}
SQLUSMALLINT* Statement::getAttrParamOperationPtr() const {
    return currentApd_->getArrayStatusPtr();
}
SQLUSMALLINT* Statement::getAttrParamStatusPtr() const {
    return ipd_->getArrayStatusPtr();
}
SQLULEN* Statement::getAttrParamsProcessedPtr() const {
    return ipd_->getRowsProcessedPtr();
}
SQLULEN Statement::getAttrParamsetSize() const {
    return currentApd_->getArraySize();
}
SQLUINTEGER Statement::getAttrQueryTimeout() const {
    return queryTimeout_;
}
SQLUINTEGER Statement::getAttrRetrieveData() const {
    return retrieveData_;
}
SQLULEN Statement::getAttrRowArraySize() const {
    return currentArd_->getArraySize();
}
SQLLEN* Statement::getAttrRowBindOffsetPtr() const {
    return currentArd_->getBindOffsetPtr();
}
SQLUINTEGER Statement::getAttrRowBindType() const {
    return static_cast<SQLUINTEGER>(currentArd_->getBindType());
}
SQLULEN Statement::getAttrRowNumber() const {
    return rowNumber_;
}
SQLUSMALLINT* Statement::getAttrRowOperationPtr() const {
    return currentArd_->getArrayStatusPtr();
}
SQLUSMALLINT* Statement::getAttrRowStatusPtr() const {
    return ird_->getArrayStatusPtr();
}
SQLULEN* Statement::getAttrRowsFetchedPtr() const {
    return ird_->getRowsProcessedPtr();
}
SQLUINTEGER Statement::getAttrSimulateCursor() const {
    return simulateCursor_;
}
SQLUINTEGER Statement::getAttrUseBookmarks() const {
    return useBookmarks_;
}
