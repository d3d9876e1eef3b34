#include "contents/clean_title.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "text/text.h"

namespace tarnlow {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool IsLead(unsigned char b) { return b >= 0x80; }

// A text being cut down from left to right without moving its tail at every
// deletion: the logical text is m_buf[0, m_w) followed by m_buf[m_r, end).
// Bytes from m_r on are always the input's own, untouched bytes.
class GapText {
 public:
  explicit GapText(std::string_view text) : m_buf(text) {}

  std::size_t Size() const { return m_w + (m_buf.size() - m_r); }
  unsigned char At(std::size_t i) const {
    return static_cast<unsigned char>(i < m_w ? m_buf[i] : m_buf[i - m_w + m_r]);
  }
  std::size_t Gap() const { return m_w; }
  std::size_t Physical(std::size_t i) const { return i - m_w + m_r; }
  const std::string& Buffer() const { return m_buf; }

  // Deletes the logical span [p, e).
  void Erase(std::size_t p, std::size_t e) {
    if (p >= m_w) {
      Commit(p);
      m_r += e - p;
    } else if (e >= m_w) {
      m_r += e - m_w;
      m_w = p;
    } else {
      std::memmove(&m_buf[p], &m_buf[e], m_w - e);
      m_w -= e - p;
    }
  }

  std::string Take() {
    Commit(Size());
    m_buf.resize(m_w);
    return std::move(m_buf);
  }

 private:
  void Commit(std::size_t p) {
    const std::size_t k = p - m_w;
    if (k != 0 && m_r != m_w) std::memmove(&m_buf[m_w], &m_buf[m_r], k);
    m_w += k;
    m_r += k;
  }

  std::string m_buf;
  std::size_t m_w = 0;
  std::size_t m_r = 0;
};

// The first logical position in [from, limit) that holds byte `c`, or kNone.
std::size_t FindByte(const GapText& t, std::size_t from, unsigned char c, std::size_t limit) {
  const char* buf = t.Buffer().data();
  if (from < t.Gap()) {
    const std::size_t end = std::min(limit, t.Gap());
    if (const void* hit = std::memchr(buf + from, c, end - from))
      return static_cast<std::size_t>(static_cast<const char*>(hit) - buf);
    from = end;
  }
  if (from >= limit) return kNone;
  const std::size_t p = t.Physical(from);
  const void* hit = std::memchr(buf + p, c, t.Physical(limit) - p);
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - buf) - p + from : kNone;
}

// Where a byte search that starts at `from` lands on `c`, stepping over
// double-byte characters as the text primitives do; kNone when it does not
// before `limit`. Each `c` found is checked by the run of lead bytes before
// it: an odd run makes it the second byte of a character, stepped over.
std::size_t WalkFind(const GapText& t, std::size_t from, unsigned char c, std::size_t limit) {
  std::size_t i = from;
  while (i < limit) {
    const std::size_t j = FindByte(t, i, c, limit);
    if (j == kNone) return kNone;
    std::size_t k = j;
    while (k > i && IsLead(t.At(k - 1))) --k;
    if (((j - k) & 1) == 0) return j;
    i = j + 1;
  }
  return kNone;
}

// Where a ";" search starting at a logical position lands, or kNone.
// Searches from nearby starts converge: every search that passes position
// j - 1 lands on j when byte j - 1 is single-byte. So one long search serves
// every later start that reaches such a point before the ";" it found.
class SemicolonOracle {
 public:
  explicit SemicolonOracle(const GapText& t) : m_t(t) {}

  std::size_t Find(std::size_t from) {
    const std::size_t size = m_t.Size();
    const std::string& buf = m_t.Buffer();
    std::size_t i = from;
    while (i < size) {
      const unsigned char b = m_t.At(i);
      if (b == ';') return i;
      if (i > m_t.Gap() && !IsLead(m_t.At(i - 1))) {
        const std::size_t j = m_t.Physical(i);
        if (!(m_valid && m_from <= j && (m_found == kNone || j <= m_found))) {
          std::size_t k = j;
          while (k < buf.size() && buf[k] != ';') {
            k += IsLead(static_cast<unsigned char>(buf[k])) ? 2 : 1;
          }
          m_valid = true;
          m_from = j;
          m_found = k < buf.size() ? k : kNone;
        }
        return m_found == kNone ? kNone : m_found - j + i;
      }
      i += IsLead(b) ? 2 : 1;
    }
    return kNone;
  }

 private:
  const GapText& m_t;
  bool m_valid = false;
  std::size_t m_from = 0;
  std::size_t m_found = kNone;
};

// An "&" the search passed over, with where its ";" search landed.
struct Skipped {
  std::size_t amp;
  std::size_t semicolon;
};

// "&" ... ";" runs of at most 8 bytes are deleted, and after each deletion the
// search starts again from the beginning; an "&" whose ";" search finds
// nothing at all ends the search. Instead of starting again, the "&"s passed
// over are remembered: those within 8 bytes before the deletion are examined
// again, and those whose ";" lay in the changed part are checked once more.
std::string DropEntities(std::string_view text, const std::function<void()>& pump) {
  GapText t(text);
  SemicolonOracle semicolons(t);
  std::vector<Skipped> skipped;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t p = WalkFind(t, pos, '&', t.Size());
    if (p == kNone) break;
    const std::size_t window = std::min(t.Size(), p + 9);
    const std::size_t s = WalkFind(t, p + 2, ';', window);
    if (s == kNone) {
      const std::size_t found = semicolons.Find(p + 2);
      if (found == kNone) break;
      skipped.push_back({p, found});
      pos = p + 2;
      continue;
    }

    t.Erase(p, s + 1);
    if (pump) pump();
    pos = p;
    while (!skipped.empty() && skipped.back().amp + 8 >= p) {
      pos = skipped.back().amp;
      skipped.pop_back();
    }
    // Every search that reaches `sync` lands on it; only an "&" right before
    // it can take another path into the changed text.
    std::size_t sync = p;
    while (sync > 0 && IsLead(t.At(sync - 1))) --sync;
    std::size_t fromSync = kNone;
    bool fromSyncKnown = false;
    bool stop = false;
    for (Skipped& earlier : skipped) {
      if (earlier.semicolon < p) continue;
      std::size_t found;
      if (earlier.amp + 2 <= sync) {
        if (!fromSyncKnown) {
          fromSync = semicolons.Find(sync);
          fromSyncKnown = true;
        }
        found = fromSync;
      } else {
        found = semicolons.Find(earlier.amp + 2);
      }
      if (found == kNone) {
        stop = true;
        break;
      }
      earlier.semicolon = found;
    }
    if (stop) break;
  }
  return t.Take();
}

// Every "<" with a ">" after it is deleted with what lies between. The text
// before a deleted tag holds no "<", so the search goes on where it was.
std::string DropTags(std::string text, const std::function<void()>& pump) {
  GapText t(text);
  std::size_t pos = 0;
  for (;;) {
    const std::size_t lt = WalkFind(t, pos, '<', t.Size());
    if (lt == kNone) break;
    const std::size_t gt = WalkFind(t, lt, '>', t.Size());
    if (gt == kNone) break;
    t.Erase(lt, gt + 1);
    if (pump) pump();
    pos = lt;
  }
  return t.Take();
}

}  // namespace

std::string CleanTitle(std::string_view text, const std::function<void()>& pump) {
  return Trim(DropTags(DropEntities(text, pump), pump));
}

}  // namespace tarnlow
