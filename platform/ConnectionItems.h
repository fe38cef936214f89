#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Connection text: "KEY=VALUE" items separated by ";". A value that begins
// with "{" right behind its item's first "=" is braced: it may hold ";" and
// "=", "}}" stands for "}", and a single "}" closes it. Empty items are
// skipped.
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
    static std::vector<std::string_view> split(std::string_view text);
    // A value as written behind its "=": a braced one loses its braces and
    // reads "}}" as "}".
    static std::string value(std::string_view written);

    // A value written so that it can neither end its item early nor add
    // items of its own: in braces, with "}" doubled, when it holds ";" or a
    // brace.
    static std::string quoted(std::string_view value);
    // "key=value;" with the value quoted.
    static std::string item(std::string_view key, std::string_view value);
};
