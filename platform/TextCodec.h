#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Text encodings are named by their CFStringEncoding numbers: the driver's
// settings and trace lines carry these numbers.
using StringEncoding = std::uint32_t;

inline constexpr StringEncoding kEncodingMacRoman = 0;
inline constexpr StringEncoding kEncodingMacJapanese = 1;
inline constexpr StringEncoding kEncodingMacChineseTrad = 2;
inline constexpr StringEncoding kEncodingMacKorean = 3;
inline constexpr StringEncoding kEncodingMacArabic = 4;
inline constexpr StringEncoding kEncodingMacHebrew = 5;
inline constexpr StringEncoding kEncodingMacGreek = 6;
inline constexpr StringEncoding kEncodingMacCyrillic = 7;
inline constexpr StringEncoding kEncodingMacChineseSimp = 25;
inline constexpr StringEncoding kEncodingMacIcelandic = 37;
inline constexpr StringEncoding kEncodingUtf16 = 0x0100;  // host order, BOM honoured
inline constexpr StringEncoding kEncodingIsoLatin1 = 0x0201;
inline constexpr StringEncoding kEncodingUtf8 = 0x08000100;
inline constexpr StringEncoding kEncodingUtf32 = 0x0c000100;  // host order, BOM honoured
inline constexpr StringEncoding kEncodingUtf16BE = 0x10000100;
inline constexpr StringEncoding kEncodingUtf16LE = 0x14000100;
inline constexpr StringEncoding kEncodingUtf32BE = 0x18000100;
inline constexpr StringEncoding kEncodingUtf32LE = 0x1c000100;

// Conversion between one encoding and UTF-16 code units, the unit in which
// the driver counts characters. Decoding refuses bytes that are not valid
// text in the encoding; encoding writes "?" for what the encoding cannot hold.
class TextCodec {
  public:
    struct Encoded {
        std::size_t units = 0;  // UTF-16 units consumed (whole characters only)
        std::size_t bytes = 0;  // bytes produced
    };

    virtual ~TextCodec() = default;

    // The codec of an encoding, or null when the encoding is not supported.
    // Codecs are immutable and live for the whole process.
    static const TextCodec* forEncoding(StringEncoding encoding);

    // Width of one code unit of the encoding: 4 for UTF-32, 2 for UTF-16,
    // else 1. Terminators and SQL_NTS lengths use it.
    virtual std::size_t unitWidth() const { return 1; }

    // The text of `bytes`, or nothing when they are not valid in the encoding.
    virtual std::optional<std::u16string> decode(std::string_view bytes) const = 0;

    // Encodes whole characters of `units` while they fit in `capacity` bytes;
    // with a null `dest` it only counts. A surrogate pair is one character.
    virtual Encoded encode(std::u16string_view units, char* dest, std::size_t capacity) const = 0;
};
