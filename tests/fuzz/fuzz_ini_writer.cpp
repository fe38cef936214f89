// One edit of an ini document on arbitrary text, with any value (quotes,
// comment characters, outer blanks included): an accepted value reads
// back exactly, a refused one changes nothing; every other section and key
// reads as before, and the lines outside the edit are kept in order.
// Input: an edit byte (0 set, 1 remove the key, 2 remove the section), then
// section, key and value each ended by 0x1F, then the ini text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/IniFile.h"
#include "platform/IniSyntax.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// Lines end at LF, CR LF, a lone CR or Ctrl-Z, as the driver manager
// takes them.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n\x1a", at), text.size());
        out.push_back(text.substr(at, end - at));
        at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return out;
}

// Whether `part` is `whole` with some lines left out.
bool isSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    size_t at = 0;
    for (const std::string& line : part) {
        while (at < whole.size() && whole[at] != line) {
            ++at;
        }
        if (at == whole.size()) {
            return false;
        }
        ++at;
    }
    return true;
}

// Whether `now` is `old` with at most one line replaced and at most three
// added at one place (a new section: a blank line, its name, its key).
bool changedInOnePlace(const std::vector<std::string>& old, const std::vector<std::string>& now) {
    const size_t shorter = std::min(old.size(), now.size());
    size_t prefix = 0;
    while (prefix < shorter && old[prefix] == now[prefix]) {
        ++prefix;
    }
    size_t suffix = 0;
    while (suffix < shorter - prefix &&
           old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix]) {
        ++suffix;
    }
    return old.size() - prefix - suffix <= 1 && now.size() - prefix - suffix <= 3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const int edit = input.byte() % 3;
    const std::string section(input.piece());
    const std::string key(input.piece());
    const std::string value(input.piece());
    const std::string text(input.rest());
    if (text.size() > (64u << 10)) {
        return 0;
    }
    const IniFile before = IniFile::parse(text);
    check(before.text() == text, "parse keeps the text");
    IniFile edited = before;
    bool accepted = true;
    if (edit == 0) {
        accepted = edited.setValue(section, key, value) == IniSyntax::Problem::None;
        check(accepted || edited.text() == text, "a refused set changes nothing");
    } else if (edit == 1) {
        edited.removeKey(section, key);
    } else {
        edited.removeSection(section);
    }
    const IniFile after = IniFile::parse(edited.text());
    if (accepted && edit == 0) {
        check(after.value(section, key) == value, "the set value reads back");
    } else if (edit == 1) {
        check(!after.value(section, key), "the key is gone");
    } else if (edit == 2) {
        check(!after.hasSection(section), "the section is gone");
    }
    for (const std::string& name : before.sections()) {
        if (edit == 2 && IniSyntax::sameName(name, section)) {
            continue;
        }
        for (const std::string& other : before.keys(name)) {
            if (!IniSyntax::sameName(name, section) || !IniSyntax::sameName(other, key)) {
                check(after.value(name, other) == before.value(name, other),
                      "other keys read as before");
            }
        }
    }
    const std::vector<std::string> old = lines(text);
    const std::vector<std::string> now = lines(edited.text());
    // A set changes or adds one line (a new section three); removals only drop lines.
    check(edit == 0 ? changedInOnePlace(old, now) : isSubsequence(now, old),
          "lines outside the edit are kept");
    return 0;
}
