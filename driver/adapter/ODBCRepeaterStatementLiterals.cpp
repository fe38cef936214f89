// Parameter values spliced into the SQL text when the data source turns
// parameter binding off: each literal is written in the adapted database's
// own quoting rules, so that no value can end its quoted run early or turn
// the text after it into a comment.

#include <sqlext.h>

#include <array>
#include <cstring>
#include <string>

#include "driver/adapter/AdapterText.h"
#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/adapter/ODBCRepeaterStatement.h"
#include "driver/adapter/SqlTextScanner.h"
#include "driver/core/Connection.h"
#include "driver/core/Descriptor.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/OdbcTypes.h"

namespace {

constexpr const char* kDataAtExecMessage =
    "Data at execution needs SQLPrepare and SQLExecute when parameter values are spliced";

// The decimal text of an SQL_NUMERIC_STRUCT: its 128-bit little-endian
// magnitude divided down by ten, the scale placing the point.
std::string numericText(const SQL_NUMERIC_STRUCT& value) {
    std::array<unsigned, SQL_MAX_NUMERIC_LEN> magnitude{};
    for (std::size_t i = 0; i < magnitude.size(); ++i) {
        magnitude[i] = value.val[i];
    }
    std::string digits;
    bool nonZero = true;
    while (nonZero) {
        unsigned remainder = 0;
        nonZero = false;
        for (std::size_t i = magnitude.size(); i-- > 0;) {
            const unsigned current = (remainder << 8) | magnitude[i];
            magnitude[i] = current / 10;
            remainder = current % 10;
            nonZero = nonZero || magnitude[i] != 0;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + remainder));
    }
    const bool isZero = digits == "0";
    const int scale = static_cast<SQLSCHAR>(value.scale);
    if (scale > 0) {
        const auto places = static_cast<std::size_t>(scale);
        if (digits.size() <= places) {
            digits.insert(0, places - digits.size() + 1, '0');
        }
        digits.insert(digits.size() - places, 1, '.');
    } else if (scale < 0 && !isZero) {
        digits.append(static_cast<std::size_t>(-scale), '0');
    }
    // ODBC's sign: 1 positive, 0 negative.
    if (value.sign == 0 && !isZero) {
        digits.insert(0, 1, '-');
    }
    return digits;
}

// A literal written without quotes: a number.
bool isBareNumber(const std::string& literal) {
    return !literal.empty() && literal.find_first_not_of("0123456789+-.eE ") == std::string::npos;
}

// Sets a flag for one scope, clearing it whatever way the scope ends.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
};

}  // namespace

ODBCRepeaterStatement::LiteralRules ODBCRepeaterStatement::literalRules() const {
    const std::string& name = repeater_->adaptedDbmsName();
    if (name == "PostgreSQL") {
        return LiteralRules::PostgreSQL;
    }
    return isDb2() ? LiteralRules::Db2 : LiteralRules::Standard;
}

char ODBCRepeaterStatement::spliceEscape() const {
    // A DB2 literal keeps its backslashes as they are: one at the end of a
    // value must not hide the closing quote from the marker search.
    return literalRules() == LiteralRules::Db2 ? '\0' : '\\';
}

std::string ODBCRepeaterStatement::escapeString(const std::string& text) {
    const LiteralRules rules = literalRules();
    if (rules == LiteralRules::Standard) {
        return Statement::escapeString(text);
    }
    // Inside E'...' a backslash escapes; doubled it stands for itself.
    return rules == LiteralRules::PostgreSQL ? postgresEscaped(text) : doubledQuotes(text);
}

void ODBCRepeaterStatement::formatBinary(std::string& literal, SQLSMALLINT sqlType) {
    if (literalRules() != LiteralRules::PostgreSQL) {
        Statement::formatBinary(literal, sqlType);
        return;
    }
    // E'...' means the same whatever standard_conforming_strings says.
    if (isCharacterSqlType(sqlType)) {
        literal = "E'" + literal + "'";
    } else if (isBinarySqlType(sqlType)) {
        literal = "E'\\\\x" + literal + "'::bytea";
    }
}

SQLRETURN ODBCRepeaterStatement::formatParameter(SQLUSMALLINT number, Descriptor* apd,
                                                 Descriptor* ipd, SQLULEN row, std::string& literal,
                                                 bool& isNull) {
    const auto recordNumber = static_cast<SQLSMALLINT>(number);
    const DescriptorRecord* parameter = ipd->record(recordNumber);
    const SQLSMALLINT sqlType =
        parameter != nullptr ? parameter->getConciseType() : SQLSMALLINT{SQL_VARCHAR};
    const DescriptorRecord* application = apd->record(recordNumber);
    SQLSMALLINT valueType =
        application != nullptr ? application->getConciseType() : SQLSMALLINT{SQL_C_DEFAULT};
    if (valueType == SQL_C_DEFAULT) {
        valueType = connection_->defaultCType(sqlType);
    }
    const SQLRETURN rc = application != nullptr && valueType == SQL_C_NUMERIC
                             ? formatNumeric(number, apd, ipd, row, sqlType, literal, isNull)
                             : Statement::formatParameter(number, apd, ipd, row, literal, isNull);
    if (rc != SQL_SUCCESS || isNull) {
        return rc;
    }
    if (literalRules() == LiteralRules::PostgreSQL && sqlType == SQL_BIT && isBareNumber(literal)) {
        // A boolean column takes '1' and '0', not the integers.
        formatBinary(literal, SQL_VARCHAR);
    }
    if (!literal.empty() && literal.front() == '-') {
        // "a-?" with -5 would read "a--5": the rest of the line a comment.
        literal.insert(0, 1, ' ');
    }
    return SQL_SUCCESS;
}

SQLRETURN ODBCRepeaterStatement::formatNumeric(SQLUSMALLINT number, Descriptor* apd,
                                               Descriptor* ipd, SQLULEN row, SQLSMALLINT sqlType,
                                               std::string& literal, bool& isNull) {
    bool pending = false;
    SQLLEN length = 0;
    const void* value = resolveParameterValue(number, apd, ipd, row, isNull, pending, length);
    const DescriptorRecord* collected = ipd->record(static_cast<SQLSMALLINT>(number));
    const bool atExecution =
        pending || (collected != nullptr && value != nullptr && value == collected->getDataPtr());
    if (atExecution && apd->getArraySize() > 1) {
        // Data at execution collects one value, not one per parameter row;
        // nothing would ever ask for it, so the run would wait for it forever.
        postState("HYC00");
        return SQL_ERROR;
    }
    if (pending) {
        return SQL_NEED_DATA;
    }
    if (isNull) {
        return SQL_SUCCESS;
    }
    SQL_NUMERIC_STRUCT numeric{};
    std::memcpy(&numeric, value, sizeof numeric);
    literal = numericText(numeric);
    formatBinary(literal, sqlType);
    return SQL_SUCCESS;
}

bool ODBCRepeaterStatement::needsSplicing(const std::string& text) const {
    return !valuesSpliced_ && !repeater_->usesParameterBinding() && currentApd_->getCount() > 0 &&
           countOutsideQuotes(text, "?") > 0;
}

SQLRETURN ODBCRepeaterStatement::spliceForDirectRun(std::string& text, SQLULEN row) {
    const SQLRETURN rc = substituteParameters(text, currentApd_, ipd_.get(), row, spliceEscape());
    if (rc == SQL_NEED_DATA) {
        // No data-at-execution exchange can follow a direct run.
        post("HYC00", 0, kDataAtExecMessage);
        return SQL_ERROR;
    }
    return rc;
}

SQLRETURN ODBCRepeaterStatement::executeStatement(std::string& text) {
    diagnostics_.clear();
    if (!connected()) {
        post("08S01", 0, "");
        return SQL_ERROR;
    }
    return executeSplicedRows(text, true);
}

SQLRETURN ODBCRepeaterStatement::executeSplicedRows(const std::string& text, bool dataAtExecution) {
    const FlagScope splicing(valuesSpliced_);
    const SQLULEN rows = currentApd_->getArraySize();
    SQLRETURN rc = SQL_SUCCESS;
    bool rowFailed = false;
    for (SQLULEN row = 0; row < rows; ++row) {
        std::string copy = text;
        SQLRETURN substituted = SQL_SUCCESS;
        if (dataAtExecution) {
            if (hasPendingDataAtExec(row)) {
                return SQL_NEED_DATA;
            }
            substituted = substituteParameters(copy, currentApd_, ipd_.get(), row, spliceEscape());
            if (substituted == SQL_NEED_DATA) {
                return SQL_NEED_DATA;
            }
        } else {
            substituted = spliceForDirectRun(copy, row);
        }
        if (substituted != SQL_SUCCESS) {
            // A value without a literal: the row is not sent with a bare marker.
            rowFailed = true;
            continue;
        }
        if (logsQueries()) {
            startTimer();
            rc = executeQuery(copy, row);
            logQueryTime(copy);
        } else {
            rc = executeQuery(copy, row);
        }
        rowFailed = rowFailed || rc == SQL_ERROR;
    }
    // A later row's success never hides an earlier row's failure.
    return rowFailed ? SQL_ERROR : rc;
}
