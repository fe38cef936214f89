#include "driver/adapter/DialectText.h"
#include "driver/adapter/MySQLImpersonatorStatement.h"

// PLACEHOLDER: replaced by the execution and rewriting code.
SQLRETURN MySQLImpersonatorStatement::executeStatement(std::string& text) {
    return executeQuery(text, 0);
}
SQLRETURN MySQLImpersonatorStatement::executeQuery(std::string text, SQLULEN /*parameterRow*/) {
    return executeNativeQuery(text);
}
void MySQLImpersonatorStatement::rewriteSelectList(std::string&, DatabaseFamily) {}
void MySQLImpersonatorStatement::bindLikeParameters(std::string&) {}
void MySQLImpersonatorStatement::releaseLikeParameters() {}
std::string replaceWithinDelimiters(const std::string& text, const char*, const char*, const char*,
                                    const char*) {
    return text;
}
void trimLeadingBlanksAndQuote(std::string&) {}
std::string backquotesToDoubleQuotes(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c == '`') {
            c = '"';
        }
    }
    return out;
}
