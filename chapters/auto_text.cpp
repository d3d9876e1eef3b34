#include "chapters/auto_text.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <unordered_map>
#include <vector>

namespace tarnlow {
namespace {

// A tag name, lowered, packed into its first eight bytes: names up to eight
// letters compare exactly ("blockquote" is known by "blockquo").
using Name = std::uint64_t;

constexpr Name Pack(std::string_view name) {
  Name packed = 0;
  for (std::size_t i = 0; i < name.size() && i < 8; ++i)
    packed |= Name(static_cast<unsigned char>(name[i])) << (8 * i);
  return packed;
}

enum class Kind : std::uint8_t {
  Inline,  // text inside it belongs to the enclosing block
  Block,   // a block of its own, scored on its own text
  Break,   // ends a line
  Link,
  Skip,  // its content is not text (scripts, styles, form fields)
};

// clang-format off
Kind KindOf(Name name) {
  switch (name) {
    case Pack("div"): case Pack("td"): case Pack("th"): case Pack("tr"): case Pack("table"):
    case Pack("tbody"): case Pack("thead"): case Pack("tfoot"): case Pack("ul"): case Pack("ol"):
    case Pack("li"): case Pack("dl"): case Pack("dd"): case Pack("dt"): case Pack("article"):
    case Pack("section"): case Pack("main"): case Pack("aside"): case Pack("header"):
    case Pack("footer"): case Pack("nav"): case Pack("form"): case Pack("center"):
    case Pack("blockquo"): case Pack("body"): case Pack("html"): case Pack("figure"):
    case Pack("fieldset"): case Pack("pre"): case Pack("details"): case Pack("caption"):
    case Pack("menu"): case Pack("address"):
      return Kind::Block;
    case Pack("br"): case Pack("p"): case Pack("hr"): case Pack("h1"): case Pack("h2"):
    case Pack("h3"): case Pack("h4"): case Pack("h5"): case Pack("h6"):
      return Kind::Break;
    case Pack("a"):
      return Kind::Link;
    case Pack("script"): case Pack("style"): case Pack("textarea"): case Pack("select"):
    case Pack("title"): case Pack("noscript"): case Pack("iframe"): case Pack("svg"):
    case Pack("template"): case Pack("button"): case Pack("object"):
      return Kind::Skip;
    default:
      return Kind::Inline;
  }
}
// clang-format on

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameChar(char c) { return IsAlpha(c) || (c >= '0' && c <= '9') || c == '-' || c == ':'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// Bytes of text that are not ASCII blanks or control bytes.
int CountText(const char* p, const char* end) {
  int n = 0;
  for (; p < end; ++p) n += static_cast<unsigned char>(*p) > 0x20;
  return n;
}

struct Token {
  enum Type : std::uint8_t { Text, Tag, Skipped };
  Type type = Text;
  const char* begin = nullptr;
  const char* end = nullptr;
  Name name = 0;
  Kind kind = Kind::Inline;
  bool closing = false;
  bool selfClosing = false;
};

// Splits HTML into text, tags, and skipped runs (comments, declarations, and
// skip elements with their content). A "<" that starts no tag is text. "<",
// ">" and quotes lie below 0x40, so they are never the trail byte of a GBK
// character and the bytes can be scanned as they are.
class Scanner {
 public:
  Scanner(const char* begin, const char* end) : m_p(begin), m_end(end) {}

  bool Next(Token& t) {
    if (m_p >= m_end) return false;
    t.begin = m_p;
    const auto* lt = static_cast<const char*>(std::memchr(m_p, '<', m_end - m_p));
    if (lt != m_p) {
      m_p = lt ? lt : m_end;
      return Emit(t, Token::Text);
    }
    const char* q = m_p + 1;
    if (q < m_end && (*q == '!' || *q == '?')) {
      const char* stop = nullptr;
      if (m_end - m_p >= 4 && std::memcmp(m_p, "<!--", 4) == 0) {
        stop = Search(m_p + 4, "-->");
        m_p = stop ? stop + 3 : m_end;
      } else {
        stop = static_cast<const char*>(std::memchr(q, '>', m_end - q));
        m_p = stop ? stop + 1 : m_end;
      }
      return Emit(t, Token::Skipped);
    }
    t.closing = q < m_end && *q == '/';
    if (t.closing) ++q;
    if (q >= m_end || !IsAlpha(*q)) {
      m_p = q;  // "<" or "</" not starting a tag: text
      return Emit(t, Token::Text);
    }
    Name name = 0;
    int length = 0;
    for (; q < m_end && IsNameChar(*q); ++q, ++length) {
      if (length < 8) name |= Name(static_cast<unsigned char>(Lower(*q))) << (8 * length);
    }
    m_p = TagEnd(q);
    t.name = name;
    t.kind = KindOf(name);
    t.selfClosing = m_p[-1] == '>' && m_p - 2 >= q && m_p[-2] == '/';
    if (t.kind == Kind::Skip && !t.closing && !t.selfClosing) {
      m_p = SkipElement(name, length);
      return Emit(t, Token::Skipped);
    }
    return Emit(t, Token::Tag);
  }

 private:
  bool Emit(Token& t, Token::Type type) {
    t.type = type;
    t.end = m_p;
    return true;
  }

  const char* Search(const char* from, std::string_view sought) const {
    const void* at = memmem(from, m_end - from, sought.data(), sought.size());
    return static_cast<const char*>(at);
  }

  // Just after the ">" that ends the tag whose name ends at `q`. A quote
  // opens a value only right after "=", so a stray apostrophe in an unquoted
  // value does not swallow the page; an unclosed quote falls back to the
  // first ">".
  const char* TagEnd(const char* q) const {
    const auto* first = static_cast<const char*>(std::memchr(q, '>', m_end - q));
    if (first == nullptr) return m_end;
    char quote = 0;
    char previous = 0;
    for (const char* p = q; p < m_end; ++p) {
      const char c = *p;
      if (quote != 0) {
        if (c == quote) quote = 0;
        continue;
      }
      if (c == '>') return p + 1;
      if ((c == '"' || c == '\'') && previous == '=') quote = c;
      if (c != ' ' && c != '\t') previous = c;
    }
    return first + 1;
  }

  // Just after the end tag of the skip element whose start tag just ended.
  const char* SkipElement(Name name, int length) const {
    for (const char* p = m_p; p < m_end;) {
      const auto* lt = static_cast<const char*>(std::memchr(p, '<', m_end - p));
      if (lt == nullptr) break;
      const char* q = lt + 1;
      if (q < m_end && *q == '/') {
        ++q;
        int i = 0;
        for (; i < length && q + i < m_end; ++i) {
          const Name c = static_cast<unsigned char>(Lower(q[i]));
          if (i < 8 && c != ((name >> (8 * i)) & 0xFF)) break;
        }
        if (i == length && (q + i >= m_end || !IsNameChar(q[i]))) {
          const auto* gt = static_cast<const char*>(std::memchr(q, '>', m_end - q));
          return gt ? gt + 1 : m_end;
        }
      }
      p = q;
    }
    return m_end;
  }

  const char* m_p;
  const char* m_end;
};

struct Block {
  int parent = -1;
  Name name = 0;
  int open = 0;    // offset of its start tag
  int inner = 0;   // offset just after its start tag
  int close = 0;   // offset where it ends (its end tag, or what closed it)
  int text = 0;    // running text directly inside, inline elements included
  int link = 0;    // the part of `text` inside links
  int links = 0;   // links directly inside
  int breaks = 0;  // line breaks directly inside
  int children = 0;
  int paragraphs = 0;        // text of child blocks that read as paragraphs
  std::int8_t dropped = -1;  // emitting: -1 not decided yet
};

// Blocks a page may have: a page of nothing but block tags is not a chapter,
// and its blocks past this many are read as inline elements.
constexpr std::size_t kMaxBlocks = std::size_t{1} << 18;

// Blocks of the whole page in document order; blocks[0] is the page itself.
std::vector<Block> ScanBlocks(std::string_view page) {
  std::vector<Block> blocks(1);
  blocks[0].close = static_cast<int>(page.size());
  std::vector<int> open{0};
  // Open blocks by name: an end tag with none open is passed over at once.
  std::unordered_map<Name, int> openByName;
  int linkOwner = -1;
  const char* base = page.data();

  const auto closeTop = [&](int at) {
    const int b = open.back();
    open.pop_back();
    Block& block = blocks[b];
    --openByName[block.name];
    block.close = at;
    if (linkOwner == b) linkOwner = -1;
    // A leaf block of a line or two of plain text reads as a paragraph of
    // its parent: bodies written as one block per paragraph score as a whole.
    const int own = block.text - block.link;
    if (block.children == 0 && own > 0 && block.link * 2 <= block.text && block.breaks <= 2)
      blocks[block.parent].paragraphs += own;
  };
  const auto closeIfTop = [&](int at, std::initializer_list<Name> names) {
    if (open.size() < 2) return;
    for (const Name n : names) {
      if (blocks[open.back()].name == n) {
        closeTop(at);
        return;
      }
    }
  };

  Scanner scanner(base, base + page.size());
  Token t;
  while (scanner.Next(t)) {
    const int at = static_cast<int>(t.begin - base);
    Block& top = blocks[open.back()];
    if (t.type == Token::Text) {
      const int n = CountText(t.begin, t.end);
      if (n == 0) continue;
      top.text += n;
      if (linkOwner >= 0) top.link += n;
      continue;
    }
    if (t.type != Token::Tag) continue;
    switch (t.kind) {
      case Kind::Block:
        if (t.closing) {
          const auto count = openByName.find(t.name);
          if (count == openByName.end() || count->second == 0) break;
          for (std::size_t i = open.size(); i-- > 1;) {
            if (blocks[open[i]].name != t.name) continue;
            while (open.size() > i) closeTop(at);
            break;
          }
          break;
        }
        if (blocks.size() >= kMaxBlocks) break;
        // End tags that pages leave out: a new item closes the open one.
        if (t.name == Pack("li")) closeIfTop(at, {Pack("li")});
        if (t.name == Pack("dd") || t.name == Pack("dt")) closeIfTop(at, {Pack("dd"), Pack("dt")});
        if (t.name == Pack("td") || t.name == Pack("th")) closeIfTop(at, {Pack("td"), Pack("th")});
        if (t.name == Pack("tr")) {
          closeIfTop(at, {Pack("td"), Pack("th")});
          closeIfTop(at, {Pack("tr")});
        }
        {
          Block block;
          block.parent = open.back();
          block.name = t.name;
          block.open = at;
          block.inner = static_cast<int>(t.end - base);
          ++blocks[block.parent].children;
          ++openByName[block.name];
          blocks.push_back(block);
          open.push_back(static_cast<int>(blocks.size()) - 1);
          if (t.selfClosing) closeTop(block.inner);
        }
        break;
      case Kind::Break:
        ++top.breaks;
        break;
      case Kind::Link:
        if (t.closing) {
          linkOwner = -1;
        } else if (!t.selfClosing) {
          linkOwner = open.back();
          ++top.links;
        }
        break;
      default:
        break;
    }
  }
  while (open.size() > 1) closeTop(static_cast<int>(page.size()));
  return blocks;
}

// The smallest body worth taking, in bytes of running text: less is a
// notice, a menu or a footer, not a chapter.
constexpr int kMinBodyBytes = 100;

int BestBlock(const std::vector<Block>& blocks) {
  int best = -1;
  long long bestScore = kMinBodyBytes - 1;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const Block& b = blocks[i];
    const long long running = b.text - b.link + b.paragraphs;
    if (running < 2LL * b.link) continue;  // mostly links
    const long long score = running - b.link;
    if (score > bestScore) {
      bestScore = score;
      best = static_cast<int>(i);
    }
  }
  return best;
}

// Whether GBK text holds a Chinese sentence mark (，。！？；…”).
bool HasSentenceMark(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x81) continue;
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    if ((lead == 0xA1 && (trail == 0xA3 || trail == 0xAD || trail == 0xB1)) ||
        (lead == 0xA3 && (trail == 0xAC || trail == 0xA1 || trail == 0xBF || trail == 0xBB)))
      return true;
    ++i;
  }
  return false;
}

class BodyWriter {
 public:
  BodyWriter(std::string_view page, std::vector<Block>& blocks, int best)
      : m_page(page), m_blocks(blocks), m_best(best) {}

  FoundBody Write() {
    const Block& best = m_blocks[m_best];
    const char* base = m_page.data();
    m_out.reserve(static_cast<std::size_t>(best.close - best.inner));
    int current = m_best;
    int next = m_best + 1;
    int linkOwner = -1;
    Scanner scanner(base + best.inner, base + best.close);
    Token t;
    while (scanner.Next(t)) {
      const int at = static_cast<int>(t.begin - base);
      while (current != m_best && m_blocks[current].close <= at) {
        if (linkOwner == current) linkOwner = -1;
        current = m_blocks[current].parent;
        ++m_breaks;
      }
      if (t.type == Token::Text) {
        if (linkOwner < 0 && !Dropped(current)) Text(t.begin, t.end);
        continue;
      }
      if (t.type != Token::Tag) continue;
      switch (t.kind) {
        case Kind::Block:
          ++m_breaks;
          if (!t.closing && next < static_cast<int>(m_blocks.size()) && m_blocks[next].open == at) {
            current = next++;
            if (Dropped(current) && m_blocks[current].links > 0) MarkCut();
          }
          break;
        case Kind::Break:
          ++m_breaks;
          break;
        case Kind::Link:
          if (t.closing) {
            linkOwner = -1;
          } else if (!t.selfClosing) {
            if (!Dropped(current)) MarkCut();
            linkOwner = current;
          }
          break;
        default:
          break;
      }
    }
    CutTail();
    if (m_text > 0) m_out += "<br />";
    return {std::move(m_out), m_text};
  }

 private:
  struct Cut {
    std::size_t outSize;
    int textBefore;
  };

  void Text(const char* begin, const char* end) {
    const int n = CountText(begin, end);
    if (n == 0) {
      // Blanks between inline pieces of one line keep the words apart.
      if (m_text > 0 && m_breaks == 0) m_out.append(begin, end);
      return;
    }
    if (m_text > 0) {
      for (int i = 0; i < m_breaks && i < 2; ++i) m_out += "<br />";
    }
    m_breaks = 0;
    m_out.append(begin, end);
    m_text += n;
  }

  void MarkCut() { m_cuts.push_back({m_out.size(), m_text}); }

  // The navigation after a chapter: the first link (or link block) that
  // leaves less than a tenth of the text after it ends the body.
  void CutTail() {
    for (const Cut& cut : m_cuts) {
      if (static_cast<long long>(m_text - cut.textBefore) * 10 < m_text) {
        m_out.resize(cut.outSize);
        m_text = cut.textBefore;
        return;
      }
    }
  }

  // Whether the own text of block `b` stays out of the body: a block that is
  // mostly links (an advertisement, a link bar), or, in a body written as
  // lines rather than one block per paragraph, a short label without a
  // sentence mark (date, author, counters).
  bool Dropped(int b) {
    if (b == m_best) return false;
    Block& block = m_blocks[b];
    if (block.dropped < 0) {
      const Block& best = m_blocks[m_best];
      bool drop = block.links > 0 && block.link * 2 > block.text;
      if (!drop && best.text - best.link > best.paragraphs && block.children == 0 &&
          block.text - block.link < 60) {
        const std::string_view inside =
            m_page.substr(block.inner, static_cast<std::size_t>(block.close - block.inner));
        drop = !HasSentenceMark(inside);
      }
      block.dropped = drop ? 1 : 0;
    }
    return block.dropped == 1;
  }

  std::string_view m_page;
  std::vector<Block>& m_blocks;
  int m_best;
  std::string m_out;
  int m_text = 0;
  int m_breaks = 0;
  std::vector<Cut> m_cuts;
};

}  // namespace

FoundBody FindChapterBody(std::string_view page) {
  std::vector<Block> blocks = ScanBlocks(page);
  const int best = BestBlock(blocks);
  if (best < 0) return {};
  return BodyWriter(page, blocks, best).Write();
}

int RunningTextBytes(std::string_view html) {
  int text = 0;
  bool inLink = false;
  Scanner scanner(html.data(), html.data() + html.size());
  Token t;
  while (scanner.Next(t)) {
    if (t.type == Token::Text && !inLink) text += CountText(t.begin, t.end);
    if (t.type == Token::Tag && t.kind == Kind::Link) inLink = !t.closing && !t.selfClosing;
  }
  return text;
}

}  // namespace tarnlow
