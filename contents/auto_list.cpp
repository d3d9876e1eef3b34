#include "contents/auto_list.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <unordered_map>
#include <vector>

#include "contents/anchor_scan.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

// A character of a title: the byte of an ASCII character, or lead << 8 |
// trail of a double-byte one.
using Char = std::uint16_t;

constexpr Char kFullWidthSpace = 0xA1A1;

Char CharAt(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80 || i + 1 >= text.size()) return lead;
  return static_cast<Char>(lead << 8 | static_cast<unsigned char>(text[i + 1]));
}

std::vector<Char> Chars(std::string_view gbk) {
  std::vector<Char> chars;
  for (std::size_t i = 0; i < gbk.size(); i += static_cast<unsigned char>(gbk[i]) >= 0x80 ? 2 : 1)
    chars.push_back(CharAt(gbk, i));
  return chars;
}

class CharSet {
 public:
  explicit CharSet(std::string_view gbk) {
    for (Char c : Chars(gbk)) m_bits.set(c);
  }
  bool Has(Char c) const { return m_bits.test(c); }

 private:
  std::bitset<65536> m_bits;
};

struct Vocabulary {
  CharSet numerals{Gbk<"零〇一二三四五六七八九十百千万萬两兩壹贰貳叁肆伍陆陸柒捌玖拾佰仟">()};
  CharSet units{Gbk<"章节節回卷集话話篇部幕季册冊折">()};
  CharSet separators{Gbk<"、．：，　">() + ".:, "};
  Char di = Chars(Gbk<"第">())[0];
  // Titles that name a part of a book without a number.
  std::vector<std::vector<Char>> words = [] {
    std::vector<std::vector<Char>> w;
    for (const std::string* s :
         {&Gbk<"序">(), &Gbk<"楔子">(), &Gbk<"引子">(), &Gbk<"引言">(), &Gbk<"前言">(),
          &Gbk<"番外">(), &Gbk<"后记">(), &Gbk<"後記">(), &Gbk<"尾声">(), &Gbk<"尾聲">(),
          &Gbk<"终章">(), &Gbk<"終章">(), &Gbk<"大结局">(), &Gbk<"大結局">(), &Gbk<"上架感言">(),
          &Gbk<"完本感言">(), &Gbk<"新书感言">()})
      w.push_back(Chars(*s));
    return w;
  }();
};

const Vocabulary& Words() {
  static const Vocabulary vocabulary;
  return vocabulary;
}

bool IsDigit(Char c) { return (c >= '0' && c <= '9') || (c >= 0xA3B0 && c <= 0xA3B9); }
bool IsBlankChar(Char c) { return c == ' ' || c == '\t' || c == kFullWidthSpace; }

// The first visible characters of an anchor's text: tags skipped, leading
// blanks dropped. Enough to judge a title by its head.
class TitleHead {
 public:
  explicit TitleHead(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && m_size < m_chars.size()) {
      if (text[i] == '<') {
        const std::size_t close = text.find('>', i);
        if (close == std::string_view::npos) break;
        i = close + 1;
        continue;
      }
      const Char c = CharAt(text, i);
      i += c > 0xFF ? 2 : 1;
      if (m_size == 0 && (IsBlankChar(c) || c == '\r' || c == '\n')) continue;
      m_chars[m_size++] = c;
    }
  }

  std::size_t Size() const { return m_size; }
  Char operator[](std::size_t i) const { return i < m_size ? m_chars[i] : 0; }

  bool StartsWith(const std::vector<Char>& word) const {
    if (word.size() > m_size) return false;
    return std::equal(word.begin(), word.end(), m_chars.begin());
  }
  bool StartsWithAscii(std::string_view lowerWord) const {
    if (lowerWord.size() > m_size) return false;
    for (std::size_t i = 0; i < lowerWord.size(); ++i) {
      const Char c = m_chars[i];
      if (c > 0x7F || static_cast<char>(c | 0x20) != lowerWord[i]) return false;
    }
    return true;
  }

 private:
  std::array<Char, 40> m_chars{};
  std::size_t m_size = 0;
};

// 第 + a number + a unit (章, 节, 回, 卷, 集 …) starting at `at`.
bool NumberedPart(const TitleHead& head, std::size_t at) {
  const Vocabulary& w = Words();
  std::size_t i = at + 1;
  while (IsBlankChar(head[i])) ++i;
  const std::size_t digits = i;
  while (IsDigit(head[i]) || w.numerals.Has(head[i])) ++i;
  if (i == digits) return false;
  while (IsBlankChar(head[i])) ++i;
  return w.units.Has(head[i]);
}

bool ReadsLikeChapter(std::string_view text) {
  const TitleHead head(text);
  if (head.Size() == 0) return false;
  const Vocabulary& w = Words();
  if (IsDigit(head[0])) return true;  // 001【…】, 1、…, 12 归来
  if (w.numerals.Has(head[0])) {      // 五十三、云变
    std::size_t i = 0;
    while (w.numerals.Has(head[i])) ++i;
    if (w.separators.Has(head[i]) || w.units.Has(head[i])) return true;
  }
  for (std::size_t i = 0; i < head.Size(); ++i) {
    if (head[i] == w.di && NumberedPart(head, i)) return true;
  }
  for (const auto& word : w.words) {
    if (head.StartsWith(word)) return true;
  }
  return head.StartsWithAscii("chapter") || head.StartsWithAscii("prologue") ||
         head.StartsWithAscii("epilogue");
}

std::uint64_t Hash(std::string_view bytes, std::uint64_t seed) {
  std::uint64_t h = seed ^ 1469598103934665603ULL;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  return h;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view lowerWord) {
  if (text.size() < lowerWord.size()) return false;
  for (std::size_t i = 0; i < lowerWord.size(); ++i) {
    if (static_cast<char>(text[i] | 0x20) != lowerWord[i]) return false;
  }
  return true;
}

std::string_view TrimmedHref(std::string_view href) {
  while (!href.empty() && (href.front() == ' ' || href.front() == '\t')) href.remove_prefix(1);
  return href;
}

// False for an href that leads nowhere: missing, a fragment, script or mail.
bool LeadsSomewhere(std::string_view href) {
  href = TrimmedHref(href);
  return !href.empty() && href.front() != '#' && !StartsWithIgnoringCase(href, "javascript") &&
         !StartsWithIgnoringCase(href, "mailto:");
}

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// What the finder reads of a link's address.
struct Address {
  std::uint64_t shape = 0;  // its folder, the extension of its last segment, digits in that
  long long number = -1;    // its last number, -1 when it has none
};

Address ReadAddress(std::string_view href) {
  href = TrimmedHref(href);
  if (const std::size_t hash = href.rfind('#'); hash != std::string_view::npos) {
    href = href.substr(0, hash);
  }
  const std::size_t slash = href.rfind('/');
  const std::size_t segmentAt = slash == std::string_view::npos ? 0 : slash + 1;
  const std::string_view segment = href.substr(segmentAt);
  const std::size_t dot = segment.rfind('.');
  const std::string_view extension =
      dot == std::string_view::npos ? std::string_view() : segment.substr(dot + 1);
  const bool digits = std::any_of(segment.begin(), segment.end(), IsAsciiDigit);

  Address address;
  address.shape = Hash(extension, Hash(href.substr(0, segmentAt), digits ? 1 : 2));
  std::size_t end = href.size();
  while (end > 0 && !IsAsciiDigit(href[end - 1])) --end;
  if (end > 0) {
    std::size_t begin = end;
    // Eighteen digits at most, so the value never overflows.
    while (begin > 0 && end - begin < 18 && IsAsciiDigit(href[begin - 1])) --begin;
    long long value = 0;
    for (std::size_t i = begin; i < end; ++i) value = value * 10 + (href[i] - '0');
    address.number = value;
  }
  return address;
}

// The anchors of the page that lead somewhere, with their href and text.
class Links {
 public:
  explicit Links(std::string_view page) : m_page(page), m_anchors(ScanAnchors(page)) {
    m_links.reserve(m_anchors.size());
    for (std::size_t a = 0; a < m_anchors.size(); ++a) {
      const PageAnchor& anchor = m_anchors[a];
      if (anchor.Closed() && LeadsSomewhere(Part(anchor.hrefBegin, anchor.hrefEnd))) {
        m_links.push_back(a);
      }
    }
  }

  std::size_t Size() const { return m_links.size(); }
  const PageAnchor& Anchor(std::size_t i) const { return m_anchors[m_links[i]]; }
  Address AddressOf(std::size_t i) const {
    return ReadAddress(Part(Anchor(i).hrefBegin, Anchor(i).hrefEnd));
  }
  bool ChapterTitle(std::size_t i) const {
    return ReadsLikeChapter(Part(Anchor(i).textBegin, Anchor(i).textEnd));
  }
  std::string_view Markup(std::size_t i) const { return Part(Anchor(i).begin, Anchor(i).end); }
  // A link right after a link of the same markup, with no other anchor
  // between them.
  bool FollowsNeighbour(std::size_t i) const {
    return i > 0 && m_links[i - 1] + 1 == m_links[i] && Anchor(i - 1).path == Anchor(i).path;
  }

 private:
  std::string_view Part(std::uint32_t begin, std::uint32_t end) const {
    return m_page.substr(begin, end - begin);
  }

  std::string_view m_page;
  std::vector<PageAnchor> m_anchors;
  std::vector<std::size_t> m_links;  // indices into m_anchors
};

// Titles and addresses of a long run are judged on this many links spread
// over it (and the link after each): enough to tell a list from the rest,
// and it keeps a 10,000-chapter page fast.
constexpr std::size_t kSample = 128;

struct Run {
  std::size_t first = 0;  // links [first, last]
  std::size_t last = 0;
  std::uint64_t path = 0;
  bool newestHeading = false;
  // Measured on the sample: links, chapter titles, the address shape most
  // of them share and how many do, and the steps between the numbers of
  // neighbouring addresses.
  std::size_t sampled = 0;
  std::size_t chapters = 0;
  std::uint64_t shape = 0;
  std::size_t shapeCount = 0;
  std::size_t pairs = 0;
  std::size_t up = 0, down = 0, same = 0;
  long long firstNumber = -1, lastNumber = -1;

  std::size_t Size() const { return last - first + 1; }
  std::size_t Steps() const { return up + down + same; }
  // Numbers in no order: recommended books, rankings, other sites.
  bool Disordered() const { return Steps() >= 4 && (std::max(up, down) + same) * 4 < Steps() * 3; }
  bool CountsUp() const { return Steps() >= 2 && up > down && up * 10 >= Steps() * 7; }
  bool CountsDown() const { return Steps() >= 2 && down > up && down * 10 >= Steps() * 7; }
  bool Titled() const { return Size() >= 3 && chapters * 10 >= sampled * 6; }
  // No chapter titles, but one folder and steadily numbered addresses.
  bool Uniform() const {
    return Size() >= 10 && shapeCount * 10 >= sampled * 9 && Steps() * 10 >= pairs * 8 &&
           std::max(up, down) * 10 >= Steps() * 9;
  }
  // The newest chapters repeated above or beside the list: under a 最新
  // heading, or a short run newest first (unless the whole list runs so).
  bool Latest(bool listCountsDown = false) const {
    return (newestHeading && (CountsDown() || Size() <= 30)) ||
           (!listCountsDown && CountsDown() && Size() <= 20);
  }
  bool Candidate() const { return (Titled() || Uniform()) && !Disordered() && !Latest(); }

  // Another run of the list's markup that continues it: a volume under its
  // own heading, with the list's addresses, in the list's order. Where the
  // addresses are numbered, the order decides, not a heading: "某书最新章节列表"
  // often heads the whole list.
  bool Continues(const Run& list) const {
    if (path != list.path || shape != list.shape || Disordered()) return false;
    if ((list.CountsUp() && CountsDown()) || (list.CountsDown() && CountsUp())) return false;
    const bool before = last < list.first;
    if (newestHeading && !before) return false;
    // Outer ends are compared: a volume of notes before the chapters often
    // ends with a note added late.
    const long long mine = before ? firstNumber : lastNumber;
    const long long theirs = before ? list.firstNumber : list.lastNumber;
    if (mine < 0 || theirs < 0 || !(list.CountsUp() || list.CountsDown())) {
      return !Latest(list.CountsDown());
    }
    if (list.CountsUp()) return before ? mine <= theirs : mine >= theirs;
    return before ? mine >= theirs : mine <= theirs;
  }

  void Measure(const Links& links) {
    std::array<std::uint64_t, kSample + 1> shapes{};
    const std::size_t stride = (Size() + kSample - 1) / kSample;
    for (std::size_t i = first; i <= last; i += stride) {
      const Address address = links.AddressOf(i);
      shapes[sampled++] = address.shape;
      if (links.ChapterTitle(i)) ++chapters;
      if (i == last) break;
      ++pairs;
      const long long next = links.AddressOf(i + 1).number;
      if (address.number >= 0 && next >= 0) {
        (next > address.number ? up : next < address.number ? down : same) += 1;
      }
    }
    // Majority vote, then a count of the winner.
    std::size_t votes = 0;
    for (std::size_t k = 0; k < sampled; ++k) {
      if (votes == 0) shape = shapes[k];
      votes = shapes[k] == shape ? votes + 1 : votes - 1;
    }
    shapeCount = static_cast<std::size_t>(
        std::count(shapes.begin(), shapes.begin() + static_cast<std::ptrdiff_t>(sampled), shape));
    firstNumber = links.AddressOf(first).number;
    lastNumber = links.AddressOf(last).number;
  }
};

// Per markup path, how many neighbouring links have text between them.
class Gaps {
 public:
  void Add(const PageAnchor& anchor) {
    Count& count = m_counts[anchor.path];
    ++count.all;
    if (anchor.textBefore) ++count.withText;
  }
  // Where most neighbours have text between them, the text belongs to the
  // items (dates, word counts) and says nothing about where a block ends.
  bool ItemText(std::uint64_t path) const {
    const auto it = m_counts.find(path);
    return it != m_counts.end() && it->second.withText * 2 > it->second.all;
  }

 private:
  struct Count {
    std::size_t withText = 0;
    std::size_t all = 0;
  };
  std::unordered_map<std::uint64_t, Count> m_counts;
};

std::vector<Run> SiblingRuns(const Links& links) {
  Gaps gaps;
  for (std::size_t i = 1; i < links.Size(); ++i) {
    if (links.FollowsNeighbour(i)) gaps.Add(links.Anchor(i));
  }
  std::vector<Run> runs;
  for (std::size_t i = 0; i < links.Size(); ++i) {
    const PageAnchor& anchor = links.Anchor(i);
    if (links.FollowsNeighbour(i) &&
        !(gaps.ItemText(anchor.path) ? anchor.newestBefore : anchor.textBefore)) {
      runs.back().last = i;
      continue;
    }
    Run run;
    run.first = run.last = i;
    run.path = anchor.path;
    run.newestHeading = anchor.newestBefore;
    runs.push_back(run);
  }
  for (Run& run : runs) run.Measure(links);
  return runs;
}

std::string Concatenated(const Links& links, const std::vector<const Run*>& parts) {
  std::size_t bytes = 0;
  for (const Run* run : parts)
    bytes += links.Anchor(run->last).end - links.Anchor(run->first).begin;
  std::string anchors;
  anchors.reserve(bytes);
  for (const Run* run : parts) {
    for (std::size_t i = run->first; i <= run->last; ++i) anchors.append(links.Markup(i));
  }
  return anchors;
}

}  // namespace

std::optional<FoundList> FindChapterList(std::string_view page) {
  const Links links(page);
  const std::vector<Run> runs = SiblingRuns(links);

  const Run* best = nullptr;
  for (const Run& run : runs) {
    if (run.Candidate() && (best == nullptr || run.Size() > best->Size())) best = &run;
  }
  if (best == nullptr) return std::nullopt;

  std::vector<const Run*> parts;
  for (const Run& run : runs) {
    if (&run == best || run.Continues(*best)) parts.push_back(&run);
  }
  return FoundList{Concatenated(links, parts), {best->path, best->shape, best->CountsDown()}};
}

std::optional<FoundList> FindChapterList(std::string_view page, const ListMarkup& markup) {
  const Links links(page);
  const std::vector<Run> runs = SiblingRuns(links);

  std::vector<const Run*> alike;
  for (const Run& run : runs) {
    if (run.path == markup.path && run.shape == markup.shape && !run.Disordered()) {
      alike.push_back(&run);
    }
  }
  if (alike.empty()) return std::nullopt;
  std::vector<const Run*> parts;
  for (const Run* run : alike) {
    if (!run->Latest(markup.countsDown)) parts.push_back(run);
  }
  // Only runs that look like a latest block: the list's own heading speaks
  // of the newest chapters, and its largest run is the list.
  if (parts.empty()) {
    parts.push_back(*std::max_element(alike.begin(), alike.end(), [](const Run* a, const Run* b) {
      return a->Size() < b->Size();
    }));
  }
  return FoundList{Concatenated(links, parts), markup};
}

}  // namespace tarnlow
