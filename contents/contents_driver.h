#pragma once

#include <string>
#include <string_view>
#include <optional>
#include <vector>

#include "app/records.h"

namespace tarnlow {

struct App;

// The contents command: fetches the address in the address box with retries,
// extracts the chapter links (between the contents marks when given), follows
// the next pages, removes duplicate and dubious links, renumbers on request,
// fills the list box and the save-name box. True when the list is ready.
// Only appends to the chapter list.
bool GetContents(App& app);

// What a contents run reads from the window when it starts; the address box
// and the contents marks stay disabled while it runs.
struct ContentsRun {
  std::string address;
  std::string listBegin;
  std::string listEnd;
  bool autoList = false;  // 自动识别目录
  int attempts = 1;
  int delayMs = 0;
};

// The links of the part between the contents marks when a start mark is
// given; without one, of the chapter list the finder sees in the page when
// 自动识别目录 is on, else of the whole page. `firstPage` is the first
// contents page when `page` is one of its next pages: the list there looks
// like the first page's. Nothing only when the finder sees no list.
std::optional<std::vector<ChapterEntry>> LinksBetweenMarks(const ContentsRun& run,
                                                           std::string_view page,
                                                           std::string_view firstPage = {});

}  // namespace tarnlow
