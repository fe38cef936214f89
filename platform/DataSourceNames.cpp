#include "platform/DataSourceNames.h"

#include <algorithm>
#include <unordered_set>

#include "platform/AsciiCase.h"
#include "platform/IniSyntax.h"
#include "platform/InstallerFacade.h"
#include "platform/NulList.h"

namespace {

constexpr const char* kDataSources = "ODBC Data Sources";
constexpr const char* kOdbcIni = "odbc.ini";
constexpr int kFirstSize = 64 * 1024;
constexpr int kLargestSize = 16 * 1024 * 1024;

// The key list of `section` (its section list when null), whole: a list
// that fills the buffer may have been cut, so it is read again larger.
std::vector<std::string> readList(const char* section, UWORD mode) {
    InstallerFacade& installer = InstallerFacade::instance();
    for (int size = kFirstSize;; size *= 2) {
        std::string buffer(static_cast<size_t>(size), '\0');
        installer.setConfigMode(mode);
        const int length =
            installer.getPrivateProfileString(section, nullptr, "", buffer.data(), size, kOdbcIni);
        if (length < 0) {
            return {};
        }
        if (length < size - 2 || size >= kLargestSize) {
            const auto items = NulList::items(buffer, NulList::EmptyItem::EndsList);
            return {items.begin(), items.end()};
        }
    }
}

bool named(const std::vector<std::string>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(),
                       [name](const std::string& each) { return IniSyntax::sameName(each, name); });
}

// Names as the reader matches them, for lookups among thousands.
std::string folded(std::string_view name) {
    std::string text(name);
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return lowerAscii(c); });
    return text;
}

}  // namespace

bool DataSourceNames::holds(std::string_view name, UWORD mode) {
    if (name.empty()) {
        return false;
    }
    const std::string section(name);
    return named(readList(kDataSources, mode), name) || !readList(section.c_str(), mode).empty();
}

std::vector<std::string> DataSourceNames::unlisted(UWORD mode) {
    std::unordered_set<std::string> seen;
    for (const std::string& name : readList(kDataSources, mode)) {
        seen.insert(folded(name));
    }
    std::vector<std::string> names;
    for (const std::string& section : readList(nullptr, mode)) {
        if (!IniSyntax::isReservedSection(section) && seen.insert(folded(section)).second &&
            !readList(section.c_str(), mode).empty()) {
            names.push_back(section);
        }
    }
    return names;
}
