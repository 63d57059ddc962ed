#pragma once

// UTF-8 both ways, for the module that has no Qt.

#include <string>
#include <string_view>

namespace ojt {

inline constexpr char32_t kInvalid = 0xFFFFFFFF;

// The code point at `at` and its length in bytes (at least 1); kInvalid for a
// byte that starts no well-formed sequence.
char32_t decodeUtf8(std::string_view s, std::size_t at, std::size_t* length);
std::string toUtf8(std::u32string_view text);

}  // namespace ojt
