#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Message texts with printf-like placeholders, filled in by our own code so
// that a text read from a translation is never handed to printf.

// The placeholders of `text` in order, each as written ("%s", "%@", "%d",
// "%1$s"); "%%" is no placeholder.
std::vector<std::string> messagePlaceholders(std::string_view text);

// `format` with each "%s" or "%@" replaced by the next argument ("" when the
// arguments run out) and "%%" by "%"; any other "%" sequence is kept as
// written.
std::string formatMessage(std::string_view format, std::initializer_list<std::string_view> args);
