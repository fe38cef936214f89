#pragma once

#include <string_view>
#include <vector>

// The installer's lists ("a\0b\0\0"): items each ended by a NUL, the list
// ended by an empty item. Attribute lists of ConfigDSN, key and section
// names of an ini file.
class NulList {
  public:
    // What an empty item means: the list's end, or a name to pass over
    // (a list whose length is known, such as a profile read's answer).
    enum class EmptyItem { EndsList, Skipped };

    // The items, never read past the view; the last may end at the view's
    // end without its NUL.
    static std::vector<std::string_view> items(std::string_view list,
                                               EmptyItem empty = EmptyItem::EndsList);
    static std::vector<std::wstring_view> items(std::wstring_view list,
                                                EmptyItem empty = EmptyItem::EndsList);
    // A list known only by its start, read up to its empty item; a null
    // list has no items.
    static std::vector<std::wstring_view> terminatedItems(const wchar_t* list);
};
