#include "driver/setup/MessageFormat.h"

namespace {

bool isConversion(char c) {
    return c == '@' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Length of the placeholder that starts at text[at] == '%': up to and
// including its conversion character, or to the end of the text.
std::size_t placeholderLength(std::string_view text, std::size_t at) {
    std::size_t end = at + 1;
    while (end < text.size() && !isConversion(text[end]) && text[end] != '%') {
        ++end;
    }
    return end < text.size() ? end - at + 1 : end - at;
}

}  // namespace

std::vector<std::string> messagePlaceholders(std::string_view text) {
    std::vector<std::string> found;
    for (std::size_t at = text.find('%'); at != std::string_view::npos; at = text.find('%', at)) {
        if (text.substr(at, 2) == "%%") {
            at += 2;
            continue;
        }
        const std::size_t length = placeholderLength(text, at);
        found.emplace_back(text.substr(at, length));
        at += length;
    }
    return found;
}

std::string formatMessage(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string out;
    auto next = args.begin();
    std::size_t at = 0;
    while (at < format.size()) {
        const std::size_t percent = format.find('%', at);
        out.append(format.substr(at, percent - at));
        if (percent == std::string_view::npos) {
            break;
        }
        const std::string_view sequence = format.substr(percent, 2);
        if (sequence == "%%") {
            out.push_back('%');
            at = percent + 2;
        } else if (sequence == "%s" || sequence == "%@") {
            if (next != args.end()) {
                out.append(*next++);
            }
            at = percent + 2;
        } else {
            const std::size_t length = placeholderLength(format, percent);
            out.append(format.substr(percent, length));
            at = percent + length;
        }
    }
    return out;
}
