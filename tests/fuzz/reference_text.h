#pragma once
// Slow, literal versions of the text primitives, to compare the real ones
// against: every search walks the candidate positions one character at a
// time and compares the whole sought text at each.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnlow::fuzz {

inline bool IsHigh(char c) { return static_cast<unsigned char>(c) >= 0x80; }
inline std::size_t Width(std::string_view text, std::size_t i) { return IsHigh(text[i]) ? 2 : 1; }
inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// Whether `sought` stands at byte `at`. Ignoring case folds the ASCII letters
// that are characters of their own; a double-byte character compares exactly.
inline bool StandsAt(std::string_view text, std::size_t at, std::string_view sought,
                     bool ignoreCase) {
  if (text.size() - at < sought.size()) return false;
  for (std::size_t k = 0; k < sought.size();) {
    if (IsHigh(sought[k])) {
      if (text[at + k] != sought[k]) return false;
      if (k + 1 < sought.size() && text[at + k + 1] != sought[k + 1]) return false;
      k += 2;
    } else {
      const char t = text[at + k];
      const char s = sought[k];
      if (ignoreCase ? LowerAscii(t) != LowerAscii(s) : t != s) return false;
      ++k;
    }
  }
  return true;
}

inline int RefFind(std::string_view text, std::string_view sought, int start, bool ignoreCase) {
  const std::size_t from = start <= 0 ? 0 : static_cast<std::size_t>(start) - 1;
  if (from >= text.size()) return -1;
  if (sought.empty()) return 1;
  for (std::size_t i = from; i < text.size(); i += Width(text, i)) {
    if (StandsAt(text, i, sought, ignoreCase)) return static_cast<int>(i) + 1;
  }
  return -1;
}

inline int RefFindLast(std::string_view text, std::string_view sought, int start, bool ignoreCase) {
  const std::size_t limit =
      start <= 0 ? text.size() : std::min(text.size(), static_cast<std::size_t>(start) - 1);
  if (limit == 0) return -1;
  if (sought.empty()) return 1;
  const std::string_view part = text.substr(0, limit);
  int last = -1;
  for (std::size_t i = 0; i < part.size(); i += Width(part, i)) {
    if (StandsAt(part, i, sought, ignoreCase)) last = static_cast<int>(i) + 1;
  }
  return last;
}

inline std::vector<std::string> RefSplit(std::string_view text, std::string_view delimiter,
                                         int maxCount) {
  std::vector<std::string> pieces;
  if (text.empty() || maxCount == 0) return pieces;
  if (delimiter.empty()) return {std::string(text)};
  const auto room = [&] { return maxCount < 0 || static_cast<int>(pieces.size()) < maxCount; };
  std::size_t pos = 0;
  while (room()) {
    const int at = RefFind(text, delimiter, static_cast<int>(pos) + 1, false);
    if (at == -1) break;
    pieces.emplace_back(text.substr(pos, static_cast<std::size_t>(at) - 1 - pos));
    pos = static_cast<std::size_t>(at) - 1 + delimiter.size();
  }
  if (room() && pos < text.size()) pieces.emplace_back(text.substr(pos));
  return pieces;
}

inline bool IsFullWidthSpaceAt(std::string_view text, std::size_t i) {
  return i + 1 < text.size() && text[i] == '\xA1' && text[i + 1] == '\xA1';
}

// Characters are only known walking from the front: the end is the end of
// the last character that is neither " " nor the full-width space.
inline std::string RefTrim(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    if (text[begin] == ' ') {
      ++begin;
    } else if (IsFullWidthSpaceAt(text, begin)) {
      begin += 2;
    } else {
      break;
    }
  }
  std::size_t end = begin;
  for (std::size_t i = begin; i < text.size();) {
    const bool space = text[i] == ' ' || IsFullWidthSpaceAt(text, i);
    i = std::min(text.size(), i + Width(text, i));
    if (!space) end = i;
  }
  return std::string(text.substr(begin, end - begin));
}

inline std::string RefToLower(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); i += Width(out, i)) out[i] = LowerAscii(out[i]);
  return out;
}

}  // namespace tarnlow::fuzz
