#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Connection text: "KEY=VALUE" items separated by ";". A value that begins
// with "{" right behind its item's first "=" is braced: it may hold ";" and
// "=", "}}" stands for "}", and a single "}" closes it. Empty items are
// skipped. The key is the text before the item's first "=", as written
// (blanks are part of it); keys compare with the ASCII fold (AsciiCase.h).
//
// This is also how the PostgreSQL driver under pemberix.so reads its text
// (up to the first NUL): the same items and keys, "Key= {a;b}" two items.
// It takes a value as written, braces and all (`writtenValue`; only the
// password loses its braces and reads "}}" as "}"), lets the last of
// repeated keys count, and refuses the whole text where a braced
// value followed by a later ";" is left open or has text behind its "}".
//
// Header-only: pemberix.so reads with it and links nothing of the platform.
class ConnectionItems {
  public:
    // How an open brace that is never closed, or text behind a closing
    // brace, is taken.
    enum class Rule {
        // The brace runs to the text's end; text behind a closing brace stays
        // in its item and is not part of the value.
        Lenient,
        // The whole text is refused: a stranger's text must mean one thing.
        Strict,
    };

    struct Item {
        std::string text;                  // as written, without its ";"
        std::string key;                   // before the first "=", or the whole item
        std::optional<std::string> value;  // behind the first "=", unbraced; none without "="
    };

    // The items; nothing only under the strict rule.
    static std::optional<std::vector<Item>> read(std::string_view text, Rule rule);
    // One item as written (no ";" splitting), its value read as `value` does.
    static Item itemOf(std::string_view written);
    // The items as written, read under the lenient rule (views into `text`).
    static std::vector<std::string_view> split(std::string_view text) { return splitOf(text); }
    static std::vector<std::wstring_view> split(std::wstring_view text) { return splitOf(text); }
    // The key of an item as written.
    static std::wstring_view keyOf(std::wstring_view written) {
        return written.substr(0, written.find(L'='));
    }
    // The value of an item as written behind its first "=", braces and all;
    // none without "=".
    static std::optional<std::wstring_view> writtenValue(std::wstring_view written);
    // Whether a value written as it is behind "key=", with more items after
    // it, is read back whole by a reader that takes values as written: one
    // that opens a brace closes it at its end, any other holds no ";".
    static bool readsBackAsWritten(std::wstring_view value);
    // A value as written behind its "=": a braced one loses its braces and
    // reads "}}" as "}".
    static std::string value(std::string_view written);

    // A value written so that it can neither end its item early nor add
    // items of its own: in braces, with "}" doubled, when it holds ";" or a
    // brace.
    static std::string quoted(std::string_view value);
    // A value in braces, "}" doubled, whatever it holds.
    static std::string braced(std::string_view value) { return bracedOf(value); }
    static std::wstring braced(std::wstring_view value) { return bracedOf(value); }
    // "key=value;" with the value quoted.
    static std::string item(std::string_view key, std::string_view value);

  private:
    struct BracedEnd {
        std::size_t end;  // just past the closing "}", or the text's end
        bool closed;
    };

    // Where the braced value opened at `open` ends ("}}" stands for a "}").
    template <class Char>
    static BracedEnd bracedEnd(std::basic_string_view<Char> text, std::size_t open) {
        std::size_t at = open + 1;
        while (at < text.size()) {
            if (text[at] != Char('}')) {
                ++at;
            } else if (at + 1 < text.size() && text[at + 1] == Char('}')) {
                at += 2;
            } else {
                return {at + 1, true};
            }
        }
        return {text.size(), false};
    }

    // Index of the "{" that opens the item's braced value, if it has one.
    template <class Char>
    static std::optional<std::size_t> braceOpening(std::basic_string_view<Char> text,
                                                   std::size_t at, std::size_t semicolon) {
        const std::size_t equals = text.find(Char('='), at);
        if (equals >= semicolon || equals + 1 >= text.size() || text[equals + 1] != Char('{')) {
            return std::nullopt;
        }
        return equals + 1;
    }

    // End of the item that begins at `at`: the next ";" outside a braced value.
    template <class Char>
    static std::size_t itemEnd(std::basic_string_view<Char> text, std::size_t at) {
        const std::size_t semicolon = std::min(text.find(Char(';'), at), text.size());
        const std::optional<std::size_t> open = braceOpening(text, at, semicolon);
        if (!open) {
            return semicolon;
        }
        return std::min(text.find(Char(';'), bracedEnd(text, *open).end), text.size());
    }

    template <class Char>
    static std::vector<std::basic_string_view<Char>> splitOf(std::basic_string_view<Char> text) {
        std::vector<std::basic_string_view<Char>> items;
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t end = itemEnd(text, at);
            if (end > at) {
                items.push_back(text.substr(at, end - at));
            }
            at = end + 1;
        }
        return items;
    }

    template <class Char>
    static std::basic_string<Char> bracedOf(std::basic_string_view<Char> value) {
        std::basic_string<Char> braced(1, Char('{'));
        for (const Char c : value) {
            braced.push_back(c);
            if (c == Char('}')) {
                braced.push_back(c);
            }
        }
        braced.push_back(Char('}'));
        return braced;
    }

    // A braced value that is left open or followed by more text.
    static bool breaksStrictRule(std::string_view item) {
        const std::optional<std::size_t> open = braceOpening(item, 0, item.size());
        if (!open) {
            return false;
        }
        const BracedEnd end = bracedEnd(item, *open);
        return !end.closed || end.end != item.size();
    }
};

inline std::optional<std::vector<ConnectionItems::Item>> ConnectionItems::read(
    std::string_view text, Rule rule) {
    std::vector<Item> items;
    for (std::string_view written : split(text)) {
        if (rule == Rule::Strict && breaksStrictRule(written)) {
            return std::nullopt;
        }
        items.push_back(itemOf(written));
    }
    return items;
}

inline ConnectionItems::Item ConnectionItems::itemOf(std::string_view written) {
    const std::size_t equals = written.find('=');
    Item item{std::string(written), std::string(written.substr(0, equals)), std::nullopt};
    if (equals != std::string_view::npos) {
        item.value = value(written.substr(equals + 1));
    }
    return item;
}

inline std::optional<std::wstring_view> ConnectionItems::writtenValue(std::wstring_view written) {
    const std::size_t equals = written.find(L'=');
    if (equals == std::wstring_view::npos) {
        return std::nullopt;
    }
    return written.substr(equals + 1);
}

inline bool ConnectionItems::readsBackAsWritten(std::wstring_view value) {
    if (value.find(L'\0') != std::wstring_view::npos) {
        return false;
    }
    if (value.empty() || value.front() != L'{') {
        return value.find(L';') == std::wstring_view::npos;
    }
    const BracedEnd end = bracedEnd(value, 0);
    return end.closed && end.end == value.size();
}

inline std::string ConnectionItems::value(std::string_view written) {
    if (written.empty() || written.front() != '{') {
        return std::string(written);
    }
    const BracedEnd end = bracedEnd(written, 0);
    const std::size_t inner = end.closed ? end.end - 1 : end.end;
    std::string value;
    for (std::size_t at = 1; at < inner; ++at) {
        value.push_back(written[at]);
        if (written[at] == '}') {
            ++at;  // the second "}" of a doubled one
        }
    }
    return value;
}

inline std::string ConnectionItems::quoted(std::string_view value) {
    return value.find_first_of(";{}") == std::string_view::npos ? std::string(value)
                                                                : braced(value);
}

inline std::string ConnectionItems::item(std::string_view key, std::string_view value) {
    std::string item(key);
    item.append("=").append(quoted(value)).push_back(';');
    return item;
}
