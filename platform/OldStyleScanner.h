#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The tokens of the old-style (OpenStep) text form of a property list,
// which the .strings files of localisations share: white space and
// comments ("/* */" and "//"), quoted strings with their escapes, bare
// strings and <hex> data. Reads only inside the text it was given; the
// first failure is kept with the place it happened.
//
// Quoted strings take \a \b \f \n \r \t \v, \ooo (octal, ASCII only),
// \Uxxxx (UTF-16 units, surrogate pairs joined) and a backslash before any
// other character for that character. The result must be UTF-8 without NUL.
class OldStyleScanner {
  public:
    struct Error {
        size_t offset = 0;  // in bytes from the start of the text
        size_t line = 1;
        size_t column = 1;  // in bytes, from 1
        std::string message;

        // "line L, column C", which says where and nothing of the text.
        std::string position() const;
        // "line L, column C: message"
        std::string describe() const;
    };

    explicit OldStyleScanner(std::string_view text) : text_(text) {}

    // Skips white space and comments; false on an unterminated comment.
    bool skipSpace();
    bool atEnd() const { return position_ >= text_.size(); }
    // The next byte, or NUL at the end.
    char peek() const { return atEnd() ? '\0' : text_[position_]; }
    // Takes the next byte when it is `c`.
    bool consume(char c);
    // Takes `c`, or fails with "expected <what>".
    bool expect(char c, std::string_view what);

    // A quoted or bare string at the current position.
    bool readString(std::string& out);
    // <hex digits>, white space allowed between digits, as bytes.
    bool readData(std::string& out);

    // True for the characters a bare string may hold.
    static bool isBareCharacter(char c);
    // True when `text` is well-formed UTF-8.
    static bool isUtf8(std::string_view text);

    size_t offset() const { return position_; }
    // Records a failure at `at` (keeping an earlier one) and returns false.
    bool fail(std::string message, size_t at);
    bool fail(std::string message) { return fail(std::move(message), position_); }
    const std::optional<Error>& error() const { return error_; }

  private:
    bool readQuoted(std::string& out);
    bool readEscape(std::string& out);
    bool readUnicodeEscape(std::string& out);
    bool readHexUnit(unsigned& unit);

    std::string_view text_;
    size_t position_ = 0;
    std::optional<Error> error_;
};
