#include "text/text.h"

#include <algorithm>
#include <climits>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/scan.h"

namespace tarnlow {
namespace detail {
namespace {

unsigned char Fold(unsigned char b) { return (b >= 'A' && b <= 'Z') ? b + ('a' - 'A') : b; }
bool IsLetter(unsigned char b) { return Fold(b) >= 'a' && Fold(b) <= 'z'; }

// Whether index `j` starts a character when `i` <= j is known to start one.
// Only the run of high bytes right before `j` matters: the byte after any
// byte below 0x80 (a character or a trail byte) starts a character, and from
// there high bytes pair up. Callers move `i` past every rejected candidate,
// so the backward walks add up to one pass over the text.
bool StartsChar(const unsigned char* p, std::size_t i, std::size_t j) {
  std::size_t k = j;
#if defined(__SSE2__)
  // Chinese text is long runs of high bytes: sixteen at a time, the last low
  // byte among them found at once.
  while (k >= i + 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k - 16));
    const auto low = static_cast<unsigned>(~_mm_movemask_epi8(bytes)) & 0xFFFFu;
    if (low != 0) {
      k = k - 16 + static_cast<std::size_t>(32 - __builtin_clz(low));
      return ((j - k) & 1) == 0;
    }
    k -= 16;
  }
#endif
  while (k > i && p[k - 1] >= 0x80) --k;
  return ((j - k) & 1) == 0;
}

// Letters in `sought` outside double-byte characters, i.e. whether ignoring
// case can change anything.
bool HasCaseLetters(std::string_view sought) {
  for (std::size_t k = 0; k < sought.size(); k += CharLength(sought, k)) {
    if (IsLetter(static_cast<unsigned char>(sought[k]))) return true;
  }
  return false;
}

bool EqualIgnoringCase(const unsigned char* t, const unsigned char* s, std::size_t m) {
  for (std::size_t k = 0; k < m;) {
    if (s[k] >= 0x80) {
      // A double-byte character compares exactly, its trail byte included.
      if (t[k] != s[k] || (k + 1 < m && t[k + 1] != s[k + 1])) return false;
      k += 2;
    } else {
      if (Fold(t[k]) != Fold(s[k])) return false;
      ++k;
    }
  }
  return true;
}

std::size_t FindExact(const unsigned char* p, std::size_t n, std::string_view sought,
                      std::size_t i) {
  const std::size_t m = sought.size();
  while (i < n && n - i >= m) {
    const void* hit = m == 1 ? std::memchr(p + i, static_cast<unsigned char>(sought[0]), n - i)
                             : memmem(p + i, n - i, sought.data(), m);
    if (!hit) return kNotFound;
    const auto j = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - p);
    if (StartsChar(p, i, j)) return j;
    i = j + 1;  // j is a trail byte, so the next byte starts a character
  }
  return kNotFound;
}

// Next index >= from holding byte a or byte b, remembering both memchr
// results so each byte value is scanned once over the whole search.
class EitherByte {
 public:
  EitherByte(const unsigned char* p, std::size_t n, unsigned char a, unsigned char b)
      : m_p(p), m_n(n), m_a(a), m_b(b) {}

  std::size_t Next(std::size_t from) {
    Refresh(m_posA, m_a, from);
    if (m_a != m_b) Refresh(m_posB, m_b, from);
    return m_a != m_b ? std::min(m_posA, m_posB) : m_posA;
  }

 private:
  void Refresh(std::size_t& pos, unsigned char byte, std::size_t from) {
    if (pos != kUnknown && (pos == kNotFound || pos >= from)) return;
    const void* hit = from < m_n ? std::memchr(m_p + from, byte, m_n - from) : nullptr;
    pos = hit ? static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - m_p) : kNotFound;
  }

  static constexpr std::size_t kUnknown = kNotFound - 1;
  const unsigned char* m_p;
  std::size_t m_n;
  unsigned char m_a, m_b;
  std::size_t m_posA = kUnknown, m_posB = kUnknown;
};

std::size_t FindIgnoringCase(const unsigned char* p, std::size_t n, std::string_view sought,
                             std::size_t i) {
  const std::size_t m = sought.size();
  const auto* s = reinterpret_cast<const unsigned char*>(sought.data());
  const unsigned char lower = Fold(s[0]);
  const unsigned char upper =
      IsLetter(s[0]) ? static_cast<unsigned char>(lower - ('a' - 'A')) : s[0];
  EitherByte first(p, n, lower, upper);
  while (i < n && n - i >= m) {
    const std::size_t j = first.Next(i);
    if (j == kNotFound || n - j < m) return kNotFound;
    if (!StartsChar(p, i, j)) {
      i = j + 1;
      continue;
    }
    if (EqualIgnoringCase(p + j, s, m)) return j;
    i = j + (p[j] >= 0x80 ? 2 : 1);
  }
  return kNotFound;
}

}  // namespace

std::size_t FindFrom(std::string_view text, std::string_view sought, std::size_t from,
                     bool ignoreCase) {
  if (sought.empty() || from >= text.size()) return kNotFound;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  if (ignoreCase && HasCaseLetters(sought)) return FindIgnoringCase(p, text.size(), sought, from);
  return FindExact(p, text.size(), sought, from);
}

}  // namespace detail

namespace {

using detail::FindFrom;
using detail::kNotFound;

int ToPosition(std::size_t index) { return index == kNotFound ? -1 : static_cast<int>(index) + 1; }

bool IsFullWidthSpace(std::string_view text, std::size_t i) {
  return i + 1 < text.size() && static_cast<unsigned char>(text[i]) == 0xA1 &&
         static_cast<unsigned char>(text[i + 1]) == 0xA1;
}

long long Saturate(bool negative, unsigned long long magnitude) {
  if (negative) {
    return magnitude > static_cast<unsigned long long>(LLONG_MAX)
               ? LLONG_MIN
               : -static_cast<long long>(magnitude);
  }
  return magnitude > static_cast<unsigned long long>(LLONG_MAX) ? LLONG_MAX
                                                                : static_cast<long long>(magnitude);
}

void AddDigit(unsigned long long& magnitude, int digit) {
  // Past LLONG_MAX the value saturates. A magnitude above LLONG_MAX / 10 is
  // pinned just past LLONG_MAX before the multiplication can wrap (a wrapped
  // 20-digit number would pass for a small one).
  constexpr auto kMax = static_cast<unsigned long long>(LLONG_MAX);
  magnitude = magnitude > kMax / 10 ? kMax + 2 : magnitude * 10 + static_cast<unsigned>(digit);
}

}  // namespace

int Find(std::string_view text, std::string_view sought, int start, bool ignoreCase) {
  const std::size_t from = start <= 0 ? 0 : static_cast<std::size_t>(start) - 1;
  if (from >= text.size()) return -1;
  if (sought.empty()) return 1;
  return ToPosition(FindFrom(text, sought, from, ignoreCase));
}

int FindLast(std::string_view text, std::string_view sought, int start, bool ignoreCase) {
  const std::size_t limit =
      start <= 0 ? text.size() : std::min(text.size(), static_cast<std::size_t>(start) - 1);
  if (limit == 0) return -1;
  if (sought.empty()) return 1;
  // Character boundaries are only known walking forward, so walk forward
  // over the allowed part and keep the last hit.
  const std::string_view part = text.substr(0, limit);
  std::size_t last = kNotFound;
  for (std::size_t at = FindFrom(part, sought, 0, ignoreCase); at != kNotFound;
       at = FindFrom(part, sought, at + detail::CharLength(part, at), ignoreCase)) {
    last = at;
  }
  return ToPosition(last);
}

std::string Left(std::string_view text, int n) {
  if (n <= 0) return {};
  return std::string(text.substr(0, static_cast<std::size_t>(n)));
}

std::string Right(std::string_view text, int n) {
  if (n <= 0) return {};
  const std::size_t count = std::min(text.size(), static_cast<std::size_t>(n));
  return std::string(text.substr(text.size() - count));
}

std::string Middle(std::string_view text, int start, int n) {
  if (n <= 0 || start < 1 || static_cast<std::size_t>(start) > text.size()) return {};
  return std::string(text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n)));
}

std::string Trim(std::string_view text) {
  const std::size_t n = text.size();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t begin = 0;
  while (begin < n) {
    if (p[begin] == ' ') {
      ++begin;
    } else if (IsFullWidthSpace(text, begin)) {
      begin += 2;
    } else {
      break;
    }
  }
  // The trailing run made only of the bytes 20 and A1 is all that can be
  // trimmed. Find where a character starts in it, then walk it forward:
  // an A1 may be the trail byte of the character before the run.
  std::size_t run = n;
  while (run > begin && (p[run - 1] == ' ' || p[run - 1] == 0xA1)) --run;
  std::size_t highStart = run;
  while (highStart > begin && p[highStart - 1] >= 0x80) --highStart;
  std::size_t i = ((run - highStart) & 1) ? run + 1 : run;
  std::size_t end = std::min(i, n);
  while (i < n) {
    if (p[i] == ' ') {
      ++i;
    } else if (IsFullWidthSpace(text, i)) {
      i += 2;
    } else {
      i = std::min(n, i + (p[i] >= 0x80 ? 2 : 1));
      end = i;
    }
  }
  return std::string(text.substr(begin, end - begin));
}

std::string ToLower(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto b = static_cast<unsigned char>(out[i]);
    if (b >= 0x80) {
      ++i;  // a double-byte character stays as it is, trail byte included
    } else if (b >= 'A' && b <= 'Z') {
      out[i] = static_cast<char>(b + ('a' - 'A'));
    }
  }
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

long long ToInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned long long magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    AddDigit(magnitude, text[i] - '0');
  return Saturate(negative, magnitude);
}

long long SettingToInteger(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned long long magnitude = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= '0' && b <= '9') {
      AddDigit(magnitude, b - '0');
      ++i;
    } else if (b == 0xA3 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0xB0 &&
               static_cast<unsigned char>(text[i + 1]) <= 0xB9) {
      AddDigit(magnitude, static_cast<unsigned char>(text[i + 1]) - 0xB0);
      i += 2;
    } else {
      break;
    }
  }
  return Saturate(negative, magnitude);
}

std::vector<std::string> Split(std::string_view text, std::string_view delimiter, int maxCount) {
  std::vector<std::string> pieces;
  if (text.empty() || maxCount == 0) return pieces;
  if (delimiter.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  const std::size_t limit =
      maxCount < 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(maxCount);
  std::size_t pieceStart = 0;
  while (pieces.size() < limit) {
    const std::size_t at = FindFrom(text, delimiter, pieceStart, false);
    if (at == kNotFound) break;
    pieces.emplace_back(text.substr(pieceStart, at - pieceStart));
    pieceStart = at + delimiter.size();
  }
  // A delimiter at the very end leaves no empty last piece.
  if (pieces.size() < limit && pieceStart < text.size())
    pieces.emplace_back(text.substr(pieceStart));
  return pieces;
}

std::string TextBetween(std::string_view text, std::string_view startMark, std::string_view endMark,
                        int start, bool caseSensitive, bool strip) {
  if (text.empty() || startMark.empty()) return {};
  const bool ignoreCase = !caseSensitive;
  const std::size_t from = start <= 0 ? 0 : static_cast<std::size_t>(start);
  const std::size_t markAt = FindFrom(text, startMark, from, ignoreCase);
  if (markAt == kNotFound) return {};
  const std::size_t partBegin = markAt + startMark.size();
  std::size_t partEnd = text.size();
  if (!endMark.empty()) {
    partEnd = FindFrom(text, endMark, partBegin, ignoreCase);
    if (partEnd == kNotFound) return {};
  }
  std::string part(text.substr(partBegin, partEnd - partBegin));
  if (!strip || part.empty()) return part;
  // Removing CR LF, then CR, then LF drops every CR and LF byte.
  std::string flat;
  flat.reserve(part.size());
  for (char c : part) {
    if (c == '\r' || c == '\n') continue;
    flat += c == '\t' ? ' ' : c;
  }
  return Trim(flat);
}

}  // namespace tarnlow
