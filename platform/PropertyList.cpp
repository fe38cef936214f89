#include "platform/PropertyList.h"

#include <cstdlib>
#include <cstring>
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

// A string node's text, read by pointer and length: libplist 2.2's
// plist_get_string_val asserts (and aborts the host) on a string holding
// NUL, which a parsed list may carry. Such a value reads as absent.
std::optional<std::string> stringNodeText(plist_t node) {
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (text == nullptr || std::memchr(text, '\0', length) != nullptr) {
        return std::nullopt;
    }
    return std::string(text, length);
}

// Big-endian unsigned integer of `width` bytes at `at`, when it fits.
std::optional<uint64_t> readBigEndian(std::string_view bytes, uint64_t at, uint64_t width) {
    if (width == 0 || width > 8 || at > bytes.size() || width > bytes.size() - at) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (uint64_t i = 0; i < width; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// Reads a binary list's object table far enough to tell whether a
// dictionary key holds NUL. libplist 2.2 offers no way to read a key's
// length, and every key accessor asserts on such a key, so such a list is
// refused before it is parsed.
class BinaryKeyCheck {
  public:
    explicit BinaryKeyCheck(std::string_view bytes) : bytes_(bytes) {}

    // True when the table can be read and no key holds NUL.
    bool keysAreClean() {
        constexpr uint64_t kTrailer = 32;
        if (bytes_.size() < 8 + kTrailer) {
            return false;
        }
        const uint64_t trailer = bytes_.size() - kTrailer;
        offsetSize_ = static_cast<unsigned char>(bytes_[trailer + 6]);
        refSize_ = static_cast<unsigned char>(bytes_[trailer + 7]);
        const auto count = readBigEndian(bytes_, trailer + 8, 8);
        const auto table = readBigEndian(bytes_, trailer + 24, 8);
        if (!count || !table || offsetSize_ == 0 || offsetSize_ > 8 || refSize_ == 0 ||
            refSize_ > 8 || *table > trailer || *count > (trailer - *table) / offsetSize_) {
            return false;
        }
        count_ = *count;
        table_ = *table;
        for (uint64_t i = 0; i < count_; ++i) {
            const auto at = objectAt(i);
            if (!at) {
                return false;
            }
            const auto marker = static_cast<unsigned char>(bytes_[*at]);
            if ((marker >> 4) == 0xD && !dictionaryKeysAreClean(*at)) {
                return false;
            }
        }
        return true;
    }

  private:
    std::optional<uint64_t> objectAt(uint64_t index) const {
        if (index >= count_) {
            return std::nullopt;
        }
        const auto at = readBigEndian(bytes_, table_ + index * offsetSize_, offsetSize_);
        if (!at || *at >= table_) {
            return std::nullopt;
        }
        return at;
    }

    // The element count of the object at `at` and where its body starts.
    std::optional<std::pair<uint64_t, uint64_t>> countAndBody(uint64_t at) const {
        const uint64_t low = static_cast<unsigned char>(bytes_[at]) & 0xF;
        if (low != 0xF) {
            return std::make_pair(low, at + 1);
        }
        if (at + 1 >= bytes_.size()) {
            return std::nullopt;
        }
        const auto marker = static_cast<unsigned char>(bytes_[at + 1]);
        if ((marker >> 4) != 0x1 || (marker & 0xF) > 3) {
            return std::nullopt;
        }
        const uint64_t width = uint64_t{1} << (marker & 0xF);
        const auto count = readBigEndian(bytes_, at + 2, width);
        if (!count) {
            return std::nullopt;
        }
        return std::make_pair(*count, at + 2 + width);
    }

    bool dictionaryKeysAreClean(uint64_t at) const {
        const auto shape = countAndBody(at);
        if (!shape || shape->first > (bytes_.size() - shape->second) / refSize_) {
            return false;
        }
        for (uint64_t k = 0; k < shape->first; ++k) {
            const auto ref = readBigEndian(bytes_, shape->second + k * refSize_, refSize_);
            const auto key = ref ? objectAt(*ref) : std::nullopt;
            if (!key || !stringIsClean(*key)) {
                return false;
            }
        }
        return true;
    }

    // ASCII (0x5n) and UTF-16 (0x6n) strings; any other object is no key
    // libplist accepts, and it refuses the list itself.
    bool stringIsClean(uint64_t at) const {
        const unsigned kind = static_cast<unsigned char>(bytes_[at]) >> 4;
        if (kind != 0x5 && kind != 0x6) {
            return true;
        }
        const auto shape = countAndBody(at);
        const uint64_t unit = kind == 0x5 ? 1 : 2;
        if (!shape || shape->first > (bytes_.size() - shape->second) / unit) {
            return false;
        }
        for (uint64_t i = 0; i < shape->first; ++i) {
            const uint64_t from = shape->second + i * unit;
            if (bytes_[from] == '\0' && (unit == 1 || bytes_[from + 1] == '\0')) {
                return false;
            }
        }
        return true;
    }

    std::string_view bytes_;
    uint64_t offsetSize_ = 0;
    uint64_t refSize_ = 0;
    uint64_t count_ = 0;
    uint64_t table_ = 0;
};

// Text libplist may parse: XML holds no NUL at all (the character is not
// allowed in XML, and libplist would keep it), a binary list no key with NUL.
bool safeToParse(std::string_view bytes) {
    const bool binary = plist_is_binary(bytes.data(), static_cast<uint32_t>(bytes.size())) != 0;
    if (!binary) {
        return bytes.find('\0') == std::string_view::npos;
    }
    return BinaryKeyCheck(bytes).keysAreClean();
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
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max() ||
        !safeToParse(bytes)) {
        return std::nullopt;
    }
    plist_t node = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &node);
    if (node == nullptr) {
        return std::nullopt;
    }
    PropertyList list(node);
    list.parsed_ = true;
    return list;
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
    : node_(other.node_ ? checked(plist_copy(other.node_)) : nullptr), parsed_(other.parsed_) {}

PropertyList& PropertyList::operator=(const PropertyList& other) {
    if (this != &other) {
        PropertyList copy(other);
        std::swap(node_, copy.node_);
        parsed_ = copy.parsed_;
    }
    return *this;
}

PropertyList::PropertyList(PropertyList&& other) noexcept
    : node_(std::exchange(other.node_, nullptr)), parsed_(other.parsed_) {}

PropertyList& PropertyList::operator=(PropertyList&& other) noexcept {
    if (this != &other) {
        std::swap(node_, other.node_);
        std::swap(parsed_, other.parsed_);
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
    if (node_ != nullptr && !parsed_) {
        plist_to_xml(node_, &raw, &length);
    }
    MallocText owned(raw);
    return owned ? std::string(owned.get(), length) : std::string();
}

std::string PropertyList::toBinary() const {
    char* raw = nullptr;
    uint32_t length = 0;
    if (node_ != nullptr && !parsed_) {
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
    return stringNodeText(value);
}

std::optional<std::string> PropertyList::data(std::string_view key) const {
    plist_t value = item(key);
    if (value == nullptr || plist_get_node_type(value) != PLIST_DATA) {
        return std::nullopt;
    }
    uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(value, &length);
    return bytes != nullptr ? std::string(bytes, length) : std::string();
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
        if (element == nullptr || plist_get_node_type(element) != PLIST_STRING) {
            continue;
        }
        if (auto text = stringNodeText(element)) {
            result.push_back(std::move(*text));
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
