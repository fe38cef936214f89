#include "platform/TextCodec.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/MacSingleByteTables.h"

namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char kLossByte = '?';

bool isHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}
bool isSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDFFF;
}

// The character at `at`: a joined surrogate pair (two units) or one unit,
// a lone surrogate standing for itself.
struct Character {
    char32_t codePoint;
    std::size_t units;
};

Character characterAt(std::u16string_view units, std::size_t at) {
    const char32_t first = units[at];
    if (isHighSurrogate(first) && at + 1 < units.size() && isLowSurrogate(units[at + 1])) {
        const char32_t second = units[at + 1];
        return {0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00), 2};
    }
    return {first, 1};
}

void appendCodePoint(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

// Bytes of one character in some encoding; a character takes at most 8.
struct CharBytes {
    std::array<char, 8> data{};
    std::size_t size = 0;

    void push(unsigned value) { data[size++] = static_cast<char>(value & 0xFF); }
};

// The common encode loop: whole characters while they fit. `encodeChar`
// gives the bytes of one code point, its loss form included.
template <typename EncodeChar>
TextCodec::Encoded encodeCharacters(std::u16string_view units, char* dest, std::size_t capacity,
                                    EncodeChar&& encodeChar) {
    TextCodec::Encoded done;
    while (done.units < units.size()) {
        const Character c = characterAt(units, done.units);
        const CharBytes bytes = encodeChar(c.codePoint);
        if (bytes.size > capacity - done.bytes) {
            break;
        }
        if (dest != nullptr) {
            std::memcpy(dest + done.bytes, bytes.data.data(), bytes.size);
        }
        done.bytes += bytes.size;
        done.units += c.units;
    }
    return done;
}

CharBytes lossByte() {
    CharBytes b;
    b.push(static_cast<unsigned char>(kLossByte));
    return b;
}

enum class ByteOrder { Little, Big, HostWithMark };

unsigned readUnit(std::string_view bytes, std::size_t at, std::size_t width, bool big) {
    unsigned value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const unsigned byte = static_cast<unsigned char>(bytes[at + i]);
        value |= big ? byte << (8 * (width - 1 - i)) : byte << (8 * i);
    }
    return value;
}

void pushUnit(CharBytes& out, unsigned value, std::size_t width, bool big) {
    for (std::size_t i = 0; i < width; ++i) {
        out.push(big ? value >> (8 * (width - 1 - i)) : value >> (8 * i));
    }
}

// Resolves a host-order encoding's byte order from a leading byte-order mark,
// which is then skipped. Without a mark the host's little-endian order holds.
std::size_t resolveOrder(std::string_view bytes, std::size_t width, ByteOrder order, bool* big) {
    *big = order == ByteOrder::Big;
    if (order != ByteOrder::HostWithMark || bytes.size() < width) {
        return 0;
    }
    if (readUnit(bytes, 0, width, false) == 0xFEFF) {
        *big = false;
        return width;
    }
    if (readUnit(bytes, 0, width, true) == 0xFEFF) {
        *big = true;
        return width;
    }
    return 0;
}

class Utf8Codec final : public TextCodec {
  public:
    std::optional<std::u16string> decode(std::string_view bytes) const override {
        std::u16string out;
        out.reserve(bytes.size());
        std::size_t i = 0;
        while (i < bytes.size()) {
            char32_t cp = 0;
            const std::size_t length = sequenceAt(bytes, i, &cp);
            if (length == 0) {
                return std::nullopt;
            }
            appendCodePoint(out, cp);
            i += length;
        }
        return out;
    }

    Encoded encode(std::u16string_view units, char* dest, std::size_t capacity) const override {
        return encodeCharacters(units, dest, capacity, [](char32_t cp) {
            CharBytes b;
            if (isSurrogate(cp)) {
                return lossByte();
            }
            if (cp < 0x80) {
                b.push(cp);
            } else if (cp < 0x800) {
                b.push(0xC0 | (cp >> 6));
                b.push(0x80 | (cp & 0x3F));
            } else if (cp < 0x10000) {
                b.push(0xE0 | (cp >> 12));
                b.push(0x80 | ((cp >> 6) & 0x3F));
                b.push(0x80 | (cp & 0x3F));
            } else {
                b.push(0xF0 | (cp >> 18));
                b.push(0x80 | ((cp >> 12) & 0x3F));
                b.push(0x80 | ((cp >> 6) & 0x3F));
                b.push(0x80 | (cp & 0x3F));
            }
            return b;
        });
    }

  private:
    // Length of the well-formed sequence at `at` (0 when ill-formed): no
    // overlong forms, no surrogates, nothing above U+10FFFF.
    static std::size_t sequenceAt(std::string_view bytes, std::size_t at, char32_t* cp) {
        const unsigned lead = static_cast<unsigned char>(bytes[at]);
        std::size_t length = 0;
        char32_t value = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            *cp = lead;
            return 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, value = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, value = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, value = lead & 0x07, minimum = 0x10000;
        } else {
            return 0;
        }
        if (length > bytes.size() - at) {
            return 0;
        }
        for (std::size_t i = 1; i < length; ++i) {
            const unsigned next = static_cast<unsigned char>(bytes[at + i]);
            if ((next & 0xC0) != 0x80) {
                return 0;
            }
            value = (value << 6) | (next & 0x3F);
        }
        if (value < minimum || value > kMaxCodePoint || isSurrogate(value)) {
            return 0;
        }
        *cp = value;
        return length;
    }
};

class Utf16Codec final : public TextCodec {
  public:
    constexpr explicit Utf16Codec(ByteOrder order) : order_(order) {}

    std::size_t unitWidth() const override { return 2; }

    std::optional<std::u16string> decode(std::string_view bytes) const override {
        if (bytes.size() % 2 != 0) {
            return std::nullopt;
        }
        bool big = false;
        std::u16string out;
        for (std::size_t i = resolveOrder(bytes, 2, order_, &big); i < bytes.size(); i += 2) {
            out.push_back(static_cast<char16_t>(readUnit(bytes, i, 2, big)));
        }
        return out;
    }

    Encoded encode(std::u16string_view units, char* dest, std::size_t capacity) const override {
        const bool big = order_ == ByteOrder::Big;
        return encodeCharacters(units, dest, capacity, [big](char32_t cp) {
            CharBytes b;
            if (cp >= 0x10000) {
                cp -= 0x10000;
                pushUnit(b, 0xD800 + (cp >> 10), 2, big);
                pushUnit(b, 0xDC00 + (cp & 0x3FF), 2, big);
            } else {
                // UTF-16 holds a lone surrogate as it came.
                pushUnit(b, cp, 2, big);
            }
            return b;
        });
    }

  private:
    ByteOrder order_;
};

class Utf32Codec final : public TextCodec {
  public:
    constexpr explicit Utf32Codec(ByteOrder order) : order_(order) {}

    std::size_t unitWidth() const override { return 4; }

    std::optional<std::u16string> decode(std::string_view bytes) const override {
        if (bytes.size() % 4 != 0) {
            return std::nullopt;
        }
        bool big = false;
        std::u16string out;
        out.reserve(bytes.size() / 4);
        for (std::size_t i = resolveOrder(bytes, 4, order_, &big); i < bytes.size(); i += 4) {
            const char32_t cp = readUnit(bytes, i, 4, big);
            if (cp > kMaxCodePoint || isSurrogate(cp)) {
                return std::nullopt;
            }
            appendCodePoint(out, cp);
        }
        return out;
    }

    Encoded encode(std::u16string_view units, char* dest, std::size_t capacity) const override {
        const bool big = order_ == ByteOrder::Big;
        return encodeCharacters(units, dest, capacity, [big](char32_t cp) {
            CharBytes b;
            pushUnit(b, isSurrogate(cp) ? static_cast<char32_t>(kLossByte) : cp, 4, big);
            return b;
        });
    }

  private:
    ByteOrder order_;
};

class Latin1Codec final : public TextCodec {
  public:
    std::optional<std::u16string> decode(std::string_view bytes) const override {
        std::u16string out;
        out.reserve(bytes.size());
        for (char c : bytes) {
            out.push_back(static_cast<unsigned char>(c));
        }
        return out;
    }

    Encoded encode(std::u16string_view units, char* dest, std::size_t capacity) const override {
        return encodeCharacters(units, dest, capacity, [](char32_t cp) {
            if (cp > 0xFF) {
                return lossByte();
            }
            CharBytes b;
            b.push(cp);
            return b;
        });
    }
};

// ASCII below 0x80, a generated table above.
class MacTableCodec final : public TextCodec {
  public:
    constexpr explicit MacTableCodec(const mac_single_byte::HighHalf& high) : high_(high) {}

    std::optional<std::u16string> decode(std::string_view bytes) const override {
        std::u16string out;
        out.reserve(bytes.size());
        for (char c : bytes) {
            const unsigned byte = static_cast<unsigned char>(c);
            if (byte < 0x80) {
                out.push_back(static_cast<char16_t>(byte));
            } else {
                out.append(high_[byte - 0x80]);
            }
        }
        return out;
    }

    Encoded encode(std::u16string_view units, char* dest, std::size_t capacity) const override {
        return encodeCharacters(units, dest, capacity, [this](char32_t cp) {
            CharBytes b;
            if (cp < 0x80) {
                b.push(cp);
                return b;
            }
            for (std::size_t i = 0; i < high_.size(); ++i) {
                if (high_[i].size() == 1 && high_[i][0] == cp) {
                    b.push(0x80 + static_cast<unsigned>(i));
                    return b;
                }
            }
            return lossByte();
        });
    }

  private:
    const mac_single_byte::HighHalf& high_;
};

// One iconv conversion descriptor, closed with its owner.
class IconvHandle {
  public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Back to the initial shift state, as if just opened.
    void reset() const { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

    // Converts all of `in`; false when iconv refuses any of it.
    bool convert(std::string_view in, std::string& out) const {
        char* inPtr = const_cast<char*>(in.data());  // iconv's signature; never written
        std::size_t inLeft = in.size();
        std::array<char, 256> chunk;
        while (inLeft > 0) {
            char* outPtr = chunk.data();
            std::size_t outLeft = chunk.size();
            const std::size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(chunk.data(), chunk.size() - outLeft);
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
                return false;
            }
        }
        return true;
    }

  private:
    iconv_t cd_;
};

// Descriptors of one conversion, kept for reuse: opening one costs far more
// than converting a statement. A descriptor carries state, so each is lent
// to one caller at a time and reset when it comes back.
class IconvPool {
  public:
    constexpr IconvPool(const char* to, const char* from) : to_(to), from_(from) {}

    class Lease {
      public:
        explicit Lease(const IconvPool& pool) : pool_(pool), handle_(pool.take()) {}
        ~Lease() { pool_.giveBack(std::move(handle_)); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

        const IconvHandle& operator*() const { return *handle_; }
        const IconvHandle* operator->() const { return handle_.get(); }

      private:
        const IconvPool& pool_;
        std::unique_ptr<IconvHandle> handle_;
    };

  private:
    std::unique_ptr<IconvHandle> take() const {
        {
            const std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                std::unique_ptr<IconvHandle> handle = std::move(idle_.back());
                idle_.pop_back();
                return handle;
            }
        }
        return std::make_unique<IconvHandle>(to_, from_);
    }

    void giveBack(std::unique_ptr<IconvHandle> handle) const noexcept {
        if (!handle->valid()) {
            return;
        }
        handle->reset();
        try {
            const std::lock_guard lock(mutex_);
            idle_.push_back(std::move(handle));
        } catch (...) {
            // Not kept: the descriptor closes with the handle.
        }
    }

    const char* to_;
    const char* from_;
    mutable std::mutex mutex_;
    mutable std::vector<std::unique_ptr<IconvHandle>> idle_;
};

// Encodings glibc's iconv knows, with descriptors pooled per direction.
class IconvCodec final : public TextCodec {
  public:
    constexpr explicit IconvCodec(const char* name)
        : decoders_("UTF-16LE", name), encoders_(name, "UTF-32LE") {}

    std::optional<std::u16string> decode(std::string_view bytes) const override {
        const IconvPool::Lease cd(decoders_);
        std::string utf16;
        if (!cd->valid() || !cd->convert(bytes, utf16) || utf16.size() % 2 != 0) {
            return std::nullopt;
        }
        std::u16string out;
        out.reserve(utf16.size() / 2);
        for (std::size_t i = 0; i < utf16.size(); i += 2) {
            out.push_back(static_cast<char16_t>(readUnit(utf16, i, 2, false)));
        }
        return out;
    }

    Encoded encode(std::u16string_view units, char* dest, std::size_t capacity) const override {
        const IconvPool::Lease cd(encoders_);
        return encodeCharacters(units, dest, capacity, [&cd](char32_t cp) {
            if (!cd->valid() || isSurrogate(cp)) {
                return lossByte();
            }
            CharBytes in;
            pushUnit(in, cp, 4, false);
            std::string out;
            if (!cd->convert(std::string_view(in.data.data(), in.size), out) || out.empty() ||
                out.size() > CharBytes().data.size()) {
                return lossByte();
            }
            CharBytes b;
            for (char c : out) {
                b.push(static_cast<unsigned char>(c));
            }
            return b;
        });
    }

  private:
    IconvPool decoders_;
    IconvPool encoders_;
};

const Utf8Codec kUtf8;
const Utf16Codec kUtf16(ByteOrder::HostWithMark);
const Utf16Codec kUtf16LE(ByteOrder::Little);
const Utf16Codec kUtf16BE(ByteOrder::Big);
const Utf32Codec kUtf32(ByteOrder::HostWithMark);
const Utf32Codec kUtf32LE(ByteOrder::Little);
const Utf32Codec kUtf32BE(ByteOrder::Big);
const Latin1Codec kLatin1;
const MacTableCodec kMacGreek(mac_single_byte::kMacGreekHigh);
const MacTableCodec kMacArabic(mac_single_byte::kMacArabicHigh);
const MacTableCodec kMacHebrew(mac_single_byte::kMacHebrewHigh);
const IconvCodec kMacRoman("MACINTOSH");
const IconvCodec kMacIcelandic("MAC-IS");
const IconvCodec kMacCyrillic("MAC-CYRILLIC");
const IconvCodec kMacJapanese("SHIFT_JIS");
const IconvCodec kMacKorean("EUC-KR");
const IconvCodec kMacChineseTrad("BIG5");
const IconvCodec kMacChineseSimp("EUC-CN");

struct CodecRow {
    StringEncoding encoding;
    const TextCodec* codec;
};

const CodecRow kCodecs[] = {
    {kEncodingUtf8, &kUtf8},
    {kEncodingUtf16, &kUtf16},
    {kEncodingUtf16LE, &kUtf16LE},
    {kEncodingUtf16BE, &kUtf16BE},
    {kEncodingUtf32, &kUtf32},
    {kEncodingUtf32LE, &kUtf32LE},
    {kEncodingUtf32BE, &kUtf32BE},
    {kEncodingIsoLatin1, &kLatin1},
    {kEncodingMacRoman, &kMacRoman},
    {kEncodingMacJapanese, &kMacJapanese},
    {kEncodingMacChineseTrad, &kMacChineseTrad},
    {kEncodingMacKorean, &kMacKorean},
    {kEncodingMacArabic, &kMacArabic},
    {kEncodingMacHebrew, &kMacHebrew},
    {kEncodingMacGreek, &kMacGreek},
    {kEncodingMacCyrillic, &kMacCyrillic},
    {kEncodingMacChineseSimp, &kMacChineseSimp},
    {kEncodingMacIcelandic, &kMacIcelandic},
};

}  // namespace

const TextCodec* TextCodec::forEncoding(StringEncoding encoding) {
    for (const CodecRow& row : kCodecs) {
        if (row.encoding == encoding) {
            return row.codec;
        }
    }
    return nullptr;
}
