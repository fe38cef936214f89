#include "driver/setup/StringsTable.h"

#include <fstream>
#include <sstream>

#include "platform/TextCodec.h"

namespace {

// Reads the tokens of a strings table: quoted or bare strings and the
// punctuation "=" and ";". Every read stays inside the text.
class Tokenizer {
  public:
    explicit Tokenizer(std::string_view text) : text_(text) {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
            position_ = 3;
        }
    }

    // False at a comment that never ends.
    bool skipSpaceAndComments() {
        for (;;) {
            while (position_ < text_.size() && isSpace(text_[position_])) {
                ++position_;
            }
            if (text_.substr(position_, 2) == "//") {
                const std::size_t end = text_.find('\n', position_);
                position_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else if (text_.substr(position_, 2) == "/*") {
                const std::size_t end = text_.find("*/", position_ + 2);
                if (end == std::string_view::npos) {
                    return false;
                }
                position_ = end + 2;
            } else {
                return true;
            }
        }
    }

    bool atEnd() const { return position_ >= text_.size(); }

    bool takePunctuation(char wanted) {
        if (!skipSpaceAndComments() || atEnd() || text_[position_] != wanted) {
            return false;
        }
        ++position_;
        return true;
    }

    std::optional<std::string> takeString() {
        if (!skipSpaceAndComments() || atEnd()) {
            return std::nullopt;
        }
        if (text_[position_] == '"') {
            ++position_;
            return quoted();
        }
        const std::size_t start = position_;
        while (position_ < text_.size() && isBare(text_[position_])) {
            ++position_;
        }
        if (position_ == start) {
            return std::nullopt;
        }
        return std::string(text_.substr(start, position_ - start));
    }

  private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool isBare(char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
               std::string_view("_./-:$").find(c) != std::string_view::npos;
    }
    static int hexValue(char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    std::optional<std::string> quoted() {
        std::string out;
        while (position_ < text_.size()) {
            const char c = text_[position_++];
            if (c == '"') {
                return out;
            }
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (position_ >= text_.size()) {
                return std::nullopt;
            }
            if (!escape(text_[position_++], out)) {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    bool escape(char c, std::string& out) {
        switch (c) {
            case 'n':
                out.push_back('\n');
                return true;
            case 't':
                out.push_back('\t');
                return true;
            case 'r':
                out.push_back('\r');
                return true;
            case '0':
                out.push_back('\0');
                return true;
            case 'U':
            case 'u':
                return unicodeEscape(out);
            default:
                out.push_back(c);
                return true;
        }
    }

    // \Uxxxx: four hexadecimal digits of a UTF-16 unit; a surrogate pair
    // is two escapes in a row.
    bool unicodeEscape(std::string& out) {
        std::u16string units;
        for (;;) {
            if (position_ + 4 > text_.size()) {
                return false;
            }
            char16_t unit = 0;
            for (int i = 0; i < 4; ++i) {
                const int digit = hexValue(text_[position_ + i]);
                if (digit < 0) {
                    return false;
                }
                unit = static_cast<char16_t>(unit * 16 + digit);
            }
            position_ += 4;
            units.push_back(unit);
            const bool highSurrogate = unit >= 0xD800 && unit <= 0xDBFF;
            if (!highSurrogate || text_.substr(position_, 2) != "\\U") {
                break;
            }
            position_ += 2;
        }
        const TextCodec* utf8 = TextCodec::forEncoding(kEncodingUtf8);
        std::string bytes(units.size() * 3, '\0');
        bytes.resize(utf8->encode(units, bytes.data(), bytes.size()).bytes);
        out += bytes;
        return true;
    }

    std::string_view text_;
    std::size_t position_ = 0;
};

}  // namespace

std::optional<StringsTable> StringsTable::parse(std::string_view text) {
    StringsTable table;
    Tokenizer tokens(text);
    for (;;) {
        if (!tokens.skipSpaceAndComments()) {
            return std::nullopt;
        }
        if (tokens.atEnd()) {
            return table;
        }
        std::optional<std::string> key = tokens.takeString();
        if (!key) {
            return std::nullopt;
        }
        std::string value = *key;
        if (tokens.takePunctuation('=')) {
            std::optional<std::string> given = tokens.takeString();
            if (!given) {
                return std::nullopt;
            }
            value = std::move(*given);
        }
        if (!tokens.takePunctuation(';')) {
            return std::nullopt;
        }
        table.entries_.insert_or_assign(std::move(*key), std::move(value));
    }
}

std::optional<StringsTable> StringsTable::load(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return parse(text.str());
}

const std::string* StringsTable::find(const std::string& key) const {
    const auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : &found->second;
}
