#pragma once

#include <array>
#include <string_view>

// Upper halves (bytes 0x80 to 0xFF) of the Mac script encodings that glibc's
// iconv lacks; generated from Perl's Encode module by
// scripts/gen-mac-single-byte-tables.pl. Entry i holds the UTF-16 text of
// byte 0x80 + i (a few Hebrew bytes stand for two or three units).
namespace mac_single_byte {

using HighHalf = std::array<std::u16string_view, 128>;

extern const HighHalf kMacGreekHigh;
extern const HighHalf kMacArabicHigh;
extern const HighHalf kMacHebrewHigh;

}  // namespace mac_single_byte
