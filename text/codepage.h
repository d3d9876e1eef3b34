#pragma once
// Conversions between the program's code page (GBK, CP936) and Unicode.
// Characters GBK lacks become "?", one per UTF-16 code unit. Each GBK byte
// sequence that does not decode (a stray byte, or a lead and trail byte pair
// GBK leaves unassigned) becomes one U+FFFD, so every GBK character gives
// exactly one UTF-16 unit. Descriptors are per thread: all calls are
// thread-safe.

#include <string>
#include <string_view>
#include <vector>

namespace tarnlow {

std::u16string GbkToUtf16(std::string_view gbk);
// Like GbkToUtf16, also giving for every UTF-16 unit the 0-based byte offset
// of the GBK character it came from, plus one final entry for the end.
std::u16string GbkToUtf16(std::string_view gbk, std::vector<int>& byteOffsets);
// The same into `out`, reusing the storage of both.
void GbkToUtf16(std::string_view gbk, std::u16string& out, std::vector<int>& byteOffsets);
std::string Utf16ToGbk(std::u16string_view utf16);

// UTF-8 to GBK through UTF-16. Empty input or a failed conversion gives the
// empty text; invalid UTF-8 sequences become "?".
std::string Utf8ToAnsi(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

// Number of invalid sequences in `bytes` read as UTF-8 (each maximal
// ill-formed subsequence counts once, as Utf8ToAnsi turns it into one "?").
int CountInvalidUtf8(std::string_view bytes);

}  // namespace tarnlow

namespace tarnlow {

template <std::size_t N>
struct Utf8Literal {
  char data[N];
  constexpr Utf8Literal(const char (&s)[N]) {  // NOLINT: implicit on purpose
    for (std::size_t i = 0; i < N; ++i) data[i] = s[i];
  }
};

// A fixed text of the program, written in the source as UTF-8 and converted
// to GBK once: Gbk<"取目录列表">().
template <Utf8Literal S>
const std::string& Gbk() {
  static const std::string gbk = Utf8ToAnsi(std::string_view(S.data, sizeof(S.data) - 1));
  return gbk;
}

}  // namespace tarnlow
