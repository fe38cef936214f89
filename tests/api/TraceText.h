#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Call-trace text made comparable: addresses become <ptr> and the
// timestamps of "// ENTER: " and "// EXIT: " lines become <time>.
namespace trace_text {

inline bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

inline std::string withoutAddresses(std::string_view line) {
    std::string out;
    for (std::size_t at = 0; at < line.size();) {
        if (line.substr(at, 2) == "0x" && at + 2 < line.size() && isHexDigit(line[at + 2])) {
            out += "<ptr>";
            at += 2;
            while (at < line.size() && isHexDigit(line[at])) {
                ++at;
            }
        } else {
            out += line[at++];
        }
    }
    return out;
}

inline std::string withoutTime(std::string_view line) {
    for (const std::string_view opening :
         {std::string_view("// ENTER: "), std::string_view("// EXIT: ")}) {
        if (line.substr(0, opening.size()) == opening) {
            const std::size_t rc = line.find("  rc: ");
            const bool newline = !line.empty() && line.back() == '\n';
            return std::string(opening) + "<time>" +
                   std::string(rc != std::string_view::npos ? line.substr(rc)
                               : newline                    ? "\n"
                                                            : "");
        }
    }
    return std::string(line);
}

// Every line normalised; with `kept` given, only the lines that are no
// "// " remark or whose remark starts with one of those labels.
inline std::string normalised(const std::string& trace,
                              std::initializer_list<std::string_view> kept = {}) {
    std::string out;
    std::size_t start = 0;
    while (start < trace.size()) {
        std::size_t end = trace.find('\n', start);
        end = end == std::string::npos ? trace.size() : end + 1;
        const std::string_view line(trace.data() + start, end - start);
        start = end;
        bool keep = kept.size() == 0 || line.substr(0, 3) != "// ";
        for (const std::string_view label : kept) {
            keep = keep || line.substr(3, label.size()) == label;
        }
        if (keep) {
            out += withoutAddresses(withoutTime(line));
        }
    }
    return out;
}

}  // namespace trace_text
