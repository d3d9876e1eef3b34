#pragma once

#include <string>
#include <string_view>
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
  int attempts = 1;
  int delayMs = 0;
};

// The links of the page, or of the part between the contents marks when a
// start mark is given.
std::vector<ChapterEntry> LinksBetweenMarks(const ContentsRun& run, std::string_view page);

}  // namespace tarnlow
