#pragma once
// A forgiving one-pass reading of a page's markup that yields its anchors
// with where they sit in the element tree: what the chapter-list finder
// needs, and nothing a full HTML parser would add.

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarnlow {

struct PageAnchor {
  // 0-based byte offsets: the whole anchor "<a ...>...</a>", its inner text
  // and its href value. An anchor never closed by "</a>" has end 0. Thirty-two
  // bits hold any page the fetcher lets through and keep the list of a large
  // page small.
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  std::uint32_t textBegin = 0;
  std::uint32_t textEnd = 0;
  std::uint32_t hrefBegin = 0;
  std::uint32_t hrefEnd = 0;
  // Hash of the tag names of the anchor's ancestors, root first: anchors
  // that are siblings in a list share it.
  std::uint64_t path = 0;
  // Visible text stands between the previous anchor and this one; and that
  // text speaks of the newest chapters (最新, 最近).
  bool textBefore = false;
  bool newestBefore = false;

  bool Closed() const { return end != 0; }
};

// Every "<a" start tag of the page (of its first 2 GiB) in page order. Only
// a lower-case "<a" closed by "</a>" counts as closed, as link extraction
// reads anchors. Double-byte characters are walked whole (a byte of 0x80 or more takes the
// next one with it), so no tag or quote is ever seen inside one. Script,
// style, textarea and title contents are skipped, and so are comments.
std::vector<PageAnchor> ScanAnchors(std::string_view page);

}  // namespace tarnlow
