#include "platform/OldStyleScanner.h"

#include <utility>

namespace {

constexpr size_t kMaxOctalDigits = 3;
constexpr size_t kMaxHexDigits = 4;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

struct SimpleEscape {
    char letter;
    char value;
};

constexpr SimpleEscape kSimpleEscapes[] = {
    {'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'}, {'r', '\r'}, {'t', '\t'}, {'v', '\v'},
};

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool isHighSurrogate(unsigned unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(unsigned unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string OldStyleScanner::Error::position() const {
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string OldStyleScanner::Error::describe() const {
    return position() + ": " + message;
}

bool OldStyleScanner::fail(std::string message, size_t at) {
    if (error_) {
        return false;
    }
    Error error;
    error.offset = at < text_.size() ? at : text_.size();
    for (size_t i = 0; i < error.offset; ++i) {
        if (text_[i] == '\n') {
            ++error.line;
            error.column = 1;
        } else {
            ++error.column;
        }
    }
    error.message = std::move(message);
    error_ = std::move(error);
    return false;
}

bool OldStyleScanner::skipSpace() {
    while (!atEnd()) {
        const std::string_view rest = text_.substr(position_);
        if (isSpace(rest.front())) {
            ++position_;
        } else if (rest.starts_with("//")) {
            const size_t end = rest.find('\n');
            position_ = end == std::string_view::npos ? text_.size() : position_ + end + 1;
        } else if (rest.starts_with("/*")) {
            const size_t end = rest.find("*/", 2);
            if (end == std::string_view::npos) {
                return fail("unterminated comment");
            }
            position_ += end + 2;
        } else {
            break;
        }
    }
    return true;
}

bool OldStyleScanner::consume(char c) {
    if (atEnd() || text_[position_] != c) {
        return false;
    }
    ++position_;
    return true;
}

bool OldStyleScanner::expect(char c, std::string_view what) {
    if (consume(c)) {
        return true;
    }
    return fail(atEnd() ? "unexpected end of text, expected " + std::string(what)
                        : "expected " + std::string(what));
}

bool OldStyleScanner::isBareCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
}

bool OldStyleScanner::readString(std::string& out) {
    out.clear();
    if (peek() == '"') {
        return readQuoted(out);
    }
    while (!atEnd() && isBareCharacter(text_[position_])) {
        out += text_[position_++];
    }
    if (out.empty()) {
        return fail(atEnd() ? "unexpected end of text, expected a string" : "expected a string");
    }
    return true;
}

bool OldStyleScanner::readQuoted(std::string& out) {
    const size_t start = position_++;
    for (;;) {
        if (atEnd()) {
            return fail("unterminated string", start);
        }
        const char c = text_[position_];
        if (c == '"') {
            ++position_;
            break;
        }
        if (c == '\0') {
            return fail("NUL in a string");
        }
        if (c == '\\') {
            if (!readEscape(out)) {
                return false;
            }
            continue;
        }
        out += c;
        ++position_;
    }
    if (!isUtf8(out)) {
        return fail("string is not UTF-8", start);
    }
    return true;
}

bool OldStyleScanner::readEscape(std::string& out) {
    const size_t start = position_++;
    if (atEnd()) {
        return fail("unterminated string", start);
    }
    const char letter = text_[position_];
    if (letter == 'U') {
        return readUnicodeEscape(out);
    }
    if (isOctal(letter)) {
        unsigned value = 0;
        for (size_t n = 0; n < kMaxOctalDigits && !atEnd() && isOctal(text_[position_]); ++n) {
            value = value * 8 + static_cast<unsigned>(text_[position_++] - '0');
        }
        if (value == 0 || value > 0x7F) {
            return fail("octal escape outside ASCII or NUL", start);
        }
        out += static_cast<char>(value);
        return true;
    }
    ++position_;
    for (const SimpleEscape& escape : kSimpleEscapes) {
        if (escape.letter == letter) {
            out += escape.value;
            return true;
        }
    }
    out += letter;  // \" \\ and any other character stand for themselves
    return true;
}

bool OldStyleScanner::readHexUnit(unsigned& unit) {
    const size_t start = position_;
    unit = 0;
    size_t digits = 0;
    for (; digits < kMaxHexDigits && !atEnd() && hexValue(text_[position_]) >= 0; ++digits) {
        unit = unit * 16 + static_cast<unsigned>(hexValue(text_[position_++]));
    }
    return digits > 0 || fail("\\U without hex digits", start);
}

bool OldStyleScanner::readUnicodeEscape(std::string& out) {
    const size_t start = position_ - 1;
    ++position_;  // the U
    unsigned unit = 0;
    if (!readHexUnit(unit)) {
        return false;
    }
    if (isHighSurrogate(unit) && text_.substr(position_).starts_with("\\U")) {
        position_ += 2;
        unsigned low = 0;
        if (!readHexUnit(low)) {
            return false;
        }
        if (!isLowSurrogate(low)) {
            return fail("unpaired surrogate", start);
        }
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        return true;
    }
    if (unit == 0 || isHighSurrogate(unit) || isLowSurrogate(unit)) {
        return fail(unit == 0 ? "NUL in a string" : "unpaired surrogate", start);
    }
    appendUtf8(out, unit);
    return true;
}

bool OldStyleScanner::readData(std::string& out) {
    out.clear();
    const size_t start = position_;
    if (!expect('<', "'<'")) {
        return false;
    }
    int high = -1;
    for (;;) {
        if (atEnd()) {
            return fail("unterminated data", start);
        }
        const char c = text_[position_];
        if (c == '>') {
            ++position_;
            break;
        }
        if (isSpace(c)) {
            ++position_;
            continue;
        }
        const int digit = hexValue(c);
        if (digit < 0) {
            return fail("not a hex digit in data");
        }
        ++position_;
        if (high < 0) {
            high = digit;
        } else {
            out += static_cast<char>((high << 4) | digit);
            high = -1;
        }
    }
    return high < 0 || fail("odd number of hex digits in data", start);
}

bool OldStyleScanner::isUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        unsigned code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        constexpr unsigned kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}
