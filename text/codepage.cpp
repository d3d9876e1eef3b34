#include "text/codepage.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include <iconv.h>

namespace tarnlow {
namespace {

constexpr char16_t kReplacementChar = 0xFFFD;
const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

// An iconv descriptor for one direction. Descriptors carry conversion state,
// so each thread keeps its own (see Decoder/Encoder below).
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (m_cd != kNoDescriptor) iconv_close(m_cd);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;

  bool Ok() const { return m_cd != kNoDescriptor; }
  iconv_t Get() const { return m_cd; }

 private:
  iconv_t m_cd;
};

// "UTF-16LE" rather than "UTF-16": the latter writes a byte-order mark. The
// machine is little-endian, so char16_t arrays are UTF-16LE.
IconvHandle& Decoder() {
  thread_local IconvHandle handle("UTF-16LE", "CP936");
  return handle;
}

IconvHandle& Encoder() {
  thread_local IconvHandle handle("CP936", "UTF-16LE");
  return handle;
}

bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool IsTrail(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// Bytes of the GBK character at `i`: a lead byte with a trail byte forms a
// pair (decodable or not); anything else stands alone. An undecodable pair
// therefore never swallows the ASCII byte after a stray lead byte.
std::size_t GbkCharLength(std::string_view gbk, std::size_t i) {
  const auto b = static_cast<unsigned char>(gbk[i]);
  if (IsLead(b) && i + 1 < gbk.size() && IsTrail(static_cast<unsigned char>(gbk[i + 1]))) return 2;
  return 1;
}

std::size_t AsciiPrefix(const unsigned char* p, std::size_t n) {
  std::size_t i = 0;
  // Eight bytes at a time: the high bit of any byte marks the end of ASCII.
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + i, 8);
    if (word & 0x8080808080808080ULL) break;
  }
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

std::size_t AsciiPrefix16(const char16_t* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

// GBK to UTF-16 through iconv. Every undecodable character (a stray byte, or
// a well-formed pair GBK does not assign) becomes one U+FFFD, so each GBK
// character yields exactly one UTF-16 unit.
bool DecodeGbkWithIconv(std::string_view gbk, std::size_t ascii, std::u16string& out) {
  IconvHandle& decoder = Decoder();
  if (!decoder.Ok()) return false;
  iconv(decoder.Get(), nullptr, nullptr, nullptr, nullptr);

  char* in = const_cast<char*>(gbk.data()) + ascii;
  std::size_t inLeft = gbk.size() - ascii;
  char* outPtr = reinterpret_cast<char*>(out.data() + ascii);
  std::size_t outLeft = (out.size() - ascii) * sizeof(char16_t);
  while (inLeft > 0) {
    if (iconv(decoder.Get(), &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
      break;
    }
    if (errno == E2BIG) return false;  // cannot happen: one unit per byte at most
    // EILSEQ or EINVAL: replace the character at `in` and go on after it.
    const std::size_t at = static_cast<std::size_t>(in - gbk.data());
    const std::size_t skip = GbkCharLength(gbk, at);
    if (outLeft < sizeof(char16_t)) return false;
    std::memcpy(outPtr, &kReplacementChar, sizeof(char16_t));
    outPtr += sizeof(char16_t);
    outLeft -= sizeof(char16_t);
    in += skip;
    inLeft -= skip;
    iconv(decoder.Get(), nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(static_cast<std::size_t>(reinterpret_cast<char16_t*>(outPtr) - out.data()));
  return true;
}

// What iconv makes of every GBK character, asked once and kept: decoding by
// lookup gives iconv's characters at many times its speed.
class GbkTable {
 public:
  static constexpr int kTrails = 0xFE - 0x40 + 1;

  GbkTable() : m_pairs(static_cast<std::size_t>(0xFE - 0x81 + 1) * kTrails, kReplacementChar) {
    // Single bytes one by one, as the loop above meets them between pairs.
    for (int b = 0x80; b <= 0xFF && m_ok; ++b) {
      const char one[1] = {static_cast<char>(b)};
      std::u16string unit(1, u'\0');
      m_ok = DecodeGbkWithIconv(std::string_view(one, 1), 0, unit) && unit.size() == 1;
      if (m_ok) m_singles[b - 0x80] = unit[0];
    }
    // Every pair in one run: each pair, decodable or not, gives one unit.
    std::string pairs;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        if (trail == 0x7F) continue;
        pairs += static_cast<char>(lead);
        pairs += static_cast<char>(trail);
      }
    }
    std::u16string units(pairs.size(), u'\0');
    // A pair giving two units would leave the table out of step: iconv then
    // keeps doing the work.
    m_ok = m_ok && DecodeGbkWithIconv(pairs, 0, units) && units.size() * 2 == pairs.size();
    for (std::size_t i = 0; m_ok && i < units.size(); ++i) {
      m_pairs[Index(static_cast<unsigned char>(pairs[2 * i]),
                    static_cast<unsigned char>(pairs[2 * i + 1]))] = units[i];
      m_ok = !IsSurrogate(units[i]);
    }
    for (const char16_t unit : m_singles) m_ok = m_ok && !IsSurrogate(unit);
  }

  // Whether the table stands in for iconv: every character one unit, and
  // never half of a surrogate pair.
  bool Ok() const { return m_ok; }
  char16_t Single(unsigned char b) const { return m_singles[b - 0x80]; }
  char16_t Pair(unsigned char lead, unsigned char trail) const {
    return m_pairs[Index(lead, trail)];
  }

 private:
  static bool IsSurrogate(char16_t unit) { return (unit & 0xF800) == 0xD800; }
  static std::size_t Index(int lead, int trail) {
    return static_cast<std::size_t>(lead - 0x81) * kTrails + static_cast<std::size_t>(trail - 0x40);
  }

  std::vector<char16_t> m_pairs;
  char16_t m_singles[0x80] = {};
  bool m_ok = true;
};

const GbkTable& Table() {
  static const GbkTable table;
  return table;
}

// Decodes by the table into `out` (room for one unit per byte); with
// `offsets` (room for one more), each unit's byte offset and the end. Returns
// the number of units.
template <bool kOffsets>
std::size_t DecodeWithTable(const GbkTable& table, std::string_view gbk, char16_t* out,
                            int* offsets) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(gbk.data());
  const std::size_t n = gbk.size();
  std::size_t u = 0;
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = bytes[i];
    if (b < 0x80) {
      // Markup, spaces and line breaks come in runs.
      do {
        if constexpr (kOffsets) offsets[u] = static_cast<int>(i);
        out[u++] = bytes[i++];
      } while (i < n && bytes[i] < 0x80);
      continue;
    }
    if constexpr (kOffsets) offsets[u] = static_cast<int>(i);
    if (IsLead(b) && i + 1 < n && IsTrail(bytes[i + 1])) {
      out[u++] = table.Pair(b, bytes[i + 1]);
      i += 2;
    } else {
      out[u++] = table.Single(b);
      ++i;
    }
  }
  if constexpr (kOffsets) offsets[u] = static_cast<int>(n);
  return u;
}

bool DecodeGbk(std::string_view gbk, std::u16string& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(gbk.data());
  const std::size_t ascii = AsciiPrefix(bytes, gbk.size());
  out.resize(gbk.size());
  for (std::size_t i = 0; i < ascii; ++i) out[i] = bytes[i];
  if (ascii == gbk.size()) return true;

  const GbkTable& table = Table();
  if (!table.Ok()) return DecodeGbkWithIconv(gbk, ascii, out);
  out.resize(ascii + DecodeWithTable<false>(table, gbk.substr(ascii), out.data() + ascii, nullptr));
  return true;
}

void AppendUtf16AsUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// UTF-8 decoder shared by Utf8ToAnsi and CountInvalidUtf8. Each maximal
// ill-formed subsequence counts as one invalid sequence and, when `out` is
// given, becomes one U+FFFD (the usual Unicode practice), so "\xE4\xB8" is
// one error while "\xFF\xFF" are two.
int DecodeUtf8(std::string_view utf8, std::u16string* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  int invalid = 0;
  std::size_t i = 0;
  auto bad = [&] {
    ++invalid;
    if (out) *out += kReplacementChar;
  };
  while (i < n) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      if (out) *out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    std::size_t need;
    unsigned char lower = 0x80, upper = 0xBF;
    char32_t cp;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      cp = b & 0x0F;
      if (b == 0xE0) lower = 0xA0;
      if (b == 0xED) upper = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      cp = b & 0x07;
      if (b == 0xF0) lower = 0x90;
      if (b == 0xF4) upper = 0x8F;  // nothing above U+10FFFF
    } else {
      bad();
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (std::size_t k = 0; k < need; ++k, ++j) {
      if (j >= n || p[j] < lower || p[j] > upper) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (p[j] & 0x3F);
      lower = 0x80;
      upper = 0xBF;
    }
    if (!ok) {
      bad();
      i = j;  // the offending byte starts the next sequence
      continue;
    }
    if (out) {
      if (cp >= 0x10000) {
        cp -= 0x10000;
        *out += static_cast<char16_t>(0xD800 + (cp >> 10));
        *out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
      } else {
        *out += static_cast<char16_t>(cp);
      }
    }
    i = j;
  }
  return invalid;
}

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
  std::u16string out;
  if (!DecodeGbk(gbk, out)) out.clear();
  return out;
}

std::u16string GbkToUtf16(std::string_view gbk, std::vector<int>& byteOffsets) {
  std::u16string out;
  GbkToUtf16(gbk, out, byteOffsets);
  return out;
}

void GbkToUtf16(std::string_view gbk, std::u16string& out, std::vector<int>& byteOffsets) {
  const GbkTable& table = Table();
  if (table.Ok()) {
    // One character, one unit, by the table's making.
    out.resize(gbk.size());
    byteOffsets.resize(gbk.size() + 1);
    out.resize(DecodeWithTable<true>(table, gbk, out.data(), byteOffsets.data()));
    byteOffsets.resize(out.size() + 1);
    return;
  }
  out = GbkToUtf16(gbk);
  // Every character gave one unit, and the unit tells how many bytes it
  // came from: ASCII one, the euro sign (0x80) one, U+FFFD one or two, any
  // other character two. Cheaper than walking the bytes, and this runs on
  // every regex search.
  byteOffsets.resize(out.size() + 1);
  std::size_t i = 0;
  std::size_t u = 0;
  for (; u < out.size() && i < gbk.size(); ++u) {
    byteOffsets[u] = static_cast<int>(i);
    const char16_t c = out[u];
    i += c < 0x80 ? 1 : (c == kReplacementChar || c == 0x20AC) ? GbkCharLength(gbk, i) : 2;
  }
  if (u == out.size() && i == gbk.size()) {
    byteOffsets[u] = static_cast<int>(i);
    return;
  }
  // The decoder split the text differently (or could not run): convert
  // character by character so that the offsets hold.
  out.clear();
  byteOffsets.clear();
  for (i = 0; i < gbk.size();) {
    const std::size_t len = GbkCharLength(gbk, i);
    std::u16string one = GbkToUtf16(gbk.substr(i, len));
    if (one.empty()) one = kReplacementChar;
    byteOffsets.insert(byteOffsets.end(), one.size(), static_cast<int>(i));
    out += one;
    i += len;
  }
  byteOffsets.push_back(static_cast<int>(gbk.size()));
}

std::string Utf16ToGbk(std::u16string_view utf16) {
  std::string out;
  const std::size_t ascii = AsciiPrefix16(utf16.data(), utf16.size());
  out.resize(ascii);
  for (std::size_t i = 0; i < ascii; ++i) out[i] = static_cast<char>(utf16[i]);
  if (ascii == utf16.size()) return out;

  IconvHandle& encoder = Encoder();
  if (!encoder.Ok()) return {};
  iconv(encoder.Get(), nullptr, nullptr, nullptr, nullptr);

  // A GBK character takes at most two bytes per UTF-16 unit; "?" takes one.
  out.resize(ascii + (utf16.size() - ascii) * 2);
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(utf16.data() + ascii));
  std::size_t inLeft = (utf16.size() - ascii) * sizeof(char16_t);
  char* outPtr = out.data() + ascii;
  std::size_t outLeft = out.size() - ascii;
  while (inLeft > 0) {
    if (iconv(encoder.Get(), &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
      break;
    }
    if (errno == E2BIG || outLeft == 0) return {};  // cannot happen, see above
    // A unit GBK cannot hold, a lone surrogate or half a pair: one "?" per
    // UTF-16 unit, so a character outside the 16-bit range gives "??".
    // //TRANSLIT is not used: it writes approximations, not "?".
    *outPtr++ = '?';
    --outLeft;
    in += sizeof(char16_t);
    inLeft -= sizeof(char16_t);
    iconv(encoder.Get(), nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(static_cast<std::size_t>(outPtr - out.data()));
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  if (AsciiPrefix(bytes, utf8.size()) == utf8.size()) return std::string(utf8);
  std::u16string utf16;
  utf16.reserve(utf8.size());
  DecodeUtf8(utf8, &utf16);
  return Utf16ToGbk(utf16);
}

std::string GbkToUtf8(std::string_view gbk) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(gbk.data());
  if (AsciiPrefix(bytes, gbk.size()) == gbk.size()) return std::string(gbk);
  const std::u16string utf16 = GbkToUtf16(gbk);
  std::string out;
  out.reserve(utf16.size() * 3);
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacementChar;
    }
    AppendUtf16AsUtf8(cp, out);
  }
  return out;
}

int CountInvalidUtf8(std::string_view bytes) { return DecodeUtf8(bytes, nullptr); }

}  // namespace tarnlow
