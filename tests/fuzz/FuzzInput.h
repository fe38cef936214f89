#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

// Splits a fuzzer's bytes into the arguments of one call: single bytes for
// flags, pieces ended by the unit separator 0x1F, and the rest as the main
// text. Seeds stay easy to write by hand.
class FuzzInput {
  public:
    static constexpr char kSeparator = '\x1f';

    FuzzInput(const std::uint8_t* data, std::size_t size)
        : bytes_(reinterpret_cast<const char*>(data), size) {}

    // The next byte, 0 when the input is used up.
    std::uint8_t byte() {
        if (bytes_.empty()) {
            return 0;
        }
        const auto value = static_cast<std::uint8_t>(bytes_.front());
        bytes_.remove_prefix(1);
        return value;
    }

    // The text up to the next separator (which is dropped), or the rest.
    std::string_view piece() {
        const std::size_t end = bytes_.find(kSeparator);
        const std::string_view taken = bytes_.substr(0, end);
        bytes_.remove_prefix(end == std::string_view::npos ? bytes_.size() : end + 1);
        return taken;
    }

    std::string_view rest() {
        const std::string_view taken = bytes_;
        bytes_ = {};
        return taken;
    }

  private:
    std::string_view bytes_;
};

// A heap copy of exactly the text's bytes, with a NUL behind them only when
// `terminated`: AddressSanitizer then reports any read past a given length.
template <typename Unit>
class ExactBuffer {
  public:
    ExactBuffer(std::basic_string_view<Unit> text, bool terminated)
        : units_(new Unit[text.size() + (terminated ? 1 : 0)]) {
        std::copy(text.begin(), text.end(), units_.get());
        if (terminated) {
            units_[text.size()] = Unit{};
        }
    }
    Unit* data() { return units_.get(); }

  private:
    std::unique_ptr<Unit[]> units_;
};

// Each byte as one wide unit (the narrowing then meets every code below 256).
inline std::wstring widened(std::string_view text) {
    std::wstring wide;
    for (char c : text) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return wide;
}
