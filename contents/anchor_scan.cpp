#include "contents/anchor_scan.h"

#include <array>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>

#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {
namespace {

constexpr std::size_t kMaxDepth = 512;
// How far up an end tag or an implied end looks for its element: real pages
// close what is near, and a hostile one cannot make every tag walk the
// whole stack.
constexpr std::size_t kMaxReach = 64;
constexpr std::size_t kMaxNameBytes = 16;

// Byte classes, one table look-up per byte in the loops that walk tags.
enum ByteClass : unsigned char {
  kBlank = 1,     // space, tab, CR, LF
  kLetter = 2,    // A-Z, a-z
  kNameByte = 4,  // letters, digits, "-", ":", "_"
  kNameStop = 8,  // ends an attribute name: blank, "=", ">", "/"
  kQuote = 16,    // " or '
};

constexpr std::array<unsigned char, 256> MakeClasses() {
  std::array<unsigned char, 256> classes{};
  for (unsigned c : {' ', '\t', '\r', '\n'}) classes[c] |= kBlank | kNameStop;
  for (unsigned c = 'a'; c <= 'z'; ++c) classes[c] |= kLetter | kNameByte;
  for (unsigned c = 'A'; c <= 'Z'; ++c) classes[c] |= kLetter | kNameByte;
  for (unsigned c = '0'; c <= '9'; ++c) classes[c] |= kNameByte;
  for (unsigned c : {'-', ':', '_'}) classes[c] |= kNameByte;
  for (unsigned c : {'=', '>', '/'}) classes[c] |= kNameStop;
  for (unsigned c : {'"', '\''}) classes[c] |= kQuote;
  return classes;
}

constexpr std::array<unsigned char, 256> kClasses = MakeClasses();

bool Is(unsigned char c, ByteClass byteClass) { return (kClasses[c] & byteClass) != 0; }

// FNV-1a over the lower-cased tag name.
constexpr std::uint64_t NameHash(std::string_view name) {
  std::uint64_t h = 1469598103934665603ULL;
  for (char c : name) {
    h ^= static_cast<unsigned char>(c | 0x20);
    h *= 1099511628211ULL;
  }
  return h;
}

std::uint64_t ChildPath(std::uint64_t parent, std::uint64_t tag) {
  return (parent ^ (tag + 0x9E3779B97F4A7C15ULL + (parent << 6) + (parent >> 2))) *
         0xBF58476D1CE4E5B9ULL;
}

constexpr std::uint64_t kA = NameHash("a");
constexpr std::uint64_t kLi = NameHash("li");
constexpr std::uint64_t kUl = NameHash("ul");
constexpr std::uint64_t kOl = NameHash("ol");
constexpr std::uint64_t kDd = NameHash("dd");
constexpr std::uint64_t kDt = NameHash("dt");
constexpr std::uint64_t kDl = NameHash("dl");
constexpr std::uint64_t kTr = NameHash("tr");
constexpr std::uint64_t kTd = NameHash("td");
constexpr std::uint64_t kTh = NameHash("th");
constexpr std::uint64_t kTable = NameHash("table");
constexpr std::uint64_t kTbody = NameHash("tbody");
constexpr std::uint64_t kThead = NameHash("thead");
constexpr std::uint64_t kTfoot = NameHash("tfoot");
constexpr std::uint64_t kP = NameHash("p");
constexpr std::uint64_t kOption = NameHash("option");
constexpr std::uint64_t kSelect = NameHash("select");

enum TagFlag : unsigned char {
  kVoid = 1,             // never has content: no end tag is waited for
  kRawText = 2,          // content is not markup: skipped up to the end tag
  kClosesParagraph = 4,  // its start closes an open <p>
};

// The tags with flags, in a small open-addressed table: looked up once per
// tag, where a list of forty names would cost more than the rest of the scan.
class TagTable {
 public:
  constexpr TagTable() {
    for (std::string_view name : {"br", "img", "meta", "link", "input", "hr", "area", "base", "col",
                                  "embed", "param", "source", "track", "wbr", "!doctype"})
      Add(name, kVoid);
    for (std::string_view name : {"script", "style", "textarea", "title"}) Add(name, kRawText);
    for (std::string_view name :
         {"p",  "ul", "ol",      "dl",      "table",  "div",    "h1",  "h2",   "h3",  "h4",
          "h5", "h6", "section", "article", "header", "footer", "nav", "form", "pre", "blockquote"})
      Add(name, kClosesParagraph);
  }

  constexpr unsigned char Flags(std::uint64_t tag) const {
    for (std::size_t slot = tag % kSlots;; slot = (slot + 1) % kSlots) {
      if (m_flags[slot] == 0) return 0;
      if (m_tags[slot] == tag) return m_flags[slot];
    }
  }

 private:
  static constexpr std::size_t kSlots = 128;

  constexpr void Add(std::string_view name, unsigned char flags) {
    const std::uint64_t tag = NameHash(name);
    std::size_t slot = tag % kSlots;
    while (m_flags[slot] != 0 && m_tags[slot] != tag) slot = (slot + 1) % kSlots;
    m_tags[slot] = tag;
    m_flags[slot] |= flags;
  }

  std::array<std::uint64_t, kSlots> m_tags{};
  std::array<unsigned char, kSlots> m_flags{};
};

constexpr TagTable kTagTable;

// Whether index `j` starts a character when `i` <= j is known to start one:
// only the run of high bytes right before `j` matters, and from its first
// byte on they pair up.
bool StartsChar(const unsigned char* p, std::size_t i, std::size_t j) {
  std::size_t k = j;
  while (k > i && p[k - 1] >= 0x80) --k;
  return ((j - k) & 1) == 0;
}

// Index of the first `byte` at or after `i`, or `n`: eight bytes at a time
// for the short distances between tag delimiters, where setting up a
// library search costs more than the search.
std::size_t ScanFor(const unsigned char* p, std::size_t i, std::size_t n, unsigned char byte) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    const std::uint64_t pattern = kOnes * byte;
    for (const std::size_t stop = std::min(n, i + 64); i + 8 <= stop; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      const std::uint64_t x = word ^ pattern;
      // The lowest flagged byte is exact: a false flag only follows a true one.
      const std::uint64_t zero = (x - kOnes) & ~x & kHighs;
      if (zero != 0) return i + static_cast<std::size_t>(std::countr_zero(zero) / 8);
    }
  }
  if (i >= n) return n;
  const void* hit = std::memchr(p + i, byte, n - i);
  return hit == nullptr ? n : static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - p);
}

// Index of the first `byte` at or after `from` that starts a character, or
// `n`. `from` must start a character.
inline std::size_t FindByte(const unsigned char* p, std::size_t n, std::size_t from,
                            unsigned char byte) {
  if (from < n && p[from] == byte) return from;  // tags often follow one another
  std::size_t i = from;
  while (i < n) {
    const std::size_t at = ScanFor(p, i, n, byte);
    if (at == n || StartsChar(p, from, at)) return at;
    from = i = at + 1;  // a trail byte: the next byte starts a character
  }
  return n;
}

class Scanner {
 public:
  explicit Scanner(std::string_view page)
      : m_page(page.substr(0, std::numeric_limits<int>::max() - 8)),
        m_p(reinterpret_cast<const unsigned char*>(page.data())),
        m_n(m_page.size()) {
    m_stack.reserve(64);
    m_stack.push_back({0, 0});
    // Reserved, not touched: a list page has about one anchor per 100 bytes.
    m_anchors.reserve(m_n / 64);
  }

  std::vector<PageAnchor> Run() {
    std::size_t i = 0;
    while (i < m_n) {
      const std::size_t lt = FindByte(m_p, m_n, i, '<');
      if (m_open == kNone) NoteText(i, lt);
      if (lt == m_n) break;
      i = Markup(lt);
    }
    return std::move(m_anchors);
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  struct Frame {
    std::uint64_t tag;
    std::uint64_t path;
  };

  struct Attributes {
    std::size_t hrefBegin = 0;
    std::size_t hrefEnd = 0;
    bool href = false;
    bool selfClosing = false;
  };

  // Text between tags, outside anchors: blank or visible, and whether it
  // speaks of the newest chapters.
  void NoteText(std::size_t i, std::size_t end) {
    while (i < end) {
      const unsigned char c = m_p[i];
      if (c < 0x80) {
        if (!Is(c, kBlank)) m_textBefore = true;
        ++i;
        continue;
      }
      if (i + 1 < end && !(c == 0xA1 && m_p[i + 1] == 0xA1)) {  // not a full-width space
        m_textBefore = true;
        const std::string_view rest = m_page.substr(i, end - i);
        if (rest.starts_with(m_newest) || rest.starts_with(m_recent)) m_newestBefore = true;
      }
      i += 2;
    }
  }

  // Reads the markup that starts with the "<" at `i`; returns where the
  // text after it begins. A "<" that opens no tag is text, as a browser
  // reads it.
  std::size_t Markup(std::size_t i) {
    if (i + 1 >= m_n) return Text(i);
    const unsigned char next = m_p[i + 1];
    if (next == '!' && m_page.substr(i, 4) == "<!--") return SkipPast(i + 4, "-->");
    if (next == '!' || next == '?') return SkipPast(i + 2, ">");
    const bool endTag = next == '/';
    const std::size_t nameAt = i + 1 + (endTag ? 1 : 0);
    if (nameAt >= m_n || !Is(m_p[nameAt], kLetter)) return Text(i);
    std::size_t k = nameAt;
    while (k < m_n && Is(m_p[k], kNameByte)) ++k;
    const std::string_view name = m_page.substr(nameAt, std::min(k - nameAt, kMaxNameBytes));
    const std::uint64_t tag = NameHash(name);

    Attributes attributes;
    const bool lowerA = name == "a";
    const std::size_t after =
        lowerA && !endTag ? ReadAttributes(k, attributes) : SkipAttributes(k, attributes);
    if (endTag) {
      EndTag(i, tag, lowerA && after - i == 4);
      return after;
    }
    const unsigned char flags = kTagTable.Flags(tag);
    StartTag(i, after, tag, flags, lowerA, attributes);
    if (!attributes.selfClosing && (flags & kRawText) != 0) {
      const int close = Find(m_page, "</" + std::string(name), static_cast<int>(after) + 1, true);
      return close == -1 ? m_n : static_cast<std::size_t>(close - 1);
    }
    return after;
  }

  std::size_t Text(std::size_t i) {
    if (m_open == kNone) m_textBefore = true;
    return i + 1;
  }

  std::size_t SkipPast(std::size_t from, std::string_view mark) {
    const int at = Find(m_page, mark, static_cast<int>(from) + 1);
    return at == -1 ? m_n : static_cast<std::size_t>(at - 1) + mark.size();
  }

  // The end of a tag whose attributes do not matter. Most have no quotes
  // before their ">", and then that ">" ends them.
  std::size_t SkipAttributes(std::size_t k, Attributes& out) {
    const std::size_t gt = FindByte(m_p, m_n, k, '>');
    for (std::size_t j = k; j < gt; ++j) {
      if (Is(m_p[j], kQuote)) return ReadAttributes(k, out);
    }
    out.selfClosing = gt > k && m_p[gt - 1] == '/';
    return gt == m_n ? gt : gt + 1;
  }

  // Reads attributes from `k` to the tag's closing ">"; returns the index
  // just past it. Quoted values may hold ">".
  std::size_t ReadAttributes(std::size_t k, Attributes& out) {
    while (k < m_n) {
      const unsigned char c = m_p[k];
      if (c == '>') return k + 1;
      if (Is(c, kBlank)) {
        ++k;
        continue;
      }
      if (c == '/') {
        out.selfClosing = k + 1 < m_n && m_p[k + 1] == '>';
        ++k;
        continue;
      }
      const std::size_t nameBegin = k;
      while (k < m_n && !Is(m_p[k], kNameStop)) k += m_p[k] >= 0x80 ? 2 : 1;
      k = std::min(k, m_n);  // a lead byte may end the page
      const bool href = k - nameBegin == 4 && std::memcmp(m_p + nameBegin, "href", 4) == 0;
      std::size_t j = k;
      while (j < m_n && Is(m_p[j], kBlank)) ++j;
      if (j >= m_n || m_p[j] != '=') continue;
      ++j;
      while (j < m_n && Is(m_p[j], kBlank)) ++j;
      std::size_t valueBegin = j;
      std::size_t valueEnd;
      if (j < m_n && Is(m_p[j], kQuote)) {
        valueBegin = j + 1;
        valueEnd = FindByte(m_p, m_n, valueBegin, m_p[j]);
        k = valueEnd + 1;
      } else {
        while (j < m_n && !Is(m_p[j], kBlank) && m_p[j] != '>') j += m_p[j] >= 0x80 ? 2 : 1;
        valueEnd = std::min(j, m_n);
        k = j;
      }
      if (href && !out.href) {
        out.href = true;
        out.hrefBegin = valueBegin;
        out.hrefEnd = valueEnd;
      }
    }
    return m_n;
  }

  void StartTag(std::size_t begin, std::size_t after, std::uint64_t tag, unsigned char flags,
                bool lowerA, const Attributes& attributes) {
    if (tag == kA) {
      // Anchors do not nest: a new one ends the one still open.
      m_open = kNone;
      PopTo(kA, {});
      PageAnchor anchor;
      anchor.begin = static_cast<std::uint32_t>(begin);
      anchor.textBegin = static_cast<std::uint32_t>(after);
      anchor.path = m_stack.back().path;
      anchor.textBefore = m_textBefore;
      anchor.newestBefore = m_newestBefore;
      if (attributes.href) {
        anchor.hrefBegin = static_cast<std::uint32_t>(attributes.hrefBegin);
        anchor.hrefEnd = static_cast<std::uint32_t>(attributes.hrefEnd);
      }
      m_textBefore = false;
      m_newestBefore = false;
      m_anchors.push_back(anchor);
      if (lowerA && !attributes.selfClosing) m_open = m_anchors.size() - 1;
    } else if (tag == kLi) {
      PopTo(kLi, {kUl, kOl});
    } else if (tag == kDd || tag == kDt) {
      PopTo(kDd, {kDl});
      PopTo(kDt, {kDl});
    } else if (tag == kTr) {
      PopTo(kTr, {kTable, kTbody, kThead, kTfoot});
    } else if (tag == kTd || tag == kTh) {
      PopTo(kTd, {kTr, kTable});
      PopTo(kTh, {kTr, kTable});
    } else if (tag == kOption) {
      PopTo(kOption, {kSelect});
    }
    if ((flags & kClosesParagraph) != 0 && m_stack.back().tag == kP) m_stack.pop_back();
    if (attributes.selfClosing || (flags & kVoid) != 0 || m_stack.size() >= kMaxDepth) return;
    m_stack.push_back({tag, ChildPath(m_stack.back().path, tag)});
  }

  void EndTag(std::size_t begin, std::uint64_t tag, bool closesAnchor) {
    if (tag == kA && m_open != kNone) {
      if (closesAnchor) {
        PageAnchor& anchor = m_anchors[m_open];
        anchor.textEnd = static_cast<std::uint32_t>(begin);
        anchor.end = static_cast<std::uint32_t>(begin + 4);
      }
      m_open = kNone;
    }
    for (std::size_t d = m_stack.size(), floor = Floor(); d-- > floor;) {
      if (m_stack[d].tag == tag) {
        while (m_stack.size() > d) m_stack.pop_back();
        return;
      }
    }
  }

  // The lowest stack index a search for an open element reaches.
  std::size_t Floor() const { return m_stack.size() > kMaxReach ? m_stack.size() - kMaxReach : 1; }

  // Closes an open `tag` (and what it holds) unless one of `scopes` is met
  // first, walking from the innermost element outwards.
  void PopTo(std::uint64_t tag, std::initializer_list<std::uint64_t> scopes) {
    for (std::size_t d = m_stack.size(), floor = Floor(); d-- > floor;) {
      const std::uint64_t t = m_stack[d].tag;
      if (t == tag) {
        while (m_stack.size() > d) m_stack.pop_back();
        return;
      }
      for (std::uint64_t s : scopes) {
        if (t == s) return;
      }
    }
  }

  const std::string& m_newest = Gbk<"最新">();
  const std::string& m_recent = Gbk<"最近">();
  std::string_view m_page;
  const unsigned char* m_p;
  std::size_t m_n;
  std::vector<Frame> m_stack;
  std::vector<PageAnchor> m_anchors;
  std::size_t m_open = kNone;
  bool m_textBefore = false;
  bool m_newestBefore = false;
};

}  // namespace

std::vector<PageAnchor> ScanAnchors(std::string_view page) { return Scanner(page).Run(); }

}  // namespace tarnlow
