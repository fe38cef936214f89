#include "platform/PropertyList.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace {

// libplist hands out malloc'ed text.
struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};
using MallocText = std::unique_ptr<char, FreeDeleter>;

std::string copyStringNode(plist_t node) {
    char* raw = nullptr;
    plist_get_string_val(node, &raw);
    MallocText owned(raw);
    return owned ? std::string(owned.get()) : std::string();
}

struct NodeDeleter {
    void operator()(void* node) const { plist_free(node); }
};
using OwnedNode = std::unique_ptr<void, NodeDeleter>;

plist_t checked(plist_t node) {
    if (node == nullptr) {
        throw std::bad_alloc();
    }
    return node;
}

}  // namespace

PropertyList PropertyList::newDictionary() {
    return PropertyList(checked(plist_new_dict()));
}

std::optional<PropertyList> PropertyList::parse(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    plist_t node = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &node);
    if (node == nullptr) {
        return std::nullopt;
    }
    return PropertyList(node);
}

std::optional<PropertyList> PropertyList::readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return std::nullopt;
    }
    return parse(bytes);
}

PropertyList::PropertyList(const PropertyList& other)
    : node_(other.node_ ? checked(plist_copy(other.node_)) : nullptr) {}

PropertyList& PropertyList::operator=(const PropertyList& other) {
    if (this != &other) {
        PropertyList copy(other);
        std::swap(node_, copy.node_);
    }
    return *this;
}

PropertyList::PropertyList(PropertyList&& other) noexcept
    : node_(std::exchange(other.node_, nullptr)) {}

PropertyList& PropertyList::operator=(PropertyList&& other) noexcept {
    if (this != &other) {
        std::swap(node_, other.node_);
    }
    return *this;
}

PropertyList::~PropertyList() {
    if (node_ != nullptr) {
        plist_free(node_);
    }
}

bool PropertyList::isDictionary() const {
    return node_ != nullptr && plist_get_node_type(node_) == PLIST_DICT;
}

std::string PropertyList::toXml() const {
    char* raw = nullptr;
    uint32_t length = 0;
    if (node_ != nullptr) {
        plist_to_xml(node_, &raw, &length);
    }
    MallocText owned(raw);
    return owned ? std::string(owned.get(), length) : std::string();
}

std::string PropertyList::toBinary() const {
    char* raw = nullptr;
    uint32_t length = 0;
    if (node_ != nullptr) {
        plist_to_bin(node_, &raw, &length);
    }
    MallocText owned(raw);
    return owned ? std::string(owned.get(), length) : std::string();
}

plist_t PropertyList::item(std::string_view key) const {
    if (!isDictionary()) {
        return nullptr;
    }
    return plist_dict_get_item(node_, std::string(key).c_str());
}

bool PropertyList::contains(std::string_view key) const {
    return item(key) != nullptr;
}

std::optional<std::string> PropertyList::string(std::string_view key) const {
    plist_t value = item(key);
    if (value == nullptr || plist_get_node_type(value) != PLIST_STRING) {
        return std::nullopt;
    }
    return copyStringNode(value);
}

std::optional<std::string> PropertyList::data(std::string_view key) const {
    plist_t value = item(key);
    if (value == nullptr || plist_get_node_type(value) != PLIST_DATA) {
        return std::nullopt;
    }
    char* raw = nullptr;
    uint64_t length = 0;
    plist_get_data_val(value, &raw, &length);
    MallocText owned(raw);
    return owned ? std::string(owned.get(), length) : std::string();
}

std::optional<std::vector<std::string>> PropertyList::stringArray(std::string_view key) const {
    plist_t value = item(key);
    if (value == nullptr || plist_get_node_type(value) != PLIST_ARRAY) {
        return std::nullopt;
    }
    std::vector<std::string> result;
    const uint32_t size = plist_array_get_size(value);
    for (uint32_t i = 0; i < size; ++i) {
        plist_t element = plist_array_get_item(value, i);
        if (element != nullptr && plist_get_node_type(element) == PLIST_STRING) {
            result.push_back(copyStringNode(element));
        }
    }
    return result;
}

std::vector<std::string> PropertyList::keys() const {
    std::vector<std::string> result;
    if (!isDictionary()) {
        return result;
    }
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(node_, &iter);
    if (iter == nullptr) {
        return result;
    }
    for (;;) {
        char* rawKey = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node_, iter, &rawKey, &value);
        MallocText key(rawKey);
        if (!key) {
            break;
        }
        result.emplace_back(key.get());
    }
    std::free(iter);
    return result;
}

void PropertyList::setString(std::string_view key, std::string_view value) {
    if (isDictionary()) {
        plist_dict_set_item(node_, std::string(key).c_str(),
                            checked(plist_new_string(std::string(value).c_str())));
    }
}

void PropertyList::setData(std::string_view key, std::string_view bytes) {
    if (isDictionary()) {
        plist_dict_set_item(node_, std::string(key).c_str(),
                            checked(plist_new_data(bytes.data(), bytes.size())));
    }
}

void PropertyList::setStringArray(std::string_view key, const std::vector<std::string>& values) {
    if (!isDictionary()) {
        return;
    }
    OwnedNode array(checked(plist_new_array()));
    for (const std::string& value : values) {
        plist_array_append_item(array.get(), checked(plist_new_string(value.c_str())));
    }
    const std::string name(key);
    plist_dict_set_item(node_, name.c_str(), array.release());
}

void PropertyList::remove(std::string_view key) {
    if (contains(key)) {
        plist_dict_remove_item(node_, std::string(key).c_str());
    }
}
