#pragma once

#include <string_view>

// What a section name, key or value may hold to reach an ini file and be
// read back exactly as written. Readers trim blanks around names, keys and
// values, take a line starting with ";" or "#" as a comment, end a section
// name at "]" and a key at "="; text that any of these rules would change
// is refused rather than written differently from what was asked.
class IniSyntax {
  public:
    enum class Problem {
        None,
        Empty,
        LineBreakOrNul,    // CR, LF or NUL: would start another line
        ControlCharacter,  // any other byte below 0x20, or 0x7f
        OuterBlank,        // leading or trailing white space
        Bracket,           // "[" or "]" in a section name or key
        EqualsSign,        // "=" in a key
        CommentStart,      // a key beginning with ";" or "#"
    };

    // Section names and keys: not empty, no control character, no outer
    // blank, no bracket; a key also no "=" and no comment start.
    static Problem sectionProblem(std::string_view name);
    static Problem keyProblem(std::string_view key);
    // Values as the writer takes them: anything but CR, LF and NUL.
    static Problem valueProblem(std::string_view value);
    // The stricter rule for values a stranger sends (the privileged
    // helper): no control character and no outer blank either.
    static Problem strictValueProblem(std::string_view value);

    static bool hasControlCharacter(std::string_view text);
    // Names and keys are compared ignoring ASCII case, as readers do.
    static bool sameName(std::string_view a, std::string_view b);
    // [ODBC], [ODBC Data Sources], [ODBC Drivers] and [Default] belong to
    // the driver manager (compared ignoring case).
    static bool isReservedSection(std::string_view name);
    static const char* describe(Problem problem);
};
