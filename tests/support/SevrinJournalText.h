#pragma once

#include <string>
#include <string_view>
#include <vector>

// The DB2 stand-in journals a call's text as text="..." with '"' and '\'
// escaped by a backslash. The text of one journal line, unescaped; "<none>"
// when the line has none.
inline std::string journalText(std::string_view line) {
    constexpr std::string_view kOpen = "text=\"";
    const std::size_t start = line.find(kOpen);
    if (start == std::string_view::npos) {
        return "<none>";
    }
    std::string text;
    for (std::size_t i = start + kOpen.size(); i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;
        }
        text += line[i];
    }
    return text;
}

// The texts of journal lines, in order.
inline std::vector<std::string> journalTexts(const std::vector<std::string>& lines) {
    std::vector<std::string> texts;
    for (const std::string& line : lines) {
        texts.push_back(journalText(line));
    }
    return texts;
}
