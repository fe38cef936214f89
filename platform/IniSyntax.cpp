#include "platform/IniSyntax.h"

#include <algorithm>
#include <utility>

#include "platform/AsciiCase.h"

namespace {

constexpr std::string_view kReservedSections[] = {"ODBC", "ODBC Data Sources", "ODBC Drivers",
                                                  "Default"};
// What the driver manager refuses in a data source name.
constexpr std::string_view kForbiddenInDsn = "[]{}(),;?*=!@\\";
constexpr std::string_view kLineBreaks("\r\n\x1a\0", 4);
constexpr std::string_view kQuotes = "\"'";

constexpr std::pair<IniSyntax::Problem, const char*> kProblemTexts[] = {
    {IniSyntax::Problem::None, "acceptable"},
    {IniSyntax::Problem::Empty, "empty"},
    {IniSyntax::Problem::LineBreakOrNul, "holds a line break or NUL"},
    {IniSyntax::Problem::ControlCharacter, "holds a control character"},
    {IniSyntax::Problem::OuterBlank, "begins or ends with white space"},
    {IniSyntax::Problem::Bracket, "holds \"[\" or \"]\""},
    {IniSyntax::Problem::EqualsSign, "holds \"=\""},
    {IniSyntax::Problem::CommentStart, "begins like a comment"},
    {IniSyntax::Problem::Quote, "holds a quote character"},
    {IniSyntax::Problem::Comment, "holds \";\" or \"#\" where a reader starts a comment"},
    {IniSyntax::Problem::OpenQuote, "leaves a quote open, which would swallow the comment"},
    {IniSyntax::Problem::Reserved, "is reserved by the driver manager"},
    {IniSyntax::Problem::ForbiddenInDsn, "holds a character not allowed in a data source name"},
};

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

bool isCommentStart(char c) {
    return c == ';' || c == '#';
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of(kLineBreaks) != std::string_view::npos;
}

IniSyntax::Problem controlProblem(std::string_view text) {
    if (hasLineBreak(text)) {
        return IniSyntax::Problem::LineBreakOrNul;
    }
    return IniSyntax::hasControlCharacter(text) ? IniSyntax::Problem::ControlCharacter
                                                : IniSyntax::Problem::None;
}

bool hasOuterBlank(std::string_view text) {
    return !text.empty() && (IniSyntax::isWhite(text.front()) || IniSyntax::isWhite(text.back()));
}

}  // namespace

bool IniSyntax::isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\f';
}

bool IniSyntax::isLineEnd(char c) {
    return c == '\n' || c == '\r' || c == '\x1a';
}

IniSyntax::ValueEnd IniSyntax::scanValue(std::string_view value) {
    char quote = 0;
    for (size_t at = 0; at < value.size(); ++at) {
        const char c = value[at];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (isCommentStart(c) && (at == 0 || isWhite(value[at - 1]))) {
            return {at, false};
        }
    }
    return {std::string_view::npos, quote != 0};
}

std::string_view IniSyntax::matchedKey(std::string_view key) {
    const size_t begin = std::min(key.find_first_not_of(kQuotes), key.size());
    key.remove_prefix(begin);
    return key.substr(0, key.find_first_of(kQuotes));
}

IniSyntax::Problem IniSyntax::sectionProblem(std::string_view name) {
    if (name.empty()) {
        return Problem::Empty;
    }
    if (const Problem control = controlProblem(name); control != Problem::None) {
        return control;
    }
    if (hasOuterBlank(name)) {
        return Problem::OuterBlank;
    }
    return name.find_first_of("[]") == std::string_view::npos ? Problem::None : Problem::Bracket;
}

IniSyntax::Problem IniSyntax::keyProblem(std::string_view key) {
    if (const Problem problem = sectionProblem(key); problem != Problem::None) {
        return problem;
    }
    if (key.find('=') != std::string_view::npos) {
        return Problem::EqualsSign;
    }
    if (isCommentStart(key.front())) {
        return Problem::CommentStart;
    }
    return key.find_first_of(kQuotes) == std::string_view::npos ? Problem::None : Problem::Quote;
}

IniSyntax::Problem IniSyntax::driverNameProblem(std::string_view name) {
    if (const Problem problem = keyProblem(name); problem != Problem::None) {
        return problem;
    }
    return isReservedSection(name) ? Problem::Reserved : Problem::None;
}

IniSyntax::Problem IniSyntax::dsnNameProblem(std::string_view name) {
    if (const Problem problem = driverNameProblem(name); problem != Problem::None) {
        return problem;
    }
    return name.find_first_of(kForbiddenInDsn) == std::string_view::npos ? Problem::None
                                                                         : Problem::ForbiddenInDsn;
}

IniSyntax::Problem IniSyntax::valueProblem(std::string_view value) {
    if (hasLineBreak(value)) {
        return Problem::LineBreakOrNul;
    }
    if (hasOuterBlank(value)) {
        return Problem::OuterBlank;
    }
    // Written after "key = ", so a blank always comes before it.
    return scanValue(value).comment == std::string_view::npos ? Problem::None : Problem::Comment;
}

IniSyntax::Problem IniSyntax::strictValueProblem(std::string_view value) {
    if (const Problem control = controlProblem(value); control != Problem::None) {
        return control;
    }
    if (const Problem problem = valueProblem(value); problem != Problem::None) {
        return problem;
    }
    return scanValue(value).quoteOpen ? Problem::OpenQuote : Problem::None;
}

bool IniSyntax::hasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), isControl);
}

bool IniSyntax::sameName(std::string_view a, std::string_view b) {
    return equalsIgnoringAsciiCase(a, b);
}

bool IniSyntax::isReservedSection(std::string_view name) {
    return std::any_of(std::begin(kReservedSections), std::end(kReservedSections),
                       [name](std::string_view reserved) { return sameName(name, reserved); });
}

const char* IniSyntax::describe(Problem problem) {
    for (const auto& [kind, text] : kProblemTexts) {
        if (kind == problem) {
            return text;
        }
    }
    return "not acceptable";
}
