// The text primitives against their literal versions, and the code-page
// round trips. Input: flags, separator, two numbers, then the fields text,
// sought and other (a replacement, an end mark, a second piece).

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/reference_text.h"
#include "text/codepage.h"
#include "text/text.h"
#include "text/text_buffer.h"

namespace tarnlow::fuzz {
namespace {

// Marks are found in lower-cased copies (loweredCopies), or by comparisons
// that fold ASCII letters standing as characters of their own in the mark.
std::string RefTextBetween(std::string_view text, std::string_view startMark,
                           std::string_view endMark, int start, bool caseSensitive, bool strip,
                           bool loweredCopies) {
  if (text.empty() || startMark.empty()) return {};
  const bool lower = loweredCopies && !caseSensitive;
  const bool fold = !loweredCopies && !caseSensitive;
  const std::string lowText = lower ? RefToLower(text) : std::string(text);
  const std::string lowStart = lower ? RefToLower(startMark) : std::string(startMark);
  const std::string lowEnd = lower ? RefToLower(endMark) : std::string(endMark);
  const int mark = RefFind(lowText, lowStart, std::max(start, 0) + 1, fold);
  if (mark == -1) return {};
  const std::size_t begin = static_cast<std::size_t>(mark) - 1 + startMark.size();
  std::size_t end = text.size();
  if (!endMark.empty()) {
    const int at = RefFind(lowText, lowEnd, static_cast<int>(begin) + 1, fold);
    if (at == -1) return {};
    end = static_cast<std::size_t>(at) - 1;
  }
  std::string part(text.substr(begin, end - begin));
  if (!strip || part.empty()) return part;
  std::string flat;
  for (char c : part) {
    if (c != '\r' && c != '\n') flat += c == '\t' ? ' ' : c;
  }
  return RefTrim(flat);
}

// Whether byte `i` starts a character when the text is walked from its start.
bool StartsCharacter(std::string_view text, std::size_t i) {
  std::size_t k = 0;
  while (k < i) k += Width(text, k);
  return k == i;
}

std::string RefReplaceAll(std::string_view text, std::string_view sought,
                          std::string_view replacement, int start, int count, bool exact,
                          int& done) {
  done = 0;
  const std::size_t from = start <= 0 ? 0 : static_cast<std::size_t>(start) - 1;
  if (sought.empty() || count == 0 || from >= text.size()) return std::string(text);
  std::string out(text.substr(0, from));
  std::size_t pos = from;
  while (count < 0 || done < count) {
    const int at = RefFind(text, sought, static_cast<int>(pos) + 1, !exact);
    if (at == -1) break;
    out += text.substr(pos, static_cast<std::size_t>(at) - 1 - pos);
    out += replacement;
    pos = static_cast<std::size_t>(at) - 1 + sought.size();
    ++done;
  }
  out += text.substr(std::min(pos, text.size()));
  return out;
}

std::string Join(const std::vector<std::string>& pieces, std::string_view delimiter) {
  std::string joined;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) joined += delimiter;
    joined += pieces[i];
  }
  return joined;
}

void CheckSearches(std::string_view text, std::string_view sought, int start, bool ignoreCase) {
  FUZZ_CHECK(Find(text, sought, start, ignoreCase) == RefFind(text, sought, start, ignoreCase));
  FUZZ_CHECK(FindLast(text, sought, start, ignoreCase) ==
             RefFindLast(text, sought, start, ignoreCase));
  FUZZ_CHECK(Find(text, sought) == RefFind(text, sought, 0, false));
  FUZZ_CHECK(FindLast(text, sought) == RefFindLast(text, sought, 0, false));
}

void CheckSplit(std::string_view text, std::string_view delimiter, int maxCount) {
  const std::vector<std::string> all = Split(text, delimiter);
  FUZZ_CHECK(all == RefSplit(text, delimiter, -1));
  FUZZ_CHECK(Split(text, delimiter, maxCount) == RefSplit(text, delimiter, maxCount));
  // Without a limit the pieces give the text back, less a final delimiter.
  if (!delimiter.empty()) {
    const std::string joined = Join(all, delimiter);
    FUZZ_CHECK(joined == text || joined + std::string(delimiter) == text);
  }
}

void CheckSimpleOperations(std::string_view text, int n, int start) {
  FUZZ_CHECK(Trim(text) == RefTrim(text));
  FUZZ_CHECK(ToLower(text) == RefToLower(text));
  const std::size_t size = text.size();
  FUZZ_CHECK(Left(text, n) == (n <= 0 ? "" : text.substr(0, static_cast<std::size_t>(n))));
  FUZZ_CHECK(Right(text, n) ==
             (n <= 0 ? "" : text.substr(size - std::min(size, static_cast<std::size_t>(n)))));
  const bool inside = start >= 1 && static_cast<std::size_t>(start) <= size && n > 0;
  FUZZ_CHECK(Middle(text, start, n) ==
             (inside ? text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n))
                     : ""));

  // strtoll saturates and skips the same white space; the text may hold zero
  // bytes, where both stop.
  const std::string copy(text);
  FUZZ_CHECK(ToInteger(text) == std::strtoll(copy.c_str(), nullptr, 10));
  std::string digits;
  std::size_t i = 0;
  if (i < size && (text[i] == '+' || text[i] == '-')) digits += text[i++];
  for (; i < size; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < size ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (b >= '0' && b <= '9') {
      digits += text[i];
    } else if (b == 0xA3 && next >= 0xB0 && next <= 0xB9) {  // full-width digit
      digits += static_cast<char>('0' + (next - 0xB0));
      ++i;
    } else {
      break;
    }
  }
  // "+-5" is not a number to either; strtoll would skip white space after a
  // sign, which the digits string never holds.
  FUZZ_CHECK(SettingToInteger(text) == std::strtoll(digits.c_str(), nullptr, 10));
}

void CheckTextBetween(std::string_view text, std::string_view startMark, std::string_view endMark,
                      int start, bool caseSensitive, bool strip) {
  const std::string got = TextBetween(text, startMark, endMark, start, caseSensitive, strip);
  FUZZ_CHECK(got == RefTextBetween(text, startMark, endMark, start, caseSensitive, strip, false));
  // Lower-cased copies give the same wherever the search starts on a
  // character and the start mark is whole characters (callers pass nothing
  // else). Elsewhere the part begins inside a character, where a letter is a
  // trail byte to the copy and a character to the comparison.
  const std::size_t from = start <= 0 ? 0 : static_cast<std::size_t>(start);
  if (from <= text.size() && StartsCharacter(text, from) &&
      StartsCharacter(startMark, startMark.size())) {
    FUZZ_CHECK(got == RefTextBetween(text, startMark, endMark, start, caseSensitive, strip, true));
  }
  FUZZ_CHECK(TextBetween(text, startMark, endMark) ==
             RefTextBetween(text, startMark, endMark, 0, false, false, false));
}

void CheckBuffer(std::string_view text, std::string_view sought, std::string_view other, int start,
                 int count, bool exact) {
  TextBuffer buffer{std::string(text)};
  const int size = static_cast<int>(text.size());
  FUZZ_CHECK(buffer.Length() == size);
  const bool inside = start >= 1 && start <= size && count != 0;
  FUZZ_CHECK(
      buffer.Get(start, count) ==
      (inside ? text.substr(static_cast<std::size_t>(start) - 1,
                            count < 0 ? std::string_view::npos : static_cast<std::size_t>(count))
              : ""));
  FUZZ_CHECK(buffer.BufferFind(sought, start, exact) == RefFind(text, sought, start, !exact));
  FUZZ_CHECK(buffer.BufferFindLast(sought, start, exact) ==
             RefFindLast(text, sought, start, !exact));

  int expectedCount = 0;
  const std::string expected =
      RefReplaceAll(text, sought, other, start, count, exact, expectedCount);
  FUZZ_CHECK(buffer.ReplaceAll(sought, other, start, count, exact) == expectedCount);
  FUZZ_CHECK(buffer.Text() == expected);

  // Set may be handed views into the buffer's own text.
  buffer.Set({std::string_view(buffer.Text()), other, std::string_view(buffer.Text())});
  FUZZ_CHECK(buffer.Text() == expected + std::string(other) + expected);
  buffer.Set(text);

  std::string spanned(text);
  if (start >= 1 && static_cast<std::size_t>(start) <= text.size() + 1) {
    const std::size_t at = static_cast<std::size_t>(start) - 1;
    spanned.replace(at, std::min(text.size() - at, static_cast<std::size_t>(std::max(count, 0))),
                    other);
  }
  buffer.ReplaceSpan(start, count, other);
  FUZZ_CHECK(buffer.Text() == spanned);
  buffer.BufferTrim();
  FUZZ_CHECK(buffer.Text() == RefTrim(spanned));
}

// The number of characters by the code page's own pairing rule: a lead byte
// 81-FE with a trail byte 40-FE (not 7F) is one character, any other byte is
// one by itself.
std::size_t CodePageCharacters(std::string_view gbk) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < gbk.size(); ++count) {
    const auto lead = static_cast<unsigned char>(gbk[i]);
    const auto trail = i + 1 < gbk.size() ? static_cast<unsigned char>(gbk[i + 1]) : 0;
    i += lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F ? 2 : 1;
  }
  return count;
}

void CheckCodePages(std::string_view gbk, std::string_view other) {
  const std::u16string units = GbkToUtf16(gbk);
  FUZZ_CHECK(units.size() == CodePageCharacters(gbk));
  std::vector<int> offsets;
  FUZZ_CHECK(GbkToUtf16(gbk, offsets) == units);
  FUZZ_CHECK(offsets.size() == units.size() + 1);
  FUZZ_CHECK(offsets.front() == 0 && offsets.back() == static_cast<int>(gbk.size()));
  for (std::size_t u = 0; u + 1 < offsets.size(); ++u) FUZZ_CHECK(offsets[u] < offsets[u + 1]);

  const std::string utf8 = GbkToUtf8(gbk);
  FUZZ_CHECK(CountInvalidUtf8(utf8) == 0);
  if (units.find(u'\uFFFD') == std::u16string::npos) {
    // Valid GBK: both ways round give the same bytes back.
    FUZZ_CHECK(Utf16ToGbk(units) == gbk);
    FUZZ_CHECK(Utf8ToAnsi(utf8) == gbk);
  }

  // Arbitrary UTF-16 units: each becomes a character of one or two bytes,
  // or one "?".
  std::u16string raw(other.size() / 2, u'\0');
  if (!raw.empty()) std::memcpy(raw.data(), other.data(), raw.size() * 2);
  const std::string encoded = Utf16ToGbk(raw);
  FUZZ_CHECK(encoded.size() >= raw.size() && encoded.size() <= 2 * raw.size());
  // Arbitrary bytes as UTF-8: each invalid sequence is one "?", so the text
  // never grows.
  FUZZ_CHECK(Utf8ToAnsi(other).size() <= other.size());
}

}  // namespace
}  // namespace tarnlow::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlow::fuzz;
  Input in(data, size);
  const std::uint8_t flags = in.Byte();
  const char separator = static_cast<char>(in.Byte());
  const int first = in.Number();
  const int second = in.Number();
  const std::string_view text = in.Field(separator);
  const std::string_view sought = in.Field(separator);
  const std::string_view other = in.Rest();
  const bool ignoreCase = flags & 1;

  CheckSearches(text, sought, first, ignoreCase);
  CheckSplit(text, sought, second);
  CheckSimpleOperations(text, second, first);
  CheckTextBetween(text, sought, other, first, flags & 2, flags & 4);
  CheckBuffer(text, sought, other, first, second, flags & 8);
  CheckCodePages(text, other);
  return 0;
}
