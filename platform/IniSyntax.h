#pragma once

#include <cstddef>
#include <string_view>

// What a section name, key or value may hold to reach an ini file and be
// read back exactly as written, by the driver manager's reader: a line ends
// at CR, LF or Ctrl-Z and loses its trailing blanks (space, tab, form
// feed), which only a last line without a line end keeps; a line starting
// with a blank continues the previous one, one starting with ";" or "#" is
// a comment; a section name ends at "]", a key at "="; a value ends where
// ";" or "#" begins it or follows a blank outside quotes, and a quote left
// open runs to the end of the line. Text that any of these rules would change is
// refused rather than written differently from what was asked.
class IniSyntax {
  public:
    enum class Problem {
        None,
        Empty,
        LineBreakOrNul,    // CR, LF, Ctrl-Z or NUL: would start another line
        ControlCharacter,  // any other byte below 0x20, or 0x7f
        OuterBlank,        // leading or trailing white space
        Bracket,           // "[" or "]" in a section name or key
        EqualsSign,        // "=" in a key
        CommentStart,      // a key beginning with ";" or "#"
        Quote,             // a quote in a key: readers match keys up to it
        Comment,           // a value holding what a reader takes for a comment
        OpenQuote,         // a value whose open quote would swallow a comment
        Reserved,          // a name of the driver manager's own sections
        ForbiddenInDsn,    // a character the driver manager refuses in a DSN
    };

    // Section names and keys: not empty, no control character, no outer
    // blank, no bracket; a key also no "=", no quote, no comment start.
    static Problem sectionProblem(std::string_view name);
    static Problem keyProblem(std::string_view key);
    // A data source name is a section and a key of [ODBC Data Sources]: a
    // key that is not reserved and holds none of "[]{}(),;?*=!@\".
    static Problem dsnNameProblem(std::string_view name);
    // A driver name is a section and a key of [ODBC Drivers]: a key that is
    // not reserved (parentheses are common in driver names).
    static Problem driverNameProblem(std::string_view name);
    // Values as the writer takes them: no line break, Ctrl-Z or NUL, no
    // outer blank, nothing a reader would take for a comment. Where the
    // line keeps a comment, the writer also checks the quotes.
    static Problem valueProblem(std::string_view value);
    // The stricter rule for values a stranger sends (the privileged
    // helper), decided before the file is read: no control character and
    // no quote left open either.
    static Problem strictValueProblem(std::string_view value);

    // The reader's blanks and line ends.
    static bool isWhite(char c);
    static bool isLineEnd(char c);
    // Where a value ends: the position of its comment's ";" or "#" (npos
    // when none), and whether a quote is still open there or at the end.
    // `value` starts after the "=" and the blanks that follow it.
    struct ValueEnd {
        size_t comment = std::string_view::npos;
        bool quoteOpen = false;
    };
    static ValueEnd scanValue(std::string_view value);
    // The name a reader matches a key line by: leading quotes dropped, cut
    // at the next quote; empty when nothing remains.
    static std::string_view matchedKey(std::string_view key);

    static bool hasControlCharacter(std::string_view text);
    // Names and keys are compared ignoring ASCII case, as readers do.
    static bool sameName(std::string_view a, std::string_view b);
    // [ODBC], [ODBC Data Sources], [ODBC Drivers] and [Default] belong to
    // the driver manager (compared ignoring case).
    static bool isReservedSection(std::string_view name);
    static const char* describe(Problem problem);
};
