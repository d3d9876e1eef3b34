#pragma once
// Finding a contents page's chapter list without contents marks.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnlow {

// Where a found list sits in its page's markup and what its addresses look
// like: its further pages (下一页) are built alike.
struct ListMarkup {
  std::uint64_t path = 0;   // the markup above its links
  std::uint64_t shape = 0;  // folder and kind of its addresses
  bool countsDown = false;  // newest chapter first
};

struct FoundList {
  // The list's anchors, concatenated in page order, ready for ExtractLinks
  // as the text between contents marks would be.
  std::string anchors;
  ListMarkup markup;
};

// The page's chapter list; nullopt when the page holds none (a
// book-information or search page).
//
// The list is the largest run of sibling links (same place in the markup,
// nothing else between them) whose titles read like chapters (第…章, numbered
// titles, 序章, 番外 and the like) or, when the titles say nothing, whose
// addresses share one folder and count steadily up or down. Runs of the same
// markup elsewhere on the page join it when they look alike (volumes under
// their headings). A run headed by 最新 / 最近, or a short one counting
// down, is a "latest chapters" block, never the list.
std::optional<FoundList> FindChapterList(std::string_view page);

// The part of a list on one of its further pages: the runs of the first
// page's markup and addresses there, however short (a last page may hold one
// chapter), without the latest chapters' block; nullopt when there are none.
std::optional<FoundList> FindChapterList(std::string_view page, const ListMarkup& markup);

}  // namespace tarnlow
