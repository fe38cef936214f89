#include "platform/NulList.h"

#include <algorithm>
#include <cwchar>

namespace {

template <typename Char>
std::vector<std::basic_string_view<Char>> walk(std::basic_string_view<Char> list,
                                               NulList::EmptyItem empty) {
    std::vector<std::basic_string_view<Char>> items;
    std::size_t at = 0;
    while (at < list.size()) {
        const std::size_t end = std::min(list.find(Char{}, at), list.size());
        if (end > at) {
            items.push_back(list.substr(at, end - at));
        } else if (empty == NulList::EmptyItem::EndsList) {
            break;
        }
        at = end + 1;
    }
    return items;
}

}  // namespace

std::vector<std::string_view> NulList::items(std::string_view list, EmptyItem empty) {
    return walk(list, empty);
}

std::vector<std::wstring_view> NulList::items(std::wstring_view list, EmptyItem empty) {
    return walk(list, empty);
}

std::vector<std::wstring_view> NulList::terminatedItems(const wchar_t* list) {
    std::vector<std::wstring_view> items;
    for (const wchar_t* at = list; at != nullptr && *at != L'\0'; at += std::wcslen(at) + 1) {
        items.emplace_back(at);
    }
    return items;
}
