#include "platform/IniSyntax.h"

#include <algorithm>
#include <utility>

#include "platform/AsciiCase.h"

namespace {

constexpr std::string_view kReservedSections[] = {"ODBC", "ODBC Data Sources", "ODBC Drivers",
                                                  "Default"};

constexpr std::pair<IniSyntax::Problem, const char*> kProblemTexts[] = {
    {IniSyntax::Problem::None, "acceptable"},
    {IniSyntax::Problem::Empty, "empty"},
    {IniSyntax::Problem::LineBreakOrNul, "holds a line break or NUL"},
    {IniSyntax::Problem::ControlCharacter, "holds a control character"},
    {IniSyntax::Problem::OuterBlank, "begins or ends with white space"},
    {IniSyntax::Problem::Bracket, "holds \"[\" or \"]\""},
    {IniSyntax::Problem::EqualsSign, "holds \"=\""},
    {IniSyntax::Problem::CommentStart, "begins like a comment"},
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

IniSyntax::Problem controlProblem(std::string_view text) {
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        return IniSyntax::Problem::LineBreakOrNul;
    }
    return IniSyntax::hasControlCharacter(text) ? IniSyntax::Problem::ControlCharacter
                                                : IniSyntax::Problem::None;
}

bool hasOuterBlank(std::string_view text) {
    return !text.empty() && (isBlank(text.front()) || isBlank(text.back()));
}

}  // namespace

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
    return key.front() == ';' || key.front() == '#' ? Problem::CommentStart : Problem::None;
}

IniSyntax::Problem IniSyntax::valueProblem(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos
               ? Problem::None
               : Problem::LineBreakOrNul;
}

IniSyntax::Problem IniSyntax::strictValueProblem(std::string_view value) {
    if (const Problem control = controlProblem(value); control != Problem::None) {
        return control;
    }
    return hasOuterBlank(value) ? Problem::OuterBlank : Problem::None;
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
