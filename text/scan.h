#pragma once
// Scanning shared by the text operations and TextBuffer (not for callers
// outside text/). Indexes here are 0-based.

#include <cstddef>
#include <string_view>

namespace tarnlow::detail {

constexpr std::size_t kNotFound = std::string_view::npos;

// First occurrence of `sought` (not empty) at or after `from` that begins on
// a character boundary, walking characters from `from` on: a byte of 0x80 or
// more takes the next byte with it. With ignoreCase, ASCII letters compare
// without regard to case; the bytes of double-byte characters compare
// exactly.
std::size_t FindFrom(std::string_view text, std::string_view sought, std::size_t from,
                     bool ignoreCase);

// Bytes of the character starting at `i` in the walk above.
inline std::size_t CharLength(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
}

}  // namespace tarnlow::detail
