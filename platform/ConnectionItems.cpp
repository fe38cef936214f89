#include "platform/ConnectionItems.h"

#include <algorithm>

namespace {

struct BracedEnd {
    std::size_t end;  // just past the closing "}", or the text's end
    bool closed;
};

// Where the braced value opened at `open` ends ("}}" stands for a "}").
BracedEnd bracedEnd(std::string_view text, std::size_t open) {
    std::size_t at = open + 1;
    while (at < text.size()) {
        if (text[at] != '}') {
            ++at;
        } else if (at + 1 < text.size() && text[at + 1] == '}') {
            at += 2;
        } else {
            return {at + 1, true};
        }
    }
    return {text.size(), false};
}

// Index of the "{" that opens the item's braced value, if it has one.
std::optional<std::size_t> braceOpening(std::string_view text, std::size_t at,
                                        std::size_t semicolon) {
    const std::size_t equals = text.find('=', at);
    if (equals >= semicolon || equals + 1 >= text.size() || text[equals + 1] != '{') {
        return std::nullopt;
    }
    return equals + 1;
}

// End of the item that begins at `at`: the next ";" outside a braced value.
std::size_t itemEnd(std::string_view text, std::size_t at) {
    const std::size_t semicolon = std::min(text.find(';', at), text.size());
    const std::optional<std::size_t> open = braceOpening(text, at, semicolon);
    if (!open) {
        return semicolon;
    }
    return std::min(text.find(';', bracedEnd(text, *open).end), text.size());
}

// A braced value that is left open or followed by more text.
bool breaksStrictRule(std::string_view item) {
    const std::optional<std::size_t> open = braceOpening(item, 0, item.size());
    if (!open) {
        return false;
    }
    const BracedEnd end = bracedEnd(item, *open);
    return !end.closed || end.end != item.size();
}

}  // namespace

std::vector<std::string_view> ConnectionItems::split(std::string_view text) {
    std::vector<std::string_view> items;
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

std::optional<std::vector<ConnectionItems::Item>> ConnectionItems::read(std::string_view text,
                                                                        Rule rule) {
    std::vector<Item> items;
    for (std::string_view written : split(text)) {
        if (rule == Rule::Strict && breaksStrictRule(written)) {
            return std::nullopt;
        }
        items.push_back(itemOf(written));
    }
    return items;
}

ConnectionItems::Item ConnectionItems::itemOf(std::string_view written) {
    const std::size_t equals = written.find('=');
    Item item{std::string(written), std::string(written.substr(0, equals)), std::nullopt};
    if (equals != std::string_view::npos) {
        item.value = value(written.substr(equals + 1));
    }
    return item;
}

std::string ConnectionItems::value(std::string_view written) {
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

std::string ConnectionItems::quoted(std::string_view value) {
    if (value.find_first_of(";{}") == std::string_view::npos) {
        return std::string(value);
    }
    std::string braced = "{";
    for (char c : value) {
        braced.push_back(c);
        if (c == '}') {
            braced.push_back('}');
        }
    }
    braced.push_back('}');
    return braced;
}

std::string ConnectionItems::item(std::string_view key, std::string_view value) {
    std::string item(key);
    item.append("=").append(quoted(value)).push_back(';');
    return item;
}
